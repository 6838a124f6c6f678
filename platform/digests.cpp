// The digests' names, the same on every platform.
#include "platform/digest_steps.h"
#include "platform/platform.h"

namespace {

struct DigestRow {
  DigestAlgorithm Algorithm;
  const char* Name;
  size_t TextLength;
};

constexpr DigestRow kDigestNames[] = {
    {DigestAlgorithm::kSha256, "sha256", 64},
    {DigestAlgorithm::kSha1, "sha1", 40},
    {DigestAlgorithm::kMd5, "md5", 32},
    {DigestAlgorithm::kXxh128, "xxh128", 32},
};

}  // namespace

const std::vector<DigestAlgorithm>& DigestAlgorithms() {
  static const std::vector<DigestAlgorithm> algorithms = [] {
    std::vector<DigestAlgorithm> all;
    for (const DigestRow& each : kDigestNames) all.push_back(each.Algorithm);
    return all;
  }();
  return algorithms;
}

const char* DigestName(DigestAlgorithm algorithm) {
  for (const DigestRow& each : kDigestNames) {
    if (each.Algorithm == algorithm) return each.Name;
  }
  return "";
}

size_t DigestTextLength(DigestAlgorithm algorithm) {
  for (const DigestRow& each : kDigestNames) {
    if (each.Algorithm == algorithm) return each.TextLength;
  }
  return 0;
}

const DigestAlgorithm* DigestNamed(std::string_view name) {
  for (const DigestRow& each : kDigestNames) {
    if (name == each.Name) return &each.Algorithm;
  }
  return nullptr;
}

std::string HexOf(const unsigned char* bytes, size_t size) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex(2 * size, '0');
  for (size_t at = 0; at < size; ++at) {
    hex[2 * at] = kHex[bytes[at] >> 4];
    hex[2 * at + 1] = kHex[bytes[at] & 15];
  }
  return hex;
}

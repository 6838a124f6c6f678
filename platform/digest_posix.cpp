// The digests of SHA-256, SHA-1 and MD5 over OpenSSL's EVP interface, which
// uses the processor's SHA instructions where it has them.
#include <openssl/evp.h>

#include "platform/digest_steps.h"
#include "platform/platform.h"

namespace {

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// Fetched once: looking an algorithm up for every file of a large tree
// would cost more than hashing a small one.
const EVP_MD* FetchedDigest(DigestAlgorithm algorithm) {
  static const EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  static const EVP_MD* const sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  static const EVP_MD* const md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  switch (algorithm) {
    case DigestAlgorithm::kSha256:
      return sha256;
    case DigestAlgorithm::kSha1:
      return sha1;
    case DigestAlgorithm::kMd5:
      return md5;
    case DigestAlgorithm::kXxh128:
      break;
  }
  return nullptr;
}

class EvpDigester : public Digester {
 public:
  explicit EvpDigester(EVP_MD_CTX* context) : context_(context) {}
  void Update(const char* bytes, size_t size) override { EVP_DigestUpdate(context_.get(), bytes, size); }
  std::string Finish() override {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1) return std::string();
    return HexOf(digest, size);
  }

 private:
  std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
};

}  // namespace

std::unique_ptr<Digester> MakeDigester(DigestAlgorithm algorithm) {
  if (algorithm == DigestAlgorithm::kXxh128) return MakeXxh128Digester();
  const EVP_MD* digest = FetchedDigest(algorithm);
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  if (digest == nullptr || context == nullptr || EVP_DigestInit_ex(context.get(), digest, nullptr) != 1)
    return nullptr;
  return std::make_unique<EvpDigester>(context.release());
}

// Arbitrary bytes as a catalog: as a whole page (the first byte 0), or, so
// that the fuzzer reaches past zlib's check, as the data itself, compressed
// and put into a page here. The reader must not crash or read out of
// bounds, and what it accepts must be a tree that a walk can go through:
// every folder reached by its name from the top, every record listed.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "fuzz/walk_model.h"
#include "output/catalog_data.h"
#include "output/catalog_page.h"
#include "tree/listing_disk.h"

namespace {

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t left = bytes.size() - at;
    uint32_t group = static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 16;
    if (left > 1) group |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
    if (left > 2) group |= static_cast<uint8_t>(bytes[at + 2]);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return text;
}

std::string PageOfData(const std::string& payload) {
  uLongf size = compressBound(static_cast<uLong>(payload.size()));
  std::string compressed(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(&compressed[0]), &size,
               reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size())) != Z_OK)
    std::abort();
  compressed.resize(size);
  return std::string(kCatalogDataStart) + Base64(compressed) + "\n" + kCatalogDataEnd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string page = data[0] == 0 ? rest : PageOfData(rest);
  ListingModel model;
  std::string error;
  CheckRead(ReadCatalogPage(page, model, error), error, model);
  return 0;
}

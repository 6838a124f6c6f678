// Arbitrary bytes as a listing of any kind --from reads: the first byte
// names the kind (one past the kinds leaves it to the content), the rest is
// the listing.
// The readers must not crash, read out of bounds or run out of stack, must
// say why they refuse, and what they accept must be a tree that a walk can
// go through.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/walk_model.h"
#include "output/listing_readers.h"
#include "tree/listing_disk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::vector<std::string> kinds = ListingKindNames();
  const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
  ListingReadOptions options;
  if (data[0] < kinds.size()) options.Kind = ListingKindNamed(kinds[data[0]]);
  ListingModel model;
  ListingShape shape;
  std::string error;
  CheckRead(ReadListing(content, options, model, shape, error), error, model);
  return 0;
}

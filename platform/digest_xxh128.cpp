// xxh128 over libxxhash's streaming API.
#include <xxhash.h>

#include "platform/digest_steps.h"

namespace {

struct StateFree {
  void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

class Xxh128Digester : public Digester {
 public:
  explicit Xxh128Digester(XXH3_state_t* state) : state_(state) {}
  void Update(const char* bytes, size_t size) override { XXH3_128bits_update(state_.get(), bytes, size); }
  std::string Finish() override {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state_.get()));
    return HexOf(canonical.digest, sizeof canonical.digest);
  }

 private:
  std::unique_ptr<XXH3_state_t, StateFree> state_;
};

}  // namespace

std::unique_ptr<Digester> MakeXxh128Digester() {
  std::unique_ptr<XXH3_state_t, StateFree> state(XXH3_createState());
  if (state == nullptr || XXH3_128bits_reset(state.get()) != XXH_OK) return nullptr;
  return std::make_unique<Xxh128Digester>(state.release());
}

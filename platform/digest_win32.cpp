// The digests of SHA-256, SHA-1 and MD5 over the system's CNG. bcrypt.dll
// is loaded from the system's folder as the program runs, not imported: the
// program still starts on Windows XP, which has no CNG and computes none.
#include "platform/win32port.h"

#include <bcrypt.h>

#include "platform/digest_steps.h"
#include "platform/platform.h"

namespace {

struct CngAlgorithm {
  DigestAlgorithm Algorithm;
  ULONG Length;  // the digest's bytes
};

const CngAlgorithm kCngAlgorithms[] = {
    {DigestAlgorithm::kSha256, 32},
    {DigestAlgorithm::kSha1, 20},
    {DigestAlgorithm::kMd5, 16},
};

// The calls of bcrypt.dll; all null where the system has none.
struct CngCalls {
  decltype(&BCryptOpenAlgorithmProvider) Open = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) Close = nullptr;
  decltype(&BCryptCreateHash) Create = nullptr;
  decltype(&BCryptHashData) HashData = nullptr;
  decltype(&BCryptFinishHash) Finish = nullptr;
  decltype(&BCryptDestroyHash) Destroy = nullptr;
};

template <typename Call>
void Find(HMODULE library, const char* name, Call& call) {
  call = reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

CngCalls LoadCng() {
  CngCalls calls;
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return calls;
  // Kept loaded for the life of the program.
  HMODULE library = LoadLibraryA((std::string(folder) + "\\bcrypt.dll").c_str());
  if (library == nullptr) return calls;
  CngCalls found;
  Find(library, "BCryptOpenAlgorithmProvider", found.Open);
  Find(library, "BCryptCloseAlgorithmProvider", found.Close);
  Find(library, "BCryptCreateHash", found.Create);
  Find(library, "BCryptHashData", found.HashData);
  Find(library, "BCryptFinishHash", found.Finish);
  Find(library, "BCryptDestroyHash", found.Destroy);
  const bool complete =
      found.Open && found.Close && found.Create && found.HashData && found.Finish && found.Destroy;
  return complete ? found : calls;
}

const CngCalls& Cng() {
  static const CngCalls calls = LoadCng();
  return calls;
}

// A provider held for the life of the program, opened once: opening one
// for every file of a large tree would cost more than hashing a small one.
// Providers may be used by many threads at once.
class Provider {
 public:
  explicit Provider(const wchar_t* id) {
    if (Cng().Open == nullptr || !BCRYPT_SUCCESS(Cng().Open(&handle_, id, nullptr, 0))) handle_ = nullptr;
  }
  ~Provider() {
    if (handle_ != nullptr) Cng().Close(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

BCRYPT_ALG_HANDLE ProviderOf(DigestAlgorithm algorithm) {
  static const Provider sha256(BCRYPT_SHA256_ALGORITHM);
  static const Provider sha1(BCRYPT_SHA1_ALGORITHM);
  static const Provider md5(BCRYPT_MD5_ALGORITHM);
  switch (algorithm) {
    case DigestAlgorithm::kSha256:
      return sha256.get();
    case DigestAlgorithm::kSha1:
      return sha1.get();
    case DigestAlgorithm::kMd5:
      return md5.get();
    case DigestAlgorithm::kXxh128:
      break;
  }
  return nullptr;
}

struct HashDestroy {
  void operator()(void* hash) const { Cng().Destroy(static_cast<BCRYPT_HASH_HANDLE>(hash)); }
};

class CngDigester : public Digester {
 public:
  CngDigester(BCRYPT_HASH_HANDLE hash, ULONG length) : hash_(hash), length_(length) {}
  void Update(const char* bytes, size_t size) override {
    // CNG takes at most a ULONG's worth at a time, into a pointer it does
    // not write through.
    while (size > 0) {
      const ULONG part = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
      Cng().HashData(hash_.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes)), part, 0);
      bytes += part;
      size -= part;
    }
  }
  std::string Finish() override {
    unsigned char digest[64];
    if (!BCRYPT_SUCCESS(Cng().Finish(hash_.get(), digest, length_, 0))) return std::string();
    return HexOf(digest, length_);
  }

 private:
  std::unique_ptr<void, HashDestroy> hash_;
  ULONG length_;
};

}  // namespace

std::unique_ptr<Digester> MakeDigester(DigestAlgorithm algorithm) {
  if (algorithm == DigestAlgorithm::kXxh128) return MakeXxh128Digester();
  for (const CngAlgorithm& cng : kCngAlgorithms) {
    if (cng.Algorithm != algorithm) continue;
    BCRYPT_ALG_HANDLE provider = ProviderOf(algorithm);
    BCRYPT_HASH_HANDLE hash = nullptr;
    // No object buffer: CNG keeps the hash's state itself (Windows 7 and later).
    if (provider == nullptr || !BCRYPT_SUCCESS(Cng().Create(provider, &hash, nullptr, 0, nullptr, 0, 0)))
      return nullptr;
    return std::make_unique<CngDigester>(hash, cng.Length);
  }
  return nullptr;
}

// Every digest against published vectors (FIPS 180 for SHA, RFC 1321 for
// MD5, xxhsum -H2 for xxh128), whole and fed in uneven pieces; on Windows
// these are the system's CNG digests.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

std::string DigestOf(DigestAlgorithm algorithm, const std::string& bytes, size_t piece) {
  std::unique_ptr<Digester> digester = MakeDigester(algorithm);
  if (digester == nullptr) return "no digester";
  for (size_t at = 0; at < bytes.size(); at += piece) {
    digester->Update(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
  return digester->Finish();
}

struct Vector {
  DigestAlgorithm Algorithm;
  const char* Empty;
  const char* Abc;
  const char* MillionA;
};

const Vector kVectors[] = {
    {DigestAlgorithm::kSha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {DigestAlgorithm::kSha1, "da39a3ee5e6b4b0d3255bfef95601890afd80709",
     "a9993e364706816aba3e25717850c26c9cd0d89d", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {DigestAlgorithm::kMd5, "d41d8cd98f00b204e9800998ecf8427e", "900150983cd24fb0d6963f7d28e17f72",
     "7707d6ae4e027c70eea2a935c2296f21"},
    // xxhsum -H2 writes the canonical (big-endian) form.
    {DigestAlgorithm::kXxh128, "99aa06d3014798d86001c324468d497f", "06b05ab6733a618578af5f94892f3950",
     "a545df8e384a9579b1fd6fae5285c4eb"},
};

TEST(Digests, EachAlgorithmGivesThePublishedDigestsWholeAndInPieces) {
  const std::string million(1000000, 'a');
  for (const Vector& vector : kVectors) {
    SCOPED_TRACE(DigestName(vector.Algorithm));
    EXPECT_EQ(DigestOf(vector.Algorithm, "", 1), vector.Empty);
    EXPECT_EQ(DigestOf(vector.Algorithm, "abc", 3), vector.Abc);
    EXPECT_EQ(DigestOf(vector.Algorithm, "abc", 1), vector.Abc);
    EXPECT_EQ(DigestOf(vector.Algorithm, million, million.size()), vector.MillionA);
    // Pieces that straddle every block size (64 for SHA and MD5, 1024 for XXH3's stripes).
    EXPECT_EQ(DigestOf(vector.Algorithm, million, 1021), vector.MillionA);
    EXPECT_EQ(DigestTextLength(vector.Algorithm), std::string(vector.Abc).size());
  }
}

TEST(Digests, EveryAlgorithmIsNamedAsTheCommandLineNamesIt) {
  std::vector<std::string> names;
  for (DigestAlgorithm algorithm : DigestAlgorithms()) {
    names.emplace_back(DigestName(algorithm));
    const DigestAlgorithm* named = DigestNamed(names.back());
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(*named, algorithm);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"sha256", "sha1", "md5", "xxh128"}));
  EXPECT_EQ(DigestNamed("SHA256"), nullptr);
  EXPECT_EQ(DigestNamed("sha-256"), nullptr);
}

}  // namespace

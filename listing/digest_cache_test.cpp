// The digests kept between runs: found again only for the very file as it
// was, never read from a file that is no such cache (nor written over it),
// and dropped when long unused.
#include "listing/digest_cache.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

constexpr uint32_t kToday = 20000;
const std::string kDigest(64, 'a');

ContentStamp StampOf(uint64_t index) {
  ContentStamp stamp;
  stamp.Identity.Device = 7;
  stamp.Identity.Index = index;
  stamp.Size = 1000 + index;
  stamp.WriteTime = 123456789012345678;
  stamp.ChangeTime = 123456789012345999;
  return stamp;
}

std::string Found(DigestCache& cache, const ContentStamp& stamp,
                  DigestAlgorithm algorithm = DigestAlgorithm::kSha256) {
  std::string digest;
  return cache.Find(stamp, algorithm, digest) ? digest : "(none)";
}

// A cache of the path as a later run sees it.
std::string Reloaded(const std::string& path, const ContentStamp& stamp, uint32_t today = kToday) {
  DigestCache cache(path, today);
  std::string reason;
  EXPECT_TRUE(cache.Load(reason)) << reason;
  return Found(cache, stamp);
}

TEST(DigestCache, ADigestIsFoundAgainOnlyForTheSameFileAsItWas) {
  ScopedTempFolder folder;
  const std::string path = folder.Join("cache") + "/kestrova/checksums";
  DigestCache cache(path, kToday);
  std::string reason;
  ASSERT_TRUE(cache.Load(reason)) << "a missing cache is an empty one";
  const ContentStamp stamp = StampOf(1);
  cache.Keep(stamp, DigestAlgorithm::kSha256, kDigest);
  cache.Keep(StampOf(2), DigestAlgorithm::kMd5, "0123456789abcdef0123456789abcdef");
  ASSERT_TRUE(cache.Save(reason)) << reason;

  DigestCache later(path, kToday);
  ASSERT_TRUE(later.Load(reason)) << reason;
  EXPECT_EQ(Found(later, stamp), kDigest);
  EXPECT_EQ(Found(later, StampOf(2), DigestAlgorithm::kMd5), "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(Found(later, stamp, DigestAlgorithm::kSha1), "(none)");
  // Any part of the stamp that differs is another file, or the file changed.
  for (uint64_t ContentStamp::*field :
       {&ContentStamp::Size, &ContentStamp::WriteTime, &ContentStamp::ChangeTime}) {
    ContentStamp changed = stamp;
    ++(changed.*field);
    EXPECT_EQ(Found(later, changed), "(none)");
  }
  ContentStamp moved = stamp;
  moved.Identity.Device = 8;
  EXPECT_EQ(Found(later, moved), "(none)");
  ContentStamp untold = stamp;
  untold.Identity = FileIdentity();
  later.Keep(untold, DigestAlgorithm::kSha256, kDigest);
  EXPECT_EQ(Found(later, untold), "(none)") << "a file the system does not identify";
  EXPECT_EQ(later.Hits(), 2u);
}

TEST(DigestCache, AFileThatIsNoCacheOrADamagedOneIsNeitherTrustedNorWrittenOver) {
  ScopedTempFolder folder;
  const std::string path = folder.Join("cache");
  {
    DigestCache cache(path, kToday);
    std::string reason;
    ASSERT_TRUE(cache.Load(reason));
    cache.Keep(StampOf(1), DigestAlgorithm::kSha256, kDigest);
    cache.Keep(StampOf(2), DigestAlgorithm::kSha256, kDigest);
    ASSERT_TRUE(cache.Save(reason)) << reason;
  }
  const std::string good = ReadFileBytes(path);
  std::string flipped = good;
  flipped[30] ^= 1;
  for (const std::string& bytes : {std::string("my notes\n"), flipped, good.substr(0, good.size() - 1),
                                   good.substr(0, 24) + std::string(80, 'x') + good.substr(24)}) {
    WriteFileBytes(path, bytes);
    DigestCache cache(path, kToday);
    std::string reason;
    EXPECT_FALSE(cache.Load(reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Found(cache, StampOf(1)), "(none)");
    cache.Keep(StampOf(3), DigestAlgorithm::kSha256, kDigest);
    EXPECT_TRUE(cache.Save(reason));
    EXPECT_EQ(ReadFileBytes(path), bytes) << "left as it was";
  }
}

TEST(DigestCache, EntriesLongUnusedAreDroppedAndThoseUsedAreKept) {
  ScopedTempFolder folder;
  const std::string path = folder.Join("cache");
  std::string reason;
  {
    DigestCache cache(path, kToday);
    cache.Keep(StampOf(1), DigestAlgorithm::kSha256, kDigest);
    cache.Keep(StampOf(2), DigestAlgorithm::kSha256, kDigest);
    ASSERT_TRUE(cache.Save(reason)) << reason;
  }
  {
    // One is used again some weeks later; the other is not.
    DigestCache cache(path, kToday + 60);
    ASSERT_TRUE(cache.Load(reason));
    EXPECT_EQ(Found(cache, StampOf(1)), kDigest);
    ASSERT_TRUE(cache.Save(reason));
  }
  const uint32_t later = kToday + DigestCache::kKeptDays + 1;
  {
    DigestCache cache(path, later);
    ASSERT_TRUE(cache.Load(reason));
    cache.Keep(StampOf(3), DigestAlgorithm::kSha256, kDigest);
    ASSERT_TRUE(cache.Save(reason));
  }
  EXPECT_EQ(Reloaded(path, StampOf(1), later), kDigest);
  EXPECT_EQ(Reloaded(path, StampOf(2), later), "(none)");
  EXPECT_EQ(Reloaded(path, StampOf(3), later), kDigest);
}

}  // namespace

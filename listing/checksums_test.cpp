// The checksums of a listing's files over a disk held in memory: one read
// for several digests, a file that changes or fails while it is read left
// without one and told, what is no regular file passed over, and the same
// values whatever the number of threads.
#include "listing/checksums.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/memory_disk.h"
#include "tests/test_support.h"

namespace {

std::string DigestOf(DigestAlgorithm algorithm, const std::string& bytes) {
  std::unique_ptr<Digester> digester = MakeDigester(algorithm);
  digester->Update(bytes.data(), bytes.size());
  return digester->Finish();
}

FileInfoX FileEntry(const std::string& name, uint64_t size, uint32_t attributes = 128) {
  FileInfoX entry;
  entry.Find.cFileName = name;
  entry.Find.dwFileAttributes = attributes;
  entry.Find.nFileSizeLow = static_cast<uint32_t>(size);
  return entry;
}

// The listing of /top's files, their sizes as the disk holds them, links
// marked as the scan marks them.
DirFileStruct ListingOf(MemoryDisk& disk, OpenFolder& top, const std::vector<std::string>& names) {
  DirFileStruct listing;
  for (const std::string& name : names) {
    std::string bytes, reason;
    disk.ReadSmallFile("/top/" + name, 1 << 30, bytes, reason);
    const bool link = top.Look(name) == NodeKind::kLink;
    listing.FileList.push_back(FileEntry(name, bytes.size(), link ? 128 | 1024 : 128));
  }
  return listing;
}

struct Checksummed {
  DirFileStruct Listing;
  std::string Failure;  // of the folder's opening
};

Checksummed ChecksumTop(MemoryDisk& disk, const std::vector<std::string>& names,
                        const std::vector<DigestAlgorithm>& algorithms, size_t threads,
                        DigestCache* cache = nullptr) {
  Checksummed done;
  std::unique_ptr<OpenFolder> top = disk.Open("/top", done.Failure);
  done.Listing = ListingOf(disk, *top, names);
  ChecksumPool pool(threads);
  pool.UseCache(cache);
  ChecksumListing(
      done.Listing, algorithms,
      [&top](const std::string& name, std::string& reason) { return top->ReadFile(name, reason); }, pool);
  return done;
}

const std::vector<DigestAlgorithm> kAll = {DigestAlgorithm::kSha256, DigestAlgorithm::kSha1,
                                           DigestAlgorithm::kMd5, DigestAlgorithm::kXxh128};

TEST(Checksums, EveryAlgorithmComesFromOneReadOfTheFile) {
  MemoryDisk disk;
  const std::string content(3 * (1 << 17) + 17, 'k');
  auto node = disk.Add("/top/big.bin", NodeKind::kFile, content);
  size_t reads = 0;
  node->AfterRead = [&reads](MemoryDisk::Node&) { ++reads; };
  const Checksummed done = ChecksumTop(disk, {"big.bin"}, kAll, 1);
  const auto& sums = done.Listing.Values.Checksums.at("big.bin");
  ASSERT_EQ(sums.size(), kAll.size());
  for (size_t at = 0; at < kAll.size(); ++at) EXPECT_EQ(sums[at], DigestOf(kAll[at], content));
  // Reads of 128 KiB, one pass: three whole ones, the rest, the end.
  EXPECT_EQ(reads, 5u);
  EXPECT_TRUE(done.Listing.Values.ChecksumFailures.empty());
}

TEST(Checksums, AFileChangedWhileItIsReadGetsNoChecksumAndIsTold) {
  MemoryDisk disk;
  disk.Add("/top/steady", NodeKind::kFile, "steady");
  // Written to in place, its size kept: only its times tell.
  auto rewritten = disk.Add("/top/rewritten", NodeKind::kFile, std::string(2 << 20, 'a'));
  rewritten->AfterRead = [](MemoryDisk::Node& node) {
    node.Content[0] = 'b';
    ++node.WriteTime;
  };
  // Grown while read.
  auto growing = disk.Add("/top/growing", NodeKind::kFile, "start");
  growing->AfterRead = [](MemoryDisk::Node& node) {
    if (node.Content.size() < 10) node.Content += "+";
  };
  // Appended to faster than it is read: read up to its size and no further.
  auto endless = disk.Add("/top/endless", NodeKind::kFile, "log");
  endless->AfterRead = [](MemoryDisk::Node& node) { node.Content += "line"; };
  const Checksummed done =
      ChecksumTop(disk, {"steady", "rewritten", "growing", "endless"}, {DigestAlgorithm::kSha256}, 2);
  const EntryValues& values = done.Listing.Values;
  EXPECT_EQ(values.Checksums.count("rewritten"), 0u);
  EXPECT_EQ(values.Checksums.count("growing"), 0u);
  EXPECT_EQ(values.ChecksumFailures.at("rewritten"), kChangedWhileRead);
  EXPECT_EQ(values.ChecksumFailures.at("growing"), kChangedWhileRead);
  EXPECT_EQ(values.ChecksumFailures.at("endless"), kChangedWhileRead);
  EXPECT_EQ(values.Checksums.at("steady").front(), DigestOf(DigestAlgorithm::kSha256, "steady"));
}

TEST(Checksums, FilesThatCannotBeReadWholeAreToldAndOtherThingsPassedOver) {
  MemoryDisk disk;
  disk.Add("/top/locked", NodeKind::kFile, "secret")->Unreadable = true;
  disk.Add("/top/failing", NodeKind::kFile, std::string(5000, 'f'))->FailReadAfter = 4096;
  disk.Add("/top/pipe", NodeKind::kOther);
  disk.Add("/top/real", NodeKind::kFile, "real");
  disk.Add("/top/link", NodeKind::kLink, "/top/real");
  const Checksummed done =
      ChecksumTop(disk, {"locked", "failing", "pipe", "real", "link"}, {DigestAlgorithm::kMd5}, 2);
  const EntryValues& values = done.Listing.Values;
  EXPECT_EQ(values.ChecksumFailures.at("locked"), "Permission denied");
  EXPECT_EQ(values.ChecksumFailures.at("failing"), "Input/output error");
  EXPECT_EQ(values.ChecksumFailures.count("pipe"), 0u) << "a pipe has no content to fail at";
  EXPECT_EQ(values.Checksums.count("pipe"), 0u);
  EXPECT_EQ(values.Checksums.count("failing"), 0u) << "never the digest of part of a file";
  EXPECT_EQ(values.Checksums.at("real").front(), DigestOf(DigestAlgorithm::kMd5, "real"));
  // A link's target is listed where it lies: the link itself is not read.
  EXPECT_EQ(values.Checksums.count("link"), 0u);
  EXPECT_EQ(values.ChecksumFailures.count("link"), 0u);
  EXPECT_EQ(values.Checksums.size(), 1u);
}

TEST(Checksums, TheValuesDoNotDependOnTheNumberOfThreads) {
  MemoryDisk disk;
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    names.push_back("f" + std::to_string(i));
    // A few large files among many small ones.
    const size_t size = i % 20 == 0 ? (3u << 20) + static_cast<size_t>(i) : static_cast<size_t>(i * 37);
    disk.Add("/top/" + names.back(), NodeKind::kFile, std::string(size, static_cast<char>('a' + i % 26)));
  }
  const Checksummed one = ChecksumTop(disk, names, kAll, 1);
  for (size_t threads : {2, 5, 16}) {
    const Checksummed many = ChecksumTop(disk, names, kAll, threads);
    EXPECT_EQ(many.Listing.Values.Checksums, one.Listing.Values.Checksums) << threads << " threads";
  }
  EXPECT_EQ(one.Listing.Values.Checksums.size(), names.size());
}

TEST(Checksums, AFileWhoseDigestsAreKeptIsNotReadAgainUntilItChanges) {
  MemoryDisk disk;
  std::map<std::string, int> reads;  // 1 for each file read
  for (const char* name : {"same", "edited"}) {
    disk.Add(std::string("/top/") + name, NodeKind::kFile, name)->AfterRead =
        [&reads, name](MemoryDisk::Node&) { reads[name] = 1; };
  }
  ScopedTempFolder folder;
  const std::string path = folder.Join("checksums");
  // Each run as a run of the program: the cache read at its start, written at its end.
  auto run = [&](const std::vector<DigestAlgorithm>& algorithms) {
    reads.clear();
    DigestCache cache(path, 20000);
    std::string reason;
    EXPECT_TRUE(cache.Load(reason)) << reason;
    Checksummed done = ChecksumTop(disk, {"same", "edited"}, algorithms, 2, &cache);
    EXPECT_TRUE(cache.Save(reason)) << reason;
    return done.Listing.Values.Checksums;
  };
  const auto first = run({DigestAlgorithm::kSha256});
  EXPECT_EQ(reads.size(), 2u);
  EXPECT_EQ(run({DigestAlgorithm::kSha256}), first);
  EXPECT_TRUE(reads.empty()) << "nothing read";

  // Edited in place, its size kept: its times tell.
  auto edited = disk.Find("/top/edited");
  edited->Content = "EDITED";
  ++edited->WriteTime;
  const auto third = run({DigestAlgorithm::kSha256});
  EXPECT_EQ(reads, (std::map<std::string, int>{{"edited", 1}}));
  EXPECT_EQ(third.at("edited").front(), DigestOf(DigestAlgorithm::kSha256, "EDITED"));
  EXPECT_EQ(third.at("same"), first.at("same"));
  // An algorithm not kept yet reads the file.
  const auto all = run(kAll);
  EXPECT_EQ(reads, (std::map<std::string, int>{{"same", 1}, {"edited", 1}}));
  EXPECT_EQ(all.at("same").at(2), DigestOf(DigestAlgorithm::kMd5, "same"));
}

TEST(ChecksumPool, ListingsOfSeveralThreadsShareItAndEachCallRunsOnce) {
  ChecksumPool pool(3);
  std::vector<std::atomic<int>> calls(4 * 500);
  std::vector<std::thread> listings;
  for (size_t listing = 0; listing < 4; ++listing) {
    listings.emplace_back([&pool, &calls, listing] {
      pool.RunAll(500, [&calls, listing](size_t index) { ++calls[listing * 500 + index]; });
    });
  }
  for (std::thread& thread : listings) thread.join();
  for (const auto& count : calls) EXPECT_EQ(count.load(), 1);
  pool.RunAll(0, [](size_t) { ADD_FAILURE() << "nothing to run"; });
}

}  // namespace

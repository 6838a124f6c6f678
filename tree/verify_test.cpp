// A folder verified against a listing over a disk held in memory: which
// files are read at all, a file changed while it is read, and the names the
// walk leaves out.
#include "tree/verify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/listing_readers.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/tree_document.h"

namespace {

std::string Sha256(const std::string& bytes) {
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kSha256);
  digester->Update(bytes.data(), bytes.size());
  return digester->Finish();
}

struct Checked {
  VerifyOutcome Outcome;
  std::vector<std::string> Lines;  // "state: path"
};

Checked Verify(MemoryDisk& disk, const std::string& listing,
               const CommonStruct& settings = SettingsFor("/top"), WalkRules rules = WalkRules()) {
  ListingModel model;
  ListingShape shape;
  std::string error;
  EXPECT_TRUE(ReadListing(listing, ListingReadOptions(), model, shape, error)) << error;
  if (!shape.Tree) rules.MaxDepth = 1;
  rules.Threads = 2;
  MemoryFolderSource types;
  Checked checked;
  checked.Outcome = VerifyFolder(settings, model, shape, rules, disk, types, [](const std::string&) {});
  for (const VerifyDifference& difference : checked.Outcome.Differences) {
    std::string line = std::string(VerifyStateWord(difference.State)) + ": " + difference.Path;
    for (const VerifyChange& change : difference.Changes) line += " " + change.What;
    if (!difference.Reason.empty()) line += " (" + difference.Reason + ")";
    checked.Lines.push_back(line);
  }
  return checked;
}

std::string SumsLine(const std::string& content, const std::string& path) {
  return Sha256(content) + "  " + path + "\n";
}

TEST(VerifyTest, AFileIsReadOnlyWhereItsSizeIsTheListedOneAndNeverMatchesATornRead) {
  MemoryDisk disk;
  std::atomic<int> reads_of_grown{0};
  disk.Add("/top/same", NodeKind::kFile, "abc");
  disk.Add("/top/grown", NodeKind::kFile, "abcd")->AfterRead = [&reads_of_grown](MemoryDisk::Node&) {
    ++reads_of_grown;
  };
  disk.Add("/top/sub/torn", NodeKind::kFile, "xyz")->AfterRead = [](MemoryDisk::Node& node) {
    node.Content = "xyz";  // the same bytes, written again while read
    node.WriteTime += 1;
  };
  const std::string json =
      "{\"entries\": [\n"
      "{\"name\": \"same\", \"kind\": \"file\", \"size\": 3, \"checksums\": {\"sha256\": \"" +
      Sha256("abc") +
      "\"}},\n"
      "{\"name\": \"grown\", \"kind\": \"file\", \"size\": 3, \"checksums\": {\"sha256\": \"" +
      Sha256("abc") +
      "\"}},\n"
      "{\"name\": \"sub\", \"kind\": \"folder\", \"entries\": [\n"
      "{\"name\": \"torn\", \"kind\": \"file\", \"size\": 3, \"checksums\": {\"sha256\": \"" +
      Sha256("xyz") + "\"}}]}]}";
  const Checked checked = Verify(disk, json);
  EXPECT_EQ(checked.Lines, (std::vector<std::string>{"changed: grown size",
                                                     "unreadable: sub" + std::string(1, FolderSeparator()) +
                                                         "torn (" + kChangedWhileRead + ")"}));
  EXPECT_EQ(reads_of_grown.load(), 0);
  EXPECT_EQ(checked.Outcome.Totals.Files, 3u);
  EXPECT_EQ(checked.Outcome.Totals.Changed, 1u);
  EXPECT_EQ(checked.Outcome.Totals.Unreadable, 1u);
}

TEST(VerifyTest, NamesTheWalkLeavesOutAreNeitherMissingNorNew) {
  MemoryDisk disk;
  disk.Add("/top/kept", NodeKind::kFile, "k");
  disk.Add("/top/skip.tmp", NodeKind::kFile, "s");
  disk.Add("/top/extra.tmp", NodeKind::kFile, "e");
  disk.Add("/top/a/b/deep", NodeKind::kFile, "d");
  disk.Add("/top/a/b/deeper", NodeKind::kFile, "d");
  CommonStruct settings = SettingsFor("/top");
  settings.Exclude = "*.tmp";
  WalkRules rules;
  rules.MaxDepth = 2;
  const std::string sums = SumsLine("k", "kept") + SumsLine("s", "skip.tmp") + SumsLine("d", "a/b/deep");
  EXPECT_EQ(Verify(disk, sums, settings, rules).Lines, std::vector<std::string>{});
  // Without the rules, the same listing is short of what the disk holds.
  EXPECT_EQ(Verify(disk, sums).Lines,
            (std::vector<std::string>{"new: a" + std::string(1, FolderSeparator()) + "b" +
                                          std::string(1, FolderSeparator()) + "deeper",
                                      "new: extra.tmp"}));
}

TEST(VerifyTest, ASumsFileMissesEveryFileOfAFolderThatIsGoneAndNeverCallsAFolderNew) {
  MemoryDisk disk;
  disk.Add("/top/kept", NodeKind::kFile, "k");
  disk.Add("/top/empty/inner/", NodeKind::kFolder);
  const std::string sums =
      SumsLine("k", "kept") + SumsLine("1", "gone/one") + SumsLine("2", "gone/deeper/two");
  const Checked checked = Verify(disk, sums);
  const std::string separator(1, FolderSeparator());
  EXPECT_EQ(checked.Lines,
            (std::vector<std::string>{"missing: gone" + separator + "deeper" + separator + "two",
                                      "missing: gone" + separator + "one"}));
  EXPECT_EQ(checked.Outcome.Totals.Files, 3u);
}

}  // namespace

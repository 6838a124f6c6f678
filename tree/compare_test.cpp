// Two compact listings compared: each kind of change found once and
// nothing else, times at the coarser precision, moves paired only where
// the pair is the only one; and a folder side walked over a disk in memory.
#include "tree/compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "output/listing_readers.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/tree_document.h"
#include "tree/compare_document.h"

namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kBase = 133000000000000000;  // a whole second

struct File {
  File(std::string path, uint64_t size, uint64_t time = kBase, std::string digest = std::string())
      : Path(std::move(path)), Size(size), Time(time), Digest(std::move(digest)) {}
  std::string Path;  // "a/b.txt"; a folder's ends in "/"
  uint64_t Size = 0;
  uint64_t Time = kBase;
  std::string Digest;  // sha256's, or none
  FileIdentity Identity;
  CompactKind Kind = CompactKind::kFile;
};

// A listing of the entries, every folder on their paths listed.
CompactListing ListingOf(const std::vector<File>& files, uint64_t precision = 1, bool digests = false,
                         bool identities = false) {
  CompactListing listing;
  listing.TimePrecision = precision;
  if (digests) listing.Algorithms = {DigestAlgorithm::kSha256};
  CompactBuilder builder(listing);
  builder.AddTop();
  std::map<std::string, uint32_t> folders{{"", 0}};
  const auto folder_of = [&](const std::string& path) {
    uint32_t at = 0;
    std::string so_far;
    size_t start = 0;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
      const std::string name = path.substr(start, slash - start);
      so_far += name + "/";
      const auto found = folders.find(so_far);
      at = found != folders.end() ? found->second : (folders[so_far] = builder.AddFolder(at, name));
      start = slash + 1;
    }
    return at;
  };
  for (const File& file : files) {
    const bool folder = !file.Path.empty() && file.Path.back() == '/';
    const std::string path = folder ? file.Path.substr(0, file.Path.size() - 1) : file.Path;
    const size_t slash = path.rfind('/');
    const uint32_t parent = folder_of(slash == std::string::npos ? std::string() : path.substr(0, slash + 1));
    const std::vector<std::string> sums{file.Digest};
    CompactRecord record;
    record.Kind = folder ? CompactKind::kFolder : file.Kind;
    record.Size = file.Size;
    record.Time = file.Time;
    record.Digests = digests ? &sums : nullptr;
    record.Identity = identities ? &file.Identity : nullptr;
    builder.AddEntry(parent, slash == std::string::npos ? path : path.substr(slash + 1), record);
    if (folder) folder_of(file.Path);
  }
  builder.Finish();
  return listing;
}

// "+ path", "- path", "~ path (what)", "> old -> new (what)": the text form's lines
// without the summary or the platform's line ends.
std::vector<std::string> Lines(const CompareOutcome& outcome) {
  std::vector<std::string> lines;
  std::string text = CompareText(outcome);
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n')) {
    lines.push_back(text.substr(0, end > 0 && text[end - 1] == '\r' ? end - 1 : end));
    text.erase(0, end + 1);
  }
  lines.pop_back();
  return lines;
}

std::vector<std::string> Compared(const CompactListing& a, const CompactListing& b) {
  return Lines(CompareListings(a, b, '/'));
}

const std::string kDigestA(64, 'a');
const std::string kDigestB(64, 'b');
const std::string kDigestC(64, 'c');

TEST(CompareTest, EachPlantedChangeIsFoundOnceAndNothingElse) {
  const std::vector<File> old_files{
      {"docs/", 0},
      {"docs/keep.txt", 10},
      {"docs/grows.txt", 10},
      {"docs/touched.txt", 5},
      {"docs/edited.txt", 7, kBase, kDigestA},
      {"gone.txt", 3},
      {"was-file", 4},
      {"old/", 0},
      {"old/inside.txt", 9},
      {"from.bin", 100, kBase, kDigestB},
  };
  std::vector<File> new_files{
      {"docs/", 0},
      {"docs/keep.txt", 10},
      {"docs/grows.txt", 12},
      {"docs/touched.txt", 5, kBase + 3 * kSecond},
      {"docs/edited.txt", 7, kBase, kDigestC},
      {"new.txt", 1},
      {"was-file/", 0},
      {"was-file/in.txt", 2},
      {"old/", 0},
      {"old/inside.txt", 9},
      {"docs/to.bin", 100, kBase, kDigestB},
  };
  const CompareOutcome outcome =
      CompareListings(ListingOf(old_files, 1, true), ListingOf(new_files, 1, true), '/');
  EXPECT_EQ(Lines(outcome), (std::vector<std::string>{
                                "~ docs/edited.txt (sha256)",
                                "~ docs/grows.txt (size 10 -> 12)",
                                "~ docs/touched.txt (time)",
                                "> from.bin -> docs/to.bin",
                                "- gone.txt",
                                "+ new.txt",
                                "~ was-file/ (kind file -> folder)",
                                "+ was-file/in.txt",
                            }));
  EXPECT_EQ(outcome.Totals.Added, 2u);
  EXPECT_EQ(outcome.Totals.Removed, 1u);
  EXPECT_EQ(outcome.Totals.Changed, 4u);
  EXPECT_EQ(outcome.Totals.KindChanged, 1u);
  EXPECT_EQ(outcome.Totals.Moved, 1u);
  // The top lost gone.txt and was-file, and gained new.txt and in.txt;
  // docs/ gained to.bin and 2 bytes.
  ASSERT_FALSE(outcome.Folders.empty());
  EXPECT_EQ(outcome.Folders[0].Path, "");
  EXPECT_EQ(outcome.Folders[0].OldFiles, 8u);
  EXPECT_EQ(outcome.Folders[0].NewFiles, 8u);
  EXPECT_EQ(outcome.Folders[1].Path, "docs/");
  EXPECT_EQ(outcome.Folders[1].NewFiles - outcome.Folders[1].OldFiles, 1u);
  EXPECT_EQ(outcome.Folders[1].NewBytes - outcome.Folders[1].OldBytes, 102u);
  // Nothing differs between a listing and itself.
  EXPECT_TRUE(Compared(ListingOf(old_files, 1, true), ListingOf(old_files, 1, true)).empty());
}

TEST(CompareTest, TimesAreComparedAtTheCoarserPrecisionAndUnknownOnesNever) {
  const std::vector<File> exact{{"a", 1, kBase + 1234567}, {"b", 1, kBase + 2 * kSecond}, {"c", 1, kBase}};
  const std::vector<File> seconds{{"a", 1, kBase}, {"b", 1, kBase + kSecond}, {"c", 1, 0}};
  EXPECT_EQ(Compared(ListingOf(seconds, kSecond), ListingOf(exact, 1)),
            std::vector<std::string>{"~ b (time)"});
  EXPECT_EQ(Compared(ListingOf(exact, 1), ListingOf(seconds, kSecond)),
            std::vector<std::string>{"~ b (time)"});
  // Both exact: 123 ms apart is a change.
  EXPECT_EQ(Compared(ListingOf(seconds, 1), ListingOf(exact, 1)),
            (std::vector<std::string>{"~ a (time)", "~ b (time)"}));
}

TEST(CompareTest, TwoFilesAlikeAreNeverPairedAsAMove) {
  // One removed, two added of its content: which is the moved one is not
  // known, so neither is.
  const std::vector<File> old_files{
      {"x", 5, kBase, kDigestA}, {"y", 6, kBase, kDigestB}, {"z", 0, kBase, kDigestC}};
  const std::vector<File> new_files{{"p", 5, kBase, kDigestA},
                                    {"q", 5, kBase, kDigestA},
                                    {"r", 6, kBase, kDigestB},
                                    {"s", 0, kBase, kDigestC}};
  EXPECT_EQ(Compared(ListingOf(old_files, 1, true), ListingOf(new_files, 1, true)),
            (std::vector<std::string>{"+ p", "+ q", "+ s", "- x", "> y -> r", "- z"}));
  // Without digests on both sides nothing is paired.
  EXPECT_EQ(Compared(ListingOf(old_files, 1, true), ListingOf(new_files, 1, false)),
            (std::vector<std::string>{"+ p", "+ q", "+ r", "+ s", "- x", "- y", "- z"}));
}

TEST(CompareTest, OnOneDiskAFileKeepsItsIdentityThroughARenameEvenWhenChanged) {
  File before{"a/f", 5, kBase};
  before.Identity = {7, 42};
  File after{"b/g", 9, kBase + 5 * kSecond};
  after.Identity = {7, 42};
  File twin_one{"t1", 1};
  twin_one.Identity = {7, 50};
  File twin_two{"t2", 1};
  twin_two.Identity = {7, 50};  // two names of one file, one of them new
  File twin_old{"t0", 1};
  twin_old.Identity = {7, 50};
  EXPECT_EQ(
      Compared(ListingOf({before, twin_old}, 1, false, true),
               ListingOf({after, twin_one, twin_two}, 1, false, true)),
      (std::vector<std::string>{"- a/", "> a/f -> b/g (size 5 -> 9, time)", "+ b/", "- t0", "+ t1", "+ t2"}));
  // A listing read back tells no identity: nothing to pair by.
  EXPECT_EQ(Compared(ListingOf({before}, 1, false, true), ListingOf({after}, 1, false, false)),
            (std::vector<std::string>{"- a/", "- a/f", "+ b/", "+ b/g"}));
}

TEST(CompareTest, AFolderThatASideCouldNotListIsComparedByItsEntryAlone) {
  CompactListing old_side = ListingOf({{"sub/", 0}, {"sub/a", 1}, {"top", 1}});
  CompactListing new_side = ListingOf({{"sub/", 0}, {"top", 1}});
  new_side.Folders[1].Failed = true;
  EXPECT_TRUE(Compared(old_side, new_side).empty());
  new_side.Folders[1].Failed = false;
  EXPECT_EQ(Compared(old_side, new_side), std::vector<std::string>{"- sub/a"});
}

TEST(CompareTest, AModelReadBackKeepsItsTimesStepAndLinksItsFolders) {
  const std::string json =
      R"({"entries": [{"name": "d", "kind": "folder", "modified": "2024-03-05T14:07:09Z", "entries": [)"
      R"({"name": "f", "kind": "file", "size": 3, "modified": "2024-03-05T14:07:09Z"}]}]})";
  ListingModel model;
  ListingShape shape;
  std::string error;
  ASSERT_TRUE(ReadListing(json, ListingReadOptions(), model, shape, error)) << error;
  CompactListing listing;
  CompactListingOf(model, listing);
  EXPECT_EQ(listing.TimePrecision, kSecond);
  ASSERT_EQ(listing.Folders.size(), 2u);
  EXPECT_EQ(listing.PathOf(1, '/'), "d");
  EXPECT_EQ(listing.Folders[0].Files, 1u);
  EXPECT_EQ(listing.Folders[0].Bytes, 3u);
  // The same file on a disk 0.5 s later is the same; 1 s later it is not.
  uint64_t time = 0;
  ASSERT_TRUE(ParseIsoTime("2024-03-05T14:07:09Z", time));
  const CompactListing half = ListingOf({{"d/", 0, time}, {"d/f", 3, time + kSecond / 2}});
  const CompactListing whole = ListingOf({{"d/", 0, time}, {"d/f", 3, time + kSecond}});
  EXPECT_TRUE(Compared(listing, half).empty());
  EXPECT_EQ(Compared(listing, whole), std::vector<std::string>{"~ d/f (time)"});
}

TEST(CompareTest, AFolderSideIsWalkedWholeAndAnyFolderItCannotListFailsIt) {
  MemoryDisk disk;
  disk.Add("/top/a.txt", NodeKind::kFile, "abc");
  disk.Add("/top/sub/b.txt", NodeKind::kFile, "hello");
  disk.Add("/top/sub/deeper/c.txt", NodeKind::kFile, "x");
  MemoryFolderSource types;
  CompactListing listing;
  WalkRules rules;
  rules.Threads = 2;
  rules.Checksums = {DigestAlgorithm::kSha256};
  FolderSideResult result = ReadFolderSide(
      SettingsFor("/top"), rules, disk, types, [](const std::string&) {}, listing);
  ASSERT_TRUE(result.Read) << result.TopFailure;
  EXPECT_EQ(listing.Folders[0].Files, 3u);
  EXPECT_EQ(listing.Folders[0].Bytes, 9u);
  EXPECT_EQ(listing.Identities.size(), listing.Entries.size());
  size_t digests = 0;
  for (const CompactEntry& entry : listing.Entries) digests += !listing.DigestOf(entry, 0).empty();
  EXPECT_EQ(digests, 3u);

  disk.Find("/top/sub/deeper")->Unreadable = true;
  std::vector<std::string> messages;
  result = ReadFolderSide(
      SettingsFor("/top"), WalkRules(), disk, types,
      [&messages](const std::string& message) { messages.push_back(message); }, listing);
  EXPECT_FALSE(result.Read);
  EXPECT_EQ(messages.size(), 1u);
  result = ReadFolderSide(
      SettingsFor("/nowhere"), WalkRules(), disk, types, [](const std::string&) {}, listing);
  EXPECT_FALSE(result.Read);
  EXPECT_NE(result.TopFailure.find("/nowhere"), std::string::npos);
}

TEST(CompareTest, AFolderSideFollowsLinksThoughItsFolderIsToldOfAfterItsSubFolders) {
  // The top waits for its link outside the tree to be decided, while its
  // sub-folders are listed: they are told of first.
  MemoryDisk disk;
  for (int at = 0; at < 8; ++at) disk.Add("/top/sub" + std::to_string(at) + "/f.txt", NodeKind::kFile, "x");
  disk.Add("/top/away", NodeKind::kLink, "/outside");
  disk.Add("/outside/g.txt", NodeKind::kFile, "yz");
  MemoryFolderSource types;
  WalkRules rules;
  rules.Threads = 4;
  rules.Follow = true;
  CompactListing listing;
  const FolderSideResult result = ReadFolderSide(
      SettingsFor("/top"), rules, disk, types, [](const std::string&) {}, listing);
  ASSERT_TRUE(result.Read) << result.TopFailure;
  EXPECT_EQ(listing.Folders[0].Files, 9u);
  EXPECT_EQ(listing.Folders[0].Bytes, 10u);
  std::vector<std::string> paths;
  for (uint32_t at = 0; at < listing.Folders.size(); ++at) paths.push_back(listing.PathOf(at, '/'));
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths.front(), "");
  EXPECT_EQ(paths[1], "away");
}

}  // namespace

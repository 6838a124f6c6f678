// The search for duplicates over a disk held in memory: what each stage
// reads, files with several names, files that change or cannot be read, and
// an order that the threads do not change.
#include "tree/duplicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/tree_document.h"

namespace {

struct Search {
  DuplicateFindings Findings;
  std::vector<std::string> Messages;
  FoundFiles Found;
};

Search SearchOf(MemoryDisk& disk, size_t threads = 2, DuplicateRules rules = DuplicateRules(),
                const std::vector<std::string>& tops = {"/top"}) {
  MemoryFolderSource types;
  Search search;
  search.Found = FindFiles(
      SettingsFor(tops.front()), tops,
      [threads](const std::string&) {
        WalkRules walk;
        walk.Threads = threads;
        return walk;
      },
      rules, disk, types, [&search](const std::string& message) { search.Messages.push_back(message); });
  ChecksumPool pool(threads);
  search.Findings = GroupDuplicates(search.Found.Files, rules, disk, pool);
  return search;
}

// A path as the tests write them: the search joins names with the
// platform's separator, "\\" on Windows.
std::string Slashed(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::vector<std::vector<std::string>> FilesOf(const DuplicateFindings& findings) {
  std::vector<std::vector<std::string>> groups;
  for (const DuplicateGroup& group : findings.Groups) {
    groups.emplace_back();
    for (const std::string& file : group.Files) groups.back().push_back(Slashed(file));
  }
  return groups;
}

size_t TimesOpened(MemoryDisk& disk, const std::string& path) {
  const std::vector<std::string> opened = disk.Opened();
  return static_cast<size_t>(std::count(opened.begin(), opened.end(), path));
}

// Bytes of a size past the ends' blocks, with a byte of its own at place.
std::string Large(char fill, size_t place = 0, char mark = 0) {
  std::string bytes(3 * kDuplicateEndBlock, fill);
  if (mark != 0) bytes[place] = mark;
  return bytes;
}

TEST(Duplicates, OnlyFilesAlikeInSizeAndAtTheirEndsAreReadWhole) {
  MemoryDisk disk;
  disk.Add("/top/unique", NodeKind::kFile, "no other file has this size");
  disk.Add("/top/a", NodeKind::kFile, "same");
  disk.Add("/top/sub/b", NodeKind::kFile, "same");
  disk.Add("/top/c", NodeKind::kFile, "diff");
  // Alike at both ends, other in the middle: the ends match, the whole does not.
  disk.Add("/top/mid1", NodeKind::kFile, Large('x', kDuplicateEndBlock + 7, '1'));
  disk.Add("/top/mid2", NodeKind::kFile, Large('x', kDuplicateEndBlock + 7, '2'));
  disk.Add("/top/mid3", NodeKind::kFile, Large('x', kDuplicateEndBlock + 7, '1'));
  // Other in the last byte: told apart by the ends alone.
  disk.Add("/top/end1", NodeKind::kFile, Large('y', 3 * kDuplicateEndBlock - 1, '1'));
  disk.Add("/top/end2", NodeKind::kFile, Large('y', 3 * kDuplicateEndBlock - 1, '2'));
  const Search search = SearchOf(disk);
  EXPECT_TRUE(search.Messages.empty());
  EXPECT_TRUE(search.Findings.Unread.empty());
  const std::vector<std::vector<std::string>> expected{{"/top/mid1", "/top/mid3"}, {"/top/a", "/top/sub/b"}};
  EXPECT_EQ(FilesOf(search.Findings), expected);
  EXPECT_EQ(TimesOpened(disk, "/top/unique"), 0u) << "a size no other file has is never read";
  EXPECT_EQ(TimesOpened(disk, "/top/end1"), 1u) << "ends that differ end the comparison";
  EXPECT_EQ(TimesOpened(disk, "/top/mid2"), 2u) << "ends alike: the whole is read too";
  EXPECT_EQ(TimesOpened(disk, "/top/a"), 1u) << "a small file is read whole at once";
  EXPECT_EQ(search.Findings.Groups[0].Size, 3 * kDuplicateEndBlock);
  std::unique_ptr<Digester> sha256 = MakeDigester(DigestAlgorithm::kSha256);
  sha256->Update("same", 4);
  EXPECT_EQ(search.Findings.Groups[1].Digest, sha256->Finish());
}

TEST(Duplicates, AFileWithSeveralNamesIsOneFile) {
  MemoryDisk disk;
  disk.Add("/top/one", NodeKind::kFile, "linked");
  disk.AddName("/top/two", "/top/one");
  disk.Add("/top/k1", NodeKind::kFile, "kept");
  disk.AddName("/top/sub/k2", "/top/k1");
  disk.Add("/top/k3", NodeKind::kFile, "kept");
  disk.Add("/top/link", NodeKind::kLink, "/top/k3");
  const Search plain = SearchOf(disk);
  EXPECT_EQ(FilesOf(plain.Findings), (std::vector<std::vector<std::string>>{{"/top/k1", "/top/k3"}}))
      << "names of one file are no duplicates; a link is not followed";
  DuplicateRules follow;
  follow.Follow = true;
  EXPECT_EQ(FilesOf(SearchOf(disk, 2, follow).Findings), FilesOf(plain.Findings))
      << "a followed link is another name of the file it leads to";
  EXPECT_EQ(
      FilesOf(SearchOf(disk, 2, DuplicateRules(), {"/top", std::string("/top") + FolderSeparator() + "sub"})
                  .Findings),
      FilesOf(plain.Findings))
      << "a folder searched twice shows its files once";
}

TEST(Duplicates, AFollowedLinkToAFileOutsideIsReadWhereItLeads) {
  MemoryDisk disk;
  disk.Add("/elsewhere/far", NodeKind::kFile, "far away");
  disk.Add("/top/near", NodeKind::kFile, "far away");
  disk.Add("/top/to far", NodeKind::kLink, "/elsewhere/far");
  DuplicateRules follow;
  follow.Follow = true;
  const Search search = SearchOf(disk, 2, follow);
  EXPECT_TRUE(search.Findings.Unread.empty());
  EXPECT_EQ(FilesOf(search.Findings), (std::vector<std::vector<std::string>>{{"/top/near", "/top/to far"}}));
}

TEST(Duplicates, AFileThatCannotBeReadOrChangesIsLeftOutAndTold) {
  MemoryDisk disk;
  for (const char* name : {"a", "b", "c", "d"})
    disk.Add(std::string("/top/") + name, NodeKind::kFile, "four");
  disk.Find("/top/b")->Unreadable = true;
  disk.Find("/top/c")->AfterRead = [](MemoryDisk::Node& node) { node.WriteTime += 1; };
  for (const char* name : {"x", "y"}) disk.Add(std::string("/top/") + name, NodeKind::kFile, Large('z'));
  disk.Find("/top/y")->FailReadAfter = 10;
  const Search search = SearchOf(disk);
  EXPECT_EQ(FilesOf(search.Findings), (std::vector<std::vector<std::string>>{{"/top/a", "/top/d"}}));
  ASSERT_EQ(search.Findings.Unread.size(), 3u);
  EXPECT_EQ(Slashed(search.Findings.Unread[0].Path), "/top/b");
  EXPECT_EQ(search.Findings.Unread[0].Reason, "Permission denied");
  EXPECT_EQ(Slashed(search.Findings.Unread[1].Path), "/top/c");
  EXPECT_EQ(search.Findings.Unread[1].Reason, kChangedWhileRead);
  EXPECT_EQ(Slashed(search.Findings.Unread[2].Path), "/top/y");
  EXPECT_EQ(search.Findings.Unread[2].Reason, "Input/output error");
}

TEST(Duplicates, AFileThatGrewSinceItWasListedIsNotComparedBySizeItNoLongerHas) {
  MemoryDisk disk;
  disk.Add("/top/a", NodeKind::kFile, "1234");
  disk.Add("/top/b", NodeKind::kFile, "1234");
  disk.Add("/top/c", NodeKind::kFile, "1234");
  disk.AfterEnumerate = [&disk](const std::string&) { disk.Find("/top/c")->Content = "12345678"; };
  const Search search = SearchOf(disk);
  EXPECT_EQ(FilesOf(search.Findings), (std::vector<std::vector<std::string>>{{"/top/a", "/top/b"}}));
  ASSERT_EQ(search.Findings.Unread.size(), 1u);
  EXPECT_EQ(search.Findings.Unread[0].Reason, kChangedWhileRead);
}

TEST(Duplicates, EmptyFilesOnlyWhenAskedAndNeverAPipe) {
  MemoryDisk disk;
  disk.Add("/top/e1", NodeKind::kFile);
  disk.Add("/top/e2", NodeKind::kFile);
  disk.Add("/top/pipe", NodeKind::kOther);
  EXPECT_TRUE(SearchOf(disk).Findings.Groups.empty());
  DuplicateRules empty;
  empty.IncludeEmpty = true;
  const Search search = SearchOf(disk, 2, empty);
  EXPECT_EQ(FilesOf(search.Findings), (std::vector<std::vector<std::string>>{{"/top/e1", "/top/e2"}}));
  EXPECT_TRUE(search.Findings.Unread.empty()) << "a pipe is no file to compare, and no failure";
}

TEST(Duplicates, GroupsComeByWastedSpaceThenFirstPathWhateverTheThreads) {
  MemoryDisk disk;
  for (int copy = 0; copy < 3; ++copy) {
    disk.Add("/top/small" + std::to_string(copy), NodeKind::kFile, "ab");  // wastes 4
    disk.Add("/top/d" + std::to_string(copy) + "/big", NodeKind::kFile, Large('b'));
  }
  disk.Add("/top/q1", NodeKind::kFile, "abcd");  // wastes 4, first path after small0
  disk.Add("/top/q2", NodeKind::kFile, "abcd");
  disk.Add("/top/p1", NodeKind::kFile, "wxyz");  // wastes 4, first path before small0
  disk.Add("/top/p2", NodeKind::kFile, "wxyz");
  const Search one = SearchOf(disk, 1);
  const std::vector<std::vector<std::string>> expected{{"/top/d0/big", "/top/d1/big", "/top/d2/big"},
                                                       {"/top/p1", "/top/p2"},
                                                       {"/top/q1", "/top/q2"},
                                                       {"/top/small0", "/top/small1", "/top/small2"}};
  EXPECT_EQ(FilesOf(one.Findings), expected);
  for (size_t threads : {2, 4, 16}) EXPECT_EQ(FilesOf(SearchOf(disk, threads).Findings), expected) << threads;
  const DuplicateTotals totals = TotalsOf(one.Findings.Groups);
  EXPECT_EQ(totals.Groups, 4u);
  EXPECT_EQ(totals.Files, 10u);
  EXPECT_EQ(totals.WastedBytes, 2 * 3 * kDuplicateEndBlock + 4 + 4 + 4);
}

}  // namespace

#include "listing/scan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "listing/entry.h"
#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

namespace {

void ScanListing(CommonStruct& record, FolderSource& source) {
  std::string failure;
  ASSERT_TRUE(::ScanListing(record, source, failure)) << failure;
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record.DirStr = "Data";
    record.DirMask = record.FileMask = "*.*";
    source.Folders["Data"] = {
        MakeRecord(".", 16),
        MakeRecord("..", 16),
        MakeRecord("Sub", 16),
        MakeRecord("big.iso", 32, 5368709120ULL),
        MakeRecord("Readme.TXT", 1, 10),
        MakeRecord("alpha", 16 | 2),
        MakeRecord("b.txt", 128, 7),
    };
  }

  std::vector<std::string> NamesOf(const std::deque<FileInfoX>& list) {
    std::vector<std::string> names;
    for (const FileInfoX& entry : list) names.push_back(entry.Find.cFileName);
    return names;
  }

  CommonStruct record;
  MemoryFolderSource source;
};

using Names = std::vector<std::string>;

TEST_F(ScanTest, SeparatesFoldersFromFilesAndTotalsTheFiles) {
  ScanListing(record, source);
  EXPECT_EQ(NamesOf(record.Listing.FolderList), (Names{"Sub", "alpha"}));
  EXPECT_EQ(NamesOf(record.Listing.FileList), (Names{"Readme.TXT", "b.txt", "big.iso"}));
  EXPECT_EQ(record.TotalBytes, 5368709120LL + 17);
}

TEST_F(ScanTest, TheParentEntryIsKeptOnlyWhenAsked) {
  record.IncludeParent = true;
  record.SortBy = kSortBySize;
  ScanListing(record, source);
  EXPECT_EQ(NamesOf(record.Listing.FolderList), (Names{"..", "Sub", "alpha"}));
  record.DirMask = "a*";
  ScanListing(record, source);
  EXPECT_EQ(NamesOf(record.Listing.FolderList), (Names{"alpha"})) << "a mask that misses .. lists no parent";
}

TEST_F(ScanTest, ADriveRootWithoutDotEntriesLosesNothing) {
  source.Folders["Root"] = {MakeRecord("Windows", 16), MakeRecord("a.sys", 6)};
  record.DirStr = "Root";
  ScanListing(record, source);
  EXPECT_EQ(NamesOf(record.Listing.FolderList), (Names{"Windows"}));
  EXPECT_EQ(NamesOf(record.Listing.FileList), (Names{"a.sys"}));
}

TEST_F(ScanTest, MasksApplyToTheirOwnListOnly) {
  record.DirMask = "*.txt";
  record.FileMask = "S*";
  ScanListing(record, source);
  EXPECT_TRUE(record.Listing.FolderList.empty()) << "b.txt matches the folder mask but is a file";
  EXPECT_TRUE(record.Listing.FileList.empty()) << "Sub matches the file mask but is a folder";
  EXPECT_EQ(record.TotalBytes, 0);
}

TEST_F(ScanTest, IgnoreCaseSortsByTheLowerCasedNameAndShowsTheName) {
  record.IgnoreCase = true;
  ScanListing(record, source);
  EXPECT_EQ(NamesOf(record.Listing.FileList), (Names{"b.txt", "big.iso", "Readme.TXT"}));
}

TEST_F(ScanTest, AMissingFolderGivesEmptyListsAndANewScanReplacesTheOld) {
  ScanListing(record, source);
  record.DirStr = "Nowhere";
  ScanListing(record, source);
  EXPECT_TRUE(record.Listing.FolderList.empty());
  EXPECT_TRUE(record.Listing.FileList.empty());
  EXPECT_EQ(record.TotalBytes, 0);
}

TEST(ScanOnDisk, ListsARealFolder) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("one.txt"), "12345");
  WriteFileBytes(folder.Join("two words.html"), "");
  ASSERT_TRUE(std::filesystem::create_directory(folder.Join("inner")));
  CommonStruct record;
  record.DirStr = folder.path();
  record.DirMask = record.FileMask = "*.*";
  record.IncludeParent = true;
  ScanListing(record, SystemFolderSource());

  ASSERT_EQ(record.Listing.FolderList.size(), 2u);
  EXPECT_EQ(record.Listing.FolderList[0].Find.cFileName, "..");
  EXPECT_EQ(record.Listing.FolderList[1].Find.cFileName, "inner");
  EXPECT_TRUE(IsFolder(record.Listing.FolderList[1].Find.dwFileAttributes));
  ASSERT_EQ(record.Listing.FileList.size(), 2u);
  EXPECT_EQ(record.Listing.FileList[0].Find.cFileName, "one.txt");
  EXPECT_EQ(EntrySize(record.Listing.FileList[0]), 5u);
  EXPECT_EQ(record.TotalBytes, 5);
  EXPECT_NE(record.Listing.FileList[0].Find.ftLastWriteTime, 0u);
}

}  // namespace

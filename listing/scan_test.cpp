#include "listing/scan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "listing/entry.h"
#include "listing/ordering.h"
#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

namespace {

// The scan of the settings' own folder into listing, in the order the
// settings ask for, as a listing is made.
void ScanListing(const CommonStruct& record, FolderSource& source, DirFileStruct& listing,
                 const std::vector<std::string>& left_out = {}) {
  std::string failure;
  ScanRules rules = ScanRulesOf(record);
  rules.LeftOut = left_out;
  ASSERT_TRUE(::ScanListing(rules, record.DirStr, source, listing, failure)) << failure;
  OrderListing(listing, EntryOrderOf(record));
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
  DirFileStruct listing;
};

using Names = std::vector<std::string>;

TEST_F(ScanTest, SeparatesFoldersFromFilesAndTotalsTheFiles) {
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"Sub", "alpha"}));
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"Readme.TXT", "b.txt", "big.iso"}));
  EXPECT_EQ(listing.TotalBytes, 5368709120LL + 17);
}

TEST_F(ScanTest, TheParentEntryIsKeptOnlyWhenAsked) {
  record.IncludeParent = true;
  record.SortBy = kSortBySize;
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"..", "Sub", "alpha"}));
  record.DirMask = "a*";
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"alpha"})) << "a mask that misses .. lists no parent";
}

TEST_F(ScanTest, TheScanAloneKeepsTheFoldersOrderAndOrderingPutsItsOwnInPlace) {
  record.IncludeParent = true;
  std::string failure;
  ASSERT_TRUE(::ScanListing(ScanRulesOf(record), record.DirStr, source, listing, failure)) << failure;
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"..", "Sub", "alpha"}));
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"big.iso", "Readme.TXT", "b.txt"}))
      << "as the folder gave them";
  record.SortBy = kSortBySize;
  record.DescOrder = true;
  OrderListing(listing, EntryOrderOf(record));
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"big.iso", "Readme.TXT", "b.txt"})) << "the greatest first";
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"alpha", "Sub", ".."}))
      << "descending turns the whole order round, the parent entry last, as the classic forms write it";
  record.DescOrder = false;
  OrderListing(listing, EntryOrderOf(record));
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"b.txt", "Readme.TXT", "big.iso"}));
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"..", "Sub", "alpha"}));
}

TEST_F(ScanTest, ADriveRootWithoutDotEntriesLosesNothing) {
  source.Folders["Root"] = {MakeRecord("Windows", 16), MakeRecord("a.sys", 6)};
  record.DirStr = "Root";
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"Windows"}));
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"a.sys"}));
}

TEST_F(ScanTest, MasksApplyToTheirOwnListOnly) {
  record.DirMask = "*.txt";
  record.FileMask = "S*";
  ScanListing(record, source, listing);
  EXPECT_TRUE(listing.FolderList.empty()) << "b.txt matches the folder mask but is a file";
  EXPECT_TRUE(listing.FileList.empty()) << "Sub matches the file mask but is a folder";
  EXPECT_EQ(listing.TotalBytes, 0);
}

TEST_F(ScanTest, IgnoreCaseSortsByTheLowerCasedNameAndShowsTheName) {
  record.IgnoreCase = true;
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"b.txt", "big.iso", "Readme.TXT"}));
}

TEST_F(ScanTest, AMissingFolderGivesEmptyListsAndANewScanReplacesTheOld) {
  ScanListing(record, source, listing);
  record.DirStr = "Nowhere";
  ScanListing(record, source, listing);
  EXPECT_TRUE(listing.FolderList.empty());
  EXPECT_TRUE(listing.FileList.empty());
  EXPECT_EQ(listing.TotalBytes, 0);
}

TEST_F(ScanTest, SeveralPatternsExclusionsAndHiddenNames) {
  record.FileMask = "*.txt; big.*";
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"Readme.TXT", "b.txt", "big.iso"}));
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"Sub", "alpha"}));
  record.DirMask = "S*;x";
  record.FileMask = "*.txt;";
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"Sub"})) << "the parent entry needs a matching pattern too";
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"Readme.TXT", "b.txt"})) << "an empty pattern matches nothing";

  record.DirMask = record.FileMask = "*.*";
  record.Exclude = "*.iso;s*";
  record.IncludeParent = true;
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"..", "alpha"})) << "folders too, letter case ignored";
  EXPECT_EQ(NamesOf(listing.FileList), (Names{"Readme.TXT", "b.txt"}));
  EXPECT_EQ(listing.TotalBytes, 17) << "the total counts what is listed";

  record.Exclude = "..";
  record.HideHidden = true;
  ScanListing(record, source, listing);
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"..", "Sub"})) << "hidden alpha goes, the parent stays";
}

TEST_F(ScanTest, TheListingsOwnOutputAndTemporaryFilesAreLeftOut) {
  source.Folders["Data"].push_back(MakeRecord("index.html", 32, 1000));
  source.Folders["Data"].push_back(MakeRecord("index.html.d", 16));
  source.Folders["Data"].push_back(MakeRecord(".kestrova-0a1b2c.tmp", 32, 500));
  source.Folders["Data"].push_back(MakeRecord("~kestrova-0a1b2c.tmp", 32, 500));
  source.Folders["Data"].push_back(MakeRecord(".kestrova-0a1b2c.tmp.txt", 32, 7));
  ScanListing(record, source, listing, {"index.html"});
  EXPECT_EQ(NamesOf(listing.FileList), (Names{".kestrova-0a1b2c.tmp.txt", "Readme.TXT", "b.txt", "big.iso"}))
      << "neither the output nor a killed run's temporary files; a name of another pattern stays";
  EXPECT_EQ(NamesOf(listing.FolderList), (Names{"Sub", "alpha", "index.html.d"}));
  EXPECT_EQ(listing.TotalBytes, 5368709120LL + 17 + 7);
}

TEST(ScanOnDisk, ListsARealFolder) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("one.txt"), "12345");
  WriteFileBytes(folder.Join("two words.html"), "");
  ASSERT_TRUE(std::filesystem::create_directory(folder.Join("inner")));
  CommonStruct record;
  DirFileStruct listing;
  record.DirStr = folder.path();
  record.DirMask = record.FileMask = "*.*";
  record.IncludeParent = true;
  ScanListing(record, SystemFolderSource(), listing);

  ASSERT_EQ(listing.FolderList.size(), 2u);
  EXPECT_EQ(listing.FolderList[0].Find.cFileName, "..");
  EXPECT_EQ(listing.FolderList[1].Find.cFileName, "inner");
  EXPECT_TRUE(IsFolder(listing.FolderList[1].Find.dwFileAttributes));
  ASSERT_EQ(listing.FileList.size(), 2u);
  EXPECT_EQ(listing.FileList[0].Find.cFileName, "one.txt");
  EXPECT_EQ(EntrySize(listing.FileList[0]), 5u);
  EXPECT_EQ(listing.TotalBytes, 5);
  EXPECT_NE(listing.FileList[0].Find.ftLastWriteTime, 0u);
}

}  // namespace

#include "output/placeholders.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

class PlaceholderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record.ContentOf = "Content Of";
    record.DirStr = "C:\\";
    record.TotalSize = "Total Size";
    record.Files = "Files";
    record.FileSize = "bytes";
    record.TotalKbText = "1.50";
    record.FileCountText = "3";
    record.FolderCountText = "2";
  }

  std::string Substituted(std::string text) {
    SubstitutePlaceholders(record, text);
    return text;
  }

  CommonStruct record;
};

TEST_F(PlaceholderTest, LongerNamesAreReplacedBeforeTheirPrefixes) {
  EXPECT_EQ(Substituted("$ContentOf $DirPath"), "Content Of C:\\");
  EXPECT_EQ(Substituted("$TotalSizeInKb $TotalSize"), "1.50 Total Size");
  EXPECT_EQ(Substituted("$FileSize/$Files/$FileCount/$FolderCount"), "bytes/Files/3/2");
  EXPECT_EQ(Substituted("$dirpath $File $Folder"), "$dirpath $File $Folder");
}

TEST_F(PlaceholderTest, InsertedTextIsNotExpandedAgainByTheSamePlaceholder) {
  record.Files = "many $Files";
  EXPECT_EQ(Substituted("$Files and $Files"), "many $Files and many $Files");
  record.DirStr = "C:\\$FileCount";
  EXPECT_EQ(Substituted("$DirPath"), "C:\\3") << "later placeholders see earlier insertions";
}

TEST_F(PlaceholderTest, ClockPlaceholdersHaveTheirLayouts) {
  EXPECT_TRUE(std::regex_match(Substituted("$Date-n-Time"),
                               std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\n")));
  EXPECT_TRUE(std::regex_match(Substituted("$Date"), std::regex("\\d\\d [A-Z][a-z]+ \\d{4}")));
  // The system's own time format may keep its AM/PM marker beside the 24-hour clock.
  EXPECT_TRUE(std::regex_match(Substituted("$Time"), std::regex("\\d{1,2}:\\d\\d:\\d\\d( ?[AP]M)?")));
}

TEST(ReplaceAll, CountsAndSkipsPastInsertions) {
  std::string text = "aXbXc";
  EXPECT_EQ(ReplaceAll(text, "X", "XX"), 2);
  EXPECT_EQ(text, "aXXbXXc");
}

TEST(ComputeListingTotals, CountsWithoutTheParentAndZeroTotalsWithoutFiles) {
  CommonStruct record;
  for (const char* name : {"..", "a", "b", "c"}) {
    FileInfoX entry;
    entry.Find.cFileName = name;
    record.Listing.FolderList.push_back(entry);
  }
  record.TotalBytes = 99;
  ComputeListingTotals(record);
  EXPECT_EQ(record.FolderCountText, "3");
  EXPECT_EQ(record.FileCountText, "0");
  EXPECT_EQ(record.TotalBytesText + record.TotalKbText + record.TotalMbText, "000");

  record.Listing.FileList.resize(2);
  record.TotalBytes = 5368709120LL;
  ComputeListingTotals(record);
  EXPECT_EQ(record.TotalBytesText, "5368709120");
  EXPECT_EQ(record.TotalKbText, "5242880.00");
  EXPECT_EQ(record.TotalMbText, "5120.00");
}

}  // namespace

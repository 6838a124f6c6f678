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

TEST_F(PlaceholderTest, TrickyTextsKeepTheirResults) {
  record.TotalBytesText = "1536";
  record.TotalMbText = "0.00";
  record.Folders = "Folders";
  record.UserWord1 = "one";
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"$", "$"},
      {"$Files$Files$Files", "FilesFilesFiles"},
      {"$FileSize$Files$FileCount$FolderCount$Folders", "bytesFiles32Folders"},
      {"$TotalSizeInBytes$TotalSizeInKb$TotalSizeInMb$TotalSize", "15361.500.00Total Size"},
      {"$$Files$", "$Files$"},
      {"$FileCoun $FolderCounts $TotalSizeIn $UserWord12", "$FileCoun 2s Total SizeIn one2"},
      {"$Filesize $FILES $Fil", "Filesize $FILES $Fil"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Substituted(text), expected) << text;

  record.Files = "$File";
  EXPECT_EQ(Substituted("$Filess"), "$Files") << "an insertion and the text after it are not searched again";
  record.Files = "Files";
  record.ContentOf = "$";
  EXPECT_EQ(Substituted("$ContentOfFiles"), "Files") << "a later placeholder sees what an earlier inserted";
  record.UserWord1 = "$";
  EXPECT_EQ(Substituted("$UserWord1Files"), "$Files") << "an earlier one does not";
  record.DirStr = "$File";
  EXPECT_EQ(Substituted("$DirPaths"), "Files");
}

TEST_F(PlaceholderTest, TheFolderPathIsTextInAPageAndRawInAList) {
  record.DirStr = "/srv/<b>\"x\" & y</b>";
  record.ContentOf = "In $DirPath:";
  record.Output = kOutputHtml;
  const std::string escaped = "/srv/&lt;b&gt;&quot;x&quot; &amp; y&lt;/b&gt;";
  EXPECT_EQ(Substituted("<I>$DirPath</I> $ContentOf"), "<I>" + escaped + "</I> In " + escaped + ":");
  record.Output = kOutputText;
  EXPECT_EQ(Substituted("<I>$DirPath</I>"), "<I>/srv/<b>\"x\" & y</b></I>");
}

TEST_F(PlaceholderTest, ClockPlaceholdersHaveTheirLayouts) {
  EXPECT_TRUE(
      std::regex_match(Substituted("$Date-n-Time"),
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
  EXPECT_EQ(record.FolderCount, 3u);
  EXPECT_EQ(record.FileCount, 0u);
  EXPECT_EQ(record.TotalBytesText + record.TotalKbText + record.TotalMbText, "000");

  record.Listing.FileList.resize(2);
  record.TotalBytes = 5368709120LL;
  ComputeListingTotals(record);
  EXPECT_EQ(record.FileCount, 2u);
  EXPECT_EQ(record.FileCountText, "2");
  EXPECT_EQ(record.TotalBytesText, "5368709120");
  EXPECT_EQ(record.TotalKbText, "5242880.00");
  EXPECT_EQ(record.TotalMbText, "5120.00");
}

}  // namespace

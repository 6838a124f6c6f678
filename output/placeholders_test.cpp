#include "output/placeholders.h"

#include <gtest/gtest.h>

#include <regex>

#include "output/forms.h"

namespace {

class PlaceholderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record.ContentOf = "Content Of";
    record.DirStr = "C:\\";
    record.TotalSize = "Total Size";
    record.Files = "Files";
    record.FileSize = "bytes";
    run.Totals.TotalKbText = "1.50";
    run.Totals.FileCountText = "3";
    run.Totals.FolderCountText = "2";
  }

  std::string Substituted(std::string text) {
    run.Settings = &record;
    run.Folder = record.DirStr;
    run.Form = &ClassicFormOf(record);
    EXPECT_TRUE(SubstitutePlaceholders(run, text));
    return text;
  }

  CommonStruct record;
  ListingRun run;
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
  run.Totals.TotalBytesText = "1536";
  run.Totals.TotalMbText = "0.00";
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
  record.DirStr = "/srv/x\nforged\\y";
  EXPECT_EQ(Substituted("$DirPath"), "/srv/x\\nforged\\\\y") << "a list's line holds one line";
}

TEST_F(PlaceholderTest, ExpansionStopsBeforeItOutgrowsMemory) {
  // Each level multiplies by a thousand: 27 KB of settings ask for gigabytes.
  std::string thousand_files, thousand_words, thousand_content;
  for (int i = 0; i < 1000; ++i) {
    thousand_files += "$Files";
    thousand_words += "$UserWord1";
    thousand_content += "$ContentOf";
  }
  record.ContentOf = thousand_files;
  record.Files = thousand_words;
  record.UserWord1 = "word";
  run.Settings = &record;
  run.Form = &ClassicFormOf(record);
  std::string text = thousand_content;
  EXPECT_FALSE(SubstitutePlaceholders(run, text));
  EXPECT_LE(text.size(), kLongestSubstitution);

  text = "$UserWord2";
  record.UserWord2 = std::string(kLongestSubstitution, 'x');
  EXPECT_TRUE(SubstitutePlaceholders(run, text)) << "exactly the limit is allowed";
  record.UserWord2 += 'x';
  text = "$UserWord2";
  EXPECT_FALSE(SubstitutePlaceholders(run, text));
  EXPECT_EQ(text, "$UserWord2") << "a refused replacement leaves the text";
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
  ListingRun run;
  for (const char* name : {"..", "a", "b", "c"}) {
    FileInfoX entry;
    entry.Find.cFileName = name;
    run.Listing.FolderList.push_back(entry);
  }
  run.Listing.TotalBytes = 99;
  ComputeListingTotals(run);
  const ListingTotals& totals = run.Totals;
  EXPECT_EQ(totals.FolderCountText, "3");
  EXPECT_EQ(totals.FileCountText, "0");
  EXPECT_EQ(totals.FolderCount, 3u);
  EXPECT_EQ(totals.FileCount, 0u);
  EXPECT_EQ(totals.TotalBytesText + totals.TotalKbText + totals.TotalMbText, "000");

  run.Listing.FileList.resize(2);
  run.Listing.TotalBytes = 5368709120LL;
  ComputeListingTotals(run);
  EXPECT_EQ(totals.FileCount, 2u);
  EXPECT_EQ(totals.FileCountText, "2");
  EXPECT_EQ(totals.TotalBytesText, "5368709120");
  EXPECT_EQ(totals.TotalKbText, "5242880.00");
  EXPECT_EQ(totals.TotalMbText, "5120.00");
}

}  // namespace

#include "listing/entry.h"

#include <gtest/gtest.h>

namespace {

std::string Path(const std::string& with_backslashes) {
  std::string path = with_backslashes;
  for (char& c : path) {
    if (c == '\\') c = FolderSeparator();
  }
  return path;
}

TEST(NameOperations, SplitNamesAtTheirLastDotAndSeparator) {
  EXPECT_EQ(ExtensionOf("report.final.doc"), ".doc");
  EXPECT_EQ(ExtensionOf("readme"), "");
  EXPECT_EQ(ExtensionOf(Path("C:\\my.site\\index")), Path(".site\\index"));
  EXPECT_EQ(FileNameOf(Path("C:\\Data\\a.txt")), "a.txt");
  EXPECT_EQ(FileNameOf("plain"), "plain");
  EXPECT_EQ(StemOf(Path("C:\\x\\report.final.doc")), "report.final");
  EXPECT_EQ(StemOf(".profile"), ".profile");
  EXPECT_EQ(StemOf("readme"), "readme");
  EXPECT_EQ(StemOf(".a.a"), ".a");
}

TEST(NameOperations, FolderOfKeepsTheSeparatorOfARootOnly) {
  EXPECT_EQ(FolderOf(Path("C:\\list.htm")), Path("C:\\"));
  EXPECT_EQ(FolderOf(Path("D:\\web\\index.TXT")), Path("D:\\web"));
  EXPECT_EQ(FolderOf(Path("D:\\web\\")), Path("D:\\web"));
  EXPECT_EQ(FolderOf("list.htm"), "");
  EXPECT_EQ(FolderOf(Path("\\list.htm")), FolderSeparator() == '/' ? "/" : "")
      << "only the POSIX root is a folder of its own";
  EXPECT_EQ(FolderOf(Path("\\\\server\\share\\a.txt")), Path("\\\\server\\share"));
  EXPECT_EQ(FolderWithSlashOf(Path("C:\\list.htm")), Path("C:\\"));
  EXPECT_EQ(FolderWithSlashOf(Path("D:\\web\\index.TXT")), Path("D:\\web\\"));
  EXPECT_EQ(FolderWithSlashOf("list.htm"), "");
}

TEST(JoinPath, AddsOneSeparatorOnlyWhereNoneEnds) {
  EXPECT_EQ(JoinPath(Path("C:\\Data"), "*.*"), Path("C:\\Data\\*.*"));
  EXPECT_EQ(JoinPath(Path("C:\\Data\\"), "*.*"), Path("C:\\Data\\*.*"));
}

TEST(EntrySize, JoinsBothHalves) {
  FileInfoX entry;
  entry.Find.nFileSizeHigh = 1;
  entry.Find.nFileSizeLow = 0x40000000;
  EXPECT_EQ(EntrySize(entry), 5368709120ULL);
}

TEST(LowerCase, LowersLettersAndKeepsOtherBytes) {
  EXPECT_EQ(LowerCase("Readme.TXT"), "readme.txt");
  EXPECT_EQ(LowerCase(""), "");
  EXPECT_EQ(LowerCase("a1_-[]"), "a1_-[]");
}

}  // namespace

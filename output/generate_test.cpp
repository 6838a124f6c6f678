#include "output/generate.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

namespace {

TEST(IsHtmlFileName, ChoosesTheFormByTheLastExtension) {
  for (const char* name : {"C:\\FolderIndex.html", "a.HTML", "b.Htm", "c.SHTML", "d.asp"}) {
    EXPECT_TRUE(IsHtmlFileName(name)) << name;
  }
  for (const char* name : {"C:\\List.TXT", "C:\\List", "x.xhtml", "x.php", "C:\\my.site\\index", ""}) {
    EXPECT_FALSE(IsHtmlFileName(name)) << name;
  }
}

TEST(WriteOutputFile, StoresEveryLineEndAsOneCarriageReturnLineFeed) {
  ScopedTempFolder folder;
  CommonStruct record;
  record.OutputFile = folder.Join("out.txt");
  AppendText(record.DocText, "a\r\nb\nc\r");
  const std::string row = "\nd\n\n";
  AppendRow(record.DocText, row);
  ASSERT_TRUE(WriteOutputFile(record));
  EXPECT_EQ(Visible(ReadFileBytes(record.OutputFile)), Visible("a\r\nb\r\nc\r\nd\r\n\r\n"))
      << "a CR at the end of one piece and the LF starting the next are one line end";
}

TEST(WriteOutputFile, FailsWhenTheFileCannotBeWritten) {
  ScopedTempFolder folder;
  CommonStruct record;
  AppendText(record.DocText, "text");
  record.OutputFile = folder.path();
  EXPECT_FALSE(WriteOutputFile(record)) << "a path naming a folder";
  record.OutputFile = folder.Join("missing") + FolderSeparator() + "x.html";
  EXPECT_FALSE(WriteOutputFile(record)) << "a missing folder";
  if (FolderSeparator() == '/' && PathExists("/dev/full")) {
    record.OutputFile = "/dev/full";
    EXPECT_FALSE(WriteOutputFile(record)) << "a full disk";
  }
}

TEST(GenerateListing, WritesTheComposedDocument) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10)};
  ScopedTempFolder folder;
  CommonStruct record;
  record.DirStr = "C:\\Data";
  record.DirMask = record.FileMask = "*.*";
  record.Title = "$FileCount file in $DirPath";
  record.Files = "Files";
  record.Output = kOutputText;
  record.OutputFile = folder.Join("list.txt");
  record.Befor = "$TotalSizeInBytes";
  ASSERT_TRUE(GenerateListing(record, source));
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "10\r\n1 file in C:\\Data\r\n\r\n\r\na.txt\r\n\r\n");
  EXPECT_EQ(record.Befor, "10") << "custom texts keep their substituted form";
}

TEST(GenerateListing, LinksTheFilesOfARealFolder) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("two words.txt"), "12");
  CommonStruct record;
  record.DirStr = folder.path();
  record.DirMask = record.FileMask = "*.*";
  record.Base = "file://localhost/$DirPath";
  record.CreateLinks = true;
  record.OutputFile = folder.Join("index.html");
  ASSERT_TRUE(GenerateListing(record));
  const std::string page = ReadFileBytes(record.OutputFile);
  EXPECT_NE(page.find("<A HREF = two%20words.txt CLASS = NameCl>two words.txt</A>"), std::string::npos);
  EXPECT_NE(page.find("<BASE HREF = file://localhost/"), std::string::npos);
}

}  // namespace

#include "output/generate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "output/document_text.h"
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

TEST(WriteOutputFile, StoresEveryLineEndAsOnePlatformLineEnd) {
  ScopedTempFolder folder;
  CommonStruct record;
  record.OutputFile = folder.Join("out.txt");
  AppendText(record.DocText, "a\r\nb\nc\r");
  const std::deque<FileInfoX> list(1);
  AppendListRows(record.DocText, list, false);
  record.DocText.ComposeRow = [](const FileInfoX&, std::string& row) { row += "\nd\n\n"; };
  std::string failure;
  ASSERT_TRUE(WriteOutputFile(record, failure)) << failure;
  EXPECT_EQ(Visible(ReadFileBytes(record.OutputFile)), Visible(PlatformLines("a\r\nb\r\nc\r\nd\r\n\r\n")))
      << "a CR at the end of one piece and the LF starting the next are one line end";
}

TEST(WriteOutputFile, FailsWhenTheFileCannotBeWritten) {
  ScopedTempFolder folder;
  CommonStruct record;
  AppendText(record.DocText, "text");
  std::string failure;
  record.OutputFile = folder.path();
  EXPECT_FALSE(WriteOutputFile(record, failure)) << "a path naming a folder";
  EXPECT_FALSE(failure.empty());
  record.OutputFile = folder.Join("missing") + FolderSeparator() + "x.html";
  EXPECT_FALSE(WriteOutputFile(record, failure)) << "a missing folder";
  if (FolderSeparator() == '/' && PathExists("/dev/full")) {
    record.OutputFile = "/dev/full";
    EXPECT_FALSE(WriteOutputFile(record, failure)) << "a full disk";
    EXPECT_EQ(failure, "No space left on device");
  }
}

// A text listing of C:\Data, all entries, written to list.txt in folder.
CommonStruct TextListingOfData(const ScopedTempFolder& folder) {
  CommonStruct record;
  record.DirStr = "C:\\Data";
  record.DirMask = record.FileMask = "*.*";
  record.Output = kOutputText;
  record.OutputFile = folder.Join("list.txt");
  return record;
}

TEST(GenerateListing, WritesTheComposedDocument) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10)};
  ScopedTempFolder folder;
  CommonStruct record = TextListingOfData(folder);
  record.Title = "$FileCount file in $DirPath";
  record.Files = "Files";
  record.Befor = "$TotalSizeInBytes";
  ASSERT_EQ(GenerateListing(record, source).Status, GenerateStatus::kWritten);
  EXPECT_EQ(ReadFileBytes(record.OutputFile),
            PlatformLines("10\r\n1 file in C:\\Data\r\n\r\n\r\na.txt\r\n\r\n"));
  EXPECT_EQ(record.Befor, "10") << "custom texts keep their substituted form";
}

// Counts the bytes that pass on to the target.
struct CountingSink : ByteSink {
  explicit CountingSink(ByteSink& target) : target(target) {}
  bool Write(std::string_view bytes) override {
    passed += bytes.size();
    return target.Write(bytes);
  }
  ByteSink& target;
  size_t passed = 0;
};

std::vector<std::string> NamesIn(const ScopedTempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(GenerateListing, WritesThroughTheWrapperAndKeepsTheOldFileWhenItStops) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10), MakeRecord("b.txt", 32, 20)};
  ScopedTempFolder folder;
  CommonStruct record = TextListingOfData(folder);
  int wraps = 0;
  size_t passed = 0;
  ListingOutput output;
  output.Wrap = [&](ByteSink& target, const DocumentWrite& write) {
    ++wraps;
    CountingSink sink(target);
    const bool written = write(sink);
    passed = sink.passed;
    return written;
  };
  ASSERT_EQ(GenerateListing(record, source, output).Status, GenerateStatus::kWritten);
  EXPECT_EQ(wraps, 1);
  EXPECT_EQ(passed, ReadFileBytes(record.OutputFile).size()) << "every byte passed the wrapper";
  EXPECT_NE(ReadFileBytes(record.OutputFile).find("b.txt"), std::string::npos);

  WriteFileBytes(record.OutputFile, "the listing of yesterday");
  output.Wrap = [](ByteSink&, const DocumentWrite&) { return false; };
  EXPECT_EQ(GenerateListing(record, source, output).Status, GenerateStatus::kCannotWrite);
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "the listing of yesterday");
  struct Stopped {};
  output.Wrap = [](ByteSink& target, const DocumentWrite& write) -> bool {
    write(target);
    throw Stopped();
  };
  EXPECT_THROW(GenerateListing(record, source, output), Stopped);
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "the listing of yesterday");
  EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"list.txt"}) << "no new file is left";
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
  ASSERT_EQ(GenerateListing(record).Status, GenerateStatus::kWritten);
  const std::string page = ReadFileBytes(record.OutputFile);
  EXPECT_NE(page.find("<A HREF = two%20words.txt CLASS = NameCl>two words.txt</A>"), std::string::npos);
  EXPECT_NE(page.find("<BASE HREF = file://localhost/"), std::string::npos);
}

TEST(GenerateListing, AnUnreadableFolderWritesNothingAndSaysWhy) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10), MakeRecord("b.txt", 32, 10)};
  source.Failures["C:\\Data"] = {1, "Input/output error"};
  ScopedTempFolder folder;
  CommonStruct record = TextListingOfData(folder);
  WriteFileBytes(record.OutputFile, "the listing of yesterday");

  const GenerateResult result = GenerateListing(record, source);
  EXPECT_EQ(result.Status, GenerateStatus::kCannotReadFolder);
  EXPECT_EQ(result.Reason, "Input/output error");
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "the listing of yesterday");
  EXPECT_TRUE(record.Listing.FileList.empty()) << "no half listing is left to compose";

  record.DirMask = "*";  // two passes: the failure of the second counts as well
  source.Failures["C:\\Data"] = {2, "Input/output error"};
  EXPECT_EQ(GenerateListing(record, source).Status, GenerateStatus::kCannotReadFolder);
}

}  // namespace

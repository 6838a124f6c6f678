#include "output/generate.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/document_text.h"
#include "settings/settings_file.h"
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

// A run of the text form over a listing of the names, in a document of
// its own: the names composed by the form as it writes.
ListingRun RunOf(const CommonStruct& settings, const std::vector<std::string>& names,
                 const std::string& head) {
  ListingRun run;
  run.Settings = &settings;
  run.Form = &FormOf(FormCode::kText);
  for (const std::string& name : names) run.Listing.FileList.push_back({MakeRecord(name, 32)});
  AppendText(run.Document, head);
  AppendListRows(run.Document, EntryList::kFiles);
  return run;
}

TEST(WriteListingFile, StoresEveryLineEndAsOnePlatformLineEnd) {
  ScopedTempFolder folder;
  CommonStruct settings;
  ListingRun run = RunOf(settings, {"d"}, "a\r\nb\nc\r\n");
  const FileWriteOutcome outcome = WriteListingFile(run, folder.Join("out.txt"));
  ASSERT_TRUE(outcome.Written) << outcome.Reason;
  const std::string bytes = ReadFileBytes(folder.Join("out.txt"));
  EXPECT_EQ(Visible(bytes), Visible(PlatformLines("a\r\nb\r\nc\r\nd\r\n")));
  EXPECT_EQ(outcome.Bytes, bytes.size());
}

TEST(WriteListingFile, FailsWhenTheFileCannotBeWritten) {
  ScopedTempFolder folder;
  CommonStruct settings;
  ListingRun run = RunOf(settings, {}, "text");
  const FileWriteOutcome onto_folder = WriteListingFile(run, folder.path());
  EXPECT_FALSE(onto_folder.Written) << "a path naming a folder";
  EXPECT_FALSE(onto_folder.Reason.empty());
  EXPECT_FALSE(WriteListingFile(run, folder.Join("missing") + FolderSeparator() + "x.html").Written)
      << "a missing folder";
  if (FolderSeparator() == '/' && PathExists("/dev/full")) {
    const FileWriteOutcome full = WriteListingFile(run, "/dev/full");
    EXPECT_FALSE(full.Written) << "a full disk";
    EXPECT_EQ(full.Reason, "No space left on device");
  }
}

TEST(ListingRun, AMovedOrCopiedRunWritesWhatTheOriginalWould) {
  ScopedTempFolder folder;
  CommonStruct settings;
  auto original = std::make_unique<ListingRun>(RunOf(settings, {"alpha", "beta"}, "names:\r\n"));
  const std::string expected = FlattenRun(*original);
  ASSERT_EQ(expected, "names:\r\nalpha\r\nbeta\r\n");
  ListingRun copied(*original);
  ListingRun assigned;
  assigned = *original;
  ListingRun moved(std::move(*original));
  original.reset();
  EXPECT_EQ(FlattenRun(copied), expected) << "the copy outlives the original";
  EXPECT_EQ(FlattenRun(assigned), expected);
  EXPECT_EQ(FlattenRun(moved), expected);
  std::vector<ListingRun> runs;
  for (int i = 0; i < 20; ++i) runs.push_back(copied);  // moved as the vector grows
  ASSERT_TRUE(WriteListingFile(runs.front(), folder.Join("moved.txt")).Written);
  EXPECT_EQ(ReadFileBytes(folder.Join("moved.txt")), PlatformLines(expected));
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

TEST(GenerateListing, WritesTheComposedDocumentAndLeavesTheSettingsAsTheyWere) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10)};
  ScopedTempFolder folder;
  CommonStruct record = TextListingOfData(folder);
  record.Title = "$FileCount file in $DirPath";
  record.Files = "Files";
  record.Befor = "$TotalSizeInBytes";
  const std::string before = SerializeSettings(record);
  const GenerateResult result = GenerateListing(record, source);
  ASSERT_EQ(result.Status, GenerateStatus::kWritten);
  const std::string bytes = ReadFileBytes(record.OutputFile);
  EXPECT_EQ(bytes, PlatformLines("10\r\n1 file in C:\\Data\r\n\r\n\r\na.txt\r\n\r\n"));
  EXPECT_EQ(SerializeSettings(record), before);
  EXPECT_EQ(record.Befor, "$TotalSizeInBytes") << "the settings keep their placeholders";
  EXPECT_EQ(result.FolderCount, 0u);
  EXPECT_EQ(result.FileCount, 1u);
  EXPECT_EQ(result.TotalBytes, 10);
  EXPECT_EQ(result.BytesWritten, bytes.size());
}

TEST(ComposeListing, TheSameSettingsListOneFolderAfterAnother) {
  MemoryFolderSource source;
  source.Folders["C:\\a"] = {MakeRecord("one.txt", 32, 10)};
  source.Folders["C:\\b"] = {MakeRecord("two.txt", 32, 20), MakeRecord("three.txt", 32, 30)};
  CommonStruct settings;
  settings.DirMask = settings.FileMask = "*.*";
  settings.Title = "$ContentOf $DirPath";
  settings.ContentOf = "Content of";
  settings.Befor = "<!-- $FileCount in $DirPath -->";
  settings.HeadCustom = "<META NAME=keywords CONTENT=\"$DirPath\">";
  settings.Columns.Set(ColumnId::kSize);
  const CommonStruct& shared = settings;
  std::vector<std::string> pages;
  for (const char* folder : {"C:\\a", "C:\\b", "C:\\a"}) {
    ListingRun run;
    std::string failure;
    ListingPlace place;
    place.Folder = folder;
    ASSERT_EQ(ComposeListing(shared, place, source, FormOf(FormCode::kHtml), run, failure),
              GenerateStatus::kWritten);
    pages.push_back(FlattenRun(run));
  }
  EXPECT_EQ(pages[0], pages[2]) << "nothing of a run stays behind in the settings";
  EXPECT_NE(pages[1].find("<!-- 2 in C:\\b -->"), std::string::npos);
  EXPECT_NE(pages[1].find("CONTENT=\"C:\\b\""), std::string::npos);
  EXPECT_NE(pages[1].find("Content of C:\\b</TITLE>"), std::string::npos);
  EXPECT_EQ(pages[1].find("C:\\a"), std::string::npos) << "no trace of the first folder";
  EXPECT_EQ(pages[1].find("one.txt"), std::string::npos);
}

TEST(GenerateListing, PlaceholdersThatExpandTooFarWriteNothing) {
  MemoryFolderSource source;
  source.Folders["C:\\Data"] = {MakeRecord("a.txt", 32, 10)};
  ScopedTempFolder folder;
  CommonStruct record = TextListingOfData(folder);
  WriteFileBytes(record.OutputFile, "the listing of yesterday");
  for (int i = 0; i < 1000; ++i) {
    record.After += "$ContentOf";
    record.ContentOf += "$Files";
    record.Files += "$UserWord1";
  }
  record.UserWord1 = "word";
  const GenerateResult result = GenerateListing(record, source);
  EXPECT_EQ(result.Status, GenerateStatus::kTextTooLong);
  EXPECT_EQ(result.Reason, "After");
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "the listing of yesterday");
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
  output.Wrap = [&](ByteSink& target, ListingRun&, const DocumentWrite& write) {
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
  output.Wrap = [](ByteSink&, ListingRun&, const DocumentWrite&) { return false; };
  EXPECT_EQ(GenerateListing(record, source, output).Status, GenerateStatus::kCannotWrite);
  EXPECT_EQ(ReadFileBytes(record.OutputFile), "the listing of yesterday");
  struct Stopped {};
  output.Wrap = [](ByteSink& target, ListingRun&, const DocumentWrite& write) -> bool {
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
  ListingRun run;
  std::string reason;
  EXPECT_EQ(ComposeListing(record, PlaceOf(record), source, FormOf(FormCode::kText), run, reason),
            GenerateStatus::kCannotReadFolder);
  EXPECT_TRUE(run.Listing.FileList.empty()) << "no half listing is left to compose";
  EXPECT_TRUE(run.Listing.FolderList.empty());

  record.DirMask = "*";  // two passes: the failure of the second counts as well
  source.Failures["C:\\Data"] = {2, "Input/output error"};
  EXPECT_EQ(GenerateListing(record, source).Status, GenerateStatus::kCannotReadFolder);
}

}  // namespace

// The options that stand for settings, as a user types them: what each does
// to the listing, and that the settings it prints list the same again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/cli_harness.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A folder whose orders by name, by number in the name, by size and by time
// all differ, with a hidden file, an object file and a sub-folder.
class OrderedFolder {
 public:
  OrderedFolder() {
    fs::create_directory(folder_.Join("sub"));
    Make("a10.txt", 5, 300);
    Make("a2.txt", 300, 100);
    Make("a1.txt", 40, 200);
    Make("b.o", 1, 400);
    Make(".hidden", 2, 500);
  }
  const std::string& path() const { return folder_.path(); }

 private:
  void Make(const std::string& name, size_t size, int hours) {
    const std::string path = folder_.Join(name);
    WriteFileBytes(path, std::string(size, 'x'));
    const auto time = fs::file_time_type::clock::now() - std::chrono::hours(hours);
    fs::last_write_time(path, time);
  }
  ScopedTempFolder folder_;
};

// The plain-text listing without its extras, for the names' order.
const std::vector<std::string> kBareText = {
    "--format", "text",    "--set", "ShowMasks=0", "--set", "ShowSummary=0",
    "--set",    "Title=T", "-q",    "-o",          "-"};

// The file names of a bare text listing, in its order.
Names FileNames(const std::string& listing) {
  Names names;
  std::string text = listing;
  for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r')) text.erase(at, 1);
  // "\nT\n\n", the folders, an empty line, the files, an empty line.
  size_t files = text.find("\n\n", 4);
  for (size_t at = files + 2; at < text.size();) {
    const size_t end = text.find('\n', at);
    if (end == at || end == std::string::npos) break;
    names.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

// Lists the folder with the options, then again from the settings that the
// same options print; both must list the same names.
Names Listed(const OrderedFolder& folder, const std::vector<std::string>& options) {
  const std::vector<std::string> arguments = Concat(Concat({folder.path()}, options), kBareText);
  CliRun run = RunCli(arguments);
  EXPECT_EQ(0, run.Status) << run.Err;
  CliRun printed = RunCli(Concat(arguments, {"--print-settings"}));
  ScopedTempFolder jobs;
  WriteFileBytes(jobs.Join("job.ksv"), printed.Out);
  CliRun again = RunCli({"-s", jobs.Join("job.ksv"), "-o", "-", "-q"});
  EXPECT_EQ(0, again.Status) << again.Err;
  EXPECT_EQ(Visible(run.Out), Visible(again.Out)) << "a job saved from options runs the same";
  return FileNames(run.Out);
}

TEST(CliOptions, SortReverseAndNaturalOrder) {
  OrderedFolder folder;
  EXPECT_EQ(Listed(folder, {}), (Names{".hidden", "a1.txt", "a10.txt", "a2.txt", "b.o"}));
  EXPECT_EQ(Listed(folder, {"--sort=version"}), (Names{".hidden", "a1.txt", "a2.txt", "a10.txt", "b.o"}));
  EXPECT_EQ(Listed(folder, {"--sort", "size"}), (Names{"b.o", ".hidden", "a10.txt", "a1.txt", "a2.txt"}));
  EXPECT_EQ(Listed(folder, {"--sort=size", "-r"}), (Names{"a2.txt", "a1.txt", "a10.txt", ".hidden", "b.o"}));
  EXPECT_EQ(Listed(folder, {"--sort=modified"}), (Names{".hidden", "b.o", "a10.txt", "a1.txt", "a2.txt"}));
  EXPECT_EQ(Listed(folder, {"--sort=type", "--reverse"}),
            (Names{"a2.txt", "a10.txt", "a1.txt", "b.o", ".hidden"}));
}

TEST(CliOptions, WhatToList) {
  OrderedFolder folder;
  EXPECT_EQ(Listed(folder, {"--no-hidden"}), (Names{"a1.txt", "a10.txt", "a2.txt", "b.o"}));
  EXPECT_EQ(Listed(folder, {"-I", "*.o", "--exclude=A1*"}), (Names{".hidden", "a2.txt"}))
      << "repeatable, letter case ignored";
  EXPECT_EQ(Listed(folder, {"-P", "*.o", "-P", "a2*"}), (Names{"a2.txt", "b.o"})) << "several includes";
  EXPECT_EQ(Listed(folder, {"--set", "FileMask=*.o; a1*"}), (Names{"a1.txt", "a10.txt", "b.o"}))
      << "\";\" separates the patterns of a mask";
}

TEST(CliOptions, ColumnsTitleSizesAndTimes) {
  OrderedFolder folder;
  const std::vector<std::string> page = {folder.path(), "--format", "html", "-q", "-o", "-"};
  CliRun columns = RunCli(Concat(page, {"--columns=size,attributes", "--title=Files of $FileCount"}));
  ASSERT_EQ(0, columns.Status) << columns.Err;
  EXPECT_TRUE(Contains(columns.Out, "<TITLE>Files of 5</TITLE>"));
  // A file with no attribute but the owner's write permission is a plain
  // file on POSIX; Windows gives new files the archive attribute.
  const std::string attributes = FolderSeparator() == '/' ? "File" : "A ";
  EXPECT_TRUE(Contains(columns.Out, ">300 bytes</TD><TD>" + attributes + "</TD></TR>")) << columns.Out;
  EXPECT_FALSE(Contains(columns.Out, ">Type<"));
  CliRun human = RunCli(Concat(page, {"--columns=STW", "--human-sizes", "--time-style=iso"}));
  ASSERT_EQ(0, human.Status) << human.Err;
  EXPECT_TRUE(Contains(human.Out, "<TD>300 B</TD><TD>20")) << "the unit in the cell, then an ISO time";
  EXPECT_TRUE(Contains(human.Out, "<TR><TD>348 B</TD>")) << "the total too";
  CliRun printed = RunCli(Concat(page, {"--columns=STW", "--human-sizes", "--time-style=iso", "--no-hidden",
                                        "-I", "*.o", "--sort=version", "--print-settings"}));
  for (const char* line : {"Columns=STW", "HumanSizes=1", "TimeStyle=iso", "HideHidden=1", "Exclude=*.o",
                           "SortBy=0", "NaturalOrder=1"}) {
    const std::string key = std::string(line).substr(0, std::string(line).find('='));
    EXPECT_EQ(line, SettingLine(printed.Out, key));
  }
}

// CSV starts with a UTF-8 byte-order mark where --bom asks for it, and by
// default on Windows, for Excel; --no-bom leaves it out. JSON never has one.
TEST(CliOptions, TheByteOrderMarkOfCsv) {
  OrderedFolder folder;
  const std::string mark = "\xEF\xBB\xBF";
  const std::vector<std::string> csv = {folder.path(), "--format", "csv", "-q", "-o", "-"};
  CliRun plain = RunCli(Concat(csv, {"--no-bom"}));
  ASSERT_EQ(0, plain.Status) << plain.Err;
  ASSERT_TRUE(StartsWith(plain.Out, "name,name_bytes,")) << plain.Out;
  EXPECT_EQ(RunCli(Concat(csv, {"--bom"})).Out, mark + plain.Out);
  EXPECT_EQ(RunCli(csv).Out, (FolderSeparator() == '\\' ? mark : "") + plain.Out)
      << "with the mark on Windows only";
  EXPECT_EQ(RunCli(Concat(csv, {"--set", "CsvBom=1"})).Out, mark + plain.Out);
  EXPECT_FALSE(StartsWith(RunCli({folder.path(), "--format", "json", "-q", "--bom"}).Out, mark));

  // Saved, the choice travels with the settings; unchosen, nothing is written.
  EXPECT_EQ("CsvBom=1", SettingLine(RunCli({"--bom", "--print-settings"}).Out, "CsvBom"));
  EXPECT_EQ("CsvBom=0", SettingLine(RunCli({"--no-bom", "--print-settings"}).Out, "CsvBom"));
  EXPECT_FALSE(Contains(RunCli({"--print-settings"}).Out, "CsvBom"));
}

// The output file is in the listed folder: it is never listed, in any form,
// with settings from a file too, and on a rerun that finds it there.
TEST(CliOptions, TheListingNeverListsItsOwnOutput) {
  OrderedFolder folder;
  for (const char* name : {"index.html", "list.txt", "list.csv", "list.json"}) {
    const std::string output = folder.path() + FolderSeparator() + name;
    for (int run = 0; run < 2; ++run) {
      ASSERT_EQ(0, RunCli({folder.path(), "-o", output, "-q"}).Status) << name;
      EXPECT_FALSE(Contains(ReadFileBytes(output), name)) << name << " run " << run;
    }
    ScopedTempFolder jobs;
    const std::string job = jobs.Join("job.ksv");
    WriteFileBytes(job, "DirStr=" + folder.path() + "\r\nOutputFile=" + output + "\r\nColumns=S\r\n");
    ASSERT_EQ(0, RunCli({"-s", job, "-q"}).Status);
    const std::string listing = ReadFileBytes(output);
    EXPECT_FALSE(Contains(listing, name)) << name << " with -s";
    fs::remove(output);
  }
  const std::string text = folder.path() + FolderSeparator() + "names.txt";
  WriteFileBytes(text, "yesterday");
  CliRun summary = RunCli({folder.path(), "-o", text});
  EXPECT_TRUE(Contains(summary.Err, "5 files, 348 bytes"))
      << "the counts agree with the rows: " << summary.Err;
}

}  // namespace

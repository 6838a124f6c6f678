// Whole-or-nothing writes and bounded reads, on every platform.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
  return names;
}

TEST(AtomicFile, ReplacesTheTargetOnlyOnCommit) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "old page");

  AtomicFile file;
  ASSERT_TRUE(file.Open(target)) << file.FailureReason();
  ASSERT_TRUE(file.Write("new "));
  ASSERT_TRUE(file.Write(std::string(3 << 20, 'x'))) << "larger than the buffer";
  EXPECT_EQ(ReadFileBytes(target), "old page") << "readers see the old file until the commit";
  ASSERT_TRUE(file.Commit()) << file.FailureReason();
  EXPECT_EQ(ReadFileBytes(target).size(), 4u + (3 << 20));
  EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"index.html"}) << "no temporary file is left";
}

TEST(AtomicFile, ADiscardedOrFailedWriteLeavesTheOldFileAndNoTrace) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("settings.ksv");
  WriteFileBytes(target, "Title=kept\r\n");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("Title=half"));
    file.Discard();
    EXPECT_FALSE(file.Commit()) << "nothing is left to commit";
  }
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("Title=half"));
  }  // going out of scope uncommitted, as an exception would leave it
  EXPECT_EQ(ReadFileBytes(target), "Title=kept\r\n");
  EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"settings.ksv"});
}

TEST(AtomicFile, TargetsThatCannotBeWrittenFailWithAReason) {
  ScopedTempFolder folder;
  std::string failure;
  EXPECT_FALSE(ReplaceFileAtomically(folder.path(), "x", failure)) << "a folder";
  EXPECT_FALSE(failure.empty());
  const std::string missing = folder.Join("missing") + FolderSeparator() + "x.html";
  EXPECT_FALSE(ReplaceFileAtomically(missing, "x", failure)) << "a missing folder";
  EXPECT_FALSE(failure.empty());
  EXPECT_TRUE(NamesIn(folder.path()).empty());
  EXPECT_TRUE(ReplaceFileAtomically(folder.Join("new.txt"), "x", failure)) << failure;
  EXPECT_TRUE(failure.empty());
}

TEST(ReadSmallFile, ReadsOnlyRegularFilesWithinTheLimit) {
  ScopedTempFolder folder;
  std::string bytes, reason;
  WriteFileBytes(folder.Join("a.ksv"), "Title=x\r\n");
  EXPECT_EQ(ReadSmallFile(folder.Join("a.ksv"), 100, bytes, reason), FileReadStatus::kRead);
  EXPECT_EQ(bytes, "Title=x\r\n");
  EXPECT_EQ(ReadSmallFile(folder.Join("a.ksv"), 8, bytes, reason), FileReadStatus::kTooLarge);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadSmallFile(folder.path(), 100, bytes, reason), FileReadStatus::kNotRegularFile);
  EXPECT_EQ(ReadSmallFile(folder.Join("none.ksv"), 100, bytes, reason), FileReadStatus::kCannotRead);
  EXPECT_FALSE(reason.empty());
}

}  // namespace

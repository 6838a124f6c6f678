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

TEST(AtomicFile, InPlaceEmptiesTheTargetAndWritesItAsItGoes) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "an old page, longer than the new one");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(target, WriteMethod::kInPlace)) << file.FailureReason();
    EXPECT_EQ(ReadFileBytes(target), "") << "emptied as a shell's > empties it";
    ASSERT_TRUE(file.Write(std::string(3 << 20, 'x')));
    EXPECT_EQ(NamesIn(folder.path()), std::vector<std::string>{"index.html"}) << "no file beside it";
    ASSERT_TRUE(file.Write("new"));
    ASSERT_TRUE(file.Commit()) << file.FailureReason();
  }
  EXPECT_EQ(ReadFileBytes(target), std::string(3 << 20, 'x') + "new");
  AtomicFile fresh;
  ASSERT_TRUE(fresh.Open(folder.Join("new.txt"), WriteMethod::kInPlace)) << fresh.FailureReason();
  ASSERT_TRUE(fresh.Write("made"));
  ASSERT_TRUE(fresh.Commit()) << fresh.FailureReason();
  EXPECT_EQ(ReadFileBytes(folder.Join("new.txt")), "made") << "a missing target is created";
  EXPECT_FALSE(fresh.Open(folder.path(), WriteMethod::kInPlace)) << "a folder is refused in place too";
}

TEST(AtomicFile, TemporaryNamesAreKnownByTheirPattern) {
  EXPECT_TRUE(IsTemporaryFileName(".kestrova-0a9f3c.tmp"));
  EXPECT_TRUE(IsTemporaryFileName("~kestrova-000000.tmp")) << "the Windows form, on a shared folder";
  for (const char* other : {"", "kestrova-0a9f3c.tmp", ".kestrova-0A9F3C.tmp", ".kestrova-0a9f3.tmp",
                            ".kestrova-0a9f3c7.tmp", ".kestrova-0a9f3g.tmp", ".kestrova-0a9f3c.tmp~",
                            ".kestrova-0a9f3c.txt", "x.kestrova-0a9f3c.tmp", ".kestrova-.tmp"}) {
    EXPECT_FALSE(IsTemporaryFileName(other)) << other;
  }
  // Whatever new file the writer keeps by a name while it writes has one of
  // the pattern, so that a listing can leave it out.
  ScopedTempFolder folder;
  AtomicFile file;
  ASSERT_TRUE(file.Open(folder.Join("index.html"))) << file.FailureReason();
  ASSERT_TRUE(file.Write(std::string(2 << 20, 'x')));
  for (const std::string& name : NamesIn(folder.path())) EXPECT_TRUE(IsTemporaryFileName(name)) << name;
  ASSERT_TRUE(file.Commit()) << file.FailureReason();
}

TEST(SameFile, TellsOneFileByWhatItIsNotByItsName) {
  ScopedTempFolder folder;
  const std::string separator(1, FolderSeparator());
  const std::string job = folder.Join("job.ksv");
  WriteFileBytes(job, "Title=x\r\n");
  WriteFileBytes(folder.Join("copy.ksv"), "Title=x\r\n");
  EXPECT_TRUE(SameFile(job, job));
  EXPECT_TRUE(SameFile(job, folder.path() + separator + "." + separator + "job.ksv"));
  EXPECT_FALSE(SameFile(job, folder.Join("copy.ksv"))) << "the same bytes in another file";
  EXPECT_FALSE(SameFile(job, folder.Join("missing.ksv")));
  EXPECT_FALSE(SameFile(folder.Join("missing.ksv"), job));

  EXPECT_TRUE(SameFile(folder.Join("new.ksv"), folder.path() + separator + "." + separator + "new.ksv"))
      << "one file yet to be made";
  EXPECT_FALSE(SameFile(folder.Join("new.ksv"), folder.Join("new.html")));
  const std::string missing_folder = folder.Join("gone");
  EXPECT_FALSE(SameFile(missing_folder + separator + "x", missing_folder + separator + "x"))
      << "no folder to hold either";
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

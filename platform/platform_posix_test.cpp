// The POSIX seam: the records Windows would give for the same folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<FolderRecord> Records(const std::string& pattern) {
  std::vector<FolderRecord> records;
  std::string failure;
  EXPECT_TRUE(SystemFolderSource().Enumerate(
      pattern, [&](const FolderRecord& record) { records.push_back(record); }, failure))
      << failure;
  return records;
}

uint64_t SizeOf(const FolderRecord& record) {
  return (static_cast<uint64_t>(record.nFileSizeHigh) << 32) | record.nFileSizeLow;
}

TEST(PosixFolderSource, GivesTheRecordsWindowsWouldGive) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("plain.txt"), "abc");
  WriteFileBytes(folder.Join(".hidden"), "");
  WriteFileBytes(folder.Join("locked.txt"), "");
  fs::permissions(folder.Join("locked.txt"), fs::perms::owner_read | fs::perms::group_read);
  fs::create_directory(folder.Join("Sub"));
  WriteFileBytes(folder.Join("huge.bin"), "");
  fs::resize_file(folder.Join("huge.bin"), 5368709120ULL);
  fs::create_symlink(folder.Join("plain.txt"), folder.Join("link.txt"));
  fs::create_symlink(folder.Join("gone"), folder.Join("dangling"));

  std::vector<FolderRecord> records = Records(folder.path() + "/*.*");
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].cFileName, ".") << "NTFS gives the folder's own entries first";
  EXPECT_EQ(records[1].cFileName, "..");
  std::map<std::string, FolderRecord> by_name;
  for (const FolderRecord& record : records) by_name[record.cFileName] = record;
  ASSERT_EQ(by_name.size(), 9u);

  EXPECT_EQ(by_name["plain.txt"].dwFileAttributes, 128u);
  EXPECT_EQ(SizeOf(by_name["plain.txt"]), 3u);
  EXPECT_EQ(by_name[".hidden"].dwFileAttributes, 2u);
  EXPECT_EQ(by_name["locked.txt"].dwFileAttributes, 1u);
  EXPECT_EQ(by_name["Sub"].dwFileAttributes, 16u);
  EXPECT_EQ(SizeOf(by_name["Sub"]), 0u) << "a folder has no size, as on Windows";
  EXPECT_EQ(by_name["huge.bin"].nFileSizeHigh, 1u);
  EXPECT_EQ(SizeOf(by_name["huge.bin"]), 5368709120ULL);
  EXPECT_EQ(SizeOf(by_name["link.txt"]), 3u) << "links are followed";
  EXPECT_EQ(by_name["dangling"].dwFileAttributes, 128u) << "a broken link is a file";
  EXPECT_EQ(SizeOf(by_name["dangling"]), 0u);
  EXPECT_NE(by_name["dangling"].ftLastWriteTime, 0u) << "with the link's own times";

  // 2020-01-01 in 100 ns since 1601; every time must lie after it.
  const uint64_t year_2020 = 132223104000000000ULL;
  EXPECT_GT(by_name["plain.txt"].ftLastWriteTime, year_2020);
  EXPECT_GT(by_name["plain.txt"].ftCreationTime, year_2020);
  EXPECT_GT(by_name["plain.txt"].ftLastAccessTime, year_2020);
}

TEST(PosixFolderSource, MasksFilterAndAMissingFolderIsAFailure) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("a.TXT"), "");
  WriteFileBytes(folder.Join("b.doc"), "");
  std::vector<FolderRecord> records = Records(folder.path() + "/*.txt");
  ASSERT_EQ(records.size(), 1u) << "neither . nor .. match, and the mask ignores case";
  EXPECT_EQ(records[0].cFileName, "a.TXT");
  std::string failure;
  EXPECT_FALSE(SystemFolderSource().Enumerate(
      folder.Join("missing") + "/*.*", [](const FolderRecord&) {}, failure));
  EXPECT_EQ(failure, "No such file or directory");
}

TEST(PosixPaths, AbsolutePathsNameTheFolderByItsParts) {
  const std::string here = fs::current_path().string();
  EXPECT_EQ(AbsolutePath("."), here);
  EXPECT_EQ(AbsolutePath("./a/../b//c/"), here + "/b/c");
  EXPECT_EQ(AbsolutePath("/x/./y/.."), "/x");
  EXPECT_EQ(AbsolutePath("/.."), "/");
}

}  // namespace

// The POSIX seam: the records Windows would give for the same folder.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

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
  fs::create_directory_symlink("Sub", folder.Join("SubLink"));

  std::vector<FolderRecord> records = Records(folder.path() + "/*.*");
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].cFileName, ".") << "NTFS gives the folder's own entries first";
  EXPECT_EQ(records[1].cFileName, "..");
  std::map<std::string, FolderRecord> by_name;
  for (const FolderRecord& record : records) by_name[record.cFileName] = record;
  ASSERT_EQ(by_name.size(), 10u);

  EXPECT_EQ(by_name["plain.txt"].dwFileAttributes, 128u);
  EXPECT_EQ(SizeOf(by_name["plain.txt"]), 3u);
  EXPECT_EQ(by_name[".hidden"].dwFileAttributes, 2u);
  EXPECT_EQ(by_name["locked.txt"].dwFileAttributes, 1u);
  EXPECT_EQ(by_name["Sub"].dwFileAttributes, 16u);
  EXPECT_EQ(SizeOf(by_name["Sub"]), 0u) << "a folder has no size, as on Windows";
  EXPECT_EQ(by_name["huge.bin"].nFileSizeHigh, 1u);
  EXPECT_EQ(SizeOf(by_name["huge.bin"]), 5368709120ULL);
  EXPECT_EQ(SizeOf(by_name["link.txt"]), 3u) << "links are followed";
  EXPECT_EQ(by_name["link.txt"].dwFileAttributes, 128u | 1024u) << "a link is marked as Windows marks one";
  EXPECT_FALSE(by_name["link.txt"].BrokenLink);
  EXPECT_EQ(by_name["dangling"].dwFileAttributes, 128u | 1024u) << "a broken link is a file";
  EXPECT_TRUE(by_name["dangling"].BrokenLink);
  EXPECT_EQ(SizeOf(by_name["dangling"]), 0u);
  EXPECT_NE(by_name["dangling"].ftLastWriteTime, 0u) << "with the link's own times";
  EXPECT_EQ(by_name["SubLink"].dwFileAttributes, 16u | 1024u) << "a link to a folder is a folder";
  EXPECT_FALSE(by_name["SubLink"].BrokenLink);

  // 2020-01-01 in 100 ns since 1601; every time must lie after it.
  const uint64_t year_2020 = 132223104000000000ULL;
  EXPECT_GT(by_name["plain.txt"].ftLastWriteTime, year_2020);
  EXPECT_GT(by_name["plain.txt"].ftCreationTime, year_2020);
  EXPECT_GT(by_name["plain.txt"].ftLastAccessTime, year_2020);
}

TEST(PosixFolderSource, EveryBrokenLinkIsAFileOfItsOwn) {
  // Only a link that cannot be followed is listed by its own metadata; the
  // command line's tests inject the other failures of following one.
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("plain.txt"), "abc");
  fs::create_symlink(folder.Join("gone"), folder.Join("dangling"));
  fs::create_symlink(folder.Join("loop"), folder.Join("loop"));
  fs::create_symlink(folder.Join("plain.txt") + "/inside", folder.Join("through-a-file"));
  std::map<std::string, FolderRecord> by_name;
  for (const FolderRecord& record : Records(folder.path() + "/*")) by_name[record.cFileName] = record;
  for (const char* name : {"dangling", "loop", "through-a-file"}) {
    ASSERT_EQ(by_name.count(name), 1u) << name;
    EXPECT_EQ(by_name[name].dwFileAttributes, 128u | 1024u) << name;
    EXPECT_TRUE(by_name[name].BrokenLink) << name;
    EXPECT_EQ(SizeOf(by_name[name]), 0u) << name;
  }
}

TEST(PosixFolderSource, ALinkTellsItsTargetAsItHoldsIt) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("plain.txt"), "abc");
  fs::create_symlink("plain.txt", folder.Join("relative"));
  fs::create_symlink("../gone/x", folder.Join("dangling"));
  fs::create_symlink("loop", folder.Join("loop"));
  FolderSource& source = SystemFolderSource();
  std::string target;
  for (const char* name : {"relative", "dangling", "loop"}) {
    ASSERT_TRUE(source.LinkTarget(folder.Join(name), target)) << name;
    EXPECT_EQ(target, fs::read_symlink(folder.Join(name)).string()) << "unresolved, as written: " << name;
  }
  EXPECT_EQ(target, "loop");
  EXPECT_FALSE(source.LinkTarget(folder.Join("plain.txt"), target)) << "no link";
  EXPECT_FALSE(source.LinkTarget(folder.Join("missing"), target));
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

TEST(PosixFolderSource, TheRootHasNeitherOwnNorParentEntry) {
  auto own_entries = [](const std::string& pattern) {
    std::vector<FolderRecord> records = Records(pattern);
    EXPECT_FALSE(records.empty()) << pattern;
    size_t count = 0;
    for (const FolderRecord& record : records) count += record.cFileName == "." || record.cFileName == "..";
    return count;
  };
  EXPECT_EQ(own_entries("/*.*"), 0u) << "as a drive root on Windows";
  EXPECT_EQ(own_entries("/../*.*"), 0u) << "the root reached by its parent is the root";
  EXPECT_EQ(own_entries("/tmp/../*"), 0u);
  EXPECT_EQ(own_entries("/tmp/*.*"), 2u) << "any other folder has both";
}

uint64_t FileTimeOf(const timespec& time) {
  return (static_cast<uint64_t>(time.tv_sec) + 11644473600ULL) * 10000000ULL + time.tv_nsec / 100;
}

// The records as one thread reads them: readdir's order, one stat each.
std::vector<FolderRecord> ReadOneByOne(const std::string& folder) {
  std::vector<FolderRecord> records;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return records;
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    stat((folder + "/" + name).c_str(), &info);
    FolderRecord record;
    record.cFileName = name;
    record.dwFileAttributes = S_ISDIR(info.st_mode) ? 16 : 128;
    record.nFileSizeLow = S_ISDIR(info.st_mode) ? 0 : static_cast<uint32_t>(info.st_size);
    record.ftLastWriteTime = FileTimeOf(info.st_mtim);
    record.ftLastAccessTime = FileTimeOf(info.st_atim);
    records.push_back(record);
  }
  closedir(dir);
  return records;
}

std::string Numbered(const std::string& stem, int number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%05d", stem.c_str(), number);
  return text;
}

TEST(PosixFolderSource, AFolderOfThousandsComesInTheOrderAndWithTheRecordsOfOneThread) {
  ScopedTempFolder folder;
  for (int i = 0; i < 5000; ++i) {
    const std::string path = folder.Join(Numbered(i % 97 == 0 ? "sub" : "file", i));
    if (i % 97 == 0) {
      fs::create_directory(path);
    } else {
      WriteFileBytes(path, "");
      fs::resize_file(path, i % 13);  // sizes without blocks to write: quicker
    }
  }
  const std::vector<FolderRecord> expected = ReadOneByOne(folder.path());
  std::vector<FolderRecord> records = Records(folder.path() + "/*");
  ASSERT_EQ(expected.size(), 5000u);
  ASSERT_EQ(records.size(), 5002u) << "5000 entries after . and ..";
  records.erase(records.begin(), records.begin() + 2);
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string at = "position " + std::to_string(i);
    ASSERT_EQ(records[i].cFileName, expected[i].cFileName) << at;
    EXPECT_EQ(records[i].dwFileAttributes, expected[i].dwFileAttributes) << at;
    EXPECT_EQ(SizeOf(records[i]), expected[i].nFileSizeLow) << at;
    EXPECT_EQ(records[i].ftLastWriteTime, expected[i].ftLastWriteTime) << at;
    EXPECT_EQ(records[i].ftLastAccessTime, expected[i].ftLastAccessTime) << at;
  }

  // A visit may end the scan by throwing (a cancelled generation does),
  // while the threads are reading the next entries.
  size_t visited = 0;
  std::string failure;
  EXPECT_THROW(SystemFolderSource().Enumerate(
                   folder.path() + "/*",
                   [&](const FolderRecord&) {
                     if (++visited == 100) throw std::runtime_error("cancelled");
                   },
                   failure),
               std::runtime_error);
}

TEST(PosixFolderSource, AFolderShrinkingOrGrowingDuringTheScanIsNoFailure) {
  ScopedTempFolder folder;
  std::set<std::string> kept, listed;
  for (int i = 0; i < 5000; ++i) {
    WriteFileBytes(folder.Join(Numbered("f", i)), "");
    if (i % 10 == 0) kept.insert(Numbered("f", i));
  }
  // Entries go and come while the first ones are visited: names already read
  // but not yet looked at vanish, and new names may or may not be seen.
  std::string failure;
  bool changed = false;
  std::multiset<std::string> names;
  ASSERT_TRUE(SystemFolderSource().Enumerate(
      folder.path() + "/f*",
      [&](const FolderRecord& record) {
        names.insert(record.cFileName);
        if (changed) return;
        changed = true;
        for (int i = 0; i < 5000; ++i) {
          if (i % 10 != 0) fs::remove(folder.Join(Numbered("f", i)));
        }
        for (int i = 0; i < 1000; ++i) WriteFileBytes(folder.Join(Numbered("fnew", i)), "");
      },
      failure))
      << failure;
  for (const std::string& name : kept) EXPECT_EQ(names.count(name), 1u) << name;

  // The same with the changes made by another thread while the metadata is read.
  std::atomic<bool> scanning{true};
  std::thread changer([&] {
    for (int round = 0; scanning; ++round) {
      for (int i = 1; i < 5000; i += 10) {
        const std::string path = folder.Join(Numbered("f", i));
        if (round % 2 == 0) {
          fs::remove(path);
        } else {
          WriteFileBytes(path, "");
        }
      }
    }
  });
  for (int scan = 0; scan < 5; ++scan) {
    names.clear();
    EXPECT_TRUE(SystemFolderSource().Enumerate(
        folder.path() + "/f*", [&](const FolderRecord& record) { names.insert(record.cFileName); }, failure))
        << failure;
    for (const std::string& name : kept) ASSERT_EQ(names.count(name), 1u) << name;
  }
  scanning = false;
  changer.join();
}

TEST(PosixPaths, AbsolutePathsNameTheFolderByItsParts) {
  const std::string here = fs::current_path().string();
  EXPECT_EQ(AbsolutePath("."), here);
  EXPECT_EQ(AbsolutePath("./a/../b//c/"), here + "/b/c");
  EXPECT_EQ(AbsolutePath("/x/./y/.."), "/x");
  EXPECT_EQ(AbsolutePath("/.."), "/");
}

}  // namespace

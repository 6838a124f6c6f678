#include "listing/ordering.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "settings/common_struct.h"

namespace {

FileInfoX Entry(const std::string& name, uint64_t size = 0, uint32_t attributes = 32, uint64_t time = 0) {
  FileInfoX entry;
  entry.Find.cFileName = name;
  entry.Find.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  entry.Find.nFileSizeLow = static_cast<uint32_t>(size);
  entry.Find.dwFileAttributes = attributes;
  entry.Find.ftLastWriteTime = entry.Find.ftCreationTime = entry.Find.ftLastAccessTime = time;
  return entry;
}

// Codes as numbers, as a settings file may hold any.
SortCode Code(int number) { return static_cast<SortCode>(number); }

// A mark of each entry in a time that the code does not sort by.
uint64_t& TagOf(FileInfoX& entry, int code) {
  return code == kSortByLastRead ? entry.Find.ftCreationTime : entry.Find.ftLastAccessTime;
}

std::vector<std::string> Sorted(std::deque<FileInfoX> list, int code, bool ignore_case = false) {
  SortEntries(list, Code(code), ignore_case);
  std::vector<std::string> names;
  for (const FileInfoX& entry : list) names.push_back(entry.Find.cFileName);
  return names;
}

using Names = std::vector<std::string>;

TEST(SortEntries, EachCodeOrdersByItsKeyThenByName) {
  EXPECT_EQ(Sorted({Entry("alpha"), Entry("Gamma"), Entry("Beta")}, 0), (Names{"Beta", "Gamma", "alpha"}));
  EXPECT_EQ(Sorted({Entry("alpha"), Entry("Gamma"), Entry("Beta")}, 0, true),
            (Names{"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(Sorted({Entry("B.TXT"), Entry("a.doc"), Entry("C.Doc")}, 1, true),
            (Names{"a.doc", "C.Doc", "B.TXT"}));
  EXPECT_EQ(Sorted({Entry("README"), Entry("b"), Entry("readme")}, 0, true), (Names{"b", "README", "readme"}))
      << "names equal but for case keep their enumeration order";
  EXPECT_EQ(Sorted({Entry("a.txt"), Entry("b.doc"), Entry("c"), Entry("y.txt"), Entry("x.txt")}, 1),
            (Names{"c", "b.doc", "a.txt", "x.txt", "y.txt"}));
  EXPECT_EQ(Sorted({Entry("b", 10), Entry("c", 2), Entry("a", 10)}, 5), (Names{"c", "a", "b"}));
  EXPECT_EQ(Sorted({Entry("big", 5368709120ULL), Entry("small", 4294967295ULL)}, 5), (Names{"small", "big"}));
  for (int code : {2, 3, 4}) {
    EXPECT_EQ(Sorted({Entry("new", 0, 32, 9), Entry("b", 0, 32, 1), Entry("a", 0, 32, 1)}, code),
              (Names{"a", "b", "new"}));
  }
  EXPECT_EQ(Sorted({Entry("dir", 0, 16), Entry("arch", 0, 32), Entry("none", 0, 0)}, 6),
            (Names{"none", "arch", "dir"}));
}

TEST(SortEntries, TheParentEntryComesFirstUnderEveryCode) {
  for (int code = -1; code <= 9; ++code) {
    EXPECT_EQ(Sorted({Entry("a", 0, 16), Entry("..", 9, 16, 9), Entry("B", 0, 16)}, code).front(), "..")
        << "code " << code;
  }
  EXPECT_EQ(Sorted({Entry("b"), Entry(".."), Entry("a")}, 9), (Names{"..", "b", "a"}))
      << "an unknown code keeps the enumeration order";
}

TEST(SortEntries, GivesTheOrderOfInsertingOneByOneTiesIncluded) {
  std::mt19937 random(7);
  for (int run = 0; run <= 13; ++run) {
    const int code = run % 7;
    const bool ignore_case = run >= 7;
    std::deque<FileInfoX> gathered;
    std::deque<FileInfoX> inserted;
    for (int i = 0; i < 300; ++i) {
      // Few distinct keys, so that many pairs compare 0 (a shared name, or one
      // that differs in letter case only).
      FileInfoX entry =
          Entry((random() % 2 ? "n" : "N") + std::to_string(random() % 40) + (random() % 3 ? ".a" : ".B"),
                random() % 5, random() % 2 ? 16 : 33, random() % 4);
      // Half the runs hold a parent entry somewhere in the middle.
      if (run % 2 == 0 && i == 100 + run) entry = Entry("..", 0, 16);
      TagOf(entry, code) = i;
      gathered.push_back(entry);
      InsertSorted(inserted, entry, Code(code), ignore_case);
    }
    SortEntries(gathered, Code(code), ignore_case);
    ASSERT_EQ(gathered.size(), inserted.size());
    for (size_t i = 0; i < gathered.size(); ++i) {
      ASSERT_EQ(TagOf(gathered[i], code), TagOf(inserted[i], code))
          << "code " << code << (ignore_case ? " ignoring case" : "") << " position " << i;
    }
  }
}

TEST(SortEntries, NamesThatShareLongBeginningsOrderByEveryByte) {
  // Names agreeing in their first 4, 8, 12 or more bytes, bytes above 127,
  // names that begin others, and entries whose sort name is the name itself.
  const std::string beginnings[] = {
      "", "abcd", "report-1", "report-1ae59", "report-1ae59ea8-and-a-long-tail", "\xc3\xa9t\xc3\xa9"};
  const char endings[] = {'a', 'Z', '\xe9', '-', '.'};
  std::mt19937 random(11);
  for (int code = 0; code <= 6; ++code) {
    std::deque<FileInfoX> gathered;
    std::deque<FileInfoX> inserted;
    for (int i = 0; i < 400; ++i) {
      std::string name = beginnings[random() % 6];
      for (unsigned length = random() % 4; length > 0; --length) name += endings[random() % 5];
      if (name.empty()) name = "x";
      FileInfoX entry = Entry(name, random() % 3, random() % 2 ? 16 : 33, random() % 3);
      TagOf(entry, code) = i;
      gathered.push_back(entry);
      InsertSorted(inserted, entry, Code(code), code % 2 == 0);
    }
    SortEntries(gathered, Code(code), code % 2 == 0);
    for (size_t i = 0; i < gathered.size(); ++i) {
      ASSERT_EQ(TagOf(gathered[i], code), TagOf(inserted[i], code)) << "code " << code << " position " << i;
    }
  }
}

TEST(SortEntries, NaturalOrderCountsTheNumbersInNames) {
  auto natural = [](std::deque<FileInfoX> list, int code) {
    SortEntries(list, Code(code), false, true);
    Names names;
    for (const FileInfoX& entry : list) names.push_back(entry.Find.cFileName);
    return names;
  };
  EXPECT_EQ(natural({Entry("a10"), Entry("a2"), Entry("a1"), Entry("a02"), Entry("b"), Entry("a")}, 0),
            (Names{"a", "a1", "a02", "a2", "a10", "b"}))
      << "leading zeros first among equal numbers";
  EXPECT_EQ(natural({Entry("v1.10.txt"), Entry("v1.9.txt"), Entry("v1.9.1.txt")}, 0),
            (Names{"v1.9.txt", "v1.9.1.txt", "v1.10.txt"}));
  EXPECT_EQ(natural({Entry("x", 5), Entry("track10", 5), Entry("track9", 5)}, 5),
            (Names{"track9", "track10", "x"}))
      << "ties of another key fall back to the natural order of the names";
  EXPECT_EQ(natural({Entry(".."), Entry("99999999999999999999999"), Entry("100000000000000000000000")}, 0),
            (Names{"..", "99999999999999999999999", "100000000000000000000000"}))
      << "numbers longer than any integer";
  std::mt19937 random(3);
  std::deque<FileInfoX> gathered, inserted;
  for (int i = 0; i < 300; ++i) {
    FileInfoX entry = Entry(
        "n" + std::to_string(random() % 30) + (random() % 2 ? "-0" : "-") + std::to_string(random() % 12),
        random() % 3);
    TagOf(entry, 0) = i;
    gathered.push_back(entry);
    InsertSorted(inserted, entry, kSortByName, false, true);
  }
  SortEntries(gathered, kSortByName, false, true);
  for (size_t i = 0; i < gathered.size(); ++i) ASSERT_EQ(TagOf(gathered[i], 0), TagOf(inserted[i], 0)) << i;
}

TEST(CompareNatural, IsATotalOrder) {
  const std::vector<std::string> names = {"",     "a",    "a0",    "a00",      "a1",    "a01", "a001b",
                                          "a1a",  "a10",  "1",     "01",       "9",     "10",  "x9y",
                                          "x10y", "x09y", "a.txt", "a.tar.gz", "a1.b2", ".x",  "a.1"};
  for (const std::string& a : names) {
    EXPECT_EQ(CompareNatural(a, a), 0) << a;
    for (const std::string& b : names) {
      EXPECT_EQ(CompareNatural(a, b), -CompareNatural(b, a)) << a << " " << b;
      for (const std::string& c : names) {
        if (CompareNatural(a, b) < 0 && CompareNatural(b, c) < 0) {
          EXPECT_LT(CompareNatural(a, c), 0) << a << " " << b << " " << c;
        }
      }
    }
  }
}

TEST(InsertSorted, KeepsTheListAscendingWhereverTheEntryGoes) {
  std::deque<FileInfoX> list;
  for (const char* name : {"m", "a", "z", "f", "q", "b"}) InsertSorted(list, Entry(name), kSortByName, false);
  Names names;
  for (const FileInfoX& entry : list) names.push_back(entry.Find.cFileName);
  EXPECT_EQ(names, (Names{"a", "b", "f", "m", "q", "z"}));
}

}  // namespace

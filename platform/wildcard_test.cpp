#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

TEST(MatchesMask, FollowsTheWindowsWildcardRules) {
  EXPECT_TRUE(MatchesMask("*.*", "readme"));
  EXPECT_TRUE(MatchesMask("*.*", "a.b.c"));
  EXPECT_TRUE(MatchesMask("*.*", ".."));
  EXPECT_TRUE(MatchesMask("*.TXT", "notes.txt"));
  EXPECT_FALSE(MatchesMask("*.txt", "notes.txt.bak"));
  EXPECT_TRUE(MatchesMask("a?c*", "abcdef"));
  EXPECT_FALSE(MatchesMask("a?c", "ac"));
  EXPECT_FALSE(MatchesMask("a*", ".."));
  EXPECT_TRUE(MatchesMask("data.*", "data")) << "a mask ending in .* matches names without a dot";
  EXPECT_FALSE(MatchesMask("data.*", "database"));
  EXPECT_TRUE(MatchesMask("*", "x"));
}

TEST(MatchesMask, DotsAndQuestionMarksEverywhereInTheMask) {
  EXPECT_TRUE(MatchesMask("*.*.*", "readme")) << "each .* may match the end of the name";
  EXPECT_TRUE(MatchesMask("*.*.*", "a.b"));
  EXPECT_TRUE(MatchesMask("*.*.*", "a.b.c.d"));
  EXPECT_TRUE(MatchesMask("*.?", "readme"));
  EXPECT_TRUE(MatchesMask("a.?", "a.b"));
  EXPECT_FALSE(MatchesMask("a.?", "a.bc"));
  EXPECT_TRUE(MatchesMask("ab??", "ab")) << "? matches nothing at the end";
  EXPECT_TRUE(MatchesMask("ab??.txt", "ab.txt")) << "nor at a dot";
  EXPECT_FALSE(MatchesMask("a?c", "a.c")) << "? does not take the dot";
  EXPECT_TRUE(MatchesMask("*.", "readme")) << "*. lists the names without an extension";
  EXPECT_FALSE(MatchesMask("*.", "a.b"));
  EXPECT_FALSE(MatchesMask("*.b", "a.b.c")) << "* before a dot stops at the last dot";
  EXPECT_TRUE(MatchesMask("*.c", "a.b.c"));
  EXPECT_TRUE(MatchesMask("*.b*", "a.b.c"));
  EXPECT_TRUE(MatchesMask("*a*a*a*a*a*a*a*a*", std::string(600, 'a'))) << "long names, many stars";
  EXPECT_FALSE(MatchesMask("*a*a*a*a*a*a*a*a*b", std::string(600, 'a')));
  EXPECT_FALSE(MatchesMask("", "x"));
}

// The system's own enumeration: FindFirstFileA on Windows, the rules above on
// POSIX. Both must list the same names.
TEST(MatchesMask, TheSystemListsWhatWindowsLists) {
  ScopedTempFolder folder;
  for (const char* name :
       {"abc", "a.b", "a.b.c", "data", "database", "notes.txt", "notes.txt.bak", "x.TXT"}) {
    WriteFileBytes(folder.Join(name), "");
  }
  auto listed = [&](const std::string& mask) {
    std::set<std::string> names;
    std::string failure;
    EXPECT_TRUE(SystemFolderSource().Enumerate(
        folder.path() + FolderSeparator() + mask,
        [&](const FolderRecord& record) {
          if (record.cFileName != "." && record.cFileName != "..") names.insert(record.cFileName);
        },
        failure))
        << failure;
    return names;
  };
  using Names = std::set<std::string>;
  EXPECT_EQ(listed("*.*.*"),
            (Names{"abc", "a.b", "a.b.c", "data", "database", "notes.txt", "notes.txt.bak", "x.TXT"}));
  EXPECT_EQ(listed("data.*"), Names{"data"});
  EXPECT_EQ(listed("*.txt"), (Names{"notes.txt", "x.TXT"}));
  EXPECT_EQ(listed("a*"), (Names{"abc", "a.b", "a.b.c"}));
  EXPECT_EQ(listed("*b*"), (Names{"abc", "a.b", "a.b.c", "database", "notes.txt.bak"}));
  EXPECT_EQ(listed("?.b"), Names{"a.b"});
  EXPECT_EQ(listed("a.?"), Names{"a.b"});
  EXPECT_EQ(listed("*.b*"), (Names{"a.b", "a.b.c", "notes.txt.bak"}));
}

}  // namespace

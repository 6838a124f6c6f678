#include "platform/wildcard.h"

#include <gtest/gtest.h>

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

}  // namespace

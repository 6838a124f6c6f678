#include "tree/ignore_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

// Whether rules of an ignore file in the stack's top folder leave out the
// entry at path ("a/b/name"), asked on its own as git check-ignore asks.
bool Ignored(std::string_view rules, std::string_view path, bool is_folder = false) {
  const IgnoreStack stack = PushIgnoreFile(IgnoreStack{}, "", rules);
  const size_t slash = path.rfind('/');
  const std::string_view folder = slash == std::string_view::npos ? "" : path.substr(0, slash);
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return IsIgnored(stack, folder, name, is_folder);
}

TEST(IgnoreRules, CommentsBlankLinesAndEscapes) {
  EXPECT_TRUE(Ignored("# a comment\n\nfoo\n", "foo"));
  EXPECT_FALSE(Ignored("# a comment\n", "# a comment"));
  EXPECT_TRUE(Ignored("\\#hash\n", "#hash")) << "a backslash makes # a pattern";
  EXPECT_TRUE(Ignored(" #x\n", " #x")) << "only a # in the first column starts a comment";
  EXPECT_TRUE(Ignored("\\!bang\n", "!bang")) << "a backslash makes ! a name";
  EXPECT_FALSE(Ignored("!bang\n", "bang")) << "a leading ! re-includes; nothing was left out";
  EXPECT_FALSE(Ignored("!bang\n", "!bang"));
  EXPECT_TRUE(Ignored("a\\*b\n", "a*b"));
  EXPECT_FALSE(Ignored("a\\*b\n", "axb"));
  EXPECT_TRUE(Ignored("a\\\\b\n", "a\\b"));
  EXPECT_FALSE(Ignored("a\\\n", "a")) << "a trailing backslash matches nothing";
  EXPECT_FALSE(Ignored("a\\\n", "a\\"));
  EXPECT_FALSE(Ignored("/\n!\n!/\n", "a", true)) << "patterns with nothing left match nothing";
}

TEST(IgnoreRules, TrailingSpacesLineEndsAndByteOrderMarks) {
  EXPECT_TRUE(Ignored("foo  \n", "foo"));
  EXPECT_FALSE(Ignored("foo  \n", "foo  "));
  EXPECT_TRUE(Ignored("foo\\ \n", "foo ")) << "an escaped space stays";
  EXPECT_FALSE(Ignored("foo\\ \n", "foo"));
  EXPECT_TRUE(Ignored("foo\\  \n", "foo ")) << "spaces after the escaped one go";
  EXPECT_TRUE(Ignored("tab\t\n", "tab\t")) << "only spaces are trimmed";
  EXPECT_FALSE(Ignored("tab\t\n", "tab"));
  EXPECT_TRUE(Ignored(" lead\n", " lead")) << "leading spaces stay";

  const std::string crlf = "foo\r\nsp \r\nfooo\r\r\nlast\r";
  EXPECT_TRUE(Ignored(crlf, "foo"));
  EXPECT_TRUE(Ignored(crlf, "sp")) << "the CR goes before the spaces are trimmed";
  EXPECT_TRUE(Ignored(crlf, "fooo\r")) << "one CR is dropped before the LF, not two";
  EXPECT_FALSE(Ignored(crlf, "fooo"));
  EXPECT_TRUE(Ignored(crlf, "last")) << "the last line needs no LF";

  EXPECT_TRUE(
      Ignored("\xEF\xBB\xBF"
              "bom\n",
              "bom"))
      << "a byte order mark at the start is skipped";
  EXPECT_TRUE(Ignored("\xEF\xBB\xBF#comment\n", "x") == false);
  EXPECT_TRUE(
      Ignored("a\n\xEF\xBB\xBF"
              "bom\n",
              "\xEF\xBB\xBF"
              "bom"))
      << "nowhere else";
  EXPECT_TRUE(Ignored("foo\0bar\n"s, "foo")) << "a line ends at a NUL, as git reads it";
}

TEST(IgnoreRules, TheLastMatchingRuleWins) {
  const char* const logs = "*.log\n!keep.log\n";
  EXPECT_TRUE(Ignored(logs, "a.log"));
  EXPECT_FALSE(Ignored(logs, "keep.log"));
  EXPECT_FALSE(Ignored(logs, "sub/keep.log"));
  EXPECT_TRUE(Ignored("!keep.log\n*.log\n", "keep.log"));
  // A literal name, a suffix, a glob of the name and a glob of the path are
  // looked up in different ways; their order in the file still decides.
  EXPECT_FALSE(Ignored("foo\n!f*\n", "foo"));
  EXPECT_TRUE(Ignored("f*\n!foo\n*oo\n", "foo"));
  EXPECT_FALSE(Ignored("*oo\n!*.oo\n", "a.oo"));
  EXPECT_TRUE(Ignored("!*.oo\n*oo\n", "a.oo"));
  EXPECT_FALSE(Ignored("/foo\n!foo\n", "foo"));
  EXPECT_TRUE(Ignored("!foo\n/foo\n", "foo"));
  EXPECT_FALSE(Ignored("*.c\n!src/*.c\n", "src/a.c"));
  EXPECT_TRUE(Ignored("*.c\n!src/*.c\n", "src/sub/a.c")) << "src/*.c does not reach a level deeper";
  EXPECT_TRUE(Ignored("a.x\n!*.x\na.x\n", "a.x"));
  EXPECT_TRUE(Ignored("!de*p\n/d*\n", "deep")) << "a later glob of the path beats a glob of the name";
  EXPECT_FALSE(Ignored("a.x\n!*.x\n", "a.x"));
}

TEST(IgnoreRules, ASlashAnchorsAPatternToTheFilesFolder) {
  EXPECT_TRUE(Ignored("foo\n", "foo"));
  EXPECT_TRUE(Ignored("foo\n", "a/b/foo")) << "a name matches at any depth";
  EXPECT_TRUE(Ignored("/foo\n", "foo"));
  EXPECT_FALSE(Ignored("/foo\n", "a/foo"));
  EXPECT_TRUE(Ignored("a/foo\n", "a/foo"));
  EXPECT_FALSE(Ignored("a/foo\n", "b/a/foo")) << "a slash in the middle anchors too";
  EXPECT_FALSE(Ignored("a/foo\n", "foo"));
  EXPECT_TRUE(Ignored("a/*.c\n", "a/x.c"));
  EXPECT_FALSE(Ignored("a/*.c\n", "a/b/x.c"));
  EXPECT_TRUE(Ignored("*/foo\n", "a/foo"));
  EXPECT_FALSE(Ignored("*/foo\n", "foo"));
  EXPECT_FALSE(Ignored("*/foo\n", "a/b/foo"));
  EXPECT_FALSE(Ignored("\\/foo\n", "foo")) << "an escaped leading slash is no anchor";
  EXPECT_TRUE(Ignored("a\\/foo\n", "a/foo"));
  EXPECT_FALSE(Ignored("//foo\n", "foo"));
}

TEST(IgnoreRules, DoubleStars) {
  EXPECT_TRUE(Ignored("**/foo\n", "foo"));
  EXPECT_TRUE(Ignored("**/foo\n", "a/b/foo"));
  EXPECT_TRUE(Ignored("**/foo/bar\n", "foo/bar"));
  EXPECT_TRUE(Ignored("**/foo/bar\n", "a/foo/bar"));
  EXPECT_FALSE(Ignored("**/foo/bar\n", "a/xfoo/bar"));
  EXPECT_TRUE(Ignored("abc/**\n", "abc/x/y"));
  EXPECT_FALSE(Ignored("abc/**\n", "abc", true)) << "a trailing /** is what is inside, not the folder";
  EXPECT_TRUE(Ignored("a/**/b\n", "a/b"));
  EXPECT_TRUE(Ignored("a/**/b\n", "a/x/y/b"));
  EXPECT_FALSE(Ignored("a/**/b\n", "a/xb"));
  EXPECT_TRUE(Ignored("***/foo\n", "x/foo")) << "more stars are two";
  EXPECT_TRUE(Ignored("**\n", "a/b/c"));
  EXPECT_TRUE(Ignored("/**\n", "a"));
  // A "**" that is not a whole segment is a "*".
  EXPECT_TRUE(Ignored("a/**b\n", "a/xb"));
  EXPECT_FALSE(Ignored("a/**b\n", "a/x/b"));
  EXPECT_TRUE(Ignored("x/a**b\n", "x/a-b"));
  EXPECT_FALSE(Ignored("x/a**b\n", "x/a/b"));
  // git compares the part before the first wildcard on its own, so that a
  // "**" right after it counts as a whole segment.
  EXPECT_TRUE(Ignored("/x**\n", "xa/b"));
  EXPECT_TRUE(Ignored("q**/b\n", "qb"));
  EXPECT_TRUE(Ignored("q**/b\n", "qz/x/b"));
  EXPECT_FALSE(Ignored("a/x**\n", "b/x/y"));
  // Before an escaped slash "**" crosses slashes but never stands for none.
  EXPECT_TRUE(Ignored("a/**\\/b\n", "a/c/b"));
  EXPECT_FALSE(Ignored("a/**\\/b\n", "a/b"));
}

TEST(IgnoreRules, ATrailingSlashMatchesFoldersOnly) {
  EXPECT_TRUE(Ignored("build/\n", "build", true));
  EXPECT_FALSE(Ignored("build/\n", "build", false));
  EXPECT_TRUE(Ignored("build/\n", "a/build", true));
  EXPECT_TRUE(Ignored("*.d/\n", "x.d", true));
  EXPECT_FALSE(Ignored("*.d/\n", "x.d", false));
  EXPECT_TRUE(Ignored("b*/\n", "bin", true));
  EXPECT_FALSE(Ignored("b*/\n", "bin", false));
  EXPECT_TRUE(Ignored("a/b/\n", "a/b", true));
  EXPECT_FALSE(Ignored("a/b/\n", "a/b", false));
  EXPECT_FALSE(Ignored("build\n!build/\n", "build", true));
  EXPECT_TRUE(Ignored("build\n!build/\n", "build", false)) << "the negation is for folders only";
  EXPECT_TRUE(Ignored("!build\nbuild/\n*.o/\n", "build", true));
  EXPECT_FALSE(Ignored("x\nx/\n!*/\n", "x", true));
  EXPECT_TRUE(Ignored("x\nx/\n!*/\n", "x", false));
}

TEST(IgnoreRules, CharacterSets) {
  EXPECT_TRUE(Ignored("[ab]c\n", "bc"));
  EXPECT_FALSE(Ignored("[ab]c\n", "cc"));
  EXPECT_TRUE(Ignored("[!ab]c\n", "cc"));
  EXPECT_FALSE(Ignored("[!ab]c\n", "ac"));
  EXPECT_TRUE(Ignored("[^ab]c\n", "cc"));
  EXPECT_TRUE(Ignored("[a-c]x\n", "bx"));
  EXPECT_FALSE(Ignored("[a-c]x\n", "dx"));
  EXPECT_TRUE(Ignored("[]]\n", "]")) << "a ] first is a member";
  EXPECT_TRUE(Ignored("[]a]\n", "a"));
  EXPECT_TRUE(Ignored("[!]]\n", "a"));
  EXPECT_FALSE(Ignored("[!]]\n", "]"));
  EXPECT_TRUE(Ignored("[a-]\n", "-")) << "a - at the end is a member";
  EXPECT_TRUE(Ignored("[\\]]\n", "]"));
  EXPECT_TRUE(Ignored("[\\a-c]\n", "b")) << "an escaped member starts a range";
  EXPECT_TRUE(Ignored("[[:digit:]]x\n", "7x"));
  EXPECT_FALSE(Ignored("[[:digit:]]x\n", "ax"));
  EXPECT_TRUE(Ignored("[[:upper:][:digit:]_]\n", "_"));
  EXPECT_TRUE(Ignored("[[:space:]]\n", "\r"));
  EXPECT_FALSE(Ignored("[[:space:]]\n", "\v")) << "git's space class holds no vertical tab";
  EXPECT_FALSE(Ignored("[[:alpha:]]\n", "\xC3")) << "the classes are ASCII";
  EXPECT_TRUE(Ignored("[[:a]\n", ":")) << "[: without :] is no class";
  EXPECT_TRUE(Ignored("[[:a]\n", "["));
  EXPECT_FALSE(Ignored("[[:bogus:]]\n*x[\n[\n[[::]]\n", "[")) << "a malformed set matches nothing";
  EXPECT_FALSE(Ignored("[[:bogus:]]\n*x[\n", "ax["));
  EXPECT_FALSE(Ignored("a[/]b\n", "a/b")) << "no wildcard matches a slash";
  EXPECT_FALSE(Ignored("a[!x]b\n", "a/b"));
  EXPECT_FALSE(Ignored("a?b\n", "a/b"));
  EXPECT_TRUE(Ignored("caf??\n", "caf\xC3\xA9")) << "names are matched byte by byte, as git does";
  EXPECT_FALSE(Ignored("caf?\n", "caf\xC3\xA9"));
  EXPECT_FALSE(Ignored("FOO\n", "foo")) << "case-sensitive";
}

TEST(IgnoreStack, DeeperFilesBeatShallowerOnes) {
  IgnoreStack stack = PushIgnoreFile(IgnoreStack{}, "", "*.log\n/top-only\nsub/anchored\n");
  const IgnoreStack sub = PushIgnoreFile(stack, "sub", "!*.log\n/own\nx/y\n");
  EXPECT_TRUE(IsIgnored(stack, "other", "a.log", false)) << "a sibling folder carries the stack without it";
  EXPECT_FALSE(IsIgnored(sub, "sub", "a.log", false));
  EXPECT_FALSE(IsIgnored(sub, "sub/deeper", "a.log", false));
  EXPECT_TRUE(IsIgnored(sub, "sub", "anchored", false)) << "the shallower file's rules still reach";
  EXPECT_TRUE(IsIgnored(sub, "sub", "own", false)) << "a nested file anchors to its own folder";
  EXPECT_FALSE(IsIgnored(sub, "sub/deeper", "own", false));
  EXPECT_TRUE(IsIgnored(sub, "sub/x", "y", false));
  EXPECT_FALSE(IsIgnored(sub, "sub", "top-only", false));
  const IgnoreStack deeper = PushIgnoreFile(sub, "sub/deeper", "*.log\n");
  EXPECT_TRUE(IsIgnored(deeper, "sub/deeper", "a.log", false));
  EXPECT_TRUE(IsIgnored(deeper, "sub/deeper/more", "a.log", false));
}

TEST(IgnoreStack, FilesAboveTheTopFolderSeeThePathsFromTheirOwnFolder) {
  // The walk lists src/lib of a work tree whose top holds the file.
  const IgnoreStack above = PushIgnoreRules(
      IgnoreStack{}, ParseIgnoreRules("/src/lib/gen\n/gen\nlib/*.tmp\nsrc/**/*.o\n"), "", "src/lib");
  EXPECT_TRUE(IsIgnored(above, "", "gen", true));
  EXPECT_FALSE(IsIgnored(above, "x", "gen", true));
  EXPECT_FALSE(IsIgnored(above, "", "a.tmp", false)) << "lib/*.tmp is anchored at the top, not at src";
  EXPECT_TRUE(IsIgnored(above, "a/b", "c.o", false));
  // The same for a walk that meets a nested work tree at "vendor/dep".
  const IgnoreStack nested =
      PushIgnoreRules(IgnoreStack{}, ParseIgnoreRules("/docs/api\n*.bak\n"), "vendor/dep", "docs");
  EXPECT_TRUE(IsIgnored(nested, "vendor/dep", "api", true));
  EXPECT_FALSE(IsIgnored(nested, "vendor/dep/x", "api", true));
  EXPECT_TRUE(IsIgnored(nested, "vendor/dep/x", "a.bak", false));
}

TEST(IgnoreStack, CostsNothingWithoutRulesAndHidesGitFolders) {
  EXPECT_FALSE(IsIgnored(IgnoreStack{}, "", ".git", true));
  const IgnoreStack stack = PushIgnoreFile(IgnoreStack{}, "a", "*.o\n");
  const IgnoreStack same = PushIgnoreFile(stack, "a/b", "# nothing but a comment\n\n   \n");
  EXPECT_EQ(same.Top, stack.Top) << "a file without rules adds no layer";
  EXPECT_EQ(ParseIgnoreRules("\xEF\xBB\xBF\r\n#\n"), nullptr);
  IgnoreStack git;
  git.HidesGitFolders = true;
  git = PushIgnoreFile(git, "", "!.git\n");
  EXPECT_TRUE(IsIgnored(git, "", ".git", true)) << "no rule brings .git back";
  EXPECT_TRUE(IsIgnored(git, "x", ".git", false)) << "nor a .git file of a nested work tree";
  EXPECT_FALSE(IsIgnored(git, "", ".gitignore", false));
}

TEST(IgnoreStack, LongPaths) {
  std::string folder = "deep";
  while (folder.size() < 3000) folder += "/deeper";
  IgnoreStack stack = PushIgnoreFile(IgnoreStack{}, "", "**/deeper/x\ndeep/**/y*\n/deep/*/z\n");
  const std::string upper = folder.substr(0, folder.find('/', 2000));
  stack = PushIgnoreFile(stack, upper, "*/*/q\n");
  EXPECT_TRUE(IsIgnored(stack, folder, "x", false));
  EXPECT_TRUE(IsIgnored(stack, folder, "yes", false));
  EXPECT_FALSE(IsIgnored(stack, folder, "z", false));
  EXPECT_FALSE(IsIgnored(stack, folder, "q", false));
  EXPECT_TRUE(IsIgnored(stack, upper + "/a/b", "q", false));
}

}  // namespace

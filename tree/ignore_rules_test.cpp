#include "tree/ignore_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"
#include "tree/git_work_tree.h"

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
  const IgnoreStack empty_names =
      PushIgnoreRules(IgnoreStack{}, ParseIgnoreRules("src/lib//*.c\n"), "", "src/lib");
  EXPECT_FALSE(IsIgnored(empty_names, "", "x.c", false)) << "a doubled slash asks for an empty name";
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
  EXPECT_FALSE(IsIgnored(PushIgnoreFile(IgnoreStack{}, "", "*\n"), "", "", false)) << "no entry has no name";
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

// The oracle: git check-ignore on generated work trees. Names and pattern
// pieces are drawn from small sets so that rules meet the names often, and
// each is there for a case git treats in its own way.
const char* const kEntryNames[] = {
    "foo",   "foo.txt", "bar.o", "build",       "Build",    ".hidden", "na me",
    "[ab]",  "#hash",   "!bang", "caf\xC3\xA9", "a b.c",    "trail ",  "back\\slash",
    "star*", "q?",      "doc",   "x.log",       "keep.log", "deep",    "a",
    "b",     "ab",      "lib",   "tmp~",        "qb",       "xa",      "\xC3\xBCn\xC3\xAF.o",
    "7z",    "-dash",   "]x",    "a.b.c",
};
const char* const kPatternPieces[] = {
    "foo",
    "*.txt",
    "*.o",
    "build",
    "b*",
    "?oo",
    "*o*",
    "[ab]*",
    "[!a-m]*",
    "[^a-c]*",
    "[[:upper:]]*",
    "**",
    "**",
    "***",
    "a**",
    "**o",
    "*",
    "doc",
    "deep",
    "\\#hash",
    "#hash",
    "\\!bang",
    "na\\ me",
    "na me",
    "trail\\ ",
    "\\[ab]",
    "[[]ab]",
    "back\\\\slash",
    "star\\*",
    "star*",
    "q\\?",
    "q?",
    "caf\xC3\xA9",
    "caf?",
    "caf??",
    ".*",
    ".hidden",
    "*.log",
    "keep.log",
    "x.lo[g]",
    "[a-c]",
    "a b.c",
    "a?b.c",
    "*~",
    "[b]uild",
    "lib",
    "ab",
    "a",
    "b",
    "[[:digit:]]*",
    "\xC3\xBCn\xC3\xAF.o",
    "x**",
    "q**",
    "[]x]*",
    "[!]]x",
    "-*",
    "[a-]*",
    "a.*.c",
    "\\a",
    "x[",
    "[[:bogus:]]",
    "*.[oa]",
    "?",
    "de*p",
    "**\\",
    "x\\",
    "[/]",
    "[\\]-a]*",
    "*[[:space:]]*",
    "[[:a]*",
    "*\\ ",
    "[!-]*",
};
const char* const kOddLines[] = {"# a comment", "",    "   ", "\\", "!",   "/",
                                 "!/",          "\\ ", "#",   "!*", "!*/", "!*.o"};
// Pieces that alone would leave out nearly everything and end the walk early.
const std::string_view kEverything[] = {"**", "***", "*", "?", "[!a-m]*", "[^a-c]*", "*o*", "-*", "[!-]*"};

struct Node {
  std::string name;
  bool folder = false;
  std::vector<Node> children;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  Node Tree(int depth) {
    Node node;
    node.folder = true;
    std::vector<std::string> names(std::begin(kEntryNames), std::end(kEntryNames));
    const size_t count = 4 + Pick(7);
    for (size_t i = 0; i < count; ++i) {
      std::swap(names[i], names[i + Pick(names.size() - i)]);
      Node child = depth < 3 && Chance(40) ? Tree(depth + 1) : Node{};
      child.name = names[i];
      node.children.push_back(std::move(child));
    }
    return node;
  }

  std::string Rule() {
    if (Chance(6)) return kOddLines[Pick(std::size(kOddLines))];
    std::string rule = Chance(25) ? "!" : "";
    if (Chance(20)) rule += "/";
    const size_t pieces = Chance(45) ? 2 + Pick(2) : 1;
    std::string_view piece = kPatternPieces[Pick(std::size(kPatternPieces))];
    while (pieces == 1 &&
           std::find(std::begin(kEverything), std::end(kEverything), piece) != std::end(kEverything)) {
      piece = kPatternPieces[Pick(std::size(kPatternPieces))];
    }
    rule += piece;
    for (size_t i = 1; i < pieces; ++i)
      rule += "/" + std::string(kPatternPieces[Pick(std::size(kPatternPieces))]);
    if (Chance(20)) rule += "/";
    if (Chance(8)) rule += "  ";
    return rule;
  }

  std::string IgnoreFile(size_t rules) {
    const std::string line_end = Chance(25) ? "\r\n" : "\n";
    std::string text = Chance(15) ? "\xEF\xBB\xBF" : "";
    for (size_t i = 0; i < rules; ++i) {
      text += Rule();  // drawn before the line end, whatever order a compiler gives operands
      if (i + 1 < rules || Chance(70)) text += line_end;
    }
    return text;
  }

  size_t Pick(size_t count) { return random_() % count; }
  bool Chance(unsigned percent) { return random_() % 100 < percent; }

 private:
  std::mt19937 random_;
};

std::string Joined(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

// Writes the tree, with a .gitignore in some folders (always in the top).
void WriteTree(Node& node, const std::string& path, Generator& generator, bool top) {
  std::string reason;
  ASSERT_TRUE(MakeFolders(path, reason)) << reason;
  for (Node& child : node.children) {
    if (child.folder) {
      WriteTree(child, path + "/" + child.name, generator, false);
    } else {
      WriteFileBytes(path + "/" + child.name, "");
    }
  }
  if (top || generator.Chance(45)) {
    WriteFileBytes(path + "/.gitignore", generator.IgnoreFile(top ? 50 : 4 + generator.Pick(12)));
    node.children.push_back(Node{".gitignore", false, {}});
  }
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs git in the folder with nothing of the user's environment but PATH.
bool RunGit(const std::string& folder, const std::string& home, const std::string& arguments) {
  const char* path = std::getenv("PATH");
  const std::string command = "cd " + ShellQuoted(folder) +
                              " && env -i PATH=" + ShellQuoted(path ? path : "/usr/bin:/bin") +
                              " HOME=" + ShellQuoted(home) + " GIT_CONFIG_NOSYSTEM=1 git " + arguments;
  return std::system(command.c_str()) == 0;
}

void AddPaths(const Node& node, const std::string& folder, std::string& list) {
  for (const Node& child : node.children) {
    list += Joined(folder, child.name) + '\0';
    if (child.folder) AddPaths(child, Joined(folder, child.name), list);
  }
}

// git's answer for every path: the deciding pattern ("" when none) after
// its source and line.
std::map<std::string, std::string> AskGit(const Node& tree, const std::string& repo, const std::string& home,
                                          const std::string& scratch) {
  std::string list;
  AddPaths(tree, "", list);
  WriteFileBytes(scratch + "/paths", list);
  const bool ran = RunGit(repo, home,
                          "check-ignore --no-index -v -n -z --stdin < " + ShellQuoted(scratch + "/paths") +
                              " > " + ShellQuoted(scratch + "/answers") + "; test $? -le 1");
  EXPECT_TRUE(ran) << "git check-ignore failed";
  std::map<std::string, std::string> answers;
  const std::string out = ReadFileBytes(scratch + "/answers");
  std::vector<std::string> fields;
  for (size_t at = 0, end; (end = out.find('\0', at)) != std::string::npos; at = end + 1) {
    fields.push_back(out.substr(at, end - at));
  }
  for (size_t i = 0; i + 3 < fields.size(); i += 4) {
    answers[fields[i + 3]] =
        fields[i + 2].empty() ? "" : fields[i] + ":" + fields[i + 1] + ": " + fields[i + 2];
  }
  return answers;
}

bool GitIgnores(const std::string& answer) {
  const size_t pattern = answer.find(": ");
  return pattern != std::string::npos && answer[pattern + 2] != '!';
}

struct Comparison {
  const std::map<std::string, std::string>& git;
  std::string repo;
  int compared = 0;
};

// Walks as the tree walk does: a folder's own ignore file on top of the
// stack it was handed, every entry asked, only folders kept entered.
void CompareFolder(const Node& node, const std::string& from_top, const std::string& from_listed,
                   IgnoreStack stack, Comparison& comparison) {
  for (const Node& child : node.children) {
    if (child.name == ".gitignore") {
      stack = PushIgnoreFile(stack, from_listed,
                             ReadFileBytes(comparison.repo + "/" + Joined(from_top, ".gitignore")));
    }
  }
  for (const Node& child : node.children) {
    const std::string path = Joined(from_top, child.name);
    const auto answer = comparison.git.find(path);
    ASSERT_NE(answer, comparison.git.end()) << path;
    const bool ours = IsIgnored(stack, from_listed, child.name, child.folder);
    EXPECT_EQ(ours, GitIgnores(answer->second))
        << "\"" << path << "\"" << (child.folder ? " (a folder)" : "") << ", git says: " << answer->second;
    ++comparison.compared;
    if (child.folder && !ours && !GitIgnores(answer->second)) {
      CompareFolder(child, path, Joined(from_listed, child.name), stack, comparison);
    }
  }
}

void ListFolders(const Node& node, const std::string& from_top, int depth,
                 std::vector<std::pair<std::string, const Node*>>& folders) {
  for (const Node& child : node.children) {
    if (!child.folder) continue;
    folders.emplace_back(Joined(from_top, child.name), &child);
    if (depth < 2) ListFolders(child, Joined(from_top, child.name), depth + 1, folders);
  }
}

TEST(IgnoreRulesOracle, AnswersAsGitCheckIgnoreOnGeneratedWorkTrees) {
  if (FolderSeparator() != '/' || std::system("git --version > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "git check-ignore is the oracle; git and a POSIX shell are needed";
  }
  int compared = 0, listed = 0;
  for (unsigned seed : {26u, 126u, 226u, 326u, 426u, 526u, 626u, 726u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    ScopedTempFolder scratch;
    const std::string repo = scratch.Join("repo"), home = scratch.Join("home");
    Generator generator(seed);
    Node tree = generator.Tree(0);
    WriteTree(tree, repo, generator, true);
    ASSERT_TRUE(RunGit(repo, home, "-c init.defaultBranch=main init -q")) << "git init failed";
    std::string reason;
    ASSERT_TRUE(MakeFolders(home, reason)) << reason;
    WriteFileBytes(home + "/.gitconfig", "[core]\n\texcludesFile = ~/global-ignore  ; the user's own\n");
    WriteFileBytes(home + "/global-ignore", generator.IgnoreFile(25));
    WriteFileBytes(repo + "/.git/info/exclude", generator.IgnoreFile(25));
    const std::map<std::string, std::string> git = AskGit(tree, repo, home, scratch.path());

    GitUserPaths user;
    user.Home = home;
    Comparison comparison{git, repo};
    const GitIgnoreSetup top = FindGitIgnoreRules(repo, user, IgnoreFilesOnDisk());
    ASSERT_TRUE(top.InWorkTree);
    EXPECT_TRUE(top.Warnings.empty());
    EXPECT_FALSE(top.ListedFolderIgnored);
    EXPECT_TRUE(IsIgnored(top.Stack, "", ".git", true));
    CompareFolder(tree, "", "", top.Stack, comparison);
    // Listed from a folder below the top: the files above it come first.
    std::vector<std::pair<std::string, const Node*>> folders;
    ListFolders(tree, "", 0, folders);
    for (const auto& [path, node] : folders) {
      const GitIgnoreSetup setup = FindGitIgnoreRules(repo + "/" + path, user, IgnoreFilesOnDisk());
      ASSERT_TRUE(setup.InWorkTree);
      EXPECT_EQ(setup.WorkTreeTop, repo);
      EXPECT_EQ(setup.ListedFolderIgnored, GitIgnores(git.at(path))) << path << ": " << git.at(path);
      if (!setup.ListedFolderIgnored) CompareFolder(*node, path, "", setup.Stack, comparison);
      ++listed;
    }
    compared += comparison.compared;
  }
  std::cout << "compared with git check-ignore: " << compared << " answers, " << listed
            << " listings of a folder below the top\n";
  EXPECT_GT(compared, 1500) << "the generated trees are large enough";
}

}  // namespace

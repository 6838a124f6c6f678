#include "tree/git_work_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

// A path written with "/" as this platform writes it.
std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = FolderSeparator();
  }
  return path;
}

// The path with each "name/.." taken out, as the system resolves it.
std::string Resolved(const std::string& path) {
  const char separator = FolderSeparator();
  std::string resolved;
  size_t at = 0;
  while (at <= path.size()) {
    const size_t end = std::min(path.find(separator, at), path.size());
    const std::string name = path.substr(at, end - at);
    if (name == "..") {
      resolved.erase(resolved.rfind(separator));
    } else if (at == 0 || !name.empty()) {
      resolved += (at == 0 ? "" : std::string(1, separator)) + name;
    }
    at = end + 1;
  }
  return resolved;
}

// Files and folders in memory; every folder above a file exists too.
struct MemoryFiles {
  std::map<std::string, std::string> files;
  std::set<std::string> unreadable;

  void Add(const std::string& path, const std::string& bytes) { files[Native(path)] = bytes; }
  void AddFolder(const std::string& path) { files[Native(path) + FolderSeparator()] = ""; }

  IgnoreFileAccess Access() const {
    IgnoreFileAccess access;
    access.Exists = [this](const std::string& given) {
      const std::string path = Resolved(given);
      const auto after = files.lower_bound(path);
      return after != files.end() && after->first.compare(0, path.size(), path) == 0 &&
             (after->first.size() == path.size() || after->first[path.size()] == FolderSeparator());
    };
    access.Read = [this](const std::string& given, std::string& bytes, std::string& reason) {
      const std::string path = Resolved(given);
      if (unreadable.count(path)) {
        reason = "Permission denied";
        return IgnoreFileStatus::kUnreadable;
      }
      const auto found = files.find(path);
      if (found == files.end()) return IgnoreFileStatus::kNone;
      bytes = found->second;
      return IgnoreFileStatus::kRead;
    };
    return access;
  }
};

GitUserPaths User() {
  GitUserPaths user;
  user.Home = Native("/home/u");
  return user;
}

GitIgnoreSetup Find(const MemoryFiles& files, const std::string& listed, const GitUserPaths& user = User()) {
  return FindGitIgnoreRules(Native(listed), user, files.Access());
}

TEST(GitWorkTree, ReadsEveryFileAboveTheListedFolderInGitsOrder) {
  MemoryFiles files;
  files.AddFolder("/repo/.git");
  files.Add("/home/u/.config/git/ignore", "*.g\n*.p\n");
  files.Add("/repo/.git/info/exclude", "/a/b/info-only\n!keep.p\nkeep.q\n");
  files.Add("/repo/.gitignore", "/a/b/top-only\n*.q\n!keep.q\nkeep.r\n");
  files.Add("/repo/a/.gitignore", "/b/a-only\n!keep.r\n");
  files.Add("/repo/a/b/.gitignore", "own\n");
  const GitIgnoreSetup setup = Find(files, "/repo/a/b");
  ASSERT_TRUE(setup.InWorkTree);
  EXPECT_EQ(setup.WorkTreeTop, Native("/repo"));
  EXPECT_FALSE(setup.ListedFolderIgnored);
  EXPECT_TRUE(setup.Warnings.empty());
  for (const char* name : {"x.g", "info-only", "top-only", "a-only", "x.p", "x.q", "x.r"}) {
    EXPECT_EQ(IsIgnored(setup.Stack, "", name, false), std::string(name) != "x.r") << name;
  }
  EXPECT_TRUE(IsIgnored(setup.Stack, "deeper", "x.g", false));
  EXPECT_FALSE(IsIgnored(setup.Stack, "deeper", "info-only", false));
  EXPECT_FALSE(IsIgnored(setup.Stack, "", "keep.p", false)) << "info/exclude beats the user's file";
  EXPECT_FALSE(IsIgnored(setup.Stack, "", "keep.q", false)) << "the top's .gitignore beats info/exclude";
  EXPECT_FALSE(IsIgnored(setup.Stack, "", "keep.r", false)) << "a deeper .gitignore beats the top's";
  EXPECT_FALSE(IsIgnored(setup.Stack, "", "own", false)) << "the listed folder's own file is the walk's";
  EXPECT_TRUE(IsIgnored(setup.Stack, "", ".git", true));
}

TEST(GitWorkTree, AWalkThatMeetsANestedWorkTreeStartsOverWithItsRules) {
  MemoryFiles files;
  files.AddFolder("/outer/.git");
  files.Add("/outer/.gitignore", "*.log\n");
  files.AddFolder("/outer/vendor/dep/.git");
  files.Add("/outer/vendor/dep/.git/info/exclude", "/docs/api/\n");
  files.AddFolder("/outer/vendor/dep/docs/api");
  const GitIgnoreSetup nested =
      FindGitIgnoreRules(Native("/outer/vendor/dep/docs"), User(), files.Access(), "vendor/dep/docs");
  EXPECT_EQ(nested.WorkTreeTop, Native("/outer/vendor/dep"));
  EXPECT_TRUE(IsIgnored(nested.Stack, "vendor/dep/docs", "api", true));
  EXPECT_FALSE(IsIgnored(nested.Stack, "vendor/dep/docs/x", "api", true));
  EXPECT_FALSE(IsIgnored(nested.Stack, "vendor/dep/docs", "a.log", false)) << "the outer rules stay outside";
}

TEST(GitWorkTree, OutsideAWorkTreeOrInsideTheRepositoryThereIsNothingToRead) {
  MemoryFiles files;
  files.Add("/home/u/.config/git/ignore", "*\n");
  files.AddFolder("/plain/folder");
  const GitIgnoreSetup outside = Find(files, "/plain/folder");
  EXPECT_FALSE(outside.InWorkTree);
  EXPECT_EQ(outside.Stack.Top, nullptr);
  EXPECT_FALSE(IsIgnored(outside.Stack, "", "x", false));
  files.AddFolder("/repo/.git/objects");
  EXPECT_FALSE(Find(files, "/repo/.git/objects").InWorkTree);
  EXPECT_FALSE(Find(files, "/repo/.git").InWorkTree);
  const GitIgnoreSetup top = Find(files, "/repo/");
  EXPECT_TRUE(top.InWorkTree) << "a trailing separator is no folder of its own";
  EXPECT_EQ(top.WorkTreeTop, Native("/repo"));
  EXPECT_TRUE(IsIgnored(top.Stack, "", "x", false));
}

TEST(GitWorkTree, LinkedWorkTreesAndSubmodulesNameTheirRepositoryInAGitFile) {
  MemoryFiles files;
  files.Add("/wt/.git", Native("gitdir: /main/.git/worktrees/wt") + "\r\n");
  files.Add("/main/.git/worktrees/wt/commondir", "../..\n");
  files.Add("/main/.git/info/exclude", "shared\n");
  files.Add("/main/.git/config", "[core]\n\texcludesFile = main-excludes\n");
  files.Add("/wt/main-excludes", "from-config\n");
  const GitIgnoreSetup worktree = Find(files, "/wt/src");
  ASSERT_TRUE(worktree.InWorkTree);
  EXPECT_EQ(worktree.WorkTreeTop, Native("/wt"));
  EXPECT_TRUE(IsIgnored(worktree.Stack, "", "shared", false)) << "info/exclude of the common folder";
  EXPECT_TRUE(IsIgnored(worktree.Stack, "", "from-config", false))
      << "the repository's config, a relative path taken from the work tree's top";

  files.Add("/super/sub/.git", "gitdir: ../.git/modules/sub\n");
  files.Add("/super/.git/modules/sub/info/exclude", "sub-only\n");
  files.Add("/super/.git/info/exclude", "super-only\n");
  const GitIgnoreSetup submodule = Find(files, "/super/sub");
  EXPECT_EQ(submodule.WorkTreeTop, Native("/super/sub"));
  EXPECT_TRUE(IsIgnored(submodule.Stack, "", "sub-only", false));
  EXPECT_FALSE(IsIgnored(submodule.Stack, "", "super-only", false));

  files.Add("/odd/.git", "not a gitdir line\n");
  const GitIgnoreSetup odd = Find(files, "/odd");
  EXPECT_TRUE(odd.InWorkTree);
  ASSERT_EQ(odd.Warnings.size(), 1u);
  EXPECT_EQ(odd.Warnings[0], Native("/odd/.git") + ": not a gitdir file");
}

TEST(GitWorkTree, TheUsersExcludesFileComesFromCoreExcludesFile) {
  MemoryFiles files;
  files.AddFolder("/repo/.git");
  files.Add("/home/u/.config/git/ignore", "default\n");
  files.Add("/home/u/mine", "mine\n");
  files.Add("/home/u/quoted name", "quoted\n");
  files.Add("/xdg/git/ignore", "xdg\n");
  files.Add("/global", "global\n");
  auto ignores = [&](const std::string& name, const GitUserPaths& user = User()) {
    return IsIgnored(Find(files, "/repo", user).Stack, "", name, false);
  };
  EXPECT_TRUE(ignores("default")) << "without the setting: ~/.config/git/ignore";
  GitUserPaths xdg = User();
  xdg.XdgConfigHome = Native("/xdg");
  EXPECT_TRUE(ignores("xdg", xdg));
  EXPECT_FALSE(ignores("default", xdg));

  files.Add("/home/u/.gitconfig", "[user]\n\tname = U\n[core]\n\texcludesFile = ~/mine ; a comment\n");
  EXPECT_TRUE(ignores("mine"));
  EXPECT_FALSE(ignores("default")) << "the setting replaces the default";
  files.Add("/home/u/.config/git/config", "[core]\n\texcludesfile = /global\n");
  EXPECT_TRUE(ignores("mine")) << "~/.gitconfig is read after the XDG config";
  files.Add("/home/u/.gitconfig", "[Core] ExcludesFile = \"~/quoted name\"  # a comment\n");
  EXPECT_TRUE(ignores("quoted")) << "section and key without regard to case, a quoted value";
  files.Add("/home/u/.gitconfig",
            "[core \"sub\"]\n\texcludesFile = ~/mine\n[other]\n\texcludesFile = ~/mine\n");
  EXPECT_TRUE(ignores("global")) << "only the core section counts";
  GitUserPaths global = User();
  global.ConfigGlobal = Native("/config-global");
  files.Add("/config-global", "[core]\n  excludesFile = ~/mine\r\n");
  EXPECT_TRUE(ignores("mine", global)) << "GIT_CONFIG_GLOBAL replaces both files";
  files.Add("/repo/.git/config", "[core]\n\texcludesFile = /global\n");
  EXPECT_TRUE(ignores("global", global)) << "the repository's config is read last";
  files.Add("/repo/.git/config", "[core]\n\texcludesFile =\n");
  EXPECT_FALSE(ignores("mine", global)) << "an empty setting names no file";
  EXPECT_FALSE(ignores("default", global));
}

TEST(GitWorkTree, TellsWhetherGitLeavesOutTheListedFolderAndWarnsOfUnreadableFiles) {
  MemoryFiles files;
  files.AddFolder("/repo/.git");
  files.Add("/repo/.gitignore", "build/\n*.tmp\n");
  files.Add("/repo/src/.gitignore", "gen/\n");
  files.AddFolder("/repo/build/sub");
  files.AddFolder("/repo/src/gen/x");
  EXPECT_TRUE(Find(files, "/repo/build").ListedFolderIgnored);
  EXPECT_TRUE(Find(files, "/repo/build/sub").ListedFolderIgnored) << "a folder above is ignored";
  EXPECT_TRUE(Find(files, "/repo/src/gen/x").ListedFolderIgnored);
  EXPECT_FALSE(Find(files, "/repo/src").ListedFolderIgnored);
  EXPECT_FALSE(Find(files, "/repo").ListedFolderIgnored);

  files.unreadable.insert(Native("/repo/.gitignore"));
  const GitIgnoreSetup setup = Find(files, "/repo/src/gen");
  ASSERT_EQ(setup.Warnings.size(), 1u);
  EXPECT_EQ(setup.Warnings[0], Native("/repo/.gitignore") + ": Permission denied");
  EXPECT_TRUE(setup.ListedFolderIgnored) << "the files that can be read still count";
  EXPECT_FALSE(IsIgnored(setup.Stack, "", "a.tmp", false));
}

TEST(GitWorkTree, ReadsTheDiskThroughThePlatform) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join(".gitignore"), "*.o\n");
  const IgnoreFileAccess files = IgnoreFilesOnDisk(8);
  std::string bytes, reason;
  EXPECT_EQ(files.Read(folder.Join(".gitignore"), bytes, reason), IgnoreFileStatus::kRead);
  EXPECT_EQ(bytes, "*.o\n");
  EXPECT_EQ(files.Read(folder.Join("none"), bytes, reason), IgnoreFileStatus::kNone);
  EXPECT_EQ(files.Read(folder.path(), bytes, reason), IgnoreFileStatus::kNone) << "a folder is no file";
  WriteFileBytes(folder.Join("large"), "123456789");
  EXPECT_EQ(files.Read(folder.Join("large"), bytes, reason), IgnoreFileStatus::kUnreadable);
  EXPECT_EQ(reason, "larger than 8 bytes");
  EXPECT_TRUE(files.Exists(folder.Join("large")));
  EXPECT_FALSE(files.Exists(folder.Join("none")));
}

}  // namespace

// Finding the git work tree around a listed folder and the ignore files
// git reads for it, so that --gitignore leaves out what git leaves out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/ignore_rules.h"

// What reading a small file found.
enum class IgnoreFileStatus {
  kRead,
  kNone,        // no regular file there: nothing, a folder, a device
  kUnreadable,  // a file that cannot be read; the reason says why
};

// How the files are reached: the walk's seam, the disk, or tests' memory.
struct IgnoreFileAccess {
  // Whether a file or folder of that path exists.
  std::function<bool(const std::string& path)> Exists;
  // Reads a small regular file whole into bytes.
  std::function<IgnoreFileStatus(const std::string& path, std::string& bytes, std::string& reason)> Read;
};

// The disk through platform/, reading files of at most limit bytes; a
// larger one is unreadable (git reads any size, but no ignore file comes
// near, and the walk keeps memory small).
IgnoreFileAccess IgnoreFilesOnDisk(size_t limit = size_t{16} << 20);

// Where git looks for the user's files; empty for what is not set.
struct GitUserPaths {
  std::string Home;           // HOME, where "~/" points
  std::string XdgConfigHome;  // XDG_CONFIG_HOME
  std::string ConfigGlobal;   // GIT_CONFIG_GLOBAL: the one global config file
};

// The paths from the process's environment: HOME (else USERPROFILE, as git
// for Windows falls back), XDG_CONFIG_HOME and GIT_CONFIG_GLOBAL.
GitUserPaths GitUserPathsFromEnvironment();

struct GitIgnoreSetup {
  bool InWorkTree = false;  // false: --gitignore has nothing to read
  std::string WorkTreeTop;  // the folder holding ".git"
  // The rules from above the listed folder, lowest first: the user's
  // excludes file, info/exclude, then the .gitignore of each folder from the
  // work tree's top down to the listed folder's parent. The listed folder's
  // own .gitignore is not among them: the walk pushes it as it does in every
  // folder. Leaves ".git" out (HidesGitFolders).
  IgnoreStack Stack;
  // The listed folder, or a folder above it, is one that git ignores; git
  // would leave out everything in it.
  bool ListedFolderIgnored = false;
  // "path: reason" for each ignore or config file that is there but could
  // not be read; git warns and reads on, and so does this.
  std::vector<std::string> Warnings;
};

// Finds the work tree that holds listed_folder (an absolute path): the
// nearest folder at or above it holding ".git", a folder or a "gitdir:"
// file (a linked work tree, a submodule), and reads the ignore files above
// the listed folder. The user's excludes file is core.excludesFile of the
// global config (GIT_CONFIG_GLOBAL, else $XDG_CONFIG_HOME/git/config or
// ~/.config/git/config, then ~/.gitconfig) or of the repository's config, the
// last one set winning, with "~/" made the home folder and a relative path
// taken from the work tree's top; else $XDG_CONFIG_HOME/git/ignore or
// ~/.config/git/ignore. info/exclude is read from the repository's common
// folder, which a linked work tree shares with its main one.
//
// folder: the listed folder's path relative to the walk's top ("" when it
// is that top), for a walk that meets a nested work tree below its top and
// starts over with that work tree's rules.
//
// Not read: the system config, [include] and [includeIf], ~user/ paths,
// GIT_DIR and GIT_WORK_TREE, core.worktree, core.ignoreCase (rules are
// case-sensitive), and GIT_CEILING_DIRECTORIES (the search goes up to the
// root). A listed folder inside the repository's own ".git" is in no work
// tree, as for git.
GitIgnoreSetup FindGitIgnoreRules(const std::string& listed_folder, const GitUserPaths& user,
                                  const IgnoreFileAccess& files, std::string_view folder = {});

// Rounds of a watch over a disk and a watch held in memory: which pages a
// change rewrites, that a burst of changes is one round, that the
// program's own writes start none, that lost changes and the watch limit
// fall back to the whole tree, and that the watches follow the folders.
#include "tree/watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/forms.h"
#include "settings/columns.h"
#include "settings/settings_file.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/memory_watch.h"
#include "tests/tree_document.h"
#include "tree/pages.h"

namespace {

// A path of the memory disk as the walk names it.
std::string WalkPath(const std::string& below_top) {
  std::string path = "/top";
  for (const std::string& name : PathParts(below_top)) path = JoinPath(path, name);
  return path;
}

// The pages of a tree on a memory disk, kept current through a memory watch.
struct WatchedPages {
  MemoryDisk Disk;
  MemoryWatch Watch;
  MemoryFolderSource Types;
  CommonStruct Settings = SettingsFor("/top");
  WalkRules Rules;
  PageOptions Options;
  TreeMemory Memory{true};
  std::vector<WatchRound> Rounds;
  std::vector<std::string> Said;
  std::vector<std::string> Messages;
  size_t RoundsRun = 0;

  WatchedPages() {
    Rules.Sizes = true;
    Rules.Threads = 4;
    Settings.Columns.Set(ColumnId::kSize);
    Options.IndexName = "index.html";
    Options.TopShown = "top";
  }

  PagesOutcome WriteAll(WalkMemory* memory) {
    WalkRules rules = Rules;
    rules.Memory = memory;
    return WriteTreePages(
        Settings, FormOf(FormCode::kPage), rules, Options, Disk, Types,
        [this](const std::string& message) { Messages.push_back(message); },
        [](const WalkCounts&, const PageCounts&) {});
  }

  std::string Keep() {
    WatchSetup setup;
    setup.Top = "/top";
    setup.IsOwnFile = [this](const std::string&, const std::string& name) {
      return name == Options.IndexName || name == Options.SearchFile;
    };
    setup.RuleFiles = {".gitignore"};
    if (!Rules.IgnoreFileName.empty()) setup.RuleFiles.push_back(Rules.IgnoreFileName);
    WatchHooks hooks;
    hooks.Round = [this](bool) {
      ++RoundsRun;
      const PagesOutcome outcome = WriteAll(&Memory);
      return RoundOutcome{outcome.Walk.Listed, outcome.Pages.Written, outcome.TopFailure};
    };
    hooks.Say = [this](const std::string& message) { Said.push_back(message); };
    hooks.Rounded = [this](const WatchRound& round) { Rounds.push_back(round); };
    return KeepTreeCurrent(Watch, Memory, setup, hooks);
  }

  // The pages written since the count given, by the folder below the top.
  std::vector<std::string> WrittenSince(size_t count) {
    std::vector<std::string> folders;
    const std::vector<std::string> written = Disk.Written();
    const size_t name = Options.IndexName.size() + 1;  // and the separator before it
    for (size_t at = count; at < written.size(); ++at)
      folders.push_back(written[at].substr(0, written[at].size() - name));
    std::sort(folders.begin(), folders.end());
    return folders;
  }
};

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  for (std::string& path : paths) path = WalkPath(path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A deep tree with a file at each level and a sibling folder beside each.
void MakeDeepTree(MemoryDisk& disk) {
  std::string path = "/top";
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    disk.Add(path + "/file", NodeKind::kFile, std::string(10, 'f'));
    disk.Add(path + "/side/other", NodeKind::kFile, std::string(3, 'o'));
    path += std::string("/") + name;
  }
  disk.Add(path + "/file", NodeKind::kFile, std::string(10, 'f'));
}

// The pages of a fresh run of the whole tree are those the rounds left:
// nothing is written anew.
void ExpectCurrent(WatchedPages& pages) {
  const size_t before = pages.Disk.Written().size();
  const PagesOutcome fresh = pages.WriteAll(nullptr);
  EXPECT_EQ(fresh.Pages.Written, 0u) << "rewritten by a fresh run: "
                                     << ::testing::PrintToString(pages.WrittenSince(before));
}

TEST(Watch, AChangeFiveLevelsDownRewritesItsPageAndTheFivePagesAboveOnceEach) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  size_t first = 0;
  pages.Watch.Then({[&] {
                      first = pages.Disk.Written().size();
                      pages.Disk.Add("/top/a/b/c/d/e/new", NodeKind::kFile, std::string(1000, 'n'));
                    },
                    {{WalkPath("a/b/c/d/e"), "new"}}});
  EXPECT_EQ(pages.Keep(), "");
  ASSERT_EQ(pages.Rounds.size(), 1u);
  EXPECT_EQ(pages.Rounds[0].Changed, 1u);
  EXPECT_FALSE(pages.Rounds[0].Whole);
  // Six folders listed again, of the eleven; none of the sides.
  EXPECT_EQ(pages.Rounds[0].Outcome.Listed, 6u);
  EXPECT_EQ(pages.WrittenSince(first), Sorted({"", "a", "a/b", "a/b/c", "a/b/c/d", "a/b/c/d/e"}));
  EXPECT_NE(pages.Disk.FileAt("/top/index.html").find("data-bytes=\"1062\""), std::string::npos)
      << "the top's total of a: 5 x 10 + 4 x 3 + 1000 bytes";
  ExpectCurrent(pages);
  EXPECT_TRUE(pages.Watch.Watched.count(WalkPath("a/b/c/d/side")) > 0);
}

TEST(Watch, ABurstOfChangesIsOneRound) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  size_t first = 0;
  for (int part = 0; part < 10; ++part) {
    MemoryWatch::Batch batch;
    batch.SameBurst = part > 0;
    batch.Before = [&pages, &first, part] {
      if (part == 0) first = pages.Disk.Written().size();
      for (int i = 0; i < 1000; ++i)
        pages.Disk.Add("/top/a/b/many" + std::to_string(part * 1000 + i), NodeKind::kFile, "x");
    };
    for (int i = 0; i < 1000; ++i)
      batch.Changes.push_back({WalkPath("a/b"), "many" + std::to_string(part * 1000 + i)});
    pages.Watch.Then(batch);
  }
  EXPECT_EQ(pages.Keep(), "");
  EXPECT_EQ(pages.RoundsRun, 2u) << "the first round and one for the burst";
  ASSERT_EQ(pages.Rounds.size(), 1u);
  // The pages of a/b's sub-folders show its time, which changed: they are
  // composed again (and would be rewritten where that time is shown).
  EXPECT_EQ(pages.Rounds[0].Outcome.Listed, 5u);
  EXPECT_EQ(pages.WrittenSince(first), Sorted({"", "a", "a/b"}));
  EXPECT_NE(pages.Disk.FileAt("/top/a/b/index.html").find("many9999"), std::string::npos);
  ExpectCurrent(pages);
}

TEST(Watch, TheProgramsOwnWritesStartNoRound) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  pages.Watch.Then({nullptr, {{WalkPath(""), "index.html"}, {WalkPath("a/b"), ".kestrova-0a1b2c.tmp"}}});
  pages.Watch.Then({nullptr, {{WalkPath("a"), "~kestrova-ffffff.tmp"}}});
  EXPECT_EQ(pages.Keep(), "");
  EXPECT_EQ(pages.RoundsRun, 1u);
  EXPECT_TRUE(pages.Rounds.empty());
}

TEST(Watch, LostChangesAndTheWatchLimitListTheWholeTreeAgain) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  MemoryWatch::Batch lost;
  lost.Lost = true;
  lost.Before = [&] { pages.Disk.Add("/top/a/b/c/unseen", NodeKind::kFile, "u"); };
  pages.Watch.Then(lost);
  EXPECT_EQ(pages.Keep(), "");
  ASSERT_EQ(pages.Rounds.size(), 1u);
  EXPECT_TRUE(pages.Rounds[0].Whole);
  EXPECT_EQ(pages.Rounds[0].Outcome.Listed, 11u);
  EXPECT_NE(pages.Disk.FileAt("/top/a/b/c/index.html").find("unseen"), std::string::npos);
  ASSERT_EQ(pages.Said.size(), 1u);
  EXPECT_NE(pages.Said[0].find("lost"), std::string::npos) << pages.Said[0];
  ExpectCurrent(pages);

  // Past the limit, a change in a folder that is watched lists everything,
  // for changes in those that are not go unseen.
  WatchedPages limited;
  MakeDeepTree(limited.Disk);
  limited.Watch.Limit = 4;
  limited.Watch.Then({[&] {
                        limited.Disk.Add("/top/seen", NodeKind::kFile, "s");
                        limited.Disk.Add("/top/a/b/c/d/side/unseen", NodeKind::kFile, "u");
                      },
                      {{WalkPath(""), "seen"}}});
  EXPECT_EQ(limited.Keep(), "");
  EXPECT_EQ(limited.Watch.Watched.size(), 4u);
  ASSERT_EQ(limited.Said.size(), 1u);
  EXPECT_NE(limited.Said[0].find("limit"), std::string::npos) << limited.Said[0];
  ASSERT_EQ(limited.Rounds.size(), 1u);
  EXPECT_TRUE(limited.Rounds[0].Whole);
  EXPECT_NE(limited.Disk.FileAt("/top/a/b/c/d/side/index.html").find("unseen"), std::string::npos);
  ExpectCurrent(limited);
}

TEST(Watch, FoldersMadeMovedAndRemovedAreFollowed) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  pages.Watch.Then(
      {[&] { pages.Disk.Add("/top/a/made/inner/file", NodeKind::kFile, "12"); }, {{WalkPath("a"), "made"}}});
  pages.Watch.Then({[&] {
                      EXPECT_TRUE(pages.Watch.Watched.count(WalkPath("a/made/inner")) > 0);
                      EXPECT_NE(pages.Disk.FileAt("/top/a/made/inner/index.html").find(">file<"),
                                std::string::npos);
                      // Moved from a/b to the top under another name.
                      std::shared_ptr<MemoryDisk::Node> moved = pages.Disk.Detach("/top/a/b");
                      pages.Disk.Find("/top")->Children["moved"] = moved;
                    },
                    {{WalkPath("a"), "b"}, {WalkPath(""), "moved"}}});
  pages.Watch.Then({[&] {
                      EXPECT_EQ(pages.Watch.Watched.count(WalkPath("a/b/c")), 0u);
                      EXPECT_TRUE(pages.Watch.Watched.count(WalkPath("moved/c/d")) > 0);
                      pages.Disk.Detach("/top/a/made");
                    },
                    {{WalkPath("a"), "made"}}});
  EXPECT_EQ(pages.Keep(), "");
  EXPECT_EQ(pages.Rounds.size(), 3u);
  EXPECT_EQ(pages.Watch.Watched.count(WalkPath("a/made")), 0u);
  EXPECT_EQ(pages.Watch.Watched.count(WalkPath("a/made/inner")), 0u);
  EXPECT_NE(pages.Disk.FileAt("/top/moved/c/d/e/index.html").find("moved"), std::string::npos);
  ExpectCurrent(pages);
}

TEST(Watch, AFolderReplacedByAnotherOfItsNameIsListedWhole) {
  WatchedPages pages;
  MakeDeepTree(pages.Disk);
  pages.Watch.Then({[&] {
                      pages.Disk.Detach("/top/a/b");
                      pages.Disk.Add("/top/a/b/c/fresh", NodeKind::kFile, "1234567");
                    },
                    {{WalkPath("a"), "b"}}});
  EXPECT_EQ(pages.Keep(), "");
  EXPECT_NE(pages.Disk.FileAt("/top/a/b/c/index.html").find("fresh"), std::string::npos);
  EXPECT_EQ(pages.Watch.Watched.count(WalkPath("a/b/c/d")), 0u);
  ExpectCurrent(pages);
}

TEST(Watch, AChangedIgnoreFileListsTheWholeSubtreeAgain) {
  WatchedPages pages;
  pages.Rules.IgnoreFileName = "ignore-these";
  MakeDeepTree(pages.Disk);
  pages.Disk.Add("/top/a/b/c/secret", NodeKind::kFile, "s");
  pages.Watch.Then({[&] { pages.Disk.Add("/top/a/ignore-these", NodeKind::kFile, "secret\n"); },
                    {{WalkPath("a"), "ignore-these"}}});
  EXPECT_EQ(pages.Keep(), "");
  EXPECT_EQ(pages.Disk.FileAt("/top/a/b/c/index.html").find(">secret<"), std::string::npos);
  ExpectCurrent(pages);
}

TEST(Watch, NamesBelowTheTop) {
  std::vector<std::string> names;
  EXPECT_TRUE(NamesBelowTop("/top", "/top", names));
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(NamesBelowTop("/top", WalkPath("a/b"), names));
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(NamesBelowTop("/top", "/topmost/a", names));
  EXPECT_FALSE(NamesBelowTop("/top", "/other", names));
  EXPECT_TRUE(NamesBelowTop(JoinPath("/top", ""), WalkPath("a"), names));
  EXPECT_EQ(names, (std::vector<std::string>{"a"}));
}

}  // namespace

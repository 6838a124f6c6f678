// The walk of a tree over a disk held in memory: which folders it enters and
// in what order, what it says of loops, failures and folders reached twice,
// that one thread and many give the same bytes, and how pages are written
// over what stands in their place.
#include "tree/walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/forms.h"
#include "output/search_rows.h"
#include "settings/settings_file.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/tree_document.h"
#include "tree/document.h"
#include "tree/pages.h"

namespace {

struct PagesRun {
  std::vector<std::string> Messages;
  PagesOutcome Result;
};

PagesRun Pages(MemoryDisk& disk, const WalkRules& rules, const std::string& output_dir = std::string(),
               const CommonStruct& settings = SettingsFor("/top"),
               const std::string& search_file = std::string()) {
  MemoryFolderSource types;
  PageOptions options;
  options.IndexName = "index.html";
  options.TopShown = "top";
  options.OutputDir = output_dir;
  options.SearchFile = search_file;
  PagesRun run;
  run.Result = WriteTreePages(
      settings, FormOf(FormCode::kPage), rules, options, disk, types,
      [&run](const std::string& message) { run.Messages.push_back(message); },
      [](const WalkCounts&, const PageCounts&) {});
  return run;
}

bool Says(const std::vector<std::string>& messages, const std::string& text) {
  for (const std::string& message : messages) {
    if (message.find(text) != std::string::npos) return true;
  }
  return false;
}

// A path of the memory disk as the walk shows it: the top as given, the
// names below it joined by the platform's separator.
std::string Shown(const std::string& path) {
  std::string shown = path;
  for (size_t at = 1; at < shown.size(); ++at) {
    if (shown[at] == '/') shown[at] = FolderSeparator();
  }
  return shown;
}

// A line of a names document.
std::string Line(const std::string& name) { return Shown(name) + std::string(PlatformLineEnd()); }

WalkRules Threads(size_t threads) {
  WalkRules rules;
  rules.Threads = threads;
  return rules;
}

// A tree wide and deep enough for the threads to overtake each other.
void MakeForest(MemoryDisk& disk) {
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 5; ++b) {
      const std::string folder = "/top/g" + std::to_string(a) + "/p" + std::to_string(b);
      disk.Add(folder + "/deep/f.txt", NodeKind::kFile, std::string(static_cast<size_t>(a + b), 'x'));
      disk.Add(folder + "/e.txt", NodeKind::kFile, "e");
    }
  }
}

TEST(TreeWalk, ListsEveryFolderInTheOrderOfTheRowsWhateverTheThreads) {
  MemoryDisk one, many;
  MakeForest(one);
  MakeForest(many);
  const TreeDocument first = DocumentOf(one, FormCode::kNames, Threads(1));
  const TreeDocument second = DocumentOf(many, FormCode::kNames, Threads(8));
  EXPECT_EQ(first.Document, second.Document);
  EXPECT_EQ(first.Result.Walk.Listed, 1u + 6 + 30 + 30);
  // Depth first, each folder's own rows before the next folder's.
  const std::string& names = first.Document;
  EXPECT_LT(names.find(Shown("g0/p0/deep/f.txt")), names.find(Line("g0/p1")));
  EXPECT_LT(names.find(Shown("g0/p4/e.txt")), names.find(Line("g1")));

  WalkRules shallow = Threads(4);
  shallow.MaxDepth = 2;
  const TreeDocument bounded = DocumentOf(one, FormCode::kNames, shallow);
  EXPECT_EQ(bounded.Result.Walk.Listed, 7u) << "the top and the level below it";
  EXPECT_EQ(bounded.Document.find(Shown("deep/")), std::string::npos);
}

TEST(TreeWalk, PagesAreTheSameFromOneThreadOrMany) {
  MemoryDisk one, many;
  MakeForest(one);
  MakeForest(many);
  Pages(one, Threads(1));
  Pages(many, Threads(8));
  EXPECT_EQ(one.Written().size(), 67u);
  for (const char* page : {"/top/index.html", "/top/g3/index.html", "/top/g5/p4/deep/index.html"}) {
    EXPECT_FALSE(one.FileAt(page).empty()) << page;
    EXPECT_EQ(one.FileAt(page), many.FileAt(page)) << page;
  }
}

TEST(TreeWalk, LoopsAndFoldersReachedTwiceAreListedOnce) {
  for (size_t threads : {1, 3, 8}) {
    MemoryDisk disk;
    disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
    disk.Add("/top/a/up", NodeKind::kLink, "/top");
    disk.Add("/top/b/inside", NodeKind::kLink, "/top/a");
    disk.Add("/out/shared/s.txt", NodeKind::kFile, "s");
    disk.Add("/top/b/one", NodeKind::kLink, "/out/shared");
    disk.Add("/top/c/two", NodeKind::kLink, "/out/shared");
    WalkRules rules = Threads(threads);
    rules.Follow = true;
    const PagesRun run = Pages(disk, rules);
    EXPECT_TRUE(Says(run.Messages, "not entered: " + Shown("/top/a/up") + " leads back to a folder above it"))
        << threads;
    EXPECT_TRUE(Says(run.Messages, "not entered: " + Shown("/top/b/inside") + " is a link to " +
                                       Shown("/top/a") + ", in the tree"))
        << threads;
    EXPECT_TRUE(Says(run.Messages,
                     "not entered: " + Shown("/top/c/two") + " is already listed as " + Shown("/top/b/one")))
        << threads;
    const std::string c = disk.FileAt("/top/c/index.html");
    EXPECT_NE(c.find("href=\"../b/one/\">two<"), std::string::npos) << c;
    EXPECT_NE(disk.FileAt("/top/b/index.html").find("href=\"../a/\">inside<"), std::string::npos);
    EXPECT_NE(disk.FileAt("/out/shared/index.html").find("one"), std::string::npos);
    EXPECT_EQ(run.Result.Walk.Failed, 0u);
  }
}

TEST(TreeWalk, AFolderThatCannotBeListedIsReportedAndHasNoLink) {
  MemoryDisk disk;
  disk.Add("/top/open/f.txt", NodeKind::kFile, "f");
  disk.Add("/top/locked/g.txt", NodeKind::kFile, "g");
  disk.Find("/top/locked")->Unreadable = true;
  const PagesRun run = Pages(disk, Threads(2));
  EXPECT_TRUE(Says(run.Messages, "cannot list " + Shown("/top/locked") + ": Permission denied"));
  EXPECT_EQ(run.Result.Walk.Failed, 1u);
  const std::string top = disk.FileAt("/top/index.html");
  EXPECT_NE(top.find("href=\"open/\""), std::string::npos);
  EXPECT_EQ(top.find("href=\"locked/\""), std::string::npos);
  EXPECT_TRUE(disk.FileAt("/top/locked/index.html").empty());

  const TreeDocument json = DocumentOf(disk, FormCode::kJson, Threads(2));
  EXPECT_NE(json.Document.find("\"error\": \"Permission denied\""), std::string::npos) << json.Document;
}

TEST(TreeWalk, AFolderReplacedAfterItsParentWasListedIsNotEntered) {
  MemoryDisk disk;
  disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
  disk.Add("/elsewhere/secret.txt", NodeKind::kFile, "s");
  disk.AfterEnumerate = [&disk](const std::string& path) {
    if (path != "/top") return;
    disk.AfterEnumerate = nullptr;
    disk.Detach("/top/a");
    disk.Add("/top/a", NodeKind::kLink, "/elsewhere");
  };
  const PagesRun run = Pages(disk, Threads(1));
  EXPECT_TRUE(Says(run.Messages, "cannot list " + Shown("/top/a") + ": a symbolic link, not a folder"))
      << run.Messages.size();
  EXPECT_TRUE(disk.FileAt("/elsewhere/index.html").empty()) << "nothing listed or written through the link";
}

TEST(TreeWalk, APageGoesOnlyWhereThisProgramsPageOrNothingStands) {
  MemoryDisk disk;
  disk.Add("/top/mine/f.txt", NodeKind::kFile, "f");
  disk.Add("/top/theirs/index.html", NodeKind::kFile, "<p>their own page</p>");
  disk.Add("/top/linked/index.html", NodeKind::kLink, "/elsewhere/site.html");
  disk.Add("/elsewhere/site.html", NodeKind::kFile, "site");
  disk.Add("/top/piped/index.html", NodeKind::kOther);
  disk.Add("/top/hidden/index.html", NodeKind::kFile, "unreadable")->Unreadable = true;
  const PagesRun first = Pages(disk, Threads(2));
  EXPECT_EQ(first.Result.Pages.Written, 2u) << "the top and mine";
  EXPECT_EQ(first.Result.Pages.Kept, 4u);
  EXPECT_EQ(first.Result.Walk.Failed, 0u);
  EXPECT_TRUE(Says(first.Messages, "kept " + Shown("/top/theirs/index.html") + ": not written by kestrova"));
  EXPECT_TRUE(
      Says(first.Messages, "kept " + Shown("/top/linked/index.html") + ": a symbolic link has that name"));
  EXPECT_TRUE(Says(first.Messages, "kept " + Shown("/top/piped/index.html") + ": not a regular file"));
  EXPECT_TRUE(Says(first.Messages, "kept " + Shown("/top/hidden/index.html") + ": it cannot be read"));
  EXPECT_EQ(disk.FileAt("/top/theirs/index.html"), "<p>their own page</p>");
  EXPECT_EQ(disk.FileAt("/elsewhere/site.html"), "site");

  const PagesRun again = Pages(disk, Threads(2));
  EXPECT_EQ(again.Result.Pages.Written, 0u);
  EXPECT_EQ(again.Result.Pages.Unchanged, 2u) << "pages that would not change stay as they are";
}

TEST(TreeWalk, AFoldersTimeIsSetBackOnlyWhenNoOneElseChangedIt) {
  MemoryDisk disk;
  disk.Add("/top/quiet/f.txt", NodeKind::kFile, "f");
  disk.Add("/top/busy/f.txt", NodeKind::kFile, "f");
  const uint64_t quiet = disk.Find("/top/quiet")->WriteTime;
  disk.WhileWriting = [&disk](const std::string& folder) {
    if (folder == Shown("/top/busy")) disk.Add("/top/busy/new.txt", NodeKind::kFile, "added meanwhile");
  };
  Pages(disk, Threads(1));
  EXPECT_EQ(disk.Find("/top/quiet")->WriteTime, quiet) << "the page's own change is undone";
  EXPECT_GE(disk.Find("/top/busy")->WriteTime, disk.Find("/top/busy/new.txt")->WriteTime)
      << "another program's change stands";
  EXPECT_NE(disk.Find("/top/busy")->WriteTime, quiet);
}

TEST(TreeWalk, AKilledWritersLeftoversGoAndARunningWritersStay) {
  MemoryDisk disk;
  disk.Add("/top/a/.kestrova-0a1b2c.tmp", NodeKind::kFile, "half a page");
  disk.Add("/top/a/.kestrova-3d4e5f.tmp", NodeKind::kFile, "being written")->HeldByWriter = true;
  Pages(disk, Threads(1));
  EXPECT_EQ(disk.Find("/top/a/.kestrova-0a1b2c.tmp", false), nullptr);
  EXPECT_NE(disk.Find("/top/a/.kestrova-3d4e5f.tmp", false), nullptr);
  EXPECT_EQ(disk.FileAt("/top/a/index.html").find("kestrova-"), std::string::npos) << "never listed";
}

TEST(TreeWalk, ThePagesFolderIsNeverWalked) {
  MemoryDisk disk;
  disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
  const PagesRun run = Pages(disk, Threads(2), "/top/a/site");
  EXPECT_TRUE(run.Result.Refusal.empty()) << run.Result.Refusal;
  EXPECT_EQ(disk.Written().size(), 2u);
  EXPECT_FALSE(disk.FileAt("/top/a/site/a/index.html").empty());
  EXPECT_EQ(disk.Find("/top/a/site/a/site"), nullptr);
  EXPECT_FALSE(Pages(disk, Threads(2), "/top").Result.Refusal.empty()) << "the folder listed itself";
}

// The pages with the search file at their top.
PagesRun SearchedPages(MemoryDisk& disk, const WalkRules& rules,
                       const std::string& output_dir = std::string()) {
  return Pages(disk, rules, output_dir, SettingsFor("/top"), kSearchFileName);
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(SearchFile, HoldsEveryFolderOnceInTheOrderOfTheTreeWhateverTheThreads) {
  for (const bool sizes : {false, true}) {
    MemoryDisk one, many;
    MakeForest(one);
    MakeForest(many);
    WalkRules single = Threads(1), pool = Threads(8);
    single.Sizes = pool.Sizes = sizes;
    const PagesRun first = SearchedPages(one, single);
    SearchedPages(many, pool);
    EXPECT_EQ(first.Result.Search, SearchFileState::kWritten) << sizes;
    const std::string file = one.FileAt("/top/kestrova-search.js");
    EXPECT_EQ(file, many.FileAt("/top/kestrova-search.js")) << sizes;
    EXPECT_EQ(CountOf(file, "\n[\""), 67u) << "one line for each folder listed";
    EXPECT_EQ(CountOf(file, "[\"e.txt\", \"e.txt\", 0]"), 30u);
    // A folder before its sub-folders; after them where its page waits for their totals.
    const size_t top = file.find("\n[\"top\", \"\", "), deep = file.find("[\"top/g0/p0/deep\", ");
    EXPECT_TRUE(sizes ? deep < top : top < deep) << file.substr(0, 400);
    EXPECT_LT(file.find("[\"top/g0/p4/deep\", "), file.find("[\"top/g1/p0/deep\", "));
    EXPECT_NE(
        one.FileAt("/top/g3/p1/index.html").find("data-top=\"../../\" data-file=\"kestrova-search.js\""),
        std::string::npos);
    EXPECT_EQ(one.FileAt("/top/index.html").find(">kestrova-search.js<"), std::string::npos)
        << "the search file is the program's, not one of the folder's files";
  }
}

TEST(SearchFile, GoesOnlyWhereNothingOrItsOwnStandsAndStaysWhereItWouldNotChange) {
  const std::string file = "/top/kestrova-search.js";
  for (const NodeKind kind : {NodeKind::kLink, NodeKind::kOther, NodeKind::kFolder, NodeKind::kFile}) {
    MemoryDisk disk;
    disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
    disk.Add("/elsewhere/site.js", NodeKind::kFile, "someone's script");
    disk.Add(file, kind, kind == NodeKind::kLink ? "/elsewhere/site.js" : "// generator: KestrovaTheme\n");
    const PagesRun run = SearchedPages(disk, Threads(2));
    EXPECT_EQ(run.Result.Search, SearchFileState::kKept);
    EXPECT_EQ(run.Result.Walk.Failed, 0u);
    const char* reason = kind == NodeKind::kLink   ? "a symbolic link has that name"
                         : kind == NodeKind::kFile ? "not written by kestrova"
                                                   : "not a regular file";
    EXPECT_TRUE(Says(run.Messages, "kept " + Shown(file) + ": " + reason)) << reason;
    EXPECT_EQ(disk.FileAt("/elsewhere/site.js"), "someone's script");
    if (kind == NodeKind::kFile) {
      EXPECT_EQ(disk.FileAt(file), "// generator: KestrovaTheme\n");
    }
    EXPECT_EQ(disk.FileAt("/top/a/index.html").find("id=\"everywhere\""), std::string::npos)
        << "no page searches a file that is not this program's";
  }

  MemoryDisk disk;
  disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
  disk.Add(file, NodeKind::kFile, "// generator: Kestrova\nvar kestrovaSearch = {};\n");
  const uint64_t listed = disk.Find("/top")->WriteTime;
  EXPECT_EQ(SearchedPages(disk, Threads(2)).Result.Search, SearchFileState::kWritten)
      << "its own is replaced";
  EXPECT_NE(disk.FileAt(file).find("[\"f.txt\", \"f.txt\", 0]"), std::string::npos);
  EXPECT_EQ(disk.Find("/top")->WriteTime, listed) << "the top folder keeps the time it was listed with";
  const size_t written = disk.Written().size();
  const PagesRun again = SearchedPages(disk, Threads(2));
  EXPECT_EQ(again.Result.Search, SearchFileState::kUnchanged);
  EXPECT_EQ(disk.Written().size(), written) << "nothing is put in place on an unchanged run";

  disk.Add("/top/a/g.txt", NodeKind::kFile, "g");
  EXPECT_EQ(SearchedPages(disk, Threads(2)).Result.Search, SearchFileState::kWritten);
  EXPECT_NE(disk.FileAt(file).find("[\"g.txt\", \"g.txt\", 0]"), std::string::npos);
}

TEST(SearchFile, StandsAtTheTopOfThePagesFolderAndLinksFilesBackToTheSource) {
  MemoryDisk disk;
  disk.Add("/top/a/f.txt", NodeKind::kFile, "f");
  const PagesRun run = SearchedPages(disk, Threads(2), "/site");
  EXPECT_EQ(run.Result.Search, SearchFileState::kWritten);
  EXPECT_EQ(disk.Find("/top/kestrova-search.js"), nullptr) << "the source stays untouched";
  const std::string file = disk.FileAt("/site/kestrova-search.js");
  // The way back as every page of the folder gives it ("../top/"; a file
  // URL on Windows, where paths without a drive meet nowhere).
  EXPECT_NE(file.find("\"files\": \"" + FolderLink("/site", "/top") + "\""), std::string::npos) << file;
  EXPECT_NE(file.find("[\"top/a\", \"a/\", [[\"f.txt\", \"f.txt\", 0]]]"), std::string::npos) << file;
}

}  // namespace

// Folder totals, as --du gives them: a file with two names once below any
// folder that holds both, a folder that cannot be listed making every total
// above it a lower bound, and folders ordered by their totals.
TEST(TreeWalk, FolderTotalsCountEachFileOnceAndMarkWhatCouldNotBeRead) {
  MemoryDisk disk;
  disk.Add("/top/a/big", NodeKind::kFile, std::string(100, 'b'));
  disk.Add("/top/a/x.txt", NodeKind::kFile, std::string(10, 'x'));
  disk.AddName("/top/a/again", "/top/a/big");
  disk.AddName("/top/b/same", "/top/a/big");
  disk.Add("/top/d/locked/g.txt", NodeKind::kFile, "g");
  disk.Find("/top/d/locked")->Unreadable = true;
  disk.Add("/top/link", NodeKind::kLink, "/top/a/big");
  WalkRules rules = Threads(4);
  rules.Sizes = true;
  const TreeDocument json = DocumentOf(disk, FormCode::kJson, rules);
  const std::string& text = json.Document;
  // A folder's totals close its object, after its entries; its row before
  // them has none, whenever the folder was complete.
  EXPECT_NE(text.find("\"name\": \"a\", \"kind\": \"folder\", \"modified\""), std::string::npos) << text;
  EXPECT_NE(text.find("], \"size\": 110, \"files\": 2, \"folders\": 0}"), std::string::npos) << text;
  EXPECT_NE(text.find("], \"size\": 100, \"files\": 1, \"folders\": 0}"), std::string::npos) << text;
  EXPECT_NE(text.find("], \"size\": 0, \"files\": 0, \"folders\": 1, \"size_incomplete\": true}"),
            std::string::npos)
      << text;
  EXPECT_EQ(text, DocumentOf(disk, FormCode::kJson,
                             [] {
                               WalkRules one = Threads(1);
                               one.Sizes = true;
                               return one;
                             }())
                      .Document);

  // The same totals on the top's page, from one thread or many; ordered by
  // them, the smaller folder first.
  for (size_t threads : {1, 8}) {
    MemoryDisk again;
    again.Add("/top/a/big", NodeKind::kFile, std::string(100, 'b'));
    again.Add("/top/b/small", NodeKind::kFile, std::string(5, 's'));
    again.Add("/top/b/deeper/more", NodeKind::kFile, std::string(7, 'm'));
    WalkRules sized = Threads(threads);
    sized.Sizes = true;
    CommonStruct settings = SettingsFor("/top");
    settings.SortBy = kSortBySize;
    settings.Columns.Set(ColumnId::kSize);
    Pages(again, sized, std::string(), settings);
    const std::string page = again.FileAt("/top/index.html");
    EXPECT_NE(page.find("data-bytes=\"12\""), std::string::npos) << page;
    EXPECT_NE(page.find("data-bytes=\"100\""), std::string::npos) << page;
    EXPECT_LT(page.find(">b</a>"), page.find(">a</a>")) << threads << page;
  }
}

// Ordered by totals from the greatest down, the folders come in that order
// in a page and in one document alike, the parent entry in its own place.
TEST(TreeWalk, FolderTotalsOrderDescendingWhereTheOrderDescends) {
  MemoryDisk disk;
  disk.Add("/top/alpha/big", NodeKind::kFile, std::string(100, 'b'));
  disk.Add("/top/alpha/tiny", NodeKind::kFile, std::string(2, 't'));
  disk.Add("/top/bravo/small", NodeKind::kFile, std::string(5, 's'));
  disk.Add("/top/bravo/deeper/more", NodeKind::kFile, std::string(7, 'm'));
  disk.Add("/top/charlie/least", NodeKind::kFile, std::string(1, 'l'));
  WalkRules sized = Threads(4);
  sized.Sizes = true;
  CommonStruct settings = SettingsFor("/top");
  settings.SortBy = kSortBySize;
  settings.DescOrder = true;
  settings.Columns.Set(ColumnId::kSize);
  const std::string names = DocumentOf(disk, FormCode::kNames, sized, settings).Document;
  const std::string separator(1, FolderSeparator());
  EXPECT_LT(names.find("alpha"), names.find("bravo")) << names;
  EXPECT_LT(names.find("bravo"), names.find("charlie")) << names;
  EXPECT_LT(names.find("alpha" + separator + "big"), names.find("alpha" + separator + "tiny"))
      << "files too, the greatest first: " << names;

  // The pages after the document, which lists no page.
  Pages(disk, sized, std::string(), settings);
  const std::string page = disk.FileAt("/top/index.html");
  EXPECT_LT(page.find(">alpha</a>"), page.find(">bravo</a>")) << page;
  EXPECT_LT(page.find(">bravo</a>"), page.find(">charlie</a>")) << page;
}

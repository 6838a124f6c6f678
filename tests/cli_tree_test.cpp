// A whole tree as a user publishes it: kestrova-cli -R on real folders, every
// link of every page followed, failures in the middle, reruns, interrupts.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"
#include "tests/cli_harness.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A small archive: folders two levels deep, a hidden folder, an excluded
// one, files with names that a link must encode.
void MakeArchive(const std::string& top) {
  for (const char* folder : {"photos", "photos/2024", "photos/2024/summer", "music", "music/old stuff",
                             ".cache", "build", "docs"}) {
    fs::create_directories(fs::path(top) / folder);
  }
  for (const char* file :
       {"readme.txt", "photos/a b.jpg", "photos/2024/c#1.jpg", "photos/2024/summer/sea.png",
        "music/song 100%.mp3", "music/old stuff/x.ogg", ".cache/junk", "build/out.o", "docs/guide.html"}) {
    WriteFileBytes((fs::path(top) / file).string(), std::string(file));
  }
}

// Every page of the tree, by its path relative to top.
std::map<std::string, std::string> Pages(const std::string& top, const std::string& name = "index.html") {
  std::map<std::string, std::string> pages;
  for (const auto& entry : fs::recursive_directory_iterator(top)) {
    if (entry.path().filename() == name) {
      pages[fs::relative(entry.path(), top).generic_string()] = ReadFileBytes(entry.path().string());
    }
  }
  return pages;
}

std::vector<std::string> Links(const std::string& page) {
  std::vector<std::string> links;
  for (size_t at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 1)) {
    at += 6;
    links.push_back(page.substr(at, page.find('"', at) - at));
  }
  return links;
}

// Follows every link of every page from the folder the page lies in: each
// must name an existing file, or a folder whose page exists.
void ExpectEveryLinkResolves(const std::string& pages_top, const std::string& index = "index.html") {
  for (const auto& [relative, page] : Pages(pages_top, index)) {
    const fs::path folder = (fs::path(pages_top) / relative).parent_path();
    for (const std::string& link : Links(page)) {
      fs::path target = folder / PercentDecoded(link);
      if (link.empty() || link.back() == '/') target /= index;
      EXPECT_TRUE(fs::exists(target)) << relative << " links to " << link;
    }
  }
}

TEST(CliTree, EveryFolderGetsAPageAndEveryLinkLeadsSomewhere) {
  ScopedTempFolder work;
  const std::string top = work.Join("archive");
  MakeArchive(top);
  CliRun run = RunCli({"archive", "-R", "-I", "build", "--no-hidden"}, work.path());
  ASSERT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "Listed 7 folders")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "7 pages written, 0 unchanged, 0 failed")) << run.Err;
  const auto pages = Pages(top);
  EXPECT_EQ(pages.size(), 7u);
  EXPECT_EQ(pages.count("build/index.html") + pages.count(".cache/index.html"), 0u)
      << "excluded and hidden folders are neither listed nor entered";
  ExpectEveryLinkResolves(top);
  const std::string& summer = pages.at("photos/2024/summer/index.html");
  EXPECT_TRUE(Contains(summer, "<a href=\"../../../\">")) << "breadcrumbs lead to the top";
  EXPECT_TRUE(Contains(summer, "<a href=\"../../\">photos</a>"));
  EXPECT_TRUE(Contains(summer, "aria-current=\"page\">summer</li>"));
  const std::string& photos = pages.at("photos/index.html");
  EXPECT_TRUE(Contains(photos, "href=\"2024/\"")) << "a sub-folder links to its page";
  EXPECT_TRUE(Contains(photos, "href=\"../\"")) << "and every page below the top to its parent's";
  EXPECT_FALSE(Contains(pages.at("index.html"), "href=\"../\"")) << "the top has no page above it";
  EXPECT_FALSE(Contains(pages.at("index.html"), ">index.html<")) << "a page never lists itself";
  EXPECT_TRUE(Contains(summer, "<h1>Content of archive / photos / 2024 / summer</h1>"))
      << "the way from the top";
  for (const auto& [relative, page] : pages) {
    EXPECT_FALSE(Contains(page, work.path())) << relative << " names no absolute path";
  }
}

TEST(CliTree, AnAbsoluteFolderPutsNoPathOfTheMachineIntoThePages) {
  ScopedTempFolder work;
  const std::string top = work.Join("archive");
  MakeArchive(top);
  ASSERT_EQ(0, RunCli({top, "-R", "-q", "--hidden"}).Status);
  const auto pages = Pages(top);
  ASSERT_EQ(pages.size(), 9u);
  EXPECT_TRUE(Contains(pages.at("index.html"), "<title>Content of archive</title>"));
  EXPECT_TRUE(Contains(pages.at("photos/2024/summer/index.html"),
                       "<h1>Content of archive / photos / 2024 / summer</h1>"));
  EXPECT_TRUE(Contains(pages.at("photos/2024/summer/index.html"), "<a href=\"../../../\">archive</a>"));
  for (const auto& [relative, page] : pages) {
    EXPECT_FALSE(Contains(page, work.path())) << relative << " names no absolute path";
  }
  ASSERT_EQ(0, RunCli({top, "-R", "-q", "--title", "$DirPath"}).Status);
  EXPECT_TRUE(Contains(Pages(top).at("photos/index.html"), "<h1>" + top + " / photos</h1>"))
      << "the path where a title asks for it";
}

// Nested folders gave pages that grew with the square of their depth: each
// page linked every folder above it with a way up of its own.
TEST(CliTree, PagesOfADeepTreeStayAsSmallAsPagesNearTheTop) {
  ScopedTempFolder work;
  // Windows's paths stop at 260 characters.
  const size_t levels = FolderSeparator() == '\\' ? 80 : 300;
  fs::path deepest = fs::path(work.path()) / "top";
  for (size_t level = 0; level < levels; ++level) deepest /= "d";
  fs::create_directories(deepest);
  ASSERT_EQ(0, RunCli({"top", "-R", "-q"}, work.path()).Status);
  const auto pages = Pages(work.Join("top"));
  ASSERT_EQ(pages.size(), levels + 1);
  size_t total = 0;
  for (const auto& [relative, page] : pages) total += page.size();
  const size_t near_top = pages.at("d/d/index.html").size();
  EXPECT_LT(ReadFileBytes((deepest / "index.html").string()).size(), near_top + 3 * levels + 400)
      << "one way up to the top, three bytes a level, and the last few folders";
  EXPECT_LT(total, (levels + 1) * (near_top + 3 * levels / 2 + 400));
  ExpectEveryLinkResolves(work.Join("top"));
}

TEST(CliTree, DepthTheIndexNameAndLinksForDisk) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  ASSERT_EQ(0, RunCli({top.path(), "-R", "-L", "2", "-o", "list.html", "-q"}).Status);
  const auto pages = Pages(top.path(), "list.html");
  EXPECT_EQ(pages.count("photos/list.html"), 1u);
  EXPECT_EQ(pages.count("photos/2024/list.html"), 0u) << "past the depth";
  EXPECT_TRUE(Contains(pages.at("photos/list.html"), ">2024<"));
  EXPECT_FALSE(Contains(pages.at("photos/list.html"), "href=\"2024/"))
      << "a folder without a page is not linked";
  EXPECT_TRUE(Contains(pages.at("list.html"), "href=\"photos/list.html\""))
      << "another name than index.html is named in the link";
  ExpectEveryLinkResolves(top.path(), "list.html");

  ScopedTempFolder disk;
  MakeArchive(disk.path());
  ASSERT_EQ(0, RunCli({disk.path(), "-R", "--link-index", "-q"}).Status);
  EXPECT_TRUE(Contains(Pages(disk.path()).at("index.html"), "href=\"photos/index.html\""));
  EXPECT_TRUE(Contains(Pages(disk.path()).at("photos/index.html"), "href=\"../index.html\""));

  CliRun bad = RunCli({top.path(), "-R", "-o", "sub/list.html"});
  EXPECT_EQ(2, bad.Status);
  EXPECT_TRUE(Contains(bad.Err, "with -R, -o names the file of every folder's page")) << bad.Err;
  EXPECT_EQ(2, RunCli({top.path(), "--max-depth=2"}).Status) << "a tree option without -R";
}

TEST(CliTree, AnOutputFolderLeavesTheSourceUntouched) {
  ScopedTempFolder top, out;
  MakeArchive(top.path());
  const std::string site = out.Join("site");
  ASSERT_EQ(0, RunCli({top.path(), "-R", "--hidden", "--output-dir", site, "-q"}).Status);
  EXPECT_TRUE(Pages(top.path()).empty()) << "nothing written into the source";
  EXPECT_EQ(Pages(site).size(), 9u);
  // The pages' links to files lead back into the source.
  ExpectEveryLinkResolves(site);
}

TEST(CliTree, ARerunThatChangesNothingWritesNoPage) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  ASSERT_EQ(0, RunCli({top.path(), "-R", "--hidden", "-q"}).Status);
  const std::string page = (fs::path(top.path()) / "music" / "index.html").string();
  const auto written = fs::last_write_time(page);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  CliRun again = RunCli({top.path(), "-R", "--hidden"});
  EXPECT_TRUE(Contains(again.Err, "0 pages written, 9 unchanged, 0 failed")) << again.Err;
  EXPECT_EQ(fs::last_write_time(page), written) << "the page and its time stay as they were";
  // The folder keeps its time, which its parent's page and its sub-folder's
  // show: its own page has a new row, and its parent's page its new total.
  // Set back through the platform: the standard library sets no folder's
  // time on Windows.
  const fs::path music = fs::path(top.path()) / "music";
  std::string reason;
  std::unique_ptr<OpenFolder> held = SystemTreeDisk().Open(music.string(), reason);
  uint64_t music_time = 0;
  ASSERT_TRUE(held != nullptr && held->WriteTime(music_time)) << reason;
  WriteFileBytes((music / "new.txt").string(), "new");
  ASSERT_TRUE(held->SetWriteTime(music_time));
  held.reset();
  CliRun changed = RunCli({top.path(), "-R", "--hidden"});
  EXPECT_TRUE(Contains(changed.Err, "2 pages written, 7 unchanged"))
      << "the folder that changed and the one above: " << changed.Err;
  EXPECT_TRUE(Contains(ReadFileBytes(page), "new.txt"));
  // Without totals, only the folder that changed.
  ASSERT_EQ(0, RunCli({top.path(), "-R", "--hidden", "--no-du", "-q"}).Status);
  held = SystemTreeDisk().Open(music.string(), reason);
  ASSERT_TRUE(held != nullptr && held->WriteTime(music_time)) << reason;
  WriteFileBytes((music / "newer.txt").string(), "newer");
  ASSERT_TRUE(held->SetWriteTime(music_time));
  held.reset();
  changed = RunCli({top.path(), "-R", "--hidden", "--no-du"});
  EXPECT_TRUE(Contains(changed.Err, "1 page written, 8 unchanged")) << changed.Err;
}

TEST(CliTree, APageOfSomeoneElsesIsKept) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  const std::string theirs = (fs::path(top.path()) / "docs" / "index.html").string();
  WriteFileBytes(theirs, "<p>the project's own page</p>");
  // Kept, and said so, but no failure: the run did what it could.
  CliRun run = RunCli({top.path(), "-R", "--hidden"});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + theirs + ": not written by kestrova")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "8 pages written, 0 unchanged, 1 kept (not written by kestrova), 0 failed"))
      << run.Err;
  EXPECT_EQ(ReadFileBytes(theirs), "<p>the project's own page</p>");
  EXPECT_EQ(Pages(top.path()).size(), 9u) << "the others are written, and the kept file is not theirs";
}

// The same tree listed by one thread and by many gives the same bytes.
TEST(CliTree, OneThreadAndManyWriteTheSamePages) {
  ScopedTempFolder one, many;
  for (const ScopedTempFolder* top : {&one, &many}) {
    for (int a = 0; a < 40; ++a) {
      for (int b = 0; b < 50; ++b) {
        const fs::path folder =
            fs::path(top->path()) / ("group " + std::to_string(a)) / ("part-" + std::to_string(b));
        fs::create_directories(folder);
        if (b % 7 == 0) WriteFileBytes((folder / ("f" + std::to_string(a * b) + ".txt")).string(), "x");
      }
    }
  }
  ASSERT_EQ(0, RunCli({one.path(), "-R", "-q", "--threads", "1", "--set", "Columns=S"}).Status);
  ASSERT_EQ(0, RunCli({many.path(), "-R", "-q", "--threads", "8", "--set", "Columns=S"}).Status);
  const auto first = Pages(one.path()), second = Pages(many.path());
  ASSERT_EQ(first.size(), 2041u);
  ASSERT_EQ(second.size(), first.size());
  for (const auto& [relative, page] : first) {
    // The top's name is its folder's own, which differs between the two.
    std::string expected = page;
    const std::string one_name = fs::path(one.path()).filename().string();
    const std::string many_name = fs::path(many.path()).filename().string();
    for (size_t at = expected.find(one_name); at != std::string::npos; at = expected.find(one_name, at + 1)) {
      expected.replace(at, one_name.size(), many_name);
    }
    ASSERT_EQ(second.at(relative), expected) << relative;
  }
}

// Hidden names stand for dot files where the system marks none.
bool DotNamesAreHidden() { return FolderSeparator() == '/'; }

// A repository to publish: its .git folder, a secret beside the pages.
std::string MakeRepository(const ScopedTempFolder& work) {
  const std::string top = work.Join("pub");
  MakeArchive(top);
  fs::create_directories(fs::path(top) / ".git" / "objects" / "ab");
  WriteFileBytes((fs::path(top) / ".git" / "config").string(), "[core]");
  WriteFileBytes((fs::path(top) / ".git" / "objects" / "ab" / "cdef").string(), "blob");
  WriteFileBytes((fs::path(top) / ".env").string(), "PASSWORD=x");
  return top;
}

TEST(CliTree, APublishedTreeLeavesOutHiddenNamesAndNeverEntersTheRepository) {
  ScopedTempFolder work;
  const std::string top = MakeRepository(work);
  CliRun run = RunCli({top, "-R"});
  ASSERT_EQ(0, run.Status) << run.Err;
  auto pages = Pages(top);
  EXPECT_EQ(pages.count(".git/index.html") + pages.count(".git/objects/index.html"), 0u);
  if (DotNamesAreHidden()) {
    EXPECT_EQ(pages.size(), 8u) << "every folder but the hidden ones";
    EXPECT_FALSE(Contains(pages.at("index.html"), ".env"));
    EXPECT_FALSE(Contains(pages.at("index.html"), ".git"));
    EXPECT_EQ(pages.count(".cache/index.html"), 0u);
  }

  // Asked for, hidden names are listed; the repository is listed, not
  // entered, and a note says so.
  CliRun all = RunCli({top, "-R", "-a"});
  ASSERT_EQ(0, all.Status) << all.Err;
  pages = Pages(top);
  EXPECT_EQ(pages.size(), 9u);
  EXPECT_EQ(pages.count(".cache/index.html"), 1u);
  EXPECT_EQ(pages.count(".git/index.html"), 0u);
  EXPECT_TRUE(Contains(pages.at("index.html"), ">.env<"));
  EXPECT_TRUE(Contains(pages.at("index.html"), ">.git<"));
  EXPECT_FALSE(Contains(pages.at("index.html"), "href=\".git/")) << "no link to a page that is not";
  EXPECT_TRUE(Contains(all.Err, "kestrova-cli: not entered: " + JoinPath(top, ".git") +
                                    " (a repository's own folder; give it as FOLDER to list it)\n"))
      << all.Err;
  ExpectEveryLinkResolves(top);
  EXPECT_EQ(0, RunCli({top, "-R", "--hidden", "--no-hidden", "-q"}).Status) << "the last one wins";
  if (DotNamesAreHidden()) {
    EXPECT_FALSE(Contains(Pages(top).at("index.html"), ".env"));
  }

  // Named as FOLDER, the repository is listed whole.
  ASSERT_EQ(0, RunCli({JoinPath(top, ".git"), "-R", "-q"}).Status);
  pages = Pages(top);
  EXPECT_EQ(pages.count(".git/index.html") + pages.count(".git/objects/ab/index.html"), 2u);

  // One folder, and a tree written as one document, list every name as before.
  CliRun one = RunCli({top, "-o", "-", "-q"});
  EXPECT_TRUE(Contains(one.Out, ">.env<") && Contains(one.Out, ">.git<")) << one.Out;
  CliRun names = RunCli({top, "-R", "--format", "names", "-q"});
  EXPECT_TRUE(Contains(names.Out, PlatformLines(".env\r\n"))) << names.Out;
  EXPECT_TRUE(Contains(names.Out, JoinPath(JoinPath(JoinPath(".git", "objects"), "ab"), "cdef")))
      << names.Out;
}

TEST(CliTree, PrintedSettingsSayWhetherHiddenNamesAreListedAndASettingsFileKeepsItsOwn) {
  ScopedTempFolder work;
  const std::string top = MakeRepository(work);
  const auto hidden_line = [&top](const std::vector<std::string>& arguments) {
    return SettingLine(RunCli(Concat({top, "--print-settings"}, arguments)).Out, "HideHidden");
  };
  EXPECT_EQ("HideHidden=1", hidden_line({"-R"}));
  EXPECT_EQ("HideHidden=1", hidden_line({"-R", "--format", "html"}));
  EXPECT_EQ("HideHidden=1", hidden_line({"-R", "--preset", "classic"}))
      << "a preset that names no HideHidden";
  EXPECT_EQ("(no HideHidden line)", hidden_line({"-R", "--hidden"}));
  EXPECT_EQ("(no HideHidden line)", hidden_line({"-R", "--format", "json"})) << "one document, as find lists";
  EXPECT_EQ("(no HideHidden line)", hidden_line({})) << "one folder, as before";
  EXPECT_EQ("HideHidden=1", hidden_line({"--no-hidden"}));

  // A settings file says what it says, in a tree as in one folder.
  const std::string plain = work.Join("plain.ksv");
  WriteFileBytes(plain, "Title=plain\r\n");
  EXPECT_EQ("(no HideHidden line)", hidden_line({"-R", "-s", plain}));
  EXPECT_EQ("HideHidden=1", hidden_line({"-R", "-s", plain, "--no-hidden"}));
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"-R"}, {"-R", "--hidden"}, {"-R", "--format", "text"}}) {
    const std::string job = work.Join("job.ksv");
    WriteFileBytes(job, RunCli(Concat({top, "--print-settings"}, arguments)).Out);
    EXPECT_EQ(hidden_line(arguments), hidden_line({"-R", "-s", job})) << "-s with the printed settings";
  }
  if (DotNamesAreHidden()) {
    ASSERT_EQ(0, RunCli({"-R", "-s", plain, top, "-q"}).Status);
    EXPECT_EQ(Pages(top).count(".cache/index.html"), 1u);
  }
}

TEST(CliTree, TextPagesAndANameOfAnotherFormAreRefused) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  CliRun text = RunCli({top.path(), "-R", "--format", "text"});
  EXPECT_EQ(2, text.Status) << "text carries no mark to tell its pages from other files";
  EXPECT_TRUE(Contains(text.Err, "with -R, the text form is not written into every folder")) << text.Err;
  EXPECT_TRUE(Pages(top.path(), "index.txt").empty());

  for (const auto& [arguments, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"-o", "index.xhtml"},
            "kestrova-cli: cannot write index.xhtml: .xhtml promises XHTML, which kestrova-cli does not "
            "write; "
            "name the pages (such as index.html)\nkestrova-cli: (without -o, the pages of -R are named "
            "index.html)\n"},
           {{"--format", "names", "-o", JoinPath(top.path(), "tree.csv")},
            "kestrova-cli: cannot write names into " + JoinPath(top.path(), "tree.csv") +
                ": .csv is the extension of the form csv; name the file for the form (such as tree.txt), or "
                "choose one of those forms with --format\n"},
       }) {
    CliRun refused = RunCli(Concat({top.path(), "-R"}, arguments));
    EXPECT_EQ(2, refused.Status);
    EXPECT_EQ(message, refused.Err);
  }
  EXPECT_TRUE(Pages(top.path()).empty());
  EXPECT_FALSE(PathExists(JoinPath(top.path(), "tree.csv")));
  EXPECT_TRUE(Pages(top.path(), "index.xhtml").empty());
}

// The file of one document is checked as one listing's is, before the walk:
// a folder that is not there is named as such, and nothing is walked.
TEST(CliTree, OneDocumentInAFolderThatIsNotThereIsRefusedAsOneListingIs) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  const std::string output = JoinPath(JoinPath(top.path(), "missing"), "tree.json");
  CliRun tree = RunCli({top.path(), "-R", "-o", output});
  CliRun one = RunCli({top.path(), "-o", output});
  EXPECT_EQ(2, tree.Status);
  EXPECT_EQ("kestrova-cli: cannot write " + output + ": No such folder\n", tree.Err);
  EXPECT_EQ(one.Err, tree.Err);
  // Standard output named keeps the form of the settings, as the settings'
  // own standard output does.
  const std::string job = top.Join("job.ksv");
  WriteFileBytes(job, RunCli({top.path(), "--format", "names", "-R", "--print-settings"}).Out);
  CliRun named = RunCli({"-s", job, "-R", "-o", "-", "-q"});
  EXPECT_EQ(0, named.Status) << named.Err;
  EXPECT_EQ(RunCli({"-s", job, "-R", "-q"}).Out, named.Out);
}

#ifndef _WIN32

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(CliTree, ALinkIsListedEnteredOnlyWithFollowAndALoopIsNotEntered) {
  ScopedTempFolder top;
  MakeArchive(top.path());
  fs::create_directory_symlink("../photos", fs::path(top.path()) / "music" / "pictures");
  fs::create_directory_symlink("..", fs::path(top.path()) / "photos" / "up");
  CliRun plain = RunCli({top.path(), "-R", "-q"});
  ASSERT_EQ(0, plain.Status) << plain.Err;
  auto pages = Pages(top.path());
  EXPECT_EQ(pages.count("music/pictures/index.html"), 0u) << "a link is listed, not entered";
  EXPECT_TRUE(Contains(pages.at("music/index.html"), ">pictures<"));
  EXPECT_FALSE(Contains(pages.at("music/index.html"), "href=\"pictures/\""));
  ExpectEveryLinkResolves(top.path());

  // Followed, a link out of the tree is entered; one into it leads to the
  // page its folder has there; one to a folder above is a loop.
  ScopedTempFolder elsewhere;
  fs::create_directories(fs::path(elsewhere.path()) / "shared" / "deep");
  WriteFileBytes((fs::path(elsewhere.path()) / "shared" / "deep" / "s.txt").string(), "s");
  fs::create_directory_symlink(fs::path(elsewhere.path()) / "shared",
                               fs::path(top.path()) / "docs" / "shared");
  CliRun follow = RunCli({top.path(), "-R", "-q", "--follow"});
  EXPECT_EQ(0, follow.Status) << follow.Err;
  EXPECT_TRUE(
      Contains(follow.Err, "not entered: " + top.path() + "/photos/up leads back to a folder above it"))
      << follow.Err;
  EXPECT_TRUE(fs::exists(fs::path(elsewhere.path()) / "shared" / "deep" / "index.html"))
      << "a link out, entered";
  EXPECT_TRUE(Contains(ReadFileBytes((fs::path(top.path()) / "music" / "index.html").string()),
                       "href=\"../photos/\">pictures<"))
      << "a link into the tree leads to its folder's page, where that page is";
  EXPECT_TRUE(
      Contains(ReadFileBytes((fs::path(top.path()) / "photos" / "index.html").string()), "<a href=\"../\">"))
      << "the folder's page is written once, by its own path";
  EXPECT_TRUE(Contains(follow.Err, "kestrova-cli: not entered: " + top.path() +
                                       "/music/pictures is a link to " + fs::canonical(top.path()).string() +
                                       "/photos, in the tree: a folder is listed at its own path only\n"))
      << "a link into the tree is named: " << follow.Err;
  ExpectEveryLinkResolves(top.path());
}

TEST(CliTree, AFolderThatCannotBeReadOrWrittenIsReportedAndTheRestIsWritten) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder top;
  MakeArchive(top.path());
  chmod(top.path().c_str(), 0777);
  for (const auto& entry : fs::recursive_directory_iterator(top.path())) {
    chmod(entry.path().c_str(), entry.is_directory() ? 0777 : 0666);
  }
  const std::string locked = (fs::path(top.path()) / "music" / "old stuff").string();
  const std::string read_only = (fs::path(top.path()) / "photos" / "2024").string();
  chmod(locked.c_str(), 0700);
  chmod(read_only.c_str(), 0755);
  CliRun run = RunCli({top.path(), "-R", "-q"}, "", 65534);
  EXPECT_EQ(1, run.Status);
  EXPECT_TRUE(Contains(run.Err, "cannot list " + locked + ": Permission denied")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "cannot write " + read_only + "/index.html")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "2 failed")) << run.Err;
  const auto pages = Pages(top.path());
  EXPECT_EQ(pages.count("photos/2024/summer/index.html"), 1u) << "the walk goes on below a failure";
  EXPECT_FALSE(Contains(pages.at("music/index.html"), "href=\"old%20stuff/\""))
      << "no link to a page that is not";
}

TEST(CliTree, OneDocumentTellsOfAFolderItCannotReadAndHoldsTheRest) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder top;
  MakeArchive(top.path());
  chmod(top.path().c_str(), 0777);
  const std::string locked = (fs::path(top.path()) / "music" / "old stuff").string();
  chmod(locked.c_str(), 0700);
  const std::string output = top.Join("tree.json");
  CliRun run = RunCli({top.path(), "-R", "-q", "-o", output}, "", 65534);
  EXPECT_EQ(1, run.Status);
  EXPECT_TRUE(Contains(run.Err, "cannot list " + locked + ": Permission denied")) << run.Err;
  const std::string document = ReadFileBytes(output);
  EXPECT_TRUE(Contains(document, "\"name\": \"old stuff\", \"kind\": \"folder\"")) << document;
  EXPECT_TRUE(Contains(document, "\"error\": \"Permission denied\"}")) << document;
  EXPECT_TRUE(Contains(document, "\"name\": \"sea.png\"")) << "the rest of the tree is written";
}

TEST(CliTree, OneDocumentIsTheSameFromOneThreadOrMany) {
  ScopedTempFolder top;
  for (int a = 0; a < 12; ++a) {
    for (int b = 0; b < 6; ++b) {
      const fs::path folder = fs::path(top.path()) / ("g" + std::to_string(a)) / ("p" + std::to_string(b));
      fs::create_directories(folder);
      WriteFileBytes((folder / "f.txt").string(), std::string(static_cast<size_t>(a * b), 'x'));
    }
  }
  RunCli({top.path(), "-R", "-q", "--format", "names"});  // the first reads set the folders' access times
  for (const char* form : {"json", "csv", "names"}) {
    CliRun one = RunCli({top.path(), "-R", "-q", "--threads", "1", "--format", form});
    CliRun many = RunCli({top.path(), "-R", "-q", "--threads", "8", "--format", form});
    EXPECT_EQ(0, one.Status) << one.Err;
    EXPECT_TRUE(one.Out == many.Out) << form;
    EXPECT_TRUE(Contains(one.Out, "g11")) << form;
  }
}

// An interrupt in the middle of a large tree leaves each page old or new,
// and no temporary file anywhere.
TEST(CliTree, AnInterruptLeavesEveryPageOldOrNew) {
  ScopedTempFolder top;
  for (int a = 0; a < 300; ++a) {
    const fs::path folder = fs::path(top.path()) / ("f" + std::to_string(a));
    fs::create_directories(folder);
    for (int b = 0; b < 40; ++b) WriteFileBytes((folder / ("file" + std::to_string(b))).string(), "x");
  }
  ASSERT_EQ(0, RunCli({top.path(), "-R", "-q"}).Status);
  const auto old_pages = Pages(top.path());
  for (const auto& entry : fs::directory_iterator(top.path())) {
    if (entry.is_directory()) WriteFileBytes((entry.path() / "added").string(), "y");
  }
  for (int delay_ms : {5, 20, 60}) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string program = KESTROVA_CLI_PATH;
      execl(program.c_str(), program.c_str(), top.path().c_str(), "-R", "-q", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    for (const auto& [relative, page] : Pages(top.path())) {
      const bool whole = page.compare(0, 15, "<!DOCTYPE html>") == 0 && EndsWith(page, "</html>\n");
      EXPECT_TRUE(page == old_pages.at(relative) || whole) << relative;
    }
    for (const auto& entry : fs::recursive_directory_iterator(top.path())) {
      EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();
    }
  }
}

#endif

}  // namespace

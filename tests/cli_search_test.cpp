// The search file of --search on real folders: refused before anything is
// written where it has no place, and in a tree that others can write to
// written over nothing but its own kind, and left as it is when unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli_harness.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

TEST(CliSearch, IsRefusedBeforeAnythingIsWrittenWhereItHasNoPlace) {
  ScopedTempFolder top;
  fs::create_directories(top.Join("a"));
  const std::vector<std::vector<std::string>> refused = {
      {"--search"},
      {"--search", "--format", "page", "-o", top.Join("one.html")},
      {"-R", "--search", "--format", "json", "-o", top.Join("tree.json")},
      {"-R", "--search", "--preset", "classic"},
      {"-R", "--search", "--format", "page", "-o", "kestrova-search.js"},
  };
  for (const std::vector<std::string>& arguments : refused) {
    const CliRun run = RunCli(Concat({top.path()}, arguments));
    EXPECT_EQ(2, run.Status) << arguments.back() << run.Err;
    EXPECT_TRUE(Contains(run.Err, "--search")) << run.Err;
  }
  EXPECT_TRUE(fs::is_empty(top.Join("a")));
  EXPECT_EQ(std::distance(fs::directory_iterator(top.path()), fs::directory_iterator()), 1);
}

TEST(CliSearch, AnUnchangedRerunLeavesTheFileAndTheTopFolderAsTheyAre) {
  ScopedTempFolder top;
  fs::create_directories(top.Join("a"));
  WriteFileBytes(top.Join("a/notes.txt"), "n");
  const CliRun first = RunCli({top.path(), "-R", "--search"});
  EXPECT_EQ(0, first.Status) << first.Err;
  EXPECT_TRUE(Contains(first.Err, "; search file written")) << first.Err;
  const std::string file = top.Join("kestrova-search.js");
  const std::string written = ReadFileBytes(file);
  EXPECT_TRUE(Contains(written, "\"notes.txt\"")) << written;
  const auto file_time = fs::last_write_time(file);
  const auto top_time = fs::last_write_time(top.path());
  const CliRun again = RunCli({top.path(), "-R", "--search", "--threads", "4"});
  EXPECT_EQ(0, again.Status) << again.Err;
  EXPECT_TRUE(Contains(again.Err, "0 pages written, 2 unchanged, 0 failed; search file unchanged"))
      << again.Err;
  EXPECT_EQ(fs::last_write_time(file), file_time);
  EXPECT_EQ(fs::last_write_time(top.path()), top_time);
  EXPECT_FALSE(Contains(ReadFileBytes(top.Join("index.html")), ">kestrova-search.js<"))
      << "the program's file is not listed as the folder's";
}

TEST(CliSearch, AUsersOwnFileOfThatNameIsNeverReplaced) {
  ScopedTempFolder top;
  fs::create_directories(top.Join("a"));
  const std::string file = top.Join("kestrova-search.js");
  WriteFileBytes(file, "// generator: Kestrova, in a comment of my own script\nalert(1);\n");
  const CliRun run = RunCli({top.path(), "-R", "--search"});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + file + ": not written by kestrova")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "search file kept (not written by kestrova)")) << run.Err;
  EXPECT_EQ(ReadFileBytes(file), "// generator: Kestrova, in a comment of my own script\nalert(1);\n");
  EXPECT_FALSE(Contains(ReadFileBytes(top.Join("a/index.html")), "id=\"everywhere\""))
      << "no page loads a script that is not this program's";
  EXPECT_TRUE(Contains(ReadFileBytes(top.Join("index.html")), ">kestrova-search.js<"))
      << "the user's file is one of the folder's";
}

#ifndef _WIN32

TEST(CliSearch, ALinkOrAPipeNamedLikeTheSearchFileIsLeftAlone) {
  ScopedTempFolder link_top, pipe_top, elsewhere;
  fs::create_directories(link_top.Join("a"));
  fs::create_directories(pipe_top.Join("a"));
  const std::string target = elsewhere.Join("site.js");
  WriteFileBytes(target, "someone else's script");
  fs::create_symlink(target, link_top.Join("kestrova-search.js"));
  ASSERT_EQ(0, mkfifo(pipe_top.Join("kestrova-search.js").c_str(), 0666));
  const CliRun linked = RunCli({link_top.path(), "-R", "--search"});
  EXPECT_EQ(0, linked.Status) << linked.Err;
  EXPECT_TRUE(
      Contains(linked.Err, "kept " + link_top.Join("kestrova-search.js") + ": a symbolic link has that name"))
      << linked.Err;
  EXPECT_EQ(ReadFileBytes(target), "someone else's script");
  EXPECT_TRUE(fs::is_symlink(link_top.Join("kestrova-search.js")));
  // A pipe that nobody reads would hold an open for writing forever.
  const CliRun piped =
      RunProgram("/usr/bin/timeout", {"20", KESTROVA_CLI_PATH, pipe_top.path(), "-R", "--search"});
  EXPECT_EQ(0, piped.Status) << piped.Err;
  EXPECT_TRUE(Contains(piped.Err, "kept " + pipe_top.Join("kestrova-search.js") + ": not a regular file"))
      << piped.Err;
  EXPECT_TRUE(fs::is_fifo(pipe_top.Join("kestrova-search.js")));
}

TEST(CliSearch, AFileThatCannotBeWrittenIsAFailure) {
  ScopedTempFolder top, site;
  fs::create_directories(top.Join("a"));
  ASSERT_EQ(0, RunCli({top.path(), "-R", "-q", "--output-dir", site.path()}).Status);
  WriteFileBytes(site.Join("kestrova-search.js"), "// generator: Kestrova\n");
  // A folder its runner may read and not write: as another user where the
  // tests run as root, who writes anywhere.
  const bool root = getuid() == 0;
  for (const std::string& folder : {top.path(), top.Join("a"), site.path(), site.Join("a")})
    chmod(folder.c_str(), root ? 0755 : 0555);
  const CliRun run =
      RunCli({top.path(), "-R", "--search", "--output-dir", site.path()}, "", root ? 65534 : -1);
  chmod(site.path().c_str(), 0755);
  EXPECT_EQ(1, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "cannot write " + site.Join("kestrova-search.js") + ": ")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "; search file not written")) << run.Err;
  EXPECT_EQ(ReadFileBytes(site.Join("kestrova-search.js")), "// generator: Kestrova\n");
}

#endif

}  // namespace

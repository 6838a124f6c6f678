// A tree that other people can write to, published with -R: pages go only
// where they belong, over nothing but this program's own pages, and a
// hostile name (a link, a pipe, a device) neither redirects nor stops a run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli_harness.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

size_t CountPages(const std::string& top, const std::string& name = "index.html") {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(top)) count += entry.path().filename() == name;
  return count;
}

void MakeTree(const std::string& top, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) fs::create_directories(fs::path(top) / folder);
}

TEST(CliTreeSafety, FormsWithoutAMarkAreNotWrittenIntoEveryFolder) {
  ScopedTempFolder top;
  MakeTree(top.path(), {"a", "b"});
  const std::string notes = top.Join("a/notes.txt");
  WriteFileBytes(notes, "my notes");
  for (const std::vector<std::string>& form :
       {std::vector<std::string>{"-o", "notes.txt"}, {"--format", "text"}, {"--text", "-o", "notes.txt"}}) {
    CliRun run = RunCli(Concat({top.path(), "-R"}, form));
    EXPECT_EQ(2, run.Status) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "with -R, the text form is not written into every folder")) << run.Err;
  }
  EXPECT_EQ(ReadFileBytes(notes), "my notes");
  EXPECT_EQ(CountPages(top.path()), 0u);
}

TEST(CliTreeSafety, TheSettingsFileInUseIsNeverAPage) {
  ScopedTempFolder top;
  MakeTree(top.path(), {"sub"});
  const std::string settings = top.Join("settings.ksv");
  const CliRun printed = RunCli({"--preset", "classic", "--print-settings"});
  ASSERT_EQ(0, printed.Status);
  WriteFileBytes(settings, printed.Out);
  const std::string saved = ReadFileBytes(settings);
  CliRun run = RunCli({"-s", settings, top.path(), "-R", "--format", "page", "-o", "settings.ksv"});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + settings + ": the settings file in use")) << run.Err;
  EXPECT_EQ(ReadFileBytes(settings), saved);
  EXPECT_TRUE(fs::exists(top.Join("sub/settings.ksv"))) << "the other folders have their pages";
}

TEST(CliTreeSafety, TheMarkIsExactAndAtItsPlace) {
  ScopedTempFolder top;
  MakeTree(top.path(), {"theme", "comment"});
  // Pages of someone else's that merely mention the program.
  const std::string theme = top.Join("theme/index.html");
  const std::string comment = top.Join("comment/index.html");
  WriteFileBytes(theme,
                 "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                 "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                 "<meta name=\"generator\" content=\"KestrovaTheme\">\n");
  WriteFileBytes(comment,
                 "<html><head><!-- <meta name=\"generator\" content=\"Kestrova\"> --></head></html>\n");
  CliRun run = RunCli({top.path(), "-R"});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + theme + ": not written by kestrova")) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + comment + ": not written by kestrova")) << run.Err;
  EXPECT_TRUE(Contains(ReadFileBytes(theme), "KestrovaTheme"));

  // A classic page with a title of many kilobytes is still known as this
  // program's on the next run.
  ScopedTempFolder classic;
  MakeTree(classic.path(), {"a/b"});
  const std::vector<std::string> arguments = {classic.path(), "-R",      "--preset",
                                              "classic",      "--title", std::string(12000, 'T')};
  ASSERT_EQ(0, RunCli(arguments).Status);
  CliRun again = RunCli(arguments);
  EXPECT_EQ(0, again.Status) << again.Err;
  EXPECT_TRUE(Contains(again.Err, "0 pages written, 3 unchanged, 0 failed")) << again.Err;
}

TEST(CliTreeSafety, TheSourcesOwnIndexFilesAreListedWhenThePagesStandApart) {
  ScopedTempFolder top, site;
  MakeTree(top.path(), {"docs"});
  WriteFileBytes(top.Join("docs/index.html"), "<p>the project's own page</p>");
  ASSERT_EQ(0, RunCli({top.path(), "-R", "-q", "--output-dir", site.path()}).Status);
  EXPECT_TRUE(Contains(ReadFileBytes(site.Join("docs/index.html")), ">index.html<"))
      << "the source's file is the folder's own";
  EXPECT_EQ(ReadFileBytes(top.Join("docs/index.html")), "<p>the project's own page</p>");
}

#ifndef _WIN32

// The program of that name on the search path; the name alone when none is.
std::string Which(const std::string& name) {
  const char* path = getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return name;
}

// Runs kestrova-cli under strace with the injection (see strace -e inject),
// one thread; nullopt-like: Status -1 when strace is missing.
// LeakSanitizer cannot work under ptrace, so the traced run leaves it out;
// the sanitizer build checks for leaks in the runs without strace.
CliRun RunInjected(const std::string& injection, const std::vector<std::string>& arguments) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string no_leaks = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
  return RunProgram(Which("strace"),
                    Concat({"-f", "-qq", "-o", "/dev/null", "-E", "ASAN_OPTIONS=" + no_leaks, "-e",
                            "inject=" + injection, KESTROVA_CLI_PATH, "--threads", "1"},
                           arguments));
}

bool HaveStrace() { return RunProgram(Which("strace"), {"-V"}).Status == 0; }

TEST(CliTreeSafety, ALinkOrASpecialFileNamedLikeAPageIsLeftAlone) {
  ScopedTempFolder top, elsewhere;
  MakeTree(top.path(), {"link", "fifo", "fifo-link", "device", "device-link"});
  const std::string target = elsewhere.Join("site.html");
  WriteFileBytes(target, "someone else's site");
  fs::create_symlink(target, top.Join("link/index.html"));
  ASSERT_EQ(0, mkfifo(top.Join("fifo/index.html").c_str(), 0666));
  ASSERT_EQ(0, mkfifo(elsewhere.Join("pipe").c_str(), 0666));
  fs::create_symlink(elsewhere.Join("pipe"), top.Join("fifo-link/index.html"));
  // A device: /dev/null's numbers stand for a disk, which a write at offset
  // 0 would have ruined.
  const bool device = mknod(top.Join("device/index.html").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  fs::create_symlink("/dev/null", top.Join("device-link/index.html"));
  // A pipe that nobody reads would hold an open for writing forever.
  CliRun run = RunProgram(Which("timeout"), {"20", KESTROVA_CLI_PATH, top.path(), "-R"});
  EXPECT_EQ(0, run.Status) << run.Err;
  for (const char* folder : {"link", "fifo-link", "device-link"}) {
    EXPECT_TRUE(Contains(run.Err, "kept " + top.Join(folder) + "/index.html: a symbolic link has that name"))
        << run.Err;
  }
  EXPECT_TRUE(Contains(run.Err, "kept " + top.Join("fifo/index.html") + ": not a regular file")) << run.Err;
  if (device) {
    EXPECT_TRUE(Contains(run.Err, "kept " + top.Join("device/index.html") + ": not a regular file"))
        << run.Err;
  }
  EXPECT_EQ(ReadFileBytes(target), "someone else's site");
  EXPECT_TRUE(fs::is_symlink(top.Join("link/index.html")));
  EXPECT_TRUE(fs::is_fifo(top.Join("fifo/index.html")));
}

TEST(CliTreeSafety, APageThatCannotBeReadIsNotKnownToBeOurs) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder top;
  MakeTree(top.path(), {"sub"});
  chmod(top.path().c_str(), 0777);
  chmod(top.Join("sub").c_str(), 0777);
  const std::string foreign = top.Join("sub/index.html");
  WriteFileBytes(foreign, "a page the runner may write but not read");
  chmod(foreign.c_str(), 0222);
  ASSERT_EQ(0, chown(foreign.c_str(), 65534, 65534));
  CliRun run = RunCli({top.path(), "-R"}, "", 65534);
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Err, "kept " + foreign + ": it cannot be read")) << run.Err;
  chmod(foreign.c_str(), 0644);
  EXPECT_EQ(ReadFileBytes(foreign), "a page the runner may write but not read");
}

TEST(CliTreeSafety, ThePagesFolderInsideTheSourceIsNeverWalked) {
  ScopedTempFolder top;
  MakeTree(top.path(), {"a", "b"});
  // Depth-bounded, so that a walk into its own output ends.
  CliRun run = RunCli({top.path(), "-R", "-L", "8", "--output-dir", top.Join("a/out")});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_EQ(CountPages(top.Join("a/out")), 3u) << "one page for each folder of the source";
  EXPECT_FALSE(fs::exists(top.Join("a/out/a/out")));

  CliRun same = RunCli({top.path(), "-R", "--output-dir", top.path()});
  EXPECT_EQ(1, same.Status);
  EXPECT_TRUE(Contains(same.Err, "--output-dir " + top.path() + " is the folder listed")) << same.Err;
  EXPECT_EQ(CountPages(top.path()), 3u) << "nothing more was written";
}

TEST(CliTreeSafety, AFolderSwappedForALinkMeanwhileGetsItsPageWhereItWent) {
  if (!HaveStrace()) GTEST_SKIP() << "needs strace";
  ScopedTempFolder top, elsewhere;
  MakeTree(top.path(), {"sub"});
  // The second page's write waits a while; meanwhile the folder is moved
  // away and a link put in its place.
  pid_t swapper = fork();
  if (swapper == 0) {
    usleep(700000);
    rename(top.Join("sub").c_str(), top.Join("moved").c_str());
    symlink(elsewhere.path().c_str(), top.Join("sub").c_str());
    _exit(0);
  }
  CliRun run = RunInjected("write:delay_enter=1500000:when=2", {top.path(), "-R", "-q"});
  waitpid(swapper, nullptr, 0);
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_FALSE(fs::exists(elsewhere.Join("index.html"))) << "nothing written through the link";
  EXPECT_TRUE(fs::exists(top.Join("moved/index.html"))) << "the page is in the folder that was listed";
}

TEST(CliTreeSafety, AFolderChangedWhileItsPageIsWrittenKeepsItsNewTime) {
  if (!HaveStrace()) GTEST_SKIP() << "needs strace";
  ScopedTempFolder top;
  MakeTree(top.path(), {"sub"});
  const std::string added = top.Join("sub/added.txt");
  const auto listed_at = fs::last_write_time(top.Join("sub"));
  pid_t writer = fork();
  if (writer == 0) {
    usleep(700000);
    WriteFileBytes(added, "added by another program");
    _exit(0);
  }
  CliRun run = RunInjected("write:delay_enter=1500000:when=2", {top.path(), "-R", "-q"});
  waitpid(writer, nullptr, 0);
  EXPECT_EQ(0, run.Status) << run.Err;
  ASSERT_TRUE(fs::exists(added));
  // Set back, the folder would show the time it had when it was listed;
  // the file came 0.7 s after that.
  EXPECT_GT(fs::last_write_time(top.Join("sub")), listed_at + std::chrono::milliseconds(500))
      << "the folder's time tells of the file added, not of a time before it";
}

TEST(CliTreeSafety, AKilledRunsTemporaryFilesGoOnTheNextRun) {
  if (!HaveStrace()) GTEST_SKIP() << "needs strace";
  ScopedTempFolder top;
  MakeTree(top.path(), {"sub"});
  // Killed as it is about to put the second page in place.
  RunInjected("rename,renameat,renameat2:signal=SIGKILL:when=2", {top.path(), "-R", "-q"});
  auto leftovers = [&top] {
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(top.path()))
      count += entry.path().filename().string().rfind(".kestrova-", 0) == 0;
    return count;
  };
  ASSERT_GE(leftovers(), 1u) << "the kill left a temporary file";
  CliRun again = RunCli({top.path(), "-R", "-q"});
  EXPECT_EQ(0, again.Status) << again.Err;
  EXPECT_EQ(leftovers(), 0u);
  EXPECT_EQ(CountPages(top.path()), 2u);
}

TEST(CliTreeSafety, OneFolderReachedTwiceIsListedOnce) {
  ScopedTempFolder top, elsewhere;
  MakeTree(elsewhere.path(), {"shared/deep"});
  MakeTree(top.path(), {"a", "b"});
  fs::create_directory_symlink(elsewhere.Join("shared"), top.Join("a/one"));
  fs::create_directory_symlink(elsewhere.Join("shared"), top.Join("b/two"));
  for (const char* threads : {"1", "4"}) {
    CliRun run = RunCli({top.path(), "-R", "--follow", "--threads", threads});
    EXPECT_EQ(0, run.Status) << run.Err;
    EXPECT_TRUE(
        Contains(run.Err, "not entered: " + top.Join("b/two") + " is already listed as " + top.Join("a/one")))
        << run.Err;
    EXPECT_TRUE(Contains(ReadFileBytes(top.Join("b/index.html")), "href=\"../a/one/\">two<"))
        << "the second path leads to the folder's one page";
    const std::string shared = ReadFileBytes(elsewhere.Join("shared/index.html"));
    EXPECT_TRUE(Contains(shared, "one") && !Contains(shared, "two")) << "named by the path that lists it";
  }

  // A folder mounted again inside itself is a loop.
  if (getuid() != 0) return;
  ScopedTempFolder looped;
  MakeTree(looped.path(), {"x/mirror"});
  if (mount(looped.path().c_str(), looped.Join("x/mirror").c_str(), nullptr, MS_BIND, nullptr) != 0) return;
  CliRun run = RunCli({looped.path(), "-R"});
  umount(looped.Join("x/mirror").c_str());
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(
      Contains(run.Err, "not entered: " + looped.Join("x/mirror") + " leads back to a folder above it"))
      << run.Err;
}

#endif

}  // namespace

// The command line against faults that only a hostile system shows: calls
// made to fail by strace, another user's permissions, the file-size limit.
// The program must say what happened, keep what it can and never report a
// half-written or wrongly made file as written.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

const char kStrace[] = "/usr/bin/strace";

struct CliRun {
  int Status = -1;  // as waitpid gives it
  std::string Err;
};

// Runs the program under the wrapper command (strace, setpriv; none when
// empty) with stdout on /dev/null; prepare runs in the child before the exec.
CliRun RunCli(const std::vector<std::string>& wrapper, const std::vector<std::string>& arguments,
              const std::function<void()>& prepare = nullptr) {
  ScopedTempFolder capture;
  const std::string err_path = capture.Join("stderr");
  std::vector<std::string> words = wrapper;
  words.push_back(KESTROVA_CLI_PATH);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (null < 0 || err < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    // LeakSanitizer cannot work under ptrace; the sanitizer build checks
    // for leaks in the runs without strace.
    if (words[0] == kStrace) {
      const char* options = std::getenv("ASAN_OPTIONS");
      setenv("ASAN_OPTIONS", (std::string(options != nullptr ? options : "") + ":detect_leaks=0").c_str(), 1);
    }
    if (prepare) prepare();
    execv(argv[0], argv.data());
    _exit(127);
  }
  CliRun run;
  waitpid(child, &run.Status, 0);
  run.Err = ReadFileBytes(err_path);
  return run;
}

int ExitOf(const CliRun& run) {
  return WIFEXITED(run.Status) ? WEXITSTATUS(run.Status) : 1000 + WTERMSIG(run.Status);
}

const std::vector<std::string> kAsNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                            "--clear-groups"};

bool CanActAsNobody() { return getuid() == 0 && access(kAsNobody[0].c_str(), X_OK) == 0; }

bool HasStrace() { return access(kStrace, X_OK) == 0; }

std::vector<std::string> Injecting(const std::string& call, const std::string& error, int when = 0) {
  std::string inject = "inject=" + call + ":error=" + error;
  if (when > 0) inject += ":when=" + std::to_string(when);
  return {kStrace, "-f", "-o", "/dev/null", "-e", "trace=" + call, "-e", inject};
}

// The number of the statx call that reads the entry, counted as strace's
// when= counts: found by a run that only traces.
int StatxCallOf(const std::string& entry, const std::vector<std::string>& arguments) {
  ScopedTempFolder trace;
  const std::string log = trace.Join("log");
  RunCli({kStrace, "-f", "-o", log, "-e", "trace=statx"}, arguments);
  std::istringstream lines(ReadFileBytes(log));
  int call = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("statx(") == std::string::npos) continue;
    ++call;
    if (line.find("\"" + entry + "\"") != std::string::npos) return call;
  }
  return 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info;
}

size_t CountEntries(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(CliMetadataFaults, AFailureToFollowAnEntryIsAFailureNotAnEmptyFile) {
  if (!HasStrace()) GTEST_SKIP() << "needs strace";
  ScopedTempFolder listed, work;
  WriteFileBytes(listed.Join("a.txt"), "hello");
  const std::string output = work.Join("list.txt");
  const std::vector<std::string> arguments = {listed.path(), "-o", output, "-q"};
  const int call = StatxCallOf("a.txt", arguments);
  ASSERT_GT(call, 0) << "no statx call read a.txt";
  struct Case {
    const char* Error;
    const char* Reason;
  };
  for (const Case& c : {Case{"EIO", "Input/output error"}, Case{"EACCES", "Permission denied"},
                        Case{"ESTALE", "Stale file handle"}}) {
    WriteFileBytes(output, "the listing of yesterday");
    const CliRun run = RunCli(Injecting("statx", c.Error, call), arguments);
    EXPECT_EQ(ExitOf(run), 1) << c.Error << ": " << run.Err;
    EXPECT_EQ(run.Err, "kestrova-cli: cannot list " + listed.path() + ": " + c.Reason + "\n");
    EXPECT_EQ(ReadFileBytes(output), "the listing of yesterday") << c.Error;
  }
  // Where following fails as for a broken link but the entry is no link, it
  // was put there meanwhile, and it is listed as what it is.
  for (const char* error : {"ENOENT", "ELOOP", "ENOTDIR"}) {
    const CliRun replaced = RunCli(Injecting("statx", error, call), arguments);
    EXPECT_EQ(ExitOf(replaced), 0) << error << ": " << replaced.Err;
    EXPECT_NE(ReadFileBytes(output).find("\n5 bytes: Total size"), std::string::npos)
        << error << ": " << ReadFileBytes(output);
  }
}

TEST(CliWriteFaults, AModeOrOwnerThatCannotBeKeptIsAWarningAndTheFileIsNeverMoreOpen) {
  if (!HasStrace() || getuid() != 0) GTEST_SKIP() << "needs strace and root";
  if (getpwuid(12345) != nullptr) GTEST_SKIP() << "user 12345 exists here";
  ScopedTempFolder listed, work;
  const std::string page = work.Join("page.html");
  const auto umask_022 = [] { umask(022); };

  WriteFileBytes(page, "old");
  chmod(page.c_str(), 0664);
  CliRun run = RunCli(Injecting("fchmod", "EPERM"), {listed.path(), "-o", page, "-q"}, umask_022);
  EXPECT_EQ(ExitOf(run), 0);
  EXPECT_EQ(run.Err, "kestrova-cli: warning: could not keep the mode 0664 of " + page +
                         "; it is now 0644 (Operation not permitted)\n");
  EXPECT_EQ(StatOf(page).st_mode & 07777, 0644u);

  chown(page.c_str(), 12345, 23456);
  run = RunCli(Injecting("fchown", "EPERM"), {listed.path(), "-o", page, "-q"}, umask_022);
  EXPECT_EQ(ExitOf(run), 0);
  EXPECT_EQ(run.Err, "kestrova-cli: warning: could not keep the owner 12345:23456 of " + page +
                         "; it now belongs to root:root (Operation not permitted)\n");
  EXPECT_TRUE(EndsWith(ReadFileBytes(page), "</html>\n")) << "written all the same";
}

TEST(CliWriteFaults, AnotherUsersPageRewrittenByAUserIsTheirsWithAWarning) {
  if (!CanActAsNobody()) GTEST_SKIP() << "needs root and setpriv to act as another user";
  ScopedTempFolder listed, work;
  chmod(work.path().c_str(), 0777);
  const std::string page = work.Join("page.html");
  WriteFileBytes(page, "old");
  chmod(page.c_str(), 0666);
  const CliRun run = RunCli(kAsNobody, {listed.path(), "-o", page, "-q"});
  EXPECT_EQ(ExitOf(run), 0) << run.Err;
  EXPECT_TRUE(StartsWith(run.Err, "kestrova-cli: warning: could not keep the owner root:root of " + page +
                                      "; it now belongs to nobody:"))
      << run.Err;
  EXPECT_TRUE(EndsWith(run.Err, " (Operation not permitted)\n")) << run.Err;
  EXPECT_EQ(StatOf(page).st_uid, kNobody);
}

TEST(CliWriteFaults, AFolderThatRefusesTheTemporaryFileIsNamedAndInPlaceGetsPast) {
  if (!CanActAsNobody()) GTEST_SKIP() << "needs root and setpriv to act as another user";
  ScopedTempFolder listed, work;
  chmod(work.path().c_str(), 0755);
  const std::string page = work.Join("page.html");
  WriteFileBytes(page, "old page");
  chmod(page.c_str(), 0666);
  CliRun run = RunCli(kAsNobody, {listed.path(), "-o", page, "-q"});
  EXPECT_EQ(ExitOf(run), 1);
  EXPECT_EQ(run.Err, "kestrova-cli: cannot create a temporary file in " + work.path() +
                         ": Permission denied\nkestrova-cli: (--in-place writes " + page +
                         " directly, without the whole-or-nothing guarantee)\n");
  EXPECT_EQ(ReadFileBytes(page), "old page");

  run = RunCli(kAsNobody, {listed.path(), "-o", page, "-q", "--in-place"});
  EXPECT_EQ(ExitOf(run), 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_TRUE(EndsWith(ReadFileBytes(page), "</html>\n"));
  EXPECT_EQ(StatOf(page).st_uid, 0u) << "written in place, the page stays root's";
  EXPECT_EQ(CountEntries(work.path()), 1u);

  const std::string fresh = work.Join("fresh.html");
  run = RunCli(kAsNobody, {listed.path(), "-o", fresh, "-q"});
  EXPECT_EQ(ExitOf(run), 1);
  EXPECT_EQ(run.Err, "kestrova-cli: cannot write " + fresh + ": Permission denied\n")
      << "no file to write in place: no way past is offered";
}

TEST(CliWriteFaults, AWritePastTheFileSizeLimitFailsWithItsReasonAndLeavesNothing) {
  ScopedTempFolder listed, work;
  for (int i = 0; i < 300; ++i) WriteFileBytes(listed.Join("entry-" + std::to_string(i) + ".txt"), "");
  const std::string page = work.Join("index.html");
  WriteFileBytes(page, "the listing of yesterday");
  const CliRun run = RunCli({}, {listed.path(), "-o", page, "-q"}, [] {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 8 << 10;  // a page of 300 entries is several times larger
    setrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit no_core {};
    setrlimit(RLIMIT_CORE, &no_core);
  });
  EXPECT_EQ(ExitOf(run), 1) << "1000 + n: ended by signal n";
  EXPECT_EQ(run.Err, "kestrova-cli: cannot write " + page + ": File too large\n");
  EXPECT_EQ(ReadFileBytes(page), "the listing of yesterday");
  EXPECT_EQ(CountEntries(work.path()), 1u) << "no temporary file is left";
}

}  // namespace

#endif

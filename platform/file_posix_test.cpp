// What only POSIX shows of files and folders: real write failures, modes,
// links, devices, pipes, signals and another user's permissions.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

size_t CountEntries(const std::string& folder) {
  size_t count = 0;
  for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++count;
  return count;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Runs body in a child process and returns its wait status.
template <typename Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info;
}

bool HasTemporaryName(const std::string& folder) {
  for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) {
    if (IsTemporaryFileName(it->path().filename().string())) return true;
  }
  return false;
}

// Whether the file system of the folder makes files without a name.
bool MakesUnnamedFiles(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// In a child: /proc out of sight, as on a system without it mounted, so
// that new files get their names from the start. False where mounts are
// not allowed.
bool HideProc() {
  return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", "/proc", "tmpfs", 0, "size=4k") == 0;
}

constexpr uid_t kNobody = 65534;

TEST(AtomicFilePosix, AWriteThatRunsOutOfSpaceKeepsTheOldFile) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "old page");
  // The file-size limit makes the kernel refuse the write itself, as a full
  // disk would; done in a child so that the limit ends with it.
  const int status = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string failure;
    const bool written = ReplaceFileAtomically(target, std::string(2 << 20, 'x'), failure);
    _exit(!written && failure == "File too large" ? 0 : 1);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must fail with the system's reason";
  EXPECT_EQ(ReadFileBytes(target), "old page");
  EXPECT_EQ(CountEntries(folder.path()), 1u) << "no temporary file is left";
}

TEST(AtomicFilePosix, KeepsTheModeOfTheOldFileAndTheUmaskForANewOne) {
  ScopedTempFolder folder;
  const std::string shared = folder.Join("shared.html");
  WriteFileBytes(shared, "old");
  chmod(shared.c_str(), 0640);
  std::string failure;
  ASSERT_TRUE(ReplaceFileAtomically(shared, "new", failure)) << failure;
  EXPECT_EQ(ModeOf(shared), 0640u);

  const mode_t mask = umask(027);
  ASSERT_TRUE(ReplaceFileAtomically(folder.Join("fresh.html"), "new", failure)) << failure;
  umask(mask);
  EXPECT_EQ(ModeOf(folder.Join("fresh.html")), 0640u) << "0666 under the umask 027";
}

TEST(AtomicFilePosix, AWritePastTheFileSizeLimitFailsWithItsReasonAndTheProgramGoesOn) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "old page");
  const int status = InChild([&] {
    InstallInterruptCleanup();
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string failure;
    const bool written = ReplaceFileAtomically(target, std::string(2 << 20, 'x'), failure);
    _exit(!written && failure == "File too large" ? 0 : 1);
  });
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFileBytes(target), "old page");
  EXPECT_EQ(CountEntries(folder.path()), 1u);
}

TEST(AtomicFilePosix, KeepsTheOwnerAndGroupButNeverTheSetIdBits) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to give files away";
  ScopedTempFolder folder;
  const std::string page = folder.Join("page.html");
  WriteFileBytes(page, "old");
  ASSERT_EQ(chown(page.c_str(), 12345, 23456), 0);
  ASSERT_EQ(chmod(page.c_str(), 06750), 0);
  AtomicFile file;
  ASSERT_TRUE(file.Open(page) && file.Write("new") && file.Commit()) << file.FailureReason();
  const struct stat made = StatOf(page);
  EXPECT_EQ(made.st_uid, 12345u) << "a web server's page stays the web server's";
  EXPECT_EQ(made.st_gid, 23456u);
  EXPECT_EQ(made.st_mode & 07777, 0750u) << "set-user-ID and set-group-ID are dropped";
  EXPECT_TRUE(file.Notes().Warnings.empty());
}

TEST(AtomicFilePosix, AnotherUserKeepsWhatTheyMayAndIsToldWhatTheyMayNot) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder folder;
  chmod(folder.path().c_str(), 0777);
  // Their own file in a group of theirs: both kept, as the owner may.
  const std::string own = folder.Join("own.html");
  WriteFileBytes(own, "old");
  ASSERT_EQ(chown(own.c_str(), kNobody, 4242), 0);
  ASSERT_EQ(chmod(own.c_str(), 0640), 0);
  // Root's file that anyone may write: replacing it gives it to them.
  const std::string roots = folder.Join("roots.html");
  WriteFileBytes(roots, "old");
  ASSERT_EQ(chmod(roots.c_str(), 0666), 0);
  const int status = InChild([&] {
    const gid_t groups[] = {4242};
    if (setgroups(1, groups) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(5);
    AtomicFile file;
    if (!file.Open(own) || !file.Write("new") || !file.Commit()) _exit(6);
    if (!file.Notes().Warnings.empty()) _exit(7);
    if (!file.Open(roots) || !file.Write("new") || !file.Commit()) _exit(8);
    const std::vector<std::string>& warnings = file.Notes().Warnings;
    const std::string start = "could not keep the owner root:root of " + roots + "; it now belongs to ";
    const std::string end = " (Operation not permitted)";
    if (warnings.size() != 1 || warnings[0].compare(0, start.size(), start) != 0 ||
        warnings[0].compare(warnings[0].size() - end.size(), end.size(), end) != 0) {
      _exit(9);
    }
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "6: own file not written, 7: warned of what was kept, 8: root's file not "
         "written, 9: not warned as expected";
  EXPECT_EQ(StatOf(own).st_gid, 4242u);
  EXPECT_EQ(StatOf(own).st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFileBytes(roots), "new");
  EXPECT_EQ(StatOf(roots).st_mode & 07777, 0666u) << "the mode is the user's to keep";
}

TEST(AtomicFilePosix, AFolderThatRefusesTheNewFileIsNamedAndWritingInPlaceGetsPast) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder folder;
  chmod(folder.path().c_str(), 0755);
  const std::string page = folder.Join("page.html");
  WriteFileBytes(page, "old page");
  chmod(page.c_str(), 0666);
  const int status = InChild([&] {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(5);
    AtomicFile file;
    if (file.Open(page)) _exit(6);
    if (file.FailureReason() != "Permission denied" || file.Notes().RefusedFolder != folder.path()) _exit(7);
    if (file.Open(folder.Join("new.html")) || !file.Notes().RefusedFolder.empty()) _exit(8);
    if (!file.Open(page, WriteMethod::kInPlace) || !file.Write("new") || !file.Commit()) _exit(9);
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "6: opened, 7: the folder not named, 8: a new name in place would not "
                                       "help, 9: in place failed";
  EXPECT_EQ(ReadFileBytes(page), "new");
  EXPECT_EQ(StatOf(page).st_uid, 0u) << "written in place, the file stays root's";
  EXPECT_EQ(CountEntries(folder.path()), 1u);
}

TEST(AtomicFilePosix, ANewFileHasNoNameUntilTheCommitSoEvenAKillLeavesNone) {
  ScopedTempFolder folder;
  if (!MakesUnnamedFiles(folder.path())) GTEST_SKIP() << "the file system makes no unnamed files";
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "old page");
  const int status = InChild([&] {
    AtomicFile file;
    if (!file.Open(target) || !file.Write(std::string(3 << 20, 'x'))) _exit(3);
    if (CountEntries(folder.path()) != 1) _exit(4);
    raise(SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status) << " (4: the new file had a name)";
  EXPECT_EQ(ReadFileBytes(target), "old page");
  EXPECT_EQ(CountEntries(folder.path()), 1u);
}

TEST(AtomicFilePosix, WritesThroughALinkAndIntoDevicesInPlace) {
  ScopedTempFolder folder;
  const std::string real = folder.Join("real.html");
  WriteFileBytes(real, "old");
  fs::create_symlink(real, folder.Join("link.html"));
  std::string failure;
  ASSERT_TRUE(ReplaceFileAtomically(folder.Join("link.html"), "new", failure)) << failure;
  EXPECT_TRUE(fs::is_symlink(folder.Join("link.html"))) << "the link stays a link";
  EXPECT_EQ(ReadFileBytes(real), "new");

  ASSERT_TRUE(ReplaceFileAtomically("/dev/null", "listing", failure)) << failure;
  struct stat info {};
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode)) << "a device is written, never replaced";
}

TEST(AtomicFilePosix, AnInterruptRemovesTheTemporaryFileAndEndsByTheSignal) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  WriteFileBytes(target, "old page");
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    const int status = InChild([&] {
      // Without /proc the new file has its name from the start, which the
      // handler must remove.
      const bool named = HideProc();
      const struct rlimit no_core {};
      setrlimit(RLIMIT_CORE, &no_core);
      InstallInterruptCleanup();
      AtomicFile file;
      if (!file.Open(target) || !file.Write(std::string(3 << 20, 'x'))) _exit(3);
      if (named && !HasTemporaryName(folder.path())) _exit(5);
      raise(signal_number);
      _exit(4);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "a shell then shows 128 + " << signal_number << "; exit "
                                     << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_EQ(ReadFileBytes(target), "old page");
    EXPECT_EQ(CountEntries(folder.path()), 1u) << "signal " << signal_number;
  }
}

// A stop asked while interrupts are deferred lets the work in hand finish
// (here, a file committed) and then ends the program by the signal; a
// second signal ends it at once, its pending file removed.
TEST(AtomicFilePosix, ADeferredInterruptEndsOnceTheWorkInHandIsDone) {
  ScopedTempFolder folder;
  const std::string target = folder.Join("index.html");
  for (int signals : {1, 2}) {
    WriteFileBytes(target, "old page");
    const int status = InChild([&] {
      const struct rlimit no_core {};
      setrlimit(RLIMIT_CORE, &no_core);
      InstallInterruptCleanup();
      InterruptsDeferred deferred;
      AtomicFile file;
      if (!file.Open(target) || !file.Write("new page")) _exit(3);
      for (int i = 0; i < signals; ++i) raise(SIGTERM);
      if (!file.Commit()) _exit(4);
      return;
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << signals << " signals; exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(ReadFileBytes(target), signals == 1 ? "new page" : "old page");
    EXPECT_EQ(CountEntries(folder.path()), 1u) << signals << " signals";
  }
}

// Other threads go on writing while the handler removes their files: none
// may make a new one after that, with or without names from the start.
TEST(AtomicFilePosix, AnInterruptWhileOtherThreadsWriteLeavesNoTemporaryFile) {
  ScopedTempFolder folder;
  for (int round = 0; round < 40; ++round) {
    const int status = InChild([&] {
      if (round % 2 == 1) HideProc();
      InstallInterruptCleanup();
      std::atomic<int> pages{0};
      for (int writer = 0; writer < 4; ++writer) {
        std::thread([&, writer] {
          const std::string target = folder.Join("page" + std::to_string(writer));
          for (;;) {
            AtomicFile file;
            if (file.Open(target) && file.Write("page") && file.Commit()) ++pages;
          }
        }).detach();
      }
      while (pages.load() < 10 + 3 * round) std::this_thread::yield();
      raise(SIGINT);
      _exit(4);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    ASSERT_FALSE(HasTemporaryName(folder.path())) << "round " << round;
  }
}

TEST(AtomicFilePosix, ASignalIgnoredWhenTheProgramStartedStaysIgnored) {
  const int status = InChild([] {
    signal(SIGHUP, SIG_IGN);  // as nohup leaves it
    InstallInterruptCleanup();
    raise(SIGHUP);
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SameFilePosix, LinksNameTheFileTheyLeadTo) {
  ScopedTempFolder folder;
  const std::string job = folder.Join("job.ksv");
  WriteFileBytes(job, "Title=x\r\n");
  fs::create_symlink(job, folder.Join("link.ksv"));
  fs::create_hard_link(job, folder.Join("hard.ksv"));
  EXPECT_TRUE(SameFile(folder.Join("link.ksv"), job));
  EXPECT_TRUE(SameFile(job, folder.Join("hard.ksv")));
  EXPECT_FALSE(SameFile(job, folder.Join("JOB.KSV"))) << "names here are case-sensitive";
}

TEST(ReadSmallFilePosix, NeverBlocksOnAPipeNorReadsADevice) {
  ScopedTempFolder folder;
  const std::string pipe = folder.Join("pipe.ksv");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string bytes, reason;
  EXPECT_EQ(ReadSmallFile(pipe, 1 << 20, bytes, reason), FileReadStatus::kNotRegularFile);
  EXPECT_EQ(ReadSmallFile("/dev/zero", 1 << 20, bytes, reason), FileReadStatus::kNotRegularFile);
}

TEST(PosixFolderSourceFailures, AFolderAnotherUserMayNotReadIsAFailure) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ScopedTempFolder folder;
  const std::string locked = folder.Join("locked");
  fs::create_directory(locked);
  WriteFileBytes(locked + "/inside.txt", "x");
  // Listable but not searchable: names come, their metadata does not.
  const std::string names_only = folder.Join("names-only");
  fs::create_directory(names_only);
  WriteFileBytes(names_only + "/inside.txt", "x");
  chmod(locked.c_str(), 0700);
  chmod(names_only.c_str(), 0744);
  chmod(folder.path().c_str(), 0755);
  const int status = InChild([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(5);
    std::string failure;
    auto ignore = [](const FolderRecord&) {};
    if (SystemFolderSource().Enumerate(locked + "/*", ignore, failure)) _exit(6);
    if (failure != "Permission denied") _exit(7);
    if (SystemFolderSource().Enumerate(names_only + "/*", ignore, failure)) _exit(8);
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "6/7: a refused open, 8: unreadable metadata went unreported";
}

TEST(InspectFolder, NamesWhatAPathIsAndWhyItCannotBeListed) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("file"), "x");
  std::string reason;
  EXPECT_EQ(InspectFolder(folder.path(), true, reason), FolderStatus::kFolder);
  EXPECT_EQ(InspectFolder(folder.Join("file"), true, reason), FolderStatus::kNotFolder);
  EXPECT_EQ(reason, "Not a directory");
  EXPECT_EQ(InspectFolder(folder.Join("file") + "/below", true, reason), FolderStatus::kNotFolder);
  EXPECT_EQ(InspectFolder(folder.Join("gone"), true, reason), FolderStatus::kMissing);
  EXPECT_EQ(reason, "No such file or directory");
  // A path longer than the system takes exists, made one level at a time,
  // but it cannot be named whole.
  const std::string level(200, 'd');
  std::string deep = folder.path();
  std::vector<int> levels = {open(folder.path().c_str(), O_RDONLY | O_DIRECTORY)};
  while (deep.size() < 5000) {
    ASSERT_EQ(mkdirat(levels.back(), level.c_str(), 0755), 0);
    levels.push_back(openat(levels.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
    deep += "/" + level;
  }
  EXPECT_EQ(InspectFolder(deep, true, reason), FolderStatus::kRefused);
  EXPECT_EQ(reason, "File name too long");
  // Taken apart from the bottom, as it was made.
  for (size_t i = levels.size() - 1; i > 0; --i) {
    close(levels[i]);
    unlinkat(levels[i - 1], level.c_str(), AT_REMOVEDIR);
  }
  close(levels[0]);
  if (getuid() != 0) return;
  const std::string locked = folder.Join("locked");
  fs::create_directory(locked);
  chmod(locked.c_str(), 0700);
  chmod(folder.path().c_str(), 0755);
  const int status = InChild([&] {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(5);
    std::string why;
    if (InspectFolder(locked, true, why) != FolderStatus::kRefused || why != "Permission denied") _exit(6);
    if (InspectFolder(locked, false, why) != FolderStatus::kFolder) _exit(7);
    if (InspectFolder(locked + "/x", false, why) != FolderStatus::kRefused) _exit(8);
    _exit(0);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "6: a folder that may not be searched reads as missing";
}

}  // namespace

// What only POSIX shows of files and folders: real write failures, modes,
// links, devices, pipes, signals and another user's permissions.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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
  for (int signal_number : {SIGINT, SIGTERM}) {
    const int status = InChild([&] {
      InstallInterruptCleanup();
      AtomicFile file;
      if (!file.Open(target) || !file.Write(std::string(3 << 20, 'x'))) _exit(3);
      raise(signal_number);
      _exit(4);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "a shell then shows 128 + " << signal_number;
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_EQ(ReadFileBytes(target), "old page");
    EXPECT_EQ(CountEntries(folder.path()), 1u);
  }
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

// The command line against real failures of the disk and real interrupts:
// whatever happens, the output file is the old one or the whole new one.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

// Starts the program with its output streams on /dev/null and stderr in a
// file; returns the child's process id.
pid_t Start(const std::vector<std::string>& arguments, const std::string& err_path) {
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  std::string program = KESTROVA_CLI_PATH;
  argv.push_back(program.data());
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_RDWR);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (null < 0 || err < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return child;
}

int Wait(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

void MakeEntries(const std::string& folder, int count) {
  for (int i = 0; i < count; ++i) WriteFileBytes(folder + "/entry-" + std::to_string(i) + ".txt", "");
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
  return names;
}

// A tmpfs of a few pages: a real full disk, where mounting is allowed.
class TinyDisk {
 public:
  explicit TinyDisk(const std::string& at) : at_(at) {
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~TinyDisk() {
    if (mounted_) umount(at_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::string at_;
  bool mounted_ = false;
};

TEST(CliSafeWrites, AFullDiskKeepsTheOldListingAndSaysSo) {
  ScopedTempFolder listed, work;
  MakeEntries(listed.path(), 3000);  // a page of several hundred kilobytes
  const std::string disk = work.Join("disk");
  fs::create_directory(disk);
  TinyDisk tiny(disk);
  if (!tiny.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  const std::string output = disk + "/index.html";
  WriteFileBytes(output, "the listing of yesterday");

  const int status = Wait(Start({listed.path(), "-o", output}, work.Join("err")));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(ReadFileBytes(work.Join("err")),
            "kestrova-cli: cannot write " + output + ": No space left on device\n");
  EXPECT_EQ(ReadFileBytes(output), "the listing of yesterday");
  EXPECT_EQ(NamesIn(disk), std::vector<std::string>{"index.html"}) << "no temporary file is left";

  const std::string settings = disk + "/job.ksv";
  WriteFileBytes(settings, "Title=kept\r\n");
  // Taking the rest of the disk makes the settings file fail to fit too.
  WriteFileBytes(disk + "/filler", std::string(60 << 10, 'x'));
  const int saved =
      Wait(Start({listed.path(), "-o", work.Join("x.html"), "--save-settings", settings}, work.Join("err")));
  ASSERT_TRUE(WIFEXITED(saved));
  EXPECT_EQ(WEXITSTATUS(saved), 1);
  EXPECT_EQ(ReadFileBytes(settings), "Title=kept\r\n");
}

bool HasTemporaryFile(const std::string& folder) {
  for (const std::string& name : NamesIn(folder)) {
    if (name.rfind(".kestrova-", 0) == 0) return true;
  }
  return false;
}

TEST(CliSafeWrites, AnInterruptedRunLeavesTheOldFileAndNoTemporaryFile) {
  ScopedTempFolder listed, work;
  MakeEntries(listed.path(), 20000);
  const std::string output = work.Join("index.html");
  const std::string old_page = "the listing of yesterday";
  int caught = 0;
  for (int round = 0; round < 20 && caught < 4; ++round) {
    WriteFileBytes(output, old_page);
    const pid_t child =
        Start({listed.path(), "-o", output, "-q", "--set", "Columns=STWCRAH"}, work.Join("err"));
    // Interrupt the moment the new page is being written.
    bool writing = false;
    while (!writing && waitpid(child, nullptr, WNOHANG) == 0) writing = HasTemporaryFile(work.path());
    if (!writing) continue;  // it finished first; try again
    kill(child, caught % 2 == 0 ? SIGINT : SIGTERM);
    const int status = Wait(child);
    const std::string page = ReadFileBytes(output);
    if (WIFSIGNALED(status)) {
      ++caught;
      EXPECT_EQ(WTERMSIG(status), caught % 2 == 1 ? SIGINT : SIGTERM);
      EXPECT_TRUE(page == old_page || page.compare(page.size() - 7, 7, "</HTML>") == 0)
          << "the old page or, interrupted after the rename, the whole new one";
    }
    EXPECT_FALSE(HasTemporaryFile(work.path())) << "round " << round;
  }
  EXPECT_GT(caught, 0) << "no run was caught while writing";
}

}  // namespace

#endif

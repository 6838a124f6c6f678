// The command line against real failures of the disk and real interrupts:
// whatever happens, the output file is the old one or the whole new one.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
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
    const struct rlimit no_core {};  // SIGQUIT would dump one
    setrlimit(RLIMIT_CORE, &no_core);
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
    if (IsTemporaryFileName(name)) return true;
  }
  return false;
}

// Whether the child is writing a new file into the folder: one with a name
// of the temporary pattern, or one without a name yet, which only the
// child's descriptors show (as "FOLDER/#INODE (deleted)").
bool IsWriting(pid_t child, const std::string& folder) {
  if (HasTemporaryFile(folder)) return true;
  const std::string unnamed = folder + "/#";
  std::error_code error;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(child) + "/fd", error)) {
    const std::string target = fs::read_symlink(fd.path(), error).string();
    if (target.compare(0, unnamed.size(), unnamed) == 0) return true;
  }
  return false;
}

TEST(CliSafeWrites, AnInterruptedRunLeavesTheOldFileAndNoTemporaryFile) {
  ScopedTempFolder listed, work;
  MakeEntries(listed.path(), 20000);
  const std::string output = work.Join("index.html");
  const std::string old_page = "the listing of yesterday";
  // A closed terminal, the quit key and a reader gone end the run as an
  // interrupt does; a kill leaves no file behind because the new file has
  // no name while it is written.
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGKILL};
  const int signal_count = static_cast<int>(std::size(signals));
  int caught = 0;
  for (int round = 0; round < 40 && caught < signal_count; ++round) {
    WriteFileBytes(output, old_page);
    const pid_t child =
        Start({listed.path(), "-o", output, "-q", "--set", "Columns=STWCRAH"}, work.Join("err"));
    // Interrupt the moment the new page is being written.
    bool writing = false;
    while (!writing && waitpid(child, nullptr, WNOHANG) == 0) writing = IsWriting(child, work.path());
    if (!writing) continue;  // it finished first; try again
    const int sent = signals[caught];
    kill(child, sent);
    const int status = Wait(child);
    const std::string page = ReadFileBytes(output);
    if (WIFSIGNALED(status)) {
      ++caught;
      EXPECT_EQ(WTERMSIG(status), sent);
      const std::string end = "</html>\n";
      EXPECT_TRUE(page == old_page ||
                  (page.size() > end.size() && page.compare(page.size() - end.size(), end.size(), end) == 0))
          << "the old page or, interrupted after the rename, the whole new one";
    }
    EXPECT_FALSE(HasTemporaryFile(work.path())) << "round " << round << ", signal " << sent;
  }
  EXPECT_EQ(caught, signal_count) << "not every signal caught a run while writing";
}

}  // namespace

#endif

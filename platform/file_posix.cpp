// Files over POSIX: whole-or-nothing writes by rename, bounded reads,
// standard output, and the clean-up of an interrupted write.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace {

// The temporary file being written, for the interrupt handler: a fixed
// buffer, since a handler may not allocate.
char pending_path[PATH_MAX + 64];
volatile sig_atomic_t has_pending = 0;

void SetPending(const std::string& path) {
  has_pending = 0;
  if (path.size() >= sizeof pending_path) return;
  std::memcpy(pending_path, path.c_str(), path.size() + 1);
  has_pending = 1;
}

void ClearPending() { has_pending = 0; }

void OnInterrupt(int signal_number) {
  if (has_pending) unlink(pending_path);
  // Ending by the signal itself tells the shell what happened ($? = 128 + n)
  // and lets a calling script stop as it would for any interrupted tool.
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A link is replaced where it points, so the link itself survives.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

std::string_view PlatformLineEnd() { return "\n"; }

bool AtomicFile::Fail() {
  if (!failed_) failure_ = std::strerror(errno);
  failed_ = true;
  return false;
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  failed_ = false;
  failure_.clear();
  target_ = ResolvedTarget(path);
  struct stat existing {};
  const bool exists = stat(target_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    return Fail();
  }
  if (exists && !S_ISREG(existing.st_mode)) {
    const int fd = open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return Fail();
    Start(fd);
    return true;
  }
  // Renaming ignores the target's own permission; a file its owner made
  // read-only stays as protected as a direct write would have left it.
  if (exists && access(target_.c_str(), W_OK) != 0) return Fail();
  // A stem of its own, not the target's name, so that a target name near
  // the system's length limit still has room for its temporary twin.
  const std::string stem = FolderPart(target_) + "/.kestrova-";
  unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u ^ static_cast<unsigned>(std::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 1103515245u + 12345u;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x.tmp", (seed >> 8) & 0xFFFFFF);
    temporary_ = stem + suffix;
    SetPending(temporary_);
    // The mode asked for here passes the umask, as any new file's does.
    const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (exists) fchmod(fd, existing.st_mode & 07777);
      Start(fd);
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int reason = errno;
  ClearPending();
  temporary_.clear();
  errno = reason;
  return Fail();
}

bool AtomicFile::WriteToHandle(std::string_view bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    const ssize_t written = write(static_cast<int>(handle_), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (failed_ || handle_ == kNoHandle) {
    Discard();
    return false;
  }
  bool done = Flush();
  const int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  // A network file system may report a failed write only on close.
  if (close(fd) != 0 && done) done = Fail();
  if (done && !temporary_.empty() && rename(temporary_.c_str(), target_.c_str()) != 0) done = Fail();
  if (!done) {
    Discard();
    return false;
  }
  ClearPending();
  temporary_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (handle_ != kNoHandle) close(static_cast<int>(handle_));
  handle_ = kNoHandle;
  buffer_.clear();
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  ClearPending();
}

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  reason.clear();
  // Non-blocking, so a pipe cannot hold the program before fstat tells it apart.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return FileReadStatus::kCannotRead;
  }
  struct stat info {};
  FileReadStatus status = FileReadStatus::kRead;
  if (fstat(fd, &info) != 0) {
    reason = std::strerror(errno);
    status = FileReadStatus::kCannotRead;
  } else if (!S_ISREG(info.st_mode)) {
    status = FileReadStatus::kNotRegularFile;
  } else if (static_cast<uint64_t>(info.st_size) > limit) {
    status = FileReadStatus::kTooLarge;
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t count = read(fd, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) {
        reason = std::strerror(errno);
        status = FileReadStatus::kCannotRead;
        break;
      }
      if (count == 0) break;
      // The file may have grown since fstat.
      if (bytes.size() + static_cast<size_t>(count) > limit) {
        status = FileReadStatus::kTooLarge;
        break;
      }
      bytes.append(buffer, static_cast<size_t>(count));
    }
  }
  close(fd);
  if (status != FileReadStatus::kRead) bytes.clear();
  return status;
}

// Files over POSIX: the steps of the whole-or-nothing writer, bounded reads,
// and the clean-up of an interrupted write.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/file_steps.h"
#include "platform/platform.h"

namespace {

// Signals that end the program while it may be writing a file: a closed
// terminal or ssh session, a quit key, a reader of standard output gone.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void RemoveFile(const char* path) { unlink(path); }

void PauseBriefly() {
  const struct timespec millisecond { 0, 1000000 };
  nanosleep(&millisecond, nullptr);
}

void EndBySignal(int signal_number) {
  file_steps::RemovePendingFiles(RemoveFile, PauseBriefly);
  // Ending by the signal itself tells the shell what happened ($? = 128 + n)
  // and lets a calling script stop as it would for any interrupted tool.
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

std::atomic<bool> deferring{false};
volatile sig_atomic_t deferred_signal = 0;

void OnEndingSignal(int signal_number) {
  if (deferring.load() && deferred_signal == 0) {
    deferred_signal = signal_number;
    return;
  }
  EndBySignal(signal_number);
}

// A link is replaced where it points, so the link itself survives.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

int DescriptorOf(intptr_t handle) { return static_cast<int>(handle); }

// The folder a location's name is taken in: the one held open, or the
// current folder for a path.
int Folder(const file_steps::Location& at) {
  return at.folder == file_steps::kNoHandle ? AT_FDCWD : DescriptorOf(at.folder);
}

// "." for a name without a folder, "/" for a file of the root.
std::string FolderOfPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A new file of the writer is locked for as long as the writer holds it: a
// lock that the system lets go when the process ends, however it ends, so
// that a later run can tell a killed writer's leftover from a file in use.
intptr_t Held(int fd) {
  if (fd >= 0) flock(fd, LOCK_EX | LOCK_NB);
  return fd;
}

void KeepExisting(const struct stat& existing, file_steps::Target& target) {
  target.kind = file_steps::TargetKind::kRegularFile;
  // Made with the old bits from the start, a new file is never more open
  // than the old one, even where they cannot be set exactly.
  target.mode = existing.st_mode & 0777;
  target.owner = existing.st_uid;
  target.group = existing.st_gid;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// "www-data:www-data", or the numbers where the system has no names.
std::string OwnerText(uid_t owner, gid_t group) {
  char buffer[4096];
  struct passwd user {};
  struct passwd* user_found = nullptr;
  struct group team {};
  struct group* team_found = nullptr;
  getpwuid_r(owner, &user, buffer, sizeof buffer, &user_found);
  std::string text = user_found != nullptr ? user_found->pw_name : std::to_string(owner);
  getgrgid_r(group, &team, buffer, sizeof buffer, &team_found);
  return text + ":" + (team_found != nullptr ? team_found->gr_name : std::to_string(group));
}

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// The end of a warning: the system's reason when a call failed, else what
// the file system did of its own accord.
std::string BecauseOf(int error) {
  return error != 0 ? std::string(" (") + std::strerror(error) + ")" : " (the file system did not keep it)";
}

}  // namespace

std::string_view PlatformLineEnd() { return "\n"; }

namespace file_steps {

const char kTemporaryPrefix[] = ".kestrova-";

unsigned NameSeed() {
  return static_cast<unsigned>(getpid()) * 2654435761u ^ static_cast<unsigned>(std::time(nullptr));
}

Target InspectTarget(const std::string& path) {
  Target target;
  target.at = AtPath(ResolvedTarget(path));
  struct stat existing {};
  if (stat(target.at.path.c_str(), &existing) != 0) return target;
  if (S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    target.kind = TargetKind::kRefused;
  } else if (!S_ISREG(existing.st_mode)) {
    target.kind = TargetKind::kDevice;
  } else if (access(target.at.path.c_str(), W_OK) != 0) {
    // Renaming ignores the target's own permission; a file its owner made
    // read-only stays as protected as a direct write would have left it.
    target.kind = TargetKind::kRefused;
  } else {
    KeepExisting(existing, target);
  }
  return target;
}

Target InspectInFolder(const Location& at) {
  Target target;
  target.at = at;
  struct stat existing {};
  if (fstatat(Folder(at), at.name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return target;
    target.kind = TargetKind::kRefused;
  } else if (S_ISLNK(existing.st_mode)) {
    target.kind = TargetKind::kRefused;
    target.refusal = "a symbolic link has that name";
  } else if (S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    target.kind = TargetKind::kRefused;
  } else if (!S_ISREG(existing.st_mode)) {
    target.kind = TargetKind::kRefused;
    target.refusal = "not a regular file";
  } else if (faccessat(Folder(at), at.name.c_str(), W_OK, 0) != 0) {
    target.kind = TargetKind::kRefused;
  } else {
    KeepExisting(existing, target);
  }
  return target;
}

intptr_t OpenInPlace(const Location& at) {
  // A name of a folder held open is never followed where it is a link, nor
  // waited on where a pipe took its place since it was looked at.
  const int held = at.folder == kNoHandle ? 0 : O_NOFOLLOW | O_NONBLOCK;
  return openat(Folder(at), at.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | held, 0666);
}

intptr_t CreateExclusive(const Location& at, uint32_t mode) {
  return Held(openat(Folder(at), at.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     static_cast<mode_t>(mode)));
}

intptr_t CreateUnnamed(const Location& beside, uint32_t mode) {
  const bool in_folder = beside.folder != kNoHandle;
  const std::string folder = in_folder ? std::string(".") : FolderOfPath(beside.path);
  const int fd =
      openat(Folder(beside), folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return kNoHandle;
  // It is named through /proc at the end; where /proc is missing, a file
  // with a name from the start will do.
  if (access(DescriptorPath(fd).c_str(), F_OK) != 0) {
    close(fd);
    return kNoHandle;
  }
  return Held(fd);
}

bool NameUnnamed(intptr_t handle, const Location& at) {
  return linkat(AT_FDCWD, DescriptorPath(DescriptorOf(handle)).c_str(), Folder(at), at.name.c_str(),
                AT_SYMLINK_FOLLOW) == 0;
}

bool NameTaken() { return errno == EEXIST; }

void KeepOwnerAndMode(intptr_t handle, const Target& target, std::vector<std::string>& warnings) {
  const int fd = DescriptorOf(handle);
  struct stat made {};
  if (fstat(fd, &made) != 0) return;
  const uid_t owner = static_cast<uid_t>(target.owner);
  const gid_t group = static_cast<gid_t>(target.group);
  int owner_error = 0, mode_error = 0;
  if (made.st_uid != owner || made.st_gid != group) {
    // Only root may give a file away; a member of the old group may still
    // give it that group.
    if (fchown(fd, owner, group) != 0) {
      owner_error = errno;
      if (made.st_gid != group) fchown(fd, static_cast<uid_t>(-1), group);
    }
  }
  if ((made.st_mode & 07777) != target.mode && fchmod(fd, static_cast<mode_t>(target.mode)) != 0) {
    mode_error = errno;
  }
  if (fstat(fd, &made) != 0) return;
  if (made.st_uid != owner || made.st_gid != group) {
    warnings.push_back("could not keep the owner " + OwnerText(owner, group) + " of " + target.at.path +
                       "; it now belongs to " + OwnerText(made.st_uid, made.st_gid) + BecauseOf(owner_error));
  }
  if ((made.st_mode & 07777) != target.mode) {
    warnings.push_back("could not keep the mode " + ModeText(target.mode) + " of " + target.at.path +
                       "; it is now " + ModeText(made.st_mode) + BecauseOf(mode_error));
  }
}

bool WriteAll(intptr_t handle, std::string_view bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    const ssize_t written = write(DescriptorOf(handle), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool Close(intptr_t handle) { return close(DescriptorOf(handle)) == 0; }

bool Rename(const Location& from, const Location& to) {
  return renameat(Folder(from), from.name.c_str(), Folder(to), to.name.c_str()) == 0;
}

void Remove(const Location& at) { unlinkat(Folder(at), at.name.c_str(), 0); }

std::string LastReason() { return std::strerror(errno); }

}  // namespace file_steps

void InstallInterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  sigemptyset(&action.sa_mask);
  // One handler at a time: a second signal waits until the first has
  // removed the file and ended the program.
  for (int signal_number : kEndingSignals) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kEndingSignals) {
    struct sigaction previous {};
    // A signal the caller chose to ignore (nohup, a background job) stays so.
    if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
  signal(SIGXFSZ, SIG_IGN);
}

InterruptsDeferred::InterruptsDeferred() { deferring.store(true); }

InterruptsDeferred::~InterruptsDeferred() {
  deferring.store(false);
  if (deferred_signal != 0) EndBySignal(deferred_signal);
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
    // Room for the whole file at once: grown step by step, a large file
    // would be held twice while its string moves.
    bytes.reserve(static_cast<size_t>(info.st_size));
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

// The walk's disk over POSIX: every folder held by a descriptor, every name
// in it reached relative to that descriptor, never through a link it did
// not ask to follow.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/folders_posix.h"
#include "platform/path_tree_disk.h"
#include "platform/platform.h"

namespace {

std::string Reason(int error) { return std::strerror(error); }

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.Device = static_cast<uint64_t>(info.st_dev);
  identity.Index = static_cast<uint64_t>(info.st_ino);
  return identity;
}

std::string Joined(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

class DescriptorReader : public ContentReader {
 public:
  explicit DescriptorReader(int fd) : fd_(fd) { posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL); }
  // What was read need not stay cached: a tree's files read once for their
  // checksums would push out what the system keeps for other work.
  ~DescriptorReader() override { posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_DONTNEED); }
  DescriptorReader(const DescriptorReader&) = delete;
  DescriptorReader& operator=(const DescriptorReader&) = delete;

  size_t Read(char* buffer, size_t size) override {
    for (;;) {
      const ssize_t count = read(fd_.get(), buffer, size);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0) failure_ = Reason(errno);
      return count < 0 ? 0 : static_cast<size_t>(count);
    }
  }
  const std::string& Failure() const override { return failure_; }
  bool Stamp(ContentStamp& stamp) override {
    struct stat info {};
    if (fstat(fd_.get(), &info) != 0) {
      failure_ = Reason(errno);
      return false;
    }
    stamp.Identity = IdentityOf(info);
    stamp.Size = static_cast<uint64_t>(info.st_size);
    stamp.WriteTime = StampTimeOf(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
    stamp.ChangeTime = StampTimeOf(info.st_ctim.tv_sec, static_cast<uint32_t>(info.st_ctim.tv_nsec));
    return true;
  }
  bool SkipTo(uint64_t offset) override {
    if (lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
    failure_ = Reason(errno);
    return false;
  }

 private:
  FileDescriptor fd_;
  std::string failure_;
};

class PosixOpenFolder : public OpenFolder {
 public:
  PosixOpenFolder(int fd, std::string path, const FileIdentity& identity)
      : fd_(fd), path_(std::move(path)), identity_(identity) {}

  // The folder open at fd, checked to be one; null with the reason else.
  static std::unique_ptr<OpenFolder> Adopt(int fd, const std::string& path, std::string& reason) {
    if (fd < 0) {
      reason = Reason(errno);
      return nullptr;
    }
    FileDescriptor owned(fd);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
      reason = Reason(errno);
      return nullptr;
    }
    if (!S_ISDIR(info.st_mode)) {
      reason = Reason(ENOTDIR);
      return nullptr;
    }
    return std::make_unique<PosixOpenFolder>(owned.release(), path, IdentityOf(info));
  }

  const std::string& Path() const override { return path_; }
  FileIdentity Identity() const override { return identity_; }

  bool Enumerate(const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    // A description of its own: reading moves its position, which a
    // duplicate would share with this one.
    const int fd = openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      failure = Reason(errno);
      return false;
    }
    return EnumerateDescriptor(fd, mask, visit, failure);
  }

  bool WriteTime(uint64_t& time) override {
    struct stat info {};
    if (fstat(fd_.get(), &info) != 0) return false;
    time = FileTimeOf(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
    return true;
  }

  bool SetWriteTime(uint64_t time) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = PosixTimeOf(time);
    return futimens(fd_.get(), times) == 0;
  }

  NodeKind Look(const std::string& name) override {
    struct stat info {};
    if (fstatat(fd_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return NodeKind::kMissing;
    if (S_ISLNK(info.st_mode)) return NodeKind::kLink;
    if (S_ISDIR(info.st_mode)) return NodeKind::kFolder;
    return S_ISREG(info.st_mode) ? NodeKind::kFile : NodeKind::kOther;
  }

  std::unique_ptr<ContentReader> ReadFile(const std::string& name, std::string& reason) override {
    // Non-blocking, so that a pipe cannot hold the walk before fstat tells
    // it apart; no link followed.
    FileDescriptor fd(openat(fd_.get(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0) {
      reason = errno == ELOOP ? "a symbolic link" : Reason(errno);
      return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
      reason = kNotRegularFileReason;
      return nullptr;
    }
    return std::make_unique<DescriptorReader>(fd.release());
  }

  std::unique_ptr<NewFile> WriteFile(const std::string& name, WriteMethod method,
                                     std::string& reason) override {
    auto file = std::make_unique<AtomicFile>();
    if (file->OpenInFolder(fd_.get(), path_, name, method)) return file;
    reason = file->FailureReason();
    return nullptr;
  }

  std::unique_ptr<OpenFolder> OpenChild(const std::string& name, bool follow, std::string& reason) override {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
    const int fd = openat(fd_.get(), name.c_str(), flags);
    if (fd < 0 && errno == ELOOP && !follow) {
      reason = "a symbolic link, not a folder";
      return nullptr;
    }
    return Adopt(fd, Joined(path_, name), reason);
  }

  bool MakeFolder(const std::string& name, FileIdentity& identity, std::string& reason) override {
    if (mkdirat(fd_.get(), name.c_str(), 0777) != 0 && errno != EEXIST) {
      reason = Reason(errno);
      return false;
    }
    struct stat info {};
    if (fstatat(fd_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      reason = Reason(errno);
      return false;
    }
    if (!S_ISDIR(info.st_mode)) {
      reason = S_ISLNK(info.st_mode) ? "a symbolic link, not a folder" : Reason(ENOTDIR);
      return false;
    }
    identity = IdentityOf(info);
    return true;
  }

  bool MayList(const std::string& name, std::string& reason) override {
    if (faccessat(fd_.get(), name.c_str(), R_OK | X_OK, 0) == 0) return true;
    reason = Reason(errno);
    return false;
  }

  bool Identify(const std::string& name, FileIdentity& identity) override {
    struct stat info {};
    if (fstatat(fd_.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    identity = IdentityOf(info);
    return true;
  }

  bool RemoveLeftover(const std::string& name) override {
    if (!IsTemporaryFileName(name)) return false;
    FileDescriptor fd(openat(fd_.get(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // A running writer holds its file's lock until the file has its final
    // name; a killed one held it until it died.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    return unlinkat(fd_.get(), name.c_str(), 0) == 0;
  }

 private:
  FileDescriptor fd_;
  std::string path_;
  FileIdentity identity_;
};

class PosixTreeDisk : public PathTreeDisk {
 public:
  std::unique_ptr<OpenFolder> Open(const std::string& path, std::string& reason) override {
    return PosixOpenFolder::Adopt(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), path, reason);
  }

  std::unique_ptr<OpenFolder> Reopen(const std::string& path, const FileIdentity& identity, bool follow,
                                     std::string& reason) override {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0 && errno == ELOOP) {
      reason = "a symbolic link, not a folder";
      return nullptr;
    }
    std::unique_ptr<OpenFolder> folder = PosixOpenFolder::Adopt(fd, path, reason);
    if (folder != nullptr && folder->Identity() != identity) {
      reason = kFolderReplaced;
      return nullptr;
    }
    return folder;
  }
};

}  // namespace

TreeDisk& SystemTreeDisk() {
  static PosixTreeDisk disk;
  return disk;
}

// What the POSIX seam's files share: descriptors, times, and the reading of
// a folder's records through a descriptor.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

// A FolderRecord's time (100 ns since 1601) of a POSIX time.
inline uint64_t FileTimeOf(int64_t seconds, uint32_t nanoseconds) {
  const int64_t since_1601 = seconds + kSecondsFrom1601To1970;
  if (since_1601 < 0) return 0;
  return static_cast<uint64_t>(since_1601) * 10000000ULL + nanoseconds / 100;
}

// A ContentStamp's time (nanoseconds since 1601) of a POSIX time.
inline uint64_t StampTimeOf(int64_t seconds, uint32_t nanoseconds) {
  return FileTimeOf(seconds, 0) * 100 + nanoseconds;
}

// The POSIX time of a FolderRecord's time.
inline struct timespec PosixTimeOf(uint64_t file_time) {
  const uint64_t since_1970 = file_time - static_cast<uint64_t>(kSecondsFrom1601To1970) * 10000000ULL;
  struct timespec time {};
  time.tv_sec = static_cast<time_t>(since_1970 / 10000000ULL);
  time.tv_nsec = static_cast<long>(since_1970 % 10000000ULL * 100);
  return time;
}

// A descriptor, closed when it goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Gives the descriptor up to the caller, who closes it.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Visits the records of the folder open at folder_fd that match the mask,
// as FolderSource::Enumerate does; takes the descriptor over and closes it.
// The descriptor must be the caller's own open of the folder: its position
// is read to the end.
bool EnumerateDescriptor(int folder_fd, const std::string& mask,
                         const std::function<void(const FolderRecord&)>& visit, std::string& failure);

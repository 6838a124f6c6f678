// The tree's watch on Linux: one inotify watch per folder, the events read
// in whole buffers and told by the watched folder's path.
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/folders_posix.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                    IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// A file made without a name (O_TMPFILE, as the whole-or-nothing writer
// makes its new files) is told by "#" and its number, a name the folder does
// not hold: its writes are no change of the folder's until it is named.
bool IsUnnamedFile(const std::string& folder, const std::string& name) {
  if (name.size() < 2 || name[0] != '#' || name.find_first_not_of("0123456789", 1) != std::string::npos)
    return false;
  struct stat status {};
  return lstat((folder + "/" + name).c_str(), &status) != 0 && errno == ENOENT;
}

class InotifyWatch : public TreeWatch {
 public:
  explicit InotifyWatch(int fd) : fd_(fd) {}

  WatchAdd Add(const std::string& folder, std::string& reason) override {
    const int wd = inotify_add_watch(fd_.get(), folder.c_str(), kWatchedEvents);
    if (wd < 0) {
      reason = std::strerror(errno);
      return errno == ENOSPC ? WatchAdd::kLimit : WatchAdd::kFailed;
    }
    // A folder met again by a new path (renamed) keeps its watch.
    auto known = paths_.find(wd);
    if (known != paths_.end()) watches_.erase(known->second);
    paths_[wd] = folder;
    watches_[folder] = wd;
    return WatchAdd::kAdded;
  }

  void Remove(const std::string& folder) override {
    auto found = watches_.find(folder);
    if (found == watches_.end()) return;
    inotify_rm_watch(fd_.get(), found->second);
    paths_.erase(found->second);
    watches_.erase(found);
  }

  WatchWait Wait(int timeout_ms, std::vector<WatchChange>& changes, std::string& reason) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int left = -1;
      if (timeout_ms >= 0) {
        const auto now = std::chrono::steady_clock::now();
        left = now >= end ? 0
                          : static_cast<int>(
                                std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1);
      }
      struct pollfd ready {};
      ready.fd = fd_.get();
      ready.events = POLLIN;
      const int polled = poll(&ready, 1, left);
      if (polled < 0 && errno == EINTR) continue;
      if (polled < 0) {
        reason = std::strerror(errno);
        return WatchWait::kFailed;
      }
      if (polled == 0) return WatchWait::kTimeout;
      return Read(changes, reason);
    }
  }

 private:
  WatchWait Read(std::vector<WatchChange>& changes, std::string& reason) {
    alignas(struct inotify_event) char buffer[65536];
    const ssize_t got = read(fd_.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) return WatchWait::kTimeout;
      reason = std::strerror(errno);
      return WatchWait::kFailed;
    }
    bool overflow = false;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
      if ((event->mask & IN_Q_OVERFLOW) != 0) overflow = true;
      auto path = paths_.find(event->wd);
      if (path == paths_.end()) continue;
      // The watch is gone with its folder; the folder above tells of it.
      if ((event->mask & IN_IGNORED) != 0) {
        watches_.erase(path->second);
        paths_.erase(path);
        continue;
      }
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      if (!IsUnnamedFile(path->second, name)) changes.push_back({path->second, name});
    }
    return overflow ? WatchWait::kOverflow : WatchWait::kChanges;
  }

  FileDescriptor fd_;
  std::map<int, std::string> paths_;
  std::map<std::string, int> watches_;
};

}  // namespace

std::unique_ptr<TreeWatch> MakeTreeWatch(const std::string& /*top*/, std::string& reason) {
  const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  return std::make_unique<InotifyWatch>(fd);
}

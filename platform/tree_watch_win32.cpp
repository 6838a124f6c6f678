// The tree's watch on Windows: ReadDirectoryChangesW on the top and all that
// is below it, its records told by the folder below the top that holds the
// name. Names arrive in UTF-16 and are handed on in the ANSI code page.
#include "platform/win32port.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/folders_win32.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kNotifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;

std::string AnsiOf(const WCHAR* text, size_t length) {
  const int size =
      WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &ansi[0], size, nullptr, nullptr);
  return ansi;
}

struct EventCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

class DirectoryChangesWatch : public TreeWatch {
 public:
  explicit DirectoryChangesWatch(const std::string& top) : top_(top), buffer_(16 * 1024) {}

  ~DirectoryChangesWatch() override {
    if (folder_ != nullptr && pending_) {
      CancelIo(folder_.get());
      DWORD ignored = 0;
      GetOverlappedResult(folder_.get(), &overlapped_, &ignored, TRUE);
    }
  }

  // The top is watched with everything below it; each folder below is so
  // already.
  WatchAdd Add(const std::string& folder, std::string& reason) override {
    if (folder_ != nullptr || folder != top_) return WatchAdd::kAdded;
    folder_ = Owned(CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (folder_ == nullptr || event_ == nullptr || !Start()) {
      reason = SystemReason(GetLastError());
      folder_.reset();
      return WatchAdd::kFailed;
    }
    return WatchAdd::kAdded;
  }

  void Remove(const std::string& /*folder*/) override {}

  WatchWait Wait(int timeout_ms, std::vector<WatchChange>& changes, std::string& reason) override {
    if (folder_ == nullptr) {
      reason = "the folder is not watched";
      return WatchWait::kFailed;
    }
    const DWORD waited =
        WaitForSingleObject(event_.get(), timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
    if (waited == WAIT_TIMEOUT) return WatchWait::kTimeout;
    DWORD got = 0;
    pending_ = false;
    if (waited != WAIT_OBJECT_0 || !GetOverlappedResult(folder_.get(), &overlapped_, &got, FALSE)) {
      const DWORD code = GetLastError();
      if (code == ERROR_NOTIFY_ENUM_DIR) return Restart(WatchWait::kOverflow, reason);
      reason = SystemReason(code);
      return WatchWait::kFailed;
    }
    // No record at all: more changed than the buffer held.
    if (got == 0) return Restart(WatchWait::kOverflow, reason);
    Collect(changes);
    return Restart(WatchWait::kChanges, reason);
  }

 private:
  bool Start() {
    ResetEvent(event_.get());
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    pending_ = ReadDirectoryChangesW(folder_.get(), buffer_.data(),
                                     static_cast<DWORD>(buffer_.size() * sizeof(DWORD)), TRUE, kNotifyFilter,
                                     nullptr, &overlapped_, nullptr) != 0;
    return pending_;
  }

  WatchWait Restart(WatchWait outcome, std::string& reason) {
    if (Start()) return outcome;
    reason = SystemReason(GetLastError());
    return WatchWait::kFailed;
  }

  void Collect(std::vector<WatchChange>& changes) {
    const char* at = reinterpret_cast<const char*>(buffer_.data());
    for (;;) {
      const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
      const std::string relative = AnsiOf(record->FileName, record->FileNameLength / sizeof(WCHAR));
      const size_t last = relative.rfind('\\');
      if (last == std::string::npos) {
        changes.push_back({top_, relative});
      } else {
        changes.push_back({JoinedPath(top_, relative.substr(0, last)), relative.substr(last + 1)});
      }
      if (record->NextEntryOffset == 0) break;
      at += record->NextEntryOffset;
    }
  }

  const std::string top_;
  OwnedHandle folder_;
  std::unique_ptr<void, EventCloser> event_;
  std::vector<DWORD> buffer_;  // DWORD-aligned, as the records must be
  OVERLAPPED overlapped_{};
  bool pending_ = false;
};

}  // namespace

std::unique_ptr<TreeWatch> MakeTreeWatch(const std::string& top, std::string& /*reason*/) {
  return std::make_unique<DirectoryChangesWatch>(top);
}

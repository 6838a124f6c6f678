// Files over Win32: whole-or-nothing writes by MoveFileExA, bounded reads,
// standard output, and the clean-up of an interrupted write.
#include "platform/win32port.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

// The temporary file being written, for the console control handler, which
// runs on a thread of its own.
char pending_path[MAX_PATH + 64];
volatile LONG has_pending = 0;

void SetPending(const std::string& path) {
  InterlockedExchange(&has_pending, 0);
  if (path.size() >= sizeof pending_path) return;
  std::memcpy(pending_path, path.c_str(), path.size() + 1);
  InterlockedExchange(&has_pending, 1);
}

void ClearPending() { InterlockedExchange(&has_pending, 0); }

BOOL WINAPI OnConsoleControl(DWORD event) {
  // The file was opened for sharing deletion: it goes as the process ends
  // and closes its handle.
  if (InterlockedCompareExchange(&has_pending, 0, 0) != 0) DeleteFileA(pending_path);
  ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
  return TRUE;
}

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

std::string FolderPart(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

}  // namespace

std::string SystemReason(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "error " + std::to_string(code);
  return reason;
}

std::string_view PlatformLineEnd() { return "\r\n"; }

bool AtomicFile::Fail() {
  if (!failed_) failure_ = SystemReason(GetLastError());
  failed_ = true;
  return false;
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  failed_ = false;
  failure_.clear();
  target_ = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      SetLastError(ERROR_ACCESS_DENIED);
      return Fail();
    }
    // An existing target must be writable, as a direct write would need; a
    // device (NUL, a console) is written where it is.
    HANDLE existing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing == INVALID_HANDLE_VALUE) return Fail();
    if (GetFileType(existing) != FILE_TYPE_DISK) {
      Start(reinterpret_cast<intptr_t>(existing));
      return true;
    }
    CloseHandle(existing);
  }
  // A stem of its own, not the target's name, so that a long target name
  // still has room for its temporary twin.
  const std::string stem = FolderPart(path) + "\\~kestrova-";
  DWORD seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 1103515245u + 12345u;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06lx.tmp", static_cast<unsigned long>((seed >> 8) & 0xFFFFFF));
    temporary_ = stem + suffix;
    SetPending(temporary_);
    HANDLE file = CreateFileA(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      Start(reinterpret_cast<intptr_t>(file));
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  const DWORD reason = GetLastError();
  ClearPending();
  temporary_.clear();
  SetLastError(reason);
  return Fail();
}

bool AtomicFile::WriteToHandle(std::string_view bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(HandleOf(handle_), data, chunk, &written, nullptr)) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (failed_ || handle_ == kNoHandle) {
    Discard();
    return false;
  }
  bool done = Flush();
  HANDLE file = HandleOf(handle_);
  handle_ = kNoHandle;
  if (!CloseHandle(file) && done) done = Fail();
  if (done && !temporary_.empty() &&
      !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    done = Fail();
  }
  if (!done) {
    Discard();
    return false;
  }
  ClearPending();
  temporary_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (handle_ != kNoHandle) CloseHandle(HandleOf(handle_));
  handle_ = kNoHandle;
  buffer_.clear();
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  temporary_.clear();
  ClearPending();
}

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  reason.clear();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileReadStatus::kNotRegularFile;
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    reason = SystemReason(GetLastError());
    return FileReadStatus::kCannotRead;
  }
  FileReadStatus status = FileReadStatus::kRead;
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    status = FileReadStatus::kNotRegularFile;
  } else if (!GetFileSizeEx(file, &size)) {
    reason = SystemReason(GetLastError());
    status = FileReadStatus::kCannotRead;
  } else if (static_cast<uint64_t>(size.QuadPart) > limit) {
    status = FileReadStatus::kTooLarge;
  } else {
    char buffer[65536];
    for (;;) {
      DWORD count = 0;
      if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) {
        reason = SystemReason(GetLastError());
        status = FileReadStatus::kCannotRead;
        break;
      }
      if (count == 0) break;
      if (bytes.size() + count > limit) {
        status = FileReadStatus::kTooLarge;
        break;
      }
      bytes.append(buffer, count);
    }
  }
  CloseHandle(file);
  if (status != FileReadStatus::kRead) bytes.clear();
  return status;
}

// Files over Win32: the steps of the whole-or-nothing writer, bounded reads,
// and the clean-up of an interrupted write.
#include "platform/win32port.h"

#include <cstdio>
#include <cstring>

#include "platform/file_steps.h"
#include "platform/platform.h"

namespace {

void RemoveFile(const char* path) { DeleteFileA(path); }

void PauseBriefly() { Sleep(1); }

// Runs on a thread of its own. The files were opened for sharing deletion:
// they go as the process ends and closes their handles.
BOOL WINAPI OnConsoleControl(DWORD event) {
  file_steps::RemovePendingFiles(RemoveFile, PauseBriefly);
  ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
  return TRUE;
}

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

intptr_t HandleValue(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? file_steps::kNoHandle : reinterpret_cast<intptr_t>(handle);
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

namespace file_steps {

const char kTemporaryPrefix[] = "~kestrova-";

unsigned NameSeed() { return GetCurrentProcessId() * 2654435761u ^ GetTickCount(); }

Target InspectTarget(const std::string& path) {
  Target target;
  target.path = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return target;
  // Windows refuses to rename over a read-only file; Wine keeps the mark as
  // missing write permission, which a rename ignores. Asked here, the mark
  // protects the file the same way everywhere.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    target.kind = TargetKind::kRefused;
    return target;
  }
  // An existing target must be writable, as a direct write would need; a
  // device (NUL, a console) is written where it is.
  HANDLE existing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    target.kind = TargetKind::kRefused;
    return target;
  }
  target.kind = GetFileType(existing) == FILE_TYPE_DISK ? TargetKind::kRegularFile : TargetKind::kDevice;
  CloseHandle(existing);
  return target;
}

intptr_t OpenInPlace(const std::string& path) {
  // Opened rather than created where it exists, so that a device is taken
  // as it is and a file keeps its attributes.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK && !SetEndOfFile(file)) {
    const DWORD reason = GetLastError();
    CloseHandle(file);
    SetLastError(reason);
    return kNoHandle;
  }
  return HandleValue(file);
}

intptr_t CreateExclusive(const std::string& path, uint32_t) {
  return HandleValue(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Windows cannot name a file later; every new file has its name from the start.
intptr_t CreateUnnamed(const std::string&, uint32_t) { return kNoHandle; }

bool NameUnnamed(intptr_t, const std::string&) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

bool NameTaken() { return GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS; }

// A new file takes the folder's permissions, as a file written in place would.
void KeepOwnerAndMode(intptr_t, const Target&, std::vector<std::string>&) {}

bool WriteAll(intptr_t handle, std::string_view bytes) {
  const char* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(HandleOf(handle), data, chunk, &written, nullptr)) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool Close(intptr_t handle) { return CloseHandle(HandleOf(handle)) != 0; }

bool Rename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const std::string& path) { DeleteFileA(path.c_str()); }

std::string LastReason() { return SystemReason(GetLastError()); }

}  // namespace file_steps

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

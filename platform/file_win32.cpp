// Files over Win32: the steps of the whole-or-nothing writer, bounded reads,
// and the clean-up of an interrupted write.
#include "platform/win32port.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/file_steps.h"
#include "platform/folders_win32.h"
#include "platform/platform.h"

namespace {

void RemoveFile(const char* path) { DeleteFileA(path); }

void PauseBriefly() { Sleep(1); }

// Runs on a thread of its own. The files were opened for sharing deletion:
// they go as the process ends and closes their handles.
void EndByEvent(DWORD event) {
  file_steps::RemovePendingFiles(RemoveFile, PauseBriefly);
  ExitProcess(event == CTRL_C_EVENT ? 130 : 143);
}

constexpr DWORD kNoEvent = 0xFFFFFFFF;
std::atomic<bool> deferring{false};
std::atomic<DWORD> deferred_event{kNoEvent};

BOOL WINAPI OnConsoleControl(DWORD event) {
  // The system ends the process once the handler of any other event returns.
  const bool keys = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  DWORD none = kNoEvent;
  if (keys && deferring.load() && deferred_event.compare_exchange_strong(none, event)) return TRUE;
  EndByEvent(event);
  return TRUE;
}

constexpr char kLinkHasTheName[] = "a symbolic link has that name";

HANDLE HandleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

intptr_t HandleValue(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? file_steps::kNoHandle : reinterpret_cast<intptr_t>(handle);
}

// The name itself, a link not followed, opened with the access and flags
// given; every sharing allowed, so that it is only looked at.
OwnedHandle OpenUnfollowed(const std::string& path, DWORD access, DWORD flags) {
  return Owned(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Closes the file and leaves code as the step's error.
intptr_t Failed(OwnedHandle& file, DWORD code) {
  file.reset();
  SetLastError(code);
  return file_steps::kNoHandle;
}

// A file that is neither a link nor a folder.
bool IsPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileInformationByHandle(file, &information) &&
         (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
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

// The steps reach every name by its path: a folder held open is held
// without delete sharing, so that it stays where its path says, and is
// checked to be there before a name in it is written. Its handle marks a
// name that no step follows where it is a link.
Target InspectTarget(const std::string& path) {
  Target target;
  target.at = AtPath(path);
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
  OwnedHandle existing = Owned(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (existing == nullptr) {
    target.kind = TargetKind::kRefused;
    return target;
  }
  target.kind =
      GetFileType(existing.get()) == FILE_TYPE_DISK ? TargetKind::kRegularFile : TargetKind::kDevice;
  return target;
}

Target InspectInFolder(const Location& at) {
  Target target;
  target.at = at;
  const std::string folder_path = at.path.substr(0, at.path.size() - at.name.size());
  if (!StillAtPath(HandleOf(at.folder), folder_path)) {
    target.kind = TargetKind::kRefused;
    target.refusal = kFolderReplaced;
    return target;
  }
  if (IsReparsePoint(at.path)) {
    target.kind = TargetKind::kRefused;
    target.refusal = kLinkHasTheName;
    return target;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  OwnedHandle existing = OpenUnfollowed(at.path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
  if (existing == nullptr) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) target.kind = TargetKind::kRefused;
  } else if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
    target.kind = TargetKind::kRefused;
    target.refusal = "not a regular file";
  } else if (!GetFileInformationByHandle(existing.get(), &information)) {
    target.kind = TargetKind::kRefused;
  } else if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    target.kind = TargetKind::kRefused;
    target.refusal = kLinkHasTheName;
  } else if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
    // Renaming would ignore a read-only file's attribute; a direct write
    // would not, whoever runs it.
    SetLastError(ERROR_ACCESS_DENIED);
    target.kind = TargetKind::kRefused;
  } else if (OpenUnfollowed(at.path, GENERIC_WRITE, 0) == nullptr) {
    target.kind = TargetKind::kRefused;
  } else {
    target.kind = TargetKind::kRegularFile;
  }
  return target;
}

intptr_t OpenInPlace(const Location& at) {
  // Opened rather than created where it exists, so that a device is taken
  // as it is and a file keeps its attributes. A name of a folder held open
  // is never followed where it is a link, nor written where anything but a
  // disk file took its place since it was looked at.
  const bool held = at.folder != kNoHandle;
  if (held && IsReparsePoint(at.path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return kNoHandle;
  }
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (held ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  OwnedHandle file = Owned(CreateFileA(at.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, flags, nullptr));
  if (file == nullptr && GetLastError() == ERROR_FILE_NOT_FOUND) {
    file = Owned(CreateFileA(at.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             CREATE_NEW, flags, nullptr));
  }
  if (file == nullptr) return kNoHandle;
  const bool disk = GetFileType(file.get()) == FILE_TYPE_DISK;
  if (held && (!disk || !IsPlainFile(file.get()))) return Failed(file, ERROR_ACCESS_DENIED);
  if (disk && !SetEndOfFile(file.get())) return Failed(file, GetLastError());
  return HandleValue(file.release());
}

// Without read sharing: while its writer lives, nobody opens the file to
// read it, and RemoveLeftover tells it from a killed writer's by that. Never
// through a link that has the name: that would make the file it names.
intptr_t CreateExclusive(const Location& at, uint32_t) {
  return HandleValue(CreateFileA(at.path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Windows cannot name a file later; every new file has its name from the start.
intptr_t CreateUnnamed(const Location&, uint32_t) { return kNoHandle; }

bool NameUnnamed(intptr_t, const Location&) {
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

bool Rename(const Location& from, const Location& to) {
  return MoveFileExA(from.path.c_str(), to.path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const Location& at) { DeleteFileA(at.path.c_str()); }

std::string LastReason() { return SystemReason(GetLastError()); }

}  // namespace file_steps

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

InterruptsDeferred::InterruptsDeferred() { deferring.store(true); }

InterruptsDeferred::~InterruptsDeferred() {
  deferring.store(false);
  const DWORD event = deferred_event.exchange(kNoEvent);
  if (event != kNoEvent) EndByEvent(event);
}

FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes, std::string& reason) {
  bytes.clear();
  reason.clear();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileReadStatus::kNotRegularFile;
  }
  OwnedHandle file = Owned(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == nullptr) {
    reason = SystemReason(GetLastError());
    return FileReadStatus::kCannotRead;
  }
  FileReadStatus status = FileReadStatus::kRead;
  LARGE_INTEGER size{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    status = FileReadStatus::kNotRegularFile;
  } else if (!GetFileSizeEx(file.get(), &size)) {
    reason = SystemReason(GetLastError());
    status = FileReadStatus::kCannotRead;
  } else if (static_cast<uint64_t>(size.QuadPart) > limit) {
    status = FileReadStatus::kTooLarge;
  } else {
    // Room for the whole file at once: grown step by step, a large file
    // would be held twice while its string moves.
    bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
      DWORD count = 0;
      if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) {
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
  if (status != FileReadStatus::kRead) bytes.clear();
  return status;
}

// The walk's disk over Win32: every folder held by a handle that shares
// neither its deletion nor its renaming, so that the path it was opened by
// leads to it for as long as it is held; every name in it reached by that
// path, never through a reparse point it did not ask to follow.
#include "platform/win32port.h"

#include <memory>
#include <string>

#include "platform/folders_win32.h"
#include "platform/path_tree_disk.h"
#include "platform/platform.h"

namespace {

constexpr char kLinkNotFolder[] = "a symbolic link, not a folder";

// Every sharing allowed: the name is only looked at.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsLinkAttribute(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The name itself, a reparse point not followed, opened to be asked about;
// folders too.
OwnedHandle OpenToAsk(const std::string& path) {
  return Owned(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The identity of the folder a record names, its link followed; none where
// it cannot be opened to ask.
FileIdentity FolderIdentity(const std::string& path) {
  OwnedHandle folder = Owned(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (folder == nullptr || !GetFileInformationByHandle(folder.get(), &information)) return FileIdentity();
  return IdentityOf(information);
}

// GetFileInformationByHandleEx's basic information (its class 0), as
// Windows Vista and later give it; the headers declare it only for them.
struct BasicInformation {
  LARGE_INTEGER CreationTime;
  LARGE_INTEGER LastAccessTime;
  LARGE_INTEGER LastWriteTime;
  LARGE_INTEGER ChangeTime;
  DWORD FileAttributes;
};
constexpr int kBasicInformationClass = 0;

// The attribute change time of the open file, where the system tells it
// (Windows Vista and later); 0 elsewhere.
uint64_t ChangeTimeOf(HANDLE file) {
  using InformationCall = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto call = reinterpret_cast<InformationCall>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx")));
  BasicInformation basic{};
  if (call == nullptr || !call(file, kBasicInformationClass, &basic, sizeof basic)) return 0;
  return static_cast<uint64_t>(basic.ChangeTime.QuadPart);
}

class HandleReader : public ContentReader {
 public:
  explicit HandleReader(OwnedHandle file) : file_(std::move(file)) {}
  size_t Read(char* buffer, size_t size) override {
    DWORD count = 0;
    const DWORD asked = size > 1u << 30 ? 1u << 30 : static_cast<DWORD>(size);
    if (!::ReadFile(file_.get(), buffer, asked, &count, nullptr)) {
      failure_ = SystemReason(GetLastError());
      return 0;
    }
    return count;
  }
  const std::string& Failure() const override { return failure_; }
  bool Stamp(ContentStamp& stamp) override {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file_.get(), &information)) {
      failure_ = SystemReason(GetLastError());
      return false;
    }
    stamp.Identity = IdentityOf(information);
    stamp.Size = (uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    stamp.WriteTime = FileTimeOf(information.ftLastWriteTime) * 100;
    stamp.ChangeTime = ChangeTimeOf(file_.get()) * 100;
    return true;
  }
  bool SkipTo(uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN)) return true;
    failure_ = SystemReason(GetLastError());
    return false;
  }

 private:
  OwnedHandle file_;
  std::string failure_;
};

class Win32OpenFolder : public OpenFolder {
 public:
  Win32OpenFolder(OwnedHandle handle, std::string path, const FileIdentity& identity)
      : handle_(std::move(handle)), path_(std::move(path)), identity_(identity) {}

  // The folder at the path, held; through a reparse point at its last part
  // only with follow. Null with the reason where it is no folder.
  static std::unique_ptr<OpenFolder> Open(const std::string& path, bool follow, std::string& reason) {
    if (!follow && IsReparsePoint(path)) {
      reason = kLinkNotFolder;
      return nullptr;
    }
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    // Reading its entries makes the handle one that sharing applies to:
    // one of attributes alone would not keep the folder from being renamed.
    // Its time is set back after a page is written; a folder that refuses
    // that is still listed.
    OwnedHandle handle;
    for (DWORD access : {DWORD{GENERIC_READ | FILE_WRITE_ATTRIBUTES}, DWORD{GENERIC_READ}}) {
      handle = Owned(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, flags, nullptr));
      if (handle != nullptr || GetLastError() != ERROR_ACCESS_DENIED) break;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (handle == nullptr || !GetFileInformationByHandle(handle.get(), &information)) {
      reason = SystemReason(GetLastError());
      return nullptr;
    }
    if (!follow && IsLinkAttribute(information.dwFileAttributes)) {
      reason = kLinkNotFolder;
      return nullptr;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      reason = SystemReason(ERROR_DIRECTORY);
      return nullptr;
    }
    return std::make_unique<Win32OpenFolder>(std::move(handle), path, IdentityOf(information));
  }

  const std::string& Path() const override { return path_; }
  FileIdentity Identity() const override { return identity_; }

  bool Enumerate(const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    // The records are found by the path: they are the held folder's only
    // while the path leads to it, before the search and after.
    const auto with_identity = [this, &visit](FolderRecord& record) {
      if (record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        record.Identity = FolderIdentity(JoinedPath(path_, record.cFileName));
      }
      visit(record);
    };
    if (StillAtPath(handle_.get(), path_)) {
      if (!EnumeratePattern(JoinedPath(path_, mask), with_identity, failure)) return false;
      if (StillAtPath(handle_.get(), path_)) return true;
    }
    failure = kFolderReplaced;
    return false;
  }

  bool WriteTime(uint64_t& time) override {
    FILETIME written;
    if (!GetFileTime(handle_.get(), nullptr, nullptr, &written)) return false;
    time = FileTimeOf(written);
    return true;
  }

  bool SetWriteTime(uint64_t time) override {
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(time);
    written.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return SetFileTime(handle_.get(), nullptr, nullptr, &written) != 0;
  }

  NodeKind Look(const std::string& name) override {
    const DWORD attributes = GetFileAttributesA(At(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return NodeKind::kMissing;
    if (IsLinkAttribute(attributes)) return NodeKind::kLink;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NodeKind::kFolder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? NodeKind::kOther : NodeKind::kFile;
  }

  std::unique_ptr<ContentReader> ReadFile(const std::string& name, std::string& reason) override {
    if (IsReparsePoint(At(name))) {
      reason = "a symbolic link";
      return nullptr;
    }
    OwnedHandle file = Owned(CreateFileA(At(name).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file == nullptr) {
      reason = SystemReason(GetLastError());
      return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      reason = kNotRegularFileReason;
      return nullptr;
    }
    return std::make_unique<HandleReader>(std::move(file));
  }

  std::unique_ptr<NewFile> WriteFile(const std::string& name, WriteMethod method,
                                     std::string& reason) override {
    // A new file has its name from the start here, which changes the
    // folder's time before the page is in place; that time is set back at
    // once, so that only the page's commit (or another program) changes it.
    uint64_t before = 0;
    const bool timed = WriteTime(before);
    auto file = std::make_unique<AtomicFile>();
    const bool opened = file->OpenInFolder(reinterpret_cast<intptr_t>(handle_.get()), path_, name, method);
    if (timed) SetWriteTime(before);
    if (opened) return file;
    reason = file->FailureReason();
    return nullptr;
  }

  std::unique_ptr<OpenFolder> OpenChild(const std::string& name, bool follow, std::string& reason) override {
    return Open(At(name), follow, reason);
  }

  bool MakeFolder(const std::string& name, FileIdentity& identity, std::string& reason) override {
    const std::string path = At(name);
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      reason = SystemReason(GetLastError());
      return false;
    }
    OwnedHandle folder = OpenToAsk(path);
    BY_HANDLE_FILE_INFORMATION information{};
    if (folder == nullptr || !GetFileInformationByHandle(folder.get(), &information)) {
      reason = SystemReason(GetLastError());
      return false;
    }
    if (IsReparsePoint(path) || IsLinkAttribute(information.dwFileAttributes)) {
      reason = kLinkNotFolder;
      return false;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      reason = SystemReason(ERROR_DIRECTORY);
      return false;
    }
    identity = IdentityOf(information);
    return true;
  }

  bool MayList(const std::string& name, std::string& reason) override {
    return InspectFolder(At(name), true, reason) == FolderStatus::kFolder;
  }

  bool Identify(const std::string& name, FileIdentity& identity) override {
    OwnedHandle file = OpenToAsk(At(name));
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == nullptr || !GetFileInformationByHandle(file.get(), &information)) return false;
    identity = IdentityOf(information);
    return true;
  }

  bool RemoveLeftover(const std::string& name) override {
    if (!IsTemporaryFileName(name)) return false;
    const std::string path = At(name);
    if (IsReparsePoint(path)) return false;
    // A running writer's file shares no reading, so this open fails while
    // the writer holds it; a killed writer's handle went with its process.
    // Deletion stays shared, so that the file may be deleted while held.
    OwnedHandle file = Owned(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == nullptr || GetFileType(file.get()) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.get(), &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      return false;
    }
    // Deleted as the handle closes; meanwhile no writer can open it.
    return DeleteFileA(path.c_str()) != 0;
  }

 private:
  std::string At(const std::string& name) const { return JoinedPath(path_, name); }

  OwnedHandle handle_;
  std::string path_;
  FileIdentity identity_;
};

class Win32TreeDisk : public PathTreeDisk {
 public:
  std::unique_ptr<OpenFolder> Open(const std::string& path, std::string& reason) override {
    return Win32OpenFolder::Open(path, true, reason);
  }

  std::unique_ptr<OpenFolder> Reopen(const std::string& path, const FileIdentity& identity, bool follow,
                                     std::string& reason) override {
    std::unique_ptr<OpenFolder> folder = Win32OpenFolder::Open(path, follow, reason);
    if (folder != nullptr && folder->Identity() != identity) {
      reason = kFolderReplaced;
      return nullptr;
    }
    return folder;
  }
};

}  // namespace

TreeDisk& SystemTreeDisk() {
  static Win32TreeDisk disk;
  return disk;
}

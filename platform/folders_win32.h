// What the Win32 seam's files share: owned handles, times, identities, and
// the reading of a folder's records by a search pattern.
#pragma once

#include "platform/win32port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/path_tree_disk.h"  // kFolderReplaced
#include "platform/platform.h"

// A FolderRecord's time of a FILETIME.
inline uint64_t FileTimeOf(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct HandleCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
// A handle of CreateFileA, closed when it goes; empty where the open failed.
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

inline OwnedHandle Owned(HANDLE handle) {
  return OwnedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

inline FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information) {
  FileIdentity identity;
  identity.Device = information.dwVolumeSerialNumber;
  identity.Index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return identity;
}

// True when the name itself is a reparse point (a symbolic link, a
// junction). Its attributes tell it on every system; an open asked not to
// follow one may follow it anyway where the system cannot open links
// themselves (Wine), so a step that must not go through a link asks both
// its name, before it opens, and its handle, after.
inline bool IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// True when the path (links followed) still leads to the folder held by
// handle. Windows keeps a folder held without delete sharing where it is;
// Wine lets it be moved, and a folder put in its place would take what
// goes to the path.
inline bool StillAtPath(HANDLE folder, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION held{}, found{};
  OwnedHandle at = Owned(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return at != nullptr && GetFileInformationByHandle(folder, &held) &&
         GetFileInformationByHandle(at.get(), &found) && IdentityOf(held) == IdentityOf(found);
}

// The folder and the name joined by the separator, where the folder does
// not already end in one (or in a drive's colon).
inline std::string JoinedPath(const std::string& folder, const std::string& name) {
  const char last = folder.empty() ? '\0' : folder.back();
  if (folder.empty() || last == '\\' || last == '/' || last == ':') return folder + name;
  return folder + "\\" + name;
}

// Visits the records that match the search pattern (a folder, the
// separator, a wildcard mask), as FolderSource::Enumerate does; visit may
// add to a record before it hands it on.
bool EnumeratePattern(const std::string& pattern, const std::function<void(FolderRecord&)>& visit,
                      std::string& failure);

// The steps of writing a file that differ by platform, a system call or two
// each: atomic_file.cpp composes them into the one whole-or-nothing writer,
// file_posix.cpp and file_win32.cpp implement them. A step that fails leaves
// the system's error (errno, or the thread's last error) for LastReason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace file_steps {

constexpr intptr_t kNoHandle = -1;

Location AtPath(const std::string& path);
// The name in a folder held open (its platform handle) at folder_path.
Location InFolder(intptr_t folder, const std::string& folder_path, const std::string& name);
// Another name in the folder of the location.
Location Beside(const Location& at, const std::string& name);

enum class TargetKind {
  kMissing,      // nothing of that name yet
  kRegularFile,  // a file that may be written: it is replaced
  kDevice,       // a device or a pipe: written where it is
  kRefused,      // a folder, or a file that may not be written; the error is set
};

// What a write is about to replace.
struct Target {
  TargetKind kind = TargetKind::kMissing;
  Location at;                    // where the bytes go: a path's link resolved to its own target
  uint32_t mode = 0666;           // the permission bits a new file is made with (POSIX)
  uint32_t owner = 0, group = 0;  // of the existing file (POSIX)
  std::string refusal;            // why it is refused, where the system's error would not say
};

// The target at a path: a link is followed to the file it names, a device
// or a pipe is written where it is.
Target InspectTarget(const std::string& path);
// The target at a name of a folder held open: only a missing name or a
// regular file is a target; a link, a folder, a pipe or a device is refused.
Target InspectInFolder(const Location& at);

// Opens the location to be written from its start: a missing file is
// created, a regular file emptied, a device opened as it is.
intptr_t OpenInPlace(const Location& at);

// Creates a new file at the location; fails, with NameTaken true, when the
// name exists. The mode passes the umask, as any new file's does. The file is
// held so that RemoveLeftover can tell it from a killed writer's.
intptr_t CreateExclusive(const Location& at, uint32_t mode);

// A new file in the folder of the location that has no name yet, where the
// system and the file system can make one and name it later; kNoHandle
// otherwise. Held as CreateExclusive's files are.
intptr_t CreateUnnamed(const Location& beside, uint32_t mode);

// Gives a file of CreateUnnamed the location; fails, with NameTaken true,
// when the name exists.
bool NameUnnamed(intptr_t handle, const Location& at);

// True when the step that just failed found its name taken.
bool NameTaken();

// Gives the new file the owner, group and permission bits of the existing
// target, where the process may set them; set-user-ID, set-group-ID and
// sticky bits are never given. Adds a line to warnings for what the new
// file could not keep.
void KeepOwnerAndMode(intptr_t handle, const Target& target, std::vector<std::string>& warnings);

bool WriteAll(intptr_t handle, std::string_view bytes);
bool Close(intptr_t handle);
// Puts the file at from in the place of the file at to, which may exist.
bool Rename(const Location& from, const Location& to);
void Remove(const Location& at);

// The system's text for the error of the step that failed last.
std::string LastReason();

// The temporary file that the calling thread writes, which the interrupt
// handler removes; each thread has one at a time. Neither touches the
// system's error.
void SetPending(const std::string& path);
void ClearPending();
// Calls remove with the path of every temporary file being written, from
// an interrupt handler: it neither allocates nor locks. From then on no
// thread makes a new one; a file being made is waited for, with pause
// between looks.
void RemovePendingFiles(void (*remove)(const char* path), void (*pause)());

// How the names of temporary files begin here.
extern const char kTemporaryPrefix[];
// A start for the sequence of temporary names, different for each process.
unsigned NameSeed();

}  // namespace file_steps

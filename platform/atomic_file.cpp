// The whole-or-nothing writer, written once over the steps that
// file_posix.cpp and file_win32.cpp implement, and standard output.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/file_steps.h"
#include "platform/platform.h"

namespace {

using file_steps::kNoHandle;
using file_steps::TargetKind;

constexpr int kNameAttempts = 100;
constexpr char kTemporarySuffix[] = ".tmp";
constexpr size_t kTemporaryDigits = 6;

// The folder that holds the path, as a user reads it: "/" for a file of the
// root, "." for a name without a folder.
std::string FolderPart(const std::string& path) {
  const size_t separator = path.find_last_of(FolderSeparator() == '\\' ? "\\/" : "/");
  if (separator == std::string::npos) return ".";
  return separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
}

// A name alone, without a folder, stays itself; a drive ("C:") takes the
// name without a separator, as the system reads it.
std::string JoinName(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  const bool ends_with_separator =
      last == '/' || last == FolderSeparator() || (FolderSeparator() == '\\' && last == ':');
  return ends_with_separator ? folder + name : folder + FolderSeparator() + name;
}

// Once an interrupt handler has begun removing the temporary files, no
// thread makes a new one: the handler waits for the files being made, and a
// thread that would make one after it waits for the program to end.
std::atomic<bool> ending{false};
std::atomic<int> being_made{0};
thread_local bool making_here = false;

// How long a handler waits for files being made: a file system that hangs
// must not keep the program from ending.
constexpr int kMostPauses = 2000;

// Why a make failed, told as it failed: the thread-local bookkeeping after
// it may reset the system's error (reading thread-local storage clears the
// thread's last error on Windows).
struct MakeFailure {
  bool taken = false;
  std::string reason;
};

// Announces path to the interrupt handler and makes the file under it.
bool MakeAnnounced(const std::string& path, const std::function<bool(const std::string&)>& make,
                   MakeFailure& failure) {
  making_here = true;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  being_made.fetch_add(1);
  if (ending.load()) {
    being_made.fetch_sub(1);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  file_steps::SetPending(path);
  const bool made = make(path);
  if (!made) failure = MakeFailure{file_steps::NameTaken(), file_steps::LastReason()};
  being_made.fetch_sub(1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  making_here = false;
  return made;
}

// Tries fresh temporary names beside the target until make succeeds with
// one, each announced to the interrupt handler first. Returns the location
// made; an empty one, with make's reason, when a try failed for a reason
// other than a taken name or every name tried was taken. A stem of its own,
// not the target's name, leaves room for the temporary twin of a target
// whose name is near the system's length limit.
file_steps::Location MakeWithFreshName(const file_steps::Location& target,
                                       const std::function<bool(const file_steps::Location&)>& make,
                                       std::string& reason) {
  MakeFailure failure;
  unsigned seed = file_steps::NameSeed();
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    seed = seed * 1103515245u + 12345u;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06x", (seed >> 8) & 0xFFFFFFu);
    const file_steps::Location at =
        file_steps::Beside(target, file_steps::kTemporaryPrefix + (digits + std::string(kTemporarySuffix)));
    if (MakeAnnounced(
            at.path, [&make, &at](const std::string&) { return make(at); }, failure))
      return at;
    if (!failure.taken) break;
  }
  file_steps::ClearPending();
  reason = failure.reason;
  return file_steps::Location();
}

// The temporary files being written, one slot for each writing thread, in
// memory that an interrupt handler may read: a fixed table of lock-free
// flags and buffers.
constexpr size_t kPendingSlots = 64;
constexpr size_t kLongestPendingPath = 4160;

enum PendingState : int { kFree, kClaimed, kWriting, kSet };

struct PendingSlot {
  std::atomic<int> state{kFree};
  char path[kLongestPendingPath];
};

PendingSlot pending_slots[kPendingSlots];

// The calling thread's slot while it has a file pending. A plain pointer:
// a thread-local object with a destructor crashes threads that the C++
// library did not start, on MinGW.
thread_local PendingSlot* thread_slot = nullptr;

bool IsLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

namespace file_steps {

Location AtPath(const std::string& path) {
  Location at;
  at.name = at.path = path;
  return at;
}

Location InFolder(intptr_t folder, const std::string& folder_path, const std::string& name) {
  Location at;
  at.folder = folder;
  at.name = name;
  at.path = JoinName(folder_path, name);
  return at;
}

Location Beside(const Location& at, const std::string& name) {
  Location beside;
  beside.folder = at.folder;
  beside.path = JoinName(FolderPart(at.path), name);
  beside.name = at.folder == kNoHandle ? beside.path : name;
  return beside;
}

void SetPending(const std::string& path) {
  for (size_t i = 0; thread_slot == nullptr && i < kPendingSlots; ++i) {
    int expected = kFree;
    if (pending_slots[i].state.compare_exchange_strong(expected, kClaimed)) thread_slot = &pending_slots[i];
  }
  // Without a slot, or for a path past the buffer, an interrupt leaves the
  // file; the write itself goes on as usual.
  if (thread_slot == nullptr || path.size() >= kLongestPendingPath) return;
  thread_slot->state.store(kWriting);
  std::memcpy(thread_slot->path, path.c_str(), path.size() + 1);
  thread_slot->state.store(kSet);
}

void ClearPending() {
  if (thread_slot == nullptr) return;
  thread_slot->state.store(kFree);
  thread_slot = nullptr;
}

void RemovePendingFiles(void (*remove)(const char* path), void (*pause)()) {
  ending.store(true);
  // The handler may have stopped this very thread in the middle of a make.
  const int made_here = making_here ? 1 : 0;
  for (int pauses = 0; being_made.load() > made_here && pauses < kMostPauses; ++pauses) pause();
  for (PendingSlot& slot : pending_slots) {
    if (slot.state.load() == kSet) remove(slot.path);
  }
}

}  // namespace file_steps

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Start(intptr_t handle) {
  handle_ = handle;
  buffer_.reserve(kBufferSize);
}

bool AtomicFile::Fail() { return Fail(file_steps::LastReason()); }

bool AtomicFile::Fail(const std::string& reason) {
  if (!failed_) failure_ = reason;
  failed_ = true;
  return false;
}

bool AtomicFile::Open(const std::string& path, WriteMethod method) {
  return Begin(file_steps::InspectTarget(path), method);
}

bool AtomicFile::OpenInFolder(intptr_t folder, const std::string& folder_path, const std::string& name,
                              WriteMethod method) {
  return Begin(file_steps::InspectInFolder(file_steps::InFolder(folder, folder_path, name)), method);
}

bool AtomicFile::Begin(const file_steps::Target& target, WriteMethod method) {
  // Told before Discard, whose bookkeeping may reset the system's error.
  const bool refused = target.kind == TargetKind::kRefused;
  const std::string refusal = refused && target.refusal.empty() ? file_steps::LastReason() : target.refusal;
  Discard();
  failed_ = false;
  failure_.clear();
  notes_ = WriteNotes();
  target_ = target.at;
  if (refused) return Fail(refusal);
  if (target.kind == TargetKind::kDevice || method == WriteMethod::kInPlace) {
    const intptr_t handle = file_steps::OpenInPlace(target_);
    if (handle == kNoHandle) return Fail();
    Start(handle);
    return true;
  }
  intptr_t handle = file_steps::CreateUnnamed(target_, target.mode);
  unnamed_ = handle != kNoHandle;
  std::string reason;
  if (!unnamed_) {
    temporary_ = MakeWithFreshName(
        target_,
        [&handle, &target](const file_steps::Location& at) {
          handle = file_steps::CreateExclusive(at, target.mode);
          return handle != kNoHandle;
        },
        reason);
  }
  if (handle == kNoHandle) {
    Fail(reason);
    if (target.kind == TargetKind::kRegularFile) notes_.RefusedFolder = FolderPart(target_.path);
    return false;
  }
  if (target.kind == TargetKind::kRegularFile) file_steps::KeepOwnerAndMode(handle, target, notes_.Warnings);
  Start(handle);
  return true;
}

bool AtomicFile::Flush() {
  if (failed_ || handle_ == kNoHandle) return false;
  const bool written = file_steps::WriteAll(handle_, buffer_);
  buffer_.clear();
  return written || Fail();
}

bool AtomicFile::Write(std::string_view bytes) {
  if (failed_ || handle_ == kNoHandle) return false;
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (!Flush()) return false;
    if (bytes.size() >= kBufferSize) return file_steps::WriteAll(handle_, bytes) || Fail();
  }
  buffer_.append(bytes.data(), bytes.size());
  return true;
}

bool AtomicFile::Commit() {
  if (failed_ || handle_ == kNoHandle) {
    Discard();
    return false;
  }
  bool done = Flush();
  if (done && unnamed_) {
    const intptr_t handle = handle_;
    std::string reason;
    temporary_ = MakeWithFreshName(
        target_, [handle](const file_steps::Location& at) { return file_steps::NameUnnamed(handle, at); },
        reason);
    unnamed_ = false;
    if (temporary_.path.empty()) done = Fail(reason);
  }
  const intptr_t handle = handle_;
  handle_ = kNoHandle;
  // A network file system may report a failed write only on close.
  if (!file_steps::Close(handle) && done) done = Fail();
  if (done && !temporary_.path.empty() && !file_steps::Rename(temporary_, target_)) done = Fail();
  if (!done) {
    Discard();
    return false;
  }
  file_steps::ClearPending();
  temporary_ = file_steps::Location();
  return true;
}

void AtomicFile::Discard() {
  // What the new file could not keep matters only once it is in place.
  if (handle_ != kNoHandle || !temporary_.path.empty()) notes_.Warnings.clear();
  if (handle_ != kNoHandle) file_steps::Close(handle_);
  handle_ = kNoHandle;
  unnamed_ = false;
  buffer_.clear();
  if (!temporary_.path.empty()) file_steps::Remove(temporary_);
  temporary_ = file_steps::Location();
  file_steps::ClearPending();
}

bool IsTemporaryFileName(std::string_view name) {
  constexpr std::string_view kStem = "kestrova-";
  constexpr std::string_view kSuffix = kTemporarySuffix;
  if (name.size() != 1 + kStem.size() + kTemporaryDigits + kSuffix.size()) return false;
  if ((name[0] != '.' && name[0] != '~') || name.substr(1, kStem.size()) != kStem) return false;
  const std::string_view digits = name.substr(1 + kStem.size(), kTemporaryDigits);
  for (char c : digits) {
    if (!IsLowerHexDigit(c)) return false;
  }
  return name.substr(name.size() - kSuffix.size()) == kSuffix;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string& failure) {
  AtomicFile file;
  const bool written = file.Open(path) && file.Write(bytes) && file.Commit();
  failure = written ? std::string() : file.FailureReason();
  return written;
}

bool StandardOutputSink::Write(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

bool StandardOutputSink::Flush() { return std::fflush(stdout) == 0 && !std::ferror(stdout); }

// The parts of the whole-or-nothing writer that every platform shares: the
// buffering and the one-call replacement. Opening, committing and discarding
// live in file_posix.cpp and file_win32.cpp.
#include <cstdio>

#include "platform/platform.h"

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Start(intptr_t handle) {
  handle_ = handle;
  buffer_.reserve(kBufferSize);
}

bool AtomicFile::Flush() {
  if (failed_ || handle_ == kNoHandle) return false;
  const bool written = WriteToHandle(buffer_);
  buffer_.clear();
  return written || Fail();
}

bool AtomicFile::Write(std::string_view bytes) {
  if (failed_ || handle_ == kNoHandle) return false;
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (!Flush()) return false;
    if (bytes.size() >= kBufferSize) return WriteToHandle(bytes) || Fail();
  }
  buffer_.append(bytes.data(), bytes.size());
  return true;
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

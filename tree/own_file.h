// A file of this program's in a folder that others may write to (a page, the
// search file): what stands at its name, and whether it may be written over.
// Only a regular file that starts with this program's mark may be; nothing
// is ever written through a link or into anything but a regular file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

enum class FileStanding {
  kMissing,     // nothing has the name
  kOwn,         // a regular file with the mark
  kLink,        // a symbolic link
  kNotRegular,  // a folder, a pipe, a device
  kProtected,   // one of the files never written over
  kUnreadable,  // a file that cannot be read, so not known to be this program's
  kForeign,     // a file without the mark
};

struct TargetLook {
  FileStanding Standing = FileStanding::kMissing;
  // kOwn: the file, read as far as Start holds.
  std::unique_ptr<ContentReader> File;
  std::string Start;  // up to start_limit bytes of the file's start
};

// What stands at the name in the folder; is_own tells this program's mark
// from the start of a file (null: no file is this program's).
TargetLook LookAtTarget(OpenFolder& folder, const std::string& name, const std::vector<FileIdentity>& kept,
                        bool (*is_own)(std::string_view start), size_t start_limit);

// Why a file of that standing is left as it is, for "kept PATH: REASON";
// empty for kMissing and kOwn.
std::string KeptReason(FileStanding standing);

// Compares the bytes written with a file's, from what was read of its
// start on, and stops at the first that differs: a file that stays as it
// is need not be written.
class ComparingSink : public ByteSink {
 public:
  ComparingSink(ContentReader& file, std::string start) : file_(file), held_(std::move(start)) {}

  bool Write(std::string_view bytes) override;
  // True when the file holds nothing after what was written.
  bool AtEnd();

 private:
  static constexpr size_t kPiece = 64 * 1024;
  ContentReader& file_;
  std::string held_;
  size_t at_ = 0;
};

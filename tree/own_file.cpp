#include "tree/own_file.h"

#include <algorithm>

namespace {

// Up to limit bytes of the file's start.
std::string ReadStart(ContentReader& file, size_t limit) {
  std::string start(limit, '\0');
  size_t have = 0;
  while (have < limit) {
    const size_t count = file.Read(&start[have], limit - have);
    if (count == 0) break;
    have += count;
  }
  start.resize(have);
  return start;
}

}  // namespace

TargetLook LookAtTarget(OpenFolder& folder, const std::string& name, const std::vector<FileIdentity>& kept,
                        bool (*is_own)(std::string_view start), size_t start_limit) {
  TargetLook look;
  switch (folder.Look(name)) {
    case NodeKind::kMissing:
      look.Standing = FileStanding::kMissing;
      return look;
    case NodeKind::kLink:
      look.Standing = FileStanding::kLink;
      return look;
    case NodeKind::kFolder:
    case NodeKind::kOther:
      look.Standing = FileStanding::kNotRegular;
      return look;
    case NodeKind::kFile:
      break;
  }
  FileIdentity identity;
  if (folder.Identify(name, identity) && std::find(kept.begin(), kept.end(), identity) != kept.end()) {
    look.Standing = FileStanding::kProtected;
    return look;
  }
  look.File = folder.ReadFile(name);
  if (look.File == nullptr) {
    look.Standing = FileStanding::kUnreadable;
    return look;
  }
  look.Start = ReadStart(*look.File, start_limit);
  look.Standing = is_own != nullptr && is_own(look.Start) ? FileStanding::kOwn : FileStanding::kForeign;
  if (look.Standing == FileStanding::kForeign) look.File.reset();
  return look;
}

std::string KeptReason(FileStanding standing) {
  switch (standing) {
    case FileStanding::kMissing:
    case FileStanding::kOwn:
      break;
    case FileStanding::kLink:
      return "a symbolic link has that name";
    case FileStanding::kNotRegular:
      return "not a regular file";
    case FileStanding::kProtected:
      return "the settings file in use";
    case FileStanding::kUnreadable:
      return "it cannot be read, so it is not known to be written by kestrova";
    case FileStanding::kForeign:
      return "not written by kestrova";
  }
  return std::string();
}

bool ComparingSink::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (at_ == held_.size()) {
      held_.resize(kPiece);
      held_.resize(file_.Read(&held_[0], kPiece));
      at_ = 0;
      if (held_.empty()) return false;  // the file ends first
    }
    const size_t count = std::min(bytes.size(), held_.size() - at_);
    if (bytes.compare(0, count, std::string_view(held_).substr(at_, count)) != 0) return false;
    bytes.remove_prefix(count);
    at_ += count;
  }
  return true;
}

bool ComparingSink::AtEnd() {
  char byte;
  return at_ == held_.size() && file_.Read(&byte, 1) == 0;
}

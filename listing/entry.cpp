#include "listing/entry.h"

bool IsFolder(uint32_t attributes) { return (attributes & kDirectoryAttribute) != 0; }

bool IsLink(uint32_t attributes) { return (attributes & kReparsePointAttribute) != 0; }

uint64_t EntrySize(const FileInfoX& entry) {
  return (static_cast<uint64_t>(entry.Find.nFileSizeHigh) << 32) | entry.Find.nFileSizeLow;
}

bool IsParentEntry(const FileInfoX& entry) {
  const std::string& name = entry.Find.cFileName;
  return name.size() == 2 && name[0] == '.' && name[1] == '.';
}

const FileInfoX* ParentEntryOf(const std::deque<FileInfoX>& folders) {
  if (folders.empty()) return nullptr;
  if (IsParentEntry(folders.front())) return &folders.front();
  return IsParentEntry(folders.back()) ? &folders.back() : nullptr;
}

std::string LowerCase(const std::string& text) { return text.empty() ? text : LowerCaseBytes(text); }

std::string ExtensionOf(const std::string& text) { return std::string(ExtensionPart(text)); }

std::string_view ExtensionPart(std::string_view text) {
  const size_t dot = text.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : text.substr(dot);
}

std::string FileNameOf(const std::string& text) {
  size_t separator = text.rfind(FolderSeparator());
  return separator == std::string::npos ? text : text.substr(separator + 1);
}

std::string FolderOf(const std::string& path) {
  const char separator = FolderSeparator();
  const size_t last = path.rfind(separator);
  if (last == std::string::npos) return std::string();
  const bool drive_root = last == 2 && path[1] == ':';
  const bool posix_root = last == 0 && separator == '/';
  return path.substr(0, drive_root || posix_root ? last + 1 : last);
}

std::string FolderWithSlashOf(const std::string& path) {
  const size_t last = path.rfind(FolderSeparator());
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string StemOf(const std::string& text) { return std::string(StemPart(text)); }

std::string_view StemPart(std::string_view text) {
  const size_t separator = text.rfind(FolderSeparator());
  if (separator != std::string_view::npos) text.remove_prefix(separator + 1);
  const size_t dot = text.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? text : text.substr(0, dot);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  const char separator = FolderSeparator();
  if (!folder.empty() && folder.back() == separator) return folder + name;
  return folder + separator + name;
}

std::vector<std::string> PathParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == FolderSeparator()) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

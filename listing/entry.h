// Directory entries, the two sorted lists of a listing, and the text
// operations on names and paths that the rest of the program shares.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

constexpr uint32_t kDirectoryAttribute = 16;

// Sort keys (SortBy).
enum SortCode : int32_t {
  kSortByName = 0,
  kSortByType = 1,
  kSortByLastWrite = 2,
  kSortByCreation = 3,
  kSortByLastRead = 4,
  kSortBySize = 5,
  kSortByAttributes = 6,
};

// One directory entry of a listing.
struct FileInfoX {
  FolderRecord Find;
  // The source folder as it stood when the entry was gathered, held once for
  // a whole list (DirFileStruct) instead of by each entry; null when unknown.
  const std::string* FolderPath = nullptr;
  // Entries sort by their name, lower-cased when IgnoreCase is set; the
  // lower-cased names are made while sorting, not held by every entry.
};

// The result of one scan: folders and files, each in ascending order.
struct DirFileStruct {
  std::deque<FileInfoX> FolderList;
  std::deque<FileInfoX> FileList;
  // What the FolderPath of each list's entries points to. Copies of the lists
  // share it, so their entries stay valid as long as any copy lives.
  std::shared_ptr<const std::string> FolderListSource;
  std::shared_ptr<const std::string> FileListSource;
};

bool IsFolder(uint32_t attributes);
uint64_t EntrySize(const FileInfoX& entry);
bool IsParentEntry(const FileInfoX& entry);

// The text lower-cased the platform's way; an empty text stays empty.
std::string LowerCase(const std::string& text);
// From the last "." to the end, the "." included; empty without a ".".
std::string ExtensionOf(const std::string& text);
// The text after the last folder separator; the whole text without one.
std::string FileNameOf(const std::string& text);
// The text before the last folder separator; a root keeps its separator (a
// drive root "C:\", and "/" where "/" separates); empty without a separator.
std::string FolderOf(const std::string& path);
// The text up to and including the last folder separator; empty without one.
std::string FolderWithSlashOf(const std::string& path);
// FileNameOf without its extension; a leading "." does not start one.
std::string StemOf(const std::string& text);
// The text with each "\r\n" and each lone "\n" as one line_end.
std::string WithLineEnds(const std::string& text, std::string_view line_end);
// The folder, a separator unless it already ends in one, then the mask.
std::string JoinPattern(const std::string& folder, const std::string& mask);

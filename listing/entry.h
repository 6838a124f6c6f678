// What the listing knows of entries, and the text operations on names and
// paths that the rest of the program shares.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"

constexpr uint32_t kDirectoryAttribute = 16;
// A reparse point: a symbolic link (or junction), as the platform marks one.
constexpr uint32_t kReparsePointAttribute = 1024;

// One directory entry of a listing. Entries sort by their name, lower-cased
// when IgnoreCase is set; the lower-cased names are made while sorting, not
// held by every entry.
struct FileInfoX {
  FolderRecord Find;
};

// What the system tells of the files of one extension.
struct TypeTexts {
  std::string Description;  // the registered description; empty for none
  std::string MimeType;     // empty for none
};

// The values of a listing's entries that only the system can tell, asked
// once for the whole listing (EnrichListing), so that its rows are composed
// from them however often, without asking again.
struct EntryValues {
  // By extension, as the names write it (".txt", "" for none): each asked
  // once, not a copy per entry.
  std::unordered_map<std::string, TypeTexts> Types;
  // By name, for the symbolic links whose target the system tells.
  std::unordered_map<std::string, std::string> LinkTargets;
  // By name, for the files whose checksums were asked and read whole: one
  // digest per algorithm, in the order asked.
  std::unordered_map<std::string, std::vector<std::string>> Checksums;
  // By name, the files whose checksums could not be computed, and why.
  std::map<std::string, std::string> ChecksumFailures;
};

// The result of one scan, with what the listing learnt of its entries: the
// folders and the files, in the order of the scan until they are ordered,
// and the sum of the files' sizes.
struct DirFileStruct {
  std::deque<FileInfoX> FolderList;
  std::deque<FileInfoX> FileList;
  int64_t TotalBytes = 0;
  EntryValues Values;
  // The temporary files of this program's writer that the scan met and left
  // out (IsTemporaryFileName): a killed run's leftovers, or files being written.
  std::vector<std::string> TemporaryNames;
};

bool IsFolder(uint32_t attributes);
bool IsLink(uint32_t attributes);
uint64_t EntrySize(const FileInfoX& entry);
bool IsParentEntry(const FileInfoX& entry);
// The parent entry of a list of folders, which ordering puts first, or last
// where the order descends; null when the list has none.
const FileInfoX* ParentEntryOf(const std::deque<FileInfoX>& folders);

// The text lower-cased the platform's way; an empty text stays empty.
std::string LowerCase(const std::string& text);
// From the last "." to the end, the "." included; empty without a ".".
std::string ExtensionOf(const std::string& text);
// ExtensionOf without a copy: a view into the text.
std::string_view ExtensionPart(std::string_view text);
// The text after the last folder separator; the whole text without one.
std::string FileNameOf(const std::string& text);
// The text before the last folder separator; a root keeps its separator (a
// drive root "C:\", and "/" where "/" separates); empty without a separator.
std::string FolderOf(const std::string& path);
// The text up to and including the last folder separator; empty without one.
std::string FolderWithSlashOf(const std::string& path);
// FileNameOf without its extension; a leading "." does not start one.
std::string StemOf(const std::string& text);
// StemOf without a copy: a view into the text.
std::string_view StemPart(std::string_view text);
// The folder, a separator unless it already ends in one, then the name (or
// the mask of names).
std::string JoinPath(const std::string& folder, const std::string& name);
// The names of a path, from its first on, without its empty parts.
std::vector<std::string> PathParts(const std::string& path);

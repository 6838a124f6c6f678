#include "listing/scan.h"

#include <string>
#include <vector>

#include "platform/wildcard.h"

namespace {

// A mask's patterns: the mask itself, or where ";" separates several (as in
// Windows file dialogs), each of them without the blanks around it.
std::vector<std::string> PatternsOf(const std::string& mask) {
  if (mask.find(';') == std::string::npos) return {mask};
  std::vector<std::string> patterns;
  for (size_t start = 0; start <= mask.size();) {
    size_t end = mask.find(';', start);
    if (end == std::string::npos) end = mask.size();
    const size_t first = mask.find_first_not_of(' ', start);
    const size_t last = mask.find_last_not_of(' ', end - 1);
    if (first < end && last != std::string::npos && last >= first)
      patterns.push_back(mask.substr(first, last - first + 1));
    start = end + 1;
  }
  return patterns;
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
  for (const std::string& pattern : patterns) {
    if (MatchesMask(pattern, name)) return true;
  }
  return false;
}

// Decides which records become entries: the folder's own first "." never,
// folders for the folder list and files for the file list, by their masks
// where the engine matches them itself (several patterns), and what the
// settings and the caller leave out.
class EntryFilter {
 public:
  explicit EntryFilter(const ScanRules& rules)
      : folder_patterns_(PatternsOf(rules.DirMask)),
        file_patterns_(PatternsOf(rules.FileMask)),
        excluded_(rules.Exclude.empty() ? std::vector<std::string>() : PatternsOf(rules.Exclude)),
        hide_hidden_(rules.HideHidden),
        include_parent_(rules.IncludeParent),
        left_out_(rules.LeftOut) {}

  // True when the masks are matched here rather than by the folder source.
  bool MatchesMasks() const { return folder_patterns_.size() > 1 || file_patterns_.size() > 1; }

  bool KeepsFolder(const FolderRecord& find) {
    const bool own_entry = first_ && find.cFileName == ".";
    first_ = false;
    if (own_entry || !IsFolder(find.dwFileAttributes)) return false;
    if (MatchesMasks() && !MatchesAny(folder_patterns_, find.cFileName)) return false;
    if (find.cFileName == "..") return include_parent_;
    return !LeftOut(find);
  }

  bool KeepsFile(const FolderRecord& find, DirFileStruct& listing) const {
    if (IsFolder(find.dwFileAttributes)) return false;
    // What a killed run of the writer may have left is no file of the folder's.
    if (IsTemporaryFileName(find.cFileName)) {
      listing.TemporaryNames.push_back(find.cFileName);
      return false;
    }
    if (LeftOut(find)) return false;
    if (MatchesMasks() && !MatchesAny(file_patterns_, find.cFileName)) return false;
    for (const std::string& name : left_out_) {
      if (find.cFileName == name) return false;
    }
    return true;
  }

 private:
  static constexpr uint32_t kHiddenAttribute = 2;

  bool LeftOut(const FolderRecord& find) const {
    if (hide_hidden_ && (find.dwFileAttributes & kHiddenAttribute) != 0) return true;
    return !excluded_.empty() && MatchesAny(excluded_, find.cFileName);
  }

  const std::vector<std::string> folder_patterns_;
  const std::vector<std::string> file_patterns_;
  const std::vector<std::string> excluded_;
  const bool hide_hidden_;
  const bool include_parent_;
  const std::vector<std::string>& left_out_;
  bool first_ = true;
};

void AddFolder(DirFileStruct& listing, const FolderRecord& find) { listing.FolderList.push_back({find}); }

void AddFile(DirFileStruct& listing, const FolderRecord& find) {
  listing.FileList.push_back({find});
  listing.TotalBytes += static_cast<int64_t>(EntrySize(listing.FileList.back()));
}

// A listing cut short is no listing: nothing of it may reach a document.
bool Unread(DirFileStruct& listing) {
  listing = DirFileStruct();
  return false;
}

// One pass over the folder with the mask, adding what the filter keeps.
bool Pass(const std::string& mask, const RecordReader& read, EntryFilter& filter, bool folders, bool files,
          DirFileStruct& listing, std::string& failure) {
  return read(
      mask,
      [&](const FolderRecord& find) {
        if (folders && filter.KeepsFolder(find)) {
          AddFolder(listing, find);
        } else if (files && filter.KeepsFile(find, listing)) {
          AddFile(listing, find);
        }
      },
      failure);
}

}  // namespace

ScanRules ScanRulesOf(const CommonStruct& settings) {
  ScanRules rules;
  rules.DirMask = settings.DirMask;
  rules.FileMask = settings.FileMask;
  rules.Exclude = settings.Exclude;
  rules.HideHidden = settings.HideHidden;
  rules.IncludeParent = settings.IncludeParent;
  return rules;
}

bool ScanListing(const ScanRules& rules, const std::string& folder, FolderSource& source,
                 DirFileStruct& listing, std::string& failure) {
  const RecordReader read = [&source, &folder](const std::string& mask,
                                               const std::function<void(const FolderRecord&)>& visit,
                                               std::string& reason) {
    return source.Enumerate(JoinPath(folder, mask), visit, reason);
  };
  return ScanListing(rules, read, listing, failure);
}

bool ScanListing(const ScanRules& rules, const RecordReader& reader, DirFileStruct& listing,
                 std::string& failure) {
  listing = DirFileStruct();
  EntryFilter filter(rules);
  bool read = false;
  if (filter.MatchesMasks()) {
    read = Pass("*", reader, filter, true, true, listing, failure);
  } else if (rules.DirMask == rules.FileMask) {
    // One mask for both lists: one pass over the folder reads each record
    // once and gives both lists exactly what the two passes would.
    read = Pass(rules.DirMask, reader, filter, true, true, listing, failure);
  } else {
    read = Pass(rules.DirMask, reader, filter, true, false, listing, failure) &&
           Pass(rules.FileMask, reader, filter, false, true, listing, failure);
  }
  return read || Unread(listing);
}

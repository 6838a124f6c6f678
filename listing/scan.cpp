#include "listing/scan.h"

#include <string>

#include "listing/ordering.h"

namespace {

// Keeps a record as the folder scan does: never the folder's own first ".",
// only folders.
class FolderFilter {
 public:
  bool Keeps(const FolderRecord& find) {
    const bool own_entry = first_ && find.cFileName == ".";
    first_ = false;
    return !own_entry && IsFolder(find.dwFileAttributes);
  }

 private:
  bool first_ = true;
};

void AddFolder(DirFileStruct& listing, const FolderRecord& find) { listing.FolderList.push_back({find}); }

void AddFile(DirFileStruct& listing, const FolderRecord& find) {
  listing.FileList.push_back({find});
  listing.TotalBytes += static_cast<int64_t>(EntrySize(listing.FileList.back()));
}

void FinishFolders(const CommonStruct& settings, DirFileStruct& listing) {
  auto& folders = listing.FolderList;
  SortEntries(folders, settings.SortBy, settings.IgnoreCase);
  if (!folders.empty() && !settings.IncludeParent && IsParentEntry(folders.front())) folders.pop_front();
}

void FinishFiles(const CommonStruct& settings, DirFileStruct& listing) {
  SortEntries(listing.FileList, settings.SortBy, settings.IgnoreCase);
}

// A listing cut short is no listing: nothing of it may reach a document.
bool Unread(DirFileStruct& listing) {
  listing = DirFileStruct();
  return false;
}

bool ScanFolders(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                 DirFileStruct& listing, std::string& failure) {
  FolderFilter filter;
  const bool read = source.Enumerate(
      JoinPattern(folder, settings.DirMask),
      [&](const FolderRecord& find) {
        if (filter.Keeps(find)) AddFolder(listing, find);
      },
      failure);
  if (!read) return Unread(listing);
  FinishFolders(settings, listing);
  return true;
}

bool ScanFiles(const CommonStruct& settings, const std::string& folder, FolderSource& source,
               DirFileStruct& listing, std::string& failure) {
  const bool read = source.Enumerate(
      JoinPattern(folder, settings.FileMask),
      [&](const FolderRecord& find) {
        if (!IsFolder(find.dwFileAttributes)) AddFile(listing, find);
      },
      failure);
  if (!read) return Unread(listing);
  FinishFiles(settings, listing);
  return true;
}

}  // namespace

bool ScanListing(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                 DirFileStruct& listing, std::string& failure) {
  listing = DirFileStruct();
  if (settings.DirMask != settings.FileMask) {
    return ScanFolders(settings, folder, source, listing, failure) &&
           ScanFiles(settings, folder, source, listing, failure);
  }
  // One mask for both lists: one pass over the folder reads each record once
  // and gives both lists exactly what the two passes would.
  FolderFilter filter;
  const bool read = source.Enumerate(
      JoinPattern(folder, settings.DirMask),
      [&](const FolderRecord& find) {
        if (filter.Keeps(find)) {
          AddFolder(listing, find);
        } else if (!IsFolder(find.dwFileAttributes)) {
          AddFile(listing, find);
        }
      },
      failure);
  if (!read) return Unread(listing);
  FinishFolders(settings, listing);
  FinishFiles(settings, listing);
  return true;
}

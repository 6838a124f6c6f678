#include "listing/scan.h"

#include <memory>
#include <string>

#include "listing/ordering.h"

namespace {

std::shared_ptr<const std::string> SharedFolder(const CommonStruct& record) {
  return std::make_shared<const std::string>(record.DirStr);
}

// An entry without its row: all that ordering needs.
FileInfoX GatherEntry(const FolderRecord& find, const std::shared_ptr<const std::string>& folder) {
  FileInfoX entry;
  entry.FolderPath = folder;
  entry.Find = find;
  return entry;
}

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

void AddFolder(CommonStruct& record, const FolderRecord& find,
               const std::shared_ptr<const std::string>& folder) {
  record.Listing.FolderList.push_back(GatherEntry(find, folder));
}

void AddFile(CommonStruct& record, const FolderRecord& find,
             const std::shared_ptr<const std::string>& folder) {
  record.Listing.FileList.push_back(GatherEntry(find, folder));
  record.TotalBytes += static_cast<int64_t>(EntrySize(record.Listing.FileList.back()));
}

void StartFolders(CommonStruct& record) {
  record.Listing.FolderList.clear();
}

void StartFiles(CommonStruct& record) {
  record.Listing.FileList.clear();
  record.TotalBytes = 0;
}

void FinishFolders(CommonStruct& record) {
  auto& folders = record.Listing.FolderList;
  SortEntries(folders, record.SortBy, record.IgnoreCase);
  if (!folders.empty() && !record.IncludeParent && IsParentEntry(folders.front())) {
    folders.pop_front();
  }
}

void FinishFiles(CommonStruct& record) {
  SortEntries(record.Listing.FileList, record.SortBy, record.IgnoreCase);
}

// A listing cut short is no listing: nothing of it may reach a document.
bool Unread(CommonStruct& record) {
  StartFolders(record);
  StartFiles(record);
  return false;
}

}  // namespace

bool ScanFolders(CommonStruct& record, FolderSource& source, std::string& failure) {
  StartFolders(record);
  const auto folder = SharedFolder(record);
  FolderFilter filter;
  const bool read = source.Enumerate(
      JoinPattern(record.DirStr, record.DirMask),
      [&](const FolderRecord& find) {
        if (filter.Keeps(find)) AddFolder(record, find, folder);
      },
      failure);
  if (!read) return Unread(record);
  FinishFolders(record);
  return true;
}

bool ScanFiles(CommonStruct& record, FolderSource& source, std::string& failure) {
  StartFiles(record);
  const auto folder = SharedFolder(record);
  const bool read = source.Enumerate(
      JoinPattern(record.DirStr, record.FileMask),
      [&](const FolderRecord& find) {
        if (!IsFolder(find.dwFileAttributes)) AddFile(record, find, folder);
      },
      failure);
  if (!read) return Unread(record);
  FinishFiles(record);
  return true;
}

bool ScanListing(CommonStruct& record, FolderSource& source, std::string& failure) {
  if (record.DirMask != record.FileMask) {
    return ScanFolders(record, source, failure) && ScanFiles(record, source, failure);
  }
  // One mask for both lists: one pass over the folder reads each record once
  // and gives both lists exactly what the two passes would.
  StartFolders(record);
  StartFiles(record);
  const auto folder = SharedFolder(record);
  FolderFilter filter;
  const bool read = source.Enumerate(
      JoinPattern(record.DirStr, record.DirMask),
      [&](const FolderRecord& find) {
        if (filter.Keeps(find)) {
          AddFolder(record, find, folder);
        } else if (!IsFolder(find.dwFileAttributes)) {
          AddFile(record, find, folder);
        }
      },
      failure);
  if (!read) return Unread(record);
  FinishFolders(record);
  FinishFiles(record);
  return true;
}

#include "listing/scan.h"

#include "listing/ordering.h"
#include "output/html_document.h"
#include "output/html_rows.h"
#include "output/text_document.h"

namespace {

std::shared_ptr<const std::string> SharedFolder(const CommonStruct& record) {
  return std::make_shared<const std::string>(record.DirStr);
}

}  // namespace

FileInfoX BuildEntry(const CommonStruct& record, const FolderRecord& find,
                     const std::shared_ptr<const std::string>& folder, FileTypes& types) {
  FileInfoX entry;
  entry.FolderPath = folder;
  entry.Find = find;
  entry.SortName = record.IgnoreCase ? LowerCase(find.cFileName) : find.cFileName;
  if (record.Output == kOutputHtml) {
    ComposeEntryRow(record, entry, types);
  } else if (record.Output == kOutputText) {
    ComposeEntryLine(entry);
  }
  return entry;
}

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

void AddFolder(CommonStruct& record, const FolderRecord& find,
               const std::shared_ptr<const std::string>& folder, FileTypes& types) {
  record.Listing.FolderList.push_back(BuildEntry(record, find, folder, types));
}

void AddFile(CommonStruct& record, const FolderRecord& find,
             const std::shared_ptr<const std::string>& folder, FileTypes& types) {
  record.Listing.FileList.push_back(BuildEntry(record, find, folder, types));
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
  SortEntries(folders, record.SortBy);
  if (!folders.empty() && !record.IncludeParent && folders.front().SortName == "..") {
    folders.pop_front();
  }
}

void FinishFiles(CommonStruct& record) {
  SortEntries(record.Listing.FileList, record.SortBy);
}

}  // namespace

void ScanFolders(CommonStruct& record, FolderSource& source, FileTypes& types) {
  StartFolders(record);
  const auto folder = SharedFolder(record);
  FolderFilter filter;
  source.Enumerate(JoinPattern(record.DirStr, record.DirMask), [&](const FolderRecord& find) {
    if (filter.Keeps(find)) AddFolder(record, find, folder, types);
  });
  FinishFolders(record);
}

void ScanFiles(CommonStruct& record, FolderSource& source, FileTypes& types) {
  StartFiles(record);
  const auto folder = SharedFolder(record);
  source.Enumerate(JoinPattern(record.DirStr, record.FileMask), [&](const FolderRecord& find) {
    if (!IsFolder(find.dwFileAttributes)) AddFile(record, find, folder, types);
  });
  FinishFiles(record);
}

void ScanListing(CommonStruct& record, FolderSource& source) {
  // The document refers to the rows of the lists that are about to go.
  ClearDocument(record.DocText);
  ComposeBaseHref(record);
  FileTypes types(source);
  if (record.DirMask != record.FileMask) {
    ScanFolders(record, source, types);
    ScanFiles(record, source, types);
    return;
  }
  // One mask for both lists: one pass over the folder reads each record once
  // and gives both lists exactly what the two passes would.
  StartFolders(record);
  StartFiles(record);
  const auto folder = SharedFolder(record);
  FolderFilter filter;
  source.Enumerate(JoinPattern(record.DirStr, record.DirMask), [&](const FolderRecord& find) {
    if (filter.Keeps(find)) {
      AddFolder(record, find, folder, types);
    } else if (!IsFolder(find.dwFileAttributes)) {
      AddFile(record, find, folder, types);
    }
  });
  FinishFolders(record);
  FinishFiles(record);
}

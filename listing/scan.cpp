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

void ScanFolders(CommonStruct& record, FolderSource& source, FileTypes& types) {
  auto& folders = record.Listing.FolderList;
  folders.clear();
  const auto folder = SharedFolder(record);
  bool first = true;
  source.Enumerate(JoinPattern(record.DirStr, record.DirMask), [&](const FolderRecord& find) {
    bool own_entry = first && find.cFileName == ".";
    first = false;
    if (own_entry || !IsFolder(find.dwFileAttributes)) return;
    folders.push_back(BuildEntry(record, find, folder, types));
  });
  SortEntries(folders, record.SortBy);
  if (!folders.empty() && !record.IncludeParent && folders.front().SortName == "..") {
    folders.pop_front();
  }
}

void ScanFiles(CommonStruct& record, FolderSource& source, FileTypes& types) {
  auto& files = record.Listing.FileList;
  files.clear();
  record.TotalBytes = 0;
  const auto folder = SharedFolder(record);
  source.Enumerate(JoinPattern(record.DirStr, record.FileMask), [&](const FolderRecord& find) {
    if (IsFolder(find.dwFileAttributes)) return;
    files.push_back(BuildEntry(record, find, folder, types));
    record.TotalBytes += static_cast<int64_t>(EntrySize(files.back()));
  });
  SortEntries(files, record.SortBy);
}

void ScanListing(CommonStruct& record, FolderSource& source) {
  // The document refers to the rows of the lists that are about to go.
  ClearDocument(record.DocText);
  ComposeBaseHref(record);
  FileTypes types(source);
  ScanFolders(record, source, types);
  ScanFiles(record, source, types);
}

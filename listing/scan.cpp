#include "listing/scan.h"

#include "listing/ordering.h"
#include "output/html_document.h"
#include "output/html_rows.h"
#include "output/text_document.h"

namespace {

std::shared_ptr<const std::string> SharedFolder(const CommonStruct& record) {
  return std::make_shared<const std::string>(record.DirStr);
}

// Every code page keeps ASCII and lowers only its capitals there, so a name
// of other ASCII bytes is its own lower-case form.
bool MayChangeInLowerCase(const std::string& name) {
  for (char c : name) {
    if ((c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// An entry without its row: all that ordering needs.
FileInfoX GatherEntry(const CommonStruct& record, const FolderRecord& find,
                      const std::shared_ptr<const std::string>& folder) {
  FileInfoX entry;
  entry.FolderPath = folder;
  entry.Find = find;
  if (record.IgnoreCase && MayChangeInLowerCase(find.cFileName)) {
    std::string lower = LowerCase(find.cFileName);
    if (lower != find.cFileName) entry.SortName = std::move(lower);
  }
  return entry;
}

void ComposeRow(const CommonStruct& record, FileInfoX& entry, FileTypes& types) {
  if (record.Output == kOutputHtml) {
    ComposeEntryRow(record, entry, types);
  } else if (record.Output == kOutputText) {
    ComposeEntryLine(entry);
  }
}

// Rows are composed once the list is in order: the sort then moves small
// entries, the rows exist only after it, and they lie in memory in the order
// the document reads them.
void ComposeRows(const CommonStruct& record, std::deque<FileInfoX>& list, FileTypes& types) {
  for (FileInfoX& entry : list) ComposeRow(record, entry, types);
}

}  // namespace

FileInfoX BuildEntry(const CommonStruct& record, const FolderRecord& find,
                     const std::shared_ptr<const std::string>& folder, FileTypes& types) {
  FileInfoX entry = GatherEntry(record, find, folder);
  ComposeRow(record, entry, types);
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
               const std::shared_ptr<const std::string>& folder) {
  record.Listing.FolderList.push_back(GatherEntry(record, find, folder));
}

void AddFile(CommonStruct& record, const FolderRecord& find,
             const std::shared_ptr<const std::string>& folder) {
  record.Listing.FileList.push_back(GatherEntry(record, find, folder));
  record.TotalBytes += static_cast<int64_t>(EntrySize(record.Listing.FileList.back()));
}

void StartFolders(CommonStruct& record) {
  record.Listing.FolderList.clear();
}

void StartFiles(CommonStruct& record) {
  record.Listing.FileList.clear();
  record.TotalBytes = 0;
}

void FinishFolders(CommonStruct& record, FileTypes& types) {
  auto& folders = record.Listing.FolderList;
  SortEntries(folders, record.SortBy);
  if (!folders.empty() && !record.IncludeParent && IsParentEntry(folders.front())) {
    folders.pop_front();
  }
  ComposeRows(record, folders, types);
}

void FinishFiles(CommonStruct& record, FileTypes& types) {
  SortEntries(record.Listing.FileList, record.SortBy);
  ComposeRows(record, record.Listing.FileList, types);
}

}  // namespace

void ScanFolders(CommonStruct& record, FolderSource& source, FileTypes& types) {
  StartFolders(record);
  const auto folder = SharedFolder(record);
  FolderFilter filter;
  source.Enumerate(JoinPattern(record.DirStr, record.DirMask), [&](const FolderRecord& find) {
    if (filter.Keeps(find)) AddFolder(record, find, folder);
  });
  FinishFolders(record, types);
}

void ScanFiles(CommonStruct& record, FolderSource& source, FileTypes& types) {
  StartFiles(record);
  const auto folder = SharedFolder(record);
  source.Enumerate(JoinPattern(record.DirStr, record.FileMask), [&](const FolderRecord& find) {
    if (!IsFolder(find.dwFileAttributes)) AddFile(record, find, folder);
  });
  FinishFiles(record, types);
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
      AddFolder(record, find, folder);
    } else if (!IsFolder(find.dwFileAttributes)) {
      AddFile(record, find, folder);
    }
  });
  FinishFolders(record, types);
  FinishFiles(record, types);
}

#include "output/long_document.h"

#include <algorithm>
#include <deque>

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "settings/columns.h"

namespace {

void AppendTime(std::string& out, const ListingRun& run, uint64_t time) {
  AppendTimeText(out, time, run.Times, run.Settings->Columns.Has(ColumnId::kSeconds));
}

void AppendAttributes(std::string& out, const ListingRun&, const FileInfoX& entry) {
  std::string letters = AttributeText(entry.Find.dwFileAttributes);
  while (!letters.empty() && letters.back() == ' ') letters.pop_back();
  out += letters;
}

void AppendSize(std::string& out, const ListingRun& run, const FileInfoX& entry) {
  // A folder has a size only where the sizes below it were added up.
  if (IsFolder(entry.Find.dwFileAttributes) && run.Subtrees.count(entry.Find.cFileName) == 0) {
    out += '-';
  } else {
    out += run.Settings->HumanSizes ? HumanSize(EntrySize(entry)) : SizeDigits(entry);
  }
}

void AppendLastWrite(std::string& out, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(out, run, entry.Find.ftLastWriteTime);
}

void AppendCreation(std::string& out, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(out, run, entry.Find.ftCreationTime);
}

void AppendLastRead(std::string& out, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(out, run, entry.Find.ftLastAccessTime);
}

void AppendType(std::string& out, const ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
  if (const char* link = LinkTypeText(entry)) {
    out += link;
  } else if (IsFolder(entry.Find.dwFileAttributes)) {
    AppendNameEscaped(out, record.Folder);
  } else if (const std::string& description = TypeDescription(entry, run.Listing.Values);
             !description.empty()) {
    AppendNameEscaped(out, description);
  } else {
    AppendNameEscaped(out, record.File);
  }
}

struct Cell {
  ColumnId column;
  void (*append)(std::string& out, const ListingRun& run, const FileInfoX& entry);
  bool right;    // aligned to the right, as numbers are
  size_t least;  // the narrowest width, so that the folders of a tree align
};

// Name last, as ls -l has it: a name may hold blanks, and the end of the
// line ends it. A column is as wide as its widest text, and at least as wide
// as its usual texts (as find -ls has it): "File", sizes below 10 GB, "Link
// to folder"; sizes for people are never wider than seven.
constexpr size_t kSizeForPeopleWidth = 7;
constexpr Cell kCells[] = {
    {ColumnId::kAttributes, AppendAttributes, false, 4}, {ColumnId::kSize, AppendSize, true, 10},
    {ColumnId::kLastWrite, AppendLastWrite, false, 0},   {ColumnId::kCreation, AppendCreation, false, 0},
    {ColumnId::kLastRead, AppendLastRead, false, 0},     {ColumnId::kType, AppendType, false, 14},
};

size_t LeastWidth(const ListingRun& run, const Cell& cell) {
  if (cell.column == ColumnId::kSize && run.Settings->HumanSizes) return kSizeForPeopleWidth;
  return cell.least;
}

// The columns a terminal gives the text: one a character, where names are
// UTF-8, one a byte elsewhere.
size_t DisplayWidth(const std::string& text) {
  static const bool names_are_utf8 = PageCharset() == "utf-8";
  if (!names_are_utf8) return text.size();
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool IsShown(const ListingRun& run, const Cell& cell) { return ShowsColumn(*run.Settings, cell.column); }

void WidenColumns(ListingRun& run, const std::deque<FileInfoX>& list) {
  std::string text;
  for (const FileInfoX& entry : list) {
    size_t shown = 0;
    for (const Cell& cell : kCells) {
      if (!IsShown(run, cell)) continue;
      text.clear();
      cell.append(text, run, entry);
      run.ColumnWidths[shown] = std::max(run.ColumnWidths[shown], DisplayWidth(text));
      ++shown;
    }
  }
}

// A column per checksum asked, before the name, each as wide as its
// digests; "-" for what has none.
void AppendChecksums(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  for (size_t at = 0; at < run.Checksums.size(); ++at) {
    const std::string text = sums != nullptr ? (*sums)[at] : std::string("-");
    row += text;
    row.append(
        DigestTextLength(run.Checksums[at]) - std::min(DigestTextLength(run.Checksums[at]), text.size()),
        ' ');
    row += "  ";
  }
}

}  // namespace

void AppendLongLine(ListingRun& run, const FileInfoX& entry, std::string& row) {
  std::string text;
  size_t shown = 0;
  for (const Cell& cell : kCells) {
    if (!IsShown(run, cell)) continue;
    text.clear();
    cell.append(text, run, entry);
    const size_t width = shown < run.ColumnWidths.size() ? run.ColumnWidths[shown] : 0;
    const size_t padding = width - std::min(width, DisplayWidth(text));
    if (cell.right) row.append(padding, ' ');
    row += text;
    if (!cell.right) row.append(padding, ' ');
    row += "  ";
    ++shown;
  }
  AppendChecksums(row, run, entry);
  if (run.PathPrefix != nullptr) AppendNameEscaped(row, *run.PathPrefix);
  AppendNameEscaped(row, entry.Find.cFileName);
  if (IsFolder(entry.Find.dwFileAttributes)) row += '/';
  row += "\r\n";
}

void ComposeLongDocument(ListingRun& run) {
  run.ColumnWidths.clear();
  for (const Cell& cell : kCells) {
    if (IsShown(run, cell)) run.ColumnWidths.push_back(LeastWidth(run, cell));
  }
  WidenColumns(run, run.Listing.FolderList);
  WidenColumns(run, run.Listing.FileList);
  run.Document = DocumentText();
  AppendListRows(run.Document, EntryList::kFolders);
  AppendListRows(run.Document, EntryList::kFiles);
}

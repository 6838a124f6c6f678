#include "output/long_document.h"

#include <algorithm>
#include <deque>

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/escapes.h"
#include "output/number_text.h"

namespace {

enum class Cell { kAttributes, kSize, kLastWrite, kCreation, kLastRead, kType };

struct Column {
  Cell cell;
  bool ColumnSet::*shown;
  bool right;    // aligned to the right, as numbers are
  size_t least;  // the narrowest width, so that the folders of a tree align
};

// Name last, as ls -l has it: a name may hold blanks, and the end of the
// line ends it. A column is as wide as its widest text, and at least as wide
// as its usual texts (as find -ls has it): "File", sizes below 10 GB, "Link
// to folder"; sizes for people are never wider than seven.
constexpr size_t kSizeForPeopleWidth = 7;
constexpr Column kColumns[] = {
    {Cell::kAttributes, &ColumnSet::Attributes, false, 4},
    {Cell::kSize, &ColumnSet::Size, true, 10},
    {Cell::kLastWrite, &ColumnSet::LastWrite, false, 0},
    {Cell::kCreation, &ColumnSet::CreationTime, false, 0},
    {Cell::kLastRead, &ColumnSet::LastRead, false, 0},
    {Cell::kType, &ColumnSet::Type, false, 14},
};

size_t LeastWidth(const ListingRun& run, const Column& column) {
  if (column.cell == Cell::kSize && run.Settings->HumanSizes) return kSizeForPeopleWidth;
  return column.least;
}

void AppendTime(std::string& out, const ListingRun& run, uint64_t time) {
  AppendTimeText(out, time, run.Times, run.Settings->Columns.ShowSeconds);
}

void AppendType(std::string& out, ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
  if (const char* link = LinkTypeText(entry)) {
    out += link;
  } else if (IsFolder(entry.Find.dwFileAttributes)) {
    AppendNameEscaped(out, record.Folder);
  } else if (const std::string& description = TypeDescription(entry, run.Types); !description.empty()) {
    AppendNameEscaped(out, description);
  } else {
    AppendNameEscaped(out, record.File);
  }
}

void AppendCellText(std::string& out, ListingRun& run, const FileInfoX& entry, Cell cell) {
  switch (cell) {
    case Cell::kAttributes: {
      std::string letters = AttributeText(entry.Find.dwFileAttributes);
      while (!letters.empty() && letters.back() == ' ') letters.pop_back();
      out += letters;
      break;
    }
    case Cell::kSize:
      // A folder has a size only where the sizes below it were added up.
      if (IsFolder(entry.Find.dwFileAttributes) && run.Subtrees.count(entry.Find.cFileName) == 0) {
        out += '-';
      } else {
        out += run.Settings->HumanSizes ? HumanSize(EntrySize(entry)) : SizeDigits(entry);
      }
      break;
    case Cell::kLastWrite:
      AppendTime(out, run, entry.Find.ftLastWriteTime);
      break;
    case Cell::kCreation:
      AppendTime(out, run, entry.Find.ftCreationTime);
      break;
    case Cell::kLastRead:
      AppendTime(out, run, entry.Find.ftLastAccessTime);
      break;
    case Cell::kType:
      AppendType(out, run, entry);
      break;
  }
}

// The columns a terminal gives the text: one a character, where names are
// UTF-8, one a byte elsewhere.
size_t DisplayWidth(const std::string& text) {
  static const bool names_are_utf8 = PageCharset() == "utf-8";
  if (!names_are_utf8) return text.size();
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool IsShown(const ListingRun& run, const Column& column) { return run.Settings->Columns.*column.shown; }

void WidenColumns(ListingRun& run, const std::deque<FileInfoX>& list) {
  std::string text;
  for (const FileInfoX& entry : list) {
    size_t shown = 0;
    for (const Column& column : kColumns) {
      if (!IsShown(run, column)) continue;
      text.clear();
      AppendCellText(text, run, entry, column.cell);
      run.ColumnWidths[shown] = std::max(run.ColumnWidths[shown], DisplayWidth(text));
      ++shown;
    }
  }
}

}  // namespace

void AppendLongLine(ListingRun& run, const FileInfoX& entry, std::string& row) {
  std::string text;
  size_t shown = 0;
  for (const Column& column : kColumns) {
    if (!IsShown(run, column)) continue;
    text.clear();
    AppendCellText(text, run, entry, column.cell);
    const size_t width = shown < run.ColumnWidths.size() ? run.ColumnWidths[shown] : 0;
    const size_t padding = width - std::min(width, DisplayWidth(text));
    if (column.right) row.append(padding, ' ');
    row += text;
    if (!column.right) row.append(padding, ' ');
    row += "  ";
    ++shown;
  }
  if (run.PathPrefix != nullptr) AppendNameEscaped(row, *run.PathPrefix);
  AppendNameEscaped(row, entry.Find.cFileName);
  if (IsFolder(entry.Find.dwFileAttributes)) row += '/';
  row += "\r\n";
}

void ComposeLongDocument(ListingRun& run) {
  run.ColumnWidths.clear();
  for (const Column& column : kColumns) {
    if (IsShown(run, column)) run.ColumnWidths.push_back(LeastWidth(run, column));
  }
  WidenColumns(run, run.Listing.FolderList);
  WidenColumns(run, run.Listing.FileList);
  const bool descending = run.Settings->DescOrder;
  run.Document = DocumentText();
  AppendListRows(run.Document, EntryList::kFolders, descending);
  AppendListRows(run.Document, EntryList::kFiles, descending);
}

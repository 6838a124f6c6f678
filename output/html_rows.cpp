#include "output/html_rows.h"

#include "output/escapes.h"
#include "output/number_text.h"
#include "output/tree_page.h"

namespace {

void AppendName(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
  const std::string& name = entry.Find.cFileName;
  // In a tree of pages a folder links to its page, and one without a page
  // is not linked at all.
  std::string tree_link;
  const bool linked = run.Tree == nullptr || AppendTreeLink(tree_link, *run.Tree, run.LinkPrefix, entry);
  if (!record.CreateLinks || !linked) {
    row += "<DIV CLASS = NameCl>";
    AppendEscapedHtml(row, name);
    row += "</DIV>";
    return;
  }
  row += "<A HREF = ";
  if (run.Tree != nullptr) {
    row += tree_link;
  } else if (record.FullNames) {
    std::string target = FullLinkForm(run.Folder, entry);
    // A POSIX path already starts at the root; a second "/" would make the
    // target a network address.
    if (target.empty() || target[0] != '/') row += '/';
    row += target;
  } else {
    // "c:x" would read as a scheme; "./c:x" is the file.
    size_t colon = name.find(':');
    if (colon != std::string::npos && colon < name.find_first_of("\\/")) row += "./";
    AppendLinkForm(row, name);
  }
  row += " CLASS = NameCl>";
  AppendEscapedHtml(row, name);
  row += "</A></TD>";
}

void AppendType(std::string& row, const CommonStruct& record, const FileInfoX& entry, FileTypes& types) {
  const char* link = record.ShowLinks ? LinkTypeText(entry) : nullptr;
  if (link != nullptr) {
    AppendEscapedHtml(row, link);
  } else if (IsFolder(entry.Find.dwFileAttributes)) {
    row += record.Folder;
  } else {
    AppendTypeText(row, record.File, entry, types, AppendEscapedHtml);
  }
  row += "</TD>";
}

void AppendSize(std::string& row, const CommonStruct& record, const FileInfoX& entry) {
  if (IsFolder(entry.Find.dwFileAttributes)) {
    row += "[..]</TD>";
    return;
  }
  if (record.HumanSizes) {
    row += HumanSize(EntrySize(entry));
    row += "</TD>";
    return;
  }
  const double size = static_cast<double>(EntrySize(entry));
  switch (record.SizeIn) {
    case kSizeInBytes:
      row += GroupThousands(SizeDigits(entry));
      break;
    case kSizeInKilobytes:
      row += FormatTwoDecimals(size * (1.0 / 1024));
      break;
    case kSizeInMegabytes:
      row += FormatTwoDecimals(size * (1.0 / 1024) * (1.0 / 1024));
      break;
    default:
      break;
  }
  row += ' ';
  row += record.FileSize;
  row += "</TD>";
}

void AppendTime(std::string& row, const ListingRun& run, uint64_t time) {
  AppendTimeText(row, time, run.Times, run.Settings->Columns.ShowSeconds);
  row += "</TD>";
}

// "<TD BGCOLOR = " KeyColColor ">" for the key column, else (and in an
// HTML5 page) "<TD>".
void AppendEntryCellOpen(std::string& row, const CommonStruct& record, bool key) {
  if (key && !record.Html5) {
    row += "<TD BGCOLOR = ";
    row += record.KeyColColor;
    row += '>';
  } else {
    row += "<TD>";
  }
}

enum class Cell { kName, kType, kSize, kLastWrite, kCreation, kLastRead, kAttributes };

struct Column {
  Cell cell;
  bool ColumnSet::*shown;  // null: always shown
  int32_t key;
  std::string CommonStruct::*caption;
};

// Table order; it differs from the letter order of the column setting.
constexpr Column kColumns[] = {
    {Cell::kName, nullptr, kSortByName, &CommonStruct::Name},
    {Cell::kType, &ColumnSet::Type, kSortByType, &CommonStruct::Type},
    {Cell::kSize, &ColumnSet::Size, kSortBySize, &CommonStruct::Size},
    {Cell::kLastWrite, &ColumnSet::LastWrite, kSortByLastWrite, &CommonStruct::LW},
    {Cell::kCreation, &ColumnSet::CreationTime, kSortByCreation, &CommonStruct::CT},
    {Cell::kLastRead, &ColumnSet::LastRead, kSortByLastRead, &CommonStruct::LR},
    {Cell::kAttributes, &ColumnSet::Attributes, kSortByAttributes, &CommonStruct::Attr},
};

bool IsShown(const CommonStruct& record, const Column& column) {
  return column.shown == nullptr || record.Columns.*column.shown;
}

void AppendCell(std::string& row, ListingRun& run, const FileInfoX& entry, Cell cell) {
  const CommonStruct& record = *run.Settings;
  switch (cell) {
    case Cell::kName:
      AppendName(row, run, entry);
      break;
    case Cell::kType:
      AppendType(row, record, entry, run.Types);
      break;
    case Cell::kSize:
      AppendSize(row, record, entry);
      break;
    case Cell::kLastWrite:
      AppendTime(row, run, entry.Find.ftLastWriteTime);
      break;
    case Cell::kCreation:
      AppendTime(row, run, entry.Find.ftCreationTime);
      break;
    case Cell::kLastRead:
      AppendTime(row, run, entry.Find.ftLastAccessTime);
      break;
    case Cell::kAttributes:
      row += AttributeText(entry.Find.dwFileAttributes);
      row += "</TD>";
      break;
  }
}

}  // namespace

std::string CaptionCellOpen(const CommonStruct& record, bool key) {
  if (record.Html5) return "<TD>";
  return "<TD BGCOLOR = " + (key ? record.KeyCapColor : record.CapColor) + ">";
}

std::string ComposeCaptionRow(const CommonStruct& record) {
  std::string caption_row = "<TR CLASS = CaptionCl>";
  for (const Column& column : kColumns) {
    if (!IsShown(record, column)) continue;
    caption_row += CaptionCellOpen(record, record.SortBy == column.key);
    caption_row += record.*column.caption;
    caption_row += "</TD>";
  }
  caption_row += "</TR>\n";
  return caption_row;
}

void AppendEntryRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  const CommonStruct& record = *run.Settings;
  row += "<TR>";
  for (const Column& column : kColumns) {
    if (!IsShown(record, column)) continue;
    AppendEntryCellOpen(row, record, record.SortBy == column.key);
    AppendCell(row, run, entry, column.cell);
  }
  row += "</TR>\n";
}

#include "output/page_rows.h"

#include "listing/column_values.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "output/tree_page.h"

namespace {

enum class Cell { kName, kType, kSize, kLastWrite, kCreation, kLastRead, kAttributes };

struct Column {
  Cell cell;
  bool ColumnSet::*shown;  // null: always shown
  int32_t key;
  std::string CommonStruct::*caption;
  const char* sort;  // how the page's script orders the column's values
};

// The classic table's order, which differs from the letters' order.
constexpr Column kColumns[] = {
    {Cell::kName, nullptr, kSortByName, &CommonStruct::Name, "name"},
    {Cell::kType, &ColumnSet::Type, kSortByType, &CommonStruct::Type, "text"},
    {Cell::kSize, &ColumnSet::Size, kSortBySize, &CommonStruct::Size, "size"},
    {Cell::kLastWrite, &ColumnSet::LastWrite, kSortByLastWrite, &CommonStruct::LW, "time"},
    {Cell::kCreation, &ColumnSet::CreationTime, kSortByCreation, &CommonStruct::CT, "time"},
    {Cell::kLastRead, &ColumnSet::LastRead, kSortByLastRead, &CommonStruct::LR, "time"},
    {Cell::kAttributes, &ColumnSet::Attributes, kSortByAttributes, &CommonStruct::Attr, "text"},
};

bool IsShown(const CommonStruct& record, const Column& column) {
  return column.shown == nullptr || record.Columns.*column.shown;
}

void AppendName(std::string& row, const ListingRun& run, const FileInfoX& entry, bool parent) {
  const CommonStruct& record = *run.Settings;
  const std::string& name = entry.Find.cFileName;
  // In a tree of pages a folder links to its page, and one without a page
  // is not linked at all.
  std::string tree_link;
  const bool linked = run.Tree == nullptr || AppendTreeLink(tree_link, *run.Tree, run.LinkPrefix, entry);
  if (!record.CreateLinks || !linked) {
    AppendVisibleHtml(row, name);
    return;
  }
  row += "<a href=\"";
  if (run.Tree != nullptr) {
    row += tree_link;
  } else if (parent) {
    row += run.LinkPrefix + "../";
  } else {
    // "c:x" would read as a scheme ("javascript:" too); "./c:x" is the entry.
    const size_t colon = name.find(':');
    if (run.LinkPrefix.empty() && colon != std::string::npos && colon < name.find_first_of("\\/"))
      row += "./";
    row += run.LinkPrefix;
    AppendLinkForm(row, name);
    if (IsFolder(entry.Find.dwFileAttributes)) row += '/';
  }
  row += "\">";
  AppendVisibleHtml(row, name);
  row += "</a>";
}

// A folder's size is the total below it where that was added up: the
// counts in its title, and "≥" before a total that a folder it could not
// read leaves short.
void AppendSize(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
  const bool folder = IsFolder(entry.Find.dwFileAttributes);
  const auto totals = folder ? run.Subtrees.find(entry.Find.cFileName) : run.Subtrees.end();
  if (folder && (!run.SizesAddedUp || totals == run.Subtrees.end())) {
    row += "<td></td>";
    return;
  }
  const uint64_t bytes = EntrySize(entry);
  const std::string digits = std::to_string(bytes);
  row += "<td data-bytes=\"";
  row += digits;
  row += "\" title=\"";
  AppendGroupedThousands(row, digits, ',');
  row += ' ';
  AppendEscapedHtml(row, record.FileSize);
  if (folder) {
    row += "; ";
    AppendEscapedHtml(row, record.Files);
    row += ": " + std::to_string(totals->second.Files) + ", ";
    AppendEscapedHtml(row, record.Folders);
    row += ": " + std::to_string(totals->second.Folders);
  }
  row += "\">";
  // An entity, whatever character set the page has.
  if (folder && totals->second.Incomplete) row += "&ge;&#8201;";
  row += HumanSize(bytes);
  row += "</td>";
}

// The counts from here on have no time text (see AppendIsoTime).
constexpr uint64_t kNoTime = uint64_t{1} << 63;

// A time for people, in UTC and saying so: the same text wherever and
// whenever the page is written and read. A time without a text leaves its
// cell empty rather than holding a <time> without a date.
void AppendTime(std::string& row, const CommonStruct& record, uint64_t time) {
  if (time >= kNoTime) {
    row += "<td></td>";
    return;
  }
  row += "<td><time datetime=\"";
  AppendIsoTime(row, time, IsoTime::kMachine);
  row += "\">";
  AppendIsoTime(row, time, record.Columns.ShowSeconds ? IsoTime::kSeconds : IsoTime::kMinutes);
  row += " UTC</time></td>";
}

void AppendCell(std::string& row, ListingRun& run, const FileInfoX& entry, Cell cell, bool parent) {
  const CommonStruct& record = *run.Settings;
  switch (cell) {
    case Cell::kName:
      row += "<td>";
      AppendName(row, run, entry, parent);
      row += "</td>";
      break;
    case Cell::kType:
      row += "<td>";
      if (const char* link = LinkTypeText(entry)) {
        AppendEscapedHtml(row, link);
      } else if (IsFolder(entry.Find.dwFileAttributes)) {
        AppendEscapedHtml(row, record.Folder);
      } else if (const std::string& description = TypeDescription(entry, run.Types); !description.empty()) {
        AppendVisibleHtml(row, description);
      } else {
        // A type the system does not know is a file, whatever its extension.
        row += run.FileWord;
      }
      row += "</td>";
      break;
    case Cell::kSize:
      AppendSize(row, run, entry);
      break;
    case Cell::kLastWrite:
      AppendTime(row, record, entry.Find.ftLastWriteTime);
      break;
    case Cell::kCreation:
      AppendTime(row, record, entry.Find.ftCreationTime);
      break;
    case Cell::kLastRead:
      AppendTime(row, record, entry.Find.ftLastAccessTime);
      break;
    case Cell::kAttributes:
      row += "<td>";
      row += AttributeText(entry.Find.dwFileAttributes);
      row += "</td>";
      break;
  }
}

void AppendRow(ListingRun& run, const FileInfoX& entry, std::string& row, bool parent) {
  row += "<tr>";
  for (const Column& column : kColumns) {
    if (IsShown(*run.Settings, column)) AppendCell(row, run, entry, column.cell, parent);
  }
  row += "</tr>\n";
}

}  // namespace

std::string ComposePageCaptionRow(const CommonStruct& record) {
  std::string caption_row = "<tr>";
  for (const Column& column : kColumns) {
    if (!IsShown(record, column)) continue;
    caption_row += "<th scope=\"col\" data-sort=\"";
    caption_row += column.sort;
    caption_row += '"';
    if (record.SortBy == column.key) {
      caption_row += record.DescOrder ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
    }
    caption_row += '>';
    AppendEscapedHtml(caption_row, record.*column.caption);
    caption_row += "</th>";
  }
  caption_row += "</tr>\n";
  return caption_row;
}

void AppendPageRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  if (!IsParentEntry(entry)) AppendRow(run, entry, row, false);
}

void AppendParentRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  AppendRow(run, entry, row, true);
}

#include "output/html_rows.h"

#include "listing/column_values.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "output/tree_page.h"
#include "settings/columns.h"

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

void AppendType(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
  const char* link = record.ShowLinks ? LinkTypeText(entry) : nullptr;
  if (link != nullptr) {
    AppendEscapedHtml(row, link);
  } else if (IsFolder(entry.Find.dwFileAttributes)) {
    row += record.Folder;
  } else {
    AppendTypeText(row, record.File, entry, run.Listing.Values, AppendEscapedHtml);
  }
  row += "</TD>";
}

void AppendSize(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const CommonStruct& record = *run.Settings;
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
    default:  // a unit of no name shows no number
      break;
  }
  row += ' ';
  row += record.FileSize;
  row += "</TD>";
}

void AppendTime(std::string& row, const ListingRun& run, uint64_t time) {
  AppendTimeText(row, time, run.Times, run.Settings->Columns.Has(ColumnId::kSeconds));
  row += "</TD>";
}

void AppendLastWrite(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(row, run, entry.Find.ftLastWriteTime);
}

void AppendCreation(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(row, run, entry.Find.ftCreationTime);
}

void AppendLastRead(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  AppendTime(row, run, entry.Find.ftLastAccessTime);
}

void AppendAttributes(std::string& row, const ListingRun&, const FileInfoX& entry) {
  row += AttributeText(entry.Find.dwFileAttributes);
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

// The cells of the classic table, in its order, which differs from the
// letters' order of the column setting.
struct Cell {
  ColumnId column;
  void (*append)(std::string& row, const ListingRun& run, const FileInfoX& entry);
};

constexpr Cell kCells[] = {
    {ColumnId::kName, AppendName},
    {ColumnId::kType, AppendType},
    {ColumnId::kSize, AppendSize},
    {ColumnId::kLastWrite, AppendLastWrite},
    {ColumnId::kCreation, AppendCreation},
    {ColumnId::kLastRead, AppendLastRead},
    {ColumnId::kAttributes, AppendAttributes},
};

}  // namespace

std::string CaptionCellOpen(const CommonStruct& record, bool key) {
  if (record.Html5) return "<TD>";
  return "<TD BGCOLOR = " + (key ? record.KeyCapColor : record.CapColor) + ">";
}

std::string ComposeCaptionRow(const CommonStruct& record, const std::vector<DigestAlgorithm>& checksums) {
  std::string caption_row = "<TR CLASS = CaptionCl>";
  for (const Cell& cell : kCells) {
    if (!ShowsColumn(record, cell.column)) continue;
    caption_row += CaptionCellOpen(record, IsSortColumn(record, cell.column));
    caption_row += ColumnCaption(record, cell.column);
    caption_row += "</TD>";
  }
  for (DigestAlgorithm algorithm : checksums)
    caption_row += CaptionCellOpen(record, false) + DigestName(algorithm) + "</TD>";
  caption_row += "</TR>\n";
  return caption_row;
}

void AppendEntryRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  const CommonStruct& record = *run.Settings;
  row += "<TR>";
  for (const Cell& cell : kCells) {
    if (!ShowsColumn(record, cell.column)) continue;
    AppendEntryCellOpen(row, record, IsSortColumn(record, cell.column));
    cell.append(row, run, entry);
  }
  // Asked for on the command line alone, after the columns: whole, since
  // this page has no style to shorten them; empty for what has none.
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  for (size_t at = 0; at < run.Checksums.size(); ++at) {
    AppendEntryCellOpen(row, record, false);
    if (sums != nullptr) row += "<TT>" + (*sums)[at] + "</TT>";
    row += "</TD>";
  }
  row += "</TR>\n";
}

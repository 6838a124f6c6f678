#include "output/page_rows.h"

#include "listing/column_values.h"
#include "output/escapes.h"
#include "output/number_text.h"
#include "output/tree_page.h"
#include "settings/columns.h"

namespace {

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

// What a cell is for: the entry, and whether it is the parent entry.
struct RowEntry {
  const FileInfoX& entry;
  bool parent;
};

void AppendNameCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  row += "<td>";
  AppendName(row, run, at.entry, at.parent);
  row += "</td>";
}

void AppendTypeCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  const FileInfoX& entry = at.entry;
  row += "<td>";
  if (const char* link = LinkTypeText(entry)) {
    AppendEscapedHtml(row, link);
  } else if (IsFolder(entry.Find.dwFileAttributes)) {
    AppendEscapedHtml(row, run.Settings->Folder);
  } else if (const std::string& description = TypeDescription(entry, run.Listing.Values);
             !description.empty()) {
    AppendVisibleHtml(row, description);
  } else {
    // A type the system does not know is a file, whatever its extension.
    row += run.FileWord;
  }
  row += "</td>";
}

// A folder's size is the total below it where that was added up: the
// counts in its title, and "≥" before a total that a folder it could not
// read leaves short.
void AppendSizeCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  const FileInfoX& entry = at.entry;
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
// cell empty rather than holding a <time> without a date, and so does a
// count of 0: a time that a listing read from a file did not tell (no disk
// holds files of 1601).
void AppendTime(std::string& row, const ListingRun& run, uint64_t time) {
  if (time == 0 || time >= kNoTime) {
    row += "<td></td>";
    return;
  }
  row += "<td><time datetime=\"";
  AppendIsoTime(row, time, IsoTime::kMachine);
  row += "\">";
  const bool seconds = run.Settings->Columns.Has(ColumnId::kSeconds);
  AppendIsoTime(row, time, seconds ? IsoTime::kSeconds : IsoTime::kMinutes);
  row += " UTC</time></td>";
}

void AppendLastWriteCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  AppendTime(row, run, at.entry.Find.ftLastWriteTime);
}

void AppendCreationCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  AppendTime(row, run, at.entry.Find.ftCreationTime);
}

void AppendLastReadCell(std::string& row, const ListingRun& run, const RowEntry& at) {
  AppendTime(row, run, at.entry.Find.ftLastAccessTime);
}

void AppendAttributesCell(std::string& row, const ListingRun&, const RowEntry& at) {
  row += "<td>";
  row += AttributeText(at.entry.Find.dwFileAttributes);
  row += "</td>";
}

// The page's cells, in the classic table's order, which differs from the
// letters' order.
struct Cell {
  ColumnId column;
  void (*append)(std::string& row, const ListingRun& run, const RowEntry& at);
  const char* sort;  // how the page's script orders the column's values
};

constexpr Cell kCells[] = {
    {ColumnId::kName, AppendNameCell, "name"},
    {ColumnId::kType, AppendTypeCell, "text"},
    {ColumnId::kSize, AppendSizeCell, "size"},
    {ColumnId::kLastWrite, AppendLastWriteCell, "time"},
    {ColumnId::kCreation, AppendCreationCell, "time"},
    {ColumnId::kLastRead, AppendLastReadCell, "time"},
    {ColumnId::kAttributes, AppendAttributesCell, "text"},
};

// A checksum cell per algorithm asked, after the columns: the whole digest
// as its text, which the style shortens to its start and an ellipsis, so
// that selecting or copying it takes it whole; its title shows it whole.
// Empty for what has none.
void AppendChecksumCells(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  for (size_t at = 0; at < run.Checksums.size(); ++at) {
    if (sums == nullptr) {
      row += "<td></td>";
      continue;
    }
    const std::string& digest = (*sums)[at];
    row += "<td class=\"sum\"><code title=\"" + digest + "\">" + digest + "</code></td>";
  }
}

void AppendRow(ListingRun& run, const FileInfoX& entry, std::string& row, bool parent) {
  row += "<tr>";
  const RowEntry at{entry, parent};
  for (const Cell& cell : kCells) {
    if (ShowsColumn(*run.Settings, cell.column)) cell.append(row, run, at);
  }
  AppendChecksumCells(row, run, entry);
  row += "</tr>\n";
}

}  // namespace

std::string ComposePageCaptionRow(const CommonStruct& record, const std::vector<DigestAlgorithm>& checksums) {
  std::string caption_row = "<tr>";
  for (const Cell& cell : kCells) {
    if (!ShowsColumn(record, cell.column)) continue;
    caption_row += "<th scope=\"col\" data-sort=\"";
    caption_row += cell.sort;
    caption_row += '"';
    if (IsSortColumn(record, cell.column)) {
      caption_row += record.DescOrder ? " aria-sort=\"descending\"" : " aria-sort=\"ascending\"";
    }
    caption_row += '>';
    AppendEscapedHtml(caption_row, ColumnCaption(record, cell.column));
    caption_row += "</th>";
  }
  for (DigestAlgorithm algorithm : checksums)
    caption_row += std::string("<th scope=\"col\" data-sort=\"text\">") + DigestName(algorithm) + "</th>";
  caption_row += "</tr>\n";
  return caption_row;
}

void AppendPageRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  if (!IsParentEntry(entry)) AppendRow(run, entry, row, false);
}

void AppendParentRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  AppendRow(run, entry, row, true);
}

// One generation of a listing: everything it computes from the settings and
// the folder, kept apart from the settings, which it only reads. A run owns
// what it holds and points only to what outlives it (the settings, its form,
// the place's tree of pages), so it may be copied and moved.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/document_text.h"
#include "settings/common_struct.h"

struct OutputForm;
struct TreePage;

// The counts and sizes of a listing, as numbers and as the texts that the
// placeholders insert.
struct ListingTotals {
  uint64_t FolderCount = 0;  // the parent entry not counted
  uint64_t FileCount = 0;
  int64_t TotalBytes = 0;
  bool BytesKnown = true;  // false where the files' sizes are not known
  std::string FolderCountText;
  std::string FileCountText;
  std::string TotalBytesText;
  std::string TotalKbText;
  std::string TotalMbText;
  // The total as a summary shows it: the bytes and the $FileSize word, or
  // the size for people with its unit.
  std::string SummarySizeText;
};

// What lies below a sub-folder of a listing, where the walk added it up
// (--du): the files' bytes, each file with several names counted once, and
// the files and folders below it.
struct SubtreeTotals {
  uint64_t Bytes = 0;
  uint64_t Files = 0;
  uint64_t Folders = 0;
  bool Incomplete = false;  // a folder below could not be read: a lower bound
};

struct ListingRun {
  const CommonStruct* Settings = nullptr;
  const OutputForm* Form = nullptr;
  std::string Folder;  // the folder listed
  // The folder as the user gave it (FOLDER as typed, or the folder's own
  // name), which a page to publish shows instead of the folder listed; the
  // folder listed where nobody gave one. In a tree of pages, the way from
  // the top as the page names it (TreePathShown: "photos / 2024 / june").
  std::string FolderShown;
  // The way from the folder of the page to the folder listed, already a link
  // ("../photos/"), where a page stands apart from what it lists; every link
  // to an entry starts with it (in a tree of pages, every link to a file).
  std::string LinkPrefix;
  // The folder's path below the top of a tree with a closing separator,
  // written before each name by the forms of one line per entry (csv,
  // names); null for a listing of its own. The walk's own text, which holds
  // this folder's path while its rows are written.
  const std::string* PathPrefix = nullptr;
  DirFileStruct Listing;
  ListingTotals Totals;
  // The totals below each sub-folder, by name, where the walk added them up;
  // SizesAddedUp says the forms show them in place of a folder's size.
  std::map<std::string, SubtreeTotals> Subtrees;
  bool SizesAddedUp = false;
  // The files' sizes are not known (a listing read from a source without
  // them): the forms for programs leave them empty.
  bool SizesUnknown = false;
  // The texts that may hold placeholders, substituted.
  std::string Title;
  // The title with the folder as it stands, for a form that writes the whole
  // title as text and escapes it itself.
  std::string TitleText;
  std::string HeadCustom;
  std::string CustTable;
  std::string After;
  std::string Befor;
  // Pieces of the HTML page.
  std::string StyleBlock;
  std::string BaseHref;
  std::string CaptionRow;
  // The $File word as the form writes it, for the type column.
  std::string FileWord;
  // The widths of the columns that a form aligns, one per column shown.
  std::vector<size_t> ColumnWidths;
  DocumentText Document;
  // The page's place in a tree of pages; null for a listing of its own.
  const TreePage* Tree = nullptr;
  TimeLayout Times = TimeLayout::kClassic;
  // The rows are the form's NUL-ended records, written as composed; only
  // for a form that has them.
  bool NullEnds = false;
  // The checksums the rows show, in this order (Listing.Values holds them).
  std::vector<DigestAlgorithm> Checksums;
};

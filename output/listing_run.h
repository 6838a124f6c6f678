// One generation of a listing: everything it computes from the settings and
// the folder, kept apart from the settings, which it only reads. A run owns
// what it holds and points only to what outlives it (the settings, its form,
// the folder source of the type lookups), so it may be copied and moved.
#pragma once

#include <cstdint>
#include <string>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/document_text.h"
#include "settings/common_struct.h"

struct OutputForm;

// The counts and sizes of a listing, as numbers and as the texts that the
// placeholders insert.
struct ListingTotals {
  uint64_t FolderCount = 0;  // the parent entry not counted
  uint64_t FileCount = 0;
  int64_t TotalBytes = 0;
  std::string FolderCountText;
  std::string FileCountText;
  std::string TotalBytesText;
  std::string TotalKbText;
  std::string TotalMbText;
  // The total as a summary shows it: the bytes and the $FileSize word, or
  // the size for people with its unit.
  std::string SummarySizeText;
};

struct ListingRun {
  const CommonStruct* Settings = nullptr;
  const OutputForm* Form = nullptr;
  std::string Folder;  // the folder listed
  DirFileStruct Listing;
  ListingTotals Totals;
  // The texts that may hold placeholders, substituted.
  std::string Title;
  std::string HeadCustom;
  std::string CustTable;
  std::string After;
  std::string Befor;
  // Pieces of the HTML page.
  std::string StyleBlock;
  std::string BaseHref;
  std::string CaptionRow;
  DocumentText Document;
  FileTypes Types;  // looked up as the rows are composed
  TimeLayout Times = TimeLayout::kClassic;
};

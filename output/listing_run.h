// One generation of a listing: everything it computes from the settings and
// the folder, kept apart from the settings, which it only reads. A run owns
// what it holds and points only to what outlives it (the settings, its form,
// the folder source of the type lookups), so it may be copied and moved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
  // The rows are the form's NUL-ended records, written as composed; only
  // for a form that has them.
  bool NullEnds = false;
};

// Writes the run's document to the sink, its rows composed by its form on
// the way: each line end as the platform's, or as composed where the form
// keeps its own or the rows end in NULs. False when a write fails.
bool WriteRun(ListingRun& run, ByteSink& sink);
// The run's document as one text, line ends as composed.
std::string FlattenRun(ListingRun& run);
// The length of the run's document as composed.
size_t RunLength(ListingRun& run);

// The rows of the classic HTML listing table: the caption row and one row
// per entry.
#pragma once

#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/listing_run.h"
#include "settings/common_struct.h"

// "<TD BGCOLOR = " and the key or ordinary caption colour, then ">"; "<TD>"
// in an HTML5 page (Html5).
std::string CaptionCellOpen(const CommonStruct& record, bool key);

// One caption cell per shown column.
// The caption row, with a cell named after each algorithm of the checksums
// shown after the columns.
std::string ComposeCaptionRow(const CommonStruct& record, const std::vector<DigestAlgorithm>& checksums = {});

// Appends the entry's table row to row.
void AppendEntryRow(ListingRun& run, const FileInfoX& entry, std::string& row);

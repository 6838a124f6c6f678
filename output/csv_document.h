// The listing as CSV (RFC 4180), for spreadsheets: a header row of the
// field names, then one row per entry.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the entry's row: its fields in the header's order, CR LF.
void AppendCsvRow(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the run's document to the header row and the rows of the entries.
// The line ends are CR LF on every platform, as RFC 4180 has them.
void ComposeCsvDocument(ListingRun& run);

// The start of every CSV document: a UTF-8 byte-order mark where CsvBom is
// "1", or where it is not "0" and the platform has one by default
// (CsvByteOrderMarkByDefault); then the header row, CR LF.
std::string CsvHeader(const ListingRun& run);

// The classic plain-text listing: a title, the masks, the names and a summary.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the entry's line to row: its name, control bytes escaped, and "\r\n".
void AppendEntryLine(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the run's document to the text listing; its lists, totals and
// substituted texts must be ready.
void ComposeTextDocument(ListingRun& run);

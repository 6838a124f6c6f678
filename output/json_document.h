// The listing as one JSON document, for programs: the folder, the settings
// that shaped the listing, the totals and one object per entry.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the entry's object on a line of its own, after a comma unless it
// is the document's first entry.
void AppendJsonEntry(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the run's document to the JSON object; its lists and totals must be
// ready. The line ends are LF on every platform.
void ComposeJsonDocument(ListingRun& run);

// The names alone, one per line, folders first as sorted: for shell loops.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the entry's name escaped as `ls -b` escapes it (AppendNameEscaped)
// and "\r\n": a line never splits, and two names never read the same.
void AppendNameLine(ListingRun& run, const FileInfoX& entry, std::string& row);

// Appends the entry's name exactly as it is and a NUL.
void AppendNullEndedName(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the run's document to the rows of the folders, then of the files.
void ComposeNamesDocument(ListingRun& run);

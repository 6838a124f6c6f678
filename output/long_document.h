// The long listing: one line per entry in aligned columns, as `ls -l` and
// `tree -sDh` print them, for people reading a terminal.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the entry's line: the shown columns of Columns in the order
// attributes, size, last write, creation, last read, type, each padded to
// its width in the run (sizes to the right, the others to the left; see
// ComposeLongDocument) and
// followed by two blanks, then the name escaped as the names form escapes
// it (a folder's with "/" after it, a tree's below the top with its path),
// and "\r\n". Sizes are bytes, or for people with HumanSizes ("1.2 MB"), "-"
// for a folder; times in the layout of TimeStyle; the type as the standards
// page gives it.
void AppendLongLine(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the widths of the run's columns from every entry (each at least as
// wide as its usual texts, so that the folders of a tree align), then its
// document to the lines of the folders and then of the files, nothing else.
void ComposeLongDocument(ListingRun& run);

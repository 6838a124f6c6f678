// The rows of the standards page's table: its header row and one row per
// entry, every name written as text and linked relative to the page.
#pragma once

#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/listing_run.h"
#include "settings/common_struct.h"

// The header row: one <th scope="col"> per shown column in table order, each
// with the kind of sort its values take (data-sort: name, text, size, time),
// the column of SortBy marked with aria-sort in the order of DescOrder; then
// one per checksum, named as its algorithm.
std::string ComposePageCaptionRow(const CommonStruct& record, const std::vector<DigestAlgorithm>& checksums);

// Appends the row of one entry to row: a file links to its name, a folder
// to its name and "/", each after the run's LinkPrefix. The parent entry gets no row here: the document
// holds it apart, first in either order (see AppendParentRow).
void AppendPageRow(ListingRun& run, const FileInfoX& entry, std::string& row);

// Appends the parent entry's row, which links to "../" (after LinkPrefix).
void AppendParentRow(ListingRun& run, const FileInfoX& entry, std::string& row);

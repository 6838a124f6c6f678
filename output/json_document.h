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

// A whole tree as one JSON document: the top folder and the settings, then
// "entries" with each folder's listing nested in its entry as "entries" of
// its own, and the tree's totals at the end, once they are known.
std::string JsonTreeHead(const ListingRun& top);
std::string JsonTreeTail(const ListingTotals& totals);
// A row of a folder nested depth levels deep, indented to its depth.
void IndentJsonRow(std::string& row, size_t depth);
// Turns a folder's row into the opening of its listing, whose rows follow.
void OpenJsonFolder(std::string& row, size_t depth);
// Ends the listing of a folder nested depth levels deep.
std::string CloseJsonFolder(size_t depth, const SubtreeTotals* totals);
// Tells in the folder's row why its listing could not be made.
void FailJsonFolder(std::string& row, const std::string& reason);

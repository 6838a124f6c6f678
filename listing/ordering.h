// The order of entries under a sort code.
#pragma once

#include <deque>
#include <string_view>

#include "listing/entry.h"

// Negative when a orders before b, positive when after, 0 when neither,
// comparing names lower-cased when ignore_case is set, and with natural set
// their runs of digits as the numbers they write (a2 before a10). The parent
// entry ".." orders before every other; ties of the sort key fall back to
// the names.
int CompareEntries(const FileInfoX& a, const FileInfoX& b, int sort_code, bool ignore_case,
                   bool natural = false);

// Inserts the entry into an ascending list so that it stays ascending; an
// entry that compares 0 with others goes after them.
void InsertSorted(std::deque<FileInfoX>& list, FileInfoX entry, int sort_code, bool ignore_case,
                  bool natural = false);

// Sorts a list in enumeration order into ascending order: the order that
// inserting the entries one by one gives, at O(n log n). Entries that
// compare 0 keep their enumeration order.
void SortEntries(std::deque<FileInfoX>& list, int sort_code, bool ignore_case, bool natural = false);

// Names compared as version sorting does: first without their file
// suffixes (".txt", ".tar.gz"), then whole; runs of digits by the numbers
// they write (leading zeros first among equals), other bytes as bytes.
int CompareNatural(std::string_view a, std::string_view b);

// The order of entries under a sort code: the step that puts a listing's
// lists in their final order, which every form writes as it stands.
#pragma once

#include <deque>
#include <string_view>

#include "listing/entry.h"
#include "settings/common_struct.h"

// How a listing is ordered.
struct EntryOrder {
  SortCode Sort = kSortByName;
  bool Descending = false;  // from the greatest key to the smallest
  bool IgnoreCase = false;
  bool Natural = false;  // runs of digits compare as numbers
};

// The order the settings ask for: SortBy, DescOrder, IgnoreCase, NaturalOrder.
EntryOrder EntryOrderOf(const CommonStruct& settings);

// Puts both lists of a scan in their final order: ascending as SortEntries
// sorts, or where the order descends that order turned round, the parent
// entry then last and entries that compare 0 in the reverse of their
// enumeration order, as reading the ascending list backwards gives them.
void OrderListing(DirFileStruct& listing, const EntryOrder& order);

// A test oracle of SortEntries: negative when a orders before b, positive
// when after, 0 when neither,
// comparing names lower-cased when ignore_case is set, and with natural set
// their runs of digits as the numbers they write (a2 before a10). The parent
// entry ".." orders before every other; ties of the sort key fall back to
// the names.
int CompareEntries(const FileInfoX& a, const FileInfoX& b, SortCode sort_code, bool ignore_case,
                   bool natural = false);

// A test oracle of SortEntries: inserts the entry into an ascending list so
// that it stays ascending; an entry that compares 0 with others goes after
// them.
void InsertSorted(std::deque<FileInfoX>& list, FileInfoX entry, SortCode sort_code, bool ignore_case,
                  bool natural = false);

// Sorts a list in enumeration order into ascending order: the order that
// inserting the entries one by one gives, at O(n log n). Entries that
// compare 0 keep their enumeration order. Descending, the list ends in that
// order turned round, at no further cost.
void SortEntries(std::deque<FileInfoX>& list, SortCode sort_code, bool ignore_case, bool natural = false,
                 bool descending = false);

// Names compared as version sorting does: first without their file
// suffixes (".txt", ".tar.gz"), then whole; runs of digits by the numbers
// they write (leading zeros first among equals), other bytes as bytes.
int CompareNatural(std::string_view a, std::string_view b);

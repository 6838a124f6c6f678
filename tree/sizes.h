// Folder sizes (--du): what lies below each folder, added up as the walk
// completes folders, each folder's total set on its entry in its parent's
// listing, so that every form shows it where it shows a size.
#pragma once

#include "settings/common_struct.h"
#include "tree/walk.h"

// The walk's hook for a complete folder: adds its totals to its parent's.
// A folder that could not be listed makes its parent's total a lower bound.
void AddUpSizes(WalkFolder& folder);

// Sets a complete sub-folder's totals on its entry in its parent's listing,
// where every form shows a size; by the consumer that holds the parent's
// listing, so that no row composed before shows them on one run and not on
// another.
void ShowTotals(WalkFolder& parent, const WalkFolder& child);
// The same for every entered sub-folder of a complete folder.
void ShowAllTotals(WalkFolder& folder);

// Puts the folder's sub-folders, and its children with them, in the order
// of their totals, where the settings sort by size; for a complete folder
// whose totals are shown and whose rows are still to come.
void OrderByTotals(const CommonStruct& settings, WalkFolder& folder);

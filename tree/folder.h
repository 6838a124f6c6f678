// One folder listed through the walk, for what a listing of one folder
// cannot do alone: its sub-folders' totals (--du), walked on the pool, and
// the ignore files of the folders above it and its own.
#pragma once

#include <string>

#include "output/forms.h"
#include "output/generate.h"
#include "output/listing_run.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// Lists the place's folder into run as ComposeListing does, its sub-folders
// walked below it for their totals where rules.Sizes asks (to rules'
// depth), in the order of the totals where the settings sort by size.
// Folders below that cannot be listed go to report, and make a total a lower
// bound. kCannotReadFolder (with the reason) when the folder itself cannot.
GenerateStatus ComposeFolder(const CommonStruct& settings, const ListingPlace& place, const OutputForm& form,
                             const WalkRules& rules, TreeDisk& disk, FolderSource& source,
                             const WalkReport& report, ListingRun& run, std::string& reason);

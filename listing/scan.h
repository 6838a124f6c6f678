// The scan of one folder level into the two sorted entry lists.
#pragma once

#include <string>

#include "listing/entry.h"
#include "platform/platform.h"
#include "settings/common_struct.h"

// The whole scan of the folder: the folders matching DirMask, then the files
// matching FileMask, each list in ascending order under SortBy, the parent
// entry kept only with IncludeParent, and the files' total size. A mask
// matching nothing gives empty lists. False, with the system's reason in
// failure and both lists empty, when the folder could not be read. Reads
// the settings only.
bool ScanListing(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                 DirFileStruct& listing, std::string& failure);

// The scan of one folder level into the two sorted entry lists.
#pragma once

#include <string>

#include "platform/platform.h"
#include "settings/common_struct.h"

// The whole scan: the folders matching DirMask, then the files matching
// FileMask, each list in ascending order under SortBy, the parent entry kept
// only with IncludeParent, and TotalBytes. Rows are left to the output form.
// A mask matching nothing gives empty lists. False, with the system's reason
// in failure and both lists empty, when the folder could not be read.
bool ScanListing(CommonStruct& record, FolderSource& source, std::string& failure);

// Replaces FolderList; false as ScanListing.
bool ScanFolders(CommonStruct& record, FolderSource& source, std::string& failure);
// Replaces FileList and TotalBytes; false as ScanListing.
bool ScanFiles(CommonStruct& record, FolderSource& source, std::string& failure);

// The scan of one folder level into the two sorted entry lists.
#pragma once

#include "platform/platform.h"
#include "settings/common_struct.h"

// The whole scan: the folders matching DirMask, then the files matching
// FileMask, each list in ascending order under SortBy, the parent entry kept
// only with IncludeParent, and TotalBytes. Rows are left to the output form.
// An unreadable folder or a mask matching nothing gives empty lists.
void ScanListing(CommonStruct& record, FolderSource& source);

// Replaces FolderList.
void ScanFolders(CommonStruct& record, FolderSource& source);
// Replaces FileList and TotalBytes.
void ScanFiles(CommonStruct& record, FolderSource& source);

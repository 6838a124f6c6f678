// The scan of one folder level into the two sorted entry lists.
#pragma once

#include <memory>
#include <string>

#include "listing/column_values.h"
#include "settings/common_struct.h"

// The whole scan: the base address, then the folders matching DirMask, then
// the files matching FileMask, each entry with its finished row. An unreadable
// folder or a mask matching nothing gives empty lists.
void ScanListing(CommonStruct& record, FolderSource& source);

// Replaces FolderList.
void ScanFolders(CommonStruct& record, FolderSource& source, FileTypes& types);
// Replaces FileList and TotalBytes.
void ScanFiles(CommonStruct& record, FolderSource& source, FileTypes& types);

// An entry of the record's folder, with its row for the record's output form.
FileInfoX BuildEntry(const CommonStruct& record, const FolderRecord& find,
                     const std::shared_ptr<const std::string>& folder, FileTypes& types);

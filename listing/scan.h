// The scan of one folder level into the two sorted entry lists.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"
#include "settings/common_struct.h"

// The whole scan of the folder: the folders matching DirMask, then the files
// matching FileMask (";" separating several patterns of a mask), each list
// in ascending order under SortBy, the parent entry kept only with
// include_parent, and the files' total size. Names that Exclude matches,
// hidden ones with HideHidden, files named in left_out (the listing's own
// output file) and the writer's temporary files are left out; the parent
// entry never is. A mask matching
// nothing gives empty lists. False, with the system's reason in failure and
// both lists empty, when the folder could not be read. Reads the settings
// only.
bool ScanListing(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                 const std::vector<std::string>& left_out, bool include_parent, DirFileStruct& listing,
                 std::string& failure);

// Reads the records of one folder that match a mask, as
// FolderSource::Enumerate does for the folder's path.
using RecordReader = std::function<bool(
    const std::string& mask, const std::function<void(const FolderRecord&)>& visit, std::string& failure)>;

// The same scan of the folder that read reads.
bool ScanListing(const CommonStruct& settings, const RecordReader& read,
                 const std::vector<std::string>& left_out, bool include_parent, DirFileStruct& listing,
                 std::string& failure);

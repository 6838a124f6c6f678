// The scan of one folder level into the two entry lists, in the order the
// folder gives them: ordering (listing/ordering.h) comes after.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"
#include "settings/common_struct.h"

// What a scan keeps of a folder's records.
struct ScanRules {
  std::string DirMask;   // the folders' mask; ";" separates several patterns
  std::string FileMask;  // the files' mask, the same way
  std::string Exclude;   // masks of the names left out; empty: none
  bool HideHidden = false;
  bool IncludeParent = false;  // the parent entry ".." is kept
  // Files left out by name: the listing's own output file.
  std::vector<std::string> LeftOut;
};

// The rules of the settings: their masks, Exclude, HideHidden and
// IncludeParent; no names left out.
ScanRules ScanRulesOf(const CommonStruct& settings);

// The whole scan of the folder: the folders matching DirMask, then the files
// matching FileMask, in the order the folder gives them, the parent entry
// kept only with IncludeParent, and the files' total size. Names that
// Exclude matches, hidden ones with HideHidden, files named in LeftOut and
// the writer's temporary files are left out; the parent entry never is. A
// mask matching nothing gives empty lists. False, with the system's reason
// in failure and both lists empty, when the folder could not be read.
bool ScanListing(const ScanRules& rules, const std::string& folder, FolderSource& source,
                 DirFileStruct& listing, std::string& failure);

// Reads the records of one folder that match a mask, as
// FolderSource::Enumerate does for the folder's path.
using RecordReader = std::function<bool(
    const std::string& mask, const std::function<void(const FolderRecord&)>& visit, std::string& failure)>;

// The same scan of the folder that read reads.
bool ScanListing(const ScanRules& rules, const RecordReader& read, DirFileStruct& listing,
                 std::string& failure);

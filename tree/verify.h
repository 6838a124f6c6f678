// A folder on disk checked against a listing of it read back: what is
// missing, new, changed (size, time, kind, content) or could not be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listing/model.h"
#include "output/listing_readers.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

enum class VerifyState { kChanged, kMissing, kNew, kUnreadable };

// One value that differs: "size", "modified", "kind" or an algorithm's
// name, with the listing's value and the disk's.
struct VerifyChange {
  std::string What;
  std::string Listed;
  std::string Found;
};

struct VerifyDifference {
  // Below the folder, the names joined by the folder separator; a folder's
  // ends in one.
  std::string Path;
  VerifyState State = VerifyState::kChanged;
  std::vector<VerifyChange> Changes;  // kChanged; with kUnreadable, what was seen before the read
  std::string Reason;                 // kUnreadable: the system's reason
};

struct VerifyTotals {
  uint64_t Files = 0;  // the listing's files that were compared
  uint64_t Changed = 0;
  uint64_t Missing = 0;
  uint64_t New = 0;
  uint64_t Unreadable = 0;
};

struct VerifyOutcome {
  std::vector<VerifyDifference> Differences;  // in the order of their paths' bytes
  VerifyTotals Totals;
  bool TopFailed = false;  // the folder itself could not be listed, for TopReason
  std::string TopReason;
};

// The word of a state in reports: "changed", "missing", "new", "unreadable".
const char* VerifyStateWord(VerifyState state);

// Walks the folder (settings.DirStr) by the rules, as the forms do, and
// compares what it finds with the model: one folder where the listing is of
// one folder (rules.MaxDepth 1), the tree where it is a tree. Names that
// the walk leaves out (excludes, ignore files, depth) are neither missing
// nor new. Files are read, on a pool of rules.Threads, only where the
// listing has a digest and their size is the listed one (or unknown), once
// for every algorithm; a file changed while it is read is unreadable.
VerifyOutcome VerifyFolder(const CommonStruct& settings, const ListingModel& model, const ListingShape& shape,
                           const WalkRules& rules, TreeDisk& disk, FolderSource& source,
                           const WalkReport& report);

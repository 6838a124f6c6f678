// Two listings of a tree compared (--compare): what was added, removed,
// changed (size, time, content, kind) or moved between the old and the new,
// and each folder's totals on both sides. Either side is a folder walked
// now or any listing read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "listing/compact_listing.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

enum class CompareMark { kAdded, kRemoved, kChanged, kMoved };

// What differs in a changed or moved entry, as bits.
enum CompareWhat : uint8_t {
  kCompareSize = 1,
  kCompareTime = 2,
  kCompareContent = 4,  // the digests of the algorithm compared
  kCompareKind = 8,     // file, folder, link
};

// One side's view of an entry.
struct CompareValues {
  CompactKind Kind = CompactKind::kFile;
  uint64_t Size = 0;
  uint64_t Time = 0;  // 0: unknown
  std::string Digest;
};

struct CompareChange {
  CompareMark Mark = CompareMark::kChanged;
  // Below the top, the names joined by the separator; a folder's ends in
  // one (for a change of kind, where the new side has a folder). A moved
  // entry's old path; its new one in NewPath.
  std::string Path;
  std::string NewPath;
  uint8_t What = 0;   // kChanged and kMoved: CompareWhat bits
  CompareValues Old;  // kRemoved, kChanged, kMoved
  CompareValues New;  // kAdded, kChanged, kMoved
};

// A folder whose totals below it differ between the sides.
struct FolderDelta {
  std::string Path;  // as CompareChange's; "" for the top
  bool InOld = false;
  bool InNew = false;
  uint64_t OldFiles = 0, NewFiles = 0;
  uint64_t OldBytes = 0, NewBytes = 0;
};

struct CompareTotals {
  uint64_t Added = 0;
  uint64_t Removed = 0;
  uint64_t Changed = 0;  // kind changes included
  uint64_t KindChanged = 0;
  uint64_t Moved = 0;
  uint64_t Differences() const { return Added + Removed + Changed + Moved; }
};

struct CompareOutcome {
  std::vector<CompareChange> Changes;  // by Path's bytes
  std::vector<FolderDelta> Folders;    // by Path's bytes
  CompareTotals Totals;
  // The algorithm whose digests were compared (the first of the old side's
  // that the new side has too), if any.
  std::optional<DigestAlgorithm> Algorithm;
  bool SizesKnown = true;      // both sides tell sizes
  uint64_t TimePrecision = 1;  // the coarser of the two, in 100 ns
  char Separator = '/';        // between the names of a path
};

// Compares the sides. Times are compared at the coarser precision of the
// two, sizes where both tell them, digests where both have one for the
// same algorithm. A removed file and an added one are one file moved where
// they are the only pair of their identity (both sides on one disk: each
// side's Identities told) or of their digest (a file of some bytes); two
// files alike on either side are never paired. A folder that a side could
// not list is compared by its own entry alone. Paths use the separator.
CompareOutcome CompareListings(const CompactListing& old_side, const CompactListing& new_side,
                               char separator);

// What walking a folder into a compact listing came to.
struct FolderSideResult {
  // False where a folder could not be listed or a file read for its
  // checksums: the walk reported each below the top; the top's own
  // failure is in TopFailure.
  bool Read = false;
  std::string TopFailure;
};

// Walks the folder (settings.DirStr) by the rules, as -R --format json
// does, into the listing: every folder's entries with their identities,
// and the digests of rules.Checksums. Anything that cannot be read is a
// failure, not a difference: a listing with a hole in it would compare as
// if its files were removed.
FolderSideResult ReadFolderSide(const CommonStruct& settings, const WalkRules& rules, TreeDisk& disk,
                                FolderSource& source, const WalkReport& report, CompactListing& listing);

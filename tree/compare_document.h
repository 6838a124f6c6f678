// The documents of a comparison (--compare): a line per change as diff
// tells them, JSON for scripts, and a standards page.
#pragma once

#include <string>

#include "tree/compare.h"

// The two sides as the user named them.
struct CompareSides {
  std::string Old;
  std::string New;
  std::string OldKind;  // "folder", or the listing's kind ("json", "tree-json"...)
  std::string NewKind;
};

// "+ path" added, "- path" removed, "~ path (size 10 -> 12, time, sha256)"
// changed ("kind file -> folder" for a change of kind), "> old -> new"
// moved, each with the platform's line end; then the summary line. Paths
// with control characters escaped as messages escape them.
std::string CompareText(const CompareOutcome& outcome);

// "3 added, 1 removed, 2 changed, 1 moved", with the changes of kind among
// the changed where there are any.
std::string CompareSummary(const CompareTotals& totals);

// {"old", "new", "checksum", "time_precision_ns", "changes", "folders",
// "totals"}; each path beside its exact bytes percent-encoded ("path_bytes")
// where UTF-8 cannot carry it.
std::string CompareJson(const CompareOutcome& outcome, const CompareSides& sides);

// A standards page: every change in its folder with its mark, then a
// section for each kind of change, which a link shows alone; the folders'
// totals. Its one style allowed by its hash, nothing else loaded or run.
std::string ComparePage(const CompareOutcome& outcome, const CompareSides& sides);

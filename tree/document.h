// A whole tree as one document (json, csv, names): the folders listed on
// the pool ahead of the one thread that writes them, in the order of the
// rows, a bounded number ahead so that memory does not grow with the tree.
#pragma once

#include <string>

#include "output/forms.h"
#include "output/listing_run.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

struct DocumentOptions {
  std::string TopShown;  // the top folder as the user gave it
  // The document's own file, left out of its folder's listing; empty for
  // standard output.
  std::string OutputFile;
  bool NullEnds = false;  // the rows as the form's NUL-ended records
};

// What writing a whole tree as one document came to.
struct DocumentOutcome {
  WalkCounts Walk;
  ListingTotals Totals;      // of every folder written
  std::string TopFailure;    // why the top folder could not be listed; then nothing was written
  bool WriteFailed = false;  // the sink refused a write; the document is cut short
};

// Lists DirStr and the folders below it that the settings and rules keep,
// and writes them to the sink as one document of a form that has one: each
// folder's rows as its form writes them, a sub-folder's after its own row.
DocumentOutcome WriteTreeDocument(const CommonStruct& settings, const OutputForm& form,
                                  const WalkRules& rules, const DocumentOptions& options, TreeDisk& disk,
                                  FolderSource& source, ByteSink& sink, const WalkReport& report,
                                  const std::function<void(const WalkCounts&)>& progress);

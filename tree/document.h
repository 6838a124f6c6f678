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

// How the folders of a tree written into one file are placed: each shown
// below the top as the user gave it, the parent entry at the top where the
// settings ask, and the file itself left out of its own folder's listing.
class OneFilePlacer {
 public:
  OneFilePlacer(const std::string& top_shown, const std::string& output_file, bool include_parent);
  void Place(const WalkFolder& folder, ListingPlace& place) const;

 private:
  const std::string top_shown_;
  const std::string output_file_;
  const std::string output_folder_;  // absolute; empty for standard output
  const bool include_parent_;
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

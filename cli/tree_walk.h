// The whole tree below a folder: a page in every folder, listed and written
// on a pool of threads, each folder one run of the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "output/forms.h"
#include "platform/platform.h"
#include "settings/common_struct.h"

struct TreeOptions {
  size_t MaxDepth = 0;         // the levels listed, the top's included; 0: all
  bool OneFileSystem = false;  // folders on other file systems are not entered
  bool Follow = false;         // symbolic links to folders are entered
  bool LinkIndex = false;      // links name the page's file always
  std::string IndexName;       // the pages' file name
  // Where the pages go: empty for each page in the folder it lists, else a
  // tree of the same shape under this folder.
  std::string OutputDir;
  std::string TopShown;  // the top folder as the user gave it
  // The one document's file, left out of its folder's listing; empty for
  // standard output and for pages.
  std::string OutputFile;
  size_t Threads = 0;  // 0: the online processors, at most 16
  WriteMethod Method = WriteMethod::kWholeOrNothing;
  // Folders named .git below the top are listed but never entered: a
  // repository's own folder is no part of what is published from it.
  bool LeavesRepositoriesOut = false;
};

struct TreeCounts {
  uint64_t Found = 0;      // folders found to list
  uint64_t Listed = 0;     // folders listed
  uint64_t Entries = 0;    // entries of the folders listed
  uint64_t Written = 0;    // pages written
  uint64_t Unchanged = 0;  // pages that were already as they would be written
  uint64_t Failed = 0;     // folders that could not be listed or written
};

// Called with each message (a failure, or a loop not entered), one at a
// time, and with the counts as the walk goes on.
using TreeReport = std::function<void(const std::string& message)>;
using TreeProgress = std::function<void(const TreeCounts& counts)>;

// Lists DirStr and every folder below it that its masks, exclusions and the
// options keep, and writes each folder's page in the form. A page that
// would be written byte for byte as it stands is left as it is. Folders
// that fail are reported and the walk goes on. The bytes of every page do
// not depend on the number of threads.
TreeCounts WriteTreePages(const CommonStruct& settings, const OutputForm& form, const TreeOptions& options,
                          FolderSource& source, const TreeReport& report, const TreeProgress& progress);

// What writing a whole tree as one document came to.
struct TreeDocumentOutcome {
  TreeCounts Counts;
  ListingTotals Totals;      // of every folder written
  std::string TopFailure;    // why the top folder could not be listed; then nothing was written
  bool WriteFailed = false;  // the sink refused a write; the document is cut short
};

// Lists DirStr and the folders below it as the page walk does, and writes
// them to the sink as one document of a form that has one (json, csv,
// names): each folder's rows as its form writes them, a sub-folder's after
// its own row. Folders are listed on a pool of threads ahead of the writer,
// a bounded number ahead, so memory does not grow with the tree.
TreeDocumentOutcome WriteTreeDocument(const CommonStruct& settings, const OutputForm& form,
                                      const TreeOptions& options, FolderSource& source, ByteSink& sink,
                                      bool null_ends, const TreeReport& report, const TreeProgress& progress);

// The number of threads the walk uses for the option's value.
size_t TreeThreads(size_t asked);

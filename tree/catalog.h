// A whole tree as one catalog page: every folder listed on the pool, its
// entries streamed into the page's data in the order of the folder table,
// and each folder's totals kept in the table as the folder completes. Memory
// holds the folders in flight, one section of entries and the folder table.
#pragma once

#include <string>

#include "output/catalog_data.h"
#include "tree/document.h"

struct CatalogOptions {
  std::string TopShown;  // the top folder as the user gave it
  std::string
      OutputFile;  // the catalog's own file, left out of its folder's listing; empty for standard output
  CatalogLinks Links = CatalogLinks::kNone;
  std::string LinkBase;
  int64_t Written = 0;  // seconds since 1970
};

// Lists DirStr and the folders below it that the settings and rules keep
// (their sizes added up, whatever the rules say) and writes the catalog
// page to the sink.
DocumentOutcome WriteTreeCatalog(const CommonStruct& settings, const OutputForm& form, WalkRules rules,
                                 const CatalogOptions& options, TreeDisk& disk, FolderSource& source,
                                 ByteSink& sink, const WalkReport& report,
                                 const std::function<void(const WalkCounts&)>& progress);

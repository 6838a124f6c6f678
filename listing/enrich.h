// The enrichment of a listing: what only the system can tell of its
// entries, asked once, on the thread that listed the folder, so that rows
// are composed (measured, compared, written) without asking again.
#pragma once

#include <string>

#include "listing/entry.h"
#include "platform/platform.h"

// What the rows of a listing show that only the system can tell.
struct EnrichNeeds {
  bool Types = false;        // the registered descriptions of the files' types
  bool MimeTypes = false;    // the MIME types of the files
  bool LinkTargets = false;  // where the symbolic links point
};

// Asks the source what the needs name, once for each extension among the
// files (the MIME type for none where a name has no extension) and once for
// each symbolic link (by its path: the folder joined with its name), and
// keeps the answers in the listing's Values. Asks nothing else.
void EnrichListing(DirFileStruct& listing, const std::string& folder, FolderSource& source,
                   const EnrichNeeds& needs);

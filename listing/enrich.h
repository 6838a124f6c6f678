// The enrichment of a listing: what only the system can tell of its
// entries, asked once, on the thread that listed the folder, so that rows
// are composed (measured, compared, written) without asking again.
#pragma once

#include <string>
#include <vector>

#include "listing/checksums.h"
#include "listing/entry.h"
#include "platform/platform.h"

// What the rows of a listing show that only the system can tell.
struct EnrichNeeds {
  bool Types = false;        // the registered descriptions of the files' types
  bool MimeTypes = false;    // the MIME types of the files
  bool LinkTargets = false;  // where the symbolic links point
  // The checksums of the files' content, in this order; none: no file is
  // read.
  std::vector<DigestAlgorithm> Checksums;
};

// Where the checksums read the files: the folder's files, and the threads
// that read them.
struct ContentAccess {
  ContentOpener Open;
  ChecksumPool* Pool = nullptr;
};

// Asks the source what the needs name, once for each extension among the
// files (the MIME type for none where a name has no extension) and once for
// each symbolic link (by its path: the folder joined with its name), and
// keeps the answers in the listing's Values; the checksums of the files
// (no link) as ChecksumListing computes them, through content. Asks
// nothing else.
void EnrichListing(DirFileStruct& listing, const std::string& folder, FolderSource& source,
                   const EnrichNeeds& needs, const ContentAccess& content = {});

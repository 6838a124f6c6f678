// The checksums of the files as a checksum file: a line per file,
// "DIGEST  path", as sha256sum, sha1sum, md5sum and xxhsum -H2 write them, so
// that their -c checks the files against it.
#pragma once

#include <string>

#include "listing/entry.h"
#include "output/listing_run.h"

// Appends the line of a file whose checksum the run holds: the digest of its
// one algorithm, two blanks, its path below the top (its name, for a folder
// listed alone) with "/" between folders on every platform, and a line feed.
// A path holding a backslash, a line feed or a carriage return is escaped as
// GNU coreutils escapes it: the line starts with "\", and these become
// "\\", "\n" and "\r". Nothing for a folder, a link or a file without one.
void AppendSumsLine(ListingRun& run, const FileInfoX& entry, std::string& row);

// Sets the run's document to the lines of its files, in the listing's order.
void ComposeSumsDocument(ListingRun& run);

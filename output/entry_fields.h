// The fields of one entry that the forms for programs (JSON, CSV) write, in
// their order: every field whatever the columns say, as raw values that
// each form writes its own way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "listing/entry.h"
#include "output/listing_run.h"

enum class FieldType {
  kText,    // from the system or the program, to be escaped
  kNumber,  // decimal digits, written as a number
  kNone,    // the entry has no such value: a time past what the clock counts,
            // a type the system does not know, a link's target it does not tell
  kAbsent,  // the field is not one of the entry's: exact bytes already in the
            // name, a target of what is no link; a JSON object leaves it out
};

struct FieldValue {
  FieldType Type;
  std::string_view Text;  // into the entry, the run or the scratch text
};

struct EntryField {
  const char* Key;  // the JSON key, the CSV column's caption
  // The field's value; computed texts go into scratch, which the caller
  // hands in empty.
  FieldValue (*Value)(ListingRun& run, const FileInfoX& entry, std::string& scratch);
  // A field of the totals below a folder, there only where they were added up.
  bool WithSizesOnly = false;
};

// name, name_bytes (the exact bytes, percent-encoded, of a name that UTF-8
// cannot hold exactly), kind ("folder", "file", "link"), size (bytes; 0 for
// a folder), modified, created, accessed (ISO 8601 UTC with seconds),
// attributes (the letters), type (the registered description), mime, target
// (where a symbolic link points, as the link holds it); where the sizes of
// folders were added up (--du), a folder's size is its total, with files,
// folders and size_incomplete (true where a folder below could not be
// read). New fields go last, so that the columns of CSV readers keep their
// places.
constexpr size_t kEntryFieldCount = 14;
extern const EntryField kEntryFields[kEntryFieldCount];

// True when the run's entries have the field (a CSV column of it).
bool HasField(const ListingRun& run, const EntryField& field);

// "link" for a symbolic link (to a folder, to a file or broken), else
// "folder" or "file".
const char* EntryKind(const FileInfoX& entry);

// The sort key's name among the fields ("name", "size", "modified" ...).
const char* SortKeyName(int sort_code);

// The folder's own name: its path's last part, without a closing separator;
// empty for a root.
std::string FolderOwnName(const std::string& folder);

// True for the entry whose row a document of folders then files, in the
// settings' direction, writes first.
bool IsFirstRow(const ListingRun& run, const FileInfoX& entry);

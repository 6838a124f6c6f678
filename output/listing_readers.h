// Listings read back from files into the model that every source of a
// listing fills: Kestrova's own JSON, CSV, sums and catalog documents, the
// sums files that the checksum tools write, and the listings of tree -J,
// ncdu -o, rclone lsjson and Everything's file lists (EFU). The kind is told
// by the content, never by the file's name.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "listing/compact_listing.h"
#include "listing/model.h"
#include "platform/platform.h"

enum class ListingKind { kJson, kCsv, kSums, kCatalog, kTreeJson, kNcdu, kRclone, kEfu };

// The kind's name on the command line ("tree-json"), and the kind of a name
// (null for none).
const char* ListingKindName(ListingKind kind);
const ListingKind* ListingKindNamed(std::string_view name);
// Every kind's name, in the order of the enumeration.
std::vector<std::string> ListingKindNames();

// What a listing tells besides its entries.
struct ListingShape {
  ListingKind Kind = ListingKind::kSums;
  bool Tree = false;       // it lists folders below its top
  bool FilesOnly = false;  // it names files alone, never a folder (a sums file)
};

// How a reader takes what the content leaves open.
struct ListingReadOptions {
  // A digest of 32 hexadecimal digits in a sums line without the
  // algorithm's name is md5's unless this is xxh128.
  DigestAlgorithm ThirtyTwoDigits = DigestAlgorithm::kMd5;
  // The kind the caller names, read as that kind whatever the content
  // looks like; null to tell it from the content.
  const ListingKind* Kind = nullptr;
};

// The kind of listing the content is: JSON when it starts with "{", a
// catalog page when it starts with "<"; for "[": ncdu's export when a number
// comes first, tree -J when the first object's first member is "type", else
// rclone's lsjson; CSV when its first line is a header that starts with the
// field "name", an EFU file list when it starts with "Filename", else a
// sums file.
ListingKind ListingKindOf(std::string_view content);

// Reads the content, of the kind it is, into the model (which starts
// empty). False, with what is wrong and where ("line 3, column 7: ..."),
// when the content is malformed; the model is then of no use.
bool ReadListing(std::string_view content, const ListingReadOptions& options, ListingModel& model,
                 ListingShape& shape, std::string& error);

// Each kind's reader, as ReadListing calls it.
bool ReadJsonListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error);
bool ReadCsvListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error);
bool ReadSumsListing(std::string_view content, const ListingReadOptions& options, ListingModel& model,
                     ListingShape& shape, std::string& error);
bool ReadTreeJsonListing(std::string_view content, ListingModel& model, ListingShape& shape,
                         std::string& error);
bool ReadNcduListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error);
bool ReadRcloneListing(std::string_view content, ListingModel& model, ListingShape& shape,
                       std::string& error);
bool ReadEfuListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error);

// Kestrova's JSON document read as it comes from the source (up to size
// bytes into the buffer a call, 0 at the end) straight into a compact
// listing: never whole in memory nor as a model, for listings too large to
// hold twice (--compare). It takes and refuses what ReadJsonListing does,
// with the same messages, but for a name listed twice in one folder.
bool StreamJsonListing(const std::function<size_t(char* buffer, size_t size)>& source,
                       CompactListing& listing, std::string& error);

// ---- What the readers share ----

// "line L, column C: " of the byte at offset in the content (both from 1,
// the column in bytes).
std::string PositionText(std::string_view content, size_t offset);

// Adds files and folders to a model by their names below its top.
class ModelBuilder {
 public:
  explicit ModelBuilder(ListingModel& model);
  // The folder at the names below the top, made with every folder above it
  // where missing; the top for no names.
  size_t FolderAt(const std::vector<std::string>& names);
  // The algorithm's place in the model's Algorithms, added where missing.
  size_t AlgorithmAt(DigestAlgorithm algorithm);
  // Adds the entry to the folder; false when the folder has one of that
  // name already.
  bool AddEntry(size_t folder, const FolderRecord& record);
  // Sets one digest of a file of the folder; false when it has another for
  // that algorithm.
  bool SetDigest(size_t folder, const std::string& name, DigestAlgorithm algorithm,
                 const std::string& digest);
  // What the source says of the type of a file of this name: kept for its
  // extension, the first told for each.
  void SetType(const std::string& name, const std::string& description, const std::string& mime_type);
  // Gives every file's digests one per algorithm of the model, and every
  // folder below the top its record as its parent lists it.
  void Finish();
  // Gives every folder made by its path alone an entry in its parent.
  void ListFoldersInParents();

 private:
  size_t FolderBelow(const std::vector<std::string>& names);

  ListingModel& model_;
  // True when the key of a name was not added before; else adds it.
  bool AddKey(uint64_t key);

  // The names added, as hashes of folder and name, in an open table (0 for
  // none): a folder of 50,000 entries is not searched for each.
  std::vector<uint64_t> added_;
  size_t added_count_ = 0;
  // The folder FolderAt found last, by its names: a flat listing names the
  // same folder for each of its files in turn.
  std::vector<std::string> last_names_;
  size_t last_folder_ = 0;
};

// The 100 ns count since 1601 of an ISO 8601 time "2024-03-05T14:07:09Z";
// false for any other text.
bool ParseIsoTime(std::string_view text, uint64_t& file_time);

// The 100 ns count since 1601 of an RFC 3339 time with any fraction of a
// second (kept to 100 ns) and "Z" or an offset: "2024-03-05T14:07:09.123456789+01:00";
// false for any other text.
bool ParseRfc3339Time(std::string_view text, uint64_t& file_time);

// The 100 ns count since 1601 of a count of seconds since 1970 in decimal
// ("-" allowed); false for any other text.
bool ParseEpochSeconds(std::string_view text, uint64_t& file_time);

// The last name of a path as it was given ("/srv/data/" gives "data"; a
// root keeps its path).
std::string LastNameOfPath(const std::string& path);

// The bytes of a percent-encoded text (name_bytes); false where a "%" is not
// followed by two hexadecimal digits.
bool PercentDecoded(std::string_view text, std::string& bytes);

// The names of a path below a listing's top, split at "/" (and at "\" where
// it separates folders); false for an empty name, "." or "..".
bool SplitListedPath(const std::string& path, std::vector<std::string>& names);

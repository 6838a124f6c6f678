// A listing of a tree held as one compact table, for comparing two large
// listings: the names in one block of bytes, each entry a small fixed record
// (no string, no map per entry), the entries sorted once by folder and name.
// It keeps what a comparison reads: kind, size, time, identity, digests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/model.h"
#include "platform/platform.h"

enum class CompactKind : uint8_t { kFile, kFolder, kLink };

// The kind of a record's attributes: a link first, then a folder.
CompactKind CompactKindOf(uint32_t attributes);
// "file", "folder", "link".
const char* CompactKindWord(CompactKind kind);

constexpr uint32_t kNoCompactIndex = static_cast<uint32_t>(-1);

struct CompactEntry {
  uint64_t Size = 0;
  uint64_t Time = 0;    // the last write, 100 ns since 1601; 0: unknown
  uint64_t NameAt = 0;  // in the listing's Names
  uint32_t NameLength = 0;
  uint32_t Folder = 0;                  // the folder that lists it
  uint32_t Sub = kNoCompactIndex;       // a folder whose entries are listed: that folder
  uint32_t DigestAt = kNoCompactIndex;  // its place in each of the listing's Digests
  CompactKind Kind = CompactKind::kFile;
};

struct CompactFolder {
  uint32_t Parent = kNoCompactIndex;  // none for the top
  uint64_t NameAt = 0;                // in the listing's Names; the top's is empty
  uint32_t NameLength = 0;
  // Its entries, once finished: Entries[First, First + Count).
  uint32_t First = 0;
  uint32_t Count = 0;
  bool Failed = false;  // its entries are not known (the listing could not list it)
  // Below it, once finished: the files and their bytes, the folders (a
  // symbolic link is none of them).
  uint64_t Files = 0;
  uint64_t Bytes = 0;
  uint64_t Folders = 0;
};

struct CompactListing {
  std::string Names;
  // Per algorithm of Algorithms, the hexadecimal digests of the entries
  // that have any, one after another (the entry's DigestAt-th; all "\0"
  // where it has none of that algorithm). An algorithm met late (a listing
  // read as it comes) has none for the entries before it.
  std::vector<std::string> Digests;
  uint32_t DigestBlocks = 0;  // the entries that have digests
  std::vector<DigestAlgorithm> Algorithms;
  std::vector<CompactEntry> Entries;
  std::vector<CompactFolder> Folders;  // the top first
  // Each entry's identity, in the order of Entries; empty where the source
  // tells none (any listing read back).
  std::vector<FileIdentity> Identities;
  // The step of the times, in 100 ns: 10,000,000 where the source keeps
  // whole seconds, 1 where it keeps 100 ns (the disk).
  uint64_t TimePrecision = 1;
  bool SizesKnown = true;

  std::string_view NameOf(const CompactEntry& entry) const {
    return {Names.data() + entry.NameAt, entry.NameLength};
  }
  std::string_view NameOf(const CompactFolder& folder) const {
    return {Names.data() + folder.NameAt, folder.NameLength};
  }
  // The entry's digest of the algorithm at that place of Algorithms; empty
  // for none.
  std::string_view DigestOf(const CompactEntry& entry, size_t algorithm) const;
  // The folder's names from the top, joined by the separator; empty for the
  // top.
  std::string PathOf(uint32_t folder, char separator) const;
};

// What an entry is, as a source tells it.
struct CompactRecord {
  CompactKind Kind = CompactKind::kFile;
  uint64_t Size = 0;
  uint64_t Time = 0;
  const FileIdentity* Identity = nullptr;  // where the source tells it
  // One digest per algorithm of the listing, in its order (empty for none;
  // fewer where the rest are none); null for none.
  const std::vector<std::string>* Digests = nullptr;
};

// Adds folders and entries in any order, then sorts and links them once.
class CompactBuilder {
 public:
  explicit CompactBuilder(CompactListing& listing) : listing_(listing) {}
  // The top folder; the first call, once.
  uint32_t AddTop();
  // A folder whose entries are listed, below its parent.
  uint32_t AddFolder(uint32_t parent, std::string_view name);
  void MarkFailed(uint32_t folder) { listing_.Folders[folder].Failed = true; }
  // Names a folder added before its name was known (a listing read as it
  // comes, whose members come in any order).
  void NameFolder(uint32_t folder, std::string_view name);
  void AddEntry(uint32_t folder, std::string_view name, const CompactRecord& record);
  // Sorts the entries by folder and name, links each listed folder to its
  // entry in its parent, and adds up each folder's totals below it.
  void Finish();

 private:
  uint64_t AddName(std::string_view name);
  void SortEntries();
  void LinkFolders();
  void AddUpTotals();

  CompactListing& listing_;
};

// The model as a compact listing: every folder's records, and the
// checksums it holds.
void CompactListingOf(const ListingModel& model, CompactListing& listing);

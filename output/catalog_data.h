// The catalog's data: a listing of a whole tree as one zlib stream of
// columnar sections, carried in a page as base64 lines (the layout is
// described for other readers in docs/catalog-format.md).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "listing/model.h"
#include "output/listing_run.h"
#include "platform/platform.h"

// How the catalog's page links to the files it lists.
enum class CatalogLinks : uint8_t {
  kNone = 0,      // names only: a catalog of a drive that is not at hand
  kRelative = 1,  // Base is the way from the page to the top folder
  kAbsolute = 2,  // Base is the URL of the top folder, ending in "/"
};

struct CatalogHeader {
  std::string Title;
  std::string TopPath;  // the folder listed, as given
  std::string TopName;  // the name the top is shown with
  int64_t Written = 0;  // seconds since 1970-01-01 UTC
  CatalogLinks Links = CatalogLinks::kNone;
  std::string LinkBase;
  // The checksums every run carries, in this order; none: no checksums.
  std::vector<DigestAlgorithm> Algorithms;
};

// What the system said of each extension seen (".txt"; "" for none).
using CatalogTypes = std::map<std::string, TypeTexts>;

enum class CatalogFolderState : uint8_t { kListed = 0, kFailed = 1, kLowerBound = 2 };

// A row of the folder table: the folders in the order of their runs, the
// top first.
struct CatalogFolder {
  uint64_t Parent = 0;   // the parent's number; 0 (itself) for the top
  uint64_t Entry = 0;    // its row among the parent's entries
  SubtreeTotals Totals;  // Incomplete: the state is kLowerBound
  CatalogFolderState State = CatalogFolderState::kListed;
  std::string Reason;  // kFailed: why
};

// The seconds since 1970 of a 100 ns count since 1601, rounded down.
int64_t UnixSeconds(uint64_t file_time);
// The 100 ns count since 1601 of seconds since 1970.
uint64_t FileTimeOfSeconds(int64_t seconds);

// Writes a catalog's data to a sink as base64 lines: the header, then each
// folder's run of entries in the order of the folder table, then the table.
// Memory holds one section of entries (a few tens of thousands) and the
// compressor's window; the table is the caller's.
class CatalogEncoder {
 public:
  explicit CatalogEncoder(ByteSink& sink);
  ~CatalogEncoder();
  CatalogEncoder(const CatalogEncoder&) = delete;
  CatalogEncoder& operator=(const CatalogEncoder&) = delete;

  bool Begin(const CatalogHeader& header);
  // The next folder's run: its entries, in the order of its rows, and
  // their checksums (of the header's algorithms) from the values.
  void AddRun(const std::vector<const FolderRecord*>& entries, const std::vector<std::string>& targets,
              const EntryValues* values = nullptr);
  // The rest of the runs, the types, the folder table and the end; false
  // when the sink refused a write.
  bool Finish(const CatalogTypes& types, const std::vector<CatalogFolder>& folders);
  bool Failed() const;

 private:
  struct Stream;
  struct Section;
  bool FlushSection();
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<Section> section_;
  std::vector<DigestAlgorithm> algorithms_;
  uint64_t entries_ = 0;
};

// Reads the catalog that a page carries into the model. False, with what is
// wrong and where, when the page carries no catalog of a version it reads,
// or the data is damaged or cut short.
bool ReadCatalogPage(std::string_view page, ListingModel& model, std::string& error);

// The generation driver: scan, totals, placeholders, document, output.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "listing/checksums.h"
#include "listing/scan.h"
#include "output/forms.h"
#include "output/listing_run.h"
#include "output/request.h"
#include "output/tree_page.h"
#include "platform/platform.h"
#include "settings/common_struct.h"

enum class GenerateStatus { kWritten, kCannotReadFolder, kTextTooLong, kCannotWrite };

// What became of a generation, in words a front end can show beside its own.
struct GenerateResult {
  GenerateStatus Status = GenerateStatus::kWritten;
  // The system's text for kCannotReadFolder and kCannotWrite; for
  // kTextTooLong the key of the setting whose placeholders expand too far.
  std::string Reason;
  uint64_t FolderCount = 0;  // what was listed, when written
  uint64_t FileCount = 0;
  int64_t TotalBytes = 0;
  uint64_t BytesWritten = 0;
  WriteNotes Notes;  // what the output file's writer told besides
};

// The words for kTextTooLong of the key, which both front ends show:
// "placeholders in After expand past 64 MiB".
std::string TextTooLongMessage(const std::string& key);

// Writes the whole document into the sink it is handed.
using DocumentWrite = std::function<bool(ByteSink& sink)>;

// Stands between the document and the sink that takes it, to watch or stop
// the write: calls write once with a sink of its own that passes the bytes
// on to target, and returns what write returned. It may throw to abandon the
// write; an output file then stays as it was and no new file is left.
using SinkWrapper = std::function<bool(ByteSink& target, ListingRun& run, const DocumentWrite& write)>;

struct ListingPlace;

// Lists a place and composes its run in a form, as ComposeListing does.
using ListingComposer = std::function<GenerateStatus(const ListingPlace& place, const OutputForm& form,
                                                     ListingRun& run, std::string& reason)>;

// Where GenerateListing writes the document, in what form and through what.
struct ListingOutput {
  // The form and the file, or standard output, where a failed write is
  // kCannotWrite with the system's reason; none: the window program's
  // request of the settings (ClassicOutputRequest).
  std::optional<OutputRequest> Request;
  SinkWrapper Wrap;                                   // none: the document goes straight to its sink
  WriteMethod Method = WriteMethod::kWholeOrNothing;  // how the file is written
  // Names of files that the listing leaves out: its own output file, where
  // it lies in the listed folder.
  std::vector<std::string> LeftOut;
  // The folder as the user gave it, for the forms that show it in place of
  // DirStr (ListingRun::FolderShown); empty: DirStr.
  std::string FolderShown;
  // The rows as the form's NUL-ended records, where the form has them.
  bool NullEnds = false;
  // The way from the output file's folder to DirStr, as a link, where the
  // page stands apart from what it lists (ListingRun::LinkPrefix).
  std::string LinkPrefix;
  // How the run is listed and composed; none: ComposeListing over the
  // source (a walk composes it where sub-folders are added up).
  ListingComposer Compose;
  // How many files are read at once for the request's checksums; 0: one
  // per processor.
  size_t Threads = 0;
  // The digests kept from earlier runs; none: every file is read.
  DigestCache* ChecksumCache = nullptr;
};

// Lists DirStr and writes the document of the request's form to its file
// whole or not at all (or to standard output). Reads the settings only, so the same
// settings may be generated again, for other folders too. A folder that
// cannot be read writes nothing; a failed write leaves the old file as it
// was. Shows nothing. Throws std::bad_alloc when memory runs out, and
// whatever the folder source or the wrapper throws.
GenerateResult GenerateListing(const CommonStruct& settings);
GenerateResult GenerateListing(const CommonStruct& settings, FolderSource& source,
                               const ListingOutput& output = {});
// The same, leaving what the generation computed in run, for a caller that
// shows it or that ends the program without taking a large listing apart.
GenerateResult GenerateListing(const CommonStruct& settings, FolderSource& source,
                               const ListingOutput& output, ListingRun& run);

// What a run lists, and where its page stands.
struct ListingPlace {
  std::string Folder;  // the folder to list
  // The folder as the user gave it, for the forms that show it in place of
  // the folder listed; empty: the folder listed. A page of a tree shows its
  // way from the top instead, the top named as its Path says.
  std::string FolderShown;
  // Names of files left out: the listing's own output file, where it lies in
  // the folder listed.
  std::vector<std::string> LeftOut;
  bool IncludeParent = false;      // the parent entry ".." is listed
  const TreePage* Tree = nullptr;  // the page's place in a tree of pages
  std::string LinkPrefix;          // see ListingRun::LinkPrefix
  // Where the records come from: the folder held open by a walk; none: the
  // folder source at Folder.
  RecordReader Read;
  // Leaves entries out of the scan's lists before anything is counted or
  // looked up (ignore files); none: the scan's lists as they are.
  std::function<void(DirFileStruct& listing)> Filter;
  // Only the scan and the totals, no document: for a folder whose entries
  // alone are wanted.
  bool ScanOnly = false;
  // The sub-folders' sizes are added up by a walk (ListingRun::SizesAddedUp).
  bool SizesAddedUp = false;
  // The checksums of the files, in this order, for a form that shows them;
  // none: no file is read.
  std::vector<DigestAlgorithm> Checksums;
  // Opens the folder's files for their checksums (the folder held open by a
  // walk); none: the folder is opened on the system's disk for them.
  ContentOpener ReadContent;
  // The threads that a run's listings share for the checksums; null: a pool
  // of ChecksumThreads (0: one per processor) for this listing alone.
  ChecksumPool* Checksummers = nullptr;
  size_t ChecksumThreads = 0;
  // The digests kept from earlier runs; none: every file is read.
  DigestCache* ChecksumCache = nullptr;
};

// The place of a listing of its own: DirStr, with the settings' parent entry.
ListingPlace PlaceOf(const CommonStruct& settings);

// Lists the place's folder and composes the run's document in the form,
// without writing it: the steps up to the writer, on the calling thread.
// The folder is scanned, its entries enriched with what the form's rows
// need of the source (types, link targets) and of the files' content (the
// checksums the place asks, where the form shows them), ordered as the settings say,
// counted, the placeholders substituted and the document composed. The rows
// are composed as the run is written, from what the run holds, asking the
// source nothing more: until then the settings and the place's tree must
// stay. kWritten when the run is ready to write.
GenerateStatus ComposeListing(const CommonStruct& settings, const ListingPlace& place, FolderSource& source,
                              const OutputForm& form, ListingRun& run, std::string& reason);

// What became of writing a run's document to a file.
struct FileWriteOutcome {
  bool Written = false;
  std::string Reason;  // the system's text, when not written
  uint64_t Bytes = 0;  // the bytes that went to the file
  WriteNotes Notes;    // what the writer told besides
};

// Replaces the file at path with the run's document, through wrap when there
// is one and by the method; when any step fails, the old file is untouched
// (unless written in place) and the outcome says why.
FileWriteOutcome WriteListingFile(ListingRun& run, const std::string& path, const SinkWrapper& wrap = nullptr,
                                  WriteMethod method = WriteMethod::kWholeOrNothing);

// The generation driver: scan, totals, placeholders, document, output.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "output/forms.h"
#include "output/listing_run.h"
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

// Where GenerateListing writes the document, in what form and through what.
struct ListingOutput {
  const OutputForm* Form = nullptr;  // none: the classic form that Output names
  // Standard output instead of OutputFile; a failed write there is
  // kCannotWrite with the system's reason.
  bool ToStandardOutput = false;
  SinkWrapper Wrap;  // none: the document goes straight to its sink
  // The rows as the form's NUL-ended records, where the form has them.
  bool NullEnds = false;
};

// Lists DirStr and writes the document of the form to OutputFile whole or
// not at all (or to standard output). Reads the settings only, so the same
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

// Lists the folder and composes the run's document in the form, without
// writing it: the steps up to the writer. The rows are composed as the run
// is written, with the source's type descriptions: until then the settings
// and the source must stay. kWritten when the run is ready to write.
GenerateStatus ComposeListing(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                              const OutputForm& form, ListingRun& run, std::string& reason);

// Replaces the file at path with the run's document, through wrap when there
// is one; false, with the system's reason, when any step fails, and then the
// old file is untouched. Counts the bytes written into written.
bool WriteListingFile(ListingRun& run, const std::string& path, std::string& failure,
                      const SinkWrapper& wrap = nullptr, uint64_t* written = nullptr);

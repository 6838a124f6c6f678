// The generation driver: scan, totals, placeholders, document, output.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"
#include "settings/common_struct.h"

enum class GenerateStatus { kWritten, kCannotReadFolder, kCannotWrite };

// What became of a generation; Reason is the system's text for a failure,
// Notes what the output file's writer told besides.
struct GenerateResult {
  GenerateStatus Status = GenerateStatus::kWritten;
  std::string Reason;
  WriteNotes Notes;
};

// Writes the whole document into the sink it is handed.
using DocumentWrite = std::function<bool(ByteSink& sink)>;

// Stands between the document and the sink that takes it, to watch or stop
// the write: calls write once with a sink of its own that passes the bytes
// on to target, and returns what write returned. It may throw to abandon the
// write; an output file then stays as it was and no new file is left.
using SinkWrapper = std::function<bool(ByteSink& target, const DocumentWrite& write)>;

// Where GenerateListing writes the document, and through what.
struct ListingOutput {
  // Standard output instead of OutputFile; a failed write there is
  // kCannotWrite with the system's reason.
  bool ToStandardOutput = false;
  SinkWrapper Wrap;                                   // none: the document goes straight to its sink
  WriteMethod Method = WriteMethod::kWholeOrNothing;  // how OutputFile is written
};

// Scans the folder, composes the document of the record's output form and
// writes it to OutputFile whole or not at all (or to standard output). A
// folder that cannot be read writes nothing; a failed write leaves the old
// file as it was. Shows nothing. Throws std::bad_alloc when memory runs out,
// and whatever the folder source or the wrapper throws.
GenerateResult GenerateListing(CommonStruct& record);
GenerateResult GenerateListing(CommonStruct& record, FolderSource& source, const ListingOutput& output = {});

// Composes the document without writing it (steps up to the writer); false,
// with the system's reason, when the folder could not be read. The rows are
// composed as DocText is written: until then the source must stay.
bool ComposeListing(CommonStruct& record, FolderSource& source, std::string& failure);

// Replaces OutputFile with DocText, through wrap when there is one and by
// the method; false, with the system's reason, when any step fails, and then
// the old file is untouched (unless written in place). Notes, when given,
// receive what the writer told besides.
bool WriteOutputFile(const CommonStruct& record, std::string& failure, const SinkWrapper& wrap = nullptr,
                     WriteMethod method = WriteMethod::kWholeOrNothing, WriteNotes* notes = nullptr);

// True for names whose extension, lower-cased, is .html .htm .shtml or .asp.
bool IsHtmlFileName(const std::string& name);

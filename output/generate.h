// The generation driver: scan, totals, placeholders, document, output file.
#pragma once

#include <string>

#include "platform/platform.h"
#include "settings/common_struct.h"

enum class GenerateStatus { kWritten, kCannotReadFolder, kCannotWrite };

// What became of a generation; Reason is the system's text for a failure.
struct GenerateResult {
  GenerateStatus Status = GenerateStatus::kWritten;
  std::string Reason;
};

// Scans the folder, composes the document of the record's output form and
// writes it to OutputFile whole or not at all. A folder that cannot be read
// writes nothing; a failed write leaves the old file as it was. Shows
// nothing. Throws std::bad_alloc when memory runs out.
GenerateResult GenerateListing(CommonStruct& record);
GenerateResult GenerateListing(CommonStruct& record, FolderSource& source);

// Composes the document without writing it (steps up to the writer); false,
// with the system's reason, when the folder could not be read.
bool ComposeListing(CommonStruct& record, FolderSource& source, std::string& failure);

// Writes DocText to the sink with the platform's line ends.
bool WriteListing(const CommonStruct& record, ByteSink& sink);

// Replaces OutputFile with DocText; false, with the system's reason, when any
// step fails, and then the old file is untouched.
bool WriteOutputFile(const CommonStruct& record, std::string& failure);

// True for names whose extension, lower-cased, is .html .htm .shtml or .asp.
bool IsHtmlFileName(const std::string& name);

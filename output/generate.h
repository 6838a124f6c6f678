// The generation driver: scan, totals, placeholders, document, output file.
#pragma once

#include <string>

#include "platform/platform.h"
#include "settings/common_struct.h"

// Scans the folder, composes the document of the record's output form and
// writes it to OutputFile. False when the file could not be written whole;
// the caller reports it. Shows nothing. Throws std::bad_alloc when memory
// runs out.
bool GenerateListing(CommonStruct& record);
bool GenerateListing(CommonStruct& record, FolderSource& source);

// Composes the document without writing it (steps up to the writer).
void ComposeListing(CommonStruct& record, FolderSource& source);

// Writes DocText to OutputFile; false when the open, a write or the close fails.
bool WriteOutputFile(const CommonStruct& record);

// True for names whose extension, lower-cased, is .html .htm .shtml or .asp.
bool IsHtmlFileName(const std::string& name);

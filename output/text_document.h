// The plain-text listing: a title, the masks, the names and a summary.
#pragma once

#include "settings/common_struct.h"

// Appends the entry's line to row: its name and "\r\n".
void AppendEntryLine(const FileInfoX& entry, std::string& row);

// Replaces DocText with the text listing; the lists and totals must be ready.
void WriteTextDocument(CommonStruct& record);

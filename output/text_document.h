// The plain-text listing: a title, the masks, the names and a summary.
#pragma once

#include "settings/common_struct.h"

// Sets the entry's RowText to its name and "\r\n".
void ComposeEntryLine(FileInfoX& entry);

// Replaces DocText with the text listing; the lists and totals must be ready.
void WriteTextDocument(CommonStruct& record);

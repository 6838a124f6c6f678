// Composing the output document and writing it out.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "settings/listing_data.h"

void ClearDocument(DocumentText& doc);
void AppendText(DocumentText& doc, std::string_view text);
// The rows of a list, from its last entry to its first when descending,
// composed by ComposeRow as the document is written.
void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending);
size_t DocumentLength(const DocumentText& doc);

// Writes the document to the sink with every line end as one line_end: a
// "\r\n" of the text and a lone "\n" both become line_end. False when a
// write fails.
bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end);

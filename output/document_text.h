// The composed output document.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

// One piece of a document: a text, or every row of an entry list.
struct DocumentPiece {
  const std::string* Text = nullptr;
  const std::deque<FileInfoX>* Rows = nullptr;
  bool Descending = false;  // rows from the list's last entry to its first
};

// The document as the writer composed it: its own texts and the entries'
// finished rows, in document order. Rows are referenced rather than copied,
// so a listing of a million entries is held once; the references stay valid
// until the next scan replaces the lists. A copy holds its own flat text.
struct DocumentText {
  DocumentText() = default;
  DocumentText(const DocumentText& other);
  DocumentText& operator=(const DocumentText& other);
  DocumentText(DocumentText&&) = default;
  DocumentText& operator=(DocumentText&&) = default;

  std::deque<std::string> Fragments;  // the writer's own texts
  std::vector<DocumentPiece> Pieces;  // fragments, rows and lists, in order
};

void ClearDocument(DocumentText& doc);
void AppendText(DocumentText& doc, std::string_view text);
// The row must outlive the document (an entry's RowText).
void AppendRow(DocumentText& doc, const std::string& row);
// The rows of a list, from its last entry to its first when descending.
void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending);
size_t DocumentLength(const DocumentText& doc);
// The whole document as one text, with its line ends as composed.
std::string Flatten(const DocumentText& doc);

// Writes the document to the sink with every line end as one line_end: a
// "\r\n" of the text and a lone "\n" both become line_end. False when a
// write fails.
bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end);

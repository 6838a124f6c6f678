// The composed output document.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

// Appends the row of one entry (an HTML table row, a text line) to row.
using RowComposer = std::function<void(const FileInfoX& entry, std::string& row)>;

// One piece of a document: a text, or every row of an entry list.
struct DocumentPiece {
  const std::string* Text = nullptr;
  const std::deque<FileInfoX>* Rows = nullptr;
  bool Descending = false;  // rows from the list's last entry to its first
};

// The document as the writer composed it: its own texts and references to
// the entry lists, in document order. The rows of a list are composed by
// ComposeRow each time the document is written, one after the other into one
// reused text, so a page of a million rows is never held whole. The lists,
// and whatever ComposeRow refers to, must outlive every write; the next scan
// replaces the lists. A copy holds its own flat text.
struct DocumentText {
  DocumentText() = default;
  DocumentText(const DocumentText& other);
  DocumentText& operator=(const DocumentText& other);
  DocumentText(DocumentText&&) = default;
  DocumentText& operator=(DocumentText&&) = default;

  std::deque<std::string> Fragments;  // the writer's own texts
  std::vector<DocumentPiece> Pieces;  // fragments, rows and lists, in order
  RowComposer ComposeRow;             // for the rows of the lists
};

void ClearDocument(DocumentText& doc);
void AppendText(DocumentText& doc, std::string_view text);
// The row must outlive the document.
void AppendRow(DocumentText& doc, const std::string& row);
// The rows of a list, from its last entry to its first when descending,
// composed by ComposeRow as the document is written.
void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending);
size_t DocumentLength(const DocumentText& doc);
// The whole document as one text, with its line ends as composed.
std::string Flatten(const DocumentText& doc);

// Writes the document to the sink with every line end as one line_end: a
// "\r\n" of the text and a lone "\n" both become line_end. False when a
// write fails.
bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end);

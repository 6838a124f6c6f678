// A document as its writer composes it: its own texts, and the places where
// the rows of an entry list go. Plain data without pointers, so a document
// may be copied and moved freely; the rows are composed only as it is
// written, one after the other into one reused text, so a page of a million
// rows is never held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

enum class EntryList { kFolders, kFiles };

// One piece of a document: a text, or every row of one entry list.
struct DocumentPiece {
  std::string Text;
  bool Rows = false;
  EntryList List = EntryList::kFolders;
};

struct DocumentText {
  std::vector<DocumentPiece> Pieces;
};

// Appends the row of one entry (an HTML table row, a text line) to row.
using RowComposer = std::function<void(const FileInfoX& entry, std::string& row)>;

void AppendText(DocumentText& doc, std::string_view text);
// The rows of a list, in the list's order.
void AppendListRows(DocumentText& doc, EntryList list);

// Calls visit with every text of the document, in order: its own texts as
// they stand, the rows of the listing's lists composed by compose and handed
// on in runs of many rows. Stops at the first visit that returns false;
// false then.
bool VisitDocumentTexts(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose,
                        const std::function<bool(std::string_view text)>& visit);

// The whole document as one text, with its line ends as composed.
std::string Flatten(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose);
size_t DocumentLength(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose);

// Writes the document to the sink with every line end as one line_end: a
// "\r\n" of the text and a lone "\n" both become line_end. False when a
// write fails.
bool WriteDocument(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose,
                   ByteSink& sink, std::string_view line_end);

// Takes a line of exactly the text from the start of a document, with
// either line end (a document is written with the platform's); false when
// it is not there.
bool TakeLine(std::string_view& start, std::string_view text);

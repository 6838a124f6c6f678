// The working data of a listing that the record holds: the entries of the
// two lists and the composed document. Plain data; the scan fills the lists
// (listing/), the writers compose and write the document (output/).
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// One directory entry of a listing.
struct FileInfoX {
  FolderRecord Find;
  // The source folder as it stood when the entry was gathered, held once for
  // a whole list (DirFileStruct) instead of by each entry; null when unknown.
  const std::string* FolderPath = nullptr;
  // Entries sort by their name, lower-cased when IgnoreCase is set; the
  // lower-cased names are made while sorting, not held by every entry.
};

// The result of one scan: folders and files, each in ascending order.
struct DirFileStruct {
  std::deque<FileInfoX> FolderList;
  std::deque<FileInfoX> FileList;
  // What the FolderPath of each list's entries points to. Copies of the lists
  // share it, so their entries stay valid as long as any copy lives.
  std::shared_ptr<const std::string> FolderListSource;
  std::shared_ptr<const std::string> FileListSource;
};

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

// Calls visit with every text of the document, in order: its own texts as
// they stand, the rows of a list composed by ComposeRow and handed on in runs
// of many rows. Stops at the first visit that returns false; false then.
bool VisitDocumentTexts(const DocumentText& doc, const std::function<bool(std::string_view text)>& visit);

// The whole document as one text, with its line ends as composed.
std::string Flatten(const DocumentText& doc);

// Passes texts on to a sink with every line end as one line_end: a "\r\n"
// and a lone "\n" alike, even where a "\r\n" is split between two texts.
class LineEndWriter {
 public:
  LineEndWriter(ByteSink& sink, std::string_view line_end)
      : sink_(sink), line_end_(line_end), lone_line_feed_(line_end == "\n") {}

  bool Write(std::string_view text);

  // Writes a CR that ended the last text.
  bool Finish() { return !pending_carriage_return_ || sink_.Write("\r"); }

 private:
  ByteSink& sink_;
  const std::string_view line_end_;
  const bool lone_line_feed_;
  bool pending_carriage_return_ = false;
};

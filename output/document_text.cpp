#include "output/document_text.h"

#include <cstddef>

#include "settings/line_ends.h"

namespace {

// Rows are handed on in runs of about this many bytes: few calls per row,
// and a run that stays in the processor's cache until it is used.
constexpr size_t kRowRunBytes = 64 * 1024;

// How many entries ahead a name is fetched into the cache: the names lie in
// the order the folder gave them, not in the order of the list.
constexpr ptrdiff_t kNamesAhead = 8;

template <typename Entries>
bool VisitRows(const RowComposer& compose, Entries first, Entries last, std::string& rows,
               const std::function<bool(std::string_view text)>& visit) {
  for (; first != last; ++first) {
    if (last - first > kNamesAhead) __builtin_prefetch(first[kNamesAhead].Find.cFileName.data());
    compose(*first, rows);
    if (rows.size() < kRowRunBytes) continue;
    if (!visit(rows)) return false;
    rows.clear();
  }
  return rows.empty() || visit(rows);
}

}  // namespace

void AppendText(DocumentText& doc, std::string_view text) {
  if (text.empty()) return;
  if (!doc.Pieces.empty() && !doc.Pieces.back().Rows) {
    doc.Pieces.back().Text.append(text);
    return;
  }
  doc.Pieces.emplace_back();
  doc.Pieces.back().Text.assign(text);
}

void AppendListRows(DocumentText& doc, EntryList list) {
  DocumentPiece piece;
  piece.Rows = true;
  piece.List = list;
  doc.Pieces.push_back(std::move(piece));
}

bool VisitDocumentTexts(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose,
                        const std::function<bool(std::string_view text)>& visit) {
  std::string rows;
  for (const DocumentPiece& piece : doc.Pieces) {
    if (!piece.Rows) {
      if (!visit(piece.Text)) return false;
      continue;
    }
    const auto& list = piece.List == EntryList::kFolders ? listing.FolderList : listing.FileList;
    if (list.empty() || !compose) continue;
    rows.clear();
    rows.reserve(kRowRunBytes + 4096);
    if (!VisitRows(compose, list.begin(), list.end(), rows, visit)) return false;
  }
  return true;
}

std::string Flatten(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose) {
  std::string flat;
  VisitDocumentTexts(doc, listing, compose, [&flat](std::string_view text) {
    flat += text;
    return true;
  });
  return flat;
}

size_t DocumentLength(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose) {
  size_t length = 0;
  VisitDocumentTexts(doc, listing, compose, [&length](std::string_view text) {
    length += text.size();
    return true;
  });
  return length;
}

bool WriteDocument(const DocumentText& doc, const DirFileStruct& listing, const RowComposer& compose,
                   ByteSink& sink, std::string_view line_end) {
  LineEndWriter writer(sink, line_end);
  return VisitDocumentTexts(doc, listing, compose,
                            [&writer](std::string_view text) { return writer.Write(text); }) &&
         writer.Finish();
}

bool TakeLine(std::string_view& start, std::string_view text) {
  if (start.substr(0, text.size()) != text) return false;
  start.remove_prefix(text.size());
  for (std::string_view end : {"\r\n", "\n"}) {
    if (start.substr(0, end.size()) == end) {
      start.remove_prefix(end.size());
      return true;
    }
  }
  return false;
}

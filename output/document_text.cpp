#include "output/document_text.h"

#include <cstddef>
#include <cstring>

DocumentText::DocumentText(const DocumentText& other) {
  *this = other;
}

DocumentText& DocumentText::operator=(const DocumentText& other) {
  if (this == &other) return *this;
  std::string flat = Flatten(other);
  ClearDocument(*this);
  AppendText(*this, flat);
  return *this;
}

void ClearDocument(DocumentText& doc) {
  doc.Fragments.clear();
  doc.Pieces.clear();
  doc.ComposeRow = nullptr;
}

void AppendText(DocumentText& doc, std::string_view text) {
  if (text.empty()) return;
  if (!doc.Pieces.empty() && !doc.Fragments.empty() && doc.Pieces.back().Text == &doc.Fragments.back()) {
    doc.Fragments.back().append(text);
    return;
  }
  doc.Fragments.emplace_back(text);
  doc.Pieces.push_back({&doc.Fragments.back(), nullptr, false});
}

void AppendRow(DocumentText& doc, const std::string& row) {
  doc.Pieces.push_back({&row, nullptr, false});
}

void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending) {
  doc.Pieces.push_back({nullptr, &list, descending});
}

namespace {

// Rows are handed on in runs of about this many bytes: few calls per row,
// and a run that stays in the processor's cache until it is written.
constexpr size_t kRowRunBytes = 64 * 1024;

// How many entries ahead a name is fetched into the cache: the names lie in
// the order the folder gave them, not in the order of the list.
constexpr ptrdiff_t kNamesAhead = 8;

template <typename Entries, typename Visit>
bool VisitRows(const RowComposer& compose, Entries first, Entries last, std::string& rows, Visit visit) {
  for (; first != last; ++first) {
    if (last - first > kNamesAhead) __builtin_prefetch(first[kNamesAhead].Find.cFileName.data());
    compose(*first, rows);
    if (rows.size() < kRowRunBytes) continue;
    if (!visit(rows)) return false;
    rows.clear();
  }
  return rows.empty() || visit(rows);
}

// Calls visit with every text of the document, in order.
template <typename Visit>
bool VisitTexts(const DocumentText& doc, Visit visit) {
  std::string rows;
  for (const DocumentPiece& piece : doc.Pieces) {
    if (piece.Text != nullptr) {
      if (!visit(*piece.Text)) return false;
      continue;
    }
    if (piece.Rows->empty() || !doc.ComposeRow) continue;
    rows.clear();
    rows.reserve(kRowRunBytes + 4096);
    const bool visited =
        piece.Descending
            ? VisitRows(doc.ComposeRow, piece.Rows->rbegin(), piece.Rows->rend(), rows, visit)
            : VisitRows(doc.ComposeRow, piece.Rows->begin(), piece.Rows->end(), rows, visit);
    if (!visited) return false;
  }
  return true;
}

}  // namespace

size_t DocumentLength(const DocumentText& doc) {
  size_t length = 0;
  VisitTexts(doc, [&length](const std::string& text) {
    length += text.size();
    return true;
  });
  return length;
}

std::string Flatten(const DocumentText& doc) {
  std::string flat;
  VisitTexts(doc, [&flat](const std::string& text) {
    flat += text;
    return true;
  });
  return flat;
}

bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end) {
  bool pending_carriage_return = false;
  const bool lone_line_feed = line_end == "\n";
  return VisitTexts(doc, [&](const std::string& text) {
    // Where a line end is a lone LF, most texts go out as they are.
    if (lone_line_feed && !pending_carriage_return &&
        std::memchr(text.data(), '\r', text.size()) == nullptr) {
      return sink.Write(text);
    }
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
      const char* line_feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
      const char* run_end = line_feed == nullptr ? end : line_feed;
      // A CR is held back until the next byte tells whether it starts a
      // line end, which may be in the next text.
      if (pending_carriage_return && (line_feed != at) && !sink.Write("\r")) return false;
      pending_carriage_return = false;
      const char* kept_end = run_end;
      if (kept_end > at && kept_end[-1] == '\r') {
        --kept_end;
        pending_carriage_return = line_feed == nullptr;
      }
      if (kept_end > at && !sink.Write(std::string_view(at, kept_end - at))) return false;
      if (line_feed == nullptr) break;
      if (!sink.Write(line_end)) return false;
      at = line_feed + 1;
    }
    return true;
  }) && (!pending_carriage_return || sink.Write("\r"));
}

#include "settings/listing_data.h"

#include <cstddef>
#include <cstring>
#include <utility>

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

bool VisitDocumentTexts(const DocumentText& doc, const std::function<bool(std::string_view text)>& visit) {
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
        piece.Descending ? VisitRows(doc.ComposeRow, piece.Rows->rbegin(), piece.Rows->rend(), rows, visit)
                         : VisitRows(doc.ComposeRow, piece.Rows->begin(), piece.Rows->end(), rows, visit);
    if (!visited) return false;
  }
  return true;
}

std::string Flatten(const DocumentText& doc) {
  std::string flat;
  VisitDocumentTexts(doc, [&flat](std::string_view text) {
    flat += text;
    return true;
  });
  return flat;
}

DocumentText::DocumentText(const DocumentText& other) { *this = other; }

DocumentText& DocumentText::operator=(const DocumentText& other) {
  if (this == &other) return *this;
  std::string flat = Flatten(other);
  Fragments.clear();
  Pieces.clear();
  ComposeRow = nullptr;
  if (!flat.empty()) {
    Fragments.push_back(std::move(flat));
    Pieces.push_back({&Fragments.back(), nullptr, false});
  }
  return *this;
}

bool LineEndWriter::Write(std::string_view text) {
  // Where a line end is a lone LF, most texts go out as they are.
  if (lone_line_feed_ && !pending_carriage_return_ &&
      std::memchr(text.data(), '\r', text.size()) == nullptr) {
    return sink_.Write(text);
  }
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    const char* line_feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
    const char* run_end = line_feed == nullptr ? end : line_feed;
    // A CR is held back until the next byte tells whether it starts a line
    // end, which may be in the next text.
    if (pending_carriage_return_ && line_feed != at && !sink_.Write("\r")) return false;
    pending_carriage_return_ = false;
    const char* kept_end = run_end;
    if (kept_end > at && kept_end[-1] == '\r') {
      --kept_end;
      pending_carriage_return_ = line_feed == nullptr;
    }
    if (kept_end > at && !sink_.Write(std::string_view(at, kept_end - at))) return false;
    if (line_feed == nullptr) break;
    if (!sink_.Write(line_end_)) return false;
    at = line_feed + 1;
  }
  return true;
}

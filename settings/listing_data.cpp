#include "settings/listing_data.h"

#include <cstddef>
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

#include "output/document_text.h"

#include <cstring>

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

void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending) {
  doc.Pieces.push_back({nullptr, &list, descending});
}

size_t DocumentLength(const DocumentText& doc) {
  size_t length = 0;
  VisitDocumentTexts(doc, [&length](std::string_view text) {
    length += text.size();
    return true;
  });
  return length;
}

namespace {

// Passes texts on to a sink with every line end as one line_end: a "\r\n"
// and a lone "\n" alike, even where a "\r\n" is split between two texts.
class LineEndWriter {
 public:
  LineEndWriter(ByteSink& sink, std::string_view line_end)
      : sink_(sink), line_end_(line_end), lone_line_feed_(line_end == "\n") {}

  bool Write(std::string_view text) {
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

  // Writes a CR that ended the last text.
  bool Finish() { return !pending_carriage_return_ || sink_.Write("\r"); }

 private:
  ByteSink& sink_;
  const std::string_view line_end_;
  const bool lone_line_feed_;
  bool pending_carriage_return_ = false;
};

}  // namespace

bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end) {
  LineEndWriter writer(sink, line_end);
  return VisitDocumentTexts(doc, [&writer](std::string_view text) { return writer.Write(text); }) &&
         writer.Finish();
}

#include "output/document_text.h"

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

bool WriteDocument(const DocumentText& doc, ByteSink& sink, std::string_view line_end) {
  LineEndWriter writer(sink, line_end);
  return VisitDocumentTexts(doc, [&writer](std::string_view text) { return writer.Write(text); }) &&
         writer.Finish();
}

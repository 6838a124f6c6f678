#include "output/document_text.h"

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
}

void AppendText(DocumentText& doc, std::string_view text) {
  if (text.empty()) return;
  if (!doc.Pieces.empty() && !doc.Fragments.empty() && doc.Pieces.back() == &doc.Fragments.back()) {
    doc.Fragments.back().append(text);
    return;
  }
  doc.Fragments.emplace_back(text);
  doc.Pieces.push_back(&doc.Fragments.back());
}

void AppendRow(DocumentText& doc, const std::string& row) {
  doc.Pieces.push_back(&row);
}

void AppendListRows(DocumentText& doc, const std::deque<FileInfoX>& list, bool descending) {
  if (descending) {
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) AppendRow(doc, entry->RowText);
  } else {
    for (const FileInfoX& entry : list) AppendRow(doc, entry.RowText);
  }
}

size_t DocumentLength(const DocumentText& doc) {
  size_t length = 0;
  for (const std::string* piece : doc.Pieces) length += piece->size();
  return length;
}

std::string Flatten(const DocumentText& doc) {
  std::string text;
  text.reserve(DocumentLength(doc));
  for (const std::string* piece : doc.Pieces) text += *piece;
  return text;
}

bool WriteDocument(const DocumentText& doc, std::FILE* stream) {
  char previous = 0;
  for (const std::string* piece : doc.Pieces) {
    const char* at = piece->data();
    const char* end = at + piece->size();
    while (at < end) {
      const char* line_feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
      if (line_feed == nullptr) {
        if (std::fwrite(at, 1, end - at, stream) != static_cast<size_t>(end - at)) return false;
        previous = end[-1];
        break;
      }
      size_t run = line_feed - at;
      if (run > 0 && std::fwrite(at, 1, run, stream) != run) return false;
      if (run > 0) previous = line_feed[-1];
      const char* ending = previous == '\r' ? "\n" : "\r\n";
      size_t ending_length = std::strlen(ending);
      if (std::fwrite(ending, 1, ending_length, stream) != ending_length) return false;
      previous = '\n';
      at = line_feed + 1;
    }
  }
  return true;
}

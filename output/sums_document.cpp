#include "output/sums_document.h"

#include "listing/column_values.h"
#include "output/document_text.h"
#include "platform/platform.h"

namespace {

// The path as the tools read it back: "/" between folders, which they take
// on Windows too, where "\" would read as an escape.
std::string PathOf(const ListingRun& run, const FileInfoX& entry) {
  std::string path = run.PathPrefix != nullptr ? *run.PathPrefix : std::string();
  if (FolderSeparator() == '\\') {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
  }
  return path + entry.Find.cFileName;
}

bool NeedsEscapes(const std::string& path) { return path.find_first_of("\\\n\r") != std::string::npos; }

void AppendEscapedPath(std::string& row, const std::string& path) {
  for (char c : path) {
    switch (c) {
      case '\\':
        row += "\\\\";
        break;
      case '\n':
        row += "\\n";
        break;
      case '\r':
        row += "\\r";
        break;
      default:
        row += c;
    }
  }
}

}  // namespace

void AppendSumsLine(ListingRun& run, const FileInfoX& entry, std::string& row) {
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  if (sums == nullptr || sums->empty()) return;
  const std::string path = PathOf(run, entry);
  const bool escaped = NeedsEscapes(path);
  if (escaped) row += '\\';
  row += sums->front();
  row += "  ";
  if (escaped) {
    AppendEscapedPath(row, path);
  } else {
    row += path;
  }
  row += '\n';
}

void ComposeSumsDocument(ListingRun& run) {
  run.Document = DocumentText();
  AppendListRows(run.Document, EntryList::kFiles);
}

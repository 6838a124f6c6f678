#include "output/names_document.h"

#include "output/document_text.h"
#include "output/escapes.h"

void AppendNameLine(ListingRun& run, const FileInfoX& entry, std::string& row) {
  if (run.PathPrefix != nullptr) AppendNameEscaped(row, *run.PathPrefix);
  AppendNameEscaped(row, entry.Find.cFileName);
  row += "\r\n";
}

void AppendNullEndedName(ListingRun& run, const FileInfoX& entry, std::string& row) {
  if (run.PathPrefix != nullptr) row += *run.PathPrefix;
  row += entry.Find.cFileName;
  row += '\0';
}

void ComposeNamesDocument(ListingRun& run) {
  run.Document = DocumentText();
  AppendListRows(run.Document, EntryList::kFolders);
  AppendListRows(run.Document, EntryList::kFiles);
}

#include "output/names_document.h"

#include "output/document_text.h"
#include "output/escapes.h"

void AppendNameLine(ListingRun&, const FileInfoX& entry, std::string& row) {
  AppendControlEscaped(row, entry.Find.cFileName);
  row += "\r\n";
}

void AppendNullEndedName(ListingRun&, const FileInfoX& entry, std::string& row) {
  row += entry.Find.cFileName;
  row += '\0';
}

void ComposeNamesDocument(ListingRun& run) {
  const bool descending = run.Settings->DescOrder;
  run.Document = DocumentText();
  AppendListRows(run.Document, EntryList::kFolders, descending);
  AppendListRows(run.Document, EntryList::kFiles, descending);
}

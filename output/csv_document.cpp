#include "output/csv_document.h"

#include "output/document_text.h"
#include "output/entry_fields.h"
#include "output/escapes.h"

void AppendCsvRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  std::string scratch;
  for (const EntryField& field : kEntryFields) {
    if (&field != kEntryFields) row += ',';
    scratch.clear();
    const FieldValue value = field.Value(run, entry, scratch);
    if (value.Type == FieldType::kText) {
      AppendCsvField(row, value.Text);
    } else if (value.Type == FieldType::kNumber) {
      row += value.Text;
    }
  }
  row += "\r\n";
}

std::string CsvHeader(const ListingRun&) {
  std::string header;
  for (const EntryField& field : kEntryFields) {
    if (!header.empty()) header += ',';
    header += FieldKey(field);
  }
  return header + "\r\n";
}

void ComposeCsvDocument(ListingRun& run) {
  DocumentText& doc = run.Document;
  doc = DocumentText();
  AppendText(doc, CsvHeader(run));
  AppendListRows(doc, EntryList::kFolders);
  AppendListRows(doc, EntryList::kFiles);
}

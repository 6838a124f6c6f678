#include "output/csv_document.h"

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/entry_fields.h"
#include "output/escapes.h"
#include "platform/platform.h"

void AppendCsvRow(ListingRun& run, const FileInfoX& entry, std::string& row) {
  std::string scratch;
  for (const EntryField& field : kEntryFields) {
    if (!HasField(run, field)) continue;
    if (&field != kEntryFields) row += ',';
    scratch.clear();
    const FieldValue value = field.Value(run, entry, scratch);
    if (value.Type == FieldType::kText) {
      AppendCsvField(row, value.Text);
    } else if (value.Type == FieldType::kNumber) {
      row += value.Text;
    }
  }
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  for (size_t at = 0; at < run.Checksums.size(); ++at) {
    row += ',';
    if (sums != nullptr) row += (*sums)[at];
  }
  row += "\r\n";
}

namespace {

bool StartsWithByteOrderMark(const CommonStruct& settings) {
  if (settings.CsvBom == "1") return true;
  if (settings.CsvBom == "0") return false;
  return CsvByteOrderMarkByDefault();
}

}  // namespace

std::string CsvHeader(const ListingRun& run) {
  std::string header = StartsWithByteOrderMark(*run.Settings) ? "\xEF\xBB\xBF" : "";
  bool first = true;
  for (const EntryField& field : kEntryFields) {
    if (!HasField(run, field)) continue;
    if (!first) header += ',';
    first = false;
    header += FieldKey(field);
  }
  // A column per checksum, named as its algorithm, after every field.
  for (DigestAlgorithm algorithm : run.Checksums) header += std::string(",") + DigestName(algorithm);
  return header + "\r\n";
}

void ComposeCsvDocument(ListingRun& run) {
  DocumentText& doc = run.Document;
  doc = DocumentText();
  AppendText(doc, CsvHeader(run));
  AppendListRows(doc, EntryList::kFolders);
  AppendListRows(doc, EntryList::kFiles);
}

#include "output/json_document.h"

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/entry_fields.h"
#include "output/escapes.h"

namespace {

void AppendString(std::string& out, std::string_view text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
}

// The program's own keys, which need no escaping.
void AppendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\": ";
}

void AppendMember(std::string& out, const char* key, std::string_view text) {
  AppendKey(out, key);
  AppendString(out, text);
}

void AppendNumberMember(std::string& out, const char* key, const std::string& digits) {
  AppendKey(out, key);
  out += digits;
}

std::string FolderObject(const ListingRun& run) {
  std::string folder = "{";
  AppendMember(folder, "path", run.Folder);
  folder += ", ";
  AppendMember(folder, "name", FolderOwnName(run.Folder));
  return folder + "}";
}

std::string SettingsObject(const CommonStruct& record) {
  std::string settings = "{";
  AppendMember(settings, "folder_mask", record.DirMask);
  settings += ", ";
  AppendMember(settings, "file_mask", record.FileMask);
  settings += ", ";
  AppendMember(settings, "sort_by", SortKeyName(record.SortBy));
  settings += std::string(", \"descending\": ") + (record.DescOrder ? "true" : "false");
  settings += std::string(", \"ignore_case\": ") + (record.IgnoreCase ? "true" : "false");
  return settings + "}";
}

std::string TotalsObject(const ListingTotals& totals) {
  std::string object = "{";
  AppendNumberMember(object, "folders", std::to_string(totals.FolderCount));
  object += ", ";
  AppendNumberMember(object, "files", std::to_string(totals.FileCount));
  object += ", ";
  AppendNumberMember(object, "bytes", totals.BytesKnown ? std::to_string(totals.TotalBytes) : "null");
  return object + "}";
}

// "checksums": {"sha256": "…"} where they were asked for, for a file that
// has content (none for a folder or a link); null for a file that could not
// be read whole.
void AppendChecksumsMember(std::string& row, const ListingRun& run, const FileInfoX& entry) {
  if (run.Checksums.empty() || !HasContentChecksums(entry)) return;
  const std::vector<std::string>* sums = ChecksumsOf(entry, run.Listing.Values);
  row += ", \"checksums\": {";
  for (size_t at = 0; at < run.Checksums.size(); ++at) {
    if (at > 0) row += ", ";
    AppendKey(row, DigestName(run.Checksums[at]));
    row += sums != nullptr ? '"' + (*sums)[at] + '"' : std::string("null");
  }
  row += '}';
}

}  // namespace

void AppendTotalsMembers(std::string& out, const SubtreeTotals& totals) {
  out += ", ";
  AppendNumberMember(out, "size", std::to_string(totals.Bytes));
  out += ", ";
  AppendNumberMember(out, "files", std::to_string(totals.Files));
  out += ", ";
  AppendNumberMember(out, "folders", std::to_string(totals.Folders));
  if (totals.Incomplete) out += ", \"size_incomplete\": true";
}

void AppendJsonEntry(ListingRun& run, const FileInfoX& entry, std::string& row) {
  row += IsFirstRow(run, entry) ? "\n    {" : ",\n    {";
  std::string scratch;
  bool first = true;
  for (const EntryField& field : kEntryFields) {
    scratch.clear();
    const FieldValue value = field.Value(run, entry, scratch);
    if (value.Type == FieldType::kAbsent) continue;
    if (!first) row += ", ";
    first = false;
    AppendKey(row, FieldKey(field));
    switch (value.Type) {
      case FieldType::kText:
        AppendString(row, value.Text);
        break;
      case FieldType::kNumber:
        row += value.Text;
        break;
      case FieldType::kNone:
      case FieldType::kAbsent:
        row += "null";
        break;
    }
  }
  AppendChecksumsMember(row, run, entry);
  row += '}';
}

void ComposeJsonDocument(ListingRun& run) {
  const CommonStruct& record = *run.Settings;
  DocumentText& doc = run.Document;
  doc = DocumentText();
  AppendText(doc, "{\n  \"folder\": " + FolderObject(run) + ",\n  \"settings\": " + SettingsObject(record) +
                      ",\n  \"totals\": " + TotalsObject(run.Totals) + ",\n  \"entries\": [");
  AppendListRows(doc, EntryList::kFolders);
  AppendListRows(doc, EntryList::kFiles);
  AppendText(doc, "\n  ]\n}\n");
}

std::string JsonTreeHead(const ListingRun& top) {
  return "{\n  \"folder\": " + FolderObject(top) + ",\n  \"settings\": " + SettingsObject(*top.Settings) +
         ",\n  \"entries\": [";
}

std::string JsonTreeTail(const ListingTotals& totals) {
  return "\n  ],\n  \"totals\": " + TotalsObject(totals) + "\n}\n";
}

void IndentJsonRow(std::string& row, size_t depth) {
  // Escaped names hold no line break: the row's own come before its object.
  const size_t line_start = row.find('\n');
  if (line_start != std::string::npos) row.insert(line_start + 1, 2 * depth, ' ');
}

void OpenJsonFolder(std::string& row, size_t) {
  row.pop_back();  // the object's closing brace, which the listing's end writes
  row += ", \"entries\": [";
}

std::string CloseJsonFolder(size_t depth, const SubtreeTotals* totals) {
  std::string close = "\n" + std::string(4 + 2 * depth, ' ') + "]";
  // A folder's totals are known once its entries are: they end its object.
  if (totals != nullptr) AppendTotalsMembers(close, *totals);
  return close + "}";
}

void FailJsonFolder(std::string& row, const std::string& reason) {
  row.pop_back();
  row += ", ";
  AppendMember(row, "error", reason);
  row += '}';
}

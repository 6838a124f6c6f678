#include "output/entry_fields.h"

#include "listing/column_values.h"
#include "output/escapes.h"

namespace {

FieldValue Text(std::string_view text) { return {FieldType::kText, text}; }
FieldValue TextOrNone(std::string_view text) {
  return {text.empty() ? FieldType::kNone : FieldType::kText, text};
}

FieldValue NameValue(ListingRun& run, const FileInfoX& entry, std::string& scratch) {
  if (run.PathPrefix == nullptr) return Text(entry.Find.cFileName);
  scratch = *run.PathPrefix + entry.Find.cFileName;
  return Text(scratch);
}

FieldValue NameBytesValue(ListingRun& run, const FileInfoX& entry, std::string& scratch) {
  const std::string prefix = run.PathPrefix != nullptr ? *run.PathPrefix : std::string();
  if (IsExactAsUtf8(entry.Find.cFileName) && IsExactAsUtf8(prefix)) return {FieldType::kAbsent, {}};
  AppendPercentEncoded(scratch, prefix + entry.Find.cFileName);
  return Text(scratch);
}

FieldValue KindValue(ListingRun&, const FileInfoX& entry, std::string&) { return Text(EntryKind(entry)); }

FieldValue SizeValue(ListingRun&, const FileInfoX& entry, std::string& scratch) {
  scratch = std::to_string(IsFolder(entry.Find.dwFileAttributes) ? 0 : EntrySize(entry));
  return {FieldType::kNumber, scratch};
}

FieldValue TimeValue(uint64_t time, std::string& scratch) {
  AppendIsoTime(scratch, time, IsoTime::kMachine);
  return TextOrNone(scratch);
}

FieldValue ModifiedValue(ListingRun&, const FileInfoX& entry, std::string& scratch) {
  return TimeValue(entry.Find.ftLastWriteTime, scratch);
}

FieldValue CreatedValue(ListingRun&, const FileInfoX& entry, std::string& scratch) {
  return TimeValue(entry.Find.ftCreationTime, scratch);
}

FieldValue AccessedValue(ListingRun&, const FileInfoX& entry, std::string& scratch) {
  return TimeValue(entry.Find.ftLastAccessTime, scratch);
}

FieldValue AttributesValue(ListingRun&, const FileInfoX& entry, std::string& scratch) {
  scratch = AttributeText(entry.Find.dwFileAttributes);
  return Text(scratch);
}

// Only the registered description: the classic fallback ("File "xyz"") is
// made of the user's words and the extension, which the name already holds.
FieldValue TypeValue(ListingRun& run, const FileInfoX& entry, std::string&) {
  if (IsFolder(entry.Find.dwFileAttributes)) return {FieldType::kNone, {}};
  return TextOrNone(TypeDescription(entry, run.Listing.Values));
}

FieldValue MimeValue(ListingRun& run, const FileInfoX& entry, std::string&) {
  if (IsFolder(entry.Find.dwFileAttributes)) return {FieldType::kNone, {}};
  return TextOrNone(MimeTypeOf(entry, run.Listing.Values));
}

FieldValue TargetValue(ListingRun& run, const FileInfoX& entry, std::string&) {
  if (!IsLink(entry.Find.dwFileAttributes)) return {FieldType::kAbsent, {}};
  const std::string* target = LinkTargetOf(entry, run.Listing.Values);
  return target != nullptr ? Text(*target) : FieldValue{FieldType::kNone, {}};
}

using ValueOf = FieldValue (*)(ListingRun& run, const FileInfoX& entry, std::string& scratch);

// A field of a column, keyed as the column table says.
constexpr EntryField Field(ColumnId column, ValueOf value) { return {nullptr, column, value}; }
// A field of its own.
constexpr EntryField Field(const char* key, ValueOf value) { return {key, ColumnId::kName, value}; }

}  // namespace

const EntryField kEntryFields[kEntryFieldCount] = {
    Field(ColumnId::kName, NameValue),
    Field("name_bytes", NameBytesValue),
    Field("kind", KindValue),
    Field(ColumnId::kSize, SizeValue),
    Field(ColumnId::kLastWrite, ModifiedValue),
    Field(ColumnId::kCreation, CreatedValue),
    Field(ColumnId::kLastRead, AccessedValue),
    Field(ColumnId::kAttributes, AttributesValue),
    Field(ColumnId::kType, TypeValue),
    Field("mime", MimeValue),
    Field("target", TargetValue),
};

const char* FieldKey(const EntryField& field) {
  return field.OwnKey != nullptr ? field.OwnKey : ColumnOf(field.Column).Field;
}

EnrichNeeds EntryFieldNeeds(const CommonStruct&) {
  EnrichNeeds needs;
  needs.Types = needs.MimeTypes = needs.LinkTargets = true;
  return needs;
}

const char* EntryKind(const FileInfoX& entry) {
  if (IsLink(entry.Find.dwFileAttributes)) return "link";
  return IsFolder(entry.Find.dwFileAttributes) ? "folder" : "file";
}

std::string FolderOwnName(const std::string& folder) {
  const char separators[] = {'/', FolderSeparator(), '\0'};
  const size_t end = folder.find_last_not_of(separators);
  if (end == std::string::npos) return std::string();
  const size_t last = folder.find_last_of(separators, end);
  const size_t start = last == std::string::npos ? 0 : last + 1;
  // "C:" of "C:\" is a drive, no folder's name.
  if (start == 0 && end == 1 && folder[1] == ':') return std::string();
  return folder.substr(start, end + 1 - start);
}

bool IsFirstRow(const ListingRun& run, const FileInfoX& entry) {
  for (const auto* list : {&run.Listing.FolderList, &run.Listing.FileList}) {
    if (!list->empty()) return &entry == &list->front();
  }
  return false;
}

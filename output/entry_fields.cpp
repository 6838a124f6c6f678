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

// A folder's totals where the sizes were added up and are known by now: a
// folder of a tree document is written before what lies below it.
const SubtreeTotals* TotalsOf(const ListingRun& run, const FileInfoX& entry) {
  if (!run.SizesAddedUp || !IsFolder(entry.Find.dwFileAttributes)) return nullptr;
  const auto found = run.Subtrees.find(entry.Find.cFileName);
  return found == run.Subtrees.end() ? nullptr : &found->second;
}

// A folder's size is 0 unless its sizes were added up; then its total, and
// nothing where that is not known (a folder not entered, or one whose total
// a tree's document writes after its entries).
FieldValue SizeValue(ListingRun& run, const FileInfoX& entry, std::string& scratch) {
  const bool folder = IsFolder(entry.Find.dwFileAttributes);
  // A link to a folder that the walk does not enter counts nothing.
  const bool unknown = folder && run.SizesAddedUp && TotalsOf(run, entry) == nullptr;
  if (unknown && !IsLink(entry.Find.dwFileAttributes)) return {FieldType::kAbsent, {}};
  if (run.SizesUnknown && !(folder && !run.SizesAddedUp)) return {FieldType::kNone, {}};
  scratch = std::to_string(folder && (unknown || !run.SizesAddedUp) ? 0 : EntrySize(entry));
  return {FieldType::kNumber, scratch};
}

FieldValue CountValue(const SubtreeTotals* totals, uint64_t SubtreeTotals::*count, std::string& scratch) {
  if (totals == nullptr) return {FieldType::kAbsent, {}};
  scratch = std::to_string(totals->*count);
  return {FieldType::kNumber, scratch};
}

FieldValue FilesValue(ListingRun& run, const FileInfoX& entry, std::string& scratch) {
  return CountValue(TotalsOf(run, entry), &SubtreeTotals::Files, scratch);
}

FieldValue FoldersValue(ListingRun& run, const FileInfoX& entry, std::string& scratch) {
  return CountValue(TotalsOf(run, entry), &SubtreeTotals::Folders, scratch);
}

FieldValue IncompleteValue(ListingRun& run, const FileInfoX& entry, std::string&) {
  const SubtreeTotals* totals = TotalsOf(run, entry);
  if (totals == nullptr || !totals->Incomplete) return {FieldType::kAbsent, {}};
  return {FieldType::kNumber, "true"};
}

// A count of 0 is a time that the source did not tell (a listing read from
// a catalog keeps no creation or access time): no disk holds files of 1601.
FieldValue TimeValue(uint64_t time, std::string& scratch) {
  if (time == 0) return {FieldType::kNone, {}};
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
// A field of the totals below a folder.
constexpr EntryField SizesField(const char* key, ValueOf value) {
  return {key, ColumnId::kName, value, true};
}

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
    SizesField("files", FilesValue),
    SizesField("folders", FoldersValue),
    SizesField("size_incomplete", IncompleteValue),
};

const char* FieldKey(const EntryField& field) {
  return field.OwnKey != nullptr ? field.OwnKey : ColumnOf(field.Column).Field;
}

EnrichNeeds EntryFieldNeeds(const CommonStruct&) {
  EnrichNeeds needs;
  needs.Types = needs.MimeTypes = needs.LinkTargets = true;
  return needs;
}

bool HasField(const ListingRun& run, const EntryField& field) {
  return !field.WithSizesOnly || run.SizesAddedUp;
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

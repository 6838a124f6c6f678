// Everything's file list (EFU) read into the model: CSV with a header of
// named columns, a row per file or folder with its absolute Windows path,
// times as FILETIME counts and the attributes as a number. The folder that
// holds every path is the listing's top.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/listing_readers.h"
#include "output/listing_syntax.h"

namespace {

struct EfuColumns {
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t Path = kNone;
  size_t Size = kNone;
  size_t Modified = kNone;
  size_t Created = kNone;
  size_t Accessed = kNone;
  size_t Attributes = kNone;
};

struct EfuColumnName {
  const char* Caption;
  size_t EfuColumns::*Place;
};
constexpr EfuColumnName kEfuColumnNames[] = {
    {"Filename", &EfuColumns::Path},          {"Size", &EfuColumns::Size},
    {"Date Modified", &EfuColumns::Modified}, {"Date Created", &EfuColumns::Created},
    {"Date Accessed", &EfuColumns::Accessed}, {"Attributes", &EfuColumns::Attributes}};

struct EfuRow {
  std::vector<std::string> Parts;  // the path's names, the drive first
  FolderRecord Record;
  bool Sized = false;
  size_t Offset = 0;
};

// The names of a Windows path; its leading separators (a UNC path's "\\")
// kept in lead.
std::vector<std::string> PathParts(const std::string& path, std::string& lead) {
  const size_t start = path.find_first_not_of("\\/");
  lead = path.substr(0, std::min(start, path.size()));
  std::vector<std::string> parts;
  std::string name;
  for (size_t at = lead.size(); at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '\\' && path[at] != '/') {
      name += path[at];
    } else if (!name.empty()) {
      parts.push_back(std::move(name));
      name.clear();
    }
  }
  return parts;
}

class EfuReader {
 public:
  EfuReader(std::string_view content, ListingModel& model)
      : content_(content), model_(model), builder_(model) {}

  bool Read() {
    CsvParser parser(content_, false);
    std::vector<CsvField> row;
    if (!parser.NextRow(row)) return Fail(parser.Error());
    if (!ReadHeader(row)) return false;
    std::vector<EfuRow> rows;
    while (!parser.AtEnd()) {
      if (!parser.NextRow(row)) return Fail(parser.Error());
      if (row.size() == 1 && row[0].Text.empty()) continue;
      rows.emplace_back();
      if (!ReadRow(row, rows.back())) return false;
    }
    return Build(rows);
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& error) {
    error_ = error;
    return false;
  }

  bool FailAt(size_t offset, const std::string& what) { return Fail(PositionText(content_, offset) + what); }

  bool ReadHeader(const std::vector<CsvField>& header) {
    for (size_t at = 0; at < header.size(); ++at) {
      for (const EfuColumnName& name : kEfuColumnNames) {
        if (header[at].Text == name.Caption) columns_.*name.Place = at;
      }
    }
    if (columns_.Path != 0) return FailAt(header[0].Offset, "the header does not start with \"Filename\"");
    return true;
  }

  static const CsvField* FieldAt(const std::vector<CsvField>& row, size_t column) {
    return column < row.size() && !row[column].Text.empty() ? &row[column] : nullptr;
  }

  // A decimal count, absent where the field is empty.
  bool NumberAt(const std::vector<CsvField>& row, size_t column, uint64_t& number, bool& given) {
    const CsvField* field = FieldAt(row, column);
    given = field != nullptr;
    if (!given) return true;
    if (field->Text.size() > 19 || field->Text.find_first_not_of("0123456789") != std::string::npos)
      return FailAt(field->Offset, "no decimal number");
    number = std::stoull(field->Text);
    return true;
  }

  bool ReadRow(const std::vector<CsvField>& row, EfuRow& efu) {
    efu.Offset = row[0].Offset;
    std::string path;
    if (!Utf8ToSystemText(row[0].Text, path))
      return FailAt(row[0].Offset, "the path has no form in the system's character set");
    std::string lead;
    efu.Parts = PathParts(path, lead);
    if (efu.Parts.empty()) return FailAt(row[0].Offset, "no path");
    if (std::any_of(efu.Parts.begin(), efu.Parts.end(),
                    [](const std::string& part) { return part == "." || part == ".."; }))
      return FailAt(row[0].Offset, "no file can have this path");
    if (lead_.empty()) lead_ = lead;
    uint64_t size = 0, attributes = 0;
    bool given = false;
    FolderRecord& record = efu.Record;
    if (!NumberAt(row, columns_.Size, size, efu.Sized) ||
        !NumberAt(row, columns_.Modified, record.ftLastWriteTime, given) ||
        !NumberAt(row, columns_.Created, record.ftCreationTime, given) ||
        !NumberAt(row, columns_.Accessed, record.ftLastAccessTime, given) ||
        !NumberAt(row, columns_.Attributes, attributes, given))
      return false;
    if (attributes > UINT32_MAX) return FailAt(row[0].Offset, "the attributes are out of range");
    record.dwFileAttributes = static_cast<uint32_t>(attributes);
    record.cFileName = efu.Parts.back();
    if (!IsFolder(record.dwFileAttributes)) {
      record.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
      record.nFileSizeLow = static_cast<uint32_t>(size);
    }
    return true;
  }

  // The names every row's folder starts with.
  static std::vector<std::string> CommonFolder(const std::vector<EfuRow>& rows) {
    std::vector<std::string> common(rows.front().Parts.begin(), rows.front().Parts.end() - 1);
    for (const EfuRow& row : rows) {
      const size_t folder = row.Parts.size() - 1;
      size_t same = 0;
      while (same < common.size() && same < folder && common[same] == row.Parts[same]) ++same;
      common.resize(same);
    }
    return common;
  }

  bool Build(const std::vector<EfuRow>& rows) {
    if (rows.empty()) return true;
    const std::vector<std::string> top = CommonFolder(rows);
    model_.TopPath = lead_;
    for (size_t at = 0; at < top.size(); ++at) model_.TopPath += (at == 0 ? "" : "\\") + top[at];
    model_.TopName = top.empty() ? model_.TopPath : top.back();
    model_.Folders[0].Record.cFileName = model_.TopName;
    bool sizes_known = true;
    for (const EfuRow& row : rows) {
      const std::vector<std::string> names(row.Parts.begin() + static_cast<std::ptrdiff_t>(top.size()),
                                           row.Parts.end() - 1);
      const size_t folder = builder_.FolderAt(names);
      if (!builder_.AddEntry(folder, row.Record)) return FailAt(row.Offset, "the list names this path twice");
      if (!IsFolder(row.Record.dwFileAttributes)) {
        sizes_known = sizes_known && row.Sized;
        continue;
      }
      std::vector<std::string> below = names;
      below.push_back(row.Record.cFileName);
      model_.Folders[builder_.FolderAt(below)].Record = row.Record;
    }
    model_.SizesKnown = sizes_known;
    builder_.ListFoldersInParents();
    builder_.Finish();
    return true;
  }

  std::string_view content_;
  ListingModel& model_;
  ModelBuilder builder_;
  EfuColumns columns_;
  std::string lead_;
  std::string error_;
};

}  // namespace

bool ReadEfuListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error) {
  shape.Kind = ListingKind::kEfu;
  model.TimePrecision = 1;
  shape.Tree = true;
  EfuReader reader(content, model);
  if (reader.Read()) return true;
  error = reader.Error();
  return false;
}

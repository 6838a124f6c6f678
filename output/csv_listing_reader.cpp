// Kestrova's CSV document read back: a header naming the fields, then a
// row per entry; with -R the name is the path below the top.
#include <cstdint>
#include <map>
#include <vector>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/listing_readers.h"
#include "output/listing_syntax.h"

namespace {

// Where each known field stands in the rows; npos where the header has none.
struct CsvColumns {
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t Name = kNone;
  size_t NameBytes = kNone;
  size_t Kind = kNone;
  size_t Size = kNone;
  size_t Modified = kNone;
  size_t Created = kNone;
  size_t Accessed = kNone;
  size_t Attributes = kNone;
  size_t Type = kNone;
  size_t Mime = kNone;
  size_t Target = kNone;
  std::vector<std::pair<size_t, DigestAlgorithm>> Digests;
};

struct CsvFieldPlace {
  const char* Key;
  size_t CsvColumns::*Place;
};
constexpr CsvFieldPlace kCsvFieldPlaces[] = {
    {"name", &CsvColumns::Name},         {"name_bytes", &CsvColumns::NameBytes},
    {"kind", &CsvColumns::Kind},         {"size", &CsvColumns::Size},
    {"modified", &CsvColumns::Modified}, {"created", &CsvColumns::Created},
    {"accessed", &CsvColumns::Accessed}, {"attributes", &CsvColumns::Attributes},
    {"type", &CsvColumns::Type},         {"mime", &CsvColumns::Mime},
    {"target", &CsvColumns::Target}};

CsvColumns ColumnsOf(const std::vector<CsvField>& header) {
  CsvColumns columns;
  for (size_t at = 0; at < header.size(); ++at) {
    for (const CsvFieldPlace& place : kCsvFieldPlaces) {
      if (header[at].Text == place.Key) columns.*place.Place = at;
    }
    if (const DigestAlgorithm* algorithm = DigestNamed(header[at].Text))
      columns.Digests.emplace_back(at, *algorithm);
  }
  return columns;
}

class CsvModelReader {
 public:
  CsvModelReader(std::string_view content, ListingModel& model, ListingShape& shape)
      : content_(content), model_(model), shape_(shape), builder_(model) {}

  bool Read(const std::vector<CsvField>& header, CsvParser& parser) {
    columns_ = ColumnsOf(header);
    if (columns_.Name == CsvColumns::kNone) return Fail(header.front(), "the header has no \"name\"");
    for (const auto& [at, algorithm] : columns_.Digests) builder_.AlgorithmAt(algorithm);
    std::vector<CsvField> row;
    while (!parser.AtEnd()) {
      if (!parser.NextRow(row)) {
        error_ = parser.Error();
        return false;
      }
      if (row.size() == 1 && row.front().Text.empty()) continue;  // a blank line
      if (row.size() != header.size()) return Fail(row.front(), "the row's fields are not the header's");
      rows_.push_back(row);
    }
    // The shape is known once every name is: folders of a tree hold what
    // the rows below them name, a folder of one folder's listing nothing known.
    for (const std::vector<CsvField>& each : rows_) {
      const char* separators = FolderSeparator() == '\\' ? "/\\" : "/";
      if (each[columns_.Name].Text.find_first_of(separators) != std::string::npos) shape_.Tree = true;
    }
    for (const std::vector<CsvField>& each : rows_) {
      if (!ReadRow(each)) return false;
    }
    builder_.Finish();
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const CsvField& where, const std::string& what) {
    error_ = PositionText(content_, where.Offset) + what;
    return false;
  }

  const CsvField* FieldAt(const std::vector<CsvField>& row, size_t at) const {
    return at == CsvColumns::kNone || row[at].Text.empty() ? nullptr : &row[at];
  }

  bool PathOf(const std::vector<CsvField>& row, std::vector<std::string>& names) {
    std::string path;
    if (const CsvField* bytes = FieldAt(row, columns_.NameBytes)) {
      if (!PercentDecoded(bytes->Text, path)) return Fail(*bytes, "\"name_bytes\" is not percent-encoded");
    } else if (!Utf8ToSystemText(row[columns_.Name].Text, path)) {
      return Fail(row[columns_.Name], "the name has no form in the system's character set");
    }
    if (!SplitListedPath(path, names)) return Fail(row[columns_.Name], "no file can have this name");
    return true;
  }

  bool RecordOf(const std::vector<CsvField>& row, FolderRecord& record) {
    if (const CsvField* kind = FieldAt(row, columns_.Kind)) {
      if (kind->Text == "folder") {
        record.dwFileAttributes = kDirectoryAttribute;
      } else if (kind->Text == "link") {
        record.dwFileAttributes = kReparsePointAttribute;
      } else if (kind->Text != "file") {
        return Fail(*kind, "\"kind\" is none of file, folder, link");
      }
    }
    if (const CsvField* size = FieldAt(row, columns_.Size)) {
      if (size->Text.size() > 19 || size->Text.find_first_not_of("0123456789") != std::string::npos)
        return Fail(*size, "the size is no count of bytes");
      const uint64_t bytes = std::stoull(size->Text);
      record.nFileSizeHigh = static_cast<uint32_t>(bytes >> 32);
      record.nFileSizeLow = static_cast<uint32_t>(bytes);
    }
    for (const auto& [at, time] : {std::pair<size_t, uint64_t*>{columns_.Modified, &record.ftLastWriteTime},
                                   {columns_.Created, &record.ftCreationTime},
                                   {columns_.Accessed, &record.ftLastAccessTime}}) {
      const CsvField* field = FieldAt(row, at);
      if (field != nullptr && !ParseIsoTime(field->Text, *time))
        return Fail(*field, "the time is not of the form 2024-03-05T14:07:09Z");
    }
    if (const CsvField* attributes = FieldAt(row, columns_.Attributes)) {
      uint32_t bits = 0;
      if (!AttributesOfText(attributes->Text, bits))
        return Fail(*attributes, "no attributes such as \"R H \"");
      record.dwFileAttributes |= bits;
    }
    return true;
  }

  // A file's type, told once for its extension, and a link's target; one
  // that the system's character set cannot hold is left unknown.
  void TypeAndTarget(const std::vector<CsvField>& row, size_t folder, const std::string& name) {
    std::string description, link;
    const CsvField* type = FieldAt(row, columns_.Type);
    if (type != nullptr && !Utf8ToSystemText(type->Text, description)) description.clear();
    const CsvField* mime = FieldAt(row, columns_.Mime);
    builder_.SetType(name, description, mime != nullptr ? mime->Text : std::string());
    const CsvField* target = FieldAt(row, columns_.Target);
    if (target != nullptr && Utf8ToSystemText(target->Text, link))
      model_.Folders[folder].LinkTargets[name] = link;
  }

  bool ReadRow(const std::vector<CsvField>& row) {
    std::vector<std::string> names;
    FolderRecord record;
    if (!PathOf(row, names) || !RecordOf(row, record)) return false;
    record.cFileName = names.back();
    names.pop_back();
    const size_t folder = builder_.FolderAt(names);
    if (!builder_.AddEntry(folder, record)) return Fail(row.front(), "this path is listed twice");
    TypeAndTarget(row, folder, record.cFileName);
    if (shape_.Tree && IsFolder(record.dwFileAttributes)) {
      names.push_back(record.cFileName);
      builder_.FolderAt(names);
    }
    for (const auto& [at, algorithm] : columns_.Digests) {
      const CsvField* digest = FieldAt(row, at);
      if (digest == nullptr) continue;
      if (digest->Text.size() != DigestTextLength(algorithm) ||
          digest->Text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return Fail(*digest,
                    std::string("no ") + DigestName(algorithm) + " digest in lower-case hexadecimal");
      builder_.SetDigest(folder, record.cFileName, algorithm, digest->Text);
    }
    return true;
  }

  std::string_view content_;
  ListingModel& model_;
  ListingShape& shape_;
  ModelBuilder builder_;
  CsvColumns columns_;
  std::vector<std::vector<CsvField>> rows_;
  std::string error_;
};

}  // namespace

bool ReadCsvListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error) {
  shape.Kind = ListingKind::kCsv;
  model.TimePrecision = kWholeSeconds;
  shape.FilesOnly = false;
  CsvParser parser(content, true);
  std::vector<CsvField> header;
  if (!parser.NextRow(header)) {
    error = parser.Error();
    return false;
  }
  CsvModelReader reader(content, model, shape);
  if (!reader.Read(header, parser)) {
    error = reader.Error();
    return false;
  }
  return true;
}

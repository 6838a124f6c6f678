// Kestrova's JSON document read back: a folder's entries, or a tree's, each
// folder's own entries inside its object.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/listing_readers.h"
#include "output/listing_syntax.h"

namespace {

// The kinds of entries, as the document names them.
struct KindWord {
  const char* Word;
  uint32_t Attributes;
};
constexpr KindWord kKindWords[] = {
    {"file", 0}, {"folder", kDirectoryAttribute}, {"link", kReparsePointAttribute}};

// Fills the model from the document's values.
class JsonModelReader {
 public:
  JsonModelReader(std::string_view content, ListingModel& model, ListingShape& shape)
      : content_(content), model_(model), shape_(shape), builder_(model) {}

  bool Read(JsonCursor& cursor) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonValue::Type::kObject))
      return FailAt(at, "a listing object was expected");
    JsonValue document;
    bool listed = false;
    std::vector<std::string> names;
    const bool read = cursor.ReadObject(document, "entries", [&](JsonValue&) {
      listed = true;
      return ReadEntries(cursor, names);
    });
    if (!read) return false;
    if (!listed) return Fail(document, "the listing has no \"entries\"");
    if (const JsonValue* folder = document.Member("folder")) ReadFolder(*folder);
    builder_.Finish();
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const JsonValue& where, const std::string& what) { return FailAt(where.Offset, what); }
  bool FailAt(size_t offset, const std::string& what) {
    error_ = PositionText(content_, offset) + what;
    return false;
  }

  void ReadFolder(const JsonValue& folder) {
    const JsonValue* path = folder.Member("path");
    const JsonValue* name = folder.Member("name");
    if (path != nullptr && path->Kind == JsonValue::Type::kString)
      Utf8ToSystemText(path->Text, model_.TopPath);
    if (name != nullptr && name->Kind == JsonValue::Type::kString)
      Utf8ToSystemText(name->Text, model_.TopName);
  }

  const JsonValue* TextMember(const JsonValue& entry, const char* key, bool& fault) {
    const JsonValue* value = entry.Member(key);
    if (value == nullptr || value->Kind == JsonValue::Type::kNull) return nullptr;
    if (value->Kind != JsonValue::Type::kString) {
      fault = true;
      Fail(*value, std::string("\"") + key + "\" is no string");
      return nullptr;
    }
    return value;
  }

  // The entry's name as the system writes it: name_bytes exactly where
  // the document has it, else the name.
  bool NameOf(const JsonValue& entry, std::string& name) {
    bool fault = false;
    const JsonValue* text = TextMember(entry, "name", fault);
    const JsonValue* bytes = TextMember(entry, "name_bytes", fault);
    if (fault) return false;
    if (bytes != nullptr) {
      std::string path;
      if (!PercentDecoded(bytes->Text, path)) return Fail(*bytes, "\"name_bytes\" is not percent-encoded");
      name = path;
    } else if (text == nullptr) {
      return Fail(entry, "the entry has no \"name\"");
    } else if (!Utf8ToSystemText(text->Text, name)) {
      return Fail(*text, "the name has no form in the system's character set");
    }
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      return Fail(text != nullptr ? *text : entry, "no file can have this name");
    return true;
  }

  bool KindOf(const JsonValue& entry, FolderRecord& record) {
    bool fault = false;
    const JsonValue* kind = TextMember(entry, "kind", fault);
    if (fault) return false;
    if (kind == nullptr) return Fail(entry, "the entry has no \"kind\"");
    for (const KindWord& word : kKindWords) {
      if (kind->Text == word.Word) {
        record.dwFileAttributes = word.Attributes;
        return true;
      }
    }
    return Fail(*kind, "\"kind\" is none of file, folder, link");
  }

  bool SizeAndTime(const JsonValue& entry, FolderRecord& record) {
    if (const JsonValue* size = entry.Member("size");
        size != nullptr && size->Kind != JsonValue::Type::kNull) {
      if (size->Kind != JsonValue::Type::kNumber || size->Text.size() > 19 ||
          size->Text.find_first_not_of("0123456789") != std::string::npos)
        return Fail(*size, "\"size\" is no count of bytes");
      const uint64_t bytes = std::stoull(size->Text);
      record.nFileSizeHigh = static_cast<uint32_t>(bytes >> 32);
      record.nFileSizeLow = static_cast<uint32_t>(bytes);
    }
    bool fault = false;
    const JsonValue* modified = TextMember(entry, "modified", fault);
    if (fault) return false;
    if (modified != nullptr && !ParseIsoTime(modified->Text, record.ftLastWriteTime))
      return Fail(*modified, "\"modified\" is no time of the form 2024-03-05T14:07:09Z");
    return true;
  }

  // The times and attributes that a listing of the disk holds beside the
  // modification time.
  bool TimesAndAttributes(const JsonValue& entry, FolderRecord& record) {
    bool fault = false;
    const JsonValue* created = TextMember(entry, "created", fault);
    const JsonValue* accessed = TextMember(entry, "accessed", fault);
    const JsonValue* attributes = TextMember(entry, "attributes", fault);
    if (fault) return false;
    for (const auto& [time, value] : {std::pair<uint64_t*, const JsonValue*>{&record.ftCreationTime, created},
                                      {&record.ftLastAccessTime, accessed}}) {
      if (value != nullptr && !ParseIsoTime(value->Text, *time))
        return Fail(*value, "no time of the form 2024-03-05T14:07:09Z");
    }
    if (attributes == nullptr) return true;
    uint32_t bits = 0;
    if (!AttributesOfText(attributes->Text, bits)) return Fail(*attributes, "no attributes such as \"R H \"");
    // A link keeps its kind's bit and takes "Dir" from a folder it leads to.
    record.dwFileAttributes |= bits;
    return true;
  }

  // A file's type, told once for its extension, and a link's target. One
  // that the system's character set cannot hold (a description in another
  // script, on Windows) is left unknown: it tells of the file, and the
  // listing stays readable.
  bool TypeAndTarget(const JsonValue& entry, size_t folder, const std::string& name) {
    bool fault = false;
    const JsonValue* type = TextMember(entry, "type", fault);
    const JsonValue* mime = TextMember(entry, "mime", fault);
    const JsonValue* target = TextMember(entry, "target", fault);
    if (fault) return false;
    std::string description, mime_type, link;
    if (type != nullptr && !Utf8ToSystemText(type->Text, description)) description.clear();
    if (mime != nullptr) mime_type = mime->Text;
    builder_.SetType(name, description, mime_type);
    if (target != nullptr && Utf8ToSystemText(target->Text, link))
      model_.Folders[folder].LinkTargets[name] = link;
    return true;
  }

  bool Checksums(const JsonValue& entry, size_t folder, const std::string& name) {
    const JsonValue* sums = entry.Member("checksums");
    if (sums == nullptr) return true;
    if (sums->Kind != JsonValue::Type::kObject) return Fail(*sums, "\"checksums\" is no object");
    for (const auto& [key, digest] : sums->Members) {
      const DigestAlgorithm* algorithm = DigestNamed(key);
      if (algorithm == nullptr) return Fail(digest, "\"" + key + "\" is no checksum algorithm");
      builder_.AlgorithmAt(*algorithm);
      if (digest.Kind == JsonValue::Type::kNull) continue;  // the file could not be read when listed
      if (digest.Kind != JsonValue::Type::kString || digest.Text.size() != DigestTextLength(*algorithm) ||
          digest.Text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return Fail(digest, "no " + key + " digest in lower-case hexadecimal");
      builder_.SetDigest(folder, name, *algorithm, digest.Text);
    }
    return true;
  }

  // An entry, and where it is a folder the entries below it: read where
  // they stand once the entry's name is known (Kestrova writes it first),
  // so that no folder's entries are held as values; else after the entry.
  bool ReadEntry(JsonCursor& cursor, std::vector<std::string>& names) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonValue::Type::kObject))
      return FailAt(at, "an entry object was expected");
    JsonValue entry;
    bool below = false;
    size_t later = kNowhere;
    const bool read = cursor.ReadObject(entry, "entries", [&](JsonValue& so_far) {
      below = true;
      if (so_far.Member("name") == nullptr && so_far.Member("name_bytes") == nullptr) {
        later = cursor.Offset();
        return cursor.Skip();
      }
      std::string name;
      if (!NameOf(so_far, name)) return false;
      names.push_back(name);
      const bool listed = ReadEntries(cursor, names);
      names.pop_back();
      return listed;
    });
    if (!read) return false;
    FolderRecord record;
    if (!NameOf(entry, record.cFileName) || !KindOf(entry, record) || !SizeAndTime(entry, record) ||
        !TimesAndAttributes(entry, record))
      return false;
    const size_t folder = builder_.FolderAt(names);
    if (!builder_.AddEntry(folder, record)) return Fail(entry, "the folder lists this name twice");
    if (!Checksums(entry, folder, record.cFileName) || !TypeAndTarget(entry, folder, record.cFileName))
      return false;
    const JsonValue* error = entry.Member("error");
    if (!below && error == nullptr) return true;
    if (!IsFolder(record.dwFileAttributes)) return Fail(entry, "an entry that is no folder has entries");
    shape_.Tree = true;
    names.push_back(record.cFileName);
    const size_t listed = builder_.FolderAt(names);
    bool entries_read = true;
    if (error != nullptr) {
      model_.Folders[listed].Failed = true;
      if (error->Kind == JsonValue::Type::kString) model_.Folders[listed].Reason = error->Text;
    } else if (later != kNowhere) {
      const size_t end = cursor.Offset();
      cursor.Seek(later);
      entries_read = ReadEntries(cursor, names);
      cursor.Seek(end);
    }
    names.pop_back();
    return entries_read;
  }

  bool ReadEntries(JsonCursor& cursor, std::vector<std::string>& names) {
    if (const size_t at = cursor.Offset(); !cursor.Expect(JsonValue::Type::kArray))
      return FailAt(at, "\"entries\" is no array");
    return cursor.ReadArray([&] { return ReadEntry(cursor, names); });
  }

  static constexpr size_t kNowhere = static_cast<size_t>(-1);
  std::string_view content_;
  ListingModel& model_;
  ListingShape& shape_;
  ModelBuilder builder_;
  std::string error_;
};

}  // namespace

bool ReadJsonListing(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error) {
  shape.Kind = ListingKind::kJson;
  model.TimePrecision = kWholeSeconds;
  shape.FilesOnly = false;
  JsonCursor cursor(content);
  JsonModelReader reader(content, model, shape);
  if (reader.Read(cursor) && cursor.AtEnd()) return true;
  error = cursor.Failed() ? cursor.Error() : reader.Error();
  return false;
}

// Kestrova's JSON document read back: a folder's entries, or a tree's, each
// folder's own entries inside its object.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

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

  bool Read(const JsonValue& document) {
    if (document.Kind != JsonValue::Type::kObject) return Fail(document, "a listing object was expected");
    if (const JsonValue* folder = document.Member("folder")) ReadFolder(*folder);
    const JsonValue* entries = document.Member("entries");
    if (entries == nullptr) return Fail(document, "the listing has no \"entries\"");
    std::vector<std::string> names;
    if (!ReadEntries(*entries, names)) return false;
    builder_.Finish();
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  bool Fail(const JsonValue& where, const std::string& what) {
    error_ = PositionText(content_, where.Offset) + what;
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

  bool ReadEntry(const JsonValue& entry, std::vector<std::string>& names) {
    if (entry.Kind != JsonValue::Type::kObject) return Fail(entry, "an entry object was expected");
    FolderRecord record;
    if (!NameOf(entry, record.cFileName) || !KindOf(entry, record) || !SizeAndTime(entry, record))
      return false;
    const size_t folder = builder_.FolderAt(names);
    if (!builder_.AddEntry(folder, record)) return Fail(entry, "the folder lists this name twice");
    if (!Checksums(entry, folder, record.cFileName)) return false;
    const JsonValue* below = entry.Member("entries");
    const JsonValue* error = entry.Member("error");
    if (below == nullptr && error == nullptr) return true;
    if (!IsFolder(record.dwFileAttributes)) return Fail(entry, "an entry that is no folder has entries");
    shape_.Tree = true;
    names.push_back(record.cFileName);
    const size_t listed = builder_.FolderAt(names);
    bool read = true;
    if (error != nullptr) {
      model_.Folders[listed].Failed = true;
      if (error->Kind == JsonValue::Type::kString) model_.Folders[listed].Reason = error->Text;
    } else {
      read = ReadEntries(*below, names);
    }
    names.pop_back();
    return read;
  }

  bool ReadEntries(const JsonValue& entries, std::vector<std::string>& names) {
    if (entries.Kind != JsonValue::Type::kArray) return Fail(entries, "\"entries\" is no array");
    for (const JsonValue& entry : entries.Items) {
      if (!ReadEntry(entry, names)) return false;
    }
    return true;
  }

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
  JsonValue document;
  if (!ParseJsonDocument(content, document, error)) return false;
  JsonModelReader reader(content, model, shape);
  if (!reader.Read(document)) {
    error = reader.Error();
    return false;
  }
  return true;
}

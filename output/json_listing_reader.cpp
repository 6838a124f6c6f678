// Kestrova's JSON document read back: a folder's entries, or a tree's, each
// folder's own entries inside its object.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "listing/entry.h"
#include "output/listing_readers.h"

namespace {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type Kind = Type::kNull;
  size_t Offset = 0;  // where the value starts, for messages
  std::string Text;   // a string's UTF-8, a number's digits, "true" or "false"
  std::vector<std::pair<std::string, JsonValue>> Members;
  std::vector<JsonValue> Items;

  const JsonValue* Member(std::string_view key) const {
    for (const auto& [name, value] : Members) {
      if (name == key) return &value;
    }
    return nullptr;
  }
};

// A JSON text (RFC 8259) as values, strictly: the first fault stops it.
class JsonParser {
 public:
  explicit JsonParser(std::string_view content) : content_(content) {}

  bool ParseDocument(JsonValue& value) {
    if (content_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    if (!ParseValue(value, 0)) return false;
    SkipBlanks();
    return at_ == content_.size() || Fail("text after the end of the document");
  }

  std::string Error() const { return PositionText(content_, error_at_) + error_; }

 private:
  // Deep enough for any tree a file system holds, shallow enough for the stack.
  static constexpr size_t kDeepest = 4096;

  bool Fail(const std::string& what) {
    if (error_.empty()) {
      error_ = what;
      error_at_ = at_;
    }
    return false;
  }

  void SkipBlanks() {
    while (at_ < content_.size() &&
           (content_[at_] == ' ' || content_[at_] == '\t' || content_[at_] == '\n' || content_[at_] == '\r'))
      ++at_;
  }

  bool Take(char c) {
    SkipBlanks();
    if (at_ < content_.size() && content_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool ParseValue(JsonValue& value, size_t depth) {
    SkipBlanks();
    value.Offset = at_;
    if (at_ >= content_.size()) return Fail("the document ends where a value was expected");
    if (depth > kDeepest) return Fail("nested too deep");
    const char c = content_[at_];
    if (c == '{') return ParseObject(value, depth);
    if (c == '[') return ParseArray(value, depth);
    if (c == '"') {
      value.Kind = JsonValue::Type::kString;
      return ParseString(value.Text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(value);
    for (const auto& [word, type] : {std::pair<const char*, JsonValue::Type>{"true", JsonValue::Type::kBool},
                                     {"false", JsonValue::Type::kBool},
                                     {"null", JsonValue::Type::kNull}}) {
      const std::string_view literal(word);
      if (content_.substr(at_, literal.size()) == literal) {
        value.Kind = type;
        value.Text = word;
        at_ += literal.size();
        return true;
      }
    }
    return Fail("a value was expected");
  }

  bool ParseObject(JsonValue& value, size_t depth) {
    value.Kind = JsonValue::Type::kObject;
    ++at_;
    if (Take('}')) return true;
    do {
      SkipBlanks();
      if (at_ >= content_.size() || content_[at_] != '"')
        return Fail("a member's name in quotes was expected");
      std::string key;
      if (!ParseString(key)) return false;
      if (!Take(':')) return Fail("\":\" was expected");
      value.Members.emplace_back(std::move(key), JsonValue());
      if (!ParseValue(value.Members.back().second, depth + 1)) return false;
    } while (Take(','));
    return Take('}') || Fail("\",\" or \"}\" was expected");
  }

  bool ParseArray(JsonValue& value, size_t depth) {
    value.Kind = JsonValue::Type::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      value.Items.emplace_back();
      if (!ParseValue(value.Items.back(), depth + 1)) return false;
    } while (Take(','));
    return Take(']') || Fail("\",\" or \"]\" was expected");
  }

  bool ParseNumber(JsonValue& value) {
    value.Kind = JsonValue::Type::kNumber;
    const size_t start = at_;
    if (content_[at_] == '-') ++at_;
    const auto digits = [this] {
      const size_t from = at_;
      while (at_ < content_.size() && content_[at_] >= '0' && content_[at_] <= '9') ++at_;
      return at_ > from;
    };
    if (!digits()) return Fail("a digit was expected");
    if (at_ < content_.size() && content_[at_] == '.') {
      ++at_;
      if (!digits()) return Fail("a digit was expected");
    }
    if (at_ < content_.size() && (content_[at_] == 'e' || content_[at_] == 'E')) {
      ++at_;
      if (at_ < content_.size() && (content_[at_] == '+' || content_[at_] == '-')) ++at_;
      if (!digits()) return Fail("a digit was expected");
    }
    value.Text.assign(content_.substr(start, at_ - start));
    return true;
  }

  bool HexDigits(uint32_t& code) {
    code = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      if (at_ >= content_.size()) return Fail("four hexadecimal digits were expected");
      const char c = content_[at_];
      const int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
      if (digit < 0) return Fail("four hexadecimal digits were expected");
      code = code * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // \uXXXX, a surrogate pair as one character.
  bool ParseUnicodeEscape(std::string& out) {
    uint32_t code = 0;
    if (!HexDigits(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a low surrogate stands alone");
    if (code >= 0xD800 && code <= 0xDBFF) {
      uint32_t low = 0;
      if (content_.substr(at_, 2) != "\\u") return Fail("a high surrogate stands alone");
      at_ += 2;
      if (!HexDigits(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("a high surrogate stands alone");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  bool ParseEscape(std::string& out) {
    if (at_ >= content_.size()) return Fail("the document ends inside a string");
    const char c = content_[at_++];
    static const std::pair<char, char> kEscapes[] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                                     {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
    for (const auto& [escape, meaning] : kEscapes) {
      if (c == escape) {
        out += meaning;
        return true;
      }
    }
    if (c == 'u') return ParseUnicodeEscape(out);
    --at_;
    return Fail("an unknown escape");
  }

  bool ParseString(std::string& out) {
    ++at_;
    while (at_ < content_.size()) {
      const char c = content_[at_];
      if (c == '"') {
        ++at_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
      ++at_;
      if (c != '\\') {
        out += c;
      } else if (!ParseEscape(out)) {
        return false;
      }
    }
    return Fail("the document ends inside a string");
  }

  std::string_view content_;
  size_t at_ = 0;
  std::string error_;
  size_t error_at_ = 0;
};

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
  shape.Sizes = true;
  shape.FilesOnly = false;
  JsonValue document;
  JsonParser parser(content);
  if (!parser.ParseDocument(document)) {
    error = parser.Error();
    return false;
  }
  JsonModelReader reader(content, model, shape);
  if (!reader.Read(document)) {
    error = reader.Error();
    return false;
  }
  return true;
}

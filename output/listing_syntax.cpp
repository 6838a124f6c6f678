#include "output/listing_syntax.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "output/listing_readers.h"

namespace {

void AppendUtf8Code(std::string& out, uint32_t code) {
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

// A JSON text (RFC 8259) as values, strictly: the first fault stops it.
class JsonParser {
 public:
  explicit JsonParser(std::string_view content) : content_(content) {}

  std::string Error() const { return PositionText(content_, error_at_) + error_; }
  bool Failed() const { return !error_.empty(); }

  // ---- one value at a time (JsonCursor) ----

  void SkipMark() {
    if (at_ == 0 && content_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
  }
  bool ParseEnd() {
    SkipBlanks();
    return at_ == content_.size() || Fail("text after the end of the document");
  }
  size_t Offset() {
    SkipBlanks();
    return at_;
  }
  void Seek(size_t at) { at_ = at; }
  // The kind of the value that starts here; null where none does.
  JsonValue::Type Peek() {
    SkipBlanks();
    if (at_ >= content_.size()) return JsonValue::Type::kNull;
    switch (content_[at_]) {
      case '{':
        return JsonValue::Type::kObject;
      case '[':
        return JsonValue::Type::kArray;
      case '"':
        return JsonValue::Type::kString;
      case 't':
      case 'f':
        return JsonValue::Type::kBool;
      case 'n':
        return JsonValue::Type::kNull;
      default:
        return JsonValue::Type::kNumber;
    }
  }
  bool ParseValueAt(JsonValue* value, size_t depth) { return ParseValue(value, depth); }
  // "{" or "[" at the start of a container read member by member. A reader
  // that streams goes deeper into the stack for each level than the parser
  // does: 1,024 levels (512 folders within folders) leave room for it.
  bool Open(char c, size_t depth) {
    SkipBlanks();
    if (depth > kDeepestStreamed) return Fail("nested too deep");
    if (at_ >= content_.size() || content_[at_] != c)
      return Fail(c == '{' ? "an object was expected" : "an array was expected");
    ++at_;
    return true;
  }
  // Before each member or item: true with more set while one follows, after
  // its "," where it is not the first; the closing character taken at the end.
  bool Continue(char close, bool first, bool& more) {
    more = false;
    if (Take(close)) return true;
    if (!first && !Take(',')) return Fail(std::string("\",\" or \"") + close + "\" was expected");
    more = true;
    return true;
  }
  bool MemberName(std::string& key) {
    SkipBlanks();
    if (at_ >= content_.size() || content_[at_] != '"') return Fail("a member's name in quotes was expected");
    if (!ParseString(&key)) return false;
    return Take(':') || Fail("\":\" was expected");
  }

 private:
  // Deep enough for any tree a file system holds, shallow enough for the stack.
  static constexpr size_t kDeepest = 4096;
  static constexpr size_t kDeepestStreamed = 1024;

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

  // Reads a value into value, or checks it and keeps nothing where value is
  // null (a value skipped).
  bool ParseValue(JsonValue* value, size_t depth) {
    SkipBlanks();
    if (value != nullptr) value->Offset = at_;
    if (at_ >= content_.size()) return Fail("the document ends where a value was expected");
    if (depth > kDeepest) return Fail("nested too deep");
    const char c = content_[at_];
    if (c == '{') return ParseObject(value, depth);
    if (c == '[') return ParseArray(value, depth);
    if (c == '"') {
      if (value != nullptr) value->Kind = JsonValue::Type::kString;
      return ParseString(value != nullptr ? &value->Text : nullptr);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(value);
    for (const auto& [word, type] : {std::pair<const char*, JsonValue::Type>{"true", JsonValue::Type::kBool},
                                     {"false", JsonValue::Type::kBool},
                                     {"null", JsonValue::Type::kNull}}) {
      const std::string_view literal(word);
      if (content_.substr(at_, literal.size()) == literal) {
        if (value != nullptr) {
          value->Kind = type;
          value->Text = word;
        }
        at_ += literal.size();
        return true;
      }
    }
    return Fail("a value was expected");
  }

  bool ParseObject(JsonValue* value, size_t depth) {
    if (value != nullptr) value->Kind = JsonValue::Type::kObject;
    ++at_;
    if (Take('}')) return true;
    std::string key;
    do {
      SkipBlanks();
      if (at_ >= content_.size() || content_[at_] != '"')
        return Fail("a member's name in quotes was expected");
      key.clear();
      if (!ParseString(value != nullptr ? &key : nullptr)) return false;
      if (!Take(':')) return Fail("\":\" was expected");
      JsonValue* member = nullptr;
      if (value != nullptr) member = &value->Members.emplace_back(std::move(key), JsonValue()).second;
      if (!ParseValue(member, depth + 1)) return false;
    } while (Take(','));
    return Take('}') || Fail("\",\" or \"}\" was expected");
  }

  bool ParseArray(JsonValue* value, size_t depth) {
    if (value != nullptr) value->Kind = JsonValue::Type::kArray;
    ++at_;
    if (Take(']')) return true;
    do {
      JsonValue* item = value != nullptr ? &value->Items.emplace_back() : nullptr;
      if (!ParseValue(item, depth + 1)) return false;
    } while (Take(','));
    return Take(']') || Fail("\",\" or \"]\" was expected");
  }

  bool ParseNumber(JsonValue* value) {
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
    if (value != nullptr) {
      value->Kind = JsonValue::Type::kNumber;
      value->Text.assign(content_.substr(start, at_ - start));
    }
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

  // \uXXXX, a surrogate pair as one character.
  bool ParseUnicodeEscape(std::string* out) {
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
    if (out != nullptr) AppendUtf8Code(*out, code);
    return true;
  }

  bool ParseEscape(std::string* out) {
    if (at_ >= content_.size()) return Fail("the document ends inside a string");
    const char c = content_[at_++];
    static const std::pair<char, char> kEscapes[] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                                     {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
    for (const auto& [escape, meaning] : kEscapes) {
      if (c == escape) {
        if (out != nullptr) *out += meaning;
        return true;
      }
    }
    if (c == 'u') return ParseUnicodeEscape(out);
    --at_;
    return Fail("an unknown escape");
  }

  bool ParseString(std::string* out) {
    ++at_;
    while (at_ < content_.size()) {
      // The plain run up to a quote, an escape or a control character at once.
      const size_t run = at_;
      while (at_ < content_.size() && content_[at_] != '"' && content_[at_] != '\\' &&
             static_cast<unsigned char>(content_[at_]) >= 0x20)
        ++at_;
      if (out != nullptr) out->append(content_.data() + run, at_ - run);
      if (at_ >= content_.size()) break;
      const char c = content_[at_];
      if (c == '"') {
        ++at_;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
      ++at_;
      if (!ParseEscape(out)) return false;
    }
    return Fail("the document ends inside a string");
  }

  std::string_view content_;
  size_t at_ = 0;
  std::string error_;
  size_t error_at_ = 0;
};

}  // namespace

struct JsonCursor::Parser : JsonParser {
  using JsonParser::JsonParser;
};

JsonCursor::JsonCursor(std::string_view content) : parser_(std::make_unique<Parser>(content)) {
  parser_->SkipMark();
}

JsonCursor::~JsonCursor() = default;

JsonValue::Type JsonCursor::Next() { return parser_->Peek(); }
size_t JsonCursor::Offset() { return parser_->Offset(); }
bool JsonCursor::Expect(JsonValue::Type kind) {
  if (Next() == kind) return true;
  Skip();
  return false;
}

bool JsonCursor::Read(JsonValue& value) { return parser_->ParseValueAt(&value, depth_); }
bool JsonCursor::Skip() { return parser_->ParseValueAt(nullptr, depth_); }
bool JsonCursor::AtEnd() { return parser_->ParseEnd(); }
void JsonCursor::Seek(size_t offset) { parser_->Seek(offset); }
bool JsonCursor::Failed() const { return parser_->Failed(); }
std::string JsonCursor::Error() const { return parser_->Error(); }

bool JsonCursor::ReadObject(JsonValue& object, std::string_view streamed,
                            const std::function<bool(JsonValue&)>& stream) {
  object = JsonValue();
  object.Kind = JsonValue::Type::kObject;
  object.Offset = parser_->Offset();
  if (!parser_->Open('{', depth_)) return false;
  ++depth_;
  bool more = false, read = true;
  for (bool first = true; read && parser_->Continue('}', first, more) && more; first = false) {
    std::string key;
    if (!parser_->MemberName(key)) {
      read = false;
    } else if (key == streamed) {
      read = stream(object);
    } else {
      JsonValue& member = object.Members.emplace_back(std::move(key), JsonValue()).second;
      read = parser_->ParseValueAt(&member, depth_);
    }
  }
  --depth_;
  return read && !parser_->Failed();
}

bool JsonCursor::ReadArray(const std::function<bool()>& item) {
  if (!parser_->Open('[', depth_)) return false;
  ++depth_;
  bool more = false, read = true;
  for (bool first = true; read && parser_->Continue(']', first, more) && more; first = false) read = item();
  --depth_;
  return read && !parser_->Failed();
}

namespace {

constexpr size_t kStreamPiece = size_t{1} << 20;
// Deep enough for any tree a file system holds.
constexpr size_t kStreamDeepest = 4096;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

JsonStream::JsonStream(Source source) : source_(std::move(source)), buffer_(kStreamPiece) {}

bool JsonStream::Fill() {
  if (at_ < end_) return true;
  if (ended_) return false;
  at_ = 0;
  end_ = source_(buffer_.data(), buffer_.size());
  if (end_ == 0) ended_ = true;
  if (!started_) {
    started_ = true;
    // A byte order mark of UTF-8 is no part of the document, however the
    // source cuts it.
    for (size_t got = end_; got > 0 && end_ < 3; end_ += got)
      got = source_(buffer_.data() + end_, buffer_.size() - end_);
    if (end_ >= 3 && std::string_view(buffer_.data(), 3) == "\xEF\xBB\xBF") at_ = 3;
  }
  return at_ < end_;
}

int JsonStream::Next() {
  if (!Fill()) return -1;
  const char c = buffer_[at_++];
  if (c == '\n') {
    ++place_.Line;
    place_.Column = 1;
  } else {
    ++place_.Column;
  }
  return static_cast<unsigned char>(c);
}

void JsonStream::SkipBlanks() {
  while (Fill()) {
    for (; at_ < end_ && IsBlank(buffer_[at_]); ++at_) {
      if (buffer_[at_] == '\n') {
        ++place_.Line;
        place_.Column = 1;
      } else {
        ++place_.Column;
      }
    }
    if (at_ < end_) return;
  }
}

JsonStream::Place JsonStream::Here() {
  SkipBlanks();
  return place_;
}

char JsonStream::Peek() {
  SkipBlanks();
  return Fill() ? buffer_[at_] : '\0';
}

bool JsonStream::Take(char c) {
  if (Peek() != c || !Fill()) return false;
  Next();
  return true;
}

bool JsonStream::FailValue(const std::string& what) {
  if (Peek() == '\0' && ended_) return Fail("the document ends where a value was expected");
  return Fail(what);
}

bool JsonStream::FailAt(const Place& place, const std::string& what) {
  if (error_.empty())
    error_ = "line " + std::to_string(place.Line) + ", column " + std::to_string(place.Column) + ": " + what;
  return false;
}

bool JsonStream::ReadHex(uint32_t& code) {
  code = 0;
  for (int i = 0; i < 4; ++i) {
    const int c = Fill() ? static_cast<unsigned char>(buffer_[at_]) : -1;
    const int digit = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
    if (digit < 0) return Fail("four hexadecimal digits were expected");
    Next();
    code = code * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

bool JsonStream::ReadEscape(std::string& out) {
  static const std::pair<char, char> kEscapes[] = {{'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
                                                   {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'}};
  if (!Fill()) return Fail("the document ends inside a string");
  const char c = buffer_[at_];
  for (const auto& [escape, meaning] : kEscapes) {
    if (c == escape) {
      Next();
      out += meaning;
      return true;
    }
  }
  if (c != 'u') return Fail("an unknown escape");
  Next();
  uint32_t code = 0;
  if (!ReadHex(code)) return false;
  if (code >= 0xDC00 && code <= 0xDFFF) return Fail("a low surrogate stands alone");
  if (code >= 0xD800 && code <= 0xDBFF) {
    uint32_t low = 0;
    if (Next() != '\\' || Next() != 'u') return Fail("a high surrogate stands alone");
    if (!ReadHex(low)) return false;
    if (low < 0xDC00 || low > 0xDFFF) return Fail("a high surrogate stands alone");
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  AppendUtf8Code(out, code);
  return true;
}

bool JsonStream::ReadString(std::string& out) {
  out.clear();
  if (!Take('"')) return Fail("a string was expected");
  for (;;) {
    if (!Fill()) return Fail("the document ends inside a string");
    // The plain bytes of the piece at once: no line ends among them.
    size_t plain = at_;
    while (plain < end_ && buffer_[plain] != '"' && buffer_[plain] != '\\' &&
           static_cast<unsigned char>(buffer_[plain]) >= 0x20)
      ++plain;
    out.append(buffer_.data() + at_, plain - at_);
    place_.Column += plain - at_;
    at_ = plain;
    if (at_ == end_) continue;  // the piece ended inside the string
    const char c = buffer_[at_];
    if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
    Next();
    if (c == '"') return true;
    if (c == '\\' && !ReadEscape(out)) return false;
  }
}

bool JsonStream::ReadDigits() {
  bool any = false;
  while (Fill() && buffer_[at_] >= '0' && buffer_[at_] <= '9') {
    Next();
    any = true;
  }
  return any || Fail("a digit was expected");
}

bool JsonStream::ReadScalar(JsonValue::Type& type, std::string& text) {
  text.clear();
  const char first = Peek();
  if (first == '-' || (first >= '0' && first <= '9')) {
    type = JsonValue::Type::kNumber;
    const auto taken = [this, &text] {
      text += buffer_[at_];
      Next();
    };
    const auto digits = [this, &text] {
      const size_t before = text.size();
      while (Fill() && buffer_[at_] >= '0' && buffer_[at_] <= '9') {
        text += buffer_[at_];
        Next();
      }
      return text.size() > before || Fail("a digit was expected");
    };
    if (first == '-') taken();
    if (!digits()) return false;
    if (Fill() && buffer_[at_] == '.') {
      taken();
      if (!digits()) return false;
    }
    if (Fill() && (buffer_[at_] == 'e' || buffer_[at_] == 'E')) {
      taken();
      if (Fill() && (buffer_[at_] == '+' || buffer_[at_] == '-')) taken();
      if (!digits()) return false;
    }
    return true;
  }
  for (const auto& [word, kind] : {std::pair<const char*, JsonValue::Type>{"true", JsonValue::Type::kBool},
                                   {"false", JsonValue::Type::kBool},
                                   {"null", JsonValue::Type::kNull}}) {
    if (first != word[0]) continue;
    const Place place = Here();
    for (const char* c = word; *c != '\0'; ++c) {
      if (!Fill() || buffer_[at_] != *c) return FailAt(place, "a value was expected");
      Next();
    }
    type = kind;
    text = word;
    return true;
  }
  if (first == '\0' && ended_) return Fail("the document ends where a value was expected");
  return Fail("a value was expected");
}

// Iterative, so that no document is deep enough to take the stack.
bool JsonStream::SkipValue() {
  std::vector<char> open;  // the closing byte of each array and object entered
  std::string scratch;
  for (;;) {
    const char c = Peek();
    if (c == '{' || c == '[') {
      if (open.size() >= kStreamDeepest) return Fail("nested too deep");
      Next();
      open.push_back(c == '{' ? '}' : ']');
      if (Take(open.back())) {
        open.pop_back();
      } else if (c == '{') {
        if (Peek() != '"') return Fail("a member's name in quotes was expected");
        if (!ReadString(scratch)) return false;
        if (!Take(':')) return Fail("\":\" was expected");
        continue;
      } else {
        continue;
      }
    } else if (c == '"') {
      if (!ReadString(scratch)) return false;
    } else {
      JsonValue::Type type;
      if (!ReadScalar(type, scratch)) return false;
    }
    // A value is done: the next of its array or object, or their ends.
    for (;;) {
      if (open.empty()) return true;
      if (Take(',')) {
        if (open.back() == '}') {
          if (Peek() != '"') return Fail("a member's name in quotes was expected");
          if (!ReadString(scratch)) return false;
          if (!Take(':')) return Fail("\":\" was expected");
        }
        break;
      }
      if (!Take(open.back()))
        return Fail(open.back() == '}' ? "\",\" or \"}\" was expected" : "\",\" or \"]\" was expected");
      open.pop_back();
    }
  }
}

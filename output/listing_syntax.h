// The syntax of the listings that are read back: JSON (RFC 8259) value by
// value, and CSV (RFC 4180) row by row. Both stop at the first fault and
// tell where it is ("line 3, column 7: ...").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/listing_readers.h"

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

// A JSON document read a value at a time, as strictly, for listings too
// large to hold as one tree of values: objects and arrays are walked member
// by member and item by item, and only what the caller keeps stays in memory.
class JsonCursor {
 public:
  explicit JsonCursor(std::string_view content);  // a UTF-8 byte order mark allowed
  ~JsonCursor();
  JsonCursor(const JsonCursor&) = delete;
  JsonCursor& operator=(const JsonCursor&) = delete;

  // The kind of the next value (null at the end), and where it starts.
  JsonValue::Type Next();
  size_t Offset();
  // True where the next value is of the kind; else false, the value passed
  // over, so that a fault of its syntax is told first (Failed).
  bool Expect(JsonValue::Type kind);
  // Reads the next value whole, or checks it and keeps nothing of it.
  bool Read(JsonValue& value);
  bool Skip();
  // Reads the next value, an object, into object member by member; for the
  // member named streamed, calls stream instead with what was read so far,
  // the cursor at the member's value, which stream must read or skip.
  bool ReadObject(JsonValue& object, std::string_view streamed,
                  const std::function<bool(JsonValue&)>& stream);
  // Reads the next value, an array, calling item with the cursor at each
  // item, which item must read or skip.
  bool ReadArray(const std::function<bool()>& item);
  // True when nothing but blanks follows.
  bool AtEnd();
  // Goes back (or on) to where a value starts, to read it there.
  void Seek(size_t offset);
  // Whether the document's syntax failed, and where and how.
  bool Failed() const;
  std::string Error() const;

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
  size_t depth_ = 0;
};

// JSON (RFC 8259) read as it comes, a piece at a time, for documents too
// large to hold whole: the rules and messages of JsonCursor, the
// place of a fault counted as the bytes go by. The caller pulls values in
// the order the document holds them.
class JsonStream {
 public:
  // Up to size bytes into buffer; 0 at the end.
  using Source = std::function<size_t(char* buffer, size_t size)>;
  explicit JsonStream(Source source);

  // Where a value starts, for messages about it.
  struct Place {
    uint64_t Line = 1;
    uint64_t Column = 1;
  };
  // The place of the next byte that is no blank.
  Place Here();
  // The next byte that is no blank, not taken; '\0' at the end.
  char Peek();
  // Takes c where it comes next; false, taking nothing, where it does not.
  bool Take(char c);
  // True where nothing but blanks is left.
  bool AtEnd() { return Peek() == '\0' && ended_; }
  // The string that comes next, as UTF-8 (its escapes resolved).
  bool ReadString(std::string& out);
  // The number, true, false or null that comes next: its kind and text.
  bool ReadScalar(JsonValue::Type& type, std::string& text);
  // Passes over the value that comes next, however deep.
  bool SkipValue();
  // Tells the fault at the next byte, or at the place; always false.
  bool Fail(const std::string& what) { return FailAt(Here(), what); }
  bool FailAt(const Place& place, const std::string& what);
  // As Fail, or that the document ends where a value was expected.
  bool FailValue(const std::string& what);
  // "line L, column C: what is wrong".
  const std::string& Error() const { return error_; }

 private:
  bool Fill();
  // The next byte, taken; -1 at the end.
  int Next();
  void SkipBlanks();
  bool ReadEscape(std::string& out);
  bool ReadHex(uint32_t& code);
  bool ReadDigits();

  Source source_;
  std::vector<char> buffer_;
  size_t at_ = 0;
  size_t end_ = 0;
  bool ended_ = false;
  bool started_ = false;
  Place place_;
  std::string error_;
};

struct CsvField {
  std::string Text;
  size_t Offset = 0;
};

// RFC 4180 rows: fields in double quotes may hold commas, quotes (doubled)
// and line breaks; rows end in CR LF or LF.
class CsvParser {
 public:
  // guarded: a quoted field's leading "'" is the guard that Kestrova writes
  // to keep a spreadsheet from reading a formula, and is dropped.
  CsvParser(std::string_view content, bool guarded) : content_(content), guarded_(guarded) {
    if (content_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
  }

  bool AtEnd() const { return at_ >= content_.size(); }

  // The next row; false, with the error, where a quoted field is broken.
  bool NextRow(std::vector<CsvField>& row) {
    row.clear();
    for (;;) {
      row.emplace_back();
      if (!ReadField(row.back())) return false;
      if (at_ >= content_.size()) return true;
      const char c = content_[at_++];
      if (c == ',') continue;
      if (c == '\n') return true;
      if (c == '\r' && at_ < content_.size() && content_[at_] == '\n') {
        ++at_;
        return true;
      }
      --at_;
      return Fail("\",\" or the end of the line was expected");
    }
  }

  std::string Error() const { return PositionText(content_, error_at_) + error_; }

 private:
  bool Fail(const std::string& what) {
    error_ = what;
    error_at_ = at_;
    return false;
  }

  bool ReadField(CsvField& field) {
    field.Offset = at_;
    if (at_ < content_.size() && content_[at_] == '"') return ReadQuoted(field);
    while (at_ < content_.size() && content_[at_] != ',' && content_[at_] != '\n' && content_[at_] != '\r') {
      if (content_[at_] == '"') return Fail("a quote inside a field that is not quoted");
      field.Text += content_[at_++];
    }
    return true;
  }

  bool ReadQuoted(CsvField& field) {
    ++at_;
    while (at_ < content_.size()) {
      const char c = content_[at_++];
      if (c != '"') {
        field.Text += c;
      } else if (at_ < content_.size() && content_[at_] == '"') {
        field.Text += '"';
        ++at_;
      } else {
        // The guard that keeps a spreadsheet from reading a formula.
        if (guarded_ && !field.Text.empty() && field.Text.front() == '\'') field.Text.erase(0, 1);
        return true;
      }
    }
    at_ = field.Offset;
    return Fail("a quoted field is never closed");
  }

  std::string_view content_;
  bool guarded_ = false;
  size_t at_ = 0;
  std::string error_;
  size_t error_at_ = 0;
};

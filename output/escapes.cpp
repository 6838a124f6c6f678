#include "output/escapes.h"

#include <algorithm>
#include <cstdint>

#include "platform/platform.h"

namespace {

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }

// The letters of the escapes that C and the shell's tools share.
char EscapeLetter(char c) {
  switch (c) {
    case '\a':
      return 'a';
    case '\b':
      return 'b';
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\v':
      return 'v';
    case '\f':
      return 'f';
    case '\r':
      return 'r';
    default:
      return '\0';
  }
}

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kReplacementCharacter[] = "\xEF\xBF\xBD";

// The ranges that the bytes after a UTF-8 lead byte must fall in (Unicode's
// table of well-formed sequences): no overlong forms, no surrogates,
// nothing past U+10FFFF.
struct Utf8Lead {
  int continuations;
  unsigned char second_low, second_high;
};

Utf8Lead LeadOf(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
  if (byte == 0xE0) return {2, 0xA0, 0xBF};
  if (byte == 0xED) return {2, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
  if (byte == 0xF0) return {3, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
  if (byte == 0xF4) return {3, 0x80, 0x8F};
  return {0, 0, 0};
}

// The sequence that starts at text[at] (a byte above 127): its length and
// code point when it is well-formed (true); else false, with length the
// maximal ill-formed part that one U+FFFD replaces.
bool DecodeSequence(std::string_view text, size_t at, size_t& length, uint32_t& code_point) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const Utf8Lead rule = LeadOf(lead);
  length = 1;
  if (rule.continuations == 0) return false;
  code_point = lead & (0x3F >> rule.continuations);
  for (int i = 1; i <= rule.continuations; ++i) {
    if (at + i >= text.size()) return false;
    const unsigned char next = static_cast<unsigned char>(text[at + i]);
    const unsigned char low = i == 1 ? rule.second_low : 0x80;
    const unsigned char high = i == 1 ? rule.second_high : 0xBF;
    if (next < low || next > high) return false;
    code_point = (code_point << 6) | (next & 0x3F);
    length = i + 1;
  }
  return true;
}

bool IsAscii(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 127; });
}

bool IsWellFormedUtf8(std::string_view text) {
  size_t length = 0;
  uint32_t code_point = 0;
  for (size_t at = 0; at < text.size(); at += length) {
    length = 1;
    if (static_cast<unsigned char>(text[at]) > 127 && !DecodeSequence(text, at, length, code_point)) {
      return false;
    }
  }
  return true;
}

// The text in UTF-8, converted into converted where it has to be; an
// ASCII text (the same in every code page) as it stands. Where the
// conversion fails the bytes stand, to be replaced where ill-formed.
std::string_view Utf8Of(std::string_view text, std::string& converted) {
  if (IsAscii(text)) return text;
  if (!SystemTextToUtf8(text, converted)) return text;
  return converted;
}

// The UTF-8 text with every ill-formed part replaced.
std::string_view WellFormed(std::string_view text, std::string& replaced) {
  if (IsWellFormedUtf8(text)) return text;
  replaced.clear();
  size_t length = 0;
  uint32_t code_point = 0;
  for (size_t at = 0; at < text.size(); at += length) {
    length = 1;
    if (static_cast<unsigned char>(text[at]) <= 127 || DecodeSequence(text, at, length, code_point)) {
      replaced.append(text, at, length);
    } else {
      replaced += kReplacementCharacter;
    }
  }
  return replaced;
}

void AppendOctalEscape(std::string& out, char c) {
  const unsigned byte = static_cast<unsigned char>(c);
  const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                        static_cast<char>('0' + ((byte >> 3) & 7)), static_cast<char>('0' + (byte & 7))};
  out.append(octal, sizeof octal);
}

// A control byte as its C escape, or in octal where it has none.
void AppendControlEscape(std::string& out, char c) {
  if (const char letter = EscapeLetter(c)) {
    out += '\\';
    out += letter;
  } else {
    AppendOctalEscape(out, c);
  }
}

// Characters that a terminal does not show as themselves, or that some
// readers take for a line break.
bool IsUnseenInALine(uint32_t code_point) {
  return (code_point >= 0x80 && code_point <= 0x9F) || code_point == 0x2028 || code_point == 0x2029;
}

// Bytes that a JSON string holds as they are: printable ASCII but '"' and
// '\'. Every other byte takes a look.
struct JsonPlainBytes {
  bool plain[256] = {};
  constexpr JsonPlainBytes() {
    for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '"' && c != '\\';
  }
};
constexpr JsonPlainBytes kJsonPlain;

void AppendUnicodeEscape(std::string& out, uint32_t code_point) {
  const char escape[] = {'\\',
                         'u',
                         kHexDigits[(code_point >> 12) & 15],
                         kHexDigits[(code_point >> 8) & 15],
                         kHexDigits[(code_point >> 4) & 15],
                         kHexDigits[code_point & 15]};
  out.append(escape, sizeof escape);
}

// One byte below 128 that is not plain.
void AppendJsonAsciiEscape(std::string& out, char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      AppendUnicodeEscape(out, static_cast<unsigned char>(c));
  }
}

// Bytes that make a CSV field more than its bytes: a quote, a comma, a line
// break, or one above 127 that may need converting or replacing.
struct CsvSpecialBytes {
  bool special[256] = {};
  constexpr CsvSpecialBytes() {
    for (int c = 128; c < 256; ++c) special[c] = true;
    for (unsigned char c : {'"', ',', '\r', '\n'}) special[c] = true;
  }
};
constexpr CsvSpecialBytes kCsvSpecial;

// Starts a formula in a spreadsheet, or is the guard itself.
bool NeedsFormulaGuard(std::string_view text) {
  if (text.empty()) return false;
  switch (text[0]) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
    case '\'':
      return true;
    default:
      return false;
  }
}

}  // namespace

void AppendEscapedHtml(std::string& out, std::string_view text) {
  size_t run = 0;
  for (size_t at = text.find_first_of("&<>\"", run); at != std::string_view::npos;
       at = text.find_first_of("&<>\"", run)) {
    out.append(text, run, at - run);
    switch (text[at]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += "&quot;";
        break;
    }
    run = at + 1;
  }
  out.append(text, run, std::string_view::npos);
}

std::string EscapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  AppendEscapedHtml(escaped, text);
  return escaped;
}

void AppendVisibleHtml(std::string& out, std::string_view text) {
  const char* run = text.data();
  const char* end = run + text.size();
  for (const char* at = run; at < end; ++at) {
    const char c = *at;
    if (!IsControlByte(c) && c != '&' && c != '<' && c != '>' && c != '"') continue;
    out.append(run, at);
    run = at + 1;
    if (!IsControlByte(c)) {
      AppendEscapedHtml(out, std::string_view(at, 1));
    } else if (c == 127) {
      out += "&#x2421;";
    } else {
      const char picture[] = {'&', '#', 'x', '2', '4', kHexDigits[c >> 4], kHexDigits[c & 15], ';'};
      out.append(picture, sizeof picture);
    }
  }
  out.append(run, end);
}

void AppendUnescaped(std::string& out, std::string_view text) { out.append(text); }

void AppendControlEscaped(std::string& out, std::string_view text) {
  if (std::none_of(text.begin(), text.end(), IsControlByte)) {
    out.append(text);
    return;
  }
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (!IsControlByte(c)) {
      out += c;
    } else {
      AppendControlEscape(out, c);
    }
  }
}

std::string ControlEscaped(std::string_view text) {
  std::string escaped;
  AppendControlEscaped(escaped, text);
  return escaped;
}

void AppendNameEscaped(std::string& out, std::string_view text) {
  static const bool names_are_utf8 = PageCharset() == "utf-8";
  static const bool backslash_separates = FolderSeparator() == '\\';
  size_t length = 1;
  for (size_t at = 0; at < text.size(); at += length) {
    const char c = text[at];
    length = 1;
    if (c == '\\' && !backslash_separates) {
      out += "\\\\";
    } else if (IsControlByte(c)) {
      AppendControlEscape(out, c);
    } else if (static_cast<unsigned char>(c) <= 127 || !names_are_utf8) {
      out += c;
    } else {
      uint32_t code_point = 0;
      const bool well_formed = DecodeSequence(text, at, length, code_point);
      if (well_formed && !IsUnseenInALine(code_point)) {
        out.append(text, at, length);
      } else {
        for (size_t i = 0; i < length; ++i) AppendOctalEscape(out, text[at + i]);
      }
    }
  }
}

bool IsExactAsUtf8(std::string_view text) {
  if (IsAscii(text)) return true;
  std::string converted;
  return SystemTextToUtf8(text, converted) && IsWellFormedUtf8(converted);
}

void AppendJsonEscaped(std::string& out, std::string_view system_text) {
  std::string converted;
  const std::string_view text = Utf8Of(system_text, converted);
  size_t run = 0;
  size_t at = 0;
  while (at < text.size()) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (kJsonPlain.plain[byte]) {
      ++at;
      continue;
    }
    size_t length = 1;
    uint32_t code_point = 0;
    const bool well_formed = byte > 127 && DecodeSequence(text, at, length, code_point);
    if (well_formed && !IsUnseenInALine(code_point)) {
      at += length;
      continue;
    }
    out.append(text, run, at - run);
    if (byte <= 127) {
      AppendJsonAsciiEscape(out, text[at]);
    } else if (well_formed) {
      AppendUnicodeEscape(out, code_point);
    } else {
      out += kReplacementCharacter;
    }
    at += length;
    run = at;
  }
  out.append(text, run, std::string_view::npos);
}

void AppendScriptText(std::string& out, std::string_view system_text) {
  std::string converted;
  const std::string_view text = Utf8Of(system_text, converted);
  size_t length = 1;
  for (size_t at = 0; at < text.size(); at += length) {
    const char c = text[at];
    const unsigned char byte = static_cast<unsigned char>(c);
    length = 1;
    if (byte > 127) {
      uint32_t code_point = 0;
      if (!DecodeSequence(text, at, length, code_point)) code_point = 0xFFFD;
      if (code_point > 0xFFFF) {
        AppendUnicodeEscape(out, 0xD800 + ((code_point - 0x10000) >> 10));
        code_point = 0xDC00 + ((code_point - 0x10000) & 0x3FF);
      }
      AppendUnicodeEscape(out, code_point);
    } else if (IsControlByte(c)) {
      AppendUnicodeEscape(out, c == 127 ? 0x2421 : 0x2400 + byte);
    } else if (kJsonPlain.plain[byte] && c != '\'' && c != '<' && c != '>' && c != '&') {
      out += c;
    } else {
      AppendUnicodeEscape(out, byte);
    }
  }
}

void AppendCsvField(std::string& out, std::string_view system_text) {
  // Most fields are plain ASCII without a quote, a comma or a line break:
  // one look at each byte, then they stand.
  if (!NeedsFormulaGuard(system_text) && std::none_of(system_text.begin(), system_text.end(), [](char c) {
        return kCsvSpecial.special[static_cast<unsigned char>(c)];
      })) {
    out.append(system_text);
    return;
  }
  std::string converted;
  std::string replaced;
  const std::string_view text = WellFormed(Utf8Of(system_text, converted), replaced);
  const bool guarded = NeedsFormulaGuard(text);
  if (!guarded && text.find_first_of("\",\r\n") == std::string_view::npos) {
    out.append(text);
    return;
  }
  out += '"';
  if (guarded) out += '\'';
  size_t run = 0;
  for (size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"', run)) {
    out.append(text, run, quote + 1 - run);
    out += '"';
    run = quote + 1;
  }
  out.append(text, run, std::string_view::npos);
  out += '"';
}

void AppendPercentEncoded(std::string& out, std::string_view bytes) {
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '%') {
      out += c;
    } else {
      const char code[] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 15]};
      out.append(code, sizeof code);
    }
  }
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
}

void AppendJsonPathMembers(std::string& out, const char* key, const std::string& path) {
  out += std::string("\"") + key + "\": ";
  AppendJsonString(out, path);
  if (IsExactAsUtf8(path)) return;
  out += std::string(", \"") + key + "_bytes\": \"";
  AppendPercentEncoded(out, path);
  out += '"';
}

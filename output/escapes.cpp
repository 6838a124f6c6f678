#include "output/escapes.h"

#include <algorithm>

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
  static const char kHex[] = "0123456789ABCDEF";
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
      const char picture[] = {'&', '#', 'x', '2', '4', kHex[c >> 4], kHex[c & 15], ';'};
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
    } else if (const char letter = EscapeLetter(c)) {
      out += '\\';
      out += letter;
    } else {
      const unsigned byte = static_cast<unsigned char>(c);
      const char octal[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                            static_cast<char>('0' + ((byte >> 3) & 7)), static_cast<char>('0' + (byte & 7))};
      out.append(octal, sizeof octal);
    }
  }
}

std::string ControlEscaped(std::string_view text) {
  std::string escaped;
  AppendControlEscaped(escaped, text);
  return escaped;
}

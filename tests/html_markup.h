// The markup of an HTML page as a browser's tokenizer reads it, for tests
// that check that names add none.
#pragma once

#include <cctype>
#include <string>
#include <vector>

namespace html_markup_detail {

inline std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

}  // namespace html_markup_detail

// The markup of a page as a browser's tokenizer reads it: every start tag
// with its attribute names (upper-cased), every end tag, every comment; text
// is left out, and the content of TITLE, STYLE and SCRIPT is text up to
// their end tags. A test oracle: two pages whose names differ have the same
// markup when no name adds any.
inline std::vector<std::string> Markup(const std::string& page) {
  const std::string upper = html_markup_detail::Upper(page);
  std::vector<std::string> markup;
  size_t at = 0;
  while ((at = page.find('<', at)) != std::string::npos) {
    if (page.compare(at, 4, "<!--") == 0) {
      markup.push_back("<!-- -->");
      at = page.find("-->", at + 4);
      if (at == std::string::npos) break;
      at += 3;
      continue;
    }
    size_t i = at + 1;
    const bool end_tag = i < page.size() && page[i] == '/';
    if (end_tag) ++i;
    if (i >= page.size() || !std::isalpha(static_cast<unsigned char>(page[i]))) {
      ++at;  // a "<" that opens no tag is text
      continue;
    }
    std::string tag = end_tag ? "/" : "";
    const size_t name_start = i;
    while (i < page.size() && !html_markup_detail::IsBlank(page[i]) && page[i] != '/' && page[i] != '>') ++i;
    const std::string name = upper.substr(name_start, i - name_start);
    tag += name;
    while (i < page.size() && page[i] != '>') {
      if (html_markup_detail::IsBlank(page[i]) || page[i] == '/') {
        ++i;
        continue;
      }
      const size_t attribute_start = i++;
      while (i < page.size() && !html_markup_detail::IsBlank(page[i]) && page[i] != '/' && page[i] != '>' &&
             page[i] != '=')
        ++i;
      tag += " " + upper.substr(attribute_start, i - attribute_start);
      size_t j = i;
      while (j < page.size() && html_markup_detail::IsBlank(page[j])) ++j;
      if (j >= page.size() || page[j] != '=') continue;
      i = j + 1;
      while (i < page.size() && html_markup_detail::IsBlank(page[i])) ++i;
      if (i < page.size() && (page[i] == '"' || page[i] == '\'')) {
        i = page.find(page[i], i + 1);
        if (i == std::string::npos) i = page.size();
        ++i;
      } else {
        while (i < page.size() && !html_markup_detail::IsBlank(page[i]) && page[i] != '>') ++i;
      }
    }
    markup.push_back(tag);
    at = i;
    if (!end_tag && (name == "TITLE" || name == "STYLE" || name == "SCRIPT"))
      at = upper.find("</" + name, at);
  }
  return markup;
}

#include "tree/duplicates_document.h"

#include <algorithm>
#include <memory>

#include "output/escapes.h"
#include "output/number_text.h"
#include "tree/report_page.h"

namespace {

std::string Grouped(uint64_t number) { return GroupThousands(std::to_string(number), ','); }

std::string Counted(uint64_t number, const char* one, const char* many) {
  return Grouped(number) + " " + (number == 1 ? one : many);
}

// The exact bytes of the paths that UTF-8 cannot carry; empty where every
// path is exact.
std::string NameBytesMember(const DuplicateGroup& group) {
  bool inexact = false;
  for (const std::string& path : group.Files) inexact = inexact || !IsExactAsUtf8(path);
  if (!inexact) return std::string();
  std::string member = ", \"name_bytes\": [";
  for (size_t at = 0; at < group.Files.size(); ++at) {
    if (at > 0) member += ", ";
    if (IsExactAsUtf8(group.Files[at])) {
      member += "null";
      continue;
    }
    member += '"';
    AppendPercentEncoded(member, group.Files[at]);
    member += '"';
  }
  return member + "]";
}

std::string TitleOf(const std::vector<std::string>& tops) {
  std::string title = "Duplicates in ";
  for (size_t at = 0; at < tops.size(); ++at) {
    if (at > 0) title += at + 1 == tops.size() ? " and " : ", ";
    AppendVisibleHtml(title, tops[at]);
  }
  return title;
}

std::string Bytes(uint64_t bytes) {
  return "<span title=\"" + Counted(bytes, "byte", "bytes") + "\">" + HumanSize(bytes) + "</span>";
}

std::string GroupSection(const DuplicateGroup& group, size_t number, DigestAlgorithm algorithm) {
  std::string section = "<section aria-labelledby=\"g" + std::to_string(number) + "\">\n<h2 id=\"g" +
                        std::to_string(number) + "\">" + Counted(group.Files.size(), "file", "files") +
                        " of " + Bytes(group.Size) + " <span class=\"sum\">(" + Bytes(group.Wasted()) +
                        " wasted; " + DigestName(algorithm) + " <code>" + group.Digest +
                        "</code>)</span></h2>\n<ol>\n";
  for (const std::string& path : group.Files) {
    section += "<li>";
    AppendVisibleHtml(section, path);
    section += "</li>\n";
  }
  return section + "</ol>\n</section>\n";
}

}  // namespace

std::string DuplicatesText(const std::vector<DuplicateGroup>& groups) {
  const std::string end(PlatformLineEnd());
  std::string text;
  for (const DuplicateGroup& group : groups) {
    for (const std::string& path : group.Files) text += ControlEscaped(path) + end;
    text += end;
  }
  return text;
}

std::string DuplicatesJson(const std::vector<DuplicateGroup>& groups, DigestAlgorithm algorithm) {
  std::string json = "{\n  \"groups\": [";
  for (size_t at = 0; at < groups.size(); ++at) {
    const DuplicateGroup& group = groups[at];
    json += at == 0 ? "\n    {" : ",\n    {";
    json += "\"size\": " + std::to_string(group.Size) + ", \"" + DigestName(algorithm) + "\": \"" +
            group.Digest + "\", \"files\": [";
    for (size_t file = 0; file < group.Files.size(); ++file) {
      if (file > 0) json += ", ";
      AppendJsonString(json, group.Files[file]);
    }
    json += "]" + NameBytesMember(group) + "}";
  }
  const DuplicateTotals totals = TotalsOf(groups);
  json += groups.empty() ? "],\n" : "\n  ],\n";
  json += "  \"totals\": {\"groups\": " + std::to_string(totals.Groups) +
          ", \"files\": " + std::to_string(totals.Files) +
          ", \"wasted_bytes\": " + std::to_string(totals.WastedBytes) + "}\n}\n";
  return json;
}

std::string DuplicatesPage(const std::vector<DuplicateGroup>& groups, const std::vector<std::string>& tops,
                           DigestAlgorithm algorithm) {
  const std::string title = TitleOf(tops);
  const DuplicateTotals totals = TotalsOf(groups);
  // Nothing is fetched and nothing runs, wherever the page is opened.
  std::string page = ReportPageHead(title, "") + "<header>\n<h1>" + title + "</h1>\n<p>" +
                     Counted(totals.Groups, "group", "groups") + " of duplicates, " +
                     Counted(totals.Files, "file", "files") + ", " + Bytes(totals.WastedBytes) +
                     " wasted</p>\n</header>\n<main>\n";
  if (groups.empty()) page += "<p>No two files have the same content.</p>\n";
  for (size_t at = 0; at < groups.size(); ++at) page += GroupSection(groups[at], at + 1, algorithm);
  return page + "</main>\n</body>\n</html>\n";
}

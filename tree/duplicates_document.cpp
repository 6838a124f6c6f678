#include "tree/duplicates_document.h"

#include <algorithm>
#include <memory>

#include "output/escapes.h"
#include "output/number_text.h"

namespace {

std::string Grouped(uint64_t number) { return GroupThousands(std::to_string(number), ','); }

std::string Counted(uint64_t number, const char* one, const char* many) {
  return Grouped(number) + " " + (number == 1 ? one : many);
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
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

// The sha256 of the text as a Content-Security-Policy source:
// 'sha256-' and the digest in base64.
std::string PolicyHash(const std::string& text) {
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kSha256);
  if (digester == nullptr) return "'none'";
  digester->Update(text.data(), text.size());
  const std::string hex = digester->Finish();
  std::string bytes;
  for (size_t at = 0; at + 1 < hex.size(); at += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  std::string encoded;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t count = std::min<size_t>(3, bytes.size() - at);
    uint32_t chunk = 0;
    for (size_t part = 0; part < 3; ++part) {
      const uint32_t byte = part < count ? static_cast<unsigned char>(bytes[at + part]) : 0;
      chunk |= byte << (16 - 8 * part);
    }
    for (size_t part = 0; part < 4; ++part)
      encoded += part <= count ? kBase64[(chunk >> (18 - 6 * part)) & 63] : '=';
  }
  return "'sha256-" + encoded + "'";
}

// The standards page's colours and type, for a page of lists.
constexpr char kStyle[] = R"css(
:root { color-scheme: light dark; --page: #fcfcfb; --text: #1c2024; --muted: #515a63; --line: #d9dde2;
  --head: #f1f3f5; }
@media (prefers-color-scheme: dark) {
  :root { --page: #121416; --text: #e3e6e9; --muted: #a3acb6; --line: #2d3238; --head: #1b1f23; }
}
*, ::before, ::after { box-sizing: border-box; }
html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }
body { margin: 0 auto; max-width: 76rem; padding: 1.5rem 1rem 2.5rem; background: var(--page);
  color: var(--text); font: 15px/1.5 system-ui, -apple-system, "Segoe UI", Roboto, "Noto Sans",
  "Liberation Sans", Arial, sans-serif; }
h1 { font-size: 1.5rem; line-height: 1.25; margin: 0 0 .25rem; overflow-wrap: anywhere; }
h2 { font-size: 1rem; margin: 0; padding: .4rem .6rem; background: var(--head); border-bottom: 2px solid var(--line); }
header p { margin: 0; color: var(--muted); font-size: .875rem; }
section { margin: 1rem 0; }
ol { list-style: none; margin: 0; padding: 0; }
li { padding: .3rem .6rem; border-bottom: 1px solid var(--line); overflow-wrap: anywhere; unicode-bidi: isolate; }
.sum { color: var(--muted); font-size: .8125rem; font-weight: normal; }
.sum code { overflow-wrap: anywhere; }
@media (max-width: 40rem) { body { padding: 1rem .75rem 2rem; font-size: 14px; } }
)css";

std::string CharsetLine() {
  const std::string charset = PageCharset();
  return charset.empty() ? std::string() : "<meta charset=\"" + charset + "\">\n";
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
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n" + CharsetLine() +
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                     "<meta name=\"generator\" content=\"Kestrova\">\n"
                     "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
                     PolicyHash(kStyle) + "; base-uri 'none'; form-action 'none'\">\n<title>" + title +
                     "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<header>\n<h1>" + title +
                     "</h1>\n<p>" + Counted(totals.Groups, "group", "groups") + " of duplicates, " +
                     Counted(totals.Files, "file", "files") + ", " + Bytes(totals.WastedBytes) +
                     " wasted</p>\n</header>\n<main>\n";
  if (groups.empty()) page += "<p>No two files have the same content.</p>\n";
  for (size_t at = 0; at < groups.size(); ++at) page += GroupSection(groups[at], at + 1, algorithm);
  return page + "</main>\n</body>\n</html>\n";
}

#include "tree/report_page.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/platform.h"

const char kReportPageStyle[] = R"css(
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

std::string ReportPageHead(const std::string& title_html, const std::string& extra_style) {
  const std::string style = std::string(kReportPageStyle) + extra_style;
  const std::string charset = PageCharset();
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n" +
         (charset.empty() ? std::string() : "<meta charset=\"" + charset + "\">\n") +
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<meta name=\"generator\" content=\"Kestrova\">\n"
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src " +
         PolicyHash(style) + "; base-uri 'none'; form-action 'none'\">\n<title>" + title_html +
         "</title>\n<style>" + style + "</style>\n</head>\n<body>\n";
}

#include "output/catalog_page.h"

#include "output/escapes.h"

// Made at build time from catalog_viewer.js and catalog_viewer.css, each
// with the hash of its element's text.
extern const char kCatalogScript[];
extern const char kCatalogScriptHash[];
extern const char kCatalogStyle[];
extern const char kCatalogStyleHash[];

const char kCatalogDataTag[] = "<script type=\"application/x-kestrova-catalog\" id=\"catalog-data\"";
const char kCatalogDataStart[] =
    "<script type=\"application/x-kestrova-catalog\" id=\"catalog-data\" data-version=\"2\">\n";
const char kCatalogDataEnd[] = "</script>\n";

std::string CatalogPageHead(const std::string& title) {
  std::string title_html;
  AppendVisibleHtml(title_html, title);
  // The page runs its own script and style alone, wherever it is opened:
  // nothing is fetched, nothing else runs.
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta name=\"generator\" content=\"Kestrova\">\n"
      "<meta charset=\"utf-8\">\n<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "script-src '";
  page += kCatalogScriptHash;
  page += "'; style-src '";
  page += kCatalogStyleHash;
  page +=
      "'; img-src data:; base-uri 'none'; form-action 'none'\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += title_html;
  page += "</title>\n<style>";
  page += kCatalogStyle;
  page += "</style>\n</head>\n<body>\n<header><h1>";
  page += title_html;
  page +=
      "</h1><p id=\"catalog-status\" role=\"status\">Opening the catalog\xE2\x80\xA6</p></header>\n"
      "<main id=\"catalog\"><noscript><p>This catalog shows its listing with JavaScript, which is "
      "off.</p></noscript></main>\n";
  page += kCatalogDataStart;
  return page;
}

std::string CatalogPageTail() {
  std::string page = kCatalogDataEnd;
  page += "<script>";
  page += kCatalogScript;
  page += "</script>\n</body>\n</html>\n";
  return page;
}

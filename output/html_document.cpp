#include "output/html_document.h"

#include <algorithm>

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/escapes.h"
#include "output/html_rows.h"

namespace {

constexpr std::string_view kGeneratorLine = "<META NAME=\"Generator\" CONTENT=\"Kestrova 1.5\">";

struct StyleRule {
  const char* selector;
  std::string CommonStruct::*style;
};

constexpr StyleRule kStyleRules[] = {
    {".CaptionCl {", &CommonStruct::CaptionStyle}, {".TitleCl {", &CommonStruct::TitleStyle},
    {".NameCl {", &CommonStruct::NameStyle},       {".mask {", &CommonStruct::MaskStyle},
    {".TableCl {", &CommonStruct::TableStyle},     {".SummaryCl {", &CommonStruct::SummaryStyle},
};

constexpr char kDirPath[] = "$DirPath";

// Declares the character set before anything that holds a name, so that a
// browser never guesses it from the bytes.
std::string CharsetDeclaration() {
  const std::string charset = PageCharset();
  if (charset.empty()) return std::string();
  return "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" + charset + "\">\r\n";
}

// The user's own text of the address around the folder: a backslash typed
// there is a separator on every platform, unlike one in a folder's name.
void AppendAddressLinkForm(std::string& href, std::string address) {
  std::replace(address.begin(), address.end(), '\\', '/');
  AppendLinkForm(href, address);
}

// The classic start, or an HTML5 document's in standards mode, with its
// language.
std::string DocumentStart(const CommonStruct& record) {
  if (!record.Html5) return "<HTML>\r\n";
  std::string start = "<!DOCTYPE html>\r\n<HTML LANG=\"";
  AppendEscapedHtml(start, record.PageLang.empty() ? "en" : record.PageLang);
  return start + "\">\r\n";
}

void AppendTableStart(ListingRun& run) {
  AppendText(run.Document, ComposeTableOpen(*run.Settings, run.CustTable));
  AppendText(run.Document, run.CaptionRow);
}

}  // namespace

std::string ComposeStyleBlock(const CommonStruct& record) {
  std::string block;
  for (const StyleRule& rule : kStyleRules) {
    block += rule.selector;
    block += record.*rule.style;
    block += "}\r\n";
  }
  return block;
}

std::string ComposeBaseHref(const std::string& base, const std::string& listed_folder) {
  size_t at = base.find(kDirPath);
  if (at == std::string::npos) return base;
  std::string folder = listed_folder;
  // "file://localhost/" and a POSIX path "/srv" meet at one slash, not two.
  const bool after_slash = at > 0 && (base[at - 1] == '/' || base[at - 1] == '\\');
  if (after_slash && !folder.empty() && folder[0] == '/') folder.erase(0, 1);
  std::string href;
  AppendAddressLinkForm(href, base.substr(0, at));
  AppendLinkForm(href, folder);
  AppendAddressLinkForm(href, base.substr(at + sizeof kDirPath - 1));
  if (href.empty() || href.back() != '/') href += '/';
  return href;
}

std::string ComposeTableOpen(const CommonStruct& record, const std::string& custom) {
  std::string tag = "<TABLE CLASS = TableCl ";
  if (!record.Html5) {
    tag += record.TableBorder ? " BORDER = 1 " : " ";
    if (!record.TableColor.empty()) tag += "BGCOLOR = " + record.TableColor;
    tag += " CELLSPACING = " + std::to_string(record.CellSpacing);
    tag += " CELLPADDING = " + std::to_string(record.CellPadding);
    if (!record.TableWidth.empty()) tag += " WIDTH= " + record.TableWidth;
    tag += " ";
  }
  tag += custom;
  tag += ">\r\n";
  return tag;
}

std::string ComposeSummary(const CommonStruct& record, const ListingTotals& totals) {
  std::string summary =
      record.Html5 ? "<TABLE CLASS = SummaryCl>\r\n" : "<TABLE BORDER = 0 CLASS = SummaryCl>\r\n";
  summary += "<TR><TD>" + totals.FolderCountText + "</TD><TD>" + record.Folders + ";</TD></TR>\r\n";
  summary += "<TR><TD>" + totals.FileCountText + "</TD>\r\n<TD>\r\n" + record.Files + ";</TD></TR>\r\n";
  summary += "<TR><TD>" + totals.SummarySizeText + "</TD>\r\n";
  summary += "<TD>" + record.TotalSize + ".</TD></TR>";
  return summary;
}

bool IsOwnHtmlPage(std::string_view start) {
  constexpr std::string_view kLanguage = "<HTML LANG=\"";
  if (TakeLine(start, "<!DOCTYPE html>")) {
    // The language is the user's, escaped: it holds no quote of its own.
    const size_t quote = start.find('"', kLanguage.size());
    if (start.substr(0, kLanguage.size()) != kLanguage || quote == std::string_view::npos) return false;
    start.remove_prefix(quote + 1);
    if (!TakeLine(start, ">")) return false;
  } else if (!TakeLine(start, "<HTML>")) {
    return false;
  }
  return TakeLine(start, "<HEAD>") && TakeLine(start, kGeneratorLine);
}

void ComposeHtmlDocument(ListingRun& run) {
  const CommonStruct& record = *run.Settings;
  run.StyleBlock = ComposeStyleBlock(record);
  run.BaseHref = ComposeBaseHref(record.Base, run.Folder);
  run.CaptionRow = ComposeCaptionRow(record, run.Checksums);
  DocumentText& doc = run.Document;
  doc = DocumentText();
  std::string head = DocumentStart(record) + "<HEAD>\r\n";
  // A page among the pages of a tree says first of all who wrote it, where
  // no text of the user's can push it away: a later walk replaces it, and
  // nothing else of that name.
  if (run.Tree != nullptr) head += std::string(kGeneratorLine) + "\r\n";
  head += CharsetDeclaration();
  head += "<TITLE>" + run.Title + "</TITLE>\r\n" + run.HeadCustom + "\r\n";
  if (run.Tree == nullptr) head += std::string(kGeneratorLine) + "\r\n";
  if (!run.BaseHref.empty()) head += "<BASE HREF = " + run.BaseHref + ">\r\n";
  head += "<STYLE TYPE = \"text/css\">\r\n" + run.StyleBlock + "</STYLE>\r\n";
  head += "</HEAD>\r\n<BODY ";
  if (!record.DocColor.empty() && !record.Html5) head += "BGCOLOR = " + record.DocColor;
  head += ">\n" + run.Befor;
  head += "<P CLASS = TitleCl>\r\n" + run.Title + "</P>\r\n";
  if (record.ShowMasks) {
    head += "<P CLASS = mask>" + record.Folders + " [" + record.DirMask + "]";
    if (!record.DivideTable) head += "<BR>" + record.Files + " [" + record.FileMask + "]";
    head += "</P>\r\n";
  }
  AppendText(doc, head);
  AppendTableStart(run);
  AppendListRows(doc, EntryList::kFolders);
  if (record.DivideTable) {
    AppendText(doc, "</TABLE>\n<BR>\n");
    if (record.ShowMasks) {
      AppendText(doc, "<P CLASS = mask>" + record.Files + " [" + record.FileMask + "]</P>\r\n");
    }
    AppendTableStart(run);
  }
  AppendListRows(doc, EntryList::kFiles);
  AppendText(doc, "</TABLE>\r\n");
  if (record.ShowSummary) AppendText(doc, ComposeSummary(record, run.Totals) + "</TABLE>\r\n");
  AppendText(doc, run.After);
  AppendText(doc, "\r\n</BODY>\r\n</HTML>");
}

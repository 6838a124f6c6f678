#include "output/html_document.h"

#include <algorithm>

#include "listing/column_values.h"
#include "output/document_text.h"
#include "output/html_rows.h"
#include "output/placeholders.h"

namespace {

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

void AppendTableStart(CommonStruct& record) {
  AppendText(record.DocText, ComposeTableOpen(record));
  ComposeCaptionRow(record);
  AppendText(record.DocText, record.CaptionRow);
}

}  // namespace

void ComposeStyleBlock(CommonStruct& record) {
  record.StyleBlock.clear();
  for (const StyleRule& rule : kStyleRules) {
    record.StyleBlock += rule.selector;
    record.StyleBlock += record.*rule.style;
    record.StyleBlock += "}\r\n";
  }
}

void ComposeBaseHref(CommonStruct& record) {
  size_t at = record.Base.find(kDirPath);
  if (at == std::string::npos) {
    record.BaseHref = record.Base;
    return;
  }
  std::string folder = record.DirStr;
  // "file://localhost/" and a POSIX path "/srv" meet at one slash, not two.
  const bool after_slash = at > 0 && (record.Base[at - 1] == '/' || record.Base[at - 1] == '\\');
  if (after_slash && !folder.empty() && folder[0] == '/') folder.erase(0, 1);
  std::string href;
  AppendAddressLinkForm(href, record.Base.substr(0, at));
  AppendLinkForm(href, folder);
  AppendAddressLinkForm(href, record.Base.substr(at + sizeof kDirPath - 1));
  if (href.empty() || href.back() != '/') href += '/';
  record.BaseHref = href;
}

std::string ComposeTableOpen(const CommonStruct& record) {
  std::string tag = "<TABLE CLASS = TableCl ";
  tag += record.TableBorder ? " BORDER = 1 " : " ";
  if (!record.TableColor.empty()) tag += "BGCOLOR = " + record.TableColor;
  tag += " CELLSPACING = " + std::to_string(record.CellSpacing);
  tag += " CELLPADDING = " + std::to_string(record.CellPadding);
  if (!record.TableWidth.empty()) tag += " WIDTH= " + record.TableWidth;
  tag += " ";
  tag += record.CustTable;
  tag += ">\r\n";
  return tag;
}

std::string ComposeSummary(const CommonStruct& record) {
  std::string summary = "<TABLE BORDER = 0 CLASS = SummaryCl>\r\n";
  summary += "<TR><TD>" + record.FolderCountText + "</TD><TD>" + record.Folders + ";</TD></TR>\r\n";
  summary += "<TR><TD>" + record.FileCountText + "</TD>\r\n<TD>\r\n" + record.Files + ";</TD></TR>\r\n";
  summary += "<TR><TD>" + record.TotalBytesText + " " + record.FileSize + "</TD>\r\n";
  summary += "<TD>" + record.TotalSize + ".</TD></TR>";
  return summary;
}

void WriteHtmlDocument(CommonStruct& record) {
  ComposeStyleBlock(record);
  ComposeBaseHref(record);
  DocumentText& doc = record.DocText;
  ClearDocument(doc);
  std::string head = "<HTML>\r\n<HEAD>\r\n" + CharsetDeclaration();
  head += "<TITLE>" + SubstitutedTitle(record) + "</TITLE>\r\n" + record.HeadCustom +
          "\r\n<META NAME=\"Generator\" CONTENT=\"Kestrova 1.5\">\r\n";
  if (!record.BaseHref.empty()) head += "<BASE HREF = " + record.BaseHref + ">\r\n";
  head += "<STYLE TYPE = \"text/css\">\r\n" + record.StyleBlock + "</STYLE>\r\n";
  head += "</HEAD>\r\n<BODY ";
  if (!record.DocColor.empty()) head += "BGCOLOR = " + record.DocColor;
  head += ">\n" + record.Befor;
  head += "<P CLASS = TitleCl>\r\n" + SubstitutedTitle(record) + "</P>\r\n";
  if (record.ShowMasks) {
    head += "<P CLASS = mask>" + record.Folders + " [" + record.DirMask + "]";
    if (!record.DivideTable) head += "<BR>" + record.Files + " [" + record.FileMask + "]";
    head += "</P>\r\n";
  }
  AppendText(doc, head);
  AppendTableStart(record);
  AppendListRows(doc, record.Listing.FolderList, record.DescOrder);
  if (record.DivideTable) {
    AppendText(doc, "</TABLE>\n<BR>\n");
    if (record.ShowMasks) {
      AppendText(doc, "<P CLASS = mask>" + record.Files + " [" + record.FileMask + "]</P>\r\n");
    }
    AppendTableStart(record);
  }
  AppendListRows(doc, record.Listing.FileList, record.DescOrder);
  AppendText(doc, "</TABLE>\r\n");
  if (record.ShowSummary) AppendText(doc, ComposeSummary(record) + "</TABLE>\r\n");
  AppendText(doc, record.After);
  AppendText(doc, "\r\n</BODY>\r\n</HTML>");
}

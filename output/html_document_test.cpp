// Whole HTML pages pinned byte for byte, and the pieces of the page.
#include "output/html_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/document_fixture.h"
#include "tests/html_markup.h"
#include "tests/test_support.h"

namespace {

class HtmlDocumentTest : public DocumentFixture {};

TEST_F(HtmlDocumentTest, WholePage) {
  // The golden page declares UTF-8; Windows declares its ANSI code page.
  const std::string charset = PageCharset();
  const std::string declaration = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
  ExpectSameAsGolden(Document(), "listing.html", declaration + "utf-8\">\r\n",
                     charset.empty() ? "" : declaration + charset + "\">\r\n");
}

TEST_F(HtmlDocumentTest, OneTableWithoutExtrasSharesTheMaskParagraph) {
  r.DivideTable = false;
  r.ShowSummary = false;
  r.DocColor.clear();
  r.TableColor.clear();
  r.TableWidth.clear();
  r.TableBorder = false;
  r.CustTable.clear();
  r.After.clear();
  const std::string page = Document();
  EXPECT_NE(page.find("<BODY >\n"), std::string::npos);
  EXPECT_NE(page.find("<P CLASS = mask>Folders [*.*]<BR>Files [*.*]</P>\r\n"), std::string::npos);
  EXPECT_NE(page.find("<TABLE CLASS = TableCl   CELLSPACING = 2 CELLPADDING = 4 >\r\n"), std::string::npos);
  EXPECT_EQ(page.find("SummaryCl>"), std::string::npos);
  const std::string end = "</TR>\n</TABLE>\r\n\r\n</BODY>\r\n</HTML>";
  EXPECT_EQ(page.substr(page.size() - end.size()), end);
}

TEST_F(HtmlDocumentTest, AnHtml5PageHasADoctypeItsLanguageAndNoPresentationalAttribute) {
  const std::string classic = Document();
  r.Html5 = true;
  r.CapColor.clear();
  r.KeyColColor.clear();
  std::string page = Document();
  EXPECT_EQ(page.substr(0, 43), "<!DOCTYPE html>\r\n<HTML LANG=\"en\">\r\n<HEAD>\r\n");
  for (const char* attribute : {"BGCOLOR", "BORDER", "CELLSPACING", "CELLPADDING", "WIDTH", "= >"}) {
    EXPECT_EQ(page.find(attribute), std::string::npos) << attribute << " in " << page;
  }
  EXPECT_NE(page.find("<TABLE CLASS = TableCl ID = listing>\r\n<TR CLASS = CaptionCl><TD>Name</TD>"),
            std::string::npos)
      << "the custom table text stays";
  EXPECT_NE(page.find("<BODY >\n<!-- 2 folders -->"), std::string::npos);
  EXPECT_NE(page.find("<TABLE CLASS = SummaryCl>\r\n"), std::string::npos);
  auto elements = [](const std::string& html) {
    std::vector<std::string> names;
    for (const std::string& tag : Markup(html)) names.push_back(tag.substr(0, tag.find(' ')));
    return names;
  };
  EXPECT_EQ(elements(page), elements(classic)) << "the same elements as the classic page";
  r.PageLang = "de-CH\" x=\"";
  page = Document();
  EXPECT_EQ(page.substr(0, 53), "<!DOCTYPE html>\r\n<HTML LANG=\"de-CH&quot; x=&quot;\">\r\n");
}

TEST_F(HtmlDocumentTest, BaseAddressForms) {
  r.Base = "";
  EXPECT_EQ(Document().find("<BASE"), std::string::npos);
  r.Base = "http://www.example.com/files/";
  EXPECT_NE(Document().find("<BASE HREF = http://www.example.com/files/>\r\n"), std::string::npos);
  const std::string web_root = std::string("C:") + FolderSeparator() + "Web Root";
  EXPECT_EQ(ComposeBaseHref("file://localhost/$DirPath", web_root), "file://localhost/C:/Web%20Root/");
  EXPECT_EQ(ComposeBaseHref("file://localhost/$DirPath", web_root + FolderSeparator()),
            "file://localhost/C:/Web%20Root/")
      << "a trailing separator is not doubled";
  EXPECT_EQ(ComposeBaseHref("file://localhost/$DirPath", "/srv/web files"),
            "file://localhost/srv/web%20files/")
      << "a root path adds no second slash";
  EXPECT_EQ(ComposeBaseHref("http://h/$DirPath\\", "/d"), "http://h/d/")
      << "a backslash typed in the address is its separator";
  EXPECT_EQ(ComposeBaseHref("http://h/$DirPath/", "/d"), "http://h/d/");
}

TEST_F(HtmlDocumentTest, BackslashesOfTheFolderSeparateOnlyOnWindows) {
  const std::string href = ComposeBaseHref("file://localhost/$DirPath", "/srv/..\\..\\etc\\x\\");
  if (FolderSeparator() == '\\') {
    EXPECT_EQ(href, "file://localhost/srv/../../etc/x/");
  } else {
    EXPECT_EQ(href, "file://localhost/srv/..%5C..%5Cetc%5Cx%5C/")
        << "a folder whose name ends in a backslash still gets its separator";
  }
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t from = 0; from <= text.size();) {
    const size_t end = std::min(text.find('\n', from), text.size());
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

TEST_F(HtmlDocumentTest, LinksKeepTheirTargetsTypesUnlessShowLinksIsSet) {
  AddLinks();
  const std::vector<FolderRecord> with_links = source.Folders[r.DirStr];
  for (FolderRecord& record : source.Folders[r.DirStr]) {
    record.dwFileAttributes &= ~1024u;
    record.BrokenLink = false;
  }
  const std::string targets = Document();
  source.Folders[r.DirStr] = with_links;
  EXPECT_EQ(Visible(Document()), Visible(targets))
      << "by default a link's row is its target's, byte for byte";

  r.ShowLinks = true;
  const std::vector<std::string> shown = LinesOf(Document());
  const std::vector<std::string> plain = LinesOf(targets);
  ASSERT_EQ(shown.size(), plain.size());
  std::vector<std::string> changed;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != plain[i]) changed.push_back(shown[i]);
  }
  ASSERT_EQ(changed.size(), 4u) << "the links' rows, and nothing else";
  for (const std::string& row : changed) {
    const bool folder = row.find(">shared</A>") != std::string::npos;
    const bool file = row.find(">notes.txt</A>") != std::string::npos;
    const bool broken =
        row.find(">gone.txt</A>") != std::string::npos || row.find(">self</A>") != std::string::npos;
    ASSERT_TRUE(folder || file || broken) << row;
    const std::string type = folder ? "Link to folder" : file ? "Link" : "Broken link";
    EXPECT_NE(row.find("</TD><TD>" + type + "</TD><TD BGCOLOR = LIGHTBLUE>"), std::string::npos) << row;
    const std::string size = file ? ">42 bytes</TD>" : ">0 bytes</TD>";
    if (file || broken) {
      EXPECT_NE(row.find(size), std::string::npos) << "the target's size, 0 if none: " << row;
    }
  }
  EXPECT_EQ(source.LinkLookups, 0);
}

TEST_F(HtmlDocumentTest, HostileFolderNamesAddNoMarkup) {
  // The folder's path wherever a page can take it: title, title paragraph,
  // custom HTML inside the head, a comment, an attribute and the body, a
  // word, the base address and full-name links.
  r.ContentOf = "In $DirPath:";
  r.Befor = "<!-- $DirPath -->\r\n";
  r.After = "<P TITLE=\"$DirPath\">$DirPath</P>";
  r.CustTable = "SUMMARY = \"$DirPath\"";
  r.FullNames = true;
  const std::vector<FolderRecord> records = source.Folders["/srv/Web & Root"];
  const CommonStruct settings = r;
  auto page_of = [&](const std::string& folder) {
    r = settings;
    r.DirStr = folder;
    source.Folders[folder] = records;
    return Document();
  };
  const std::vector<std::string> plain = Markup(page_of("/srv/plain"));
  ASSERT_GT(plain.size(), 50u);
  ASSERT_EQ(plain[2], "META HTTP-EQUIV CONTENT") << "the parser reads attributes";
  for (const char* hostile :
       {"<script>alert(1)</script>", "\"><img src=x onerror=alert(1)>", "' onfocus='alert(1)",
        "x onmouseover=alert(1) y", "</TITLE><SCRIPT>alert(1)</SCRIPT>", "a&b;&amp;&#60;c", "x--><!--y",
        "\\\\evil.example\\login", "..\\..\\etc\\passwd", "<!--", "<p\x0Cid=x>"}) {
    EXPECT_EQ(Markup(page_of(std::string("/srv/") + hostile)), plain) << hostile;
  }
}

}  // namespace

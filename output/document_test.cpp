// Whole documents pinned byte for byte, and the pieces of the HTML page.
#include <gtest/gtest.h>

#include "output/generate.h"
#include "output/html_document.h"
#include "output/text_document.h"
#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

namespace {

// A listing that exercises every part of both documents.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source.Folders["C:\\Web Root"] = {
        MakeRecord(".", 16, 0, 1),         MakeRecord("..", 16, 0, 2),
        MakeRecord("docs", 16, 0, 3),      MakeRecord("Images", 16 | 2, 0, 4),
        MakeRecord("index.html", 32, 1234567, 5), MakeRecord("a&b <c>.txt", 1 | 32, 1536, 6),
        MakeRecord("big.iso", 32 | 2048, 5368709120ULL, 7), MakeRecord("README", 128, 0, 8),
    };
    source.Types[".txt"] = "Text Document";
    source.Types[".html"] = "HTML <Page>";

    r.DirStr = "C:\\Web Root";
    r.DirMask = "*.*";
    r.FileMask = "*.*";
    r.Title = "$ContentOf $DirPath";
    r.Base = "file://localhost/$DirPath";
    r.OutputFile = "C:\\out\\index.html";
    r.ContentOf = "Content of";
    r.FileSize = "bytes";
    r.Files = "Files";
    r.File = "File";
    r.Folder = "Folder";
    r.Folders = "Folders";
    r.TotalSize = "Total size";
    r.Name = "Name";
    r.Size = "Size";
    r.Type = "Type";
    r.LW = "Last Write";
    r.LR = "Last Read";
    r.CT = "Creation time";
    r.Attr = "Attributes";
    r.CapColor = "LIGHTBLUE";
    r.KeyCapColor = "HONEYDEW";
    r.KeyColColor = "LIGHTBLUE";
    r.DocColor = "#FFFFF0";
    r.TableColor = "WHITE";
    r.HeadCustom = "<META NAME =\"keywords\"  CONTENT =\"$DirPath\">";
    r.Befor = "<!-- $FolderCount folders -->\r\n";
    r.After = "<P>$FileCount files, $TotalSizeInKb KB</P>";
    r.CustTable = "ID = listing";
    r.CaptionStyle = "color:green;\r\n";
    r.TitleStyle = "color:navy;\r\n";
    r.NameStyle = "color:navy;";
    r.MaskStyle = "color:navy;\r\n";
    r.TableStyle = "color:red;\r\n";
    r.SummaryStyle = "Summary\r\ncolor:blue;\r\n";
    r.TableWidth = "100%";
    r.CellSpacing = 2;
    r.CellPadding = 4;
    r.TableBorder = true;
    r.DivideTable = true;
    r.ShowMasks = true;
    r.ShowSummary = true;
    r.DescOrder = true;
    r.IncludeParent = true;
    r.CreateLinks = true;
    r.Columns = {true, true, true, true, true, true, true};
    r.SortBy = kSortBySize;
    r.SizeIn = 0;
  }

  std::string Document() {
    std::string failure;
    EXPECT_TRUE(ComposeListing(r, source, failure)) << failure;
    return Flatten(r.DocText);
  }

  CommonStruct r;
  MemoryFolderSource source;
};

TEST_F(DocumentTest, WholeHtmlPage) {
  ExpectSameAsGolden(Document(), "listing.html");
}

TEST_F(DocumentTest, WholeTextDocument) {
  r.Output = kOutputText;
  r.DescOrder = false;
  r.SortBy = kSortByName;
  ExpectSameAsGolden(Document(), "listing.txt");
}

TEST_F(DocumentTest, OneTableWithoutExtrasSharesTheMaskParagraph) {
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

TEST_F(DocumentTest, BaseAddressForms) {
  r.Base = "";
  EXPECT_EQ(Document().find("<BASE"), std::string::npos);
  r.Base = "http://www.example.com/files/";
  EXPECT_NE(Document().find("<BASE HREF = http://www.example.com/files/>\r\n"), std::string::npos);
  r.Base = "file://localhost/$DirPath";
  ComposeBaseHref(r);
  EXPECT_EQ(r.BaseHref, "file://localhost/C:/Web%20Root/");
  r.DirStr += FolderSeparator();
  ComposeBaseHref(r);
  EXPECT_EQ(r.BaseHref, "file://localhost/C:/Web%20Root/") << "a trailing separator is not doubled";
  r.DirStr = "/srv/web files";
  ComposeBaseHref(r);
  EXPECT_EQ(r.BaseHref, "file://localhost/srv/web%20files/") << "a root path adds no second slash";
}

TEST_F(DocumentTest, TextDocumentWithoutMasksOrSummaryOrFolders) {
  r.Output = kOutputText;
  r.ShowMasks = false;
  r.ShowSummary = false;
  r.DescOrder = false;
  r.SortBy = kSortByName;
  r.DirMask = "none";
  r.Befor.clear();
  r.After = "end";
  r.Title = "T";
  EXPECT_EQ(Document(), "\r\nT\r\n\r\n\r\nREADME\r\na&b <c>.txt\r\nbig.iso\r\nindex.html\r\n\r\nend");
}

}  // namespace

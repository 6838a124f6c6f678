// Whole plain-text listings pinned byte for byte.
#include "output/text_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

class TextDocumentTest : public DocumentFixture {};

TEST_F(TextDocumentTest, WholeDocument) {
  r.Output = kOutputText;
  r.DescOrder = false;
  r.SortBy = kSortByName;
  ExpectSameAsGolden(Document(), "listing.txt");
}

TEST_F(TextDocumentTest, WithoutMasksOrSummaryOrFolders) {
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

TEST_F(TextDocumentTest, TheSummarySizeFollowsTheSizesForPeople) {
  r.Output = kOutputText;
  r.HumanSizes = true;
  const std::string document = Document();
  EXPECT_NE(document.find("\r\n5.0 GB: Total size\r\n"), std::string::npos) << Visible(document);
  r.Output = kOutputHtml;
  EXPECT_NE(Document().find("<TR><TD>5.0 GB</TD>\r\n<TD>Total size.</TD></TR>"), std::string::npos);
}

TEST_F(TextDocumentTest, EveryNameIsOneLineAndNoTerminalCodeGetsThrough) {
  r.Output = kOutputText;
  r.ShowMasks = r.ShowSummary = false;
  r.Befor.clear();
  r.After.clear();
  r.Title = "T";
  r.DirMask = "none";
  const std::vector<std::string> names = HostileNames();
  source.Folders[r.DirStr].clear();
  for (const std::string& name : names) source.Folders[r.DirStr].push_back(MakeRecord(name, 32));
  const std::string document = Document();
  const std::string rows = document.substr(std::string("\r\nT\r\n\r\n\r\n").size());
  size_t lines = 0;
  for (size_t at = rows.find("\r\n"); at != std::string::npos; at = rows.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, names.size() + 1) << "one line per name and the blank line after them";
  for (size_t i = 0; i < rows.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(rows[i]);
    const bool line_end = (c == '\r' && rows[i + 1] == '\n') || (c == '\n' && i > 0 && rows[i - 1] == '\r');
    ASSERT_TRUE(line_end || (c >= 32 && c != 127)) << "control byte " << int(c) << " at " << i;
  }
  EXPECT_NE(rows.find("\r\nnl\\nforged-line.txt\r\n"), std::string::npos);
  EXPECT_NE(rows.find("\r\n\\033]0;owned\\a\r\n"), std::string::npos);
  EXPECT_NE(rows.find("\r\nquote\" back\\slash\r\n"), std::string::npos)
      << "a name without control bytes stays";
}

}  // namespace

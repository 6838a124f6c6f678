// Whole plain-text listings pinned byte for byte.
#include "output/text_document.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace

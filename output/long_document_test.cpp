// The long listing: aligned columns as ls -l prints them.
#include "output/long_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/escapes.h"
#include "output/forms.h"
#include "settings/columns.h"
#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

class LongDocumentTest : public DocumentFixture {
 protected:
  void SetUp() override {
    DocumentFixture::SetUp();
    r.SortBy = kSortByName;
    r.DescOrder = false;
    r.IncludeParent = false;
    r.Columns = ColumnSet();
  }

  std::string Long() {
    std::string failure;
    EXPECT_EQ(ComposeListing(r, PlaceOf(r), source, *FormNamed("long"), run, failure),
              GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }
};

TEST_F(LongDocumentTest, OneLineAnEntryInAlignedColumnsTheNameLast) {
  r.Columns = ColumnsOfLetters("STW");
  EXPECT_EQ(Visible(Long()), Visible("         -  05.03.2006 18:07  Folder          Images/\r\n"
                                     "         -  05.03.2006 17:07  Folder          docs/\r\n"
                                     "         0  05.03.2006 22:07  File            README\r\n"
                                     "      1536  05.03.2006 20:07  Text Document   a&b <c>.txt\r\n"
                                     "5368709120  05.03.2006 21:07  File            big.iso\r\n"
                                     "   1234567  05.03.2006 19:07  HTML <Page>     index.html\r\n"))
      << "sizes to the right, a folder's as \"-\", the type as the system knows it; each column at least "
         "as wide as its usual texts";
}

TEST_F(LongDocumentTest, ColumnsSizesForPeopleAndTheTimeStyleApply) {
  r.Columns = ColumnsOfLetters("STWRAH");
  r.HumanSizes = true;
  r.TimeStyle = "iso";
  r.IncludeParent = true;
  r.DescOrder = true;
  EXPECT_EQ(Visible(Long()),
            Visible("Dir         -  2006-03-05 17:07:09  2006-03-05 17:08:09  Folder          docs/\r\n"
                    "H           -  2006-03-05 18:07:09  2006-03-05 18:08:09  Folder          Images/\r\n"
                    "Dir         -  2006-03-05 16:07:09  2006-03-05 16:08:09  Folder          ../\r\n"
                    "A      1.2 MB  2006-03-05 19:07:09  2006-03-05 19:08:09  HTML <Page>     index.html\r\n"
                    "A C    5.0 GB  2006-03-05 21:07:09  2006-03-05 21:08:09  File            big.iso\r\n"
                    "R A    1.5 KB  2006-03-05 20:07:09  2006-03-05 20:08:09  Text Document   a&b <c>.txt\r\n"
                    "File      0 B  2006-03-05 22:07:09  2006-03-05 22:08:09  File            README\r\n"))
      << "attributes first, as ls -l has the mode; folders first, each list in the order asked";
  r.Columns = ColumnSet();
  r.DescOrder = false;
  EXPECT_EQ(Long(), "../\r\nImages/\r\ndocs/\r\nREADME\r\na&b <c>.txt\r\nbig.iso\r\nindex.html\r\n")
      << "no column but the names";
}

TEST_F(LongDocumentTest, NamesAreEscapedAsTheNamesFormEscapesThem) {
  const std::vector<std::string> names = ListHostileFilesByName();
  r.Columns.Set(ColumnId::kSize);
  const std::string document = Long();
  std::string expected;
  for (const FileInfoX& entry : run.Listing.FileList) {
    const std::string size = std::to_string(EntrySize(entry));
    std::string line = std::string(run.ColumnWidths.at(0) - size.size(), ' ') + size + "  ";
    AppendNameEscaped(line, entry.Find.cFileName);
    expected += line + "\r\n";
  }
  EXPECT_EQ(run.Listing.FileList.size(), names.size());
  EXPECT_EQ(Visible(document), Visible(expected));
  for (char c : document) {
    ASSERT_TRUE(static_cast<unsigned char>(c) >= 32 || c == '\r' || c == '\n') << "a raw control byte";
  }
}

TEST_F(LongDocumentTest, TheFormIsWrittenWhereTheTextListWouldBeAndATreeAsOneDocument) {
  const OutputForm* form = FormNamed("long");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ExtensionsOf, FormCode::kText);
  ASSERT_NE(form->TreeDocument, nullptr);
  EXPECT_TRUE(form->TreeDocument->NamesByPath) << "each line names its entry by its path below the top";
  EXPECT_EQ(FormOf(FormCode::kText).TreeDocument, nullptr) << "the classic text form is left as it was";
}

}  // namespace

// The CSV document: its rows pinned, and the names that try to break it.
#include "output/csv_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/forms.h"
#include "platform/platform.h"
#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

class CsvDocumentTest : public DocumentFixture {
 protected:
  // The documents pinned here have no byte-order mark, which the Windows
  // build writes by default; the mark has its own test.
  void SetUp() override {
    DocumentFixture::SetUp();
    r.CsvBom = "0";
  }
  std::string Document(FormCode form) {
    std::string failure;
    EXPECT_EQ(ComposeListing(r, PlaceOf(r), source, FormOf(form), run, failure), GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }
  std::string Csv() { return Document(FormCode::kCsv); }
};

TEST_F(CsvDocumentTest, TheByteOrderMarkStartsTheDocumentWhereAskedOrThePlatformsDefault) {
  const std::string mark = "\xEF\xBB\xBF";
  const std::string plain = Csv();
  ASSERT_EQ(plain.rfind("name,", 0), 0u);
  r.CsvBom = "1";
  EXPECT_EQ(Csv(), mark + plain) << "the mark, then the same bytes";
  EXPECT_EQ(CsvHeader(run).rfind(mark + "name,", 0), 0u) << "a tree's one document starts with it too";
  r.CsvBom = "";
  EXPECT_EQ(Csv(), CsvByteOrderMarkByDefault() ? mark + plain : plain);
  r.CsvBom = "yes";
  EXPECT_EQ(Csv(), CsvByteOrderMarkByDefault() ? mark + plain : plain) << "a value a file should not hold";
  r.CsvBom = "1";
  for (FormCode form : {FormCode::kJson, FormCode::kNames}) {
    EXPECT_NE(Document(form).rfind(mark, 0), 0u) << FormOf(form).Name << " never has one";
  }
}

TEST_F(CsvDocumentTest, WholeDocument) {
  source.MimeTypes[".txt"] = "text/plain";
  ExpectSameAsGolden(Csv(), "listing.csv");
}

TEST_F(CsvDocumentTest, TheTargetColumnComesLastAndIsEmptyForWhatIsNoLink) {
  AddLinks();
  r.IncludeParent = false;
  const std::string csv = Csv();
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
            "name,name_bytes,kind,size,modified,created,accessed,attributes,type,mime,target")
      << "the columns before it keep their places";
  for (const char* row :
       {"\r\nshared,,link,0,", "\r\nnotes.txt,,link,42,", "\r\ngone.txt,,link,0,", "\r\nself,,link,0,"}) {
    EXPECT_NE(csv.find(row), std::string::npos) << Visible(row);
  }
  EXPECT_NE(csv.find(",Dir,,,../shared files\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",A ,Text Document,,\"docs/notes \"\"1\"\".txt\"\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",/nowhere/gone.txt\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",self\r\n"), std::string::npos);
  EXPECT_NE(csv.find("\r\nREADME,,file,0,"), std::string::npos);
  EXPECT_NE(csv.find(",File,,,\r\n"), std::string::npos) << "README: no type, no MIME type, no target";
}

TEST_F(CsvDocumentTest, HostileNamesAreQuotedGuardedAndKeptOnDiskAsComposed) {
  ListHostileFilesByName();
  const std::string csv = Csv();
  const std::string fields = ",,file,0,2006-03-05T14:07:09Z,2006-03-04T14:07:09Z,2006-03-05T14:08:09Z,A ,";
  for (const char* row : {"\"'=cmd|' /C calc'!A0\"", "\"'+1+1\"", "\"'-rf\"", "\"'-2+3\"", "\"'@SUM(A1)\"",
                          "\"'\tTab first\"", "\"'' onfocus='alert(1)\"", "\"nl\nforged-line.txt\"",
                          "\"cr\rreturn\"", "\"quote\"\" back\\slash\"", "\"x\n..\"", "<!--"}) {
    EXPECT_NE(csv.find("\r\n" + std::string(row) + fields), std::string::npos) << Visible(row);
  }
  if (PageCharset() == "utf-8") {
    EXPECT_NE(csv.find("\r\nbad\xEF\xBF\xBD\xEF\xBF\xBDutf8,bad%FF%FEutf8,file,"), std::string::npos);
  }
  ScopedTempFolder folder;
  std::string failure;
  const FileWriteOutcome written = WriteListingFile(run, folder.Join("listing.csv"));
  ASSERT_TRUE(written.Written) << written.Reason;
  EXPECT_EQ(Visible(ReadFileBytes(folder.Join("listing.csv"))), Visible(csv))
      << "CR LF rows on every platform, and a name's own line feed stays one";
}

}  // namespace

// The names form: one line per name and nothing else, or NUL-ended names.
#include "output/names_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/escapes.h"
#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

class NamesDocumentTest : public DocumentFixture {
 protected:
  std::string Names(bool null_ends = false) {
    std::string failure;
    EXPECT_EQ(ComposeListing(r, PlaceOf(r), source, FormOf(FormCode::kNames), run, failure),
              GenerateStatus::kWritten)
        << failure;
    run.NullEnds = null_ends;
    return FlattenRun(run);
  }
};

TEST_F(NamesDocumentTest, FoldersFirstAsSortedAndNothingElse) {
  EXPECT_EQ(Names(), "docs\r\nImages\r\n..\r\nbig.iso\r\nindex.html\r\na&b <c>.txt\r\nREADME\r\n")
      << "sorted by size, descending, with the parent as asked";
  r.DescOrder = false;
  r.SortBy = kSortByName;
  r.IncludeParent = false;
  EXPECT_EQ(Names(), "Images\r\ndocs\r\nREADME\r\na&b <c>.txt\r\nbig.iso\r\nindex.html\r\n");
  const char nul_ended[] = "Images\0docs\0README\0a&b <c>.txt\0big.iso\0index.html";
  EXPECT_EQ(Names(true), std::string(nul_ended, sizeof nul_ended));
  r.DirMask = r.FileMask = "none";
  EXPECT_EQ(Names(), "");
}

TEST_F(NamesDocumentTest, EachHostileNameIsOneEscapedLineOrExactlyItselfBeforeANul) {
  const std::vector<std::string> names = ListHostileFilesByName();
  const std::string document = Names();
  std::string lines;
  std::string nul_ended;
  for (const FileInfoX& entry : run.Listing.FileList) {
    lines += ControlEscaped(entry.Find.cFileName) + "\r\n";
    nul_ended += entry.Find.cFileName + '\0';
  }
  EXPECT_EQ(run.Listing.FileList.size(), names.size());
  EXPECT_EQ(document, lines);
  EXPECT_EQ(Names(true), nul_ended);
  ScopedTempFolder folder;
  std::string failure;
  const FileWriteOutcome written = WriteListingFile(run, folder.Join("names"));
  ASSERT_TRUE(written.Written) << written.Reason;
  EXPECT_EQ(ReadFileBytes(folder.Join("names")), nul_ended)
      << "a NUL-ended name's own line ends stay as they are";
  run.NullEnds = false;
  const FileWriteOutcome written_2 = WriteListingFile(run, folder.Join("lines"));
  ASSERT_TRUE(written_2.Written) << written_2.Reason;
  EXPECT_EQ(Visible(ReadFileBytes(folder.Join("lines"))), Visible(PlatformLines(lines)));
}

}  // namespace

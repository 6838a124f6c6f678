// The names form: one line per name and nothing else, or NUL-ended names.
#include "output/names_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/escapes.h"
#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

// A test oracle: the name that a line of the names form stands for, read
// as a shell's $'...' reads its escapes; false for a line that holds a raw
// control byte or an escape the form does not write.
bool ReadEscapedLine(const std::string& line, std::string& name) {
  static const std::string kLetters = "abtnvfr", kBytes = "\a\b\t\n\v\f\r";
  name.clear();
  for (size_t i = 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 32 || c == 127) return false;
    if (c != '\\') {
      name += line[i];
      continue;
    }
    if (++i == line.size()) return false;
    const size_t letter = kLetters.find(line[i]);
    if (line[i] == '\\') {
      name += '\\';
    } else if (letter != std::string::npos) {
      name += kBytes[letter];
    } else if (i + 2 < line.size() && line[i] >= '0' && line[i] <= '3') {
      name += static_cast<char>((line[i] - '0') * 64 + (line[i + 1] - '0') * 8 + (line[i + 2] - '0'));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

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
  const std::string lines = Names();
  std::string nul_ended;
  size_t line_start = 0;
  for (const FileInfoX& entry : run.Listing.FileList) {
    const size_t line_end = lines.find("\r\n", line_start);
    ASSERT_NE(line_end, std::string::npos);
    const std::string line = lines.substr(line_start, line_end - line_start);
    line_start = line_end + 2;
    std::string read;
    // Where "\\" separates folders no name holds one, and it stands as it is.
    const bool possible = FolderSeparator() != '\\' || entry.Find.cFileName.find('\\') == std::string::npos;
    EXPECT_TRUE(!possible || (ReadEscapedLine(line, read) && read == entry.Find.cFileName))
        << Visible(line) << " stands for " << Visible(entry.Find.cFileName);
    nul_ended += entry.Find.cFileName + '\0';
  }
  EXPECT_EQ(line_start, lines.size());
  EXPECT_EQ(run.Listing.FileList.size(), names.size());
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

TEST_F(NamesDocumentTest, ABackslashAndAnEscapedLineBreakReadApart) {
  if (FolderSeparator() == '\\') GTEST_SKIP() << "a Windows name holds no backslash";
  source.Folders[r.DirStr] = {MakeRecord("a\\nb", 32), MakeRecord("a\nb", 32)};
  r.SortBy = kSortByName;
  r.DescOrder = false;
  r.IncludeParent = false;
  EXPECT_EQ(Names(), "a\\nb\r\na\\\\nb\r\n") << "the line break first, as sorted";
}

}  // namespace

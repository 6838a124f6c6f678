// The JSON document: its shape pinned, its commas and nulls, every name.
#include "output/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/entry_fields.h"
#include "output/escapes.h"
#include "tests/document_fixture.h"
#include "tests/test_support.h"

namespace {

class JsonDocumentTest : public DocumentFixture {
 protected:
  std::string Json() {
    std::string failure;
    EXPECT_EQ(ComposeListing(r, PlaceOf(r), source, FormOf(FormCode::kJson), run, failure),
              GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }
  // The lines of the entries, between "[" and "]".
  std::vector<std::string> EntryLines() {
    const std::string json = Json();
    const size_t open = json.find("\"entries\": [\n");
    const size_t close = json.rfind("\n  ]\n}\n");
    EXPECT_NE(open, std::string::npos);
    EXPECT_EQ(close + 7, json.size()) << "the document ends with the array and the object";
    std::vector<std::string> lines;
    size_t from = open + 13;
    while (from < close) {
      const size_t end = json.find('\n', from);
      lines.push_back(json.substr(from, std::min(end, close) - from));
      from = std::min(end, close) + 1;
    }
    return lines;
  }
};

TEST_F(JsonDocumentTest, WholeDocument) {
  source.MimeTypes[".txt"] = "text/plain";
  ExpectSameAsGolden(Json(), "listing.json");
}

TEST_F(JsonDocumentTest, EveryEntryButTheLastEndsInACommaInEitherDirection) {
  for (bool descending : {true, false}) {
    for (const char* folder_mask : {"*.*", "none"}) {
      r.DescOrder = descending;
      r.DirMask = folder_mask;
      const std::vector<std::string> lines = EntryLines();
      ASSERT_EQ(lines.size(), std::string(folder_mask) == "none" ? 4u : 7u);
      for (size_t i = 0; i < lines.size(); ++i) {
        const bool last = i + 1 == lines.size();
        EXPECT_EQ(lines[i].substr(0, 5), "    {") << lines[i];
        EXPECT_EQ(lines[i].back(), last ? '}' : ',') << descending << folder_mask << ": " << lines[i];
      }
    }
  }
  r.DirMask = r.FileMask = "none";
  EXPECT_NE(Json().find("\"entries\": [\n  ]\n}\n"), std::string::npos) << "an empty listing";
}

TEST_F(JsonDocumentTest, EveryColumnIsThereWhateverColumnsSayAndUnknownValuesAreNull) {
  r.Columns = ColumnSet();
  r.IncludeParent = false;
  r.DirMask = "none";
  source.Folders[r.DirStr] = {MakeRecord("x.txt", 32, 7), MakeRecord("future.bin", 32, 1)};
  source.Folders[r.DirStr][1].ftLastWriteTime = 0x8000000000000000ULL;
  source.MimeTypes[".txt"] = "text/plain";
  const std::vector<std::string> lines = EntryLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(
      lines[0],
      "    {\"name\": \"x.txt\", \"kind\": \"file\", \"size\": 7, \"modified\": \"2006-03-05T14:07:09Z\", "
      "\"created\": \"2006-03-04T14:07:09Z\", \"accessed\": \"2006-03-05T14:08:09Z\", \"attributes\": "
      "\"A \", \"type\": \"Text Document\", \"mime\": \"text/plain\"},");
  EXPECT_NE(lines[1].find("\"size\": 1, \"modified\": null, \"created\": \"2006-03-04T14:07:09Z\""),
            std::string::npos)
      << "a time past 2^63 is null: " << lines[1];
  EXPECT_NE(lines[1].find("\"type\": null, \"mime\": null}"), std::string::npos)
      << "no registered type, never the page's fallback words: " << lines[1];
}

// The line of the entry of that name.
std::string LineNamed(const std::vector<std::string>& lines, const std::string& name) {
  for (const std::string& line : lines) {
    if (line.compare(0, 15 + name.size(), "    {\"name\": \"" + name + "\"") == 0) return line;
  }
  return "(no line for " + name + ")";
}

TEST_F(JsonDocumentTest, LinksAreOfTheirOwnKindAndTellTheirTargetsAsTheyHoldThem) {
  AddLinks();
  source.Folders[r.DirStr].push_back(MakeRecord("opaque.txt", 32 | 1024, 3, 12));
  r.IncludeParent = false;
  const std::vector<std::string> lines = EntryLines();
  ASSERT_EQ(lines.size(), 11u);
  const std::string shared = LineNamed(lines, "shared");
  EXPECT_NE(shared.find("\"kind\": \"link\", \"size\": 0, "), std::string::npos) << shared;
  EXPECT_NE(shared.find(", \"type\": null, \"mime\": null, \"target\": \"../shared files\"}"),
            std::string::npos)
      << "a link to a folder, among the folders: " << shared;
  const std::string notes = LineNamed(lines, "notes.txt");
  EXPECT_NE(notes.find("\"kind\": \"link\", \"size\": 42, "), std::string::npos) << "the target's size";
  EXPECT_NE(
      notes.find("\"type\": \"Text Document\", \"mime\": null, \"target\": \"docs/notes \\\"1\\\".txt\"}"),
      std::string::npos)
      << notes;
  EXPECT_NE(LineNamed(lines, "gone.txt").find("\"kind\": \"link\", \"size\": 0, "), std::string::npos);
  EXPECT_NE(LineNamed(lines, "gone.txt").find("\"target\": \"/nowhere/gone.txt\"}"), std::string::npos);
  EXPECT_NE(LineNamed(lines, "self").find("\"target\": \"self\"}"), std::string::npos) << "a loop too";
  EXPECT_NE(LineNamed(lines, "opaque.txt").find("\"kind\": \"link\", "), std::string::npos);
  EXPECT_NE(LineNamed(lines, "opaque.txt").find("\"mime\": null, \"target\": null}"), std::string::npos)
      << "a link whose target the system does not tell";
  for (const char* other : {"docs", "Images", "index.html", "README"}) {
    const std::string line = LineNamed(lines, other);
    EXPECT_EQ(line.find("\"target\""), std::string::npos) << "what is no link has no target: " << line;
    EXPECT_EQ(line.find("\"kind\": \"link\""), std::string::npos) << line;
  }
  EXPECT_EQ(source.LinkLookups, 5) << "one look for each link, none for anything else";
}

TEST_F(JsonDocumentTest, EveryHostileNameIsOneEscapedLineAndAnInexactOneKeepsItsBytes) {
  const std::vector<std::string> names = ListHostileFilesByName();
  const std::vector<std::string> lines = EntryLines();
  ASSERT_EQ(lines.size(), names.size()) << "one line per name";
  size_t inexact = 0;
  for (const std::string& line : lines) {
    for (size_t i = 0; i < line.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      ASSERT_TRUE(c >= 32 && c != 127) << "control byte " << int(c) << " in " << Visible(line);
    }
    EXPECT_FALSE(line.find("\xE2\x80\xA8") != std::string::npos) << "U+2028 ends a line in a script";
    inexact += line.find("\"name_bytes\": ") != std::string::npos;
  }
  // Where names are UTF-8, three names of the list are not; on Windows the
  // ANSI code page converts them.
  const std::string json = Json();
  if (PageCharset() == "utf-8") {
    EXPECT_EQ(inexact, 3u);
    EXPECT_NE(json.find("{\"name\": \"bad\xEF\xBF\xBD\xEF\xBF\xBDutf8\", \"name_bytes\": \"bad%FF%FEutf8\", "
                        "\"kind\": \"file\""),
              std::string::npos);
    EXPECT_NE(json.find("{\"name\": \"line\\u2028separator\", \"kind\""), std::string::npos);
  }
  EXPECT_NE(json.find("{\"name\": \"nl\\nforged-line.txt\", \"kind\""), std::string::npos);
  EXPECT_NE(json.find("{\"name\": \"\\u001B]0;owned\\u0007\", \"kind\""), std::string::npos);
  EXPECT_NE(json.find("{\"name\": \"quote\\\" back\\\\slash\", \"kind\""), std::string::npos);
}

TEST_F(JsonDocumentTest, TheFileHoldsTheDocumentAsComposedWithLfOnEveryPlatform) {
  const std::string json = Json();
  ScopedTempFolder folder;
  std::string failure;
  const FileWriteOutcome written = WriteListingFile(run, folder.Join("listing.json"));
  ASSERT_TRUE(written.Written) << written.Reason;
  const std::string bytes = ReadFileBytes(folder.Join("listing.json"));
  EXPECT_EQ(bytes, json);
  EXPECT_EQ(bytes.find('\r'), std::string::npos);
}

TEST(FolderOwnName, TheLastPartOfThePathWithoutAClosingSeparator) {
  EXPECT_EQ(FolderOwnName("/srv/www"), "www");
  EXPECT_EQ(FolderOwnName("/srv/www/"), "www");
  EXPECT_EQ(FolderOwnName("photos"), "photos");
  EXPECT_EQ(FolderOwnName("/"), "") << "a root has no name of its own";
  EXPECT_EQ(FolderOwnName(""), "");
  if (FolderSeparator() == '\\') {
    EXPECT_EQ(FolderOwnName("C:\\Data\\Web"), "Web");
    EXPECT_EQ(FolderOwnName("C:\\"), "");
  }
}

}  // namespace

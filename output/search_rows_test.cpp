// The search file's text: its mark, and each folder's line, whose names and
// links no name can break out of.
#include "output/search_rows.h"

#include <gtest/gtest.h>

#include <string>

#include "listing/entry.h"
#include "platform/platform.h"

namespace {

FileInfoX Entry(const std::string& name, uint32_t attributes) {
  FileInfoX entry;
  entry.Find.cFileName = name;
  entry.Find.dwFileAttributes = attributes;
  return entry;
}

// The lines as LF-ended, whatever the platform's line end.
std::string Lines(std::string text) {
  const std::string end(PlatformLineEnd());
  for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, at + 1))
    text.replace(at, end.size(), "\n");
  return text;
}

struct Folder {
  TreePage Page;
  ListingRun Run;

  explicit Folder(std::vector<std::string> path) {
    Page.IndexName = "index.html";
    Page.Path = std::move(path);
    Run.Tree = &Page;
  }

  std::string Line() {
    std::string line;
    AppendSearchFolder(line, Run);
    return Lines(line);
  }
};

TEST(SearchRows, EachEntryHasItsNameItsLinkAsThePageLinksItAndItsKind) {
  Folder folder({"photos", "2024", "june"});
  folder.Run.Listing.FolderList = {Entry("..", 16), Entry("with page", 16), Entry("no page", 16),
                                   Entry("elsewhere", 16 | 1024)};
  folder.Run.Listing.FileList = {Entry("a b.jpg", 32), Entry("c:x", 32)};
  folder.Page.FoldersWithPages = {"with page"};
  folder.Page.FolderLinks["elsewhere"] = "../../other/";
  EXPECT_EQ(folder.Line(),
            "[\"photos/2024/june\", \"2024/june/\", [[\"with page\", \"with%20page/\", 1], "
            "[\"no page\", null, 1], [\"elsewhere\", \"../../other/\", 1], [\"a b.jpg\", \"a%20b.jpg\", 0], "
            "[\"c:x\", \"./c:x\", 0]]],\n")
      << "the parent entry is none of the tree's names; a name with a colon is no scheme";

  folder.Page.LinkIndex = true;
  folder.Run.Listing.FolderList = {Entry("with page", 16)};
  folder.Run.Listing.FileList.clear();
  EXPECT_EQ(folder.Line(),
            "[\"photos/2024/june\", \"2024/june/\", [[\"with page\", \"with%20page/index.html\", 1]]],\n");

  Folder top({"top"});
  EXPECT_EQ(top.Line(), "[\"top\", \"\", []],\n") << "the top's link is the top of the pages";
}

TEST(SearchRows, NoNameEndsItsStringOrTheScript) {
  Folder folder({"t\"op", "</script>", "a\nb"});
  folder.Run.Listing.FileList = {Entry("\"]]]; alert(1); //", 32), Entry("x\"<!--", 32)};
  const std::string line = folder.Line();
  EXPECT_EQ(line,
            "[\"t\\u0022op/\\u003C/script\\u003E/a\\u240Ab\", \"%3C/script%3E/a%0Ab/\", "
            "[[\"\\u0022]]]; alert(1); //\", \"%22]]];%20alert(1);%20//\", 0], "
            "[\"x\\u0022\\u003C!--\", \"x%22%3C!--\", 0]]],\n");
  EXPECT_EQ(line.find_first_of("<>'\r"), std::string::npos);
}

TEST(SearchRows, NamesThatAreNotUtf8ShowAsThePageShowsThemAndLinkByTheirBytes) {
  if (PageCharset() != "utf-8") GTEST_SKIP() << "names are in the ANSI code page here";
  Folder folder({"top"});
  folder.Run.Listing.FileList = {Entry("caf\xC3\xA9 \xFF\xFE.txt", 32), Entry("line\xE2\x80\xA8sep", 32)};
  EXPECT_EQ(folder.Line(),
            "[\"top\", \"\", [[\"caf\\u00E9 \\uFFFD\\uFFFD.txt\", \"caf%C3%A9%20%FF%FE.txt\", 0], "
            "[\"line\\u2028sep\", \"line%E2%80%A8sep\", 0]]],\n");
}

TEST(SearchRows, TheFileStartsWithItsMarkAndSaysHowLinksEnd) {
  TreePage top;
  top.IndexName = "index.html";
  top.Path = {"top"};
  EXPECT_EQ(
      Lines(SearchFileHead(top, "")),
      "// generator: Kestrova\nvar kestrovaSearch = {\"index\": \"\", \"files\": \"\", \"folders\": [\n");
  top.LinkIndex = true;
  EXPECT_EQ(Lines(SearchFileHead(top, "../src/")),
            "// generator: Kestrova\n"
            "var kestrovaSearch = {\"index\": \"index.html\", \"files\": \"../src/\", \"folders\": [\n");
  EXPECT_EQ(Lines(SearchFileTail()), "]};\n");

  EXPECT_TRUE(IsOwnSearchFile(SearchFileHead(top, "")));
  EXPECT_TRUE(IsOwnSearchFile("// generator: Kestrova\r\nanything"));
  for (const char* other :
       {"", "// generator: Kestrova", "// generator: KestrovaTheme\n", " // generator: Kestrova\n",
        "var x; // generator: Kestrova\n", "/* generator: Kestrova */\n"}) {
    EXPECT_FALSE(IsOwnSearchFile(other)) << other;
  }
}

}  // namespace

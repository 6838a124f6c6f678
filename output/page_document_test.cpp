// The standards page: its pieces, its rows, names that try to add markup,
// and the promise that no path the user did not give reaches the page.
#include "output/page_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "output/forms.h"
#include "output/tree_page.h"
#include "settings/columns.h"
#include "tests/document_fixture.h"
#include "tests/html_markup.h"
#include "tests/test_support.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

// The text between the first start and the end after it, both left out.
std::string Between(const std::string& text, const std::string& start, const std::string& end) {
  const size_t from = text.find(start);
  if (from == std::string::npos) return "(no " + start + ")";
  const size_t to = text.find(end, from + start.size());
  if (to == std::string::npos) return "(no " + end + ")";
  return text.substr(from + start.size(), to - from - start.size());
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A link target as the bytes it names: "%xx" decoded, nothing else changed.
std::string PercentDecoded(const std::string& link) {
  std::string bytes;
  for (size_t i = 0; i < link.size(); ++i) {
    if (link[i] == '%' && i + 2 < link.size() && HexValue(link[i + 1]) >= 0 && HexValue(link[i + 2]) >= 0) {
      bytes += static_cast<char>(HexValue(link[i + 1]) * 16 + HexValue(link[i + 2]));
      i += 2;
    } else {
      bytes += link[i];
    }
  }
  return bytes;
}

// Every href="..." of the page, as written.
std::vector<std::string> Links(const std::string& page) {
  std::vector<std::string> links;
  const std::string start = "href=\"";
  for (size_t at = page.find(start); at != std::string::npos; at = page.find(start, at)) {
    at += start.size();
    links.push_back(page.substr(at, page.find('"', at) - at));
  }
  return links;
}

class PageDocumentTest : public DocumentFixture {
 protected:
  // The page of the fixture's folder, shown as the user gave it.
  std::string Page(const std::string& shown = "Web & Root") {
    std::string failure;
    ListingPlace place = PlaceOf(r);
    place.FolderShown = shown;
    EXPECT_EQ(ComposeListing(r, place, source, FormOf(FormCode::kPage), run, failure),
              GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }

  // The page of the fixture's folder as a page of a tree, levels deep.
  std::string TreePageOf(size_t levels) {
    tree.IndexName = "index.html";
    tree.Path = {"top"};
    for (size_t level = 1; level < levels; ++level) tree.Path.push_back("l" + std::to_string(level));
    std::string failure;
    ListingPlace place = PlaceOf(r);
    place.Tree = &tree;
    EXPECT_EQ(ComposeListing(r, place, source, FormOf(FormCode::kPage), run, failure),
              GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }

  TreePage tree;

  // The page of one folder holding files and folders of these names.
  std::string PageOfNames(const std::vector<std::string>& names, const std::string& shown) {
    source.Folders[r.DirStr].clear();
    uint64_t seed = 0;
    for (const std::string& name : names) {
      source.Folders[r.DirStr].push_back(MakeRecord(name, 32, 100, ++seed));
      source.Folders[r.DirStr].push_back(MakeRecord(name, kFolderBits, 0, ++seed));
    }
    return Page(shown);
  }
};

TEST_F(PageDocumentTest, TheFormTableWritesThePageWhereTheClassicPageWouldGo) {
  const OutputForm* page = FormNamed("page");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Code, FormCode::kPage);
  EXPECT_EQ(page->ExtensionsOf, FormCode::kHtml);
  EXPECT_EQ(FormForFileName("index.html").Code, FormCode::kHtml)
      << "an extension still gives the classic page";
  EXPECT_EQ(FormOf(FormCode::kHtml).NamedFolder, &ListingRun::Folder) << "the classic page keeps its bytes";
  EXPECT_EQ(page->NamedFolder, &ListingRun::FolderShown);
}

TEST_F(PageDocumentTest, OpensAsAStandardsDocument) {
  const std::string page = Page();
  const std::string charset = PageCharset();
  const std::string start = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n" +
                            (charset.empty() ? "" : "<meta charset=\"" + charset + "\">\n") +
                            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                            "<meta name=\"generator\" content=\"Kestrova\">\n"
                            "<title>Content of Web &amp; Root</title>\n<style>";
  EXPECT_EQ(page.substr(0, start.size()), start);
  EXPECT_EQ(page.substr(page.size() - 26), "</script>\n</body>\n</html>\n");
  EXPECT_NE(page.find("<h1>Content of Web &amp; Root</h1>"), std::string::npos);
  EXPECT_NE(
      page.find("<table>\n<caption>Content of Web &amp; Root</caption>\n<thead>\n<tr><th scope=\"col\""),
      std::string::npos);
  EXPECT_EQ(Count(page, "<script"), 1u) << "one script, none from the settings here";
  EXPECT_EQ(Count(page, "<style"), 1u);
  for (const std::string& tag : Markup(page)) {
    EXPECT_EQ(tag.find(" ON"), std::string::npos) << "no inline event handler: " << tag;
    EXPECT_EQ(tag.find(" STYLE"), std::string::npos) << "no style attribute: " << tag;
  }
}

TEST_F(PageDocumentTest, LanguageAndStylesheetSettings) {
  r.PageLang = "de-CH";
  r.PageStyle = "../site.css?v=1&x=\"2\"";
  std::string page = Page();
  EXPECT_NE(page.find("<html lang=\"de-CH\">"), std::string::npos);
  const std::string link =
      "</style>\n<link rel=\"stylesheet\" href=\"../site.css?v=1&amp;x=&quot;2&quot;\">\n";
  EXPECT_NE(page.find(link), std::string::npos) << "after the page's own rules, so that it overrides them";
  r.PageLang = "en\" onload=\"alert(1)";
  page = Page();
  EXPECT_NE(page.find("<html lang=\"en&quot; onload=&quot;alert(1)\">"), std::string::npos);
}

TEST_F(PageDocumentTest, ShowsTheFolderAsGivenAndNoPathThatWasNotGiven) {
  // Every classic way a page names the listed folder: the base address, the
  // keywords line of the built-in head, links to full names.
  r.FullNames = true;
  r.Befor = "<!-- $DirPath -->";
  r.After = "<p title=\"$DirPath\">$DirPath</p>";
  const std::string page = Page("Web & Root");
  EXPECT_EQ(page.find("/srv"), std::string::npos);
  EXPECT_EQ(page.find("file:"), std::string::npos);
  EXPECT_EQ(page.find("<base"), std::string::npos);
  EXPECT_EQ(page.find("keywords"), std::string::npos);
  EXPECT_NE(page.find("<body>\n<!-- Web &amp; Root -->\n<header>"), std::string::npos)
      << "Befor opens the body, with $DirPath as shown";
  EXPECT_NE(page.find("</footer>\n<p title=\"Web &amp; Root\">Web &amp; Root</p>\n<script>"),
            std::string::npos);
  for (std::string link : Links(page)) {
    if (link == "../") continue;
    if (link.back() == '/') link.pop_back();
    EXPECT_EQ(link.find('/'), std::string::npos)
        << "each link names an entry of the page's own folder: " << link;
  }
}

TEST_F(PageDocumentTest, WhereNobodyGaveAFolderTheListedOneIsShown) {
  EXPECT_NE(Page("").find("<h1>Content of /srv/Web &amp; Root</h1>"), std::string::npos);
}

TEST_F(PageDocumentTest, TheTitleIsTextAndABlankOneNamesTheFolder) {
  r.Title = "Tom & <b>Jerry</b> in $DirPath";
  std::string page = Page("a&b");
  EXPECT_NE(page.find("<title>Tom &amp; &lt;b&gt;Jerry&lt;/b&gt; in a&amp;b</title>"), std::string::npos)
      << "escaped once, the folder with the rest";
  r.Title = " \t";
  page = Page("photos");
  EXPECT_NE(page.find("<title>photos</title>"), std::string::npos);
  EXPECT_NE(page.find("<h1>photos</h1>"), std::string::npos);
}

// The links of the page's way from the top, each with the level it leads to
// (the page's own is the last) and the text it shows.
std::vector<std::pair<size_t, std::string>> Crumbs(const std::string& page, size_t levels) {
  std::vector<std::pair<size_t, std::string>> crumbs;
  const std::string nav = Between(page, "<nav aria-label=\"Folders\"><ol>", "</ol></nav>");
  for (size_t at = nav.find("<a href=\""); at != std::string::npos; at = nav.find("<a href=\"", at + 1)) {
    const std::string href = Between(nav.substr(at), "<a href=\"", "\"");
    const std::string shown = Between(nav.substr(at), ">", "</a>");
    size_t up = 0;
    while (href.compare(3 * up, 3, "../") == 0) ++up;
    EXPECT_EQ(href.size(), 3 * up) << "nothing but the way up: " << href.substr(0, 40);
    crumbs.emplace_back(levels - 1 - up, shown);
  }
  return crumbs;
}

TEST_F(PageDocumentTest, ATreesPageNamesItsWayFromTheTopEachFolderAboveALink) {
  const std::string page = TreePageOf(4);
  EXPECT_NE(page.find("<h1>Content of top / l1 / l2 / l3</h1>"), std::string::npos);
  EXPECT_NE(page.find("<title>Content of top / l1 / l2 / l3</title>"), std::string::npos);
  const std::vector<std::pair<size_t, std::string>> expected = {{0, "top"}, {1, "l1"}, {2, "l2"}};
  EXPECT_EQ(Crumbs(page, 4), expected);
  EXPECT_NE(page.find("<li aria-current=\"page\">l3</li></ol></nav>"), std::string::npos);
  EXPECT_EQ(TreePageOf(1).find("<nav"), std::string::npos) << "the top has no way to show";
  EXPECT_NE(TreePageOf(1).find("<h1>Content of top</h1>"), std::string::npos);
}

TEST_F(PageDocumentTest, APageThousandsOfLevelsDeepStaysAsSmallAsOneNearTheTop) {
  const size_t small = TreePageOf(kMostLevelsNamed).size();
  const std::string deep = TreePageOf(3000);
  // One way up to the top, three bytes a level, and names of the last few.
  EXPECT_LT(deep.size(), small + 3 * 3000 + 200) << "linear in depth";
  const std::string left_out = LevelsLeftOutText();
  const std::string last = "l2994 / l2995 / l2996 / l2997 / l2998 / l2999";
  EXPECT_NE(deep.find("<h1>Content of top / " + left_out + " / " + last + "</h1>"), std::string::npos);
  const std::vector<std::pair<size_t, std::string>> expected = {
      {0, "top"},      {2993, left_out}, {2994, "l2994"}, {2995, "l2995"},
      {2996, "l2996"}, {2997, "l2997"},  {2998, "l2998"}};
  EXPECT_EQ(Crumbs(deep, 3000), expected)
      << "each crumb leads to its level, the left-out ones' to the nearest";
  EXPECT_EQ(Crumbs(TreePageOf(kMostLevelsNamed), kMostLevelsNamed).size(), kMostLevelsNamed - 1)
      << "none left out up to the most named";
}

TEST_F(PageDocumentTest, CaptionsInTableOrderWithTheSortedColumnMarked) {
  r.Size = "Size <B>";
  EXPECT_EQ(Between(Page(), "<thead>\n", "</thead>"),
            "<tr><th scope=\"col\" data-sort=\"name\">Name</th>"
            "<th scope=\"col\" data-sort=\"text\">Type</th>"
            "<th scope=\"col\" data-sort=\"size\" aria-sort=\"descending\">Size &lt;B&gt;</th>"
            "<th scope=\"col\" data-sort=\"time\">Last Write</th>"
            "<th scope=\"col\" data-sort=\"time\">Creation time</th>"
            "<th scope=\"col\" data-sort=\"time\">Last Read</th>"
            "<th scope=\"col\" data-sort=\"text\">Attributes</th></tr>\n");
  r.Columns = ColumnSet();
  r.Columns.Set(ColumnId::kLastRead);
  r.SortBy = kSortByName;
  r.DescOrder = false;
  EXPECT_EQ(Between(Page(), "<thead>\n", "</thead>"),
            "<tr><th scope=\"col\" data-sort=\"name\" aria-sort=\"ascending\">Name</th>"
            "<th scope=\"col\" data-sort=\"time\">Last Read</th></tr>\n");
  r.SortBy = kSortBySize;
  EXPECT_EQ(Count(Between(Page(), "<thead>", "</thead>"), "aria-sort"), 0u)
      << "a sort column that is not shown marks none";
}

TEST_F(PageDocumentTest, RowsOfEveryKindFoldersFirstTheParentAbove) {
  const std::string page = Page();
  EXPECT_EQ(
      Between(page, "<tbody class=\"parent\">\n", "</tbody>"),
      "<tr><td><a href=\"../\">..</a></td><td>Folder</td><td></td>"
      "<td><time datetime=\"2006-03-05T16:07:09Z\">2006-03-05 16:07:09 UTC</time></td>"
      "<td><time datetime=\"2006-03-04T16:07:09Z\">2006-03-04 16:07:09 UTC</time></td>"
      "<td><time datetime=\"2006-03-05T16:08:09Z\">2006-03-05 16:08:09 UTC</time></td><td>Dir</td></tr>\n")
      << "the parent stays first although the order is descending";
  const std::string folders = Between(page, "<tbody class=\"folders\">\n", "</tbody>");
  EXPECT_EQ(Count(folders, "<tr>"), 2u);
  EXPECT_EQ(folders.find(".."), std::string::npos) << "the parent has one row only";
  EXPECT_NE(folders.find("<tr><td><a href=\"Images/\">Images</a></td><td>Folder</td><td></td>"),
            std::string::npos);
  const std::string files = Between(page, "<tbody class=\"files\">\n", "</tbody>");
  EXPECT_LT(page.find("<tbody class=\"folders\">"), page.find("<tbody class=\"files\">"));
  EXPECT_EQ(
      files.substr(0, files.find("</tr>") + 6),
      "<tr><td><a href=\"big.iso\">big.iso</a></td><td>File</td>"
      "<td data-bytes=\"5368709120\" title=\"5,368,709,120 bytes\">5.0 GB</td>"
      "<td><time datetime=\"2006-03-05T21:07:09Z\">2006-03-05 21:07:09 UTC</time></td>"
      "<td><time datetime=\"2006-03-04T21:07:09Z\">2006-03-04 21:07:09 UTC</time></td>"
      "<td><time datetime=\"2006-03-05T21:08:09Z\">2006-03-05 21:08:09 UTC</time></td><td>A C </td></tr>\n");
  EXPECT_NE(files.find(
                "<td>HTML &lt;Page&gt;</td><td data-bytes=\"1234567\" title=\"1,234,567 bytes\">1.2 MB</td>"),
            std::string::npos);
  EXPECT_NE(files.find("<td>File</td><td data-bytes=\"0\" title=\"0 bytes\">0 B</td>"), std::string::npos);
  EXPECT_LT(files.find("big.iso"), files.find("index.html")) << "greatest first, as DescOrder asks";
  EXPECT_LT(files.find("index.html"), files.find("README"));

  r.DescOrder = false;
  r.Columns.Set(ColumnId::kSeconds, false);
  const std::string ascending = Between(Page(), "<tbody class=\"files\">\n", "</tbody>");
  EXPECT_LT(ascending.find("README"), ascending.find("big.iso"));
  EXPECT_NE(ascending.find("<time datetime=\"2006-03-05T21:07:09Z\">2006-03-05 21:07 UTC</time>"),
            std::string::npos)
      << "minutes without the seconds flag; the machine's time keeps them";
}

TEST_F(PageDocumentTest, WordsOfTheSettingsAreText) {
  r.Folder = "<i>Dir</i>";
  r.File = "F&";
  r.FileSize = "o<ctets";
  const std::string page = Page();
  EXPECT_NE(page.find("<td>&lt;i&gt;Dir&lt;/i&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find("<td>F&amp;</td>"), std::string::npos);
  EXPECT_NE(page.find("title=\"1,536 o&lt;ctets\""), std::string::npos);
}

TEST_F(PageDocumentTest, SymbolicLinksAreTypedAsLinksWithTheirTargetsSizes) {
  AddLinks();
  r.SortBy = kSortByName;
  r.DescOrder = false;
  r.Columns = ColumnSet();
  r.Columns = ColumnsOfLetters("ST");
  const std::string page = Page();
  EXPECT_NE(Between(page, "<tbody class=\"folders\">\n", "</tbody>")
                .find("<tr><td><a href=\"shared/\">shared</a></td><td>Link to folder</td><td></td></tr>"),
            std::string::npos)
      << "a link to a folder lists and links as a folder";
  const std::string files = Between(page, "<tbody class=\"files\">\n", "</tbody>");
  EXPECT_NE(files.find("notes.txt</a></td><td>Link</td><td data-bytes=\"42\""), std::string::npos)
      << "in place of the registered type, the target's size kept: " << files;
  for (const char* broken : {"gone.txt", "self"}) {
    EXPECT_NE(files.find(std::string(broken) + "</a></td><td>Broken link</td><td data-bytes=\"0\""),
              std::string::npos)
        << broken;
  }
  EXPECT_NE(files.find("index.html</a></td><td>HTML &lt;Page&gt;</td>"), std::string::npos)
      << "other entries keep their types";
  EXPECT_EQ(source.LinkLookups, 0) << "the page shows no targets and reads none";
}

TEST_F(PageDocumentTest, TimesWithoutATextLeaveTheirCellEmpty) {
  FolderRecord late = MakeRecord("late.txt", 32, 1);
  late.ftLastWriteTime = 0x8000000000000000ULL;
  source.Folders[r.DirStr] = {late};
  r.Columns = ColumnSet();
  r.Columns.Set(ColumnId::kLastWrite);
  EXPECT_NE(Page().find("<td><a href=\"late.txt\">late.txt</a></td><td></td></tr>"), std::string::npos);
}

TEST_F(PageDocumentTest, LinksAreRelativeAndNameTheEntry) {
  source.Folders[r.DirStr] = {
      MakeRecord("c:x", 32),         MakeRecord("javascript:alert(1)", 32), MakeRecord("#top", 32),
      MakeRecord("a?b=1&c", 32),     MakeRecord("my docs", kFolderBits),    MakeRecord("x:y", kFolderBits),
      MakeRecord("100%25 sure", 32),
  };
  r.SortBy = kSortByName;
  r.DescOrder = false;
  const std::vector<std::string> links = Links(Page());
  const std::vector<std::string> expected = {
      "my%20docs/", "./x:y/", "%23top", "100%2525%20sure", "a%3Fb%3D1%26c", "./c:x", "./javascript:alert(1)"};
  EXPECT_EQ(links, expected);
  r.CreateLinks = false;
  const std::string page = Page();
  EXPECT_EQ(Count(page, "<a "), 0u);
  EXPECT_NE(page.find("<tr><td>my docs</td>"), std::string::npos);
}

// Names that this platform's folders can hold: where "\\" separates folders
// no name has one.
std::vector<std::string> PossibleHostileNames() {
  std::vector<std::string> names;
  for (const std::string& name : HostileNames()) {
    if (FolderSeparator() != '\\' || name.find('\\') == std::string::npos) names.push_back(name);
  }
  return names;
}

TEST_F(PageDocumentTest, HostileNamesAddNoMarkupAndLinkToThemselves) {
  const std::vector<std::string> hostile = PossibleHostileNames();
  std::vector<std::string> plain;
  for (size_t i = 0; i < hostile.size(); ++i) plain.push_back("name" + std::to_string(1000 + i));
  r.Befor.clear();
  r.After.clear();
  r.IncludeParent = false;
  const std::vector<std::string> expected_markup = Markup(PageOfNames(plain, "plain"));
  ASSERT_GT(expected_markup.size(), 4 * hostile.size());
  for (const std::string& folder : hostile) {
    const std::string page = PageOfNames(hostile, folder);
    ASSERT_EQ(Markup(page), expected_markup) << "names or the folder " << Visible(folder) << " added markup";
  }
  const std::string page = PageOfNames(hostile, "shown");
  const std::vector<std::string> links = Links(page);
  ASSERT_EQ(links.size(), 2 * hostile.size());
  std::vector<std::string> named;
  for (const std::string& link : links) {
    std::string target = link.compare(0, 2, "./") == 0 ? link.substr(2) : link;
    const size_t colon = target.find(':');
    EXPECT_TRUE(colon == std::string::npos || link.compare(0, 2, "./") == 0) << "a scheme: " << link;
    EXPECT_EQ(link.find_first_of(" \"'<>&\\\t\r\n"), std::string::npos) << Visible(link);
    target = PercentDecoded(target);
    if (!target.empty() && target.back() == '/') target.pop_back();
    named.push_back(target);
  }
  for (const std::string& name : hostile) {
    EXPECT_EQ(std::count(named.begin(), named.end(), name), 2)
        << "a file and a folder link to " << Visible(name);
  }
  for (size_t i = 0; i < page.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(page[i]);
    ASSERT_TRUE(c >= 32 || c == '\n') << "control byte " << int(c) << " at " << i;
  }
  EXPECT_NE(page.find(">nl&#x240A;forged-line.txt</a>"), std::string::npos);
}

TEST_F(PageDocumentTest, TheScriptIsTheSameInEveryPage) {
  const std::string first = Between(Page(), "<script>", "</script>");
  r.Columns = ColumnSet();
  r.SortBy = kSortByName;
  r.After = "<p>$FileCount</p>";
  source.Folders["/srv/other"] = {MakeRecord("x.txt", 32, 5)};
  r.DirStr = "/srv/other";
  const std::string second = Between(Page("other"), "<script>", "</script>");
  EXPECT_GT(first.size(), 1000u);
  EXPECT_EQ(first, second) << "a Content-Security-Policy allows the script by one hash";
  EXPECT_EQ(first.find("</"), std::string::npos);
}

TEST_F(PageDocumentTest, SummaryAndMasksInTheUsersWords) {
  std::vector<FolderRecord> many;
  for (int i = 0; i < 1234; ++i) many.push_back(MakeRecord("f" + std::to_string(i), 32, 1000));
  source.Folders[r.DirStr] = many;
  r.Folders = "folders";
  r.Files = "files & more";
  r.TotalSize = "in total";
  r.DirMask = "<d>*";
  std::string page = Page();
  EXPECT_EQ(
      Between(page, "<footer>\n", "</footer>"),
      "<p>0 folders; 1,234 files &amp; more; <span title=\"1,234,000 bytes\">1.2 MB</span> in total</p>\n");
  EXPECT_NE(page.find("<h1>Content of Web &amp; Root</h1>\n<p>folders [&lt;d&gt;*]</p>\n"), std::string::npos)
      << "only the mask that leaves names out";
  r.DirMask = "*";
  r.FileMask = "*.txt;*.md";
  EXPECT_NE(Page().find("<h1>Content of Web &amp; Root</h1>\n<p>files &amp; more [*.txt;*.md]</p>\n"),
            std::string::npos);
  r.FileMask = "*.*";
  EXPECT_NE(Page().find("<h1>Content of Web &amp; Root</h1>\n</header>"), std::string::npos)
      << "no line where every name is listed";
  EXPECT_EQ(Count(page, "<tbody"), 1u) << "no row group without rows";
  r.ShowSummary = false;
  r.ShowMasks = false;
  page = Page();
  EXPECT_EQ(page.find("<footer"), std::string::npos);
  EXPECT_NE(page.find("<h1>Content of Web &amp; Root</h1>\n</header>"), std::string::npos);
}

TEST_F(PageDocumentTest, RowsAreComposedAsThePageIsWritten) {
  Page();
  size_t row_pieces = 0;
  for (const DocumentPiece& piece : run.Document.Pieces) {
    if (piece.Rows) ++row_pieces;
    EXPECT_EQ(piece.Text.find("big.iso"), std::string::npos) << "no row is held in the document's texts";
  }
  EXPECT_EQ(row_pieces, 2u);
  EXPECT_EQ(RunLength(run), FlattenRun(run).size());
}

}  // namespace

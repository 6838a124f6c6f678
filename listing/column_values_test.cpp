#include "listing/column_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/enrich.h"
#include "tests/memory_folder_source.h"

namespace {

std::string TimeText(uint64_t file_time, bool show_seconds) {
  std::string text = "<";
  AppendFileTimeText(text, file_time, show_seconds);
  EXPECT_EQ(text[0], '<') << "the time is appended";
  return text.substr(1);
}

TEST(AppendFileTimeText, RendersTheStoredTimeWithAndWithoutSeconds) {
  const uint64_t march_5_2006 = 127860412290000000ULL;  // 14:07:09 UTC
  EXPECT_EQ(TimeText(march_5_2006, false), "05.03.2006 14:07");
  EXPECT_EQ(TimeText(march_5_2006, true), "05.03.2006 14:07:09");
  EXPECT_EQ(TimeText(0, false), "01.01.1601 00:00");
  EXPECT_EQ(TimeText(125963423990000000ULL, true), "29.02.2000 23:59:59");
  EXPECT_EQ(TimeText(94406256000000000ULL, false), "01.03.1900 12:00") << "1900 has no 29.02";
}

TEST(AppendFileTimeText, CountsPastThePlatformLimitGiveAnEmptyText) {
  EXPECT_EQ(TimeText(0x8000000000000000ULL, true), "");
  EXPECT_EQ(TimeText(~0ULL, false), "");
  EXPECT_EQ(TimeText(0x7FFFFFFFFFFFFFFFULL, false), "14.09.30828 02:48");
}

TEST(AppendIsoTime, LayoutsForPeopleAndForPrograms) {
  const uint64_t march_5_2006 = 127860412290000000ULL;  // 14:07:09 UTC
  auto iso = [](uint64_t time, IsoTime layout) {
    std::string text = "<";
    AppendIsoTime(text, time, layout);
    return text.substr(1);
  };
  EXPECT_EQ(iso(march_5_2006, IsoTime::kMinutes), "2006-03-05 14:07");
  EXPECT_EQ(iso(march_5_2006, IsoTime::kSeconds), "2006-03-05 14:07:09");
  EXPECT_EQ(iso(march_5_2006, IsoTime::kMachine), "2006-03-05T14:07:09Z");
  EXPECT_EQ(iso(125963423990000000ULL, IsoTime::kMachine), "2000-02-29T23:59:59Z");
  EXPECT_EQ(iso(0, IsoTime::kMachine), "1601-01-01T00:00:00Z");
  EXPECT_EQ(iso(0x8000000000000000ULL, IsoTime::kMachine), "");
}

TEST(AttributeText, IsReadBackToTheBitsItShows) {
  // Every combination of the bits a text shows, a folder's among them.
  const uint32_t shown[] = {1, 2, 4, 32, 128, 256, 2048, 4096};
  for (uint32_t combination = 0; combination < 256; ++combination) {
    uint32_t attributes = 0;
    for (size_t bit = 0; bit < 8; ++bit) {
      if (combination & (1u << bit)) attributes |= shown[bit];
    }
    for (const uint32_t folder : {0u, 16u}) {
      const std::string text = AttributeText(attributes | folder);
      uint32_t read = 0;
      ASSERT_TRUE(AttributesOfText(text, read)) << text;
      EXPECT_EQ(read, attributes == 0 ? folder : attributes) << text;
    }
  }
  uint32_t read = 0;
  for (const char* foreign : {"X ", "R", "H R ", "R R ", "Dir ", "file"})
    EXPECT_FALSE(AttributesOfText(foreign, read)) << foreign;
}

TEST(AttributeText, LettersInTableOrderAndTheEmptyRule) {
  EXPECT_EQ(AttributeText(16), "Dir");
  EXPECT_EQ(AttributeText(32), "A ");
  EXPECT_EQ(AttributeText(1 | 2 | 4), "R H S ");
  EXPECT_EQ(AttributeText(128), "File");
  EXPECT_EQ(AttributeText(32 | 2048), "A C ");
  EXPECT_EQ(AttributeText(4096 | 256 | 16 | 1), "R T O ");
  EXPECT_EQ(AttributeText(0), "");
  EXPECT_EQ(AttributeText(8 | 64 | 512), "") << "bits outside the table are ignored";
}

TEST(LinkForm, EncodesEverythingThatWouldBreakOrRedirectTheTarget) {
  if (FolderSeparator() == '\\') {
    EXPECT_EQ(LinkForm("C:\\My Docs\\a.txt"), "C:/My%20Docs/a.txt");
  } else {
    EXPECT_EQ(LinkForm("/srv/My Docs/a.txt"), "/srv/My%20Docs/a.txt");
    // A backslash is a character of the name: never another host or folder.
    EXPECT_EQ(LinkForm("\\\\evil.example\\login"), "%5C%5Cevil.example%5Clogin");
    EXPECT_EQ(LinkForm("..\\..\\etc\\passwd"), "..%5C..%5Cetc%5Cpasswd");
  }
  EXPECT_EQ(LinkForm("100%20sure"), "100%2520sure") << "a literal %20 must link to itself";
  EXPECT_EQ(LinkForm("a#b&c=d?e"), "a%23b%26c%3Dd%3Fe");
  EXPECT_EQ(LinkForm("\"'<>`"), "%22%27%3C%3E%60");
  EXPECT_EQ(LinkForm(std::string("tab\there\x7F", 9)), "tab%09here%7F");
  EXPECT_EQ(LinkForm("c:x"), "c:x") << "the colon stays";
  const std::string high = LinkForm("\xC3\xA9");
  EXPECT_EQ(high, LinksEncodeHighBytes() ? "%C3%A9" : "\xC3\xA9");
}

void AppendBracketed(std::string& out, std::string_view text) {
  out += '[';
  out.append(text);
  out += ']';
}

class TypeTextTest : public ::testing::Test {
 protected:
  // Enriches a listing of files of these names with what the source tells.
  void Enrich(const std::vector<std::string>& names, const EnrichNeeds& needs) {
    for (const std::string& name : names) {
      listing.FileList.emplace_back();
      listing.FileList.back().Find.cFileName = name;
    }
    EnrichListing(listing, "/srv", source, needs);
  }
  std::string Text(const std::string& name) {
    FileInfoX entry;
    entry.Find.cFileName = name;
    std::string text;
    AppendTypeText(text, file_word, entry, listing.Values, AppendBracketed);
    return text;
  }
  std::string file_word = "File";
  MemoryFolderSource source;
  DirFileStruct listing;
};

EnrichNeeds TypesOnly() {
  EnrichNeeds needs;
  needs.Types = true;
  return needs;
}

TEST_F(TypeTextTest, RegisteredDescriptionsComeRawAndAreAskedOncePerExtension) {
  source.Types[".txt"] = "Text <plain> & simple";
  Enrich({"a.txt", "b.txt"}, TypesOnly());
  EXPECT_EQ(Text("a.txt"), "[Text <plain> & simple]") << "the form escapes what the system gave";
  EXPECT_EQ(Text("b.txt"), "[Text <plain> & simple]");
  EXPECT_EQ(source.TypeLookups, 1);
}

TEST_F(TypeTextTest, UnregisteredTypesFallBackToTheWordAndTheExtensionAsOnDisk) {
  file_word = "<i>Datei</i>";
  source.Types[".log"] = "";
  source.Types[".gz"] = "Archive";
  EXPECT_EQ(Text("archive.tar.gz"), "<i>Datei</i> \"[gz]\"") << "nothing asked, nothing registered";
  Enrich({"readme", "data.xyz", "A.TXT", "x.log", "archive.tar.gz"}, TypesOnly());
  EXPECT_EQ(Text("readme"), "File") << "no extension: never the word";
  EXPECT_EQ(Text("data.xyz"), "<i>Datei</i> \"[xyz]\"") << "the word is the user's own text";
  EXPECT_EQ(Text("A.TXT"), "<i>Datei</i> \"[TXT]\"");
  EXPECT_EQ(Text("x.log"), "<i>Datei</i> \"[log]\"") << "empty description";
  EXPECT_EQ(Text("archive.tar.gz"), "[Archive]");
}

TEST_F(TypeTextTest, MimeTypesComeFromTheSourceOncePerExtension) {
  source.MimeTypes[".txt"] = "text/plain";
  EnrichNeeds needs;
  needs.MimeTypes = true;
  Enrich({"a.txt", "b.txt", "c.xyz", "README"}, needs);
  FileInfoX entry;
  for (const char* name : {"a.txt", "b.txt"}) {
    entry.Find.cFileName = name;
    EXPECT_EQ(MimeTypeOf(entry, listing.Values), "text/plain") << name;
  }
  entry.Find.cFileName = "c.xyz";
  EXPECT_EQ(MimeTypeOf(entry, listing.Values), "");
  entry.Find.cFileName = "README";
  EXPECT_EQ(MimeTypeOf(entry, listing.Values), "") << "no extension: nothing to ask";
  EXPECT_EQ(source.MimeLookups, 2);
  EXPECT_EQ(source.TypeLookups, 0) << "only what was asked for";
  entry.Find.cFileName = "a.txt";
  EXPECT_EQ(MimeTypeOf(entry, EntryValues()), "") << "where nothing was asked, no type is known";
}

}  // namespace

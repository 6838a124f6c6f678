// Listings read back: the shapes each reader fills, the escapes it undoes,
// and the first fault of a malformed listing with its line and column.
#include "output/listing_readers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/entry.h"
#include "tests/model_lookup.h"

namespace {

const std::string kSha256A = "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb";
const std::string kMd5A = "0cc175b9c0f1b6a831c399e269772661";

struct Read {
  bool Ok = false;
  ListingModel Model;
  ListingShape Shape;
  std::string Error;
};

Read ReadText(const std::string& content, DigestAlgorithm thirty_two = DigestAlgorithm::kMd5) {
  Read read;
  ListingReadOptions options;
  options.ThirtyTwoDigits = thirty_two;
  read.Ok = ReadListing(content, options, read.Model, read.Shape, read.Error);
  return read;
}

TEST(ListingReadersTest, TellsTheKindByTheContent) {
  EXPECT_EQ(ListingKindOf("\xEF\xBB\xBF  {\"entries\": []}"), ListingKind::kJson);
  EXPECT_EQ(ListingKindOf("<!DOCTYPE html>"), ListingKind::kCatalog);
  EXPECT_EQ(ListingKindOf("\xEF\xBB\xBFname,kind,size\r\n"), ListingKind::kCsv);
  EXPECT_EQ(ListingKindOf(kSha256A + "  name,kind\n"), ListingKind::kSums);
}

TEST(ListingReadersTest, JsonTreeGivesFoldersEntriesAndDigestsInTheModelsAlgorithms) {
  const Read read = ReadText(
      "{\"folder\": {\"path\": \"/srv/top\", \"name\": \"top\"}, \"entries\": [\n"
      "  {\"name\": \"sub\", \"kind\": \"folder\", \"size\": 0, \"entries\": [\n"
      "    {\"name\": \"\\u0061\\n\", \"kind\": \"file\", \"size\": 1, "
      "\"modified\": \"2024-03-05T14:07:09Z\", \"checksums\": {\"sha256\": \"" +
      kSha256A +
      "\", \"md5\": null}}]},\n"
      "  {\"name\": \"x\", \"name_bytes\": \"%FF%25\", \"kind\": \"file\", \"size\": 5368709120, "
      "\"checksums\": {\"md5\": \"" +
      kMd5A +
      "\"}},\n"
      "  {\"name\": \"l\", \"kind\": \"link\", \"size\": 3},\n"
      "  {\"name\": \"shut\", \"kind\": \"folder\", \"error\": \"\\u00e9\\ud83d\\ude00\"},\n"
      "  {\"name\": \"deep\", \"kind\": \"folder\"}\n"
      "]}\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  const ListingModel& model = read.Model;
  EXPECT_TRUE(read.Shape.Tree);
  EXPECT_TRUE(read.Model.SizesKnown);
  EXPECT_EQ(model.TopPath, "/srv/top");
  ASSERT_EQ(model.Algorithms,
            (std::vector<DigestAlgorithm>{DigestAlgorithm::kSha256, DigestAlgorithm::kMd5}));
  const size_t sub = SubFolder(model, 0, "sub");
  ASSERT_NE(sub, static_cast<size_t>(-1));
  const std::string name = "a\n";
  const FolderRecord* file = EntryOf(model, sub, name);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->ftLastWriteTime, 133541212290000000u);
  EXPECT_EQ(model.Folders[sub].Checksums.at(name), (std::vector<std::string>{kSha256A, ""}));
  // The exact bytes stand for a name that UTF-8 cannot hold.
  const FolderRecord* bytes = EntryOf(model, 0, "\xFF%");
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(EntrySize(FileInfoX{*bytes}), 5368709120u);
  EXPECT_EQ(model.Folders[0].Checksums.at("\xFF%"), (std::vector<std::string>{"", kMd5A}));
  EXPECT_TRUE(IsLink(EntryOf(model, 0, "l")->dwFileAttributes));
  // A folder that failed is known not to be known; one not entered is no folder of the model.
  EXPECT_TRUE(model.Folders[SubFolder(model, 0, "shut")].Failed);
  EXPECT_EQ(model.Folders[SubFolder(model, 0, "shut")].Reason, "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(SubFolder(model, 0, "deep"), static_cast<size_t>(-1));
}

TEST(ListingReadersTest, MalformedJsonStopsAtItsFirstFault) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\"entries\": [\n  {\"name\": \"a\", \"kind\": \"file\", \"size\": x}]}",
       "line 2, column 41: a value was expected"},
      {"{\"entries\": [{\"name\": \"a\\q\"}]}", "line 1, column 26: an unknown escape"},
      {"{\"entries\": [{\"name\": \"a", "the document ends inside a string"},
      {"{\"entries\": [{\"name\": \"\\ud800\", \"kind\": \"file\"}]}", "a high surrogate stands alone"},
      {"{\"entries\": [{\"name\": \"a\", \"kind\": \"pipe\"}]}", "line 1, column 36: \"kind\" is none of"},
      {"{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"size\": -1}]}", "no count of bytes"},
      {"{\"entries\": [{\"name\": \"a/b\", \"kind\": \"file\"}]}", "no file can have this name"},
      {"{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"checksums\": {\"sha256\": \"ab\"}}]}",
       "no sha256 digest"},
      {"{\"entries\": [{\"name\": \"a\", \"kind\": \"file\"}, {\"name\": \"a\", \"kind\": \"file\"}]}",
       "lists this name twice"},
      {"{\"entries\": []} []", "text after the end"},
      {"{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"name_bytes\": \"%G1\"}]}",
       "not percent-encoded"},
  };
  for (const auto& [content, error] : cases) {
    const Read read = ReadText(content);
    EXPECT_FALSE(read.Ok) << content;
    EXPECT_NE(read.Error.find(error), std::string::npos) << content << "\n" << read.Error;
  }
  const Read arrays = ReadText("{\"entries\": " + std::string(5000, '[') + std::string(5000, ']') + "}");
  EXPECT_NE(arrays.Error.find("nested too deep"), std::string::npos) << arrays.Error;
  // Folders within folders, read where they stand: 500 deep are read, 5,000
  // refused before the stack runs out.
  const auto nested = [](int levels) {
    std::string folders = "{\"entries\": ";
    for (int i = 0; i < levels; ++i) folders += "[{\"name\": \"a\", \"kind\": \"folder\", \"entries\": ";
    folders += "[]";
    for (int i = 0; i < levels; ++i) folders += "}]";
    return folders + "}";
  };
  const Read fine = ReadText(nested(500));
  EXPECT_TRUE(fine.Ok) << fine.Error;
  EXPECT_EQ(fine.Model.Folders.size(), 501u);
  const Read deep = ReadText(nested(5000));
  EXPECT_NE(deep.Error.find("nested too deep"), std::string::npos) << deep.Error;
}

TEST(ListingReadersTest, CsvUndoesQuotesGuardsAndTheByteOrderMark) {
  const Read read = ReadText(
      "\xEF\xBB\xBFname,name_bytes,kind,size,modified,sha256\r\n"
      "sub,,folder,0,2024-03-05T14:07:09Z,\r\n"
      "\"sub/a,\"\"b\"\"\r\nc\",,file,1,2024-03-05T14:07:09Z," +
      kSha256A +
      "\r\n"
      "\"'=1+2\",,file,2,,\r\n"
      "\xEF\xBF\xBD,%FE,file,0,,\r\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_TRUE(read.Shape.Tree);
  const size_t sub = SubFolder(read.Model, 0, "sub");
  ASSERT_NE(sub, static_cast<size_t>(-1));
  EXPECT_EQ(read.Model.Folders[sub].Checksums.at("a,\"b\"\r\nc"), std::vector<std::string>{kSha256A});
  EXPECT_NE(EntryOf(read.Model, 0, "=1+2"), nullptr);
  EXPECT_NE(EntryOf(read.Model, 0, "\xFE"), nullptr);
  EXPECT_EQ(read.Model.Folders[0].Checksums.count("=1+2"), 0u);

  // One folder's listing: its folders are no folders of the model.
  const Read one = ReadText("name,kind,size\nsub,folder,0\na,file,1\n");
  ASSERT_TRUE(one.Ok) << one.Error;
  EXPECT_FALSE(one.Shape.Tree);
  EXPECT_EQ(SubFolder(one.Model, 0, "sub"), static_cast<size_t>(-1));
}

TEST(ListingReadersTest, MalformedCsvStopsAtItsFirstFault) {
  const std::pair<std::string, std::string> cases[] = {
      {"name,kind\r\na,file\r\n\"b,file\r\n", "line 3, column 1: a quoted field is never closed"},
      {"name,kind\na,file,3\n", "line 2, column 1: the row's fields are not the header's"},
      {"name,kind\na\"b,file\n", "line 2, column 2: a quote inside a field"},
      {"name,kind,size\na,file,3x\n", "line 2, column 8: the size is no count"},
      {"name,kind,modified\na,file,2024-13-05T14:07:09Z\n", "line 2, column 8: the time"},
      {"name,kind\na/../b,file\n", "no file can have this name"},
      {"name,kind\na,file\na,file\n", "line 3, column 1: this path is listed twice"},
  };
  for (const auto& [content, error] : cases) {
    const Read read = ReadText(content);
    EXPECT_FALSE(read.Ok) << content;
    EXPECT_NE(read.Error.find(error), std::string::npos) << content << "\n" << read.Error;
  }
}

TEST(ListingReadersTest, SumsLinesOfEveryToolAndTheirEscapes) {
  const Read read = ReadText(kSha256A + "  ./sub/a\n" + kSha256A + " *b\r\n\\" + kSha256A + "  c\\\\d\\ne\n" +
                             "MD5 (f) = ) = " + kMd5A + "\n" + "\\SHA256 (g\\nh) = " + kSha256A + "\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  const ListingModel& model = read.Model;
  EXPECT_TRUE(read.Shape.Tree);
  EXPECT_TRUE(read.Shape.FilesOnly);
  EXPECT_FALSE(read.Model.SizesKnown);
  const size_t sub = SubFolder(model, 0, "sub");
  ASSERT_NE(sub, static_cast<size_t>(-1));
  EXPECT_NE(EntryOf(model, sub, "a"), nullptr);
  for (const char* name : {"b", "f) = ", "g\nh"}) EXPECT_NE(EntryOf(model, 0, name), nullptr) << name;
  // Where "\\" separates folders, the escaped backslash does too.
  if (FolderSeparator() == '\\') {
    EXPECT_NE(EntryOf(model, SubFolder(model, 0, "c"), "d\ne"), nullptr);
  } else {
    EXPECT_NE(EntryOf(model, 0, "c\\d\ne"), nullptr);
  }
  EXPECT_EQ(model.Folders[0].Checksums.at("f) = "), (std::vector<std::string>{"", kMd5A}));

  // 32 digits are md5's unless xxh128 is asked for.
  const Read xxh = ReadText(kMd5A + "  a\n", DigestAlgorithm::kXxh128);
  ASSERT_TRUE(xxh.Ok) << xxh.Error;
  EXPECT_EQ(xxh.Model.Algorithms, std::vector<DigestAlgorithm>{DigestAlgorithm::kXxh128});
}

TEST(ListingReadersTest, MalformedSumsStopAtTheirFirstFault) {
  const std::pair<std::string, std::string> cases[] = {
      {kSha256A + "  a\n" + kSha256A.substr(1) + "  b\n", "line 2, column 1: no digest"},
      {kSha256A + "\n", "line 1, column 1: not a line of a sums file"},
      {"\\" + kSha256A + "  a\\tb\n", "line 1, column 69: an unknown escape"},
      {kSha256A + "  /etc/passwd\n", "line 1, column 67: the name is no path below"},
      {kSha256A + "  a/../b\n", "no path below"},
      {kSha256A + "  a\n" + std::string(64, 'f') + "  a\n", "line 2, column 67: the file is listed twice"},
  };
  for (const auto& [content, error] : cases) {
    const Read read = ReadText(content);
    EXPECT_FALSE(read.Ok) << content;
    EXPECT_NE(read.Error.find(error), std::string::npos) << content << "\n" << read.Error;
  }
}

}  // namespace

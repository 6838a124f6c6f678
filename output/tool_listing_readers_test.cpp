// Other tools' listings read back: what tree -J, ncdu, rclone and Everything
// give and lack, their odd entries, and where a broken one fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/catalog_data.h"
#include "output/listing_readers.h"
#include "tests/model_lookup.h"

namespace {

struct Read {
  bool Ok = false;
  ListingModel Model;
  ListingShape Shape;
  std::string Error;
};

Read ReadText(const std::string& content, const ListingKind* kind = nullptr) {
  Read read;
  ListingReadOptions options;
  options.Kind = kind;
  read.Ok = ReadListing(content, options, read.Model, read.Shape, read.Error);
  return read;
}

uint64_t SizeOf(const FolderRecord& record) {
  return (static_cast<uint64_t>(record.nFileSizeHigh) << 32) | record.nFileSizeLow;
}

TEST(ToolListingReadersTest, TellsEachToolsKindByTheContent) {
  EXPECT_EQ(ListingKindOf("[\n  {\"type\":\"directory\",\"name\":\".\"}]"), ListingKind::kTreeJson);
  EXPECT_EQ(ListingKindOf("[1,2,{\"progname\":\"ncdu\"},[{\"name\":\"/x\"}]]"), ListingKind::kNcdu);
  EXPECT_EQ(ListingKindOf("[\n{\"Path\":\"a\",\"Name\":\"a\"}\n]"), ListingKind::kRclone);
  EXPECT_EQ(ListingKindOf("[\n]\n"), ListingKind::kRclone);
  EXPECT_EQ(ListingKindOf("\xEF\xBB\xBF"
                          "Filename,Size,Date Modified\r\n"),
            ListingKind::kEfu);
  for (const std::string& name : ListingKindNames()) {
    ASSERT_NE(ListingKindNamed(name), nullptr) << name;
    EXPECT_EQ(ListingKindName(*ListingKindNamed(name)), name);
  }
  EXPECT_EQ(ListingKindNamed("tree"), nullptr);
}

TEST(ToolListingReadersTest, TreeJsonGivesFoldersSizesEpochAndZonedTimesLinksAndUnreadableFolders) {
  const Read read = ReadText(
      "[\n  {\"type\":\"directory\",\"name\":\"/srv/top/\",\"time\":\"60\",\"contents\":[\n"
      "    "
      "{\"type\":\"file\",\"name\":\"a\\\"b\",\"size\":5368709120,\"time\":\"2024-03-05T14:07:09+0100\"},\n"
      "    {\"type\":\"link\",\"name\":\"l\",\"target\":\"a\\\"b\",\"size\":3,\"time\":\"Dec  9 11:23\"},\n"
      "    {\"type\":\"directory\",\"name\":\"locked\",\"contents\":[{\"error\": \"error opening dir\"}]},\n"
      "    "
      "{\"type\":\"directory\",\"name\":\"sub\",\"contents\":[{\"type\":\"fifo\",\"name\":\"p\",\"size\":0}]}"
      "\n"
      "  ]},\n  {\"type\":\"report\",\"directories\":2,\"files\":3}\n]\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Shape.Kind, ListingKind::kTreeJson);
  EXPECT_TRUE(read.Model.SizesKnown);
  EXPECT_EQ(read.Model.TopPath, "/srv/top/");
  EXPECT_EQ(read.Model.TopName, "top");
  EXPECT_EQ(read.Model.Folders[0].Record.ftLastWriteTime, FileTimeOfSeconds(60));
  const FolderRecord* file = EntryOf(read.Model, 0, "a\"b");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(SizeOf(*file), 5368709120u);
  uint64_t utc = 0;
  ASSERT_TRUE(ParseIsoTime("2024-03-05T13:07:09Z", utc));
  EXPECT_EQ(file->ftLastWriteTime, utc);
  // A link's own length is not its target's size; the local time of tree's
  // default form names no zone: neither is taken.
  const FolderRecord* link = EntryOf(read.Model, 0, "l");
  ASSERT_NE(link, nullptr);
  EXPECT_TRUE(IsLink(link->dwFileAttributes));
  EXPECT_EQ(SizeOf(*link), 0u);
  EXPECT_EQ(link->ftLastWriteTime, 0u);
  EXPECT_EQ(read.Model.Folders[0].LinkTargets.at("l"), "a\"b");
  const size_t locked = SubFolder(read.Model, 0, "locked");
  ASSERT_NE(locked, static_cast<size_t>(-1));
  EXPECT_TRUE(read.Model.Folders[locked].Failed);
  EXPECT_EQ(read.Model.Folders[locked].Reason, "error opening dir");
  EXPECT_NE(EntryOf(read.Model, SubFolder(read.Model, 0, "sub"), "p"), nullptr);
}

// The readers take each folder's entries where they stand; a document
// whose members come in another order than the tools write them gives the
// same model, and so does one given whole as one document per folder.
TEST(ToolListingReadersTest, EntriesBeforeTheirFoldersNameAreReadAfterIt) {
  const Read tree = ReadText(
      "[{\"contents\":[{\"contents\":[{\"name\":\"f\",\"type\":\"file\",\"size\":7}],"
      "\"type\":\"directory\",\"name\":\"d\"}],\"type\":\"directory\",\"name\":\"/t\"},"
      "{\"type\":\"report\"}]",
      ListingKindNamed("tree-json"));
  ASSERT_TRUE(tree.Ok) << tree.Error;
  EXPECT_EQ(tree.Model.TopPath, "/t");
  const size_t d = SubFolder(tree.Model, 0, "d");
  ASSERT_NE(d, static_cast<size_t>(-1));
  ASSERT_NE(EntryOf(tree.Model, d, "f"), nullptr);
  EXPECT_EQ(SizeOf(*EntryOf(tree.Model, d, "f")), 7u);
  EXPECT_EQ(tree.Model.Folders[d].Record.cFileName, "d")
      << "the folder keeps its record as its parent lists it";

  const Read json = ReadText(
      "{\"entries\": [{\"entries\": [{\"name\": \"f\", \"kind\": \"file\", \"size\": 7}], "
      "\"kind\": \"folder\", \"name\": \"d\"}], \"folder\": {\"path\": \"/t\", \"name\": \"t\"}}");
  ASSERT_TRUE(json.Ok) << json.Error;
  EXPECT_EQ(json.Model.TopPath, "/t");
  const size_t json_d = SubFolder(json.Model, 0, "d");
  ASSERT_NE(json_d, static_cast<size_t>(-1));
  EXPECT_NE(EntryOf(json.Model, json_d, "f"), nullptr);

  // tree names a second folder after the first's contents: still refused.
  const Read two = ReadText(
      "[{\"type\":\"directory\",\"name\":\"/a\",\"contents\":[]},"
      "{\"type\":\"directory\",\"name\":\"/b\",\"contents\":[{\"type\":\"file\",\"name\":\"x\"}]}]");
  EXPECT_FALSE(two.Ok);
  EXPECT_NE(two.Error.find("more than one folder"), std::string::npos) << two.Error;
  // A file that holds contents is no file.
  const Read file = ReadText(
      "[{\"type\":\"directory\",\"name\":\"/a\",\"contents\":[{\"type\":\"file\",\"name\":\"x\","
      "\"contents\":[]}]}]");
  EXPECT_FALSE(file.Ok);
}

TEST(ToolListingReadersTest, TreeJsonWithoutSizesKnowsNone) {
  const Read read =
      ReadText("[{\"type\":\"directory\",\"name\":\".\",\"contents\":[{\"type\":\"file\",\"name\":\"a\"}]}]");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_FALSE(read.Model.SizesKnown);
}

TEST(ToolListingReadersTest, NcduGivesApparentSizesTimesHardLinksAndLeavesOutWhatItExcluded) {
  const Read read = ReadText(
      "[1,2,{\"progname\":\"ncdu\",\"progver\":\"1.18\",\"timestamp\":1},\n"
      "[{\"name\":\"/data\",\"asize\":4096,\"mtime\":120},\n"
      "{\"name\":\"f\",\"asize\":10,\"dsize\":4096,\"mtime\":60,\"ino\":7,\"hlnkc\":true,\"nlink\":2},\n"
      "{\"name\":\"g\",\"asize\":10,\"dsize\":4096,\"ino\":7,\"hlnkc\":true,\"nlink\":2},\n"
      "{\"name\":\"ln\",\"asize\":5,\"mode\":41471,\"notreg\":true},\n"
      "{\"name\":\"skip\",\"excluded\":\"pattern\"},\n"
      "[{\"name\":\"bad\",\"asize\":4096,\"read_error\":true}],\n"
      "[{\"name\":\"sub\",\"asize\":4096},{\"name\":\"h\",\"asize\":1}]]]");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Shape.Kind, ListingKind::kNcdu);
  EXPECT_EQ(read.Model.TopName, "data");
  EXPECT_EQ(read.Model.Folders[0].Record.ftLastWriteTime, FileTimeOfSeconds(120));
  ASSERT_NE(EntryOf(read.Model, 0, "f"), nullptr);
  EXPECT_EQ(SizeOf(*EntryOf(read.Model, 0, "f")), 10u);
  EXPECT_EQ(EntryOf(read.Model, 0, "f")->ftLastWriteTime, FileTimeOfSeconds(60));
  // Hard links are two names, each listed; a time not exported (no -e) is unknown.
  ASSERT_NE(EntryOf(read.Model, 0, "g"), nullptr);
  EXPECT_EQ(EntryOf(read.Model, 0, "g")->ftLastWriteTime, 0u);
  ASSERT_NE(EntryOf(read.Model, 0, "ln"), nullptr);
  EXPECT_TRUE(IsLink(EntryOf(read.Model, 0, "ln")->dwFileAttributes));
  EXPECT_EQ(EntryOf(read.Model, 0, "skip"), nullptr);
  EXPECT_TRUE(read.Model.Folders[SubFolder(read.Model, 0, "bad")].Failed);
  EXPECT_NE(EntryOf(read.Model, SubFolder(read.Model, 0, "sub"), "h"), nullptr);
  EXPECT_TRUE(read.Model.SizesKnown);
}

TEST(ToolListingReadersTest, RcloneMakesFoldersFromPathsKeepsNanosecondsAndKnownHashes) {
  const std::string sha256(64, 'a'), md5(32, 'B');
  const Read read = ReadText(
      "[\n{\"Path\":\"x/y/f\",\"Name\":\"f\",\"Size\":3,\"MimeType\":\"text/plain\","
      "\"ModTime\":\"2024-03-05T14:07:09.123456789Z\",\"IsDir\":false,"
      "\"Hashes\":{\"sha256\":\"" +
      sha256 + "\",\"md5\":\"" + md5 +
      "\",\"crc32\":\"12345678\",\"sha1\":\"\"}},\n"
      "{\"Path\":\"x\",\"Name\":\"x\",\"Size\":-1,\"ModTime\":\"2024-03-05T15:07:09+01:00\",\"IsDir\":true},"
      "\n"
      "{\"Path\":\"doc\",\"Name\":\"doc\",\"Size\":-1,\"ModTime\":\"2024-03-05T14:07:09Z\",\"IsDir\":false}"
      "\n]\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Shape.Kind, ListingKind::kRclone);
  // A file of unknown size (-1): the listing's sizes are not known.
  EXPECT_FALSE(read.Model.SizesKnown);
  uint64_t whole = 0;
  ASSERT_TRUE(ParseIsoTime("2024-03-05T14:07:09Z", whole));
  const FolderRecord* x = EntryOf(read.Model, 0, "x");
  ASSERT_NE(x, nullptr);
  EXPECT_TRUE(IsFolder(x->dwFileAttributes));
  EXPECT_EQ(x->ftLastWriteTime, whole);
  // y is named only by the file's path, yet listed in x.
  const size_t y = SubFolder(read.Model, SubFolder(read.Model, 0, "x"), "y");
  ASSERT_NE(y, static_cast<size_t>(-1));
  EXPECT_NE(EntryOf(read.Model, SubFolder(read.Model, 0, "x"), "y"), nullptr);
  const FolderRecord* f = EntryOf(read.Model, y, "f");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->ftLastWriteTime, whole + 1234567);
  ASSERT_EQ(read.Model.Algorithms.size(), 2u);
  EXPECT_EQ(read.Model.Algorithms[0], DigestAlgorithm::kSha256);
  EXPECT_EQ(read.Model.Folders[y].Checksums.at("f"),
            (std::vector<std::string>{sha256, std::string(32, 'b')}));
}

TEST(ToolListingReadersTest, EfuTakesTheCommonFolderAsTopWithFileTimesAndAttributes) {
  const Read read = ReadText(
      "Filename,Size,Date Modified,Date Created,Attributes\r\n"
      "\"C:\\Data\\Photos\",,133000000000000000,132000000000000000,16\r\n"
      "\"C:\\Data\\Photos\\a, b.jpg\",5368709120,133000000000000001,132000000000000001,33\r\n"
      "\"C:\\Data\\notes.txt\",12,,,32\r\n"
      "\"C:\\Data\\Deep\\er\\x\",1,,,0\r\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Shape.Kind, ListingKind::kEfu);
  EXPECT_EQ(read.Model.TopPath, "C:\\Data");
  EXPECT_EQ(read.Model.TopName, "Data");
  const size_t photos = SubFolder(read.Model, 0, "Photos");
  ASSERT_NE(photos, static_cast<size_t>(-1));
  EXPECT_EQ(read.Model.Folders[photos].Record.ftLastWriteTime, 133000000000000000u);
  const FolderRecord* photo = EntryOf(read.Model, photos, "a, b.jpg");
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(SizeOf(*photo), 5368709120u);
  EXPECT_EQ(photo->ftCreationTime, 132000000000000001u);
  EXPECT_EQ(photo->dwFileAttributes, 33u);
  ASSERT_NE(EntryOf(read.Model, 0, "notes.txt"), nullptr);
  EXPECT_EQ(EntryOf(read.Model, 0, "notes.txt")->ftLastWriteTime, 0u);
  // A folder named only by a path below it is listed too.
  EXPECT_NE(EntryOf(read.Model, 0, "Deep"), nullptr);
  EXPECT_TRUE(read.Model.SizesKnown);
}

TEST(ToolListingReadersTest, EfuWithoutASizeKnowsNone) {
  const Read read = ReadText("Filename,Size\n/srv/a,\n/srv/b,2\n");
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Model.TopPath, "/srv");
  EXPECT_FALSE(read.Model.SizesKnown);
}

TEST(ToolListingReadersTest, KindNamedReadsTheContentAsThatKind) {
  const ListingKind rclone = ListingKind::kRclone;
  const Read read = ReadText("[{\"type\":\"x\",\"Path\":\"a\",\"Size\":1}]", &rclone);
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_NE(EntryOf(read.Model, 0, "a"), nullptr);
  const ListingKind ncdu = ListingKind::kNcdu;
  EXPECT_FALSE(ReadText("[{\"Path\":\"a\"}]", &ncdu).Ok);
}

TEST(ToolListingReadersTest, BrokenListingsFailAtTheirFirstFault) {
  const struct {
    const char* Content;
    const char* Error;
  } kCases[] = {
      {"[\n  {\"type\":\"directory\",\"name\":\"x\",\"contents\":[\n", "line 3, column 1: "},
      {"[{\"type\":\"directory\",\"name\":\"x\",\"contents\":[{\"type\":\"file\",\"name\":\"a/b\"}]}]",
       "line 1, column 67: no file can have this name"},
      {"[{\"type\":\"directory\",\"name\":\"x\"},{\"type\":\"directory\",\"name\":\"y\"}]",
       "line 1, column 34: tree listed more than one folder; give it one"},
      {"[2,0,{},[{\"name\":\"/x\"}]]", "line 1, column 2: not ncdu's export of format 1"},
      {"[1,2,{},[{\"name\":\"/x\"},\n{\"name\":\"a\",\"asize\":-1}]]",
       "line 2, column 21: no count of bytes"},
      {"[1,2,{},[{\"name\":\"/x\"},{\"name\":\"a\"},{\"name\":\"a\"}]]",
       "line 1, column 37: the folder lists this name twice"},
      {"[{\"Path\":\"a\",\"ModTime\":\"2024-03-05 14:07\"}]",
       "line 1, column 24: \"ModTime\" is no RFC 3339 time"},
      {"[{\"Path\":\"a/../b\"}]", "line 1, column 10: no file can have this path"},
      {"[{\"Path\":\"a\",\"Hashes\":{\"md5\":\"xyz\"}}]", "line 1, column 30: no md5 digest in hexadecimal"},
      {"Filename,Size\n\"C:\\a\n", "line 2, column 1: a quoted field is never closed"},
      {"Filename,Size,Date Modified\nC:\\a\\b,1,yesterday\n", "line 2, column 10: no decimal number"},
      {"Filename,Size\nC:\\a\\b,1\nC:\\a\\b,2\n", "line 3, column 1: the list names this path twice"},
  };
  for (const auto& broken : kCases) {
    const Read read = ReadText(broken.Content);
    EXPECT_FALSE(read.Ok) << broken.Content;
    EXPECT_EQ(read.Error.substr(0, std::string(broken.Error).size()), broken.Error) << broken.Content;
  }
}

}  // namespace

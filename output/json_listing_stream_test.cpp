// Kestrova's JSON read as it comes gives the compact listing that the
// document read whole gives, however the source cuts it into pieces, and
// refuses what the whole reader refuses, with the same message and place.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listing/compact_listing.h"
#include "output/listing_readers.h"

namespace {

// A source that hands out the content piece bytes at a time.
std::function<size_t(char*, size_t)> PiecesOf(const std::string& content, size_t piece) {
  auto at = std::make_shared<size_t>(0);
  return [content, piece, at](char* buffer, size_t size) {
    const size_t count = std::min({size, piece, content.size() - *at});
    content.copy(buffer, count, *at);
    *at += count;
    return count;
  };
}

// Every folder by its path, in the order of the paths, each entry with what
// the comparison reads.
std::string Dump(const CompactListing& listing) {
  std::vector<std::string> folders;
  for (uint32_t at = 0; at < listing.Folders.size(); ++at) {
    std::string dump;
    const CompactFolder& folder = listing.Folders[at];
    dump += "[" + listing.PathOf(at, '/') + (folder.Failed ? "] failed" : "]") + " files " +
            std::to_string(folder.Files) + " bytes " + std::to_string(folder.Bytes) + "\n";
    for (uint32_t entry = folder.First; entry < folder.First + folder.Count; ++entry) {
      const CompactEntry& listed = listing.Entries[entry];
      dump += std::string(listing.NameOf(listed)) + " " + CompactKindWord(listed.Kind) + " " +
              std::to_string(listed.Size) + " " + std::to_string(listed.Time) +
              (listed.Sub != kNoCompactIndex ? " sub " + listing.PathOf(listed.Sub, '/') : "");
      for (size_t algorithm = 0; algorithm < listing.Algorithms.size(); ++algorithm) {
        const std::string_view digest = listing.DigestOf(listed, algorithm);
        if (!digest.empty())
          dump += std::string(" ") + DigestName(listing.Algorithms[algorithm]) + "=" + std::string(digest);
      }
      dump += "\n";
    }
    folders.push_back(dump);
  }
  std::sort(folders.begin(), folders.end());
  std::string dump;
  for (const std::string& folder : folders) dump += folder;
  return dump;
}

std::string WholeDump(const std::string& content) {
  ListingModel model;
  ListingShape shape;
  std::string error;
  EXPECT_TRUE(ReadJsonListing(content, model, shape, error)) << error;
  CompactListing listing;
  CompactListingOf(model, listing);
  return Dump(listing);
}

const std::string kSha256(64, 'a');
const std::string kMd5(32, 'b');

const std::string kDocument =
    "\xEF\xBB\xBF{\n"
    R"(  "folder": {"path": "/srv/data", "name": "data", "nested": [[{"x": [1, 2.5e3, -0.1]}], {}]},)"
    "\n  \"entries\": [\n"
    R"(    {"entries": [{"name": "deep.txt", "kind": "file", "size": 7, "modified": "2024-03-05T14:07:09Z"}], )"
    R"("kind": "folder", "name": "sub", "modified": "2024-03-05T14:07:10Z"},)"
    "\n"
    R"(    {"name": "caf\u00e9 \"q\" \\ \t.txt", "kind": "file", "size": 12345678901, )"
    R"("checksums": {"sha256": ")" +
    kSha256 + R"("}, "type": "\ud83d\ude00", "mime": null},)" + "\n" +
    R"(    {"name": "bad\ufffd", "name_bytes": "bad%FF%01", "kind": "file", "size": 1, )"
    R"("checksums": {"sha256": null, "md5": ")" +
    kMd5 + R"("}},)" + "\n" +
    R"(    {"name": "locked", "kind": "folder", "error": "Permission denied", "size": null},)"
    "\n"
    R"(    {"name": "a link", "kind": "link", "modified": null, "target": "sub"},)"
    "\n"
    R"(    {"name": "empty", "kind": "folder", "entries": []})"
    "\n  ]\n}\n";

TEST(JsonListingStreamTest, GivesWhatTheWholeReaderGivesWhereverThePiecesEnd) {
  const std::string whole = WholeDump(kDocument);
  EXPECT_NE(whole.find("bad\xFF\x01 file 1 0 md5=" + kMd5), std::string::npos) << whole;
  EXPECT_NE(whole.find("[locked] failed"), std::string::npos) << whole;
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, size_t{4096}}) {
    CompactListing listing;
    std::string error;
    ASSERT_TRUE(StreamJsonListing(PiecesOf(kDocument, piece), listing, error)) << piece << ": " << error;
    EXPECT_EQ(Dump(listing), whole) << piece;
    EXPECT_EQ(listing.TimePrecision, kWholeSeconds);
  }
}

TEST(JsonListingStreamTest, RefusesWhatTheWholeReaderRefusesWithTheSameMessageAndPlace) {
  std::vector<std::string> broken{
      "",
      "[]",
      "{\"folder\": {}}",
      "{\"entries\": []} x",
      "{\"entries\": [{\"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"pipe\"}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"size\": -1}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"size\": \"1\"}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"modified\": \"yesterday\"}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"checksums\": {\"sha256\": \"ABC\"}}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"checksums\": {\"crc\": null}}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\", \"entries\": []}]}",
      "{\"entries\": [{\"name\": \"..\", \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": 3, \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name_bytes\": \"%G1\", \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"a\u0001\", \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"\\x\", \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"\\udc00\", \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"a\" \"kind\": \"file\"}]}",
      "{\"entries\": [{\"name\": \"a\", \"kind\": \"file\"} {}]}",
      "{\"entries\": [1]}",
      "{\"entries\": {}}",
      "{\"other\": [1, {\"a\" 1}], \"entries\": []}",
      "{\"other\": tru, \"entries\": []}",
  };
  // And the whole document cut anywhere.
  for (size_t cut = 1; cut < kDocument.size(); cut += 37) broken.push_back(kDocument.substr(0, cut));
  for (const std::string& content : broken) {
    ListingModel model;
    ListingShape shape;
    std::string whole_error;
    ASSERT_FALSE(ReadJsonListing(content, model, shape, whole_error)) << content;
    CompactListing listing;
    std::string error;
    EXPECT_FALSE(StreamJsonListing(PiecesOf(content, 3), listing, error)) << content;
    EXPECT_EQ(error, whole_error) << content;
  }
}

}  // namespace

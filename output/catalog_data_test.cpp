#include "output/catalog_data.h"

#include <gtest/gtest.h>

#include "output/catalog_page.h"

namespace {

class TextSink : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    text.append(bytes.data(), bytes.size());
    return true;
  }
  std::string text;
};

FolderRecord Record(const std::string& name, uint32_t attributes, uint64_t size, int64_t seconds) {
  FolderRecord record;
  record.cFileName = name;
  record.dwFileAttributes = attributes;
  record.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  record.nFileSizeLow = static_cast<uint32_t>(size);
  record.ftLastWriteTime = FileTimeOfSeconds(seconds);
  return record;
}

struct Written {
  std::string page;
  std::vector<std::vector<FolderRecord>> runs;
};

// A catalog of a top with a sub-folder that failed and one with entries,
// and a run long enough to end a section in the middle of the runs.
Written WriteCatalog() {
  Written written;
  written.runs = {
      {Record("alpha", 16, 0, 1700000000), Record("alpha-shut", 16, 0, 1700000001),
       Record("alpha.txt", 128, (uint64_t{5} << 32) + 7, -86400 * 400),
       Record("link", 1024 | 128, 3, 4102444800), Record("\xff\xfe not utf-8", 128, 0, 0)},
      {Record("alpha-inner", 128, 1, 1700000000)},
      {},
  };
  for (int i = 0; i < 40000; ++i)
    written.runs[1].push_back(Record("file-" + std::to_string(100000 + i), 128, static_cast<uint64_t>(i), i));
  TextSink sink;
  CatalogEncoder encoder(sink);
  CatalogHeader header;
  header.Title = "<Catalog> & \"title\"";
  header.TopPath = "/srv/top";
  header.TopName = "top";
  header.Links = CatalogLinks::kRelative;
  EXPECT_TRUE(encoder.Begin(header));
  encoder.AddRun({&written.runs[0][0], &written.runs[0][1], &written.runs[0][2], &written.runs[0][3],
                  &written.runs[0][4]},
                 {"alpha.txt"});
  std::vector<const FolderRecord*> inner;
  for (const FolderRecord& record : written.runs[1]) inner.push_back(&record);
  encoder.AddRun(inner, {});
  encoder.AddRun({}, {});
  std::vector<CatalogFolder> folders(3);
  folders[0].Totals = {(uint64_t{5} << 32) + 11, 40003, 2, false};
  folders[1] = {0, 0, {3, 40000, 0, false}, CatalogFolderState::kListed, ""};
  folders[2] = {0, 1, {}, CatalogFolderState::kFailed, "Permission denied"};
  CatalogTypes types{{".txt", {"plain text document", "text/plain"}}, {"", {"", ""}}};
  EXPECT_TRUE(encoder.Finish(types, folders));
  written.page = CatalogPageHead(header.Title) + sink.text + CatalogPageTail();
  return written;
}

TEST(CatalogData, ReadsBackEveryRecordAndTheTreeItWasWrittenFrom) {
  const Written written = WriteCatalog();
  ListingModel model;
  std::string error;
  ASSERT_TRUE(ReadCatalogPage(written.page, model, error)) << error;
  EXPECT_EQ(model.Title, "<Catalog> & \"title\"");
  EXPECT_EQ(model.TopPath, "/srv/top");
  ASSERT_EQ(model.Folders.size(), 3u);
  for (size_t folder = 0; folder < 3; ++folder) {
    const std::vector<FolderRecord>& read = model.Folders[folder].Entries;
    ASSERT_EQ(read.size(), written.runs[folder].size());
    for (size_t at = 0; at < read.size(); ++at) {
      const FolderRecord& expected = written.runs[folder][at];
      EXPECT_EQ(read[at].cFileName, expected.cFileName);
      EXPECT_EQ(read[at].dwFileAttributes, expected.dwFileAttributes);
      EXPECT_EQ(read[at].nFileSizeHigh, (expected.dwFileAttributes & 16) != 0 ? 0 : expected.nFileSizeHigh);
      EXPECT_EQ(read[at].nFileSizeLow, expected.nFileSizeLow);
      EXPECT_EQ(read[at].ftLastWriteTime, expected.ftLastWriteTime) << expected.cFileName;
    }
  }
  // The folder rows name their entries, and a failed one keeps its reason.
  EXPECT_EQ(model.Folders[1].Name, "alpha");
  EXPECT_EQ(model.Folders[2].Name, "alpha-shut");
  EXPECT_TRUE(model.Folders[2].Failed);
  EXPECT_EQ(model.Folders[2].Reason, "Permission denied");
  EXPECT_EQ(model.Folders[0].SubFolders.size(), 2u);
  EXPECT_EQ(model.Folders[0].LinkTargets.at("link"), "alpha.txt");
  EXPECT_EQ(model.Types.at(".txt").MimeType, "text/plain");
  // Times before 1970 come back as written; only before 1601 is there none.
  EXPECT_EQ(UnixSeconds(FileTimeOfSeconds(-86400 * 400)), -86400 * 400);
}

TEST(CatalogData, TheDataIsLinesOfBase64ThatDecodeAlone) {
  const Written written = WriteCatalog();
  const size_t start = written.page.find(kCatalogDataStart) + std::string(kCatalogDataStart).size();
  const size_t end = written.page.find(kCatalogDataEnd, start);
  size_t line_start = start, lines = 0;
  while (line_start < end) {
    const size_t line_end = written.page.find('\n', line_start);
    const size_t length = line_end - line_start;
    EXPECT_LE(length, 4096u);
    if (line_end + 1 < end) {
      EXPECT_EQ(length % 4, 0u);
    }
    EXPECT_EQ(written.page.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=", line_start),
              line_end);
    line_start = line_end + 1;
    ++lines;
  }
  EXPECT_GT(lines, 1u);
}

TEST(CatalogData, DamagedOrCutDataIsRefusedWithWhatIsWrong) {
  const std::string page = WriteCatalog().page;
  const size_t start = page.find(kCatalogDataStart) + std::string(kCatalogDataStart).size();
  const size_t end = page.find(kCatalogDataEnd, start);
  std::string flipped = page;
  flipped[start + 200] = flipped[start + 200] == 'A' ? 'B' : 'A';
  // Cut at a line's end, the base64 whole and the stream not.
  const size_t middle = page.find('\n', start + (end - start) / 2);
  std::string cut = page.substr(0, middle + 1) + page.substr(end);
  std::string cut_in_a_group = page.substr(0, middle - 1) + "\n" + page.substr(end);
  std::string padded_early = page;
  padded_early[start + 5] = '=';
  // A group of padding alone, after an element cut inside its opening line.
  const std::string only_padding = std::string(kCatalogDataTag) + " data-versi\n\n====\n" + kCatalogDataEnd;
  for (const auto& [damaged, words] : {std::pair<std::string, std::string>{flipped, "damaged"},
                                       {cut, "cut short"},
                                       {cut_in_a_group, "inside a group"},
                                       {padded_early, "base64"},
                                       {only_padding, "pads a base64 group"},
                                       {"<html><body>no catalog</body></html>", "no catalog"}}) {
    ListingModel model;
    std::string error;
    EXPECT_FALSE(ReadCatalogPage(damaged, model, error));
    EXPECT_NE(error.find(words), std::string::npos) << error;
  }
}

}  // namespace

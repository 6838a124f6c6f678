#include "output/document_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Keeps what is written; fails every write from the given one on.
struct RecordingSink : ByteSink {
  bool Write(std::string_view bytes) override {
    if (writes++ >= failFrom) return false;
    bytes_.append(bytes);
    return true;
  }
  std::string bytes_;
  int writes = 0;
  int failFrom = 1 << 30;
};

// A listing whose files bear the names.
DirFileStruct Files(std::initializer_list<const char*> names) {
  DirFileStruct listing;
  for (const char* name : names) {
    listing.FileList.emplace_back();
    listing.FileList.back().Find.cFileName = name;
  }
  return listing;
}

const RowComposer kNameLines = [](const FileInfoX& entry, std::string& row) {
  row += entry.Find.cFileName + "\n";
};

TEST(DocumentText, TextsAndListRowsComeInDocumentOrder) {
  const DirFileStruct listing = Files({"a", "b", "c"});
  DocumentText doc;
  AppendText(doc, "head ");
  AppendText(doc, "");
  AppendText(doc, "line\n");
  AppendListRows(doc, EntryList::kFiles);
  AppendText(doc, "--\n");
  AppendListRows(doc, EntryList::kFiles);
  AppendListRows(doc, EntryList::kFolders);
  EXPECT_EQ(doc.Pieces.size(), 5u) << "texts that follow one another share a piece";
  EXPECT_EQ(Flatten(doc, listing, kNameLines), "head line\na\nb\nc\n--\na\nb\nc\n")
      << "rows in the list's own order, each time";
  EXPECT_EQ(DocumentLength(doc, listing, kNameLines), Flatten(doc, listing, kNameLines).size());
  EXPECT_EQ(Flatten(doc, listing, nullptr), "head line\n--\n") << "no rows without a composer";
  EXPECT_EQ(Flatten(DocumentText(), listing, kNameLines), "");
}

TEST(DocumentText, RowsComeInLargeRunsAndAFalseVisitStops) {
  DirFileStruct listing;
  listing.FolderList.resize(20000);
  DocumentText doc;
  AppendListRows(doc, EntryList::kFolders);
  const RowComposer ten_bytes = [](const FileInfoX&, std::string& row) { row += "0123456789"; };
  int visits = 0;
  size_t length = 0;
  EXPECT_TRUE(VisitDocumentTexts(doc, listing, ten_bytes, [&](std::string_view text) {
    ++visits;
    length += text.size();
    return true;
  }));
  EXPECT_EQ(length, 200000u);
  EXPECT_LE(visits, 4) << "not one visit per row";
  visits = 0;
  EXPECT_FALSE(VisitDocumentTexts(doc, listing, ten_bytes, [&](std::string_view) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);
}

TEST(WriteDocument, EveryLineEndBecomesTheOneAskedFor) {
  const DirFileStruct listing = Files({"x", "y\r"});
  DocumentText doc;
  AppendText(doc, "a\r\nb\nc\r");
  AppendListRows(doc, EntryList::kFiles);
  AppendText(doc, "\n");
  const RowComposer lines = [](const FileInfoX& entry, std::string& row) {
    row += "\n" + entry.Find.cFileName;
  };
  for (const char* line_end : {"\r\n", "\n"}) {
    RecordingSink sink;
    ASSERT_TRUE(WriteDocument(doc, listing, lines, sink, line_end));
    const std::string e = line_end;
    EXPECT_EQ(sink.bytes_, "a" + e + "b" + e + "c" + e + "x" + e + "y" + e)
        << "a CR that ends one piece and the LF that starts the next are one line end";
  }
  doc = DocumentText();
  AppendText(doc, "a\rb\r");
  RecordingSink sink;
  ASSERT_TRUE(WriteDocument(doc, listing, lines, sink, "\r\n"));
  EXPECT_EQ(sink.bytes_, "a\rb\r") << "a lone CR is no line end and stays";
}

TEST(WriteDocument, AFailedWriteEndsTheWrite) {
  const DirFileStruct listing = Files({"a", "b"});
  DocumentText doc;
  AppendText(doc, "one\r\n");
  AppendListRows(doc, EntryList::kFiles);
  RecordingSink sink;
  sink.failFrom = 1;
  EXPECT_FALSE(WriteDocument(doc, listing, kNameLines, sink, "\n"));
  EXPECT_EQ(sink.writes, 2) << "nothing is written after the failure";
}

}  // namespace

#include "output/document_text.h"

#include <gtest/gtest.h>

#include <deque>
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

std::deque<FileInfoX> Entries(std::initializer_list<const char*> names) {
  std::deque<FileInfoX> list;
  for (const char* name : names) {
    list.emplace_back();
    list.back().Find.cFileName = name;
  }
  return list;
}

void ComposeNameLines(DocumentText& doc) {
  doc.ComposeRow = [](const FileInfoX& entry, std::string& row) { row += entry.Find.cFileName + "\n"; };
}

TEST(DocumentText, TextsAndListRowsComeInDocumentOrder) {
  const std::deque<FileInfoX> list = Entries({"a", "b", "c"});
  const std::deque<FileInfoX> empty;
  DocumentText doc;
  AppendText(doc, "head ");
  AppendText(doc, "");
  AppendText(doc, "line\n");
  AppendListRows(doc, list, false);
  AppendText(doc, "--\n");
  AppendListRows(doc, list, true);
  AppendListRows(doc, empty, false);
  ComposeNameLines(doc);
  EXPECT_EQ(doc.Fragments.size(), 2u) << "texts that follow one another share a fragment";
  EXPECT_EQ(Flatten(doc), "head line\na\nb\nc\n--\nc\nb\na\n");
  EXPECT_EQ(DocumentLength(doc), Flatten(doc).size());

  doc.ComposeRow = nullptr;
  EXPECT_EQ(Flatten(doc), "head line\n--\n") << "no rows without a composer";
  ClearDocument(doc);
  EXPECT_EQ(Flatten(doc), "");
  EXPECT_TRUE(doc.Pieces.empty());
}

TEST(WriteDocument, EveryLineEndBecomesTheOneAskedFor) {
  const std::deque<FileInfoX> list = Entries({"x", "y\r"});
  DocumentText doc;
  AppendText(doc, "a\r\nb\nc\r");
  AppendListRows(doc, list, false);
  AppendText(doc, "\n");
  doc.ComposeRow = [](const FileInfoX& entry, std::string& row) { row += "\n" + entry.Find.cFileName; };
  for (const char* line_end : {"\r\n", "\n"}) {
    RecordingSink sink;
    ASSERT_TRUE(WriteDocument(doc, sink, line_end));
    const std::string e = line_end;
    EXPECT_EQ(sink.bytes_, "a" + e + "b" + e + "c" + e + "x" + e + "y" + e)
        << "a CR that ends one piece and the LF that starts the next are one line end";
  }
  ClearDocument(doc);
  AppendText(doc, "a\rb\r");
  RecordingSink sink;
  ASSERT_TRUE(WriteDocument(doc, sink, "\r\n"));
  EXPECT_EQ(sink.bytes_, "a\rb\r") << "a lone CR is no line end and stays";
}

TEST(WriteDocument, AFailedWriteEndsTheWrite) {
  const std::deque<FileInfoX> list = Entries({"a", "b"});
  DocumentText doc;
  AppendText(doc, "one\r\n");
  AppendListRows(doc, list, false);
  ComposeNameLines(doc);
  RecordingSink sink;
  sink.failFrom = 1;
  EXPECT_FALSE(WriteDocument(doc, sink, "\n"));
  EXPECT_EQ(sink.writes, 2) << "nothing is written after the failure";
}

}  // namespace

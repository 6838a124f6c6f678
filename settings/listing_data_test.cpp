#include "settings/listing_data.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string Flat(const DocumentText& doc) {
  std::string flat;
  VisitDocumentTexts(doc, [&flat](std::string_view text) {
    flat += text;
    return true;
  });
  return flat;
}

TEST(DocumentTextCopy, HoldsItsOwnFlatText) {
  auto list = std::make_unique<std::deque<FileInfoX>>(3);
  (*list)[0].Find.cFileName = "a";
  (*list)[1].Find.cFileName = "b";
  (*list)[2].Find.cFileName = "c";
  auto original = std::make_unique<DocumentText>();
  original->Fragments = {"<", ">"};
  original->Pieces = {{&original->Fragments[0], nullptr, false},
                      {nullptr, list.get(), true},
                      {&original->Fragments[1], nullptr, false}};
  original->ComposeRow = [](const FileInfoX& entry, std::string& row) { row += entry.Find.cFileName; };
  ASSERT_EQ(Flat(*original), "<cba>");

  DocumentText copy(*original);
  DocumentText assigned;
  assigned = *original;
  original.reset();
  list.reset();
  EXPECT_EQ(Flat(copy), "<cba>") << "the copy outlives the lists and the original";
  EXPECT_EQ(Flat(assigned), "<cba>");
  EXPECT_FALSE(copy.ComposeRow);

  assigned = DocumentText();
  EXPECT_EQ(Flat(assigned), "");
  EXPECT_EQ(Flat(DocumentText(assigned)), "");
}

TEST(VisitDocumentTexts, RowsComeInLargeRunsAndAFalseVisitStops) {
  std::deque<FileInfoX> list(20000);
  DocumentText doc;
  doc.Pieces = {{nullptr, &list, false}};
  doc.ComposeRow = [](const FileInfoX&, std::string& row) { row += "0123456789"; };
  int visits = 0;
  size_t length = 0;
  EXPECT_TRUE(VisitDocumentTexts(doc, [&](std::string_view text) {
    ++visits;
    length += text.size();
    return true;
  }));
  EXPECT_EQ(length, 200000u);
  EXPECT_LE(visits, 4) << "not one visit per row";
  visits = 0;
  EXPECT_FALSE(VisitDocumentTexts(doc, [&](std::string_view) { return ++visits < 2; }));
  EXPECT_EQ(visits, 2);
}

}  // namespace

#include "output/html_rows.h"

#include <gtest/gtest.h>

#include "output/forms.h"
#include "settings/columns.h"
#include "tests/memory_folder_source.h"

namespace {

class RowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record.Name = "Name";
    record.Type = "Type";
    record.Size = "Size";
    record.CapColor = "C";
    record.KeyCapColor = "K";
    record.KeyColColor = "KC";
    record.FileSize = "bytes";
    record.Folder = "Folder";
    record.File = "File";
    record.CreateLinks = true;
  }

  // The row of the entry, in a listing of it alone enriched as the form's
  // rows need.
  std::string Row(const std::string& name, uint32_t attributes, uint64_t size = 0) {
    ListingRun run;
    run.Settings = &record;
    run.Form = &FormOf(FormCode::kHtml);
    run.Folder = folder;
    run.Times = TimeLayoutNamed(record.TimeStyle);
    auto& list = IsFolder(attributes) ? run.Listing.FolderList : run.Listing.FileList;
    list.push_back({MakeRecord(name, attributes, size)});
    EnrichListing(run.Listing, folder, source, run.Form->Needs(record));
    std::string row;
    AppendEntryRow(run, list.front(), row);
    return row;
  }

  CommonStruct record;
  MemoryFolderSource source;
  std::string folder = std::string("C:") + FolderSeparator() + "My Data";
};

TEST_F(RowTest, CaptionRowMarksTheKeyColumnOnlyWhenItIsShown) {
  record.Columns.Set(ColumnId::kType);
  record.SortBy = kSortByType;
  EXPECT_EQ(ComposeCaptionRow(record),
            "<TR CLASS = CaptionCl><TD BGCOLOR = C>Name</TD><TD BGCOLOR = K>Type</TD></TR>\n");
  record.SortBy = kSortBySize;
  record.CapColor.clear();
  EXPECT_EQ(ComposeCaptionRow(record),
            "<TR CLASS = CaptionCl><TD BGCOLOR = >Name</TD><TD BGCOLOR = >Type</TD></TR>\n");
}

TEST_F(RowTest, NamesAreLinkedAndEscaped) {
  EXPECT_EQ(Row("a&b <c>.txt", 32),
            "<TR><TD BGCOLOR = KC><A HREF = a%26b%20%3Cc%3E.txt CLASS = NameCl>a&amp;b "
            "&lt;c&gt;.txt</A></TD></TR>\n");
  EXPECT_EQ(Row("c:x", 32), "<TR><TD BGCOLOR = KC><A HREF = ./c:x CLASS = NameCl>c:x</A></TD></TR>\n")
      << "a colon must not turn the name into a scheme";
  record.FullNames = true;
  EXPECT_EQ(Row("My File", 32),
            "<TR><TD BGCOLOR = KC><A HREF = /C:/My%20Data/My%20File CLASS = NameCl>My File</A></TD></TR>\n");
  record.CreateLinks = false;
  record.SortBy = kSortBySize;
  EXPECT_EQ(Row("x<y", 32), "<TR><TD><DIV CLASS = NameCl>x&lt;y</DIV></TR>\n");
}

TEST_F(RowTest, BackslashesInPosixNamesStayInTheName) {
  if (FolderSeparator() != '/') GTEST_SKIP() << "a Windows name holds no backslash";
  EXPECT_EQ(Row("\\\\evil.example\\login", 32),
            "<TR><TD BGCOLOR = KC><A HREF = %5C%5Cevil.example%5Clogin CLASS = NameCl>"
            "\\\\evil.example\\login</A></TD></TR>\n");
  EXPECT_EQ(Row("c:\\x", 32), "<TR><TD BGCOLOR = KC><A HREF = ./c:%5Cx CLASS = NameCl>c:\\x</A></TD></TR>\n");
  record.FullNames = true;
  folder = "/srv/x\\";
  EXPECT_EQ(Row("..\\..\\etc\\passwd", 32),
            "<TR><TD BGCOLOR = KC><A HREF = /srv/x%5C/..%5C..%5Cetc%5Cpasswd CLASS = NameCl>"
            "..\\..\\etc\\passwd</A></TD></TR>\n")
      << "a folder whose name ends in a backslash is followed by its separator";
}

TEST_F(RowTest, SizeCellsFollowTheUnitAndFoldersShowTheMarker) {
  record.Columns.Set(ColumnId::kSize);
  record.SortBy = kSortByName;
  record.CreateLinks = false;
  const std::string name_cell = "<TR><TD BGCOLOR = KC><DIV CLASS = NameCl>f</DIV>";
  record.SizeIn = kSizeInBytes;
  EXPECT_EQ(Row("f", 32, 1234567), name_cell + "<TD>1 234 567 bytes</TD></TR>\n");
  record.SizeIn = kSizeInKilobytes;
  EXPECT_EQ(Row("f", 32, 1536), name_cell + "<TD>1.50 bytes</TD></TR>\n");
  record.SizeIn = kSizeInMegabytes;
  EXPECT_EQ(Row("f", 32, 5368709120ULL), name_cell + "<TD>5120.00 bytes</TD></TR>\n");
  record.SizeIn = static_cast<SizeUnit>(7);
  EXPECT_EQ(Row("f", 32, 10), name_cell + "<TD> bytes</TD></TR>\n");
  EXPECT_EQ(Row("f", 16, 10), name_cell + "<TD>[..]</TD></TR>\n");
}

TEST_F(RowTest, SizesForPeopleAndIsoTimes) {
  record.Columns = ColumnsOfLetters("SW");
  record.SortBy = kSortByName;
  record.CreateLinks = false;
  record.HumanSizes = true;
  record.TimeStyle = "iso";
  const std::string name_cell = "<TR><TD BGCOLOR = KC><DIV CLASS = NameCl>f</DIV>";
  EXPECT_EQ(Row("f", 32, 1536), name_cell + "<TD>1.5 KB</TD><TD>2006-03-05 14:07</TD></TR>\n")
      << "the unit in the cell, no $FileSize word";
  record.Columns.Set(ColumnId::kSeconds);
  EXPECT_EQ(Row("f", 32, 10), name_cell + "<TD>10 B</TD><TD>2006-03-05 14:07:09</TD></TR>\n");
  EXPECT_EQ(Row("f", 16), name_cell + "<TD>[..]</TD><TD>2006-03-05 14:07:09</TD></TR>\n");
}

TEST_F(RowTest, EveryColumnInTableOrder) {
  record.Columns = ColumnsOfLetters("STWCRAH");
  record.SortBy = kSortByAttributes;
  record.CreateLinks = false;
  record.SizeIn = kSizeInBytes;
  source.Types[".txt"] = "Text";
  EXPECT_EQ(Row("n.txt", 33, 10),
            "<TR><TD><DIV CLASS = NameCl>n.txt</DIV><TD>Text</TD><TD>10 bytes</TD>"
            "<TD>05.03.2006 14:07:09</TD><TD>04.03.2006 14:07:09</TD><TD>05.03.2006 14:08:09</TD>"
            "<TD BGCOLOR = KC>R A </TD></TR>\n");
  EXPECT_EQ(Row("Sub", 16),
            "<TR><TD><DIV CLASS = NameCl>Sub</DIV><TD>Folder</TD><TD>[..]</TD>"
            "<TD>05.03.2006 14:07:09</TD><TD>04.03.2006 14:07:09</TD><TD>05.03.2006 14:08:09</TD>"
            "<TD BGCOLOR = KC>Dir</TD></TR>\n");
}

}  // namespace

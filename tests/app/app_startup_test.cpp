// Start-up, the main window, its pages and the enabling rules, on the real
// program under Wine and Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/app_harness.h"
#include "tests/test_support.h"

namespace {

using app::RunningApp;
using driver::CheckStateOf;
using driver::IsEnabled;
using driver::IsVisible;

class AppStartupTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app_.Start(folder_.path())); }
  void TearDown() override { app_.CloseDiscardingChanges(); }

  HWND Main() const { return app_.main(); }

  ScopedTempFolder folder_;
  RunningApp app_;
};

// The built-in default settings as they reach the disk, pinned beside the
// settings tests.
const std::string kBuiltInSettings = ReadFileBytes(TestDataPath("settings_default.ksv"));

TEST_F(AppStartupTest, WritesTheBuiltInDefaultFileBesideItself) {
  EXPECT_EQ(Visible(ReadFileBytes(app_.DefaultSettingsPath())), Visible(kBuiltInSettings));
}

TEST_F(AppStartupTest, ControlsShowTheFreshInstallationValues) {
  struct Expected {
    const char* what;
    HWND control;
    std::string text;
  };
  const std::string kCaptionStyle =
      "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:green;\r\n";
  const Expected texts[] = {
      {"source folder", app_.SourceFolderEdit(), "C:\\"},
      {"output file", app_.OutputFileEdit(), "C:\\FolderIndex.html"},
      {"title", app_.Find(kTitleEdit), "Content of $DirPath"},
      {"base", app_.Find(kBaseCombo), "file://localhost/$DirPath"},
      {"cell spacing", app_.Find(kCellSpacingEdit), "2"},
      {"cell padding", app_.Find(kCellPaddingEdit), "4"},
      {"table width", app_.Find(kTableWidthEdit), "100%"},
      {"folder mask", app_.Find(kDirMaskEdit), "*.*"},
      {"file mask", app_.Find(kFileMaskEdit), "*.*"},
      {"Name", app_.Find(kNameCaptionEdit), "Name"},
      {"Size", app_.Find(kSizeCaptionEdit), "Size"},
      {"Type", app_.Find(kTypeCaptionEdit), "Type"},
      {"LW", app_.Find(kLastWriteCaptionEdit), "Last Write"},
      {"LR", app_.Find(kLastReadCaptionEdit), "Last Read"},
      {"CT", app_.Find(kCreationCaptionEdit), "Creation time"},
      {"Attr", app_.Find(kAttributesCaptionEdit), "Attributes"},
      {"$TotalSize", app_.Find(kTotalSizeWordEdit), "Total size"},
      {"$File", app_.Find(kFileWordEdit), "File"},
      {"$Folder", app_.Find(kFolderWordEdit), "Folder"},
      {"$FileSize", app_.Find(kBytesWordCombo), "bytes"},
      {"$UserWord1", app_.Find(kUserWord1Edit), "UserWord1"},
      {"$UserWord2", app_.Find(kUserWord2Edit), "UserWord2"},
      {"$UserWord3", app_.Find(kUserWord3Edit), "UserWord3"},
      {"$ContentOf", app_.Find(kContentOfWordEdit), "Content of"},
      {"$Files", app_.Find(kFilesWordEdit), "Files"},
      {"$Folders", app_.Find(kFoldersWordEdit), "Folders"},
      {"CapColor", app_.Find(kCapColorCombo), "LIGHTBLUE"},
      {"KeyCapColor", app_.Find(kKeyCapColorCombo), "HONEYDEW"},
      {"KeyColColor", app_.Find(kKeyColColorCombo), "LIGHTBLUE"},
      {"TableColor", app_.Find(kTableColorCombo), "None"},
      {"DocColor", app_.Find(kDocColorCombo), "None"},
      {"HeadCustom", app_.Find(kHeadCustomMemo), "<META NAME =\"keywords\"  CONTENT =\"$DirPath\">"},
      {"Befor", app_.Find(kBeforMemo), ""},
      {"After", app_.Find(kAfterMemo), ""},
      {"CustTable", app_.Find(kCustTableMemo), ""},
      {"MaskStyle", app_.Find(kMaskStyleMemo),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:navy;\r\n"},
      {"NameStyle", app_.Find(kNameStyleMemo),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
       "text-decoration: underline;\r\ncolor:navy;"},
      {"TitleStyle", app_.Find(kTitleStyleMemo),
       "font-family: sans-serif;\r\nfont-size: medium;\r\nfont-weight: 700;\r\ncolor:navy;\r\n"},
      {"TableStyle", app_.Find(kTableStyleMemo),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:red;\r\n"},
      {"CaptionStyle", app_.Find(kCaptionStyleMemo), kCaptionStyle},
      {"SummaryStyle", app_.Find(kSummaryStyleMemo),
       "Summary\r\nfont-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
       "color:blue;\r\n"},
  };
  for (const Expected& expected : texts) {
    SCOPED_TRACE(expected.what);
    ASSERT_NE(expected.control, nullptr);
    EXPECT_EQ(Visible(app::Text(expected.control)), Visible(expected.text));
  }

  struct Box {
    const char* group;
    const char* text;
    int state;
  };
  const Box boxes[] = {
      {" Select Columns ", "Size", 0},
      {" Select Columns ", "Type", 1},
      {" Select Columns ", "Last write", 0},
      {" Select Columns ", "Last read", 1},
      {" Select Columns ", "Creation time", 0},
      {" Select Columns ", "Show seconds", 0},
      {" Select Columns ", "Attributes", 0},
      {" Sort by ", "Name", 1},
      {" Sort by ", "Size", 0},
      {" Sort by ", "Type", 0},
      {" Sort by ", "Last Write", 0},
      {" Sort by ", "Last Read", 0},
      {" Sort by ", "Creation time", 0},
      {" Sort by ", "Attributes", 0},
      {" Sort by ", "Desc. sorting", 0},
      {" Sort by ", "Ignore case", 1},
      {" Output Format ", "TXT", 0},
      {" Output Format ", "HTML", 1},
      {" HTML", "Table border", 1},
      {" HTML", "Generate two tables", 0},
      {" HTML", "Use full file names as links", 0},
      {" HTML", "Create links from file names", 1},
      {" HTML", "Include parent", 0},
      {" HTML", "Show summary", 1},
      {" HTML", "Show masks", 1},
  };
  for (const Box& box : boxes) {
    SCOPED_TRACE(std::string(box.group) + box.text);
    EXPECT_EQ(CheckStateOf(app_.InGroup(box.group, box.text)), box.state);
  }

  HWND sizeIn = app_.Find(kSizeInCombo);
  EXPECT_EQ(app::ComboSelection(sizeIn), 1);
  EXPECT_EQ(app::Text(sizeIn), "kilobytes");
  EXPECT_EQ(app::ComboSelection(app_.Find(kTableColorCombo)), 0);
}

TEST_F(AppStartupTest, MainWindowHasItsPlaceAndCannotBeResized) {
  RECT rect{};
  GetWindowRect(Main(), &rect);
  EXPECT_EQ(rect.left, 50);
  EXPECT_EQ(rect.top, 100);
  EXPECT_EQ(rect.right - rect.left, 535);
  EXPECT_EQ(rect.bottom - rect.top, 350);
  LONG style = GetWindowLongA(Main(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);

  for (const char* command : {"Open", "Save", "Save as", "Generate", "Web Site", "Exit"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(app_.Button(command), nullptr);
  }
  EXPECT_EQ(app_.Find(kOpenButton), app_.Button("Open"));
  EXPECT_EQ(app_.Find(kExitButton), app_.Button("Exit"));
}

// The window is built from the layout's rows: each control is found at the
// place of its row, once, with the size and caption the row gives.
TEST_F(AppStartupTest, EveryRowOfTheLayoutIsAControlAtItsPlace) {
  std::vector<HWND> found;
  for (const ControlLayout& row : kControlLayout) {
    SCOPED_TRACE(row.id);
    HWND control = app_.Find(row.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(std::count(found.begin(), found.end(), control), 0) << "found for an earlier row too";
    found.push_back(control);
    if (row.kind == kTopWindow) continue;
    RECT rect{};
    GetWindowRect(control, &rect);
    if (row.width != kKeep) {
      EXPECT_EQ(rect.right - rect.left, row.width);
    }
    if (row.height != kKeep) {
      EXPECT_EQ(rect.bottom - rect.top, row.height);
    }
    bool captioned = row.kind == kLabel || row.kind == kCheckBox || row.kind == kRadioButton ||
                     row.kind == kPushButton || row.kind == kGroupBox;
    if (captioned) {
      EXPECT_EQ(driver::TextOf(control), row.text);
    }
  }
}

TEST_F(AppStartupTest, HtmlPageControlsOverlapNothing) {
  HWND html = app_.Group(" HTML");
  std::vector<HWND> controls;
  for (HWND child : driver::FindChildren(html, "")) {
    if (GetAncestor(child, GA_PARENT) == html) controls.push_back(child);
  }
  ASSERT_EQ(controls.size(), 23u);
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      RECT a{}, b{}, overlap{};
      GetWindowRect(controls[i], &a);
      GetWindowRect(controls[j], &b);
      EXPECT_FALSE(IntersectRect(&overlap, &a, &b))
          << "\"" << driver::TextOf(controls[i]) << "\" overlaps \"" << driver::TextOf(controls[j]) << "\"";
    }
  }
}

TEST_F(AppStartupTest, NumberEditsTakeTwoDigitsAndTableWidthFourCharacters) {
  HWND spacing = app_.Find(kCellSpacingEdit);
  HWND padding = app_.Find(kCellPaddingEdit);
  HWND width = app_.Find(kTableWidthEdit);
  for (HWND number : {spacing, padding}) {
    EXPECT_TRUE(GetWindowLongA(number, GWL_STYLE) & ES_NUMBER);
    EXPECT_EQ(SendMessageA(number, EM_GETLIMITTEXT, 0, 0), 2);
  }
  EXPECT_FALSE(GetWindowLongA(width, GWL_STYLE) & ES_NUMBER);
  EXPECT_EQ(SendMessageA(width, EM_GETLIMITTEXT, 0, 0), 4);

  // Typed characters: the spacing edit refuses a letter and a third digit.
  SendMessageA(spacing, EM_SETSEL, 0, -1);
  for (char c : std::string("7x83")) SendMessageA(spacing, WM_CHAR, c, 0);
  EXPECT_EQ(app::Text(spacing), "78");
  SendMessageA(width, EM_SETSEL, 0, -1);
  for (char c : std::string("50em%")) SendMessageA(width, WM_CHAR, c, 0);
  EXPECT_EQ(app::Text(width), "50em");
}

TEST_F(AppStartupTest, CombosHaveTheirStylesAndItems) {
  HWND base = app_.Find(kBaseCombo);
  HWND sizeIn = app_.Find(kSizeInCombo);
  HWND bytes = app_.Find(kBytesWordCombo);
  HWND capColor = app_.Find(kCapColorCombo);
  HWND docColor = app_.Find(kDocColorCombo);
  // A combo box hands WS_VSCROLL on to its list, so the box itself lacks it.
  const LONG kNotKept = WS_VISIBLE | WS_VSCROLL;
  // Every box is a tab stop of its own; the editable ones scroll their text.
  const LONG kKeyboard = WS_TABSTOP | WS_GROUP;
  EXPECT_EQ(GetWindowLongA(base, GWL_STYLE) & ~kNotKept,
            (0x40200082 | CBS_AUTOHSCROLL | kKeyboard) & ~kNotKept);
  EXPECT_EQ(GetWindowLongA(bytes, GWL_STYLE) & ~kNotKept,
            (0x40200082 | CBS_AUTOHSCROLL | kKeyboard) & ~kNotKept);
  EXPECT_EQ(GetWindowLongA(sizeIn, GWL_STYLE) & ~kNotKept, (0x402000C3 | kKeyboard) & ~kNotKept);
  EXPECT_EQ(GetWindowLongA(capColor, GWL_STYLE) & ~kNotKept, (0x402000C2 | kKeyboard) & ~kNotKept);

  auto items = [](HWND combo) {
    std::vector<std::string> texts;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      // Between processes the item text arrives in the wide form.
      wchar_t text[64] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      std::string narrow;
      for (const wchar_t* c = text; *c != 0; ++c) narrow += static_cast<char>(*c);
      texts.push_back(narrow);
    }
    return texts;
  };
  using Items = std::vector<std::string>;
  EXPECT_EQ(items(base), (Items{"file://localhost/$DirPath", "http://www.example.com/files/"}));
  EXPECT_EQ(items(sizeIn), (Items{"bytes", "kilobytes", "megabytes"}));
  EXPECT_EQ(items(bytes), (Items{"bytes", "Kb", "Mb"}));
  EXPECT_EQ(items(capColor), (Items{"None", "White", "HoneyDew", "LightBlue", "LightGrey"}));
  EXPECT_EQ(items(docColor), (Items{"None", "White", "Honey Dew", "Light Blue", "Light Grey"}));
}

// What each tree item shows: the item's path in the tree, the page's name
// for the screenshot, and one control that only that page shows.
struct PageCase {
  std::vector<int> item;
  const char* name;
  Page page;
};

TEST_F(AppStartupTest, EveryTreeItemShowsItsPage) {
  // The controls of each page code, by how the test finds them.
  struct PageControl {
    Page page;
    const char* what;
    HWND control;
  };
  const PageControl controls[] = {
      {kMainPage, "source folder label", app_.Find(kSourceFolderLabel)},
      {kMainPage, "source folder", app_.SourceFolderEdit()},
      {kMainPage, "source >>", app_.SourceFolderButton()},
      {kMainPage, "output file label", app_.Find(kOutputFileLabel)},
      {kMainPage, "output file", app_.OutputFileEdit()},
      {kMainPage, "output >>", app_.OutputFileButton()},
      {kMainPage, "columns", app_.Group(" Select Columns ")},
      {kMainPage, "sort", app_.Group(" Sort by ")},
      {kHtmlPage, "html", app_.Group(" HTML")},
      {kBackgroundPage, "background", app_.Group("Background")},
      {kCaptionsPage, "captions", app_.Group("Columns Captions")},
      {kWordsPage, "words", app_.Group("Words")},
      {kCustomHeadPage, "head label", app_.Find(kHeadCustomLabel)},
      {kCustomHeadPage, "head", app_.Find(kHeadCustomMemo)},
      {kCustomBeginningPage, "beginning label", app_.Find(kBeforLabel)},
      {kCustomBeginningPage, "beginning", app_.Find(kBeforMemo)},
      {kCustomEndPage, "end label", app_.Find(kAfterLabel)},
      {kCustomEndPage, "end", app_.Find(kAfterMemo)},
      {kCustomTablePage, "table html label", app_.Find(kCustTableLabel)},
      {kCustomTablePage, "table html", app_.Find(kCustTableMemo)},
      {kMaskAndTableStylePage, "mask style", app_.Find(kMaskStyleMemo)},
      {kMaskAndTableStylePage, "mask style label", app_.Find(kMaskStyleLabel)},
      {kMaskAndTableStylePage, "table style", app_.Find(kTableStyleMemo)},
      {kMaskAndTableStylePage, "table style label", app_.Find(kTableStyleLabel)},
      {kNameAndCaptionStylePage, "name style", app_.Find(kNameStyleMemo)},
      {kNameAndCaptionStylePage, "caption style", app_.Find(kCaptionStyleMemo)},
      {kTitleAndSummaryStylePage, "title style", app_.Find(kTitleStyleMemo)},
      {kTitleAndSummaryStylePage, "summary style", app_.Find(kSummaryStyleMemo)},
      {kInfoPage, "info", app_.Find(kInfoMemo)},
  };
  for (const PageControl& control : controls) {
    ASSERT_NE(control.control, nullptr) << control.what;
  }
  HWND alwaysShown[] = {app_.Find(kPageTree), app_.Group(" Output Format "), app_.Button("Open"),
                        app_.Button("Generate"), app_.Button("Exit")};

  const PageCase cases[] = {
      {{0}, "main", kMainPage},
      {{1}, "html", kHtmlPage},
      {{2}, "background", kBackgroundPage},
      {{3}, "columns-captions", kCaptionsPage},
      {{4}, "words", kWordsPage},
      {{5}, "custom-html", kMainPage},
      {{5, 0}, "custom-head", kCustomHeadPage},
      {{5, 1}, "custom-beginning", kCustomBeginningPage},
      {{5, 2}, "custom-end", kCustomEndPage},
      {{5, 3}, "custom-table-html", kCustomTablePage},
      {{6}, "styles", kMainPage},
      {{6, 0}, "mask-style", kMaskAndTableStylePage},
      {{6, 1}, "table-style", kMaskAndTableStylePage},
      {{6, 2}, "name-style", kNameAndCaptionStylePage},
      {{6, 3}, "table-caption-style", kNameAndCaptionStylePage},
      {{6, 4}, "title-style", kTitleAndSummaryStylePage},
      {{6, 5}, "summary-style", kTitleAndSummaryStylePage},
      {{7}, "info", kInfoPage},
  };
  for (const PageCase& page : cases) {
    SCOPED_TRACE(page.name);
    ASSERT_TRUE(app_.SelectTreeItem(page.item));
    for (const PageControl& control : controls) {
      EXPECT_EQ(IsVisible(control.control), control.page == page.page) << control.what;
    }
    for (HWND control : alwaysShown) EXPECT_TRUE(IsVisible(control));
    app::Screenshot("page-" + std::string(page.name));
  }
}

TEST_F(AppStartupTest, InfoPageIsReadOnlyAboutText) {
  HWND info = app_.Find(kInfoMemo);
  EXPECT_TRUE(GetWindowLongA(info, GWL_STYLE) & ES_READONLY);
  std::string about = app::Text(info);
  EXPECT_EQ(about.rfind("About Kestrova 1.51\r\n\r\n", 0), 0u) << about;
  EXPECT_NE(about.find("Build: May 31, 2006\r\n\r\n\r\n\r\n\r\nDISCLAIMER:\r\n"), std::string::npos);
  EXPECT_NE(about.find("https://www.example.org/kestrova/"), std::string::npos);
  EXPECT_EQ(about.substr(about.size() - 2), "\r\n");
}

// The controls that only HTML output uses, and some that every output uses.
TEST_F(AppStartupTest, TxtDisablesTheHtmlOptionsAndHtmlEnablesThem) {
  struct Control {
    const char* what;
    HWND control;
  };
  const Control htmlOnly[] = {
      {"columns group", app_.Group(" Select Columns ")},
      {"Size", app_.InGroup(" Select Columns ", "Size")},
      {"Type", app_.InGroup(" Select Columns ", "Type")},
      {"Last write", app_.InGroup(" Select Columns ", "Last write")},
      {"Last read", app_.InGroup(" Select Columns ", "Last read")},
      {"Creation time", app_.InGroup(" Select Columns ", "Creation time")},
      {"Show seconds", app_.InGroup(" Select Columns ", "Show seconds")},
      {"Attributes", app_.InGroup(" Select Columns ", "Attributes")},
      {"create links", app_.InGroup(" HTML", "Create links from file names")},
      {"two tables", app_.InGroup(" HTML", "Generate two tables")},
      {"full names", app_.InGroup(" HTML", "Use full file names as links")},
      {"table border", app_.InGroup(" HTML", "Table border")},
      {"base", app_.Find(kBaseCombo)},
      {"cell spacing label", app_.Find(kCellSpacingLabel)},
      {"cell spacing", app_.Find(kCellSpacingEdit)},
      {"cell padding label", app_.Find(kCellPaddingLabel)},
      {"cell padding", app_.Find(kCellPaddingEdit)},
      {"name caption", app_.Find(kNameCaptionEdit)},
      {"attributes caption", app_.Find(kAttributesCaptionEdit)},
      {"custom head", app_.Find(kHeadCustomMemo)},
      {"caption colour", app_.Find(kCapColorCombo)},
      {"document colour", app_.Find(kDocColorCombo)},
      {"mask style label", app_.Find(kMaskStyleLabel)},
      {"mask style", app_.Find(kMaskStyleMemo)},
      {"summary style label", app_.Find(kSummaryStyleLabel)},
      {"summary style", app_.Find(kSummaryStyleMemo)},
  };
  const Control always[] = {
      {"title", app_.Find(kTitleEdit)},
      {"table width", app_.Find(kTableWidthEdit)},
      {"folder mask", app_.Find(kDirMaskEdit)},
      {"file mask", app_.Find(kFileMaskEdit)},
      {"show summary", app_.InGroup(" HTML", "Show summary")},
      {"show masks", app_.InGroup(" HTML", "Show masks")},
      {"include parent", app_.InGroup(" HTML", "Include parent")},
      {"size in", app_.Find(kSizeInCombo)},
      {"sort by size", app_.InGroup(" Sort by ", "Size")},
      {"desc", app_.InGroup(" Sort by ", "Desc. sorting")},
      {"custom end", app_.Find(kAfterMemo)},
      {"words", app_.Find(kTotalSizeWordEdit)},
      {"generate", app_.Button("Generate")},
  };
  auto expectEnabled = [&](bool htmlChosen) {
    for (const Control& c : htmlOnly) EXPECT_EQ(IsEnabled(c.control), htmlChosen) << c.what;
    for (const Control& c : always) EXPECT_TRUE(IsEnabled(c.control)) << c.what;
  };

  expectEnabled(true);
  ASSERT_TRUE(driver::ClickAndWait(app_.TxtRadio()));
  EXPECT_EQ(CheckStateOf(app_.TxtRadio()), BST_CHECKED);
  EXPECT_EQ(CheckStateOf(app_.HtmlRadio()), BST_UNCHECKED);
  {
    SCOPED_TRACE("TXT");
    expectEnabled(false);
  }
  app::Screenshot("main-txt");
  ASSERT_TRUE(driver::ClickAndWait(app_.HtmlRadio()));
  {
    SCOPED_TRACE("HTML");
    expectEnabled(true);
  }
}

TEST_F(AppStartupTest, ShowSecondsNeedsHtmlAndATimeColumn) {
  HWND seconds = app_.InGroup(" Select Columns ", "Show seconds");
  HWND lastRead = app_.InGroup(" Select Columns ", "Last read");
  HWND lastWrite = app_.InGroup(" Select Columns ", "Last write");
  HWND creation = app_.InGroup(" Select Columns ", "Creation time");
  ASSERT_EQ(CheckStateOf(lastRead), BST_CHECKED);
  EXPECT_TRUE(IsEnabled(seconds));

  ASSERT_TRUE(driver::ClickAndWait(lastRead));
  EXPECT_FALSE(IsEnabled(seconds)) << "no time column";
  for (HWND timeColumn : {lastWrite, creation, lastRead}) {
    ASSERT_TRUE(driver::ClickAndWait(timeColumn));
    EXPECT_TRUE(IsEnabled(seconds));
    ASSERT_TRUE(driver::ClickAndWait(timeColumn));
    EXPECT_FALSE(IsEnabled(seconds));
  }

  ASSERT_TRUE(driver::ClickAndWait(lastWrite));
  ASSERT_TRUE(driver::ClickAndWait(app_.TxtRadio()));
  EXPECT_FALSE(IsEnabled(seconds)) << "text output";
  ASSERT_TRUE(driver::ClickAndWait(app_.HtmlRadio()));
  EXPECT_TRUE(IsEnabled(seconds));
}

TEST_F(AppStartupTest, CtrlShiftSRunsSaveAsAndCtrlSSavesAtOnce) {
  ASSERT_TRUE(app_.PressKeys({VK_CONTROL, VK_SHIFT}, {'S'}));
  HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr) << "Ctrl+Shift+S shows the save dialog";
  app::Screenshot("save-as-dialog");
  EXPECT_EQ(ReadFileBytes(app_.DefaultSettingsPath()), kBuiltInSettings);
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));

  ASSERT_TRUE(app_.PressKeys({VK_CONTROL}, {'S'}));
  // Ctrl+S writes the current settings file without a dialog.
  DWORD start = GetTickCount();
  while (ReadFileBytes(app_.DefaultSettingsPath()) == kBuiltInSettings && GetTickCount() - start < 10000) {
    Sleep(50);
  }
  EXPECT_EQ(ReadFileBytes(app_.DefaultSettingsPath()).rfind("Kestrova 1.5\r\nOutputFormat=0\r\n", 0), 0u);
  EXPECT_EQ(driver::WaitForTopWindowOfClass("#32770", 500, app_.processId()), nullptr);
}

TEST_F(AppStartupTest, CancelInTheSaveQuestionKeepsTheWindowOpen) {
  HWND title = app_.Find(kTitleEdit);
  ASSERT_TRUE(app::SetText(title, "Changed $DirPath"));
  ASSERT_TRUE(driver::Click(app_.Button("Exit")));
  HWND box = app_.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Visible(driver::MessageBoxText(box)),
            Visible("Would you like to save the changes to\r\n \"" + app_.DefaultSettingsPath() + "\"?"));
  app::Screenshot("save-question");
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDCANCEL));
  EXPECT_FALSE(app_.WaitForExit(1000));
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_EQ(app::Text(title), "Changed $DirPath");
  EXPECT_EQ(ReadFileBytes(app_.DefaultSettingsPath()), kBuiltInSettings);

  ASSERT_TRUE(PostMessageA(Main(), WM_CLOSE, 0, 0));
  box = app_.WaitForBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDNO));
  EXPECT_TRUE(app_.WaitForExit(10000));
  EXPECT_EQ(ReadFileBytes(app_.DefaultSettingsPath()), kBuiltInSettings);
}

TEST(AppStartupWithoutSettings, KeepsTheBuiltControlValuesAndSaveAsksForAFile) {
  ScopedTempFolder folder;
  // A folder in the settings file's place: it exists, but cannot be read.
  app::MakeFolder(folder.Join("default.ksv"));
  RunningApp app;
  ASSERT_TRUE(app.Start(folder.path()));
  EXPECT_EQ(app::Text(app.SourceFolderEdit()), "");
  EXPECT_EQ(app::Text(app.OutputFileEdit()), "");
  EXPECT_EQ(app::Text(app.Find(kTitleEdit)), "Content of $DirPath");
  EXPECT_EQ(app::Text(app.Find(kCellSpacingEdit)), "2");
  EXPECT_EQ(app::Text(app.Find(kHeadCustomMemo)), "<META NAME =\"keywords\" CONTENT =\"$DirPath\">");
  EXPECT_EQ(Visible(app::Text(app.Find(kCaptionStyleMemo))),
            Visible("font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
                    "text-decoration: none;\r\ncolor:green;"));
  EXPECT_EQ(CheckStateOf(app.InGroup(" HTML", "Generate two tables")), BST_CHECKED);
  EXPECT_EQ(CheckStateOf(app.InGroup(" Select Columns ", "Type")), BST_UNCHECKED);
  EXPECT_EQ(app::Text(app.Find(kCapColorCombo)), "LightBlue");

  // With no current settings file, Save asks where to save.
  ASSERT_TRUE(driver::Click(app.Button("Save")));
  HWND box = app.WaitForBox();
  ASSERT_NE(box, nullptr) << "the empty source folder is reported first";
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app.processId());
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(driver::TextOf(dialog), app::kTitle);
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));

  // So does Yes in the close question; cancelling that keeps the window open.
  // Untouched settings raise no question, so change one first.
  ASSERT_TRUE(app::SetText(app.Find(kTitleEdit), "Changed"));
  ASSERT_TRUE(PostMessageA(app.main(), WM_CLOSE, 0, 0));
  HWND question = app.WaitForBox();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(driver::MessageBoxText(question), "Save the settings?") << "no empty file name";
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDYES));
  dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app.processId());
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(driver::TextOf(dialog), app::kTitle) << "the save dialog, not another message";
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));
  EXPECT_FALSE(app.WaitForExit(1000));
  EXPECT_TRUE(app.CloseDiscardingChanges());
}

// The program file carries its icon, accelerators and version.
TEST(AppResources, IconAcceleratorsAndVersion) {
  HMODULE program = LoadLibraryExA(KESTROVA_APP_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr);

  HRSRC icons = FindResourceA(program, "MAINICON", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(icons, nullptr);
  const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(program, icons)));
  const WORD count = *reinterpret_cast<const WORD*>(group + 4);
  std::vector<int> sizes;
  for (WORD i = 0; i < count; ++i) sizes.push_back(group[6 + 14 * i]);
  EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));

  struct Accelerator {
    WORD flags, key, command, padding;
  };
  HRSRC table = FindResourceA(program, "Accels", MAKEINTRESOURCEA(9));  // RT_ACCELERATOR
  ASSERT_NE(table, nullptr);
  const auto* entries = static_cast<const Accelerator*>(LockResource(LoadResource(program, table)));
  ASSERT_EQ(SizeofResource(program, table), 7 * sizeof(Accelerator));
  const WORD kCtrl = FVIRTKEY | FCONTROL;
  const Accelerator expected[] = {
      {kCtrl, 'O', 9002, 0}, {kCtrl, 'S', 9003, 0}, {kCtrl | FSHIFT, 'S', 9015, 0}, {kCtrl, 'W', 9016, 0},
      {kCtrl, 'G', 9004, 0}, {kCtrl, 'D', 9017, 0}, {kCtrl | 0x80, 'F', 9018, 0},
  };
  for (size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].flags, expected[i].flags);
    EXPECT_EQ(entries[i].key, expected[i].key);
    EXPECT_EQ(entries[i].command, expected[i].command);
  }
  FreeLibrary(program);

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(KESTROVA_APP_PATH, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> version(size);
  ASSERT_TRUE(GetFileVersionInfoA(KESTROVA_APP_PATH, 0, size, version.data()));
  auto value = [&version](const char* name) {
    char* text = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
    if (!VerQueryValueA(version.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) {
      return std::string();
    }
    return std::string(text);
  };
  EXPECT_EQ(value("ProductName"), "Kestrova");
  EXPECT_EQ(value("ProductVersion"), "1.51");
  EXPECT_EQ(value("OriginalFilename"), "Kestrova.exe");
}

}  // namespace

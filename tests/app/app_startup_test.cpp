// Start-up, the main window, its pages and the enabling rules, on the real
// program under Wine and Xvfb.
#include <gtest/gtest.h>

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
  HWND HtmlChild(const char* className, int x, int y) const {
    return app_.At(app_.Group(" HTML"), className, x, y);
  }

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
  HWND html = app_.Group(" HTML");
  HWND captions = app_.Group("Columns Captions");
  HWND words = app_.Group("Words");
  HWND background = app_.Group("Background");
  const std::string kCaptionStyle =
      "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:green;\r\n";
  const Expected texts[] = {
      {"source folder", app_.SourceFolderEdit(), "C:\\"},
      {"output file", app_.OutputFileEdit(), "C:\\FolderIndex.html"},
      {"title", app_.At(html, "Edit", 42, 17), "Content of $DirPath"},
      {"base", app_.At(html, "ComboBox", 42, 40), "file://localhost/$DirPath"},
      {"cell spacing", app_.At(html, "Edit", 87, 115), "2"},
      {"cell padding", app_.At(html, "Edit", 185, 115), "4"},
      {"table width", app_.At(html, "Edit", 85, 140), "100%"},
      {"folder mask", app_.At(html, "Edit", 272, 165), "*.*"},
      {"file mask", app_.At(html, "Edit", 272, 190), "*.*"},
      {"Name", app_.At(captions, "Edit", 80, 15), "Name"},
      {"Size", app_.At(captions, "Edit", 80, 40), "Size"},
      {"Type", app_.At(captions, "Edit", 80, 65), "Type"},
      {"LW", app_.At(captions, "Edit", 80, 90), "Last Write"},
      {"LR", app_.At(captions, "Edit", 240, 15), "Last Read"},
      {"CT", app_.At(captions, "Edit", 240, 40), "Creation time"},
      {"Attr", app_.At(captions, "Edit", 240, 65), "Attributes"},
      {"$TotalSize", app_.At(words, "Edit", 80, 15), "Total size"},
      {"$File", app_.At(words, "Edit", 80, 40), "File"},
      {"$Folder", app_.At(words, "Edit", 80, 65), "Folder"},
      {"$FileSize", app_.At(words, "ComboBox", 80, 90), "bytes"},
      {"$UserWord1", app_.At(words, "Edit", 80, 115), "UserWord1"},
      {"$UserWord2", app_.At(words, "Edit", 80, 140), "UserWord2"},
      {"$UserWord3", app_.At(words, "Edit", 80, 165), "UserWord3"},
      {"$ContentOf", app_.At(words, "Edit", 240, 15), "Content of"},
      {"$Files", app_.At(words, "Edit", 240, 40), "Files"},
      {"$Folders", app_.At(words, "Edit", 240, 65), "Folders"},
      {"CapColor", app_.At(background, "ComboBox", 124, 17), "LIGHTBLUE"},
      {"KeyCapColor", app_.At(background, "ComboBox", 124, 42), "HONEYDEW"},
      {"KeyColColor", app_.At(background, "ComboBox", 124, 67), "LIGHTBLUE"},
      {"TableColor", app_.At(background, "ComboBox", 124, 92), "None"},
      {"DocColor", app_.At(background, "ComboBox", 124, 117), "None"},
      {"HeadCustom", app_.At(Main(), "Edit", 3, 25, 0), "<META NAME =\"keywords\"  CONTENT =\"$DirPath\">"},
      {"Befor", app_.At(Main(), "Edit", 3, 25, 1), ""},
      {"After", app_.At(Main(), "Edit", 3, 25, 2), ""},
      {"CustTable", app_.At(Main(), "Edit", 3, 25, 3), ""},
      {"MaskStyle", app_.At(Main(), "Edit", 3, 22, 0),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:navy;\r\n"},
      {"NameStyle", app_.At(Main(), "Edit", 3, 22, 1),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
       "text-decoration: underline;\r\ncolor:navy;"},
      {"TitleStyle", app_.At(Main(), "Edit", 3, 22, 2),
       "font-family: sans-serif;\r\nfont-size: medium;\r\nfont-weight: 700;\r\ncolor:navy;\r\n"},
      {"TableStyle", app_.At(Main(), "Edit", 3, 178, 0),
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:red;\r\n"},
      {"CaptionStyle", app_.At(Main(), "Edit", 3, 178, 1), kCaptionStyle},
      {"SummaryStyle", app_.At(Main(), "Edit", 3, 178, 2),
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

  HWND sizeIn = app_.At(html, "ComboBox", 80, 265);
  EXPECT_EQ(app::ComboSelection(sizeIn), 1);
  EXPECT_EQ(app::Text(sizeIn), "kilobytes");
  EXPECT_EQ(app::ComboSelection(app_.At(background, "ComboBox", 124, 92)), 0);
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
  EXPECT_EQ(app_.At(Main(), "Button", 360, 222), app_.Button("Open"));
  EXPECT_EQ(app_.At(Main(), "Button", 438, 282), app_.Button("Exit"));
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
  HWND spacing = HtmlChild("Edit", 87, 115);
  HWND padding = HtmlChild("Edit", 185, 115);
  HWND width = HtmlChild("Edit", 85, 140);
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
  HWND html = app_.Group(" HTML");
  HWND base = app_.At(html, "ComboBox", 42, 40);
  HWND sizeIn = app_.At(html, "ComboBox", 80, 265);
  HWND bytes = app_.At(app_.Group("Words"), "ComboBox", 80, 90);
  HWND capColor = app_.At(app_.Group("Background"), "ComboBox", 124, 17);
  HWND docColor = app_.At(app_.Group("Background"), "ComboBox", 124, 117);
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
  int page;
};

TEST_F(AppStartupTest, EveryTreeItemShowsItsPage) {
  // The controls of each page code, by how the test finds them.
  struct PageControl {
    int page;
    const char* what;
    HWND control;
  };
  HWND main = Main();
  const PageControl controls[] = {
      {0, "source folder label", app_.At(main, "Static", 10, 50)},
      {0, "source folder", app_.SourceFolderEdit()},
      {0, "source >>", app_.SourceFolderButton()},
      {0, "output file label", app_.At(main, "Static", 10, 85)},
      {0, "output file", app_.OutputFileEdit()},
      {0, "output >>", app_.OutputFileButton()},
      {0, "columns", app_.Group(" Select Columns ")},
      {0, "sort", app_.Group(" Sort by ")},
      {1, "html", app_.Group(" HTML")},
      {2, "background", app_.Group("Background")},
      {3, "captions", app_.Group("Columns Captions")},
      {4, "words", app_.Group("Words")},
      {51, "head label", app_.At(main, "Static", 3, 10, 0)},
      {51, "head", app_.At(main, "Edit", 3, 25, 0)},
      {52, "beginning label", app_.At(main, "Static", 3, 10, 1)},
      {52, "beginning", app_.At(main, "Edit", 3, 25, 1)},
      {53, "end label", app_.At(main, "Static", 3, 10, 2)},
      {53, "end", app_.At(main, "Edit", 3, 25, 2)},
      {54, "table html label", app_.At(main, "Static", 3, 10, 3)},
      {54, "table html", app_.At(main, "Edit", 3, 25, 3)},
      {61, "mask style", app_.At(main, "Edit", 3, 22, 0)},
      {61, "mask style label", app_.At(main, "Static", 3, 7, 0)},
      {61, "table style", app_.At(main, "Edit", 3, 178, 0)},
      {61, "table style label", app_.At(main, "Static", 3, 163, 0)},
      {62, "name style", app_.At(main, "Edit", 3, 22, 1)},
      {62, "caption style", app_.At(main, "Edit", 3, 178, 1)},
      {63, "title style", app_.At(main, "Edit", 3, 22, 2)},
      {63, "summary style", app_.At(main, "Edit", 3, 178, 2)},
      {7, "info", app_.At(main, "Edit", 5, 5)},
  };
  for (const PageControl& control : controls) {
    ASSERT_NE(control.control, nullptr) << control.what;
  }
  HWND alwaysShown[] = {app_.At(main, "SysTreeView32", 345, 0), app_.Group(" Output Format "),
                        app_.Button("Open"), app_.Button("Generate"), app_.Button("Exit")};

  const PageCase cases[] = {
      {{0}, "main", 0},
      {{1}, "html", 1},
      {{2}, "background", 2},
      {{3}, "columns-captions", 3},
      {{4}, "words", 4},
      {{5}, "custom-html", 0},
      {{5, 0}, "custom-head", 51},
      {{5, 1}, "custom-beginning", 52},
      {{5, 2}, "custom-end", 53},
      {{5, 3}, "custom-table-html", 54},
      {{6}, "styles", 0},
      {{6, 0}, "mask-style", 61},
      {{6, 1}, "table-style", 61},
      {{6, 2}, "name-style", 62},
      {{6, 3}, "table-caption-style", 62},
      {{6, 4}, "title-style", 63},
      {{6, 5}, "summary-style", 63},
      {{7}, "info", 7},
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
  HWND info = app_.At(Main(), "Edit", 5, 5);
  EXPECT_TRUE(GetWindowLongA(info, GWL_STYLE) & ES_READONLY);
  std::string about = app::Text(info);
  EXPECT_EQ(about.rfind("About Kestrova 1.51\r\n\r\n", 0), 0u) << about;
  EXPECT_NE(about.find("Build: May 31, 2006\r\n\r\n\r\n\r\n\r\nDISCLAIMER:\r\n"), std::string::npos);
  EXPECT_NE(about.find("https://www.example.org/kestrova/"), std::string::npos);
  EXPECT_EQ(about.substr(about.size() - 2), "\r\n");
}

// The controls that only HTML output uses, and some that every output uses.
TEST_F(AppStartupTest, TxtDisablesTheHtmlOptionsAndHtmlEnablesThem) {
  HWND main = Main();
  HWND html = app_.Group(" HTML");
  HWND captions = app_.Group("Columns Captions");
  HWND background = app_.Group("Background");
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
      {"base", app_.At(html, "ComboBox", 42, 40)},
      {"cell spacing label", app_.At(html, "Static", 10, 115)},
      {"cell spacing", app_.At(html, "Edit", 87, 115)},
      {"cell padding label", app_.At(html, "Static", 115, 115)},
      {"cell padding", app_.At(html, "Edit", 185, 115)},
      {"name caption", app_.At(captions, "Edit", 80, 15)},
      {"attributes caption", app_.At(captions, "Edit", 240, 65)},
      {"custom head", app_.At(main, "Edit", 3, 25, 0)},
      {"caption colour", app_.At(background, "ComboBox", 124, 17)},
      {"document colour", app_.At(background, "ComboBox", 124, 117)},
      {"mask style label", app_.At(main, "Static", 3, 7, 0)},
      {"mask style", app_.At(main, "Edit", 3, 22, 0)},
      {"summary style label", app_.At(main, "Static", 3, 163, 2)},
      {"summary style", app_.At(main, "Edit", 3, 178, 2)},
  };
  const Control always[] = {
      {"title", app_.At(html, "Edit", 42, 17)},
      {"table width", app_.At(html, "Edit", 85, 140)},
      {"folder mask", app_.At(html, "Edit", 272, 165)},
      {"file mask", app_.At(html, "Edit", 272, 190)},
      {"show summary", app_.InGroup(" HTML", "Show summary")},
      {"show masks", app_.InGroup(" HTML", "Show masks")},
      {"include parent", app_.InGroup(" HTML", "Include parent")},
      {"size in", app_.At(html, "ComboBox", 80, 265)},
      {"sort by size", app_.InGroup(" Sort by ", "Size")},
      {"desc", app_.InGroup(" Sort by ", "Desc. sorting")},
      {"custom end", app_.At(main, "Edit", 3, 25, 2)},
      {"words", app_.At(app_.Group("Words"), "Edit", 80, 15)},
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
  HWND title = HtmlChild("Edit", 42, 17);
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
  HWND html = app.Group(" HTML");
  EXPECT_EQ(app::Text(app.SourceFolderEdit()), "");
  EXPECT_EQ(app::Text(app.OutputFileEdit()), "");
  EXPECT_EQ(app::Text(app.At(html, "Edit", 42, 17)), "Content of $DirPath");
  EXPECT_EQ(app::Text(app.At(html, "Edit", 87, 115)), "2");
  EXPECT_EQ(app::Text(app.At(app.main(), "Edit", 3, 25, 0)),
            "<META NAME =\"keywords\" CONTENT =\"$DirPath\">");
  EXPECT_EQ(Visible(app::Text(app.At(app.main(), "Edit", 3, 178, 1))),
            Visible("font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
                    "text-decoration: none;\r\ncolor:green;"));
  EXPECT_EQ(CheckStateOf(app.InGroup(" HTML", "Generate two tables")), BST_CHECKED);
  EXPECT_EQ(CheckStateOf(app.InGroup(" Select Columns ", "Type")), BST_UNCHECKED);
  EXPECT_EQ(app::Text(app.At(app.Group("Background"), "ComboBox", 124, 17)), "LightBlue");

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
  ASSERT_TRUE(app::SetText(app.At(html, "Edit", 42, 17), "Changed"));
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

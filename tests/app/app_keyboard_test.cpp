// The window program used from the keyboard, on the real Kestrova.exe under
// Wine and Xvfb: the way of Tab through a page, radio groups, Enter and Esc,
// the page tree's selection, and long texts typed into the editable boxes.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/app_harness.h"
#include "tests/test_support.h"

// Needs the Windows headers above.
#include <commctrl.h>

namespace {

using app::RunningApp;
using driver::CheckStateOf;

class AppKeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.Start(folder_.path()));
    ASSERT_TRUE(SetForegroundWindow(app_.main()));
    ASSERT_EQ(app_.WaitForFocus(app_.SourceFolderEdit()), app_.SourceFolderEdit())
        << "the first control of the Main page has the focus at start; it is on "
        << driver::ClassOf(app_.Focus()) << " " << driver::TextOf(app_.Focus());
  }
  void TearDown() override { app_.CloseDiscardingChanges(); }

  HWND Tree() const { return app_.Find(kPageTree); }

  // Presses the key and expects the focus to move to the control.
  void ExpectKeyMovesFocus(const std::vector<WORD>& modifiers, WORD key, HWND expected, const char* what) {
    ASSERT_NE(expected, nullptr) << what;
    ASSERT_TRUE(app_.PressKeys(modifiers, {key}));
    EXPECT_EQ(app_.WaitForFocus(expected), expected) << what;
  }

  ScopedTempFolder folder_;
  RunningApp app_;
};

TEST_F(AppKeyboardTest, TabWalksThePageInReadingOrderThenTheTreeTheFormatAndTheButtons) {
  const char* columns = " Select Columns ";
  const char* sort = " Sort by ";
  const std::vector<std::pair<const char*, HWND>> order = {
      {"source >>", app_.SourceFolderButton()},
      {"output file", app_.OutputFileEdit()},
      {"output >>", app_.OutputFileButton()},
      {"Size", app_.InGroup(columns, "Size")},
      {"Last read", app_.InGroup(columns, "Last read")},
      {"Attributes", app_.InGroup(columns, "Attributes")},
      {"Type", app_.InGroup(columns, "Type")},
      {"Creation time", app_.InGroup(columns, "Creation time")},
      {"Last write", app_.InGroup(columns, "Last write")},
      {"Show seconds", app_.InGroup(columns, "Show seconds")},
      {"the checked sort radio", app_.InGroup(sort, "Name")},
      {"Desc. sorting", app_.InGroup(sort, "Desc. sorting")},
      {"Ignore case", app_.InGroup(sort, "Ignore case")},
      {"tree", Tree()},
      {"the checked format radio", app_.HtmlRadio()},
      {"Open", app_.Button("Open")},
      {"Generate", app_.Button("Generate")},
      {"Save", app_.Button("Save")},
      {"Web Site", app_.Button("Web Site")},
      {"Save as", app_.Button("Save as")},
      {"Exit", app_.Button("Exit")},
      {"around to the source folder", app_.SourceFolderEdit()},
  };
  for (const auto& step : order) ExpectKeyMovesFocus({}, VK_TAB, step.second, step.first);

  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.Button("Exit"), "Shift+Tab goes back");
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.Button("Save as"), "and back again");
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(app_.PressKeys({VK_SHIFT}, {VK_TAB}));
  EXPECT_EQ(app_.WaitForFocus(app_.Button("Open")), app_.Button("Open"));
  app::Screenshot("keyboard-focus-on-open");
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  EXPECT_EQ(app_.WaitForFocus(app_.InGroup(columns, "Attributes")), app_.InGroup(columns, "Attributes"));
  app::Screenshot("keyboard-focus-on-attributes");

  // Down in the tree shows the HTML page; Tab then meets that page's
  // controls, and the Main page's no more.
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  ASSERT_EQ(app_.WaitForFocus(Tree()), Tree());
  ASSERT_TRUE(app_.PressKeys({}, {VK_DOWN}));
  HWND html = app_.Group(" HTML");
  DWORD start = GetTickCount();
  while (!driver::IsVisible(html) && GetTickCount() - start < 5000) Sleep(50);
  ASSERT_TRUE(driver::IsVisible(html));
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.Find(kSizeInCombo), "the last control of the HTML page");
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.InGroup(" HTML", "Show masks"), "the one above it");
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.InGroup(" HTML", "Include parent"), "right before left");
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.InGroup(" HTML", "Show summary"), "on the same row");
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  HWND title = app_.Find(kTitleEdit);
  EXPECT_EQ(app_.WaitForFocus(title), title) << "the first control of the HTML page";
}

TEST_F(AppKeyboardTest, ArrowKeysMoveTheCheckWithinARadioGroupAndTabFindsTheCheckedRadio) {
  const char* sort = " Sort by ";
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  ASSERT_EQ(app_.WaitForFocus(app_.InGroup(sort, "Name")), app_.InGroup(sort, "Name"));

  ExpectKeyMovesFocus({}, VK_DOWN, app_.InGroup(sort, "Size"), "Down moves to the next radio");
  EXPECT_EQ(CheckStateOf(app_.InGroup(sort, "Size")), BST_CHECKED);
  EXPECT_EQ(CheckStateOf(app_.InGroup(sort, "Name")), BST_UNCHECKED);
  ExpectKeyMovesFocus({}, VK_DOWN, app_.InGroup(sort, "Type"), "and on");
  ExpectKeyMovesFocus({}, VK_UP, app_.InGroup(sort, "Size"), "Up moves back");
  EXPECT_EQ(CheckStateOf(app_.InGroup(sort, "Size")), BST_CHECKED);

  ExpectKeyMovesFocus({}, VK_TAB, app_.InGroup(sort, "Desc. sorting"), "Tab leaves the group");
  ExpectKeyMovesFocus({VK_SHIFT}, VK_TAB, app_.InGroup(sort, "Size"), "and comes back to its checked radio");

  // The format radios switch the output form from the keyboard as by a click.
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), "C:\\FolderIndex.html"));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  ASSERT_EQ(app_.WaitForFocus(app_.HtmlRadio()), app_.HtmlRadio());
  ExpectKeyMovesFocus({}, VK_UP, app_.TxtRadio(), "Up to TXT");
  EXPECT_EQ(CheckStateOf(app_.TxtRadio()), BST_CHECKED);
  EXPECT_EQ(app::Text(app_.OutputFileEdit()), "C:\\FolderIndex.txt");
  EXPECT_FALSE(driver::IsEnabled(app_.InGroup(" Select Columns ", "Size")));
}

TEST_F(AppKeyboardTest, EnterRunsGenerateAndEscapeDoesNothing) {
  std::string source = folder_.Join("source");
  app::MakeFolder(source);
  app::MakeFile(source + "\\a.txt", "a");
  std::string output = folder_.Join("index.html");
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), output));

  ASSERT_TRUE(app_.PressKeys({}, {VK_ESCAPE}));
  Sleep(1000);
  EXPECT_TRUE(app_.OpenDialogs().empty()) << "Esc opens nothing";
  EXPECT_TRUE(app_.IsRunning()) << "Esc does not close the window";
  EXPECT_EQ(app::Text(app_.SourceFolderEdit()), source);
  EXPECT_EQ(app_.Focus(), app_.SourceFolderEdit());

  ASSERT_TRUE(app_.PressKeys({}, {VK_RETURN}));
  HWND offer = app_.WaitForBox("File (index.html) was created");
  ASSERT_NE(offer, nullptr) << "Enter runs Generate";
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  EXPECT_NE(ReadFileBytes(output).find("a.txt"), std::string::npos);
  EXPECT_EQ(app_.WaitForFocus(app_.SourceFolderEdit()), app_.SourceFolderEdit())
      << "the focus comes back from the message box";

  // In a memo Enter starts a new line instead.
  ASSERT_TRUE(app_.SelectTreeItem({5, 1}));
  HWND memo = app_.Find(kBeforMemo);
  ExpectKeyMovesFocus({}, VK_TAB, memo, "the memo of the Custom begining page");
  ASSERT_TRUE(app_.PressKeys({}, {'A', VK_RETURN, 'B'}));
  DWORD start = GetTickCount();
  while (app::Text(memo) != "a\r\nb" && GetTickCount() - start < 5000) Sleep(50);
  EXPECT_EQ(Visible(app::Text(memo)), Visible("a\r\nb"));
  EXPECT_EQ(app_.WaitForBox("File (index.html) was created", 1000), nullptr);
  ExpectKeyMovesFocus({}, VK_TAB, Tree(), "Tab leaves the memo");
  EXPECT_EQ(Visible(app::Text(memo)), Visible("a\r\nb")) << "and is not typed into it";

  // Enter on the focused Generate button: the button is disabled while the
  // run lasts and has the focus again afterwards.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(app_.PressKeys({}, {VK_TAB}));
  ASSERT_EQ(app_.WaitForFocus(app_.Button("Generate")), app_.Button("Generate"));
  ASSERT_TRUE(app_.PressKeys({}, {VK_RETURN}));
  offer = app_.WaitForBox("File (index.html) was created");
  ASSERT_NE(offer, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  EXPECT_EQ(app_.WaitForFocus(app_.Button("Generate")), app_.Button("Generate"));
  ExpectKeyMovesFocus({}, VK_TAB, app_.Button("Save"), "the keyboard goes on from there");
}

TEST_F(AppKeyboardTest, TheTreeMarksTheMainPageAtStartAndKeepsItsMarkWithoutFocus) {
  HWND tree = Tree();
  EXPECT_TRUE(GetWindowLongA(tree, GWL_STYLE) & TVS_SHOWSELALWAYS);
  DWORD_PTR root = 0;
  DWORD_PTR selected = 0;
  ASSERT_TRUE(app::AnswersWithin(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0, 5000, &root));
  ASSERT_TRUE(app::AnswersWithin(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, 5000, &selected));
  EXPECT_NE(selected, 0u);
  EXPECT_EQ(selected, root) << "the Main item";
  EXPECT_NE(app_.Focus(), tree);
  app::Screenshot("tree-marks-main-without-focus");
}

TEST_F(AppKeyboardTest, LongTextsTypedKeyByKeyIntoTheEditableBoxesAreKeptWhole) {
  const std::string address = "http://intranet.example.com/some/long/path/to/files/$DirPath";
  ASSERT_EQ(address.size(), 60u);
  const std::string word = "kilobytes of the whole listing, counted in units of 1024 bytes";
  struct Box {
    const char* what;
    std::vector<int> page;
    HWND combo;
  };
  const Box boxes[] = {
      {"base", {1}, app_.Find(kBaseCombo)},
      {"$FileSize word", {4}, app_.Find(kBytesWordCombo)},
  };
  for (const Box& box : boxes) {
    SCOPED_TRACE(box.what);
    ASSERT_TRUE(app_.SelectTreeItem(box.page));
    HWND edit = FindWindowExA(box.combo, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    const std::string& text = box.page[0] == 1 ? address : word;
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
    EXPECT_EQ(app::Text(box.combo), text);
  }
}

// Alt and the underlined letter of a label take the keyboard to the control
// the label names, on every page; no letter stands for two controls of a page.
TEST_F(AppKeyboardTest, AltAndALabelsLetterFocusesTheControlItNames) {
  const struct {
    std::vector<int> item;
    Page page;
  } pages[] = {
      {{0}, kMainPage},
      {{1}, kHtmlPage},
      {{2}, kBackgroundPage},
      {{3}, kCaptionsPage},
      {{4}, kWordsPage},
      {{5, 0}, kCustomHeadPage},
      {{5, 1}, kCustomBeginningPage},
      {{5, 2}, kCustomEndPage},
      {{5, 3}, kCustomTablePage},
      {{6, 0}, kMaskAndTableStylePage},
      {{6, 2}, kNameAndCaptionStylePage},
      {{6, 4}, kTitleAndSummaryStylePage},
  };
  for (const auto& page : pages) {
    SCOPED_TRACE(page.page);
    ASSERT_TRUE(app_.SelectTreeItem(page.item));
    std::set<char> letters;
    for (const ControlLayout& row : kControlLayout) {
      const bool captioned = row.kind == kLabel || row.kind == kPushButton || row.kind == kCheckBox ||
                             row.kind == kRadioButton || row.kind == kGroupBox;
      if (!captioned || (row.page != page.page && row.page != kEveryPage)) continue;
      const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(MnemonicOf(row.text))));
      // Every label and every command button has a letter; the ">>" buttons
      // are reached by their edits' labels.
      const bool needsLetter = row.kind == kLabel || (row.kind == kPushButton && *row.text != '>');
      EXPECT_TRUE(letter != '\0' || !needsLetter) << "no letter for \"" << row.text << "\"";
      if (letter == '\0') continue;
      EXPECT_TRUE(letters.insert(letter).second) << "Alt+" << letter << " again for \"" << row.text << "\"";
      if (row.kind != kLabel) continue;
      // An editable combo box gives the focus to its edit.
      HWND named = app_.Find(LabelledControl(row.id));
      ASSERT_TRUE(app_.PressKeys({VK_MENU}, {static_cast<WORD>(letter)}));
      DWORD start = GetTickCount();
      while (app_.Focus() != named && !IsChild(named, app_.Focus()) && GetTickCount() - start < 5000)
        Sleep(20);
      EXPECT_TRUE(app_.Focus() == named || IsChild(named, app_.Focus()))
          << row.text << ": the focus is on " << driver::ClassOf(app_.Focus()) << " "
          << driver::TextOf(app_.Focus());
    }
  }
  app::Screenshot("keyboard-mnemonics-underlined");
}

// Alt and the underlined letter of a command button run its command, as a
// click does. Web Site is left out: it would start a browser.
TEST_F(AppKeyboardTest, AltAndAButtonsLetterRunsItsCommand) {
  ASSERT_TRUE(app_.PressKeys({VK_MENU}, {'O'}));
  HWND dialog = app_.WaitForDialog("Open");
  ASSERT_NE(dialog, nullptr) << "Alt+O opens a settings file";
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));

  ASSERT_TRUE(app_.PressKeys({VK_MENU}, {'A'}));
  dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr) << "Alt+A saves under another name";
  EXPECT_NE(app::FileNameFieldOf(dialog), nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));

  ASSERT_TRUE(DeleteFileA(app_.DefaultSettingsPath().c_str()));
  ASSERT_TRUE(app_.PressKeys({VK_MENU}, {'S'}));
  EXPECT_TRUE(app::WaitForFile(app_.DefaultSettingsPath())) << "Alt+S saves the settings";

  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), ""));
  ASSERT_TRUE(app_.PressKeys({VK_MENU}, {'G'}));
  HWND box = app_.WaitForBox();
  ASSERT_NE(box, nullptr) << "Alt+G generates, which checks the folders first";
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));

  ASSERT_TRUE(app_.PressKeys({VK_MENU}, {'X'}));
  HWND question = app_.WaitForBox();
  ASSERT_NE(question, nullptr) << "Alt+X closes the window, asking about the changed folder";
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDNO));
  EXPECT_TRUE(app_.WaitForExit(10000));
}

BOOL CALLBACK FindOwnedToolTips(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(context);
  if (GetWindow(window, GW_OWNER) != found->first || driver::ClassOf(window) != "tooltips_class32")
    return TRUE;
  found->second = window;
  return FALSE;
}

// The keys of the accelerator table as a user reads them: "Ctrl+Shift+S".
std::vector<std::string> AcceleratorKeys() {
  struct Accelerator {
    WORD flags, key, command, padding;
  };
  std::vector<std::string> keys;
  HMODULE program = LoadLibraryExA(KESTROVA_APP_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC table = FindResourceA(program, "Accels", MAKEINTRESOURCEA(9));  // RT_ACCELERATOR
  if (table == nullptr) return keys;
  const auto* entries = static_cast<const Accelerator*>(LockResource(LoadResource(program, table)));
  for (size_t i = 0; i < SizeofResource(program, table) / sizeof(Accelerator); ++i) {
    std::string name = (entries[i].flags & FCONTROL) ? "Ctrl+" : "";
    if (entries[i].flags & FSHIFT) name += "Shift+";
    keys.push_back(name + static_cast<char>(entries[i].key));
  }
  FreeLibrary(program);
  return keys;
}

// The command buttons' tips name the keys that run them, every key of the
// accelerator table among them.
TEST_F(AppKeyboardTest, TheButtonsTipsNameEveryShortcut) {
  std::pair<HWND, HWND> found{app_.main(), nullptr};
  EnumWindows(FindOwnedToolTips, reinterpret_cast<LPARAM>(&found));
  HWND tips = found.second;
  ASSERT_NE(tips, nullptr);
  std::string shown;
  for (const ControlLayout& row : kControlLayout) {
    const char* tip = ToolTipOf(row.id);
    if (tip == nullptr) continue;
    EXPECT_EQ(row.kind, kPushButton) << tip;
    EXPECT_EQ(driver::ToolTipText(tips, app_.Find(row.id)), tip);
    shown += std::string(tip) + "\n";
  }
  const std::vector<std::string> keys = AcceleratorKeys();
  EXPECT_EQ(keys.size(), 7u);
  for (const std::string& key : keys) {
    const bool named = shown.find("(" + key + ")") != std::string::npos ||
                       shown.find("(" + key + " or ") != std::string::npos;
    EXPECT_TRUE(named) << key << " in:\n" << shown;
  }

  // Resting the mouse on a button shows its tip.
  RECT button{};
  GetWindowRect(app_.Button("Generate"), &button);
  const POINT middle{(button.left + button.right) / 2, (button.top + button.bottom) / 2};
  const std::string tip = ToolTipOf(kGenerateButton);
  auto showsTip = [&] { return driver::IsVisible(tips) && driver::TextOf(tips) == tip; };
  for (int step = 0; step < 2; ++step) {
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(middle.x + step, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = MulDiv(middle.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ASSERT_EQ(SendInput(1, &move, sizeof move), 1u);
    Sleep(100);
  }
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_TRUE(PtInRect(&button, cursor)) << "the mouse rests at " << cursor.x << ", " << cursor.y;
  DWORD start = GetTickCount();
  while (!showsTip() && GetTickCount() - start < 5000) Sleep(100);
  EXPECT_TRUE(driver::IsVisible(tips));
  EXPECT_EQ(driver::TextOf(tips), tip);
  app::Screenshot("tip-of-generate");
}

}  // namespace

// The toolkit on real windows: every control is created under a shown
// top-level window and inspected through Win32 and the test driver.
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tests/windows/driver/win_driver.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateTopWindow(top_, nullptr, "Toolkit test", DefWindowProcA));
    Show(top_, SW_SHOW);
  }
  void TearDown() override {
    DestroyWindow(top_.window);
    driver::PumpMessages();
  }

  HWND top() const { return top_.window; }

  iControl top_;
};

struct ControlKind {
  const char* name;
  bool (*create)(iControl&, HWND);
  const char* className;
  const char* text;
  DWORD style;
  DWORD exStyle;
  int width, height;
};

const ControlKind kControlKinds[] = {
    {"button", [](iControl& c, HWND p) { return CreateButton(c, p, "Go"); }, "Button", "Go", 0x40010000, 0,
     75, 27},
    {"check box", [](iControl& c, HWND p) { return CreateCheckBox(c, p, "Tick"); }, "Button", "Tick",
     0x40000003, 0, 75, 20},
    {"radio button", [](iControl& c, HWND p) { return CreateRadioButton(c, p, "One"); }, "Button", "One",
     0x40000009, 0, 75, 20},
    {"group box", [](iControl& c, HWND p) { return CreateGroupBox(c, p, " Group "); }, "Button", " Group ",
     0x42000007, WS_EX_CONTROLPARENT, 120, 120},
    {"label", [](iControl& c, HWND p) { return CreateLabel(c, p, "Name:"); }, "Static", "Name:", 0x40000000,
     0, 75, 20},
    {"line edit", [](iControl& c, HWND p) { return CreateLineEdit(c, p, "*.*"); }, "Edit", "*.*", 0x400100C0,
     WS_EX_CLIENTEDGE, 75, 20},
    {"memo", [](iControl& c, HWND p) { return CreateMemo(c, p, "a\r\nb"); }, "Edit", "a\r\nb", 0x40100444,
     WS_EX_CLIENTEDGE, 200, 250},
    {"tree view", [](iControl& c, HWND p) { return CreateTreeView(c, p); }, "SysTreeView32", "iTreeView",
     0x40000007, WS_EX_CLIENTEDGE, 200, 200},
};

TEST_F(ToolkitTest, EachKindHasItsClassTextStyleAndDefaultSize) {
  for (const ControlKind& kind : kControlKinds) {
    SCOPED_TRACE(kind.name);
    iControl control;
    ASSERT_TRUE(kind.create(control, top()));
    EXPECT_EQ(control.parent, top());
    EXPECT_EQ(Lower(driver::ClassOf(control.window)), Lower(kind.className));
    EXPECT_EQ(GetText(control), kind.text);
    EXPECT_TRUE(HasAllBits(GetStyle(control, false), kind.style));
    EXPECT_FALSE(GetStyle(control, false) & WS_VISIBLE);
    EXPECT_TRUE(HasAllBits(GetStyle(control, true), kind.exStyle));
    EXPECT_EQ(GetDlgCtrlID(control.window), 0);
    EXPECT_EQ(GetLeft(control), 0);
    EXPECT_EQ(GetTop(control), 0);
    EXPECT_EQ(GetWidth(control), kind.width);
    EXPECT_EQ(GetHeight(control), kind.height);
    EXPECT_EQ(Send(control, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(DEFAULT_GUI_FONT)));
  }
}

TEST_F(ToolkitTest, MemoTakesAMillionCharactersAndRadioButtonsTheirClassBrush) {
  iControl memo, group, radio;
  ASSERT_TRUE(CreateMemo(memo, top(), ""));
  EXPECT_EQ(Send(memo, EM_GETLIMITTEXT, 0, 0), 1000000);

  ASSERT_TRUE(CreateGroupBox(group, top_, " Format "));
  EXPECT_EQ(group.parent, top());
  ASSERT_TRUE(CreateRadioButton(radio, group, "TXT"));
  EXPECT_EQ(radio.parent, group.window);
  EXPECT_EQ(GetParent(radio.window), group.window);
  EXPECT_EQ(GetClassLongA(radio.window, GCL_HBRBACKGROUND), 19u);
}

// The window names given to CreateWindowExA on this thread, seen by a CBT hook.
std::vector<std::string> createdNames;

LRESULT CALLBACK RecordCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* creation = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    createdNames.push_back(creation->lpszName != nullptr ? creation->lpszName : "");
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ToolkitTest, ComboBoxIsCreatedWithItsOwnTextAndKeepsItems) {
  const DWORD editableDropDown = 0x40200082;
  iControl combo;
  createdNames.clear();
  HHOOK hook = SetWindowsHookExA(WH_CBT, RecordCreation, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(CreateComboBox(combo, top(), editableDropDown, 0));
  UnhookWindowsHookEx(hook);
  // Wine's combo box keeps no caption of its own (its text is its edit
  // field's), so the name is checked where it is handed over.
  ASSERT_FALSE(createdNames.empty());
  EXPECT_EQ(createdNames.front(), "iComboBox");
  EXPECT_EQ(Lower(driver::ClassOf(combo.window)), "combobox");
  EXPECT_TRUE(HasAllBits(GetStyle(combo, false), WS_CHILD | CBS_DROPDOWN | CBS_OEMCONVERT));
  EXPECT_EQ(GetWidth(combo), 100);

  EXPECT_TRUE(SetText(combo, "#FF0000"));
  EXPECT_EQ(GetText(combo), "#FF0000");

  EXPECT_EQ(GetSelection(combo), -1);
  EXPECT_EQ(AddItem(combo, "Name"), 0);
  EXPECT_EQ(AddItem(combo, "Size"), 1);
  EXPECT_EQ(SetSelection(combo, 1), 1);
  EXPECT_EQ(GetSelection(combo), 1);
  EXPECT_EQ(GetText(combo), "Size");
}

TEST_F(ToolkitTest, PlacedControlsAreShownWhereAskedWithTheirFinalStyles) {
  iControl button, check, edit, label, memo, group, radio;
  ASSERT_TRUE(PlaceButton(button, top(), "Generate", 10, 20, -1, -1));
  ASSERT_TRUE(PlaceCheckBox(check, top(), "Size", 10, 50, 120, -1));
  ASSERT_TRUE(PlaceLineEdit(edit, top(), "*.*", 10, 80, 150, 21));
  ASSERT_TRUE(PlaceLabel(label, top(), "Mask:", 170, 80, -1, -1));
  ASSERT_TRUE(PlaceMemo(memo, top(), "", 10, 110, 300, 100));

  for (const iControl* control : {&button, &check, &edit, &label, &memo}) {
    EXPECT_TRUE(driver::IsVisible(control->window));
  }
  EXPECT_EQ(GetLeft(button), 10);
  EXPECT_EQ(GetTop(button), 20);
  EXPECT_EQ(GetWidth(button), 75);
  EXPECT_EQ(GetHeight(button), 27);
  EXPECT_EQ(GetWidth(check), 120);
  EXPECT_EQ(GetHeight(check), 20);
  EXPECT_EQ(GetLeft(label), 170);
  EXPECT_EQ(GetWidth(edit), 150);
  EXPECT_EQ(GetHeight(edit), 21);

  EXPECT_TRUE(GetStyle(button, true) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetStyle(edit, false) & WS_BORDER);
  EXPECT_FALSE(GetStyle(edit, true) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(HasAllBits(GetStyle(memo, false), WS_VSCROLL | WS_HSCROLL | WS_BORDER));
  EXPECT_FALSE(GetStyle(memo, true) & WS_EX_CLIENTEDGE);

  ASSERT_TRUE(CreateGroupBox(group, top_, " Output Format "));
  ASSERT_TRUE(CreateRadioButton(radio, group, "HTML"));
  Move(group, 120, 10, 180, 62);
  Move(radio, 10, 20, 60, -1);
  Show(group, SW_SHOW);
  Show(radio, SW_SHOW);
  SetChecked(radio, 1);
  EXPECT_TRUE(driver::TakeScreenshot(KESTROVA_SCREENSHOT_DIR "/toolkit-placed.png"));
}

TEST_F(ToolkitTest, CheckStatesFollowTheButtonStateBits) {
  iControl box;
  ASSERT_TRUE(PlaceCheckBox(box, top(), "Seconds", 0, 0, -1, -1));
  EXPECT_EQ(GetCheck(box), 0);

  SetCheck(box, 1);
  EXPECT_EQ(GetCheck(box), 1);
  EXPECT_TRUE(IsChecked(box));
  SetChecked(box, 0x100);  // only the low byte counts
  EXPECT_EQ(GetCheck(box), 0);
  SetChecked(box, 1);
  EXPECT_TRUE(IsChecked(box));

  // A three-state box can hold the indeterminate state.
  ASSERT_TRUE(SetStyle(box, (GetStyle(box, false) & ~BS_TYPEMASK) | BS_AUTO3STATE, false));
  SetCheck(box, 2);
  EXPECT_EQ(GetCheck(box), 2);
  EXPECT_FALSE(IsChecked(box));

  SetCheck(box, 1);
  SetCheck(box, 3);  // no such state: nothing is sent, the box stays checked
  EXPECT_EQ(GetCheck(box), 1);
  SetCheck(box, -1);
  EXPECT_EQ(GetCheck(box), 1);
  SetCheck(box, 0);
  EXPECT_EQ(GetCheck(box), 0);
}

TEST_F(ToolkitTest, ClickOnAutoBoxesChangesTheirState) {
  iControl box, first, second;
  ASSERT_TRUE(PlaceCheckBox(box, top(), "Size", 0, 0, -1, -1));
  ASSERT_TRUE(CreateRadioButton(first, top(), "TXT"));
  ASSERT_TRUE(CreateRadioButton(second, top(), "HTML"));
  Move(first, 0, 30, -1, -1);
  Move(second, 0, 50, -1, -1);
  Show(first, SW_SHOW);
  Show(second, SW_SHOW);
  SetChecked(first, 1);

  ASSERT_TRUE(driver::ClickAndWait(box.window));
  EXPECT_EQ(driver::CheckStateOf(box.window), BST_CHECKED);
  ASSERT_TRUE(driver::Click(second.window));
  driver::PumpMessages();
  EXPECT_TRUE(IsChecked(second));
  EXPECT_FALSE(IsChecked(first));
}

TEST_F(ToolkitTest, EditOperations) {
  iControl edit;
  ASSERT_TRUE(PlaceLineEdit(edit, top(), "abcdefgh", 0, 0, 100, -1));
  EXPECT_EQ(GetTextLength(edit), 8);

  SelectText(edit, 2, 3);
  DWORD start = 0, end = 0;
  Send(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);
  EXPECT_EQ(end, 5u);

  SetTextLimit(edit, 4);
  EXPECT_EQ(Send(edit, EM_GETLIMITTEXT, 0, 0), 4);

  SetReadOnly(edit, 0x101);
  EXPECT_TRUE(GetStyle(edit, false) & ES_READONLY);
  SetReadOnly(edit, 0x100);
  EXPECT_FALSE(GetStyle(edit, false) & ES_READONLY);

  EXPECT_TRUE(SetNumbersOnly(edit, 1));
  EXPECT_TRUE(GetStyle(edit, false) & ES_NUMBER);
  EXPECT_TRUE(SetNumbersOnly(edit, 0));
  EXPECT_FALSE(GetStyle(edit, false) & ES_NUMBER);

  EXPECT_TRUE(SetText(edit, ""));
  EXPECT_EQ(GetText(edit), "");
}

TEST_F(ToolkitTest, StyleOperations) {
  iControl edit;
  ASSERT_TRUE(CreateLineEdit(edit, top(), ""));
  const DWORD before = GetStyle(edit, false);
  ASSERT_FALSE(before & WS_BORDER);
  ASSERT_TRUE(before & WS_TABSTOP);

  // Only one of the two bits is set: the word stays as it is.
  EXPECT_TRUE(RemoveStyle(edit, WS_TABSTOP | WS_BORDER, false));
  EXPECT_EQ(GetStyle(edit, false), before);

  EXPECT_TRUE(AddStyle(edit, WS_BORDER, false));
  EXPECT_EQ(GetStyle(edit, false), before | WS_BORDER);
  EXPECT_TRUE(RemoveStyle(edit, WS_TABSTOP | WS_BORDER, false));
  EXPECT_EQ(GetStyle(edit, false), before & ~(WS_TABSTOP | WS_BORDER));

  EXPECT_TRUE(ChangeStyle(edit, WS_EX_CLIENTEDGE, 0, 1));
  EXPECT_FALSE(GetStyle(edit, 0x101) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(ChangeStyle(edit, WS_EX_CLIENTEDGE, 0x201, 0x301));
  EXPECT_TRUE(GetStyle(edit, true) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(GetStyle(edit, 0x100) & WS_EX_CLIENTEDGE);  // low byte 0: the window style

  EXPECT_TRUE(HasAllBits(0x7, 0x5));
  EXPECT_TRUE(HasAllBits(0x7, 0));
  EXPECT_FALSE(HasAllBits(0x5, 0x6));
}

TEST_F(ToolkitTest, StyleChangesKeepPlaceSizeAndVisibility) {
  iControl shown, hidden;
  ASSERT_TRUE(PlaceLabel(shown, top(), "shown", 30, 40, 90, 25));
  ASSERT_TRUE(CreateLabel(hidden, top(), "hidden"));
  EXPECT_TRUE(AddStyle(shown, WS_BORDER, false));
  EXPECT_TRUE(AddStyle(hidden, WS_BORDER, false));
  EXPECT_EQ(GetLeft(shown), 30);
  EXPECT_EQ(GetTop(shown), 40);
  EXPECT_EQ(GetWidth(shown), 90);
  EXPECT_EQ(GetHeight(shown), 25);
  EXPECT_TRUE(driver::IsVisible(shown.window));
  EXPECT_FALSE(GetStyle(hidden, false) & WS_VISIBLE);
}

TEST_F(ToolkitTest, MoveReplacesMinusOneByTheCurrentValue) {
  iControl button;
  ASSERT_TRUE(PlaceButton(button, top(), "Exit", 15, 25, 80, 30));
  Move(button, -1, -1, -1, -1);
  EXPECT_EQ(GetLeft(button), 15);
  EXPECT_EQ(GetTop(button), 25);
  EXPECT_EQ(GetWidth(button), 80);
  EXPECT_EQ(GetHeight(button), 30);

  Move(button, 40, -1, -1, 35);
  EXPECT_EQ(GetLeft(button), 40);
  EXPECT_EQ(GetTop(button), 25);
  EXPECT_EQ(GetWidth(button), 80);
  EXPECT_EQ(GetHeight(button), 35);
}

TEST_F(ToolkitTest, EnableAndShowUseTheFlagAndCommand) {
  iControl button;
  ASSERT_TRUE(PlaceButton(button, top(), "Save", 0, 0, -1, -1));
  Enable(button, 0);
  EXPECT_FALSE(driver::IsEnabled(button.window));
  Enable(button, 1);
  EXPECT_TRUE(driver::IsEnabled(button.window));
  Enable(button, 0x200);
  EXPECT_FALSE(driver::IsEnabled(button.window));

  EXPECT_TRUE(Show(button, SW_HIDE));  // was visible
  EXPECT_FALSE(driver::IsVisible(button.window));
  EXPECT_FALSE(Show(button, SW_SHOW));
  EXPECT_TRUE(driver::IsVisible(button.window));
}

std::string TreeItemText(const iControl& tree, HTREEITEM item) {
  char text[64] = {};
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.hItem = item;
  query.pszText = text;
  query.cchTextMax = sizeof text;
  Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
  return text;
}

HTREEITEM NextItem(const iControl& tree, UINT relation, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

TEST_F(ToolkitTest, TreeItemsGoUnderTheirParentInTheOrderInserted) {
  iControl tree;
  ASSERT_TRUE(CreateTreeView(tree, top()));
  Show(tree, SW_SHOW);
  HTREEITEM main = InsertTreeItem(tree, nullptr, "Main");
  HTREEITEM columns = InsertTreeItem(tree, main, "Columns");
  HTREEITEM sorting = InsertTreeItem(tree, main, "Sorting");
  HTREEITEM info = InsertTreeItem(tree, nullptr, "Info");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(info, nullptr);

  EXPECT_EQ(NextItem(tree, TVGN_ROOT, nullptr), main);
  EXPECT_EQ(NextItem(tree, TVGN_NEXT, main), info);
  EXPECT_EQ(NextItem(tree, TVGN_CHILD, main), columns);
  EXPECT_EQ(NextItem(tree, TVGN_NEXT, columns), sorting);
  EXPECT_EQ(NextItem(tree, TVGN_PARENT, sorting), main);
  EXPECT_EQ(NextItem(tree, TVGN_CHILD, info), nullptr);
  EXPECT_EQ(TreeItemText(tree, main), "Main");
  EXPECT_EQ(TreeItemText(tree, sorting), "Sorting");
}

WNDPROC innerPrevious = nullptr;
WNDPROC outerPrevious = nullptr;
int innerCommands = 0;
int outerCommands = 0;
HWND outerSender = nullptr;

LRESULT CALLBACK InnerGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) ++innerCommands;
  return CallWindowProcA(innerPrevious, window, message, wParam, lParam);
}

LRESULT CALLBACK OuterGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    ++outerCommands;
    outerSender = reinterpret_cast<HWND>(lParam);
  }
  return CallWindowProcA(outerPrevious, window, message, wParam, lParam);
}

TEST_F(ToolkitTest, SubclassedGroupBoxSeesChildCommandsAndPassesThemOn) {
  iControl group, radio;
  ASSERT_TRUE(CreateGroupBox(group, top(), " Output Format "));
  ASSERT_TRUE(CreateRadioButton(radio, group, "HTML"));
  Move(group, 10, 10, 180, 62);
  Move(radio, 10, 20, 60, -1);
  Show(group, SW_SHOW);
  Show(radio, SW_SHOW);

  innerPrevious = ReplaceWindowProc(group, InnerGroupProc);
  ASSERT_NE(innerPrevious, nullptr);
  outerPrevious = ReplaceWindowProc(group, OuterGroupProc);
  ASSERT_EQ(outerPrevious, InnerGroupProc);
  innerCommands = outerCommands = 0;

  ASSERT_TRUE(driver::ClickAndWait(radio.window));
  EXPECT_EQ(outerCommands, 1);
  EXPECT_EQ(outerSender, radio.window);
  EXPECT_EQ(innerCommands, 1);
  EXPECT_TRUE(IsChecked(radio));

  // Other messages still reach the button procedure.
  EXPECT_TRUE(SetText(group, " Format "));
  EXPECT_EQ(GetText(group), " Format ");
}

TEST_F(ToolkitTest, TopWindowIsAHiddenOverlappedWindowOfItsOwnClass) {
  iControl window;
  ASSERT_TRUE(CreateTopWindow(window, reinterpret_cast<HWND>(0x1234), "Kestrova 1.51", DefWindowProcA));
  EXPECT_EQ(window.parent, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(driver::ClassOf(window.window), "iTopWindow");
  EXPECT_EQ(GetParent(window.window), nullptr);
  EXPECT_EQ(GetText(window), "Kestrova 1.51");
  EXPECT_FALSE(driver::IsVisible(window.window));
  EXPECT_TRUE(HasAllBits(GetStyle(window, false), 0x000F0000 | WS_CAPTION));
  EXPECT_TRUE(GetStyle(window, true) & WS_EX_CONTROLPARENT);
  EXPECT_EQ(GetLeft(window), 50);
  EXPECT_EQ(GetTop(window), 50);
  EXPECT_EQ(GetWidth(window), 350);
  EXPECT_EQ(GetHeight(window), 300);

  WNDCLASSEXA registered{};
  registered.cbSize = sizeof registered;
  ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "iTopWindow", &registered));
  EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(registered.hbrBackground, reinterpret_cast<HBRUSH>(16));
  DestroyWindow(window.window);
}

TEST(ToolkitNullRecordTest, OperationsOnAFailedRecordFailQuietly) {
  iControl none;
  EXPECT_FALSE(CreateButton(none, reinterpret_cast<HWND>(0xDEAD0), "orphan"));
  EXPECT_EQ(none.window, nullptr);
  EXPECT_EQ(GetText(none), "");
  EXPECT_FALSE(SetText(none, "x"));
  EXPECT_EQ(GetTextLength(none), 0);
  EXPECT_FALSE(IsChecked(none));
  EXPECT_EQ(GetCheck(none), 0);
  EXPECT_FALSE(SetStyle(none, WS_BORDER, false));
  EXPECT_FALSE(AddStyle(none, WS_BORDER, true));
  EXPECT_EQ(InsertTreeItem(none, nullptr, "x"), nullptr);
  EXPECT_EQ(GetWidth(none), 0);
  EXPECT_EQ(GetLeft(none), 0);
  Move(none, -1, -1, -1, -1);
  SetChecked(none, 1);
  Enable(none, 1);
  EXPECT_EQ(ReplaceWindowProc(none, DefWindowProcA), nullptr);
}

}  // namespace

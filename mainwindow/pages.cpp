#include "mainwindow/pages.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

iControl Controls[kControlCount];
iControl& MainWindow = Controls[kMainWindow];

namespace {

// Editable boxes scroll their text, so that a text longer than the box can
// be typed whole.
constexpr DWORD kEditableDropDown = WS_CHILD | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_OEMCONVERT;
constexpr DWORD kDropDownList = WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | CBS_OEMCONVERT;
static_assert(kEditableDropDown == 0x402000C2, "editable drop-down style word");
static_assert(kDropDownList == 0x402000C3, "drop-down list style word");

// --- Page tree -------------------------------------------------------------

// The items that hold others, by their places in kTreeItems.
enum TreeParent : int {
  kRootItem = -1,
  kCustomHtmlItem = 5,
  kStylesItem = 10,
};

struct TreeItemEntry {
  const char* text;
  TreeParent parent;
  Page page;
};

constexpr TreeItemEntry kTreeItems[] = {
    {"Main", kRootItem, kMainPage},
    {"HTML", kRootItem, kHtmlPage},
    {"Background", kRootItem, kBackgroundPage},
    {"Columns captions", kRootItem, kCaptionsPage},
    {"Words", kRootItem, kWordsPage},
    {"Custom HTML", kRootItem, kMainPage},
    {"Custom head", kCustomHtmlItem, kCustomHeadPage},
    {"Custom begining", kCustomHtmlItem, kCustomBeginningPage},
    {"Custom end", kCustomHtmlItem, kCustomEndPage},
    {"Custom Table HTML", kCustomHtmlItem, kCustomTablePage},
    {"Styles", kRootItem, kMainPage},
    {"Mask style", kStylesItem, kMaskAndTableStylePage},
    {"Table style", kStylesItem, kMaskAndTableStylePage},
    {"Name style", kStylesItem, kNameAndCaptionStylePage},
    {"Table caption style", kStylesItem, kNameAndCaptionStylePage},
    {"Title style", kStylesItem, kTitleAndSummaryStylePage},
    {"Summary style", kStylesItem, kTitleAndSummaryStylePage},
    {"Info", kRootItem, kInfoPage},
};

constexpr bool SameText(const char* a, const char* b) {
  for (; *a != '\0' && *a == *b; ++a) ++b;
  return *a == *b;
}
static_assert(SameText(kTreeItems[kCustomHtmlItem].text, "Custom HTML") &&
                  SameText(kTreeItems[kStylesItem].text, "Styles"),
              "the parent items stand at their places");

HTREEITEM TreeItems[std::size(kTreeItems)];

// Each page once, in the order in which the tree first names it.
std::vector<Page> PagesInTreeOrder() {
  std::vector<Page> pages;
  for (const TreeItemEntry& item : kTreeItems) {
    if (std::find(pages.begin(), pages.end(), item.page) == pages.end()) pages.push_back(item.page);
  }
  return pages;
}

void FillPageTree() {
  for (size_t i = 0; i < std::size(kTreeItems); ++i) {
    const TreeItemEntry& item = kTreeItems[i];
    HTREEITEM parent = item.parent == kRootItem ? nullptr : TreeItems[item.parent];
    TreeItems[i] = InsertTreeItem(Controls[kPageTree], parent, item.text);
  }
}

Page SelectedPage() {
  auto selected = reinterpret_cast<HTREEITEM>(Send(Controls[kPageTree], TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected == nullptr) return kMainPage;
  for (size_t i = 0; i < std::size(kTreeItems); ++i) {
    if (TreeItems[i] == selected) return kTreeItems[i].page;
  }
  return kMainPage;
}

// --- Placement -------------------------------------------------------------

// The layout's sizes are drawn for 96 DPI and scale with the system's DPI;
// a caption may widen its control into the room beside it, so that the
// whole text shows in any font and at any scale.

struct Placement {
  int x, y, width, height;
};

SIZE CreatedSize(ControlKind kind) {
  switch (kind) {
    case kTopWindow:
      break;
    case kTreeView:
      return kTreeViewSize;
    case kPushButton:
      return kButtonSize;
    case kMemo:
    case kReadOnlyMemo:
      return kMemoSize;
    case kGroupBox:
      return kGroupBoxSize;
    case kEditableCombo:
    case kListCombo:
      return kComboBoxSize;
    case kLabel:
    case kLineEdit:
    case kNumberEdit:
    case kCheckBox:
    case kRadioButton:
      break;
  }
  return kSmallControlSize;
}

// The row's place at 96 DPI, with the kind's size where the row keeps it.
Placement DrawnPlacement(const ControlLayout& row) {
  const SIZE size = CreatedSize(row.kind);
  return {row.x, row.y, row.width == kKeep ? static_cast<int>(size.cx) : row.width,
          row.height == kKeep ? static_cast<int>(size.cy) : row.height};
}

bool IsComboBox(ControlKind kind) { return kind == kEditableCombo || kind == kListCombo; }

// The height that the row covers on its page: a combo box's height is that
// of its list dropped down, which covers nothing until it opens.
int CoveredHeight(const ControlLayout& row) {
  return IsComboBox(row.kind) ? static_cast<int>(kSmallControlSize.cy) : DrawnPlacement(row).height;
}

// The room at 96 DPI from the row's left edge to the nearest control on its
// right that shares its parent, its page and some of its height; 0 when
// nothing stands there.
int RoomToTheRight(const ControlLayout& row) {
  int room = 0;
  for (const ControlLayout& other : kControlLayout) {
    if (other.id == row.id || other.parent != row.parent || other.x <= row.x) continue;
    if (other.page != row.page && other.page != kEveryPage && row.page != kEveryPage) continue;
    if (other.y >= row.y + CoveredHeight(row) || row.y >= other.y + CoveredHeight(other)) continue;
    if (room == 0 || other.x - row.x < room) room = other.x - row.x;
  }
  return room;
}

// The main window keeps its place on the screen and scales its size; the
// controls scale their edges, so that controls that meet still meet.
Placement ScaledPlacement(const ControlLayout& row, const LayoutScale& scale) {
  if (row.kind == kTopWindow) return {row.x, row.y, scale.Apply(row.width), scale.Apply(row.height)};
  const Placement drawn = DrawnPlacement(row);
  const int left = scale.Apply(drawn.x);
  const int top = scale.Apply(drawn.y);
  return {left, top, scale.Apply(drawn.x + drawn.width) - left, scale.Apply(drawn.y + drawn.height) - top};
}

bool HasFittedCaption(ControlKind kind) {
  return kind == kLabel || kind == kCheckBox || kind == kRadioButton;
}

// Widens a label, check box or radio button whose text needs more than its
// width, as far as the room beside it goes.
void FitCaption(const iControl& control, const ControlLayout& row, const Placement& at,
                const LayoutScale& scale) {
  const int needed = CaptionWidth(control, row.text) + (row.kind == kLabel ? 0 : CheckMarkWidth());
  if (needed <= at.width) return;
  const int room = RoomToTheRight(row);
  const int most = room > 0 ? scale.Apply(row.x + room) - at.x : needed;
  Move(control, at.x, at.y, std::min(needed, std::max(most, at.width)), at.height);
}

// --- Controls --------------------------------------------------------------

void MoveAndShow(const iControl& control, const Placement& at) {
  Move(control, at.x, at.y, at.width, at.height);
  Show(control, SW_SHOW);
}

// A combo box shows its text, or without one the item of its state.
void FillComboBox(const iControl& combo, const ControlLayout& row) {
  for (const char* const* item = row.items; *item != nullptr; ++item) AddItem(combo, *item);
  if (*row.text != '\0') {
    SetText(combo, row.text);
  } else {
    SetSelection(combo, row.state);
  }
}

void BuildControl(const ControlLayout& row, const LayoutScale& scale, WNDPROC windowProcedure) {
  iControl& control = Controls[row.id];
  HWND parent = Controls[row.parent].window;
  const Placement at = ScaledPlacement(row, scale);
  switch (row.kind) {
    case kTopWindow:
      CreateTopWindow(control, nullptr, row.text, windowProcedure);
      Move(control, at.x, at.y, at.width, at.height);
      RemoveStyle(control, WS_THICKFRAME, 0);
      RemoveStyle(control, WS_MAXIMIZEBOX, 0);
      break;
    case kTreeView:
      CreateTreeView(control, parent);
      Move(control, at.x, at.y, at.width, at.height);
      FillPageTree();
      // The page shown stays marked while the focus is elsewhere.
      AddStyle(control, TVS_SHOWSELALWAYS, false);
      Show(control, SW_SHOW);
      break;
    case kLabel:
      PlaceLabel(control, parent, row.text, at.x, at.y, at.width, at.height);
      break;
    case kLineEdit:
      PlaceLineEdit(control, parent, row.text, at.x, at.y, at.width, at.height);
      break;
    case kNumberEdit:
      PlaceLineEdit(control, parent, row.text, at.x, at.y, at.width, at.height);
      SetNumbersOnly(control, 1);
      break;
    case kMemo:
      PlaceMemo(control, parent, row.text, at.x, at.y, at.width, at.height);
      // Enter starts a new line here rather than running Generate.
      AddStyle(control, ES_WANTRETURN, false);
      break;
    case kReadOnlyMemo:
      PlaceMemo(control, parent, row.text, at.x, at.y, at.width, at.height);
      SetReadOnly(control, 1);
      break;
    case kCheckBox:
      PlaceCheckBox(control, parent, row.text, at.x, at.y, at.width, at.height);
      SetCheck(control, row.state);
      break;
    case kRadioButton:
      CreateRadioButton(control, Controls[row.parent], row.text);
      MoveAndShow(control, at);
      SetChecked(control, row.state);
      break;
    case kPushButton:
      PlaceButton(control, parent, row.text, at.x, at.y, at.width, at.height);
      break;
    case kGroupBox:
      CreateGroupBox(control, parent, row.text);
      MoveAndShow(control, at);
      break;
    case kEditableCombo:
    case kListCombo:
      CreateComboBox(control, parent, row.kind == kEditableCombo ? kEditableDropDown : kDropDownList, 0);
      MoveAndShow(control, at);
      FillComboBox(control, row);
      break;
  }
  if (row.textLimit > 0) SetTextLimit(control, row.textLimit);
  if (HasFittedCaption(row.kind)) FitCaption(control, row, at, scale);
}

// --- Keyboard order --------------------------------------------------------

// The keyboard's order is the reading order, so that a control finds its
// place from its position alone: page by page as the tree names them, then
// the controls that every page shows; within a page rows top to bottom and
// left to right, a group box followed by the controls inside it. The radios
// inside a group box form one group that Down and Up walk, so they go column
// by column, as they stand.

// Controls whose tops (lefts, for a column) differ by this much still share
// a row: an edit's ">>" button stands a pixel above it.
constexpr int kLineSlack = 4;

// Sorts the controls into lines, a line holding those whose coordinate
// `across` lies within the slack of its first one's, and each line along
// `along`.
void SortIntoLines(std::vector<ControlId>& ids, int ControlLayout::*across, int ControlLayout::*along) {
  auto at = [](ControlId id) -> const ControlLayout& { return kControlLayout[id]; };
  std::sort(ids.begin(), ids.end(), [&](ControlId a, ControlId b) {
    return std::make_pair(at(a).*across, at(a).*along) < std::make_pair(at(b).*across, at(b).*along);
  });
  int lineOf[kControlCount] = {};
  for (size_t i = 0; i < ids.size(); ++i) {
    int start = i == 0 ? at(ids[i]).*across : lineOf[ids[i - 1]];
    lineOf[ids[i]] = at(ids[i]).*across > start + kLineSlack ? at(ids[i]).*across : start;
  }
  std::stable_sort(ids.begin(), ids.end(), [&](ControlId a, ControlId b) {
    return std::make_pair(lineOf[a], at(a).*along) < std::make_pair(lineOf[b], at(b).*along);
  });
}

void AppendInReadingOrder(std::vector<TabEntry>& order, ControlId parent, Page page) {
  std::vector<ControlId> units;
  std::vector<ControlId> radios;
  for (const ControlLayout& row : kControlLayout) {
    if (row.parent != parent || row.page != page || row.kind == kLabel || row.kind == kTopWindow) continue;
    (row.kind == kRadioButton ? radios : units).push_back(row.id);
  }
  SortIntoLines(radios, &ControlLayout::x, &ControlLayout::y);
  // The group stands where its first radio stands.
  if (!radios.empty()) units.push_back(radios.front());
  SortIntoLines(units, &ControlLayout::y, &ControlLayout::x);
  for (ControlId id : units) {
    if (kControlLayout[id].kind == kRadioButton) {
      for (ControlId radio : radios) {
        order.push_back({radio, radio == id ? Stop::FirstRadio : Stop::NextRadio});
      }
    } else if (kControlLayout[id].kind == kGroupBox) {
      order.push_back({id, Stop::Holder});
      AppendInReadingOrder(order, id, page);
    } else {
      order.push_back({id, Stop::Own});
    }
  }
}

std::vector<TabEntry> DeriveKeyboardOrder() {
  std::vector<TabEntry> order;
  for (Page page : PagesInTreeOrder()) AppendInReadingOrder(order, kMainWindow, page);
  AppendInReadingOrder(order, kMainWindow, kEveryPage);
  return order;
}

void PutLast(const iControl& control) {
  SetWindowPos(control.window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Gives each control its keyboard styles and puts it last among its
// siblings, in the keyboard's order, with its label right before it. Tab
// follows the order of the windows among their siblings and passes over
// hidden and disabled ones, so each page's controls are met only while the
// page shows; a label's mnemonic leads to the next tab stop after it.
void ArrangeTabOrder() {
  for (const TabEntry& entry : KeyboardOrder()) {
    if (entry.stop == Stop::Own) AddStyle(Controls[entry.control], WS_TABSTOP | WS_GROUP, false);
    if (entry.stop == Stop::FirstRadio) AddStyle(Controls[entry.control], WS_GROUP, false);
    const ControlId before = static_cast<ControlId>(entry.control - 1);
    if (kControlLayout[before].kind == kLabel && LabelledControl(before) == entry.control) {
      PutLast(Controls[before]);
    }
    PutLast(Controls[entry.control]);
  }
}

// The tips of the command buttons, which name their keys.
iControl ButtonTips;

void AddToolTips() {
  if (!CreateToolTips(ButtonTips, MainWindow.window)) return;
  for (const ControlLayout& row : kControlLayout) {
    if (const char* tip = ToolTipOf(row.id)) AddToolTip(ButtonTips, Controls[row.id], tip);
  }
}

void SetTabStop(const iControl& control, bool stop) {
  bool isStop = (GetStyle(control, false) & WS_TABSTOP) != 0;
  if (isStop != stop) ChangeStyle(control, WS_TABSTOP, stop, false);
}

// The box takes the focus while its state changes, so that a box that held
// the focus is not left focused and disabled.
void EnableHoldingFocus(const iControl& control, bool enabled) {
  HWND focus = GetFocus();
  SetFocus(control.window);
  Enable(control, enabled);
  SetFocus(focus);
}

}  // namespace

void BuildMainWindow(WNDPROC windowProcedure) {
  const LayoutScale scale = SystemLayoutScale();
  for (const ControlLayout& row : kControlLayout) BuildControl(row, scale, windowProcedure);
  ArrangeTabOrder();
  AddToolTips();
  PutRadioTabStopsOnChecked();
  Send(Controls[kPageTree], TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(TreeItems[0]));
  ShowPage();
  Show(MainWindow, SW_SHOW);
  // The keyboard starts at the first control of the Main page.
  SetFocus(GetNextDlgTabItem(MainWindow.window, nullptr, FALSE));
}

const std::vector<TabEntry>& KeyboardOrder() {
  static const std::vector<TabEntry> order = DeriveKeyboardOrder();
  return order;
}

void PutRadioTabStopsOnChecked() {
  auto end = KeyboardOrder().end();
  for (auto first = KeyboardOrder().begin(); first != end; ++first) {
    if (first->stop != Stop::FirstRadio) continue;
    auto last = first + 1;
    while (last != end && last->stop == Stop::NextRadio) ++last;
    auto checked =
        std::find_if(first, last, [](const TabEntry& e) { return IsChecked(Controls[e.control]); });
    if (checked == last) checked = first;
    for (auto radio = first; radio != last; ++radio) {
      SetTabStop(Controls[radio->control], radio == checked);
    }
  }
}

void ShowPage() {
  Page selected = SelectedPage();
  // Page by page in the tree's order: where the controls of two pages
  // overlap, they are then painted in the same order whichever page was
  // shown before.
  for (Page page : PagesInTreeOrder()) {
    for (const ControlLayout& row : kControlLayout) {
      // Controls inside a group box come and go with it.
      if (row.parent != kMainWindow || row.page != page) continue;
      Show(Controls[row.id], page == selected ? SW_SHOW : SW_HIDE);
    }
  }
}

void UpdateEnabledStates() {
  bool html = IsChecked(Controls[kHtmlRadio]);
  bool anyTime = GetCheck(Controls[kLastWriteCheck]) != 0 || GetCheck(Controls[kLastReadCheck]) != 0 ||
                 GetCheck(Controls[kCreationTimeCheck]) != 0;
  // "Show seconds" first, while the focus is still where the user left it.
  for (const ControlLayout& row : kControlLayout) {
    if (row.enabling == kWithHtmlAndTimeColumn) EnableHoldingFocus(Controls[row.id], html && anyTime);
  }
  for (const ControlLayout& row : kControlLayout) {
    if (row.enabling == kWithHtml) Enable(Controls[row.id], html);
  }
}

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

// --- Controls --------------------------------------------------------------

void MoveAndShow(const iControl& control, const ControlLayout& row) {
  Move(control, row.x, row.y, row.width, row.height);
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

void BuildControl(const ControlLayout& row, WNDPROC windowProcedure) {
  iControl& control = Controls[row.id];
  HWND parent = Controls[row.parent].window;
  switch (row.kind) {
    case kTopWindow:
      CreateTopWindow(control, nullptr, row.text, windowProcedure);
      Move(control, row.x, row.y, row.width, row.height);
      RemoveStyle(control, WS_THICKFRAME, 0);
      RemoveStyle(control, WS_MAXIMIZEBOX, 0);
      break;
    case kTreeView:
      CreateTreeView(control, parent);
      Move(control, row.x, row.y, row.width, row.height);
      FillPageTree();
      // The page shown stays marked while the focus is elsewhere.
      AddStyle(control, TVS_SHOWSELALWAYS, false);
      Show(control, SW_SHOW);
      break;
    case kLabel:
      PlaceLabel(control, parent, row.text, row.x, row.y, row.width, row.height);
      break;
    case kLineEdit:
      PlaceLineEdit(control, parent, row.text, row.x, row.y, row.width, row.height);
      break;
    case kNumberEdit:
      PlaceLineEdit(control, parent, row.text, row.x, row.y, row.width, row.height);
      SetNumbersOnly(control, 1);
      break;
    case kMemo:
      PlaceMemo(control, parent, row.text, row.x, row.y, row.width, row.height);
      // Enter starts a new line here rather than running Generate.
      AddStyle(control, ES_WANTRETURN, false);
      break;
    case kReadOnlyMemo:
      PlaceMemo(control, parent, row.text, row.x, row.y, row.width, row.height);
      SetReadOnly(control, 1);
      break;
    case kCheckBox:
      PlaceCheckBox(control, parent, row.text, row.x, row.y, row.width, row.height);
      SetCheck(control, row.state);
      break;
    case kRadioButton:
      CreateRadioButton(control, Controls[row.parent], row.text);
      MoveAndShow(control, row);
      SetChecked(control, row.state);
      break;
    case kPushButton:
      PlaceButton(control, parent, row.text, row.x, row.y, row.width, row.height);
      break;
    case kGroupBox:
      CreateGroupBox(control, parent, row.text);
      MoveAndShow(control, row);
      break;
    case kEditableCombo:
    case kListCombo:
      CreateComboBox(control, parent, row.kind == kEditableCombo ? kEditableDropDown : kDropDownList, 0);
      MoveAndShow(control, row);
      FillComboBox(control, row);
      break;
  }
  if (row.textLimit > 0) SetTextLimit(control, row.textLimit);
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

// Gives each control its keyboard styles and puts it last among its
// siblings, in the keyboard's order; labels stay before them. Tab follows
// the order of the windows among their siblings and passes over hidden and
// disabled ones, so each page's controls are met only while the page shows.
void ArrangeTabOrder() {
  for (const TabEntry& entry : KeyboardOrder()) {
    if (entry.stop == Stop::Own) AddStyle(Controls[entry.control], WS_TABSTOP | WS_GROUP, false);
    if (entry.stop == Stop::FirstRadio) AddStyle(Controls[entry.control], WS_GROUP, false);
    SetWindowPos(Controls[entry.control].window, HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
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
  for (const ControlLayout& row : kControlLayout) BuildControl(row, windowProcedure);
  ArrangeTabOrder();
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

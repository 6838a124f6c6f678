#include "mainwindow/pages.h"

#include <algorithm>
#include <iterator>

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

// How a control takes part in the keyboard's way through the window.
enum class Stop {
  Own,         // a tab stop of its own
  FirstRadio,  // starts a radio group: one tab stop, at its checked radio
  NextRadio,   // reached from the other radios of its group with the arrow keys
  Holder,      // a group box: the controls inside it follow it
};

struct TabEntry {
  ControlId control;
  Stop stop;
};

// The pages in reading order (top to bottom, left to right), then the tree,
// the output format and the command buttons. Tab follows the order of the
// windows among their siblings and passes over hidden and disabled ones, so
// each page's controls are met only while the page shows.
const TabEntry kTabOrder[] = {
    {kSourceFolderEdit, Stop::Own},
    {kSourceFolderButton, Stop::Own},
    {kOutputFileEdit, Stop::Own},
    {kOutputFileButton, Stop::Own},
    {kColumnsGroup, Stop::Holder},
    {kSizeCheck, Stop::Own},
    {kLastReadCheck, Stop::Own},
    {kAttributesCheck, Stop::Own},
    {kTypeCheck, Stop::Own},
    {kCreationTimeCheck, Stop::Own},
    {kLastWriteCheck, Stop::Own},
    {kShowSecondsCheck, Stop::Own},
    {kSortGroup, Stop::Holder},
    // Down and Up walk the sort radios column by column, as they stand.
    {kSortByNameRadio, Stop::FirstRadio},
    {kSortBySizeRadio, Stop::NextRadio},
    {kSortByTypeRadio, Stop::NextRadio},
    {kSortByLastWriteRadio, Stop::NextRadio},
    {kSortByLastReadRadio, Stop::NextRadio},
    {kSortByCreationRadio, Stop::NextRadio},
    {kSortByAttributesRadio, Stop::NextRadio},
    {kDescOrderCheck, Stop::Own},
    {kIgnoreCaseCheck, Stop::Own},

    {kHtmlGroup, Stop::Holder},
    {kTitleEdit, Stop::Own},
    {kBaseCombo, Stop::Own},
    {kTableBorderCheck, Stop::Own},
    {kDivideTableCheck, Stop::Own},
    {kCellSpacingEdit, Stop::Own},
    {kCellPaddingEdit, Stop::Own},
    {kTableWidthEdit, Stop::Own},
    {kFullNamesCheck, Stop::Own},
    {kDirMaskEdit, Stop::Own},
    {kCreateLinksCheck, Stop::Own},
    {kFileMaskEdit, Stop::Own},
    {kShowSummaryCheck, Stop::Own},
    {kIncludeParentCheck, Stop::Own},
    {kShowMasksCheck, Stop::Own},
    {kSizeInCombo, Stop::Own},

    {kBackgroundGroup, Stop::Holder},
    {kCapColorCombo, Stop::Own},
    {kKeyCapColorCombo, Stop::Own},
    {kKeyColColorCombo, Stop::Own},
    {kTableColorCombo, Stop::Own},
    {kDocColorCombo, Stop::Own},

    {kCaptionsGroup, Stop::Holder},
    {kNameCaptionEdit, Stop::Own},
    {kLastReadCaptionEdit, Stop::Own},
    {kSizeCaptionEdit, Stop::Own},
    {kCreationCaptionEdit, Stop::Own},
    {kTypeCaptionEdit, Stop::Own},
    {kAttributesCaptionEdit, Stop::Own},
    {kLastWriteCaptionEdit, Stop::Own},

    {kWordsGroup, Stop::Holder},
    {kTotalSizeWordEdit, Stop::Own},
    {kContentOfWordEdit, Stop::Own},
    {kFileWordEdit, Stop::Own},
    {kFilesWordEdit, Stop::Own},
    {kFolderWordEdit, Stop::Own},
    {kFoldersWordEdit, Stop::Own},
    {kBytesWordCombo, Stop::Own},
    {kUserWord1Edit, Stop::Own},
    {kUserWord2Edit, Stop::Own},
    {kUserWord3Edit, Stop::Own},

    {kHeadCustomMemo, Stop::Own},
    {kBeforMemo, Stop::Own},
    {kAfterMemo, Stop::Own},
    {kCustTableMemo, Stop::Own},
    {kMaskStyleMemo, Stop::Own},
    {kTableStyleMemo, Stop::Own},
    {kNameStyleMemo, Stop::Own},
    {kCaptionStyleMemo, Stop::Own},
    {kTitleStyleMemo, Stop::Own},
    {kSummaryStyleMemo, Stop::Own},
    {kInfoMemo, Stop::Own},

    {kPageTree, Stop::Own},
    {kFormatGroup, Stop::Holder},
    {kTxtRadio, Stop::FirstRadio},
    {kHtmlRadio, Stop::NextRadio},
    {kOpenButton, Stop::Own},
    {kGenerateButton, Stop::Own},
    {kSaveButton, Stop::Own},
    {kWebSiteButton, Stop::Own},
    {kSaveAsButton, Stop::Own},
    {kExitButton, Stop::Own},
};

// Gives each control its keyboard styles and puts it last among its
// siblings, in the order of the table; labels stay before them.
void ArrangeTabOrder() {
  for (const TabEntry& entry : kTabOrder) {
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

void PutRadioTabStopsOnChecked() {
  const TabEntry* end = std::end(kTabOrder);
  for (const TabEntry* first = std::begin(kTabOrder); first != end; ++first) {
    if (first->stop != Stop::FirstRadio) continue;
    const TabEntry* last = first + 1;
    while (last != end && last->stop == Stop::NextRadio) ++last;
    const TabEntry* checked =
        std::find_if(first, last, [](const TabEntry& e) { return IsChecked(Controls[e.control]); });
    if (checked == last) checked = first;
    for (const TabEntry* radio = first; radio != last; ++radio) {
      SetTabStop(Controls[radio->control], radio == checked);
    }
  }
}

void ShowPage() {
  Page selected = SelectedPage();
  // Page by page in the order in which the tree first names them: where the
  // controls of two pages overlap, they are then painted in the same order
  // whichever page was shown before.
  for (size_t item = 0; item < std::size(kTreeItems); ++item) {
    Page page = kTreeItems[item].page;
    auto samePage = [page](const TreeItemEntry& earlier) { return earlier.page == page; };
    if (std::any_of(kTreeItems, kTreeItems + item, samePage)) continue;
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

#include "mainwindow/pages.h"

#include <algorithm>
#include <iterator>

iControl MainWindow;
iControl PageTree;

iControl FormatGroup, TxtRadio, HtmlRadio;
iControl OpenButton, SaveButton, SaveAsButton, GenerateButton, WebSiteButton, ExitButton;

iControl SourceFolderLabel, SourceFolderEdit, SourceFolderButton;
iControl OutputFileLabel, OutputFileEdit, OutputFileButton;
iControl ColumnsGroup, SizeCheck, TypeCheck, LastWriteCheck, LastReadCheck, CreationTimeCheck,
    ShowSecondsCheck, AttributesCheck;
iControl SortGroup, SortByNameRadio, SortBySizeRadio, SortByTypeRadio, SortByLastWriteRadio,
    SortByLastReadRadio, SortByCreationRadio, SortByAttributesRadio, DescOrderCheck, IgnoreCaseCheck;

iControl HtmlGroup, TitleLabel, TitleEdit, BaseLabel, BaseCombo, TableBorderCheck, DivideTableCheck,
    CellSpacingLabel, CellSpacingEdit, CellPaddingLabel, CellPaddingEdit, TableWidthLabel, TableWidthEdit,
    FullNamesCheck, CreateLinksCheck, IncludeParentCheck, ShowSummaryCheck, ShowMasksCheck, SizeInLabel,
    SizeInCombo, DirMaskLabel, DirMaskEdit, FileMaskLabel, FileMaskEdit;

iControl BackgroundGroup;
iControl CapColorLabel, CapColorCombo, KeyCapColorLabel, KeyCapColorCombo, KeyColColorLabel, KeyColColorCombo,
    TableColorLabel, TableColorCombo, DocColorLabel, DocColorCombo;

iControl CaptionsGroup;
iControl NameCaptionLabel, NameCaptionEdit, SizeCaptionLabel, SizeCaptionEdit, TypeCaptionLabel,
    TypeCaptionEdit, LastWriteCaptionLabel, LastWriteCaptionEdit, LastReadCaptionLabel, LastReadCaptionEdit,
    CreationCaptionLabel, CreationCaptionEdit, AttributesCaptionLabel, AttributesCaptionEdit;

iControl WordsGroup;
iControl TotalSizeWordLabel, TotalSizeWordEdit, FileWordLabel, FileWordEdit, FolderWordLabel, FolderWordEdit,
    BytesWordLabel, BytesWordCombo, UserWord1Label, UserWord1Edit, UserWord2Label, UserWord2Edit,
    UserWord3Label, UserWord3Edit, ContentOfWordLabel, ContentOfWordEdit, FilesWordLabel, FilesWordEdit,
    FoldersWordLabel, FoldersWordEdit;

iControl HeadCustomLabel, HeadCustomMemo, BeforLabel, BeforMemo, AfterLabel, AfterMemo, CustTableLabel,
    CustTableMemo;

iControl MaskStyleLabel, MaskStyleMemo, TableStyleLabel, TableStyleMemo, NameStyleLabel, NameStyleMemo,
    CaptionStyleLabel, CaptionStyleMemo, TitleStyleLabel, TitleStyleMemo, SummaryStyleLabel, SummaryStyleMemo;

iControl InfoMemo;

const char kProgramTitle[] = "Kestrova 1.51";
const char kWebSiteAddress[] = "https://www.example.org/kestrova/";

namespace {

constexpr int kKeep = -1;  // keeps the default size of the control's kind

// Editable boxes scroll their text, so that a text longer than the box can
// be typed whole.
constexpr DWORD kEditableDropDown = WS_CHILD | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_OEMCONVERT;
constexpr DWORD kDropDownList = WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | CBS_OEMCONVERT;
static_assert(kEditableDropDown == 0x402000C2, "editable drop-down style word");
static_assert(kDropDownList == 0x402000C3, "drop-down list style word");

enum class Kind { Label, Edit, Memo, Check, CheckedBox, Button };

// One control made by a placing operation.
struct Placed {
  iControl* control;
  Kind kind;
  const char* text;
  int x, y, width, height;
};

void Place(HWND parent, const Placed& p) {
  switch (p.kind) {
    case Kind::Label:
      PlaceLabel(*p.control, parent, p.text, p.x, p.y, p.width, p.height);
      break;
    case Kind::Edit:
      PlaceLineEdit(*p.control, parent, p.text, p.x, p.y, p.width, p.height);
      break;
    case Kind::Memo:
      PlaceMemo(*p.control, parent, p.text, p.x, p.y, p.width, p.height);
      // Enter starts a new line here rather than running Generate.
      AddStyle(*p.control, ES_WANTRETURN, false);
      break;
    case Kind::Check:
    case Kind::CheckedBox:
      PlaceCheckBox(*p.control, parent, p.text, p.x, p.y, p.width, p.height);
      SetCheck(*p.control, p.kind == Kind::CheckedBox ? BST_CHECKED : BST_UNCHECKED);
      break;
    case Kind::Button:
      PlaceButton(*p.control, parent, p.text, p.x, p.y, p.width, p.height);
      break;
  }
}

template <size_t N>
void PlaceAll(HWND parent, const Placed (&table)[N]) {
  for (const Placed& p : table) Place(parent, p);
}

void PlaceGroup(iControl& group, const char* text, int x, int y, int width, int height) {
  CreateGroupBox(group, MainWindow.window, text);
  Move(group, x, y, width, height);
  Show(group, SW_SHOW);
}

void PlaceRadio(iControl& radio, const iControl& group, const char* text, int x, int y, int width,
                bool checked) {
  CreateRadioButton(radio, group, text);
  Move(radio, x, y, width, kKeep);
  Show(radio, SW_SHOW);
  SetChecked(radio, checked);
}

void PlaceCombo(iControl& combo, HWND parent, DWORD style, int x, int y, int width) {
  CreateComboBox(combo, parent, style, 0);
  Move(combo, x, y, width, kKeep);
  Show(combo, SW_SHOW);
}

template <size_t N>
void AddItems(const iControl& combo, const char* const (&items)[N]) {
  for (const char* item : items) AddItem(combo, item);
}

// --- Page tree -------------------------------------------------------------

struct TreeItemEntry {
  const char* text;
  int parentIndex;  // index of the parent item in this table; -1 for a root item
  int page;
};

constexpr int kMainPage = 0;

const TreeItemEntry kTreeItems[] = {
    {"Main", -1, kMainPage},
    {"HTML", -1, 1},
    {"Background", -1, 2},
    {"Columns captions", -1, 3},
    {"Words", -1, 4},
    {"Custom HTML", -1, kMainPage},
    {"Custom head", 5, 51},
    {"Custom begining", 5, 52},
    {"Custom end", 5, 53},
    {"Custom Table HTML", 5, 54},
    {"Styles", -1, kMainPage},
    {"Mask style", 10, 61},
    {"Table style", 10, 61},
    {"Name style", 10, 62},
    {"Table caption style", 10, 62},
    {"Title style", 10, 63},
    {"Summary style", 10, 63},
    {"Info", -1, 7},
};

HTREEITEM TreeItems[std::size(kTreeItems)];

void BuildPageTree() {
  CreateTreeView(PageTree, MainWindow.window);
  Move(PageTree, 345, 0, 180, 150);
  for (size_t i = 0; i < std::size(kTreeItems); ++i) {
    const TreeItemEntry& item = kTreeItems[i];
    HTREEITEM parent = item.parentIndex < 0 ? nullptr : TreeItems[item.parentIndex];
    TreeItems[i] = InsertTreeItem(PageTree, parent, item.text);
  }
  // The page shown stays marked while the focus is elsewhere.
  AddStyle(PageTree, TVS_SHOWSELALWAYS, false);
  Show(PageTree, SW_SHOW);
}

int SelectedPage() {
  auto selected = reinterpret_cast<HTREEITEM>(Send(PageTree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected == nullptr) return kMainPage;
  for (size_t i = 0; i < std::size(kTreeItems); ++i) {
    if (TreeItems[i] == selected) return kTreeItems[i].page;
  }
  return kMainPage;
}

// The controls that each page shows; controls inside a group box go with it.
struct PageControl {
  int page;
  iControl* control;
};

const PageControl kPageControls[] = {
    {kMainPage, &ColumnsGroup},
    {kMainPage, &SortGroup},
    {kMainPage, &SourceFolderButton},
    {kMainPage, &OutputFileButton},
    {kMainPage, &SourceFolderEdit},
    {kMainPage, &OutputFileEdit},
    {kMainPage, &SourceFolderLabel},
    {kMainPage, &OutputFileLabel},
    {1, &HtmlGroup},
    {2, &BackgroundGroup},
    {3, &CaptionsGroup},
    {4, &WordsGroup},
    {51, &HeadCustomLabel},
    {51, &HeadCustomMemo},
    {52, &BeforLabel},
    {52, &BeforMemo},
    {53, &AfterLabel},
    {53, &AfterMemo},
    {54, &CustTableLabel},
    {54, &CustTableMemo},
    {61, &MaskStyleLabel},
    {61, &MaskStyleMemo},
    {61, &TableStyleLabel},
    {61, &TableStyleMemo},
    {62, &NameStyleLabel},
    {62, &NameStyleMemo},
    {62, &CaptionStyleLabel},
    {62, &CaptionStyleMemo},
    {63, &TitleStyleLabel},
    {63, &TitleStyleMemo},
    {63, &SummaryStyleLabel},
    {63, &SummaryStyleMemo},
    {7, &InfoMemo},
};

// --- Pages ----------------------------------------------------------------

void BuildCustomPages() {
  const Placed controls[] = {
      {&HeadCustomLabel, Kind::Label, "Custom Head:", 3, 10, kKeep, kKeep},
      {&HeadCustomMemo, Kind::Memo, "<META NAME =\"keywords\" CONTENT =\"$DirPath\">", 3, 25, 331, 287},
      {&BeforLabel, Kind::Label, "Custom begining:", 3, 10, 100, kKeep},
      {&BeforMemo, Kind::Memo, "", 3, 25, 331, 287},
      {&AfterLabel, Kind::Label, "Custom end:", 3, 10, kKeep, kKeep},
      {&AfterMemo, Kind::Memo, "", 3, 25, 331, 287},
      {&CustTableLabel, Kind::Label, "Custom Table HTML:", 3, 10, 140, kKeep},
      {&CustTableMemo, Kind::Memo, "", 3, 25, 331, 287},
  };
  PlaceAll(MainWindow.window, controls);
}

void BuildStylePages() {
  const Placed controls[] = {
      {&MaskStyleLabel, Kind::Label, "Mask style:", 3, 7, kKeep, kKeep},
      {&MaskStyleMemo, Kind::Memo,
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:navy;\r\n", 3, 22, 331,
       134},
      {&TableStyleLabel, Kind::Label, "Table style:", 3, 163, kKeep, kKeep},
      {&TableStyleMemo, Kind::Memo,
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:red;\r\n", 3, 178, 331,
       134},
      {&NameStyleLabel, Kind::Label, "Name style:", 3, 7, kKeep, kKeep},
      {&NameStyleMemo, Kind::Memo,
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
       "text-decoration: underline;\r\ncolor:navy;",
       3, 22, 331, 134},
      {&CaptionStyleLabel, Kind::Label, "Table caption style:", 3, 163, kKeep, kKeep},
      {&CaptionStyleMemo, Kind::Memo,
       "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
       "text-decoration: none;\r\ncolor:green;",
       3, 178, 331, 134},
      {&TitleStyleLabel, Kind::Label, "Title style:", 3, 7, kKeep, kKeep},
      {&TitleStyleMemo, Kind::Memo,
       "font-family: sans-serif;\r\nfont-size: medium;\r\nfont-weight: 700;\r\ncolor:navy;\r\n", 3, 22, 331,
       134},
      {&SummaryStyleLabel, Kind::Label, "Summary style:", 3, 163, kKeep, kKeep},
      {&SummaryStyleMemo, Kind::Memo,
       "Summary\r\nfont-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
       "color:blue;\r\n",
       3, 178, 331, 134},
  };
  PlaceAll(MainWindow.window, controls);
}

const char kAboutText[] =
    "About Kestrova 1.51\r\n"
    "\r\n"
    "Made by the Kestrova project\r\n"
    "Web site: https://www.example.org/kestrova/\r\n"
    "Mail: kestrova@example.org\r\n"
    "Build: May 31, 2006\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "DISCLAIMER:\r\n"
    "Author does NOT accept any responsibility for any effects\r\n"
    "or damage, that this program may have on your computer,\r\n"
    "Please send error reports to kestrova@example.org\r\n";

void BuildInfoPage() {
  PlaceMemo(InfoMemo, MainWindow.window, kAboutText, 5, 5, 328, 305);
  SetReadOnly(InfoMemo, 1);
}

void BuildMainPage() {
  const Placed fields[] = {
      {&SourceFolderLabel, Kind::Label, "Select Directory", 10, 50, kKeep, kKeep},
      {&SourceFolderEdit, Kind::Edit, "", 90, 50, 219, kKeep},
      {&OutputFileLabel, Kind::Label, "Select File", 10, 85, kKeep, kKeep},
      {&OutputFileEdit, Kind::Edit, "", 90, 85, 219, kKeep},
  };
  PlaceAll(MainWindow.window, fields);

  PlaceGroup(ColumnsGroup, " Select Columns ", 5, 110, 328, 100);
  const Placed columns[] = {
      {&SizeCheck, Kind::Check, "Size", 10, 15, kKeep, kKeep},
      {&TypeCheck, Kind::Check, "Type", 10, 40, kKeep, kKeep},
      {&LastWriteCheck, Kind::Check, "Last write", 10, 65, kKeep, kKeep},
      {&LastReadCheck, Kind::Check, "Last read", 120, 15, kKeep, kKeep},
      {&CreationTimeCheck, Kind::Check, "Creation time", 120, 40, 80, kKeep},
      {&ShowSecondsCheck, Kind::Check, "Show seconds", 124, 65, 88, kKeep},
      {&AttributesCheck, Kind::Check, "Attributes", 230, 15, 80, kKeep},
  };
  PlaceAll(ColumnsGroup.window, columns);

  PlaceGroup(SortGroup, " Sort by ", 5, 213, 328, 97);
  PlaceRadio(SortByNameRadio, SortGroup, "Name", 10, 15, kKeep, true);
  PlaceRadio(SortBySizeRadio, SortGroup, "Size", 10, 40, kKeep, false);
  PlaceRadio(SortByTypeRadio, SortGroup, "Type", 10, 65, kKeep, false);
  PlaceRadio(SortByLastWriteRadio, SortGroup, "Last Write", 120, 15, kKeep, false);
  PlaceRadio(SortByLastReadRadio, SortGroup, "Last Read", 120, 40, kKeep, false);
  PlaceRadio(SortByCreationRadio, SortGroup, "Creation time", 120, 65, 80, false);
  PlaceRadio(SortByAttributesRadio, SortGroup, "Attributes", 230, 15, 63, false);
  const Placed order[] = {
      {&DescOrderCheck, Kind::Check, "Desc. sorting", 235, 40, 82, kKeep},
      {&IgnoreCaseCheck, Kind::Check, "Ignore case", 235, 65, 82, kKeep},
  };
  PlaceAll(SortGroup.window, order);
}

void BuildFormatGroup() {
  PlaceGroup(FormatGroup, " Output Format ", 345, 155, 180, 62);
  PlaceRadio(TxtRadio, FormatGroup, "TXT", 10, 13, 60, false);
  PlaceRadio(HtmlRadio, FormatGroup, "HTML", 10, 37, 60, true);
}

void BuildButtons() {
  const Placed buttons[] = {
      {&SourceFolderButton, Kind::Button, ">>", 310, 49, 23, 23},
      {&OutputFileButton, Kind::Button, ">>", 310, 84, 23, 23},
      {&OpenButton, Kind::Button, "Open", 360, 222, kKeep, kKeep},
      {&SaveButton, Kind::Button, "Save", 360, 252, kKeep, kKeep},
      {&SaveAsButton, Kind::Button, "Save as", 360, 282, kKeep, kKeep},
      {&GenerateButton, Kind::Button, "Generate", 438, 222, kKeep, kKeep},
      {&WebSiteButton, Kind::Button, "Web Site", 438, 252, kKeep, kKeep},
      {&ExitButton, Kind::Button, "Exit", 438, 282, kKeep, kKeep},
  };
  PlaceAll(MainWindow.window, buttons);
}

void BuildHtmlPage() {
  PlaceGroup(HtmlGroup, " HTML", 5, 5, 328, 305);
  HWND group = HtmlGroup.window;

  Place(group, {&TitleLabel, Kind::Label, "Title: ", 10, 20, 30, kKeep});
  Place(group, {&TitleEdit, Kind::Edit, "Content of $DirPath", 42, 17, 170, kKeep});
  Place(group, {&BaseLabel, Kind::Label, "Base:", 10, 43, 30, kKeep});
  PlaceCombo(BaseCombo, group, kEditableDropDown, 42, 40, 170);
  AddItems(BaseCombo, {"file://localhost/$DirPath", "http://www.example.com/files/"});
  SetText(BaseCombo, "file://localhost/$DirPath");

  const Placed boxes[] = {
      {&TableBorderCheck, Kind::CheckedBox, "Table border", 10, 65, 78, kKeep},
      {&DivideTableCheck, Kind::CheckedBox, "Generate two tables", 10, 90, 114, kKeep},
      {&CellSpacingLabel, Kind::Label, "Cell Spacing:", 10, 115, 65, 15},
      {&CellSpacingEdit, Kind::Edit, "2", 87, 115, 23, 18},
      {&CellPaddingLabel, Kind::Label, "Cell Padding:", 115, 115, 70, 15},
      {&CellPaddingEdit, Kind::Edit, "4", 185, 115, 23, 18},
      {&TableWidthLabel, Kind::Label, "Table Width:", 10, 140, 70, 15},
      {&TableWidthEdit, Kind::Edit, "100%", 85, 140, 37, 18},
      {&FullNamesCheck, Kind::Check, "Use full file names as links", 10, 165, 150, kKeep},
      {&CreateLinksCheck, Kind::Check, "Create links from file names", 10, 190, 150, kKeep},
      // Beside "Show summary" rather than on it, below the file mask.
      {&IncludeParentCheck, Kind::Check, "Include parent", 167, 215, 100, kKeep},
      {&ShowSummaryCheck, Kind::Check, "Show summary", 10, 215, 100, kKeep},
      {&ShowMasksCheck, Kind::Check, "Show masks", 10, 240, 80, kKeep},
      {&SizeInLabel, Kind::Label, "Size in:", 10, 265, 50, kKeep},
  };
  PlaceAll(group, boxes);
  for (const iControl* number : {&CellSpacingEdit, &CellPaddingEdit}) {
    SetNumbersOnly(*number, 1);
    SetTextLimit(*number, 2);
  }
  SetTextLimit(TableWidthEdit, 4);

  PlaceCombo(SizeInCombo, group, kDropDownList, 80, 265, 64);
  AddItems(SizeInCombo, {"bytes", "kilobytes", "megabytes"});
  SetSelection(SizeInCombo, 1);

  const Placed masks[] = {
      {&DirMaskLabel, Kind::Label, "Mask for directories:", 167, 168, 100, kKeep},
      {&DirMaskEdit, Kind::Edit, "*.*", 272, 165, 50, kKeep},
      {&FileMaskLabel, Kind::Label, "Mask for files:", 167, 193, 70, 15},
      {&FileMaskEdit, Kind::Edit, "*.*", 272, 190, 50, kKeep},
  };
  PlaceAll(group, masks);
}

void BuildCaptionsPage() {
  PlaceGroup(CaptionsGroup, "Columns Captions", 5, 5, 328, 117);
  const Placed controls[] = {
      {&NameCaptionLabel, Kind::Label, "Name:", 10, 18, kKeep, kKeep},
      {&NameCaptionEdit, Kind::Edit, "Name", 80, 15, kKeep, kKeep},
      {&SizeCaptionLabel, Kind::Label, "Size:", 10, 43, kKeep, kKeep},
      {&SizeCaptionEdit, Kind::Edit, "Size", 80, 40, kKeep, kKeep},
      {&TypeCaptionLabel, Kind::Label, "Type:", 10, 68, kKeep, kKeep},
      {&TypeCaptionEdit, Kind::Edit, "Type", 80, 65, kKeep, kKeep},
      {&LastWriteCaptionLabel, Kind::Label, "Last Write:", 10, 93, kKeep, kKeep},
      {&LastWriteCaptionEdit, Kind::Edit, "Last Write", 80, 90, kKeep, kKeep},
      {&LastReadCaptionLabel, Kind::Label, "Last Read:", 170, 18, kKeep, kKeep},
      {&LastReadCaptionEdit, Kind::Edit, "Last Read", 240, 15, kKeep, kKeep},
      {&CreationCaptionLabel, Kind::Label, "Creation time:", 170, 43, kKeep, kKeep},
      {&CreationCaptionEdit, Kind::Edit, "Creation time", 240, 40, kKeep, kKeep},
      {&AttributesCaptionLabel, Kind::Label, "Attributes:", 170, 68, 45, 15},
      {&AttributesCaptionEdit, Kind::Edit, "Attributes", 240, 65, kKeep, kKeep},
  };
  PlaceAll(CaptionsGroup.window, controls);
}

void BuildWordsPage() {
  PlaceGroup(WordsGroup, "Words", 5, 5, 328, 195);
  HWND group = WordsGroup.window;
  const Placed upper[] = {
      {&TotalSizeWordLabel, Kind::Label, "$TotalSize", 10, 18, 60, kKeep},
      {&TotalSizeWordEdit, Kind::Edit, "Total size", 80, 15, 80, kKeep},
      {&FileWordLabel, Kind::Label, "$File", 10, 43, 60, kKeep},
      {&FileWordEdit, Kind::Edit, "File", 80, 40, 80, kKeep},
      {&FolderWordLabel, Kind::Label, "$Folder", 10, 68, 60, kKeep},
      {&FolderWordEdit, Kind::Edit, "Folder", 80, 65, 80, kKeep},
      {&BytesWordLabel, Kind::Label, "$Bytes", 10, 93, 60, kKeep},
  };
  PlaceAll(group, upper);
  PlaceCombo(BytesWordCombo, group, kEditableDropDown, 80, 90, 80);
  AddItems(BytesWordCombo, {"bytes", "Kb", "Mb"});
  SetText(BytesWordCombo, "bytes");
  const Placed lower[] = {
      {&UserWord1Label, Kind::Label, "$UserWord1", 10, 118, 60, kKeep},
      {&UserWord1Edit, Kind::Edit, "UserWord1", 80, 115, 80, kKeep},
      {&UserWord2Label, Kind::Label, "$UserWord2", 10, 143, 60, kKeep},
      {&UserWord2Edit, Kind::Edit, "UserWord2", 80, 140, 80, kKeep},
      {&UserWord3Label, Kind::Label, "$UserWord3", 10, 168, 60, kKeep},
      {&UserWord3Edit, Kind::Edit, "UserWord3", 80, 165, 80, kKeep},
      {&ContentOfWordLabel, Kind::Label, "$ContentOf", 170, 18, 60, kKeep},
      {&ContentOfWordEdit, Kind::Edit, "Content of", 240, 15, 80, kKeep},
      {&FilesWordLabel, Kind::Label, "$Files", 170, 43, 60, kKeep},
      {&FilesWordEdit, Kind::Edit, "Files", 240, 40, 80, kKeep},
      {&FoldersWordLabel, Kind::Label, "$Folders", 170, 68, 60, kKeep},
      {&FoldersWordEdit, Kind::Edit, "Folders", 240, 65, 80, kKeep},
  };
  PlaceAll(group, lower);
}

// One label and colour list of the Background page.
struct ColourRow {
  iControl* label;
  const char* text;
  int labelY, labelWidth, labelHeight;
  iControl* combo;
  bool spelledWithBlanks;
  int selected;
};

void BuildBackgroundPage() {
  PlaceGroup(BackgroundGroup, "Background", 5, 5, 328, 142);
  const ColourRow rows[] = {
      {&CapColorLabel, "Caption color:", 20, 112, kKeep, &CapColorCombo, false, 3},
      {&KeyCapColorLabel, "Key caption color:", 45, 112, 30, &KeyCapColorCombo, false, 2},
      {&KeyColColorLabel, "Key column color:", 70, 125, 30, &KeyColColorCombo, false, 3},
      {&TableColorLabel, "Table background:", 95, 125, 30, &TableColorCombo, true, 0},
      {&DocColorLabel, "Document background:", 120, 125, kKeep, &DocColorCombo, true, 0},
  };
  HWND group = BackgroundGroup.window;
  for (const ColourRow& row : rows) {
    Place(group, {row.label, Kind::Label, row.text, 10, row.labelY, row.labelWidth, row.labelHeight});
    PlaceCombo(*row.combo, group, kEditableDropDown, 124, row.labelY - 3, 110);
    if (row.spelledWithBlanks) {
      AddItems(*row.combo, {"None", "White", "Honey Dew", "Light Blue", "Light Grey"});
    } else {
      AddItems(*row.combo, {"None", "White", "HoneyDew", "LightBlue", "LightGrey"});
    }
    SetSelection(*row.combo, row.selected);
  }
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
  iControl* control;
  Stop stop;
};

// The pages in reading order (top to bottom, left to right), then the tree,
// the output format and the command buttons. Tab follows the order of the
// windows among their siblings and passes over hidden and disabled ones, so
// each page's controls are met only while the page shows.
const TabEntry kTabOrder[] = {
    {&SourceFolderEdit, Stop::Own},
    {&SourceFolderButton, Stop::Own},
    {&OutputFileEdit, Stop::Own},
    {&OutputFileButton, Stop::Own},
    {&ColumnsGroup, Stop::Holder},
    {&SizeCheck, Stop::Own},
    {&LastReadCheck, Stop::Own},
    {&AttributesCheck, Stop::Own},
    {&TypeCheck, Stop::Own},
    {&CreationTimeCheck, Stop::Own},
    {&LastWriteCheck, Stop::Own},
    {&ShowSecondsCheck, Stop::Own},
    {&SortGroup, Stop::Holder},
    // Down and Up walk the sort radios column by column, as they stand.
    {&SortByNameRadio, Stop::FirstRadio},
    {&SortBySizeRadio, Stop::NextRadio},
    {&SortByTypeRadio, Stop::NextRadio},
    {&SortByLastWriteRadio, Stop::NextRadio},
    {&SortByLastReadRadio, Stop::NextRadio},
    {&SortByCreationRadio, Stop::NextRadio},
    {&SortByAttributesRadio, Stop::NextRadio},
    {&DescOrderCheck, Stop::Own},
    {&IgnoreCaseCheck, Stop::Own},

    {&HtmlGroup, Stop::Holder},
    {&TitleEdit, Stop::Own},
    {&BaseCombo, Stop::Own},
    {&TableBorderCheck, Stop::Own},
    {&DivideTableCheck, Stop::Own},
    {&CellSpacingEdit, Stop::Own},
    {&CellPaddingEdit, Stop::Own},
    {&TableWidthEdit, Stop::Own},
    {&FullNamesCheck, Stop::Own},
    {&DirMaskEdit, Stop::Own},
    {&CreateLinksCheck, Stop::Own},
    {&FileMaskEdit, Stop::Own},
    {&ShowSummaryCheck, Stop::Own},
    {&IncludeParentCheck, Stop::Own},
    {&ShowMasksCheck, Stop::Own},
    {&SizeInCombo, Stop::Own},

    {&BackgroundGroup, Stop::Holder},
    {&CapColorCombo, Stop::Own},
    {&KeyCapColorCombo, Stop::Own},
    {&KeyColColorCombo, Stop::Own},
    {&TableColorCombo, Stop::Own},
    {&DocColorCombo, Stop::Own},

    {&CaptionsGroup, Stop::Holder},
    {&NameCaptionEdit, Stop::Own},
    {&LastReadCaptionEdit, Stop::Own},
    {&SizeCaptionEdit, Stop::Own},
    {&CreationCaptionEdit, Stop::Own},
    {&TypeCaptionEdit, Stop::Own},
    {&AttributesCaptionEdit, Stop::Own},
    {&LastWriteCaptionEdit, Stop::Own},

    {&WordsGroup, Stop::Holder},
    {&TotalSizeWordEdit, Stop::Own},
    {&ContentOfWordEdit, Stop::Own},
    {&FileWordEdit, Stop::Own},
    {&FilesWordEdit, Stop::Own},
    {&FolderWordEdit, Stop::Own},
    {&FoldersWordEdit, Stop::Own},
    {&BytesWordCombo, Stop::Own},
    {&UserWord1Edit, Stop::Own},
    {&UserWord2Edit, Stop::Own},
    {&UserWord3Edit, Stop::Own},

    {&HeadCustomMemo, Stop::Own},
    {&BeforMemo, Stop::Own},
    {&AfterMemo, Stop::Own},
    {&CustTableMemo, Stop::Own},
    {&MaskStyleMemo, Stop::Own},
    {&TableStyleMemo, Stop::Own},
    {&NameStyleMemo, Stop::Own},
    {&CaptionStyleMemo, Stop::Own},
    {&TitleStyleMemo, Stop::Own},
    {&SummaryStyleMemo, Stop::Own},
    {&InfoMemo, Stop::Own},

    {&PageTree, Stop::Own},
    {&FormatGroup, Stop::Holder},
    {&TxtRadio, Stop::FirstRadio},
    {&HtmlRadio, Stop::NextRadio},
    {&OpenButton, Stop::Own},
    {&GenerateButton, Stop::Own},
    {&SaveButton, Stop::Own},
    {&WebSiteButton, Stop::Own},
    {&SaveAsButton, Stop::Own},
    {&ExitButton, Stop::Own},
};

// Gives each control its keyboard styles and puts it last among its
// siblings, in the order of the table; labels stay before them.
void ArrangeTabOrder() {
  for (const TabEntry& entry : kTabOrder) {
    if (entry.stop == Stop::Own) AddStyle(*entry.control, WS_TABSTOP | WS_GROUP, false);
    if (entry.stop == Stop::FirstRadio) AddStyle(*entry.control, WS_GROUP, false);
    SetWindowPos(entry.control->window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void SetTabStop(const iControl& control, bool stop) {
  bool isStop = (GetStyle(control, false) & WS_TABSTOP) != 0;
  if (isStop != stop) ChangeStyle(control, WS_TABSTOP, stop, false);
}

void BuildTopWindow(WNDPROC windowProcedure) {
  CreateTopWindow(MainWindow, nullptr, kProgramTitle, windowProcedure);
  Move(MainWindow, kKeep, 100, 535, 350);
  RemoveStyle(MainWindow, WS_THICKFRAME, 0);
  RemoveStyle(MainWindow, WS_MAXIMIZEBOX, 0);
}

}  // namespace

void BuildMainWindow(WNDPROC windowProcedure) {
  BuildTopWindow(windowProcedure);
  BuildPageTree();
  BuildCustomPages();
  BuildStylePages();
  BuildInfoPage();
  BuildMainPage();
  BuildFormatGroup();
  BuildButtons();
  BuildHtmlPage();
  BuildCaptionsPage();
  BuildWordsPage();
  BuildBackgroundPage();
  ArrangeTabOrder();
  PutRadioTabStopsOnChecked();
  Send(PageTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(TreeItems[0]));
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
        std::find_if(first, last, [](const TabEntry& e) { return IsChecked(*e.control); });
    if (checked == last) checked = first;
    for (const TabEntry* radio = first; radio != last; ++radio) SetTabStop(*radio->control, radio == checked);
  }
}

void ShowPage() {
  int page = SelectedPage();
  for (const PageControl& entry : kPageControls) {
    Show(*entry.control, entry.page == page ? SW_SHOW : SW_HIDE);
  }
}

void UpdateEnabledStates() {
  bool html = IsChecked(HtmlRadio);

  // The box takes the focus while its state changes, so that a box that
  // held the focus is not left focused and disabled.
  HWND focus = GetFocus();
  SetFocus(ShowSecondsCheck.window);
  bool anyTime =
      GetCheck(LastWriteCheck) != 0 || GetCheck(LastReadCheck) != 0 || GetCheck(CreationTimeCheck) != 0;
  Enable(ShowSecondsCheck, html && anyTime);
  SetFocus(focus);

  const iControl* htmlOnly[] = {
      &ColumnsGroup,        &SizeCheck,           &TypeCheck,
      &LastWriteCheck,      &LastReadCheck,       &CreationTimeCheck,
      &CreateLinksCheck,    &DivideTableCheck,    &FullNamesCheck,
      &AttributesCheck,     &BaseCombo,           &NameCaptionEdit,
      &SizeCaptionEdit,     &TypeCaptionEdit,     &LastWriteCaptionEdit,
      &LastReadCaptionEdit, &CreationCaptionEdit, &AttributesCaptionEdit,
      &CellSpacingLabel,    &CellSpacingEdit,     &CellPaddingLabel,
      &CellPaddingEdit,     &HeadCustomMemo,      &CapColorCombo,
      &KeyCapColorCombo,    &KeyColColorCombo,    &TableColorCombo,
      &DocColorCombo,       &TableBorderCheck,    &CaptionStyleLabel,
      &CaptionStyleMemo,    &MaskStyleLabel,      &MaskStyleMemo,
      &NameStyleLabel,      &NameStyleMemo,       &TableStyleLabel,
      &TableStyleMemo,      &SummaryStyleLabel,   &SummaryStyleMemo,
      &TitleStyleLabel,     &TitleStyleMemo,
  };
  for (const iControl* control : htmlOnly) Enable(*control, html);
}

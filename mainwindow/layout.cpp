#include "mainwindow/layout.h"

const char kProgramTitle[] = "Kestrova 1.51";

namespace {

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

const char kMaskStyle[] =
    "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:navy;\r\n";
const char kTableStyle[] =
    "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:red;\r\n";
const char kNameStyle[] =
    "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
    "text-decoration: underline;\r\ncolor:navy;";
const char kCaptionStyle[] =
    "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
    "text-decoration: none;\r\ncolor:green;";
const char kTitleStyle[] =
    "font-family: sans-serif;\r\nfont-size: medium;\r\nfont-weight: 700;\r\ncolor:navy;\r\n";
const char kSummaryStyle[] =
    "Summary\r\nfont-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\ncolor:blue;\r\n";

const char* const kBaseItems[] = {"file://localhost/$DirPath", "http://www.example.com/files/", nullptr};
const char* const kSizeUnitItems[] = {"bytes", "kilobytes", "megabytes", nullptr};
const char* const kBytesWordItems[] = {"bytes", "Kb", "Mb", nullptr};
const char* const kCaptionColours[] = {"None", "White", "HoneyDew", "LightBlue", "LightGrey", nullptr};
const char* const kBackgroundColours[] = {"None", "White", "Honey Dew", "Light Blue", "Light Grey", nullptr};

}  // namespace

// clang-format off
constexpr ControlLayout kControlLayout[kControlCount] = {
    // id, kind, parent, page, x, y, width, height, text, state, enabling, items, text limit
    {kMainWindow, kTopWindow, kMainWindow, kEveryPage, kKeep, 100, 535, 350, kProgramTitle},
    {kPageTree, kTreeView, kMainWindow, kEveryPage, 345, 0, 180, 150, ""},

    {kHeadCustomLabel, kLabel, kMainWindow, kCustomHeadPage, 3, 10, kKeep, kKeep, "Custom &Head:"},
    {kHeadCustomMemo, kMemo, kMainWindow, kCustomHeadPage, 3, 25, 331, 287,
     "<META NAME =\"keywords\" CONTENT =\"$DirPath\">", 0, kWithHtml},
    {kBeforLabel, kLabel, kMainWindow, kCustomBeginningPage, 3, 10, 100, kKeep, "Custom &begining:"},
    {kBeforMemo, kMemo, kMainWindow, kCustomBeginningPage, 3, 25, 331, 287, ""},
    {kAfterLabel, kLabel, kMainWindow, kCustomEndPage, 3, 10, kKeep, kKeep, "Custom &end:"},
    {kAfterMemo, kMemo, kMainWindow, kCustomEndPage, 3, 25, 331, 287, ""},
    {kCustTableLabel, kLabel, kMainWindow, kCustomTablePage, 3, 10, 140, kKeep, "Custom &Table HTML:"},
    {kCustTableMemo, kMemo, kMainWindow, kCustomTablePage, 3, 25, 331, 287, ""},

    {kMaskStyleLabel, kLabel, kMainWindow, kMaskAndTableStylePage, 3, 7, kKeep, kKeep, "&Mask style:", 0,
     kWithHtml},
    {kMaskStyleMemo, kMemo, kMainWindow, kMaskAndTableStylePage, 3, 22, 331, 134, kMaskStyle, 0, kWithHtml},
    {kTableStyleLabel, kLabel, kMainWindow, kMaskAndTableStylePage, 3, 163, kKeep, kKeep, "&Table style:", 0,
     kWithHtml},
    {kTableStyleMemo, kMemo, kMainWindow, kMaskAndTableStylePage, 3, 178, 331, 134, kTableStyle, 0,
     kWithHtml},
    {kNameStyleLabel, kLabel, kMainWindow, kNameAndCaptionStylePage, 3, 7, kKeep, kKeep, "&Name style:", 0,
     kWithHtml},
    {kNameStyleMemo, kMemo, kMainWindow, kNameAndCaptionStylePage, 3, 22, 331, 134, kNameStyle, 0, kWithHtml},
    {kCaptionStyleLabel, kLabel, kMainWindow, kNameAndCaptionStylePage, 3, 163, 100, kKeep,
     "Table &caption style:", 0, kWithHtml},
    {kCaptionStyleMemo, kMemo, kMainWindow, kNameAndCaptionStylePage, 3, 178, 331, 134, kCaptionStyle, 0,
     kWithHtml},
    {kTitleStyleLabel, kLabel, kMainWindow, kTitleAndSummaryStylePage, 3, 7, kKeep, kKeep, "&Title style:", 0,
     kWithHtml},
    {kTitleStyleMemo, kMemo, kMainWindow, kTitleAndSummaryStylePage, 3, 22, 331, 134, kTitleStyle, 0,
     kWithHtml},
    {kSummaryStyleLabel, kLabel, kMainWindow, kTitleAndSummaryStylePage, 3, 163, 80, kKeep,
     "S&ummary style:", 0, kWithHtml},
    {kSummaryStyleMemo, kMemo, kMainWindow, kTitleAndSummaryStylePage, 3, 178, 331, 134, kSummaryStyle, 0,
     kWithHtml},

    {kInfoMemo, kReadOnlyMemo, kMainWindow, kInfoPage, 5, 5, 328, 305, kAboutText},

    {kSourceFolderLabel, kLabel, kMainWindow, kMainPage, 10, 50, 80, kKeep, "Select &Directory"},
    {kSourceFolderEdit, kLineEdit, kMainWindow, kMainPage, 90, 50, 219, kKeep, ""},
    {kOutputFileLabel, kLabel, kMainWindow, kMainPage, 10, 85, kKeep, kKeep, "Select &File"},
    {kOutputFileEdit, kLineEdit, kMainWindow, kMainPage, 90, 85, 219, kKeep, ""},
    {kColumnsGroup, kGroupBox, kMainWindow, kMainPage, 5, 110, 328, 100, " Select Columns ", 0, kWithHtml},
    {kSizeCheck, kCheckBox, kColumnsGroup, kMainPage, 10, 15, kKeep, kKeep, "Size", 0, kWithHtml},
    {kTypeCheck, kCheckBox, kColumnsGroup, kMainPage, 10, 40, kKeep, kKeep, "Type", 0, kWithHtml},
    {kLastWriteCheck, kCheckBox, kColumnsGroup, kMainPage, 10, 65, kKeep, kKeep, "Last write", 0, kWithHtml},
    {kLastReadCheck, kCheckBox, kColumnsGroup, kMainPage, 120, 15, kKeep, kKeep, "Last read", 0, kWithHtml},
    {kCreationTimeCheck, kCheckBox, kColumnsGroup, kMainPage, 120, 40, 84, kKeep, "Creation time", 0,
     kWithHtml},
    {kShowSecondsCheck, kCheckBox, kColumnsGroup, kMainPage, 124, 65, 96, kKeep, "Show seconds", 0,
     kWithHtmlAndTimeColumn},
    {kAttributesCheck, kCheckBox, kColumnsGroup, kMainPage, 230, 15, 80, kKeep, "Attributes", 0, kWithHtml},
    {kSortGroup, kGroupBox, kMainWindow, kMainPage, 5, 213, 328, 97, " Sort by "},
    {kSortByNameRadio, kRadioButton, kSortGroup, kMainPage, 10, 15, kKeep, kKeep, "Name", 1},
    {kSortBySizeRadio, kRadioButton, kSortGroup, kMainPage, 10, 40, kKeep, kKeep, "Size"},
    {kSortByTypeRadio, kRadioButton, kSortGroup, kMainPage, 10, 65, kKeep, kKeep, "Type"},
    {kSortByLastWriteRadio, kRadioButton, kSortGroup, kMainPage, 120, 15, kKeep, kKeep, "Last Write"},
    {kSortByLastReadRadio, kRadioButton, kSortGroup, kMainPage, 120, 40, kKeep, kKeep, "Last Read"},
    {kSortByCreationRadio, kRadioButton, kSortGroup, kMainPage, 120, 65, 84, kKeep, "Creation time"},
    {kSortByAttributesRadio, kRadioButton, kSortGroup, kMainPage, 230, 15, 63, kKeep, "Attributes"},
    {kDescOrderCheck, kCheckBox, kSortGroup, kMainPage, 235, 40, 82, kKeep, "Desc. sorting"},
    {kIgnoreCaseCheck, kCheckBox, kSortGroup, kMainPage, 235, 65, 82, kKeep, "Ignore case"},

    {kFormatGroup, kGroupBox, kMainWindow, kEveryPage, 345, 155, 180, 62, " Output Format "},
    {kTxtRadio, kRadioButton, kFormatGroup, kEveryPage, 10, 13, 60, kKeep, "TXT"},
    {kHtmlRadio, kRadioButton, kFormatGroup, kEveryPage, 10, 37, 60, kKeep, "HTML", 1},
    // The two ">>" buttons belong to the Main page but come with the others.
    {kSourceFolderButton, kPushButton, kMainWindow, kMainPage, 310, 49, 23, 23, ">>"},
    {kOutputFileButton, kPushButton, kMainWindow, kMainPage, 310, 84, 23, 23, ">>"},
    {kOpenButton, kPushButton, kMainWindow, kEveryPage, 360, 222, kKeep, kKeep, "&Open"},
    {kSaveButton, kPushButton, kMainWindow, kEveryPage, 360, 252, kKeep, kKeep, "&Save"},
    {kSaveAsButton, kPushButton, kMainWindow, kEveryPage, 360, 282, kKeep, kKeep, "Save &as"},
    {kGenerateButton, kPushButton, kMainWindow, kEveryPage, 438, 222, kKeep, kKeep, "&Generate"},
    {kWebSiteButton, kPushButton, kMainWindow, kEveryPage, 438, 252, kKeep, kKeep, "&Web Site"},
    {kExitButton, kPushButton, kMainWindow, kEveryPage, 438, 282, kKeep, kKeep, "E&xit"},

    {kHtmlGroup, kGroupBox, kMainWindow, kHtmlPage, 5, 5, 328, 305, " HTML"},
    {kTitleLabel, kLabel, kHtmlGroup, kHtmlPage, 10, 20, 30, kKeep, "&Title: "},
    // The title and the base are wider than in the first design, which cut
    // the second address of the base's list.
    {kTitleEdit, kLineEdit, kHtmlGroup, kHtmlPage, 42, 17, 200, kKeep, "Content of $DirPath"},
    {kBaseLabel, kLabel, kHtmlGroup, kHtmlPage, 10, 43, 30, kKeep, "&Base:"},
    {kBaseCombo, kEditableCombo, kHtmlGroup, kHtmlPage, 42, 40, 200, kKeep, "file://localhost/$DirPath", 0,
     kWithHtml, kBaseItems},
    {kTableBorderCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 65, 82, kKeep, "Table border", 1, kWithHtml},
    {kDivideTableCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 90, 118, kKeep, "Generate two tables", 1,
     kWithHtml},
    {kCellSpacingLabel, kLabel, kHtmlGroup, kHtmlPage, 10, 115, 65, 15, "&Cell Spacing:", 0, kWithHtml},
    {kCellSpacingEdit, kNumberEdit, kHtmlGroup, kHtmlPage, 87, 115, 23, 18, "2", 0, kWithHtml, nullptr, 2},
    {kCellPaddingLabel, kLabel, kHtmlGroup, kHtmlPage, 115, 115, 70, 15, "Cell &Padding:", 0, kWithHtml},
    {kCellPaddingEdit, kNumberEdit, kHtmlGroup, kHtmlPage, 185, 115, 23, 18, "4", 0, kWithHtml, nullptr, 2},
    {kTableWidthLabel, kLabel, kHtmlGroup, kHtmlPage, 10, 140, 70, 15, "Table Wi&dth:"},
    {kTableWidthEdit, kLineEdit, kHtmlGroup, kHtmlPage, 85, 140, 45, 18, "100%", 0, kAlwaysEnabled, nullptr,
     4},
    {kFullNamesCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 165, 150, kKeep, "Use full file names as links",
     0, kWithHtml},
    {kCreateLinksCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 190, 154, kKeep, "Create links from file names",
     0, kWithHtml},
    // Beside "Show summary" rather than on it, below the file mask.
    {kIncludeParentCheck, kCheckBox, kHtmlGroup, kHtmlPage, 167, 215, 100, kKeep, "Include parent"},
    {kShowSummaryCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 215, 100, kKeep, "Show summary"},
    {kShowMasksCheck, kCheckBox, kHtmlGroup, kHtmlPage, 10, 240, 84, kKeep, "Show masks"},
    {kSizeInLabel, kLabel, kHtmlGroup, kHtmlPage, 10, 265, 50, kKeep, "Size &in:"},
    // Wider than in the first design, which cut "kilobytes" and "megabytes".
    {kSizeInCombo, kListCombo, kHtmlGroup, kHtmlPage, 80, 265, 100, kKeep, "", 1, kAlwaysEnabled,
     kSizeUnitItems},
    {kDirMaskLabel, kLabel, kHtmlGroup, kHtmlPage, 167, 168, 100, kKeep, "&Mask for directories:"},
    {kDirMaskEdit, kLineEdit, kHtmlGroup, kHtmlPage, 272, 165, 50, kKeep, "*.*"},
    {kFileMaskLabel, kLabel, kHtmlGroup, kHtmlPage, 167, 193, 70, 15, "Mask for &files:"},
    {kFileMaskEdit, kLineEdit, kHtmlGroup, kHtmlPage, 272, 190, 50, kKeep, "*.*"},

    {kCaptionsGroup, kGroupBox, kMainWindow, kCaptionsPage, 5, 5, 328, 117, "Columns Captions"},
    {kNameCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 10, 18, 70, kKeep, "&Name:"},
    {kNameCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 80, 15, kKeep, kKeep, "Name", 0, kWithHtml},
    {kSizeCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 10, 43, 70, kKeep, "S&ize:"},
    {kSizeCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 80, 40, kKeep, kKeep, "Size", 0, kWithHtml},
    {kTypeCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 10, 68, 70, kKeep, "&Type:"},
    {kTypeCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 80, 65, kKeep, kKeep, "Type", 0, kWithHtml},
    {kLastWriteCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 10, 93, 70, kKeep, "&Last Write:"},
    {kLastWriteCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 80, 90, kKeep, kKeep, "Last Write", 0,
     kWithHtml},
    {kLastReadCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 170, 18, 70, kKeep, "Last &Read:"},
    {kLastReadCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 240, 15, kKeep, kKeep, "Last Read", 0,
     kWithHtml},
    {kCreationCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 170, 43, 70, kKeep, "&Creation time:"},
    {kCreationCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 240, 40, kKeep, kKeep, "Creation time",
     0, kWithHtml},
    {kAttributesCaptionLabel, kLabel, kCaptionsGroup, kCaptionsPage, 170, 68, 60, 15, "Attri&butes:"},
    {kAttributesCaptionEdit, kLineEdit, kCaptionsGroup, kCaptionsPage, 240, 65, kKeep, kKeep, "Attributes", 0,
     kWithHtml},

    {kWordsGroup, kGroupBox, kMainWindow, kWordsPage, 5, 5, 328, 195, "Words"},
    {kTotalSizeWordLabel, kLabel, kWordsGroup, kWordsPage, 10, 18, 60, kKeep, "$&TotalSize"},
    {kTotalSizeWordEdit, kLineEdit, kWordsGroup, kWordsPage, 80, 15, 80, kKeep, "Total size"},
    {kFileWordLabel, kLabel, kWordsGroup, kWordsPage, 10, 43, 60, kKeep, "$&File"},
    {kFileWordEdit, kLineEdit, kWordsGroup, kWordsPage, 80, 40, 80, kKeep, "File"},
    {kFolderWordLabel, kLabel, kWordsGroup, kWordsPage, 10, 68, 60, kKeep, "$Fo&lder"},
    {kFolderWordEdit, kLineEdit, kWordsGroup, kWordsPage, 80, 65, 80, kKeep, "Folder"},
    {kBytesWordLabel, kLabel, kWordsGroup, kWordsPage, 10, 93, 60, kKeep, "$&Bytes"},
    {kBytesWordCombo, kEditableCombo, kWordsGroup, kWordsPage, 80, 90, 80, kKeep, "bytes", 0, kAlwaysEnabled,
     kBytesWordItems},
    {kUserWord1Label, kLabel, kWordsGroup, kWordsPage, 10, 118, 66, kKeep, "$UserWord&1"},
    {kUserWord1Edit, kLineEdit, kWordsGroup, kWordsPage, 80, 115, 80, kKeep, "UserWord1"},
    {kUserWord2Label, kLabel, kWordsGroup, kWordsPage, 10, 143, 66, kKeep, "$UserWord&2"},
    {kUserWord2Edit, kLineEdit, kWordsGroup, kWordsPage, 80, 140, 80, kKeep, "UserWord2"},
    {kUserWord3Label, kLabel, kWordsGroup, kWordsPage, 10, 168, 66, kKeep, "$UserWord&3"},
    {kUserWord3Edit, kLineEdit, kWordsGroup, kWordsPage, 80, 165, 80, kKeep, "UserWord3"},
    {kContentOfWordLabel, kLabel, kWordsGroup, kWordsPage, 170, 18, 60, kKeep, "$&ContentOf"},
    {kContentOfWordEdit, kLineEdit, kWordsGroup, kWordsPage, 240, 15, 80, kKeep, "Content of"},
    {kFilesWordLabel, kLabel, kWordsGroup, kWordsPage, 170, 43, 60, kKeep, "$F&iles"},
    {kFilesWordEdit, kLineEdit, kWordsGroup, kWordsPage, 240, 40, 80, kKeep, "Files"},
    {kFoldersWordLabel, kLabel, kWordsGroup, kWordsPage, 170, 68, 60, kKeep, "$Folde&rs"},
    {kFoldersWordEdit, kLineEdit, kWordsGroup, kWordsPage, 240, 65, 80, kKeep, "Folders"},

    {kBackgroundGroup, kGroupBox, kMainWindow, kBackgroundPage, 5, 5, 328, 142, "Background"},
    // The combos stand a little right of their place in the first design, so
    // that "Document background:" fits beside them at every DPI.
    {kCapColorLabel, kLabel, kBackgroundGroup, kBackgroundPage, 10, 20, 112, kKeep, "&Caption color:"},
    {kCapColorCombo, kEditableCombo, kBackgroundGroup, kBackgroundPage, 128, 17, 110, kKeep, "", 3, kWithHtml,
     kCaptionColours},
    {kKeyCapColorLabel, kLabel, kBackgroundGroup, kBackgroundPage, 10, 45, 112, 30, "&Key caption color:"},
    {kKeyCapColorCombo, kEditableCombo, kBackgroundGroup, kBackgroundPage, 128, 42, 110, kKeep, "", 2,
     kWithHtml, kCaptionColours},
    {kKeyColColorLabel, kLabel, kBackgroundGroup, kBackgroundPage, 10, 70, 114, 30, "Key co&lumn color:"},
    {kKeyColColorCombo, kEditableCombo, kBackgroundGroup, kBackgroundPage, 128, 67, 110, kKeep, "", 3,
     kWithHtml, kCaptionColours},
    {kTableColorLabel, kLabel, kBackgroundGroup, kBackgroundPage, 10, 95, 114, 30, "&Table background:"},
    {kTableColorCombo, kEditableCombo, kBackgroundGroup, kBackgroundPage, 128, 92, 110, kKeep, "", 0,
     kWithHtml, kBackgroundColours},
    {kDocColorLabel, kLabel, kBackgroundGroup, kBackgroundPage, 10, 120, 118, kKeep, "&Document background:"},
    {kDocColorCombo, kEditableCombo, kBackgroundGroup, kBackgroundPage, 128, 117, 110, kKeep, "", 0,
     kWithHtml, kBackgroundColours},
};
// clang-format on

namespace {

// The keys are those of the accelerator table (resources/kestrova.rc), which
// the buttons' captions have no room to name.
const struct {
  ControlId id;
  const char* tip;
} kToolTips[] = {
    {kSourceFolderButton, "Choose the folder to list (Ctrl+D)"},
    {kOutputFileButton, "Choose the output file (Ctrl+F)"},
    {kOpenButton, "Open a settings file (Ctrl+O)"},
    {kSaveButton, "Save the settings (Ctrl+S)"},
    {kSaveAsButton, "Save the settings under another name (Ctrl+Shift+S)"},
    {kGenerateButton, "Write the listing (Ctrl+G or Enter)"},
    {kWebSiteButton, "Open the program's web site (Ctrl+W)"},
    {kExitButton, "Close the window (Alt+F4)"},
};

// The builder and the window tests rely on these.
constexpr bool RowsFollowTheIds() {
  for (int id = 0; id < kControlCount; ++id) {
    if (kControlLayout[id].id != id) return false;
  }
  return true;
}
static_assert(RowsFollowTheIds(), "one row for each control, in the order of the ids");

constexpr bool ParentsComeFirstAndShareTheirPage() {
  for (const ControlLayout& row : kControlLayout) {
    if (row.id == kMainWindow || row.parent == kMainWindow) continue;
    const ControlLayout& parent = kControlLayout[row.parent];
    if (parent.id >= row.id || parent.kind != kGroupBox || parent.page != row.page) return false;
  }
  return true;
}
static_assert(ParentsComeFirstAndShareTheirPage(), "a control inside a group box follows it, on its page");

constexpr bool ComboBoxesAndOnlyThemHaveItems() {
  for (const ControlLayout& row : kControlLayout) {
    bool combo = row.kind == kEditableCombo || row.kind == kListCombo;
    if (combo != (row.items != nullptr)) return false;
  }
  return true;
}
static_assert(ComboBoxesAndOnlyThemHaveItems(), "the items of a combo box's list");

constexpr bool LabelsStandBeforeWhatTheyName() {
  for (const ControlLayout& row : kControlLayout) {
    if (row.kind != kLabel) continue;
    const ControlLayout& named = kControlLayout[LabelledControl(row.id)];
    if (named.kind == kLabel || named.parent != row.parent || named.page != row.page) return false;
  }
  return true;
}
static_assert(LabelsStandBeforeWhatTheyName(), "a label's row comes right before its control's");

constexpr bool ShowTogether(Page a, Page b) { return a == b || a == kEveryPage || b == kEveryPage; }

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The letter of a caption's mnemonic, lower-cased; '\0' for a control
// without a caption (an edit's text is no caption).
constexpr char MnemonicLetter(const ControlLayout& row) {
  const bool captioned = row.kind == kLabel || row.kind == kPushButton || row.kind == kCheckBox ||
                         row.kind == kRadioButton || row.kind == kGroupBox;
  return captioned ? LowerAscii(MnemonicOf(row.text)) : '\0';
}

// Alt and a letter must lead to one control only on each page.
constexpr bool MnemonicsDifferOnEachPage() {
  for (const ControlLayout& row : kControlLayout) {
    const char letter = MnemonicLetter(row);
    if (letter == '\0') continue;
    for (const ControlLayout& other : kControlLayout) {
      if (other.id > row.id && ShowTogether(row.page, other.page) && MnemonicLetter(other) == letter) {
        return false;
      }
    }
  }
  return true;
}
static_assert(MnemonicsDifferOnEachPage(), "a mnemonic letter once on each page");

}  // namespace

const char* ToolTipOf(ControlId id) {
  for (const auto& entry : kToolTips) {
    if (entry.id == id) return entry.tip;
  }
  return nullptr;
}

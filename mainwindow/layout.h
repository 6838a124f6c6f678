// The main window's layout: every control once, with its kind, parent, page,
// position, size, initial value and when it is enabled. The window builds
// itself from this table, its keyboard order follows from the positions, and
// the window tests find its controls by it, so each position is written here
// only.
#pragma once

// Every control of the main window, the window itself first. The order is
// the order of creation: a parent comes before the controls inside it, and
// labels, which take no part in the keyboard's order, stay in this order
// among themselves.
enum ControlId : int {
  kMainWindow,
  kPageTree,

  // Custom HTML pages.
  kHeadCustomLabel,
  kHeadCustomMemo,
  kBeforLabel,
  kBeforMemo,
  kAfterLabel,
  kAfterMemo,
  kCustTableLabel,
  kCustTableMemo,

  // Style pages.
  kMaskStyleLabel,
  kMaskStyleMemo,
  kTableStyleLabel,
  kTableStyleMemo,
  kNameStyleLabel,
  kNameStyleMemo,
  kCaptionStyleLabel,
  kCaptionStyleMemo,
  kTitleStyleLabel,
  kTitleStyleMemo,
  kSummaryStyleLabel,
  kSummaryStyleMemo,

  kInfoMemo,

  // Main page.
  kSourceFolderLabel,
  kSourceFolderEdit,
  kOutputFileLabel,
  kOutputFileEdit,
  kColumnsGroup,
  kSizeCheck,
  kTypeCheck,
  kLastWriteCheck,
  kLastReadCheck,
  kCreationTimeCheck,
  kShowSecondsCheck,
  kAttributesCheck,
  kSortGroup,
  kSortByNameRadio,
  kSortBySizeRadio,
  kSortByTypeRadio,
  kSortByLastWriteRadio,
  kSortByLastReadRadio,
  kSortByCreationRadio,
  kSortByAttributesRadio,
  kDescOrderCheck,
  kIgnoreCaseCheck,

  // Always visible: the output format and the command buttons.
  kFormatGroup,
  kTxtRadio,
  kHtmlRadio,
  kSourceFolderButton,
  kOutputFileButton,
  kOpenButton,
  kSaveButton,
  kSaveAsButton,
  kGenerateButton,
  kWebSiteButton,
  kExitButton,

  // HTML page.
  kHtmlGroup,
  kTitleLabel,
  kTitleEdit,
  kBaseLabel,
  kBaseCombo,
  kTableBorderCheck,
  kDivideTableCheck,
  kCellSpacingLabel,
  kCellSpacingEdit,
  kCellPaddingLabel,
  kCellPaddingEdit,
  kTableWidthLabel,
  kTableWidthEdit,
  kFullNamesCheck,
  kCreateLinksCheck,
  kIncludeParentCheck,
  kShowSummaryCheck,
  kShowMasksCheck,
  kSizeInLabel,
  kSizeInCombo,
  kDirMaskLabel,
  kDirMaskEdit,
  kFileMaskLabel,
  kFileMaskEdit,

  // Columns captions page.
  kCaptionsGroup,
  kNameCaptionLabel,
  kNameCaptionEdit,
  kSizeCaptionLabel,
  kSizeCaptionEdit,
  kTypeCaptionLabel,
  kTypeCaptionEdit,
  kLastWriteCaptionLabel,
  kLastWriteCaptionEdit,
  kLastReadCaptionLabel,
  kLastReadCaptionEdit,
  kCreationCaptionLabel,
  kCreationCaptionEdit,
  kAttributesCaptionLabel,
  kAttributesCaptionEdit,

  // Words page.
  kWordsGroup,
  kTotalSizeWordLabel,
  kTotalSizeWordEdit,
  kFileWordLabel,
  kFileWordEdit,
  kFolderWordLabel,
  kFolderWordEdit,
  kBytesWordLabel,
  kBytesWordCombo,
  kUserWord1Label,
  kUserWord1Edit,
  kUserWord2Label,
  kUserWord2Edit,
  kUserWord3Label,
  kUserWord3Edit,
  kContentOfWordLabel,
  kContentOfWordEdit,
  kFilesWordLabel,
  kFilesWordEdit,
  kFoldersWordLabel,
  kFoldersWordEdit,

  // Background page.
  kBackgroundGroup,
  kCapColorLabel,
  kCapColorCombo,
  kKeyCapColorLabel,
  kKeyCapColorCombo,
  kKeyColColorLabel,
  kKeyColColorCombo,
  kTableColorLabel,
  kTableColorCombo,
  kDocColorLabel,
  kDocColorCombo,

  kControlCount
};

// The pages that the tree chooses, by their page codes.
enum Page : int {
  kEveryPage = -1,  // never hidden
  kMainPage = 0,
  kHtmlPage = 1,
  kBackgroundPage = 2,
  kCaptionsPage = 3,
  kWordsPage = 4,
  kInfoPage = 7,
  kCustomHeadPage = 51,
  kCustomBeginningPage = 52,
  kCustomEndPage = 53,
  kCustomTablePage = 54,
  kMaskAndTableStylePage = 61,
  kNameAndCaptionStylePage = 62,
  kTitleAndSummaryStylePage = 63,
};

enum ControlKind : int {
  kTopWindow,
  kTreeView,
  kLabel,
  kLineEdit,
  kNumberEdit,  // takes digits only
  kMemo,        // Enter starts a new line in it
  kReadOnlyMemo,
  kCheckBox,
  kRadioButton,
  kPushButton,
  kGroupBox,
  kEditableCombo,  // any text may be typed
  kListCombo,      // one of its items only
};

// When a control is enabled.
enum Enabling : int {
  kAlwaysEnabled,
  kWithHtml,               // while "HTML" is the output format
  kWithHtmlAndTimeColumn,  // and one of the time columns is chosen
};

constexpr int kKeep = -1;  // keeps the default size of the control's kind

// One control's place and initial value.
struct ControlLayout {
  ControlId id;
  ControlKind kind;
  ControlId parent;         // the main window or a group box on it
  Page page;                // the page that shows it; a group box's children share its page
  int x, y, width, height;  // in the parent's client area
  const char* text;         // caption or initial text; a combo box without one selects its state
  int state = 0;            // check boxes and radio buttons: 1 checked; combo boxes: the item selected
  Enabling enabling = kAlwaysEnabled;
  const char* const* items = nullptr;  // a combo box's list, ended by a null
  int textLimit = 0;                   // the most characters an edit takes; 0 keeps the kind's
};

// The rows of every control, indexed by ControlId.
extern const ControlLayout kControlLayout[kControlCount];

// The control that a label names, whose row follows the label's: Alt and
// the label's mnemonic letter lead there.
constexpr ControlId LabelledControl(ControlId label) { return static_cast<ControlId>(label + 1); }

// The letter after the "&" of a caption, which Alt and that letter reach
// ("&&" stands for the "&" itself); '\0' when there is none.
constexpr char MnemonicOf(const char* caption) {
  for (const char* c = caption; *c != '\0'; ++c) {
    if (*c != '&') continue;
    if (c[1] != '&') return c[1];
    ++c;
  }
  return '\0';
}

// The tip of a control that has one (the command buttons, naming their
// keys); null for the others.
const char* ToolTipOf(ControlId id);

// The main window's title, also the caption of the program's messages.
extern const char kProgramTitle[];

#include "mainwindow/binding.h"

#include "listing/entry.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "settings/settings_file.h"
#include "toolkit/dialogs.h"

namespace {

enum class FieldKind { kText, kColour, kFlag, kNumber };

// One control that edits one field of the record.
struct FieldBinding {
  ControlId control;
  FieldKind kind;
  std::string CommonStruct::*text;
  bool CommonStruct::*flag;
  int32_t CommonStruct::*number;
  bool shown = true;  // false: collected, never shown
};

constexpr FieldBinding Text(ControlId control, std::string CommonStruct::*field) {
  return {control, FieldKind::kText, field, nullptr, nullptr};
}

// An empty colour shows as "None", and "None" is collected as empty.
constexpr FieldBinding Colour(ControlId control, std::string CommonStruct::*field) {
  return {control, FieldKind::kColour, field, nullptr, nullptr};
}

constexpr FieldBinding Flag(ControlId control, bool CommonStruct::*field, bool shown = true) {
  return {control, FieldKind::kFlag, nullptr, field, nullptr, shown};
}

// Shown as decimal digits; pasted text that is not all digits keeps the
// previous value.
constexpr FieldBinding Number(ControlId control, int32_t CommonStruct::*field) {
  return {control, FieldKind::kNumber, nullptr, nullptr, field};
}

// The controls that copy straight to a field, in the order of collecting.
// The paths, the sort radios, the size unit, the output form and the
// columns have rules of their own below.
constexpr FieldBinding kFieldBindings[] = {
    Text(kHeadCustomMemo, &CommonStruct::HeadCustom),
    Text(kAfterMemo, &CommonStruct::After),
    Text(kBeforMemo, &CommonStruct::Befor),
    Text(kCustTableMemo, &CommonStruct::CustTable),
    Text(kCaptionStyleMemo, &CommonStruct::CaptionStyle),
    Text(kMaskStyleMemo, &CommonStruct::MaskStyle),
    Text(kNameStyleMemo, &CommonStruct::NameStyle),
    Text(kSummaryStyleMemo, &CommonStruct::SummaryStyle),
    Text(kTableStyleMemo, &CommonStruct::TableStyle),
    Text(kTitleStyleMemo, &CommonStruct::TitleStyle),
    Text(kDirMaskEdit, &CommonStruct::DirMask),
    Text(kFileMaskEdit, &CommonStruct::FileMask),
    Text(kBaseCombo, &CommonStruct::Base),
    Text(kTitleEdit, &CommonStruct::Title),
    Flag(kTableBorderCheck, &CommonStruct::TableBorder),
    Flag(kCreateLinksCheck, &CommonStruct::CreateLinks),
    Flag(kDescOrderCheck, &CommonStruct::DescOrder),
    Flag(kDivideTableCheck, &CommonStruct::DivideTable),
    Flag(kFullNamesCheck, &CommonStruct::FullNames),
    Flag(kIgnoreCaseCheck, &CommonStruct::IgnoreCase),
    // Never saved, so settings read from a file do not touch it.
    Flag(kIncludeParentCheck, &CommonStruct::IncludeParent, false),
    Flag(kShowMasksCheck, &CommonStruct::ShowMasks),
    Flag(kShowSummaryCheck, &CommonStruct::ShowSummary),
    Text(kTableWidthEdit, &CommonStruct::TableWidth),
    Text(kBytesWordCombo, &CommonStruct::FileSize),
    Text(kContentOfWordEdit, &CommonStruct::ContentOf),
    Text(kFilesWordEdit, &CommonStruct::Files),
    Text(kFileWordEdit, &CommonStruct::File),
    Text(kFolderWordEdit, &CommonStruct::Folder),
    Text(kFoldersWordEdit, &CommonStruct::Folders),
    Text(kTotalSizeWordEdit, &CommonStruct::TotalSize),
    Text(kUserWord1Edit, &CommonStruct::UserWord1),
    Text(kUserWord2Edit, &CommonStruct::UserWord2),
    Text(kUserWord3Edit, &CommonStruct::UserWord3),
    Text(kNameCaptionEdit, &CommonStruct::Name),
    Text(kSizeCaptionEdit, &CommonStruct::Size),
    Text(kTypeCaptionEdit, &CommonStruct::Type),
    Text(kLastWriteCaptionEdit, &CommonStruct::LW),
    Text(kLastReadCaptionEdit, &CommonStruct::LR),
    Text(kCreationCaptionEdit, &CommonStruct::CT),
    Text(kAttributesCaptionEdit, &CommonStruct::Attr),
    Colour(kKeyColColorCombo, &CommonStruct::KeyColColor),
    Colour(kCapColorCombo, &CommonStruct::CapColor),
    Colour(kKeyCapColorCombo, &CommonStruct::KeyCapColor),
    Colour(kDocColorCombo, &CommonStruct::DocColor),
    Colour(kTableColorCombo, &CommonStruct::TableColor),
    Number(kCellSpacingEdit, &CommonStruct::CellSpacing),
    Number(kCellPaddingEdit, &CommonStruct::CellPadding),
};

void CollectField(CommonStruct& record, const FieldBinding& binding) {
  const iControl& control = Controls[binding.control];
  switch (binding.kind) {
    case FieldKind::kText:
      record.*binding.text = GetText(control);
      break;
    case FieldKind::kColour: {
      std::string text = GetText(control);
      record.*binding.text = text == "None" ? std::string() : text;
      break;
    }
    case FieldKind::kFlag:
      record.*binding.flag = GetCheck(control) != 0;
      break;
    case FieldKind::kNumber: {
      std::string text = GetText(control);
      int32_t number = 0;
      if (text.empty()) {
        record.*binding.number = 0;
      } else if (ParseDigits(text, number)) {
        record.*binding.number = number;
      }
      break;
    }
  }
}

void ShowField(const CommonStruct& record, const FieldBinding& binding) {
  const iControl& control = Controls[binding.control];
  switch (binding.kind) {
    case FieldKind::kText:
      SetText(control, record.*binding.text);
      break;
    case FieldKind::kColour:
      SetText(control, (record.*binding.text).empty() ? "None" : record.*binding.text);
      break;
    case FieldKind::kFlag:
      SetCheck(control, record.*binding.flag ? BST_CHECKED : BST_UNCHECKED);
      break;
    case FieldKind::kNumber:
      SetText(control, std::to_string(record.*binding.number));
      break;
  }
}

const struct {
  ControlId box;
  bool ColumnSet::*column;
} kColumnBoxes[] = {
    {kSizeCheck, &ColumnSet::Size},
    {kTypeCheck, &ColumnSet::Type},
    {kLastWriteCheck, &ColumnSet::LastWrite},
    {kCreationTimeCheck, &ColumnSet::CreationTime},
    {kLastReadCheck, &ColumnSet::LastRead},
    {kAttributesCheck, &ColumnSet::Attributes},
    {kShowSecondsCheck, &ColumnSet::ShowSeconds},
};

// The sort radios in the order in which collecting tests them.
const struct {
  ControlId radio;
  int32_t code;
} kSortRadios[] = {
    {kSortByNameRadio, kSortByName},
    {kSortBySizeRadio, kSortBySize},
    {kSortByTypeRadio, kSortByType},
    {kSortByLastWriteRadio, kSortByLastWrite},
    {kSortByCreationRadio, kSortByCreation},
    {kSortByLastReadRadio, kSortByLastRead},
    {kSortByAttributesRadio, kSortByAttributes},
};

void CollectSortBy(int32_t& sortBy) {
  for (const auto& entry : kSortRadios) {
    if (IsChecked(Controls[entry.radio])) {
      sortBy = entry.code;
      return;
    }
  }
}

void ShowSortBy(int32_t sortBy) {
  // A code outside the radios' range checks none of them.
  for (const auto& entry : kSortRadios) SetChecked(Controls[entry.radio], entry.code == sortBy);
}

// The window joins the lines with "\n\r".
constexpr FolderMessageStyle kFolderMessageStyle{"\n\r", ""};

// A folder is one the window can make its current folder.
FolderStatus WindowFolderTest(const std::string& path, bool, std::string&) {
  return FolderExists(path) ? FolderStatus::kFolder : FolderStatus::kMissing;
}

std::string MissingFoldersMessage() {
  FolderCheck check =
      CheckListingFolders(GetText(Controls[kSourceFolderEdit]), FolderOf(GetText(Controls[kOutputFileEdit])),
                          true, WindowFolderTest);
  return FolderCheckMessage(check, kFolderMessageStyle);
}

}  // namespace

bool CollectSettings(bool report) {
  bool result = true;
  std::string message = MissingFoldersMessage();
  if (!message.empty() && report) {
    result = false;
    ShowError(message);
  }

  CommonStruct& s = Settings;
  for (const FieldBinding& binding : kFieldBindings) CollectField(s, binding);
  SetPathFieldsFromOutputEdit(GetText(Controls[kSourceFolderEdit]));
  CollectSortBy(s.SortBy);
  s.SizeIn = GetSelection(Controls[kSizeInCombo]);
  for (const auto& entry : kColumnBoxes) s.Columns.*entry.column = GetCheck(Controls[entry.box]) != 0;
  s.Output = IsHtmlFileName(GetText(Controls[kOutputFileEdit])) ? kOutputHtml : kOutputText;
  return result;
}

void PushSettingsToControls() {
  const CommonStruct& s = Settings;
  SetText(Controls[kSourceFolderEdit], s.DirStr);
  SetText(Controls[kOutputFileEdit], s.OutputFile);
  for (const FieldBinding& binding : kFieldBindings) {
    if (binding.shown) ShowField(s, binding);
  }
  for (const auto& entry : kColumnBoxes) {
    SetCheck(Controls[entry.box], s.Columns.*entry.column ? BST_CHECKED : BST_UNCHECKED);
  }
  SetSelection(Controls[kSizeInCombo], s.SizeIn);
  SetChecked(Controls[kHtmlRadio], s.Output == kOutputHtml);
  SetChecked(Controls[kTxtRadio], s.Output != kOutputHtml);
  ShowSortBy(s.SortBy);
  UpdateEnabledStates();
}

void SetPathFields(CommonStruct& record, const std::string& sourceFolder, const std::string& outputFolder,
                   const std::string& outputName) {
  record.DirStr = sourceFolder;
  record.OutputFolder = outputFolder;
  record.OutputName = outputName;
  bool endsInSlash = !outputFolder.empty() && outputFolder.back() == '\\';
  record.OutputFile = outputFolder + (endsInSlash ? "" : "\\") + outputName;
}

void SetPathFieldsFromOutputEdit(const std::string& sourceFolder) {
  std::string outputFile = GetText(Controls[kOutputFileEdit]);
  SetPathFields(Settings, sourceFolder, FolderOf(outputFile), FileNameOf(outputFile));
}

bool FolderExists(const std::string& path) {
  if (path.empty()) return false;
  std::string current = CurrentFolder();
  if (!SetCurrentDirectoryA(path.c_str())) return false;
  SetCurrentDirectoryA(current.c_str());
  return true;
}

void TakeSettingsBaseline() {
  CollectSettings(false);
  Settings.SettingsText = SerializeSettings(Settings);
}

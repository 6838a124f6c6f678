#include "mainwindow/binding.h"

#include "listing/entry.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "settings/setting_table.h"
#include "settings/settings_file.h"
#include "toolkit/dialogs.h"

namespace {

// One control that edits one saved setting: the setting's declaration
// gives the field and how its value reads.
struct SettingControl {
  ControlId control;
  const char* key;
};

// The controls that copy straight to a setting, in the order of collecting.
// The paths, the sort radios, the size unit, the output form, the columns
// and the parent entry, which is never saved, have rules of their own below.
constexpr SettingControl kSettingControls[] = {
    {kHeadCustomMemo, "HeadCustom"},
    {kAfterMemo, "After"},
    {kBeforMemo, "Befor"},
    {kCustTableMemo, "CustTable"},
    {kCaptionStyleMemo, "CaptionStyle"},
    {kMaskStyleMemo, "MaskStyle"},
    {kNameStyleMemo, "NameStyle"},
    {kSummaryStyleMemo, "SummaryStyle"},
    {kTableStyleMemo, "TableStyle"},
    {kTitleStyleMemo, "TitleStyle"},
    {kDirMaskEdit, "DirMask"},
    {kFileMaskEdit, "FileMask"},
    {kBaseCombo, "Base"},
    {kTitleEdit, "Title"},
    {kTableBorderCheck, "TableBorder"},
    {kCreateLinksCheck, "CreateLinks"},
    {kDescOrderCheck, "DescOrder"},
    {kDivideTableCheck, "DivideTable"},
    {kFullNamesCheck, "FullNames"},
    {kIgnoreCaseCheck, "IgnoreCase"},
    {kShowMasksCheck, "ShowMasks"},
    {kShowSummaryCheck, "ShowSummary"},
    {kTableWidthEdit, "TableWidth"},
    {kBytesWordCombo, "$FileSize"},
    {kContentOfWordEdit, "$ContentOf"},
    {kFilesWordEdit, "$Files"},
    {kFileWordEdit, "$File"},
    {kFolderWordEdit, "$Folder"},
    {kFoldersWordEdit, "$Folders"},
    {kTotalSizeWordEdit, "$TotalSize"},
    {kUserWord1Edit, "$UserWord1"},
    {kUserWord2Edit, "$UserWord2"},
    {kUserWord3Edit, "$UserWord3"},
    {kNameCaptionEdit, "Name"},
    {kSizeCaptionEdit, "Size"},
    {kTypeCaptionEdit, "Type"},
    {kLastWriteCaptionEdit, "LW"},
    {kLastReadCaptionEdit, "LR"},
    {kCreationCaptionEdit, "CT"},
    {kAttributesCaptionEdit, "Attr"},
    {kKeyColColorCombo, "KeyColColor"},
    {kCapColorCombo, "CapColor"},
    {kKeyCapColorCombo, "KeyCapColor"},
    {kDocColorCombo, "DocColor"},
    {kTableColorCombo, "TableColor"},
    {kCellSpacingEdit, "CellSpacing"},
    {kCellPaddingEdit, "CellPadding"},
};

const SettingDeclaration& DeclarationOf(const SettingControl& binding) { return *FindSetting(binding.key); }

void CollectField(CommonStruct& record, const SettingControl& binding) {
  const SettingDeclaration& setting = DeclarationOf(binding);
  const iControl& control = Controls[binding.control];
  switch (setting.Encoding) {
    case SettingEncoding::kFlag:
      record.*setting.Flag = GetCheck(control) != 0;
      break;
    case SettingEncoding::kNumber: {
      // Pasted text that is not all digits keeps the previous value.
      std::string text = GetText(control);
      int32_t number = 0;
      if (text.empty()) {
        setting.Number.Set(record, 0);
      } else if (ParseDigits(text, number)) {
        setting.Number.Set(record, number);
      }
      break;
    }
    default: {
      // A colour's "None" is collected as empty.
      std::string text = GetText(control);
      record.*setting.Text = setting.Colour && text == "None" ? std::string() : text;
      break;
    }
  }
}

void ShowField(const CommonStruct& record, const SettingControl& binding) {
  const SettingDeclaration& setting = DeclarationOf(binding);
  const iControl& control = Controls[binding.control];
  switch (setting.Encoding) {
    case SettingEncoding::kFlag:
      SetCheck(control, record.*setting.Flag ? BST_CHECKED : BST_UNCHECKED);
      break;
    case SettingEncoding::kNumber:
      SetText(control, std::to_string(setting.Number.Get(record)));
      break;
    default: {
      const std::string& text = record.*setting.Text;
      SetText(control, setting.Colour && text.empty() ? "None" : text);
      break;
    }
  }
}

const struct {
  ControlId box;
  ColumnId column;
} kColumnBoxes[] = {
    {kSizeCheck, ColumnId::kSize},           {kTypeCheck, ColumnId::kType},
    {kLastWriteCheck, ColumnId::kLastWrite}, {kCreationTimeCheck, ColumnId::kCreation},
    {kLastReadCheck, ColumnId::kLastRead},   {kAttributesCheck, ColumnId::kAttributes},
    {kShowSecondsCheck, ColumnId::kSeconds},
};

// The sort radios in the order in which collecting tests them.
const struct {
  ControlId radio;
  SortCode code;
} kSortRadios[] = {
    {kSortByNameRadio, kSortByName},
    {kSortBySizeRadio, kSortBySize},
    {kSortByTypeRadio, kSortByType},
    {kSortByLastWriteRadio, kSortByLastWrite},
    {kSortByCreationRadio, kSortByCreation},
    {kSortByLastReadRadio, kSortByLastRead},
    {kSortByAttributesRadio, kSortByAttributes},
};

void CollectSortBy(SortCode& sortBy) {
  for (const auto& entry : kSortRadios) {
    if (IsChecked(Controls[entry.radio])) {
      sortBy = entry.code;
      return;
    }
  }
}

void ShowSortBy(SortCode sortBy) {
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
  for (const SettingControl& binding : kSettingControls) CollectField(s, binding);
  s.IncludeParent = GetCheck(Controls[kIncludeParentCheck]) != 0;
  SetPathFieldsFromOutputEdit(GetText(Controls[kSourceFolderEdit]));
  CollectSortBy(s.SortBy);
  s.SizeIn = static_cast<SizeUnit>(GetSelection(Controls[kSizeInCombo]));
  for (const auto& entry : kColumnBoxes) s.Columns.Set(entry.column, GetCheck(Controls[entry.box]) != 0);
  s.Output = ClassicOutputForFileName(GetText(Controls[kOutputFileEdit]));
  return result;
}

void PushSettingsToControls() {
  const CommonStruct& s = Settings;
  SetText(Controls[kSourceFolderEdit], s.DirStr);
  SetText(Controls[kOutputFileEdit], s.OutputFile);
  // The parent entry's box is never set from settings, which never hold it.
  for (const SettingControl& binding : kSettingControls) ShowField(s, binding);
  for (const auto& entry : kColumnBoxes) {
    SetCheck(Controls[entry.box], s.Columns.Has(entry.column) ? BST_CHECKED : BST_UNCHECKED);
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

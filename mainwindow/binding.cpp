#include "mainwindow/binding.h"

#include "mainwindow/generation.h"
#include "mainwindow/main_window.h"
#include "mainwindow/pages.h"
#include "mainwindow/show_file.h"
#include "output/generate.h"
#include "settings/settings_file.h"

namespace {

void CollectText(std::string& field, const iControl& control) { field = GetText(control); }

void CollectFlag(bool& field, const iControl& box) { field = GetCheck(box) != 0; }

void CollectColour(std::string& field, const iControl& combo) {
  std::string text = GetText(combo);
  field = text == "None" ? std::string() : text;
}

// Pasted text that is not all digits keeps the previous value.
void CollectNumber(int32_t& field, const iControl& edit) {
  std::string text = GetText(edit);
  int32_t number = 0;
  if (text.empty()) {
    field = 0;
  } else if (ParseDigits(text, number)) {
    field = number;
  }
}

void ShowFlag(const iControl& box, bool flag) { SetCheck(box, flag ? BST_CHECKED : BST_UNCHECKED); }

void ShowColour(const iControl& combo, const std::string& colour) {
  SetText(combo, colour.empty() ? "None" : colour);
}

// The sort radios in the order in which collecting tests them.
const struct {
  const iControl* radio;
  int32_t code;
} kSortRadios[] = {
    {&SortByNameRadio, kSortByName},
    {&SortBySizeRadio, kSortBySize},
    {&SortByTypeRadio, kSortByType},
    {&SortByLastWriteRadio, kSortByLastWrite},
    {&SortByCreationRadio, kSortByCreation},
    {&SortByLastReadRadio, kSortByLastRead},
    {&SortByAttributesRadio, kSortByAttributes},
};

void CollectSortBy(int32_t& sortBy) {
  for (const auto& entry : kSortRadios) {
    if (IsChecked(*entry.radio)) {
      sortBy = entry.code;
      return;
    }
  }
}

void ShowSortBy(int32_t sortBy) {
  // A code outside the radios' range checks none of them.
  for (const auto& entry : kSortRadios) SetChecked(*entry.radio, entry.code == sortBy);
}

std::string FolderCheckMessage() {
  std::string message;
  std::string source = GetText(SourceFolderEdit);
  if (source.empty()) {
    message = "Choose source directory.\n\r";
  } else if (!FolderExists(source)) {
    message = "Source directory must exist.\n\r";
  }
  std::string outputFolder = FolderOf(GetText(OutputFileEdit));
  if (!FolderExists(outputFolder)) {
    message += "Output directory - " + outputFolder + " doesn't exist.";
  }
  return message;
}

}  // namespace

void ShowError(const std::string& text) {
  MessageBoxA(MainWindow.window, text.c_str(), kProgramTitle, MB_ICONERROR);
}

void ReportWriteFailure(const std::string& path) {
  ShowError((FileExists(path) ? "Cannot write to: " : "Cannot create: ") + path);
}

bool CollectSettings(bool report) {
  bool result = true;
  std::string message = FolderCheckMessage();
  if (!message.empty() && report) {
    result = false;
    ShowError(message);
  }

  CommonStruct& s = Settings;
  CollectText(s.HeadCustom, HeadCustomMemo);
  CollectText(s.After, AfterMemo);
  CollectText(s.Befor, BeforMemo);
  CollectText(s.CustTable, CustTableMemo);
  CollectText(s.CaptionStyle, CaptionStyleMemo);
  CollectText(s.MaskStyle, MaskStyleMemo);
  CollectText(s.NameStyle, NameStyleMemo);
  CollectText(s.SummaryStyle, SummaryStyleMemo);
  CollectText(s.TableStyle, TableStyleMemo);
  CollectText(s.TitleStyle, TitleStyleMemo);
  CollectText(s.DirMask, DirMaskEdit);
  CollectText(s.FileMask, FileMaskEdit);
  CollectText(s.Base, BaseCombo);
  CollectText(s.Title, TitleEdit);
  CollectFlag(s.TableBorder, TableBorderCheck);
  CollectFlag(s.CreateLinks, CreateLinksCheck);
  CollectFlag(s.DescOrder, DescOrderCheck);
  CollectFlag(s.DivideTable, DivideTableCheck);
  CollectFlag(s.FullNames, FullNamesCheck);
  CollectFlag(s.IgnoreCase, IgnoreCaseCheck);
  CollectFlag(s.IncludeParent, IncludeParentCheck);
  CollectFlag(s.ShowMasks, ShowMasksCheck);
  CollectFlag(s.ShowSummary, ShowSummaryCheck);
  CollectText(s.TableWidth, TableWidthEdit);
  CollectText(s.FileSize, BytesWordCombo);
  CollectText(s.ContentOf, ContentOfWordEdit);
  CollectText(s.Files, FilesWordEdit);
  CollectText(s.File, FileWordEdit);
  CollectText(s.Folder, FolderWordEdit);
  CollectText(s.Folders, FoldersWordEdit);
  CollectText(s.TotalSize, TotalSizeWordEdit);
  CollectText(s.UserWord1, UserWord1Edit);
  CollectText(s.UserWord2, UserWord2Edit);
  CollectText(s.UserWord3, UserWord3Edit);
  CollectText(s.Name, NameCaptionEdit);
  CollectText(s.Size, SizeCaptionEdit);
  CollectText(s.Type, TypeCaptionEdit);
  CollectText(s.LW, LastWriteCaptionEdit);
  CollectText(s.LR, LastReadCaptionEdit);
  CollectText(s.CT, CreationCaptionEdit);
  CollectText(s.Attr, AttributesCaptionEdit);
  CollectColour(s.KeyColColor, KeyColColorCombo);
  CollectColour(s.CapColor, CapColorCombo);
  CollectColour(s.KeyCapColor, KeyCapColorCombo);
  CollectColour(s.DocColor, DocColorCombo);
  CollectColour(s.TableColor, TableColorCombo);

  std::string outputFile = GetText(OutputFileEdit);
  SetPathFields(s, GetText(SourceFolderEdit), FolderOf(outputFile), FileNameOf(outputFile));

  CollectSortBy(s.SortBy);
  s.SizeIn = GetSelection(SizeInCombo);
  CollectFlag(s.Columns.Size, SizeCheck);
  CollectFlag(s.Columns.Type, TypeCheck);
  CollectFlag(s.Columns.LastWrite, LastWriteCheck);
  CollectFlag(s.Columns.CreationTime, CreationTimeCheck);
  CollectFlag(s.Columns.LastRead, LastReadCheck);
  CollectFlag(s.Columns.Attributes, AttributesCheck);
  CollectFlag(s.Columns.ShowSeconds, ShowSecondsCheck);

  s.Output = IsHtmlFileName(outputFile) ? kOutputHtml : kOutputText;

  CollectNumber(s.CellSpacing, CellSpacingEdit);
  CollectNumber(s.CellPadding, CellPaddingEdit);
  return result;
}

void PushSettingsToControls() {
  const CommonStruct& s = Settings;
  SetText(SourceFolderEdit, s.DirStr);
  SetText(OutputFileEdit, s.OutputFile);
  SetText(TitleEdit, s.Title);
  SetText(BaseCombo, s.Base);
  SetText(DirMaskEdit, s.DirMask);
  SetText(FileMaskEdit, s.FileMask);
  SetText(NameCaptionEdit, s.Name);
  SetText(SizeCaptionEdit, s.Size);
  SetText(TypeCaptionEdit, s.Type);
  SetText(LastWriteCaptionEdit, s.LW);
  SetText(LastReadCaptionEdit, s.LR);
  SetText(CreationCaptionEdit, s.CT);
  SetText(AttributesCaptionEdit, s.Attr);
  SetText(CellSpacingEdit, std::to_string(s.CellSpacing));
  SetText(CellPaddingEdit, std::to_string(s.CellPadding));
  SetText(TableWidthEdit, s.TableWidth);
  ShowFlag(SizeCheck, s.Columns.Size);
  ShowFlag(TypeCheck, s.Columns.Type);
  ShowFlag(LastWriteCheck, s.Columns.LastWrite);
  ShowFlag(LastReadCheck, s.Columns.LastRead);
  ShowFlag(CreationTimeCheck, s.Columns.CreationTime);
  ShowFlag(ShowSecondsCheck, s.Columns.ShowSeconds);
  ShowFlag(AttributesCheck, s.Columns.Attributes);
  ShowFlag(TableBorderCheck, s.TableBorder);
  ShowFlag(CreateLinksCheck, s.CreateLinks);
  ShowFlag(FullNamesCheck, s.FullNames);
  ShowFlag(ShowMasksCheck, s.ShowMasks);
  ShowFlag(DescOrderCheck, s.DescOrder);
  ShowFlag(IgnoreCaseCheck, s.IgnoreCase);
  ShowFlag(DivideTableCheck, s.DivideTable);
  ShowFlag(ShowSummaryCheck, s.ShowSummary);
  SetText(BytesWordCombo, s.FileSize);
  SetText(ContentOfWordEdit, s.ContentOf);
  SetText(FileWordEdit, s.File);
  SetText(FilesWordEdit, s.Files);
  SetText(FolderWordEdit, s.Folder);
  SetText(FoldersWordEdit, s.Folders);
  SetText(TotalSizeWordEdit, s.TotalSize);
  SetText(UserWord1Edit, s.UserWord1);
  SetText(UserWord2Edit, s.UserWord2);
  SetText(UserWord3Edit, s.UserWord3);
  SetSelection(SizeInCombo, s.SizeIn);
  SetText(AfterMemo, s.After);
  SetText(BeforMemo, s.Befor);
  SetText(HeadCustomMemo, s.HeadCustom);
  SetText(CustTableMemo, s.CustTable);
  SetText(CaptionStyleMemo, s.CaptionStyle);
  SetText(MaskStyleMemo, s.MaskStyle);
  SetText(NameStyleMemo, s.NameStyle);
  SetText(SummaryStyleMemo, s.SummaryStyle);
  SetText(TableStyleMemo, s.TableStyle);
  SetText(TitleStyleMemo, s.TitleStyle);
  ShowColour(KeyColColorCombo, s.KeyColColor);
  ShowColour(CapColorCombo, s.CapColor);
  ShowColour(KeyCapColorCombo, s.KeyCapColor);
  ShowColour(TableColorCombo, s.TableColor);
  ShowColour(DocColorCombo, s.DocColor);
  SetChecked(HtmlRadio, s.Output == kOutputHtml);
  SetChecked(TxtRadio, s.Output != kOutputHtml);
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

bool FolderExists(const std::string& path) {
  if (path.empty()) return false;
  std::string current = CurrentFolder();
  if (!SetCurrentDirectoryA(path.c_str())) return false;
  SetCurrentDirectoryA(current.c_str());
  return true;
}

void OnGenerate() {
  if (GenerationRunning() || !CollectSettings(true)) return;
  if (!StartGeneration(Settings, SystemFolderSource(), MainWindow.window)) {
    ShowError("Not enough memory");
    return;
  }
  ShowGenerationRunning(true);
}

void ReportGeneration(const GenerationResult& result) {
  switch (result.Outcome) {
    case GenerationOutcome::kWritten:
      OfferToShow(MainWindow.window, result.OutputFile, result.OutputName);
      break;
    case GenerationOutcome::kCannotReadFolder:
      ShowError("Cannot read folder: " + result.SourceFolder);
      break;
    case GenerationOutcome::kCannotWrite:
      ReportWriteFailure(result.OutputFile);
      break;
    case GenerationOutcome::kOutOfMemory:
      ShowError("Not enough memory");
      break;
    case GenerationOutcome::kCancelled:
      break;
  }
}

void TakeSettingsBaseline() {
  CollectSettings(false);
  Settings.SettingsText = SerializeSettings(Settings);
}

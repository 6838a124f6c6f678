#include "mainwindow/commands.h"

#include <shellapi.h>

#include "listing/entry.h"
#include "listing/replaced_names.h"
#include "mainwindow/binding.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "mainwindow/show_file.h"
#include "output/generate.h"
#include "settings/settings_file.h"
#include "toolkit/dialogs.h"

namespace {

const char kWebSiteAddress[] = "https://www.example.org/kestrova/";

constexpr UINT kFallbackMessageStyle = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL | MB_TOPMOST;
static_assert(kFallbackMessageStyle == 0x41010, "style of the dialog fall-back messages");

// The words of a failure, and the system's reason on a line of its own.
void ShowFailure(const std::string& words, const std::string& reason) {
  ShowError(reason.empty() ? words : words + "\r\n" + reason);
}

// "Cannot write to: " when a file of that path exists, else "Cannot create: ".
void ReportWriteFailure(const std::string& path, const std::string& reason) {
  ShowFailure((FileExists(path) ? "Cannot write to: " : "Cannot create: ") + path, reason);
}

// True when the settings reached the file; a failure is reported.
bool SaveOrReport(const std::string& path) {
  std::string reason;
  if (SaveSettings(Settings, path, reason)) return true;
  ReportWriteFailure(path, reason);
  return false;
}

std::string ReadFailureReason(FileReadStatus status, const std::string& reason) {
  switch (status) {
    case FileReadStatus::kNotRegularFile:
      return "Not a regular file";
    case FileReadStatus::kTooLarge:
      return "Larger than " + std::to_string(kLargestSettingsFile >> 20) + " MiB";
    case FileReadStatus::kRead:
    case FileReadStatus::kCannotRead:
      break;
  }
  return reason;
}

void ShowDialogFallback(const std::string& text) {
  MessageBoxA(MainWindow.window, text.c_str(), kProgramTitle, kFallbackMessageStyle);
}

// Reads the settings file and shows it; the settings as read become the
// unchanged state. A file that cannot be read is reported and leaves the
// settings, the controls and the unchanged state as they were.
bool LoadAndShow(const std::string& path) {
  std::string baseline = Settings.SettingsText;
  std::string reason;
  FileReadStatus status = LoadSettings(Settings, path, reason);
  if (status != FileReadStatus::kRead) {
    Settings.SettingsText = baseline;
    ShowFailure("Cannot read: " + path, ReadFailureReason(status, reason));
    return false;
  }
  PushSettingsToControls();
  TakeSettingsBaseline();
  return true;
}

// True when the settings reached a file; false when the user cancelled or
// the save failed.
bool SaveAsCollected() {
  if (SettingsSaveDialog.Execute()) {
    SettingsOpenDialog.fileName = SettingsSaveDialog.fileName;
    return SaveOrReport(SettingsSaveDialog.fileName);
  }
  if (CommDlgExtendedError() == 0) return false;
  ShowDialogFallback("Sorry, but Save Dialog is non available,\nso all settings will be saved in \n\"" +
                     DefaultSettingsPath + "\"");
  return SaveOrReport(DefaultSettingsPath);
}

// Puts the text into the edit with the caret after its last character.
void SetEditText(const iControl& edit, const std::string& text) {
  SetText(edit, text);
  SelectText(edit, static_cast<int>(text.size()), 0);
}

}  // namespace

bool ConfirmSaveChanges(HWND owner) {
  if (!SettingsChanged(Settings)) return true;
  // Without a settings file there is no name to show.
  std::string question = Settings.SettingsPath.empty()
                             ? std::string("Save the settings?")
                             : "Would you like to save the changes to\r\n \"" + Settings.SettingsPath + "\"?";
  switch (MessageBoxA(owner, question.c_str(), kProgramTitle, MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDCANCEL:
      return false;
    case IDNO:
      return true;
    default:
      // Without a current settings file there is no name to save under yet.
      if (Settings.SettingsPath.empty()) return SaveAsCollected();
      return SaveOrReport(Settings.SettingsPath);
  }
}

void OnOpenSettings() {
  CollectSettings(true);
  if (!ConfirmSaveChanges(MainWindow.window)) return;
  if (SettingsOpenDialog.Execute()) {
    if (LoadAndShow(SettingsOpenDialog.fileName)) SettingsSaveDialog.fileName = SettingsOpenDialog.fileName;
  } else if (CommDlgExtendedError() != 0) {
    ShowDialogFallback("Sorry, but Open Dialog is not available,\nso all settings will be loaded from \n\"" +
                       DefaultSettingsPath + "\"");
    if (LoadAndShow(DefaultSettingsPath)) SettingsSaveDialog.fileName = DefaultSettingsPath;
  }
}

void OnSaveSettings() {
  CollectSettings(true);
  if (Settings.SettingsPath.empty()) {
    SaveAsCollected();
  } else {
    SaveOrReport(Settings.SettingsPath);
  }
}

void OnSaveSettingsAs() {
  CollectSettings(true);
  SaveAsCollected();
}

void OnSelectSourceFolder() {
  SourceFolderDialog.initialFolder = GetText(Controls[kSourceFolderEdit]);
  if (!SourceFolderDialog.Execute()) return;
  const std::string& folder = SourceFolderDialog.result;
  SetPathFieldsFromOutputEdit(folder);
  SetEditText(Controls[kSourceFolderEdit], folder);
}

void OnSelectOutputFile() {
  OutputFileDialog.fileName = GetText(Controls[kOutputFileEdit]);
  if (!OutputFileDialog.Execute()) return;
  const std::string& chosen = OutputFileDialog.fileName;
  bool html = ClassicOutputForFileName(chosen) == kOutputHtml;
  SetChecked(Controls[kHtmlRadio], html);
  SetChecked(Controls[kTxtRadio], !html);
  UpdateEnabledStates();
  SetEditText(Controls[kOutputFileEdit], chosen);
  SetPathFieldsFromOutputEdit(GetText(Controls[kSourceFolderEdit]));
}

std::string SwitchedOutputName(const std::string& name, bool html) {
  return NameOfClassicForm(name, ClassicFormOf(html ? kOutputHtml : kOutputText));
}

void SwitchOutputFormat() {
  std::string name = GetText(Controls[kOutputFileEdit]);
  if (name.empty()) return;
  std::string switched = SwitchedOutputName(name, IsChecked(Controls[kHtmlRadio]));
  if (switched != name) SetText(Controls[kOutputFileEdit], switched);
}

void ReportGeneration(const GenerationResult& result) {
  switch (result.Outcome) {
    case GenerationOutcome::kWritten:
      OfferToShow(MainWindow.window, result.OutputFile, result.OutputName,
                  result.ReplacedNames == 0 ? "" : ReplacedNamesText(result.ReplacedNames) + ".");
      break;
    case GenerationOutcome::kCannotReadFolder:
      ShowFailure("Cannot read folder: " + result.SourceFolder, result.Reason);
      break;
    case GenerationOutcome::kTextTooLong:
      ShowError(TextTooLongMessage(result.Reason));
      break;
    case GenerationOutcome::kCannotWrite:
      ReportWriteFailure(result.OutputFile, result.Reason);
      break;
    case GenerationOutcome::kOutOfMemory:
      ShowError("Not enough memory");
      break;
    case GenerationOutcome::kCancelled:
      break;
  }
}

void OnExit() { PostMessageA(MainWindow.window, WM_CLOSE, 0, 0); }

void OnWebSite() { ShellExecuteA(nullptr, "open", kWebSiteAddress, nullptr, nullptr, SW_SHOW); }

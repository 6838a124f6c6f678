// Start-up and the message loop of the window program.
#include "listing/entry.h"
#include "mainwindow/binding.h"
#include "mainwindow/main_window.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "settings/settings_file.h"
#include "toolkit/dialogs.h"

namespace {

std::string ProgramPath() {
  char buffer[552] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length < sizeof buffer ? length : 0);
}

void PrepareDefaultSettings() {
  DefaultSettingsPath = FolderWithSlashOf(ProgramPath()) + "default.ksv";
  if (!FileExists(DefaultSettingsPath)) WriteDefaultSettings(DefaultSettingsPath);
  SettingsOpenDialog.fileName = DefaultSettingsPath;
  SettingsSaveDialog.fileName = DefaultSettingsPath;
}

HACCEL LoadAccelerators() {
  HACCEL accelerators = LoadAcceleratorsA(GetModuleHandleA(nullptr), "Accels");
  if (accelerators == nullptr) MessageBoxA(MainWindow.window, "a", "Message", MB_OK);
  return accelerators;
}

void RunMessageLoop(HACCEL accelerators) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(MainWindow.window, accelerators, &message)) continue;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) PutRadioTabStopsOnChecked();
    // The dialog manager gives the window Tab, the arrow keys, Enter and Esc.
    if (IsDialogMessageA(MainWindow.window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitCommonControls();
  BuildMainWindow(MainWindowProc);
  SubclassGroups();
  UpdateEnabledStates();
  SetUpDialogs();
  SetDialogOwner(MainWindow.window);
  PrepareDefaultSettings();
  if (LoadSettings(Settings, DefaultSettingsPath)) PushSettingsToControls();
  TakeSettingsBaseline();
  RunMessageLoop(LoadAccelerators());
  return 1;
}

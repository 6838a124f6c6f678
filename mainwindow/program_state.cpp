#include "mainwindow/program_state.h"

#include "mainwindow/pages.h"

CommonStruct Settings;
std::string DefaultSettingsPath;

void ShowError(const std::string& text) {
  MessageBoxA(MainWindow.window, text.c_str(), kProgramTitle, MB_ICONERROR);
}

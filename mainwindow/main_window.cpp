#include "mainwindow/main_window.h"

#include <shellapi.h>

#include "mainwindow/binding.h"
#include "mainwindow/commands.h"
#include "mainwindow/pages.h"
#include "resources/command_ids.h"

CommonStruct Settings;
std::string DefaultSettingsPath;

namespace {

const struct {
  const iControl* button;
  void (*handler)();
} kButtonCommands[] = {
    {&SourceFolderButton, OnSelectSourceFolder},
    {&OutputFileButton, OnSelectOutputFile},
    {&ExitButton, OnExit},
    {&GenerateButton, OnGenerate},
    {&SaveAsButton, OnSaveSettingsAs},
    {&SaveButton, OnSaveSettings},
    {&OpenButton, OnOpenSettings},
    {&WebSiteButton, OnWebSite},
};

const struct {
  WORD command;
  void (*handler)();
} kAcceleratorCommands[] = {
    {IDC_OPEN_SETTINGS, OnOpenSettings},
    {IDC_SAVE_SETTINGS, OnSaveSettings},
    {IDC_SAVE_SETTINGS_AS, OnSaveSettingsAs},
    {IDC_WEB_SITE, OnWebSite},
    {IDC_GENERATE, OnGenerate},
    {IDC_SELECT_SOURCE_FOLDER, OnSelectSourceFolder},
    {IDC_SELECT_OUTPUT_FILE, OnSelectOutputFile},
};

void OnCommand(WPARAM wParam, LPARAM lParam) {
  auto sender = reinterpret_cast<HWND>(lParam);
  for (const auto& entry : kButtonCommands) {
    if (sender == entry.button->window) {
      entry.handler();
      break;
    }
  }
  for (const auto& entry : kAcceleratorCommands) {
    if (LOWORD(wParam) == entry.command) {
      entry.handler();
      break;
    }
  }
}

// False keeps the window open.
bool OnClose() {
  CollectSettings(false);
  return ConfirmSaveChanges(MainWindow.window);
}

void OnNotify(const NMHDR& header) {
  if (header.code == TVN_SELCHANGEDA) ShowPage();
}

// The procedures that the group boxes had before SubclassGroups.
WNDPROC PreviousColumnsGroupProc;
WNDPROC PreviousFormatGroupProc;
WNDPROC PreviousHtmlGroupProc;

LRESULT CALLBACK ColumnsGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) UpdateEnabledStates();
  return CallWindowProcA(PreviousColumnsGroupProc, window, message, wParam, lParam);
}

LRESULT CALLBACK FormatGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    UpdateEnabledStates();
    SwitchOutputFormat();
  }
  return CallWindowProcA(PreviousFormatGroupProc, window, message, wParam, lParam);
}

LRESULT CALLBACK HtmlGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(PreviousHtmlGroupProc, window, message, wParam, lParam);
}

WNDPROC Subclass(const iControl& group, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongA(group.window, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_CLOSE:
      if (!OnClose()) return 0;
      break;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      break;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void SubclassGroups() {
  PreviousColumnsGroupProc = Subclass(ColumnsGroup, ColumnsGroupProc);
  PreviousFormatGroupProc = Subclass(FormatGroup, FormatGroupProc);
  PreviousHtmlGroupProc = Subclass(HtmlGroup, HtmlGroupProc);
}

void OnExit() { PostMessageA(MainWindow.window, WM_CLOSE, 0, 0); }

void OnWebSite() { ShellExecuteA(nullptr, "open", kWebSiteAddress, nullptr, nullptr, SW_SHOW); }

std::string CurrentFolder() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return "";
  return std::string(buffer, length);
}

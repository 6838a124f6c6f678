// The main window's message handling and the program's settings record.
#pragma once

#include "platform/win32port.h"

#include <string>

#include "settings/common_struct.h"

// The one settings record of the program.
extern CommonStruct Settings;
// "default.ksv" in the program's own folder.
extern std::string DefaultSettingsPath;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the " Select Columns ", " Output Format " and " HTML" group boxes the
// procedures that react to clicks inside them.
void SubclassGroups();

// Shows that a generation runs (its progress in the title, the commands that
// change settings or files disabled) or that none runs any more.
void ShowGenerationRunning(bool running);

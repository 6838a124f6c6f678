// The main window's message handling, and the Generate command, whose run
// on the worker the window follows until it ends.
#pragma once

#include "platform/win32port.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the " Select Columns ", " Output Format " and " HTML" group boxes the
// procedures that react to clicks inside them.
void SubclassGroups();

// The Generate command: collects and checks the settings, then starts the
// generation on the worker thread, with its progress in the title and the
// commands that change settings or files disabled until it ends. Does
// nothing while one runs.
void OnGenerate();

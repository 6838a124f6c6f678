// The command handlers of the main window: the file commands, the save
// question, the report of a generation's end, the output-format switch, Exit
// and Web Site.
#pragma once

#include "platform/win32port.h"

#include <string>

#include "mainwindow/generation.h"

// Asks whether changed settings should be saved. False when the user
// cancelled or the save failed: the caller must not go on.
bool ConfirmSaveChanges(HWND owner);

void OnOpenSettings();
void OnSaveSettings();
void OnSaveSettingsAs();
void OnSelectSourceFolder();
void OnSelectOutputFile();

// Keeps the output file's extension in step with the chosen output form.
void SwitchOutputFormat();

// The output file name that the chosen form asks for, or the name itself
// when it stays as it is.
std::string SwitchedOutputName(const std::string& name, bool html);

// Reports an ended generation: the offer to show the file, or what failed.
// A cancelled generation is not reported.
void ReportGeneration(const GenerationResult& result);

// Asks the main window to close, as its close box does.
void OnExit();
// Opens the program's home page in the browser.
void OnWebSite();

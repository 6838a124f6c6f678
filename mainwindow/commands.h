// The file commands, the save question and the output-format switch.
#pragma once

#include <string>

#include "platform/win32port.h"

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

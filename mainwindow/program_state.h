// The state that the parts of the window program share: the settings record,
// the default settings file and the error box. Every other file of the window
// may include this one; it includes none of theirs but the window's controls.
#pragma once

#include <string>

#include "settings/common_struct.h"

// The one settings record of the program.
extern CommonStruct Settings;
// "default.ksv" in the program's own folder.
extern std::string DefaultSettingsPath;

// Shows an error over the main window with the program's caption.
void ShowError(const std::string& text);

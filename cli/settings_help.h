// The settings a plain run of the command line starts from, and the lists
// of the settings keys for --help-keys and the manual page, made from the
// settings' declarations.
#pragma once

#include <string>

#include "settings/common_struct.h"

// What the command line puts on top of the built-in settings when no
// settings file is named, as settings lines: a page fit to publish (the
// page form, relative links, no path in the head) with the columns and
// sizes that suit a shell user.
const std::string& CommandLineDefaultsText();

// The settings of a plain run: the built-in settings under the command
// line's defaults (DirStr and OutputFile as the built-in text has them).
CommonStruct PlainRunSettings();

// Every key with its value in a plain run, its value when a settings file
// lacks it, the values it takes and what it means, grouped as the manual
// page groups them: the text of --help-keys.
std::string KeysHelpText();

// The same as man(7) source with tbl tables, for the manual page's
// SETTINGS section.
std::string KeysManualText();

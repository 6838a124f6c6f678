// The offer to show a written listing in the program that views its type.
#pragma once

#include "platform/win32port.h"

#include <string>

// Asks over the owner whether to show the written file (its path and its
// name), after the note when there is one, and, on Yes, opens it in the
// program associated with its type, or with the shell when there is none.
void OfferToShow(HWND owner, const std::string& outputFile, const std::string& outputName,
                 const std::string& note = "");

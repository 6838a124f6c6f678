// The offer to show a written listing in the program that views its type.
#pragma once

#include "settings/common_struct.h"

// Asks whether to show the written file and, on Yes, opens it in the
// program associated with its type, or with the shell when there is none.
void OfferToShow(const CommonStruct& record);

// Names that the system could not give whole: where it writes "?" for each
// character of a name that the ANSI code page cannot hold, the listing shows
// a name that no file has, and the front ends say how many there are.
#pragma once

#include <cstddef>
#include <string>

#include "listing/entry.h"

// The entries of both lists whose names hold such a "?"; 0 where "?" is an
// ordinary character of a name.
size_t CountReplacedNames(const DirFileStruct& listing);

// "1 name could not be represented in the code page", "3 names could ...".
std::string ReplacedNamesText(size_t count);

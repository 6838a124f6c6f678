// Wildcard masks as Windows matches them against names.
#pragma once

#include <string>

// "*" any run, "?" one character, letters without regard to case, each read
// as Windows reads it: "?" matches nothing at a dot or the name's end, "*"
// before a dot stops short of the name's last dot, and a dot before "*", "?"
// or the mask's end also matches the end of the name, so that "*.*",
// "*.*.*" and "data.*" match names without a dot.
bool MatchesMask(const std::string& mask, const std::string& name);

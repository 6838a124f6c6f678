// Wildcard masks as Windows matches them against names.
#pragma once

#include <string>

// "*" any run, "?" one character, letters without regard to case; a mask
// ending in ".*" also matches a name without a dot, so "*.*" matches all.
bool MatchesMask(const std::string& mask, const std::string& name);

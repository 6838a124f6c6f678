// Numbers as listings show them: sizes, totals and counts.
#pragma once

#include <string>

// "1234567" -> "1 234 567".
std::string GroupThousands(const std::string& digits);
// Fixed point with two decimals: 1.5 -> "1.50".
std::string FormatTwoDecimals(double value);

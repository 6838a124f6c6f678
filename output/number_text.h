// Numbers as listings show them: sizes, totals and counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "1234567" -> "1 234 567", or "1,234,567" with a comma for separator.
std::string GroupThousands(const std::string& digits, char separator = ' ');
void AppendGroupedThousands(std::string& out, std::string_view digits, char separator);
// Fixed point with two decimals: 1.5 -> "1.50".
std::string FormatTwoDecimals(double value);
// A size for people, in powers of 1024: "512 B", "1.2 KB", "34 MB", one
// decimal below 10 of a unit, rounded to the nearest; a size that rounds up
// to 1024 of a unit is one of the next ("1.0 MB").
std::string HumanSize(uint64_t bytes);

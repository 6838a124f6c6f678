#include "output/number_text.h"

#include <cmath>
#include <cstdio>

void AppendGroupedThousands(std::string& out, std::string_view digits, char separator) {
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
}

std::string GroupThousands(const std::string& digits, char separator) {
  std::string grouped;
  grouped.reserve(digits.size() + digits.size() / 3);
  AppendGroupedThousands(grouped, digits, separator);
  return grouped;
}

std::string FormatTwoDecimals(double value) {
  // Hundredths rounded half to even, as the C library's "%.2f" rounds, but
  // without its cost for every size of a large listing.
  if (!(std::fabs(value) < 1e15)) {
    char text[400];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
  }
  const long long hundredths = std::llrint(value * 100.0);
  const unsigned long long magnitude = hundredths < 0 ? -static_cast<unsigned long long>(hundredths)
                                                      : static_cast<unsigned long long>(hundredths);
  std::string text = std::signbit(value) ? "-" : "";
  text += std::to_string(magnitude / 100);
  text += '.';
  text += static_cast<char>('0' + magnitude % 100 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string HumanSize(uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  size_t unit = 0;
  double value = static_cast<double>(bytes);
  while (unit + 1 < sizeof kUnits / sizeof kUnits[0] && value >= 1024) {
    value /= 1024;
    ++unit;
  }
  // Rounded as shown: 9.96 shows as "10", 1023.6 as "1.0" of the next unit.
  double shown = value < 10 ? std::round(value * 10) / 10 : std::round(value);
  if (shown >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    shown = 1.0;
    ++unit;
  }
  char text[32];
  if (shown < 10) {
    std::snprintf(text, sizeof text, "%.1f %s", shown, kUnits[unit]);
  } else {
    std::snprintf(text, sizeof text, "%.0f %s", shown, kUnits[unit]);
  }
  return text;
}

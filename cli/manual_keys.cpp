// Prints the settings keys of the manual page, for the build that makes it.
#include <cstdio>

#include "cli/settings_help.h"

int main() {
  const std::string text = KeysManualText();
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 ? 0 : 1;
}

// Stands in for the program associated with a file type: writes the command
// line it was started with to the file that KESTROVA_VIEWER_LOG names.
#include "platform/win32port.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* log = std::getenv("KESTROVA_VIEWER_LOG");
  if (log == nullptr) return 2;
  std::FILE* file = std::fopen(log, "wb");
  if (file == nullptr) return 2;
  const char* line = GetCommandLineA();
  bool written = std::fwrite(line, 1, std::strlen(line), file) == std::strlen(line);
  return std::fclose(file) == 0 && written ? 0 : 1;
}

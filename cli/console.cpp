#include "cli/console.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

void UseBinaryStandardOutput() {
  _setmode(_fileno(stdout), _O_BINARY);
}

bool StandardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

#else
#include <unistd.h>

void UseBinaryStandardOutput() {}

bool StandardErrorIsTerminal() {
  return isatty(fileno(stderr)) != 0;
}

#endif

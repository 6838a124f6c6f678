// Closes a running window program as a user would: WM_CLOSE to its main
// window, "No" to a question of the program whether to save changes, then
// waits until the window is gone. For scripts that start a program outside
// a test.
//   close_window CLASS TITLE
// Exit status 0 when the window closed, 1 when it was not found or stayed.
#include <cstdio>
#include <string>

#include "tests/windows/driver/win_driver.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: close_window CLASS TITLE\n");
    return 2;
  }
  const std::string title = argv[2];
  HWND window = driver::WaitForTopWindow(title, argv[1], 30000);
  if (window == nullptr) {
    std::fprintf(stderr, "close_window: no window \"%s\" of class %s\n", argv[2], argv[1]);
    return 1;
  }
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  PostMessageA(window, WM_CLOSE, 0, 0);
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > 30000) {
      std::fprintf(stderr, "close_window: \"%s\" is still open\n", argv[2]);
      return 1;
    }
    if (HWND box = driver::WaitForMessageBox(title, 100, process)) {
      driver::AnswerMessageBox(box, IDNO);
    }
  }
  return 0;
}

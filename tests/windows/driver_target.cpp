// A small window program for the driver's own tests: a button that asks a
// question, a check box, an edit, a disabled button and a label that shows
// the last answer. Ends with exit code 7.
#include "toolkit/toolkit.h"

namespace {

iControl mainWindow, goButton, tickBox, offButton, nameEdit, answerLabel;

void OnGo() {
  int answer = MessageBoxA(mainWindow.window, "Clicked Go", "Driver target", MB_YESNO | MB_ICONQUESTION);
  SetText(answerLabel, answer == IDYES ? "answer: yes" : "answer: no");
}

LRESULT CALLBACK TargetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && reinterpret_cast<HWND>(lParam) == goButton.window) OnGo();
  if (message == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CreateTopWindow(mainWindow, nullptr, "Driver target", TargetWindowProc);
  HWND parent = mainWindow.window;
  PlaceButton(goButton, parent, "Go", 10, 10, -1, -1);
  PlaceCheckBox(tickBox, parent, "Tick", 10, 45, -1, -1);
  PlaceButton(offButton, parent, "Off", 100, 10, -1, -1);
  Enable(offButton, 0);
  PlaceLineEdit(nameEdit, parent, "start", 10, 75, 150, -1);
  PlaceLabel(answerLabel, parent, "answer: none", 10, 105, 150, -1);
  Show(mainWindow, SW_SHOW);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

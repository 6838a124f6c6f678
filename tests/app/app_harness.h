// Runs the real Kestrova.exe for a test: a copy of the program in a fresh
// folder of its own (so start-up finds no default.ksv there), started and
// driven from the test process through the window driver.
#pragma once

#include <string>
#include <vector>

#include "mainwindow/layout.h"
#include "tests/windows/driver/win_driver.h"

namespace app {

extern const char kTitle[];  // the main window's title and the messages' caption

// A running copy of the window program.
class RunningApp {
 public:
  // Copies the program into folder, starts it there and waits for its main
  // window. False when any step fails.
  bool Start(const std::string& folder);

  HWND main() const { return main_; }
  DWORD processId() const { return program_.processId(); }
  // The program's visible windows besides the main one, by class and
  // title, for a message when a command did not do what was expected.
  std::string OtherWindows() const;
  const std::string& folder() const { return folder_; }
  std::string DefaultSettingsPath() const { return folder_ + "\\default.ksv"; }

  // The nth control of the class (creation order) whose top-left corner
  // lies at x, y in the client area of parent, its direct parent.
  HWND At(HWND parent, const std::string& className, int x, int y, size_t nth = 0) const;
  // The control of the layout's row: the main window, a group box by its
  // text, any other control by its parent, class and place (scaled to the
  // system's DPI).
  HWND Find(ControlId id) const;
  // A group box of the main window by its text.
  HWND Group(const std::string& text) const;
  // A check box or radio button inside the group box, by its text.
  HWND InGroup(const std::string& group, const std::string& text) const;
  // A command button of the main window by its text as shown (without the
  // "&" that marks its mnemonic).
  HWND Button(const std::string& text) const;

  HWND SourceFolderEdit() const { return Find(kSourceFolderEdit); }
  HWND OutputFileEdit() const { return Find(kOutputFileEdit); }
  HWND SourceFolderButton() const { return Find(kSourceFolderButton); }
  HWND OutputFileButton() const { return Find(kOutputFileButton); }
  HWND TxtRadio() const { return InGroup(" Output Format ", "TXT"); }
  HWND HtmlRadio() const { return InGroup(" Output Format ", "HTML"); }

  // Selects the page tree item at that path of indices (root item, then
  // child), as a click on it would, and waits until the page has changed.
  bool SelectTreeItem(const std::vector<int>& path) const;

  // Waits for a message box of the program with the caption.
  HWND WaitForBox(const std::string& caption = kTitle, int timeoutMs = 10000) const;
  // Waits for a common dialog of the program (a "#32770" window that is not
  // one of its message boxes).
  HWND WaitForDialog(const std::string& title, int timeoutMs = 10000) const;

  // Types keys into the program as the user would: each key of keys is
  // pressed and released while the modifiers (VK_CONTROL, VK_SHIFT) are held.
  bool PressKeys(const std::vector<WORD>& modifiers, const std::vector<WORD>& keys) const;

  // Types the text as the user would, into whatever window has the keyboard
  // now (PressKeys first brings the main window forward); each character as
  // itself, whatever the keyboard layout, and "\r" as the Enter key.
  bool TypeText(const std::string& text) const;

  // The program's window that has the keyboard focus; null when none has.
  HWND Focus() const;
  // Waits until the window has the focus; the window that has it then.
  HWND WaitForFocus(HWND expected, int timeoutMs = 5000) const;
  // The program's active window, and a wait for it as for the focus.
  HWND Active() const;
  HWND WaitForActive(HWND expected, int timeoutMs = 5000) const;

  // The visible dialogs and message boxes ("#32770" windows) of the program.
  std::vector<HWND> OpenDialogs() const;

  // Closes the window with Exit, answers the save question with No when it
  // comes, and waits for the program to end.
  bool CloseDiscardingChanges();
  bool WaitForExit(int timeoutMs);
  bool IsRunning();

 private:
  driver::StartedProgram program_;
  std::string folder_;
  HWND main_ = nullptr;
};

// The file name field of an open or save dialog.
HWND FileNameFieldOf(HWND dialog);
// Types the path into the dialog's file name field and confirms it.
bool ChooseInDialog(HWND dialog, const std::string& path);

// A caption as the control shows it: each "&" that marks a mnemonic left
// out, "&&" as one "&".
std::string ShownCaption(const std::string& caption);

// The edit text of a control by WM_GETTEXT (a combo box gives its edit's).
std::string Text(HWND window);
bool SetText(HWND window, const std::string& text);

// The system's words for an error code as the program shows them: without
// the line end and the full stop that the system's text ends in.
std::string SystemReason(DWORD code);

// The selected index of a combo box, -1 when none.
int ComboSelection(HWND combo);

// Makes a folder (and its parents) and a file with the bytes given.
void MakeFolder(const std::string& path);
void MakeFile(const std::string& path, const std::string& bytes);

// Waits until the file exists and its content satisfies the test.
bool WaitForFile(const std::string& path, int timeoutMs = 10000);

// Writes a screenshot of the whole screen to the screenshot folder.
void Screenshot(const std::string& name);

// The message sent to the window, answered within the timeout; false when
// the window did not answer in time. The answer in result when given.
bool AnswersWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                   DWORD_PTR* result = nullptr);

}  // namespace app

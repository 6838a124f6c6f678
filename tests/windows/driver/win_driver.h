// A small driver for window tests: finds windows, reads and changes their
// state, clicks, answers message boxes and takes screenshots.
//
// Every call works from any thread and on windows of any process: texts go
// through WM_GETTEXT / WM_SETTEXT (which Windows marshals between
// processes) and every wait is bounded. Functions that wait take a timeout
// in milliseconds and return a null handle or false when it runs out.
#pragma once

#include "platform/win32port.h"

#include <string>
#include <vector>

namespace driver {

constexpr int kDefaultTimeoutMs = 10000;

// A visible top-level window with exactly this title (and this class unless
// className is empty), polled until it appears. With processId non-zero,
// only windows of that process count.
HWND WaitForTopWindow(const std::string& title, const std::string& className = "",
                      int timeoutMs = kDefaultTimeoutMs, DWORD processId = 0);
// The first visible top-level window of the class, whatever its title.
HWND WaitForTopWindowOfClass(const std::string& className, int timeoutMs = kDefaultTimeoutMs,
                             DWORD processId = 0);
// The first visible top-level window of the class owned by owner (a message
// box or dialog that owner opened).
HWND WaitForOwnedWindow(HWND owner, const std::string& className = "#32770",
                        int timeoutMs = kDefaultTimeoutMs);
// Waits until the window no longer exists or is hidden.
bool WaitUntilGone(HWND window, int timeoutMs = kDefaultTimeoutMs);

// All descendants of parent of that class (any class when empty), in
// EnumChildWindows order (creation order within each parent).
std::vector<HWND> FindChildren(HWND parent, const std::string& className = "");
// The first descendant of that class whose text is exactly text; null if none.
HWND FindChild(HWND parent, const std::string& className, const std::string& text);
// The nth (0-based) descendant of that class; null if there are fewer.
HWND FindNthChild(HWND parent, const std::string& className, size_t index);

std::string ClassOf(HWND window);
// The window's text by WM_GETTEXT; empty when it has none or does not answer.
std::string TextOf(HWND window);
// WM_SETTEXT; true when the window accepted it.
bool SetTextOf(HWND window, const std::string& text);
// The text of the item selected in a tree view; empty when none is. Read
// through a buffer in the tree's own process, so any process's tree will do.
std::string SelectedTreeItemText(HWND tree);
// Where a combo box shows its selected item or its edit, in its client
// area (CB_GETCOMBOBOXINFO); false when the box does not answer.
bool ComboBoxItemRect(HWND combo, RECT& rect);
// The tip that a tool tip window shows for the tool, a window added with
// TTF_IDISHWND; empty when it has none.
std::string ToolTipText(HWND tips, HWND tool);

// A button click as the user makes it (BM_CLICK, so check boxes and radio
// buttons change state and the parent gets BN_CLICKED). Posted: returns at
// once, so the click may open a modal window without blocking the caller.
bool Click(HWND button);
// The same click, returning only after the window has handled it. Do not
// use when the click opens a modal window.
bool ClickAndWait(HWND button);
// Posts WM_COMMAND (identifier, BN_CLICKED) to a dialog, as its button
// with that identifier would (IDOK, IDCANCEL, IDYES, IDNO...).
bool PressDialogButton(HWND dialog, int identifier);

// Selects the item of a combo box as the user does: the selection changes
// and the parent gets CBN_SELCHANGE and CBN_SELENDOK. Returns after the
// parent handled them.
bool SelectComboItem(HWND combo, int index);

// BM_GETCHECK: BST_UNCHECKED 0, BST_CHECKED 1, BST_INDETERMINATE 2; -1 when
// the window does not answer.
int CheckStateOf(HWND button);
bool IsEnabled(HWND window);
bool IsVisible(HWND window);

// A message box is a visible "#32770" window with the caption given.
HWND WaitForMessageBox(const std::string& caption, int timeoutMs = kDefaultTimeoutMs, DWORD processId = 0);
// The message of a message box (its text label, not the icon).
std::string MessageBoxText(HWND box);
// The texts of the message box's buttons, in order ("&Yes", "&No"...).
std::vector<std::string> MessageBoxButtons(HWND box);
// Presses the button with that identifier and waits for the box to close.
bool AnswerMessageBox(HWND box, int identifier, int timeoutMs = kDefaultTimeoutMs);

// Runs the calling thread's messages until none is waiting; for windows
// that the test itself created on its own thread.
void PumpMessages();

// A program started by a test. The destructor ends it when still running,
// so a failed test leaves no stray process behind.
class StartedProgram {
 public:
  // Starts commandLine (the program's path first, quoted when it holds
  // blanks) in the folder given (the caller's own when empty).
  bool Start(const std::string& commandLine, const std::string& folder = "");
  ~StartedProgram();
  StartedProgram() = default;
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  DWORD processId() const { return processId_; }
  // True when the program ended within the timeout; its exit code then in exitCode.
  bool WaitForExit(int timeoutMs, DWORD* exitCode = nullptr);
  // Waits until the program waits for input with nothing left to do (its
  // windows are then painted); false on timeout.
  bool WaitForIdle(int timeoutMs = kDefaultTimeoutMs);
  // Ends the program at once (when still running) and waits for it.
  void Terminate();

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Takes a picture of the whole screen (the virtual display under Xvfb) and
// writes it as a PNG file; true when the file was written completely. The
// calling thread's own windows are painted first; another program's windows
// are as it last painted them (see StartedProgram::WaitForIdle).
bool TakeScreenshot(const std::string& path);

}  // namespace driver

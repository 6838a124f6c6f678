#include "platform/win32port.h"

#include "mainwindow/show_file.h"

#include <shellapi.h>

#include <string>

namespace {

// Opens the file (a program or a document) with the "open" verb, maximized.
// A failure shows nothing.
void LaunchSilently(const std::string& file, const std::string& parameters) {
  SHELLEXECUTEINFOA launch{};
  launch.cbSize = sizeof launch;
  launch.fMask = SEE_MASK_FLAG_NO_UI;
  launch.lpVerb = "open";
  launch.lpFile = file.c_str();
  launch.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  launch.lpDirectory = "";
  launch.nShow = SW_SHOWMAXIMIZED;
  ShellExecuteExA(&launch);
}

}  // namespace

void OfferToShow(HWND owner, const std::string& outputFile, const std::string& outputName,
                 const std::string& note) {
  std::string question = (note.empty() ? "" : note + "\r\n\r\n") + "Show the file (" + outputFile + ")";
  std::string caption = "File (" + outputName + ") was created";
  if (MessageBoxA(owner, question.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  char program[MAX_PATH] = {};
  auto found = reinterpret_cast<INT_PTR>(FindExecutableA(outputFile.c_str(), "", program));
  if (found > 32 && program[0] != '\0') {
    // Quoted, so that a viewer sees a path with blanks as one argument.
    LaunchSilently(program, "\"" + outputFile + "\"");
  } else {
    LaunchSilently(outputFile, "");
  }
}

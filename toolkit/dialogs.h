// Wrappers of the system's modal dialogs: open file, save file and the
// folder browser. A caller fills the options once, calls Execute, and reads
// the chosen path afterwards; a wrapper keeps the chosen file and filter for
// the next call. Cancel and failure both leave the wrapper as it was (the
// folder browser's result excepted, which Execute empties first).
#pragma once

#include "platform/win32port.h"

#include <string>
#include <vector>

// Needs the port settings above.
#include <commdlg.h>

// Fields and options shared by the open and save dialogs.
class iOSBaseDialog {
 public:
  static constexpr int FileBufferSize = 2000;

  HWND owner = nullptr;          // owner window; null gives an unowned dialog
  OPENFILENAMEA request{};       // filled anew by every Execute
  std::string defaultExtension;  // appended by the system to a name typed without one
  std::string filterList;        // description NUL pattern NUL pairs, built by AddFilter
  // Before Execute: the initial name shown (cut to FileBufferSize - 1
  // characters); after a successful Execute: the chosen path.
  std::string fileName;
  // After a successful Execute with multiple selection: the folder, then
  // each chosen name. Empty otherwise.
  std::vector<std::string> selectionList;
  std::string initialFolder;  // where the dialog opens; empty leaves it to the system
  char fileBuffer[FileBufferSize] = {};

  bool allowMultipleSelection = false;  // OFN_ALLOWMULTISELECT
  bool explorerStyle = false;           // OFN_EXPLORER
  bool hideReadOnly = false;            // OFN_HIDEREADONLY
  bool noNetworkButton = false;         // OFN_NONETWORKBUTTON
  bool noReadOnlyReturn = false;        // OFN_NOREADONLYRETURN
  bool overwritePrompt = false;         // OFN_OVERWRITEPROMPT
  bool readOnly = false;                // OFN_READONLY
  bool showHelp = false;                // OFN_SHOWHELP

  DWORD flags = 0;        // the flags of the options set, as of the last Execute
  DWORD filterIndex = 0;  // 1 is the first pair; after a successful Execute, the user's choice

  // Appends one description/pattern pair to the filter list.
  void AddFilter(const std::string& description, const std::string& pattern);

 protected:
  // Fills the request and runs the given dialog function; true when the
  // user chose a file.
  bool Run(BOOL(WINAPI* dialogFunction)(LPOPENFILENAMEA));

 private:
  // The filter list as the system reads it, ended by a second NUL. Kept
  // apart so that repeated calls never lengthen filterList itself.
  std::string terminatedFilters_;
};

class iOpenDialog : public iOSBaseDialog {
 public:
  // GetOpenFileNameA; true when the user chose a file (now in fileName).
  bool Execute();
};

class iSaveDialog : public iOSBaseDialog {
 public:
  // GetSaveFileNameA; true when the user chose a file (now in fileName).
  bool Execute();
};

// The folder browser: the system's folder picker where it has one (Windows
// Vista and later, Wine), else the classic browser rooted at the desktop,
// which also serves the computer and printer options. Either shows at once
// and leaves the window that owns it painted; the classic one selects the
// initial folder only after it has shown, as that can take long.
class iSelectDirectory {
 public:
  HWND owner = nullptr;
  std::string title;   // the picker's title; in the classic browser the text above the tree
  std::string result;  // the chosen folder after a successful Execute; empty otherwise
  // Where the browser opens, chosen: the picker shows the folder above it
  // with its name in the name field, the classic browser selects it in its
  // tree. Empty leaves the start to the system.
  std::string initialFolder;

  bool classicBrowser = false;  // the classic browser even where the picker exists

  bool browseForComputer = false;            // BIF_BROWSEFORCOMPUTER
  bool browseForPrinter = false;             // BIF_BROWSEFORPRINTER
  bool dontGoBelowDomain = false;            // BIF_DONTGOBELOWDOMAIN
  bool returnFileSystemAncestors = false;    // BIF_RETURNFSANCESTORS
  bool returnOnlyFileSystemFolders = false;  // BIF_RETURNONLYFSDIRS

  DWORD flags = 0;  // the browse flags of the last Execute (0x100 always among them)

  // Empties result, runs the browser; true when the user chose a folder
  // that has a file-system path the ANSI code page can hold (now in result).
  bool Execute();
};

// The process's current folder, where the settings dialogs start; empty
// when it cannot be read.
std::string CurrentFolder();

// The program's four dialogs, alive for the whole run.
extern iSelectDirectory SourceFolderDialog;
extern iSaveDialog OutputFileDialog;
extern iSaveDialog SettingsSaveDialog;
extern iOpenDialog SettingsOpenDialog;

// Gives the four dialogs their titles, filters and options, and the settings
// save dialog the current folder as its initial folder. The settings dialogs'
// initial file name is the caller's to set.
void SetUpDialogs();

// Makes the window the owner of the program's four dialogs: it is disabled
// while one of them is open, and the file dialogs open over it.
void SetDialogOwner(HWND owner);

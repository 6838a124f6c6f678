// The dialog wrappers against the real system dialogs: each Execute runs on
// the test thread while a second thread finds the dialog and answers it.
#include "toolkit/dialogs.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/test_support.h"
#include "tests/windows/driver/win_driver.h"

namespace {

constexpr int kFilterComboId = 0x470;    // cmb1
constexpr int kFileNameComboId = 0x47C;  // cmb13, Explorer-style dialogs
constexpr int kFileNameEditId = 0x480;   // edt1, older templates
constexpr int kDialogTimeoutMs = 15000;

// Runs execute() here while drive() answers the dialog from a second thread.
// A dialog that the driver leaves open is cancelled, so that a failed step
// cannot hang the test. found tells whether a dialog appeared at all.
bool RunDriven(const std::function<bool()>& execute, const std::function<void(HWND)>& drive,
               bool* found = nullptr) {
  bool appeared = false;
  std::thread answerer([&] {
    HWND dialog = driver::WaitForTopWindowOfClass("#32770", kDialogTimeoutMs, GetCurrentProcessId());
    if (dialog == nullptr) return;
    appeared = true;
    drive(dialog);
    if (!driver::WaitUntilGone(dialog, 5000)) {
      driver::PressDialogButton(dialog, IDCANCEL);
      driver::WaitUntilGone(dialog);
    }
  });
  bool result = execute();
  answerer.join();
  if (found != nullptr) *found = appeared;
  return result;
}

HWND FileNameBox(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kFileNameComboId)) {
    if (HWND edit = driver::FindNthChild(combo, "Edit", 0)) return edit;
  }
  return GetDlgItem(dialog, kFileNameEditId);
}

void TypeFileNameAndConfirm(HWND dialog, const std::string& name) {
  driver::SetTextOf(FileNameBox(dialog), name);
  driver::PressDialogButton(dialog, IDOK);
}

void ChooseFilter(HWND dialog, int index) {
  driver::SelectComboItem(GetDlgItem(dialog, kFilterComboId), index);
}

int ComboValue(HWND dialog, UINT message) {
  DWORD_PTR value = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, kFilterComboId), message, 0, 0, SMTO_NORMAL, 5000, &value);
  return static_cast<int>(value);
}

// The pairs of a filter list as the system reads it: up to the first empty string.
std::vector<std::string> FilterStrings(const char* list) {
  std::vector<std::string> strings;
  for (const char* item = list; *item != '\0'; item += strings.back().size() + 1) {
    strings.emplace_back(item);
  }
  return strings;
}

// The name of the folder selected in the browser's tree.
std::string SelectedFolderName(HWND browser) {
  return driver::SelectedTreeItemText(driver::FindNthChild(browser, "SysTreeView32", 0));
}

// Asks the folder browser to select a folder until its tree shows it
// selected: Wine's browser may still rebuild its tree just after it appears.
bool SelectFolder(HWND browser, const std::string& path, const std::string& leaf) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()),
                        SMTO_NORMAL, 5000, &ignored);
    if (SelectedFolderName(browser) == leaf) return true;
    Sleep(100);
  }
  return false;
}

// Waits until the browser's tree shows the folder selected.
bool WaitForSelectedFolder(HWND browser, const std::string& leaf) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (SelectedFolderName(browser) == leaf) return true;
    Sleep(100);
  }
  return false;
}

TEST(DialogSetUpTest, WrappersGetTheirTitlesFiltersOptionsAndFolder) {
  SetUpDialogs();
  SetUpDialogs();  // a second set-up adds nothing

  EXPECT_EQ(SourceFolderDialog.title, "Select Directory:");
  EXPECT_TRUE(SourceFolderDialog.returnOnlyFileSystemFolders);
  EXPECT_FALSE(SourceFolderDialog.browseForComputer || SourceFolderDialog.browseForPrinter ||
               SourceFolderDialog.dontGoBelowDomain || SourceFolderDialog.returnFileSystemAncestors);

  const char outputPairs[] =
      "HTML files (*.html, *.htm, *.shtml, *.asp)\0*.html;*.htm;*.shtml;*.asp\0"
      "Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  const char settingsPairs[] = "Kestrova settings (*.ksv)\0*.ksv\0All files (*.*)\0*.*\0";
  const std::string outputFilters(outputPairs, sizeof outputPairs - 1);
  const std::string settingsFilters(settingsPairs, sizeof settingsPairs - 1);
  EXPECT_EQ(OutputFileDialog.filterList, outputFilters);
  EXPECT_EQ(SettingsSaveDialog.filterList, settingsFilters);
  EXPECT_EQ(SettingsOpenDialog.filterList, settingsFilters);

  for (const iOSBaseDialog* dialog : {static_cast<const iOSBaseDialog*>(&OutputFileDialog),
                                      static_cast<const iOSBaseDialog*>(&SettingsSaveDialog)}) {
    EXPECT_TRUE(dialog->noNetworkButton);
    EXPECT_TRUE(dialog->overwritePrompt);
    EXPECT_FALSE(dialog->allowMultipleSelection || dialog->explorerStyle || dialog->hideReadOnly ||
                 dialog->noReadOnlyReturn || dialog->readOnly || dialog->showHelp);
    EXPECT_EQ(dialog->owner, nullptr);
  }
  EXPECT_FALSE(SettingsOpenDialog.noNetworkButton || SettingsOpenDialog.overwritePrompt);

  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  EXPECT_EQ(SettingsSaveDialog.initialFolder, folder);
  EXPECT_EQ(OutputFileDialog.initialFolder, "");
  EXPECT_EQ(SettingsOpenDialog.initialFolder, "");
}

TEST(FileDialogTest, ChosenFilterAndFileAreKeptForTheNextCall) {
  ScopedTempFolder temp;
  const std::string chosen = temp.Join("listing.txt");
  SetUpDialogs();
  iSaveDialog& dialog = OutputFileDialog;
  dialog.fileName = temp.Join("index.html");
  const std::string filters = dialog.filterList;

  bool found = false;
  int filtersShown = 0;
  bool confirmed = RunDriven([&] { return dialog.Execute(); },
                             [&](HWND window) {
                               filtersShown = ComboValue(window, CB_GETCOUNT);
                               ChooseFilter(window, 1);
                               TypeFileNameAndConfirm(window, chosen);
                             },
                             &found);
  ASSERT_TRUE(found);
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(filtersShown, 3);
  EXPECT_EQ(dialog.fileName, chosen);
  EXPECT_EQ(dialog.filterIndex, 2u);
  EXPECT_EQ(dialog.request.lStructSize, 88u);
  EXPECT_EQ(dialog.flags, static_cast<DWORD>(OFN_NONETWORKBUTTON | OFN_OVERWRITEPROMPT));
  EXPECT_EQ(dialog.request.nMaxFile, 2000u);

  // The second call opens on the filter and file of the first, and the
  // system still sees three pairs.
  int selectedFilter = -1;
  std::string shownName;
  bool cancelledResult = RunDriven([&] { return dialog.Execute(); },
                                   [&](HWND window) {
                                     filtersShown = ComboValue(window, CB_GETCOUNT);
                                     selectedFilter = ComboValue(window, CB_GETCURSEL);
                                     shownName = driver::TextOf(FileNameBox(window));
                                     driver::PressDialogButton(window, IDCANCEL);
                                   },
                                   &found);
  ASSERT_TRUE(found);
  EXPECT_FALSE(cancelledResult);
  EXPECT_EQ(filtersShown, 3);
  EXPECT_EQ(selectedFilter, 1);
  EXPECT_NE(shownName.find("listing.txt"), std::string::npos) << shownName;
  EXPECT_EQ(FilterStrings(dialog.request.lpstrFilter).size(), 6u);
  EXPECT_EQ(dialog.filterList, filters);
  EXPECT_EQ(dialog.fileName, chosen);
  EXPECT_EQ(dialog.filterIndex, 2u);
}

TEST(FileDialogTest, OverwritePromptIsAnsweredThroughItsMessageBox) {
  ScopedTempFolder temp;
  const std::string existing = temp.Join("existing.ksv");
  WriteFileBytes(existing, "x");
  iSaveDialog dialog;
  dialog.AddFilter("Kestrova settings (*.ksv)", "*.ksv");
  dialog.overwritePrompt = true;

  std::string question;
  std::vector<std::string> buttons;
  bool keptOpenAfterNo = false;
  bool confirmed = RunDriven([&] { return dialog.Execute(); },
                             [&](HWND window) {
                               TypeFileNameAndConfirm(window, existing);
                               HWND prompt = driver::WaitForOwnedWindow(window);
                               if (prompt == nullptr) return;
                               question = driver::MessageBoxText(prompt);
                               buttons = driver::MessageBoxButtons(prompt);
                               driver::AnswerMessageBox(prompt, IDNO);
                               keptOpenAfterNo = driver::IsVisible(window);
                               driver::PressDialogButton(window, IDOK);
                               prompt = driver::WaitForOwnedWindow(window);
                               if (prompt != nullptr) driver::AnswerMessageBox(prompt, IDYES);
                             });
  EXPECT_TRUE(confirmed);
  // Windows names the file in the question; Wine asks without the name.
  EXPECT_NE(question.find("already exists"), std::string::npos) << question;
  EXPECT_EQ(buttons.size(), 2u);
  EXPECT_TRUE(keptOpenAfterNo);
  EXPECT_EQ(dialog.fileName, existing);
  EXPECT_EQ(dialog.filterIndex, dialog.request.nFilterIndex);
}

TEST(FileDialogTest, OpenDialogReturnsTheChosenFile) {
  ScopedTempFolder temp;
  const std::string settings = temp.Join("mine.ksv");
  WriteFileBytes(settings, "x");
  iOpenDialog dialog;
  dialog.AddFilter("Kestrova settings (*.ksv)", "*.ksv");
  dialog.AddFilter("All files (*.*)", "*.*");
  dialog.initialFolder = temp.path();

  bool confirmed = RunDriven([&] { return dialog.Execute(); },
                             [&](HWND window) { TypeFileNameAndConfirm(window, "mine.ksv"); });
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(dialog.fileName, settings);
  EXPECT_EQ(dialog.flags, 0u);
  EXPECT_TRUE(dialog.selectionList.empty());
}

TEST(FileDialogTest, MultipleSelectionIsSplitIntoFolderAndNames) {
  ScopedTempFolder temp;
  WriteFileBytes(temp.Join("a.txt"), "a");
  WriteFileBytes(temp.Join("b.txt"), "b");
  iOpenDialog dialog;
  dialog.AddFilter("All files (*.*)", "*.*");
  dialog.allowMultipleSelection = true;
  dialog.explorerStyle = true;
  dialog.initialFolder = temp.path();
  dialog.filterIndex = 1;

  bool confirmed = RunDriven([&] { return dialog.Execute(); },
                             [&](HWND window) { TypeFileNameAndConfirm(window, "\"a.txt\" \"b.txt\""); });
  ASSERT_TRUE(confirmed);
  ASSERT_EQ(dialog.selectionList.size(), 3u);
  EXPECT_EQ(dialog.selectionList[0], temp.path());
  EXPECT_EQ(dialog.selectionList[1], "a.txt");
  EXPECT_EQ(dialog.selectionList[2], "b.txt");
  EXPECT_EQ(dialog.fileName, temp.path());
}

TEST(FileDialogTest, OverlongInitialNameIsCutToTheBuffer) {
  iOpenDialog dialog;
  dialog.AddFilter("All files (*.*)", "*.*");
  dialog.fileName = std::string(2500, 'n');
  dialog.filterIndex = 1;

  bool confirmed = RunDriven([&] { return dialog.Execute(); },
                             [](HWND window) { driver::PressDialogButton(window, IDCANCEL); });
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(std::string(dialog.fileBuffer, strnlen(dialog.fileBuffer, 2000)), std::string(1999, 'n'));
  EXPECT_EQ(dialog.fileName, std::string(2500, 'n'));
  EXPECT_EQ(dialog.filterIndex, 1u);
}

// The picker carries the title in its title bar, the classic browser above
// its tree.
TEST(FolderDialogTest, CancelLeavesTheResultEmpty) {
  SetUpDialogs();
  iSelectDirectory& dialog = SourceFolderDialog;
  for (bool classic : {false, true}) {
    SCOPED_TRACE(classic ? "classic browser" : "picker");
    dialog.classicBrowser = classic;
    dialog.result = "C:\\stale";

    std::string heading;
    bool found = false;
    bool chosen = RunDriven(
        [&] { return dialog.Execute(); },
        [&](HWND window) {
          heading = classic ? driver::TextOf(driver::FindChild(window, "Static", "Select Directory:"))
                            : driver::TextOf(window);
          driver::PressDialogButton(window, IDCANCEL);
        },
        &found);
    ASSERT_TRUE(found);
    EXPECT_FALSE(chosen);
    EXPECT_EQ(dialog.result, "");
    EXPECT_EQ(heading, "Select Directory:");
    EXPECT_EQ(dialog.flags, static_cast<DWORD>(BIF_RETURNONLYFSDIRS | 0x100));
  }
  dialog.classicBrowser = false;
}

TEST(FolderDialogTest, ChosenFolderBecomesTheResult) {
  ScopedTempFolder temp;
  iSelectDirectory dialog;
  dialog.title = "Pick";
  dialog.returnOnlyFileSystemFolders = true;
  dialog.classicBrowser = true;

  const std::string leaf = temp.path().substr(temp.path().rfind('\\') + 1);

  bool selected = false;
  bool chosen = RunDriven([&] { return dialog.Execute(); },
                          [&](HWND window) {
                            selected = SelectFolder(window, temp.path(), leaf);
                            driver::PressDialogButton(window, IDOK);
                          });
  EXPECT_TRUE(selected);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog.result, temp.path());
  EXPECT_EQ(dialog.flags, static_cast<DWORD>(BIF_RETURNONLYFSDIRS | 0x100));

  // In the picker the folder is typed, as a user may.
  dialog.classicBrowser = false;
  const std::string inner = temp.Join("inner");
  CreateDirectoryA(inner.c_str(), nullptr);
  chosen = RunDriven([&] { return dialog.Execute(); },
                     [&](HWND window) { TypeFileNameAndConfirm(window, inner); });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog.result, inner);
}

// The picker opens where the classic browser would select the folder: in
// the folder above it, its name chosen, so that OK takes it at once. It
// reads no folder beside it, which the classic browser does (Wine's reads
// each whole), so it shows at once beside large folders.
TEST(FolderDialogTest, ThePickerOpensAboveTheInitialFolderWithItsNameChosen) {
  ScopedTempFolder temp;
  const std::string inner = temp.Join("inner");
  CreateDirectoryA(inner.c_str(), nullptr);
  iSelectDirectory dialog;
  dialog.title = "Pick";
  dialog.returnOnlyFileSystemFolders = true;
  dialog.initialFolder = inner;

  std::string named;
  bool chosen = RunDriven([&] { return dialog.Execute(); },
                          [&](HWND window) {
                            named = driver::TextOf(FileNameBox(window));
                            driver::PressDialogButton(window, IDOK);
                          });
  EXPECT_EQ(named, "inner");
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog.result, inner) << "OK at once takes the folder it started at";
}

// Counts the folder selections that this thread's windows are asked for
// while it lives: the browser runs on the thread that calls Execute.
class SelectionCounter {
 public:
  SelectionCounter() : hook_(SetWindowsHookExA(WH_CALLWNDPROC, Count, nullptr, GetCurrentThreadId())) {
    count_ = 0;
  }
  ~SelectionCounter() { UnhookWindowsHookEx(hook_); }
  SelectionCounter(const SelectionCounter&) = delete;
  SelectionCounter& operator=(const SelectionCounter&) = delete;
  bool Hooked() const { return hook_ != nullptr; }
  int Count() const { return count_; }

 private:
  static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == BFFM_SETSELECTIONA) {
      ++count_;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline std::atomic<int> count_{0};
  HHOOK hook_;
};

// Tells whether the browser was on the screen when it was first asked to
// select a folder: a selection can take long, and the browser must show
// first.
class FirstSelectionWatch {
 public:
  FirstSelectionWatch() : hook_(SetWindowsHookExA(WH_CALLWNDPROC, Watch, nullptr, GetCurrentThreadId())) {
    seen_ = false;
    shown_ = false;
  }
  ~FirstSelectionWatch() { UnhookWindowsHookEx(hook_); }
  FirstSelectionWatch(const FirstSelectionWatch&) = delete;
  FirstSelectionWatch& operator=(const FirstSelectionWatch&) = delete;
  bool Hooked() const { return hook_ != nullptr; }
  bool Seen() const { return seen_; }
  bool ShownAtIt() const { return shown_; }

 private:
  static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == BFFM_SETSELECTIONA && !seen_) {
      seen_ = true;
      shown_ = IsWindowVisible(call->hwnd) != FALSE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline bool seen_ = false;
  static inline bool shown_ = false;
  HHOOK hook_;
};

TEST(FolderDialogTest, StartsAtTheInitialFolder) {
  ScopedTempFolder temp;
  const std::string inner = temp.Join("inner");
  CreateDirectoryA(inner.c_str(), nullptr);
  iSelectDirectory dialog;
  dialog.title = "Pick";
  dialog.returnOnlyFileSystemFolders = true;
  dialog.classicBrowser = true;
  dialog.initialFolder = inner;
  // The first read of a folder after a change moves its access time, which
  // can make the browser's first request miss (the next test covers that
  // case). Read here, the folders on the way keep their times during the walk.
  for (const std::string& folder :
       {std::filesystem::path(temp.path()).parent_path().string(), temp.path(), inner}) {
    for (auto it = std::filesystem::directory_iterator(folder); it != std::filesystem::directory_iterator();
         ++it) {
    }
  }

  bool selected = false;
  SelectionCounter selections;
  ASSERT_TRUE(selections.Hooked());
  FirstSelectionWatch firstSelection;
  ASSERT_TRUE(firstSelection.Hooked());
  bool chosen = RunDriven([&] { return dialog.Execute(); },
                          [&](HWND window) {
                            selected = WaitForSelectedFolder(window, "inner");
                            driver::PressDialogButton(window, IDOK);
                          });
  EXPECT_TRUE(selected);
  EXPECT_TRUE(firstSelection.Seen());
  EXPECT_TRUE(firstSelection.ShownAtIt()) << "the browser shows before it walks to the folder";
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog.result, inner) << "OK at once takes the folder it started at";
  // Each selection walks the folders on the way again: one is enough when
  // the tree shows it took.
  EXPECT_EQ(selections.Count(), 1);
}

TEST(FolderDialogTest, AStartFolderThatTheTreeDoesNotShowIsTriedOnceMore) {
  ScopedTempFolder temp;
  iSelectDirectory dialog;
  dialog.title = "Pick";
  dialog.returnOnlyFileSystemFolders = true;
  dialog.classicBrowser = true;
  dialog.initialFolder = temp.Join("missing");

  SelectionCounter selections;
  ASSERT_TRUE(selections.Hooked());
  bool found = false;
  bool chosen = RunDriven([&] { return dialog.Execute(); },
                          [&](HWND window) {
                            // The browser selects once it has shown.
                            DWORD start = GetTickCount();
                            while (selections.Count() < 2 && GetTickCount() - start < 10000) Sleep(50);
                            Sleep(500);
                            driver::PressDialogButton(window, IDCANCEL);
                          },
                          &found);
  ASSERT_TRUE(found);
  EXPECT_FALSE(chosen);
  EXPECT_EQ(selections.Count(), 2) << "a second try, and no more";
}

// A window for the dialogs to belong to.
class OwnerWindow {
 public:
  OwnerWindow()
      : window_(CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr)) {}
  ~OwnerWindow() { DestroyWindow(window_); }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

TEST(DialogOwnerTest, EveryDialogBelongsToTheOwnerAndDisablesIt) {
  OwnerWindow owner;
  SetUpDialogs();
  SetDialogOwner(owner.get());
  EXPECT_EQ(SourceFolderDialog.owner, owner.get());
  EXPECT_EQ(OutputFileDialog.owner, owner.get());
  EXPECT_EQ(SettingsSaveDialog.owner, owner.get());
  EXPECT_EQ(SettingsOpenDialog.owner, owner.get());

  const std::vector<std::pair<const char*, std::function<bool()>>> dialogs = {
      {"open", [] { return SettingsOpenDialog.Execute(); }},
      {"save", [] { return OutputFileDialog.Execute(); }},
      {"folder", [] { return SourceFolderDialog.Execute(); }},
      {"classic folder browser",
       [] {
         SourceFolderDialog.classicBrowser = true;
         const bool chosen = SourceFolderDialog.Execute();
         SourceFolderDialog.classicBrowser = false;
         return chosen;
       }},
  };
  for (const auto& dialog : dialogs) {
    SCOPED_TRACE(dialog.first);
    HWND ownerSeen = nullptr;
    bool ownerEnabled = true;
    RunDriven(dialog.second, [&](HWND window) {
      ownerSeen = GetWindow(window, GW_OWNER);
      ownerEnabled = IsWindowEnabled(owner.get()) != FALSE;
      driver::PressDialogButton(window, IDCANCEL);
    });
    EXPECT_EQ(ownerSeen, owner.get());
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner.get())) << "enabled again after the dialog";
  }
  SetDialogOwner(nullptr);
}

}  // namespace

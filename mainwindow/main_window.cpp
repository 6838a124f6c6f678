#include "mainwindow/main_window.h"

#include "mainwindow/binding.h"
#include "mainwindow/commands.h"
#include "mainwindow/generation.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "output/number_text.h"
#include "resources/command_ids.h"

namespace {

const struct {
  ControlId button;
  void (*handler)();
} kButtonCommands[] = {
    {kSourceFolderButton, OnSelectSourceFolder},
    {kOutputFileButton, OnSelectOutputFile},
    {kExitButton, OnExit},
    {kGenerateButton, OnGenerate},
    {kSaveAsButton, OnSaveSettingsAs},
    {kSaveButton, OnSaveSettings},
    {kOpenButton, OnOpenSettings},
    {kWebSiteButton, OnWebSite},
};

const struct {
  WORD command;
  void (*handler)();
} kAcceleratorCommands[] = {
    {IDC_OPEN_SETTINGS, OnOpenSettings},
    {IDC_SAVE_SETTINGS, OnSaveSettings},
    {IDC_SAVE_SETTINGS_AS, OnSaveSettingsAs},
    {IDC_WEB_SITE, OnWebSite},
    {IDC_GENERATE, OnGenerate},
    {IDC_SELECT_SOURCE_FOLDER, OnSelectSourceFolder},
    {IDC_SELECT_OUTPUT_FILE, OnSelectOutputFile},
    // Enter anywhere in the window, as the dialog manager reports it.
    {IDOK, OnGenerate},
};

// The commands that touch neither the settings nor the output file, and so
// stay available while a generation runs.
bool RunsDuringGeneration(void (*handler)()) { return handler == OnExit || handler == OnWebSite; }

void Dispatch(void (*handler)()) {
  if (GenerationRunning() && !RunsDuringGeneration(handler)) return;
  handler();
}

void OnCommand(WPARAM wParam, LPARAM lParam) {
  // While a dialog or message box of the window is open, the window is
  // disabled; a command that still arrives must not run under it.
  if (!IsWindowEnabled(MainWindow.window)) return;
  auto sender = reinterpret_cast<HWND>(lParam);
  for (const auto& entry : kButtonCommands) {
    if (sender == Controls[entry.button].window) {
      Dispatch(entry.handler);
      break;
    }
  }
  for (const auto& entry : kAcceleratorCommands) {
    if (LOWORD(wParam) == entry.command) {
      Dispatch(entry.handler);
      break;
    }
  }
}

// --- Keyboard focus ---------------------------------------------------------

// The control that had the focus when the window was last deactivated, so
// that closing a message box or switching back returns the focus there.
HWND FocusWhenInactive = nullptr;

// Asks the window to pass its activation on to the dialog or box that holds
// it disabled.
constexpr UINT kActivateHolderMessage = WM_APP + 2;
static_assert(kActivateHolderMessage != kGenerationEndedMessage, "messages of their own");

// The dialogs and message boxes of the window, unlike its tips, are of the
// dialog class.
BOOL CALLBACK FindHolder(HWND window, LPARAM found) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (GetWindow(window, GW_OWNER) != MainWindow.window || !IsWindowVisible(window) ||
      !IsWindowEnabled(window) || lstrcmpA(className, "#32770") != 0) {
    return TRUE;
  }
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A window activated while a dialog or box holds it disabled (a late focus
// event, another program putting it in front) would take the keys from the
// dialog and give them to nothing; the dialog takes the activation back, and
// with it its own focus.
void ActivateHolder() {
  if (IsWindowEnabled(MainWindow.window) || GetActiveWindow() != MainWindow.window) return;
  HWND holder = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindHolder, reinterpret_cast<LPARAM>(&holder));
  if (holder != nullptr) SetForegroundWindow(holder);
}

void OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (IsChild(MainWindow.window, focus)) FocusWhenInactive = focus;
    return;
  }
  if (!IsWindowEnabled(MainWindow.window)) {
    PostMessageA(MainWindow.window, kActivateHolderMessage, 0, 0);
    return;
  }
  if (IsIconic(MainWindow.window)) return;
  HWND focus = FocusWhenInactive;
  if (!IsWindow(focus) || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) {
    focus = GetNextDlgTabItem(MainWindow.window, nullptr, FALSE);
  }
  SetFocus(focus);
}

// Sent by multi-line edits for Tab and Shift+Tab, as inside a dialog.
void OnNextControl(WPARAM wParam, LPARAM lParam) {
  HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                  : GetNextDlgTabItem(MainWindow.window, GetFocus(), wParam != 0);
  if (next != nullptr) SetFocus(next);
}

// --- Generation on the worker --------------------------------------------

constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressIntervalMs = 100;

// The window closes once the generation it stopped has ended.
bool CloseWhenGenerationEnds = false;
// A generation ended while a message box was open; it is reported when the
// window is enabled again.
bool GenerationEndWaiting = false;
HWND FocusBeforeGeneration = nullptr;

std::string ProgressText() {
  if (GenerationCancelRequested()) return "stopping";
  const GenerationProgress progress = CurrentGenerationProgress();
  const std::string entries = GroupThousands(std::to_string(progress.EntriesRead));
  switch (progress.Step) {
    case GenerationStep::kReading:
      break;
    case GenerationStep::kSorting:
      return "Sorting " + entries + " entries";
    case GenerationStep::kWriting:
    case GenerationStep::kWaitingToReplace:
      return "Writing " + std::to_string(progress.PercentWritten) + "%";
  }
  return entries + " entries read";
}

void ShowProgress() { SetText(MainWindow, std::string(kProgramTitle) + " - " + ProgressText()); }

// Shows that a generation runs (its progress in the title, the commands that
// change settings or files disabled) or that none runs any more.
void ShowGenerationRunning(bool running) {
  HWND focus = GetFocus();
  if (running) FocusBeforeGeneration = focus;
  for (const auto& entry : kButtonCommands) {
    if (RunsDuringGeneration(entry.handler)) continue;
    // A disabled control must not keep the focus, or keys would reach nothing.
    if (running && focus == Controls[entry.button].window) SetFocus(MainWindow.window);
    Enable(Controls[entry.button], !running);
  }
  if (running) {
    SetTimer(MainWindow.window, kProgressTimer, kProgressIntervalMs, nullptr);
    ShowProgress();
    return;
  }
  KillTimer(MainWindow.window, kProgressTimer);
  SetText(MainWindow, kProgramTitle);
  // The focus goes back to the control that had it when the run started.
  if (!IsWindow(FocusBeforeGeneration)) return;
  if (GetActiveWindow() != MainWindow.window) {
    FocusWhenInactive = FocusBeforeGeneration;
  } else if (focus == nullptr || focus == MainWindow.window) {
    SetFocus(FocusBeforeGeneration);
  }
}

// While the question is open the run goes on, but its new file does not
// replace the old one: Stop must still find the old file there.
void AskToStopGeneration() {
  if (GenerationCancelRequested()) return;
  HoldGenerationCommit();
  int answer =
      MessageBoxA(MainWindow.window, "A listing is being generated.\r\nStop it and close the window?",
                  kProgramTitle, MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) {
    ReleaseGenerationCommit();
    return;
  }
  CancelGeneration();
  CloseWhenGenerationEnds = true;
  ShowProgress();
}

void OnGenerationEnded() {
  if (!GenerationRunning()) return;
  if (!IsWindowEnabled(MainWindow.window)) {
    GenerationEndWaiting = true;
    return;
  }
  GenerationResult result = FinishGeneration();
  ShowGenerationRunning(false);
  if (!CloseWhenGenerationEnds) {
    ReportGeneration(result);
    return;
  }
  CloseWhenGenerationEnds = false;
  // A run that had replaced the file before the question came is no stopped
  // run: the user learns of the file before the window closes.
  if (result.Outcome == GenerationOutcome::kWritten) ReportGeneration(result);
  PostMessageA(MainWindow.window, WM_CLOSE, 0, 0);
}

void OnEnable(bool enabled) {
  if (enabled && GenerationEndWaiting) {
    GenerationEndWaiting = false;
    PostMessageA(MainWindow.window, kGenerationEndedMessage, 0, 0);
  }
}

// False keeps the window open.
bool OnClose() {
  if (!IsWindowEnabled(MainWindow.window)) return false;
  if (GenerationRunning()) {
    AskToStopGeneration();
    return false;
  }
  CollectSettings(false);
  return ConfirmSaveChanges(MainWindow.window);
}

bool OnSetCursor(LPARAM lParam) {
  if (!GenerationRunning() || LOWORD(lParam) != HTCLIENT) return false;
  SetCursor(LoadCursorA(nullptr, IDC_APPSTARTING));
  return true;
}

void OnNotify(const NMHDR& header) {
  if (header.code == TVN_SELCHANGEDA) ShowPage();
}

// The procedures that the group boxes had before SubclassGroups.
WNDPROC PreviousColumnsGroupProc;
WNDPROC PreviousFormatGroupProc;
WNDPROC PreviousHtmlGroupProc;

LRESULT CALLBACK ColumnsGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) UpdateEnabledStates();
  return CallWindowProcA(PreviousColumnsGroupProc, window, message, wParam, lParam);
}

LRESULT CALLBACK FormatGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    UpdateEnabledStates();
    SwitchOutputFormat();
  }
  return CallWindowProcA(PreviousFormatGroupProc, window, message, wParam, lParam);
}

LRESULT CALLBACK HtmlGroupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(PreviousHtmlGroupProc, window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_CLOSE:
      if (!OnClose()) return 0;
      break;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      break;
    case WM_COMMAND:
      OnCommand(wParam, lParam);
      break;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_NEXTDLGCTL:
      OnNextControl(wParam, lParam);
      return 0;
    case WM_ENABLE:
      OnEnable(wParam != 0);
      break;
    case WM_TIMER:
      if (wParam == kProgressTimer) ShowProgress();
      break;
    case WM_SETCURSOR:
      if (OnSetCursor(lParam)) return TRUE;
      break;
    case kGenerationEndedMessage:
      OnGenerationEnded();
      return 0;
    case kActivateHolderMessage:
      ActivateHolder();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void SubclassGroups() {
  PreviousColumnsGroupProc = ReplaceWindowProc(Controls[kColumnsGroup], ColumnsGroupProc);
  PreviousFormatGroupProc = ReplaceWindowProc(Controls[kFormatGroup], FormatGroupProc);
  PreviousHtmlGroupProc = ReplaceWindowProc(Controls[kHtmlGroup], HtmlGroupProc);
}

void OnGenerate() {
  if (GenerationRunning() || !CollectSettings(true)) return;
  if (!StartGeneration(Settings, SystemFolderSource(), MainWindow.window)) {
    ShowError("Not enough memory");
    return;
  }
  ShowGenerationRunning(true);
}

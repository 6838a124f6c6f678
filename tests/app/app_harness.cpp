#include "tests/app/app_harness.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "toolkit/toolkit.h"

namespace app {

const char kTitle[] = "Kestrova 1.51";

namespace {

constexpr DWORD kAnswerMs = 5000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result);
  return static_cast<LRESULT>(result);
}

const char* WindowClassOf(ControlKind kind) {
  switch (kind) {
    case kTopWindow:
      return "iTopWindow";
    case kTreeView:
      return "SysTreeView32";
    case kLabel:
      return "Static";
    case kLineEdit:
    case kNumberEdit:
    case kMemo:
    case kReadOnlyMemo:
      return "Edit";
    case kCheckBox:
    case kRadioButton:
    case kPushButton:
    case kGroupBox:
      return "Button";
    case kEditableCombo:
    case kListCombo:
      return "ComboBox";
  }
  return "";
}

bool SamePlace(const ControlLayout& a, const ControlLayout& b) {
  return a.parent == b.parent && a.x == b.x && a.y == b.y &&
         std::string(WindowClassOf(a.kind)) == WindowClassOf(b.kind);
}

POINT TopLeftIn(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  POINT corner{rect.left, rect.top};
  ScreenToClient(parent, &corner);
  return corner;
}

}  // namespace

namespace {

struct WindowsQuery {
  DWORD processId;
  HWND main;
  std::string found;
};

BOOL CALLBACK AddOtherWindow(HWND window, LPARAM query_address) {
  auto* query = reinterpret_cast<WindowsQuery*>(query_address);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != query->processId || window == query->main || !IsWindowVisible(window)) return TRUE;
  char title[256] = {}, className[64] = {};
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, className, sizeof className);
  query->found += std::string(query->found.empty() ? "" : ", ") + className + " '" + title + "'";
  return TRUE;
}

}  // namespace

std::string RunningApp::OtherWindows() const {
  WindowsQuery query{processId(), main_, std::string()};
  EnumWindows(AddOtherWindow, reinterpret_cast<LPARAM>(&query));
  return query.found.empty() ? "none" : query.found;
}

bool RunningApp::Start(const std::string& folder) {
  folder_ = folder;
  // The pointer rests where no tip of the program shows over the screenshots.
  SetCursorPos(0, 0);
  std::string program = folder + "\\Kestrova.exe";
  if (!CopyFileA(KESTROVA_APP_PATH, program.c_str(), FALSE)) return false;
  if (!program_.Start("\"" + program + "\"", folder)) return false;
  main_ = driver::WaitForTopWindow(kTitle, "iTopWindow", 20000, program_.processId());
  // The window shows before start-up has read its settings; the message loop
  // waiting for input means start-up is over and the settings file is closed.
  return main_ != nullptr && program_.WaitForIdle(20000);
}

HWND RunningApp::At(HWND parent, const std::string& className, int x, int y, size_t nth) const {
  for (HWND child : driver::FindChildren(parent, "")) {
    if (GetAncestor(child, GA_PARENT) != parent) continue;
    if (Lower(driver::ClassOf(child)) != Lower(className)) continue;
    POINT corner = TopLeftIn(parent, child);
    if (corner.x != x || corner.y != y) continue;
    if (nth == 0) return child;
    --nth;
  }
  return nullptr;
}

HWND RunningApp::Find(ControlId id) const {
  const ControlLayout& row = kControlLayout[id];
  if (row.kind == kTopWindow) return main_;
  // The group boxes of the pages share one place.
  if (row.kind == kGroupBox) return Group(row.text);
  // Controls that share a place, each on its own page, keep the order of
  // their rows among their siblings.
  size_t nth = 0;
  for (int earlier = 0; earlier < id; ++earlier) {
    if (SamePlace(kControlLayout[earlier], row)) ++nth;
  }
  // The program scales its layout as this process, on the same system, would.
  const LayoutScale scale = SystemLayoutScale();
  return At(Find(row.parent), WindowClassOf(row.kind), scale.Apply(row.x), scale.Apply(row.y), nth);
}

HWND RunningApp::Group(const std::string& text) const {
  for (HWND child : driver::FindChildren(main_, "Button")) {
    if (GetAncestor(child, GA_PARENT) == main_ && driver::TextOf(child) == text &&
        (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) {
      return child;
    }
  }
  return nullptr;
}

HWND RunningApp::InGroup(const std::string& group, const std::string& text) const {
  return driver::FindChild(Group(group), "Button", text);
}

HWND RunningApp::Button(const std::string& text) const {
  for (HWND child : driver::FindChildren(main_, "Button")) {
    if (GetAncestor(child, GA_PARENT) == main_ && ShownCaption(driver::TextOf(child)) == text) return child;
  }
  return nullptr;
}

bool RunningApp::SelectTreeItem(const std::vector<int>& path) const {
  HWND tree = Find(kPageTree);
  LPARAM item = SendTo(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
  for (size_t level = 0; level < path.size() && item != 0; ++level) {
    if (level > 0) item = SendTo(tree, TVM_GETNEXTITEM, TVGN_CHILD, item);
    for (int i = 0; i < path[level] && item != 0; ++i) {
      item = SendTo(tree, TVM_GETNEXTITEM, TVGN_NEXT, item);
    }
  }
  if (item == 0) return false;
  SendTo(tree, TVM_SELECTITEM, TVGN_CARET, item);
  return SendTo(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) == item;
}

HWND RunningApp::WaitForBox(const std::string& caption, int timeoutMs) const {
  return driver::WaitForMessageBox(caption, timeoutMs, processId());
}

HWND RunningApp::WaitForDialog(const std::string& title, int timeoutMs) const {
  return driver::WaitForTopWindow(title, "#32770", timeoutMs, processId());
}

bool RunningApp::PressKeys(const std::vector<WORD>& modifiers, const std::vector<WORD>& keys) const {
  SetForegroundWindow(main_);
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  for (WORD modifier : modifiers) add(modifier, 0);
  for (WORD key : keys) {
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
  }
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) add(*it, KEYEVENTF_KEYUP);
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return sent == inputs.size();
}

bool RunningApp::TypeText(const std::string& text) const {
  std::vector<INPUT> inputs;
  for (char c : text) {
    for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      // Enter as the key itself, which dialogs answer.
      if (c == '\r') {
        input.ki.wVk = VK_RETURN;
      } else {
        input.ki.wScan = static_cast<unsigned char>(c);
        up |= KEYEVENTF_UNICODE;
      }
      input.ki.dwFlags = up;
      inputs.push_back(input);
    }
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

namespace {

GUITHREADINFO ThreadInfoOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return GUITHREADINFO{};
  return info;
}

template <typename Current>
HWND WaitUntil(HWND expected, int timeoutMs, Current current) {
  DWORD start = GetTickCount();
  HWND found = current();
  while (found != expected && static_cast<int>(GetTickCount() - start) < timeoutMs) {
    Sleep(20);
    found = current();
  }
  return found;
}

}  // namespace

HWND RunningApp::Focus() const { return ThreadInfoOf(main_).hwndFocus; }

HWND RunningApp::WaitForFocus(HWND expected, int timeoutMs) const {
  return WaitUntil(expected, timeoutMs, [this] { return Focus(); });
}

HWND RunningApp::Active() const { return ThreadInfoOf(main_).hwndActive; }

HWND RunningApp::WaitForActive(HWND expected, int timeoutMs) const {
  return WaitUntil(expected, timeoutMs, [this] { return Active(); });
}

namespace {

struct DialogQuery {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<DialogQuery*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == query->processId && IsWindowVisible(window) && driver::ClassOf(window) == "#32770") {
    query->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

std::vector<HWND> RunningApp::OpenDialogs() const {
  DialogQuery query{processId(), {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool RunningApp::CloseDiscardingChanges() {
  if (!driver::Click(Button("Exit"))) return false;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 10000) {
    if (program_.WaitForExit(100)) return true;
    if (HWND box = driver::WaitForMessageBox(kTitle, 100, processId())) {
      driver::AnswerMessageBox(box, IDNO);
    }
  }
  return false;
}

bool RunningApp::WaitForExit(int timeoutMs) { return program_.WaitForExit(timeoutMs); }

bool RunningApp::IsRunning() { return !program_.WaitForExit(0) && IsWindow(main_); }

HWND FileNameFieldOf(HWND dialog) {
  HWND field = GetDlgItem(dialog, edt1);
  if (field != nullptr && IsWindowVisible(field)) return field;
  HWND combo = GetDlgItem(dialog, cmb13);
  if (combo == nullptr) return nullptr;
  HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  return edit != nullptr ? edit : combo;
}

bool ChooseInDialog(HWND dialog, const std::string& path) {
  HWND field = FileNameFieldOf(dialog);
  return field != nullptr && driver::SetTextOf(field, path) && driver::PressDialogButton(dialog, IDOK) &&
         driver::WaitUntilGone(dialog);
}

std::string ShownCaption(const std::string& caption) {
  std::string shown;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && ++i == caption.size()) break;
    shown += caption[i];
  }
  return shown;
}

std::string Text(HWND window) { return driver::TextOf(window); }

bool SetText(HWND window, const std::string& text) { return driver::SetTextOf(window, text); }

std::string SystemReason(DWORD code) {
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  std::string reason(text, length);
  while (!reason.empty() && std::strchr("\r\n .", reason.back()) != nullptr) reason.pop_back();
  return reason;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendTo(combo, CB_GETCURSEL, 0, 0)); }

void MakeFolder(const std::string& path) { std::filesystem::create_directories(path); }

void MakeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool WaitForFile(const std::string& path, int timeoutMs) {
  DWORD start = GetTickCount();
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

void Screenshot(const std::string& name) {
  // The program paints when its queue runs empty; give it the time.
  Sleep(400);
  std::string path = std::string(KESTROVA_APP_SCREENSHOT_DIR) + "/" + name + ".png";
  EXPECT_TRUE(driver::TakeScreenshot(path)) << path;
}

bool AnswersWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                   DWORD_PTR* result) {
  DWORD_PTR answer = 0;
  bool answered = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                      static_cast<UINT>(timeoutMs), &answer) != 0;
  if (result != nullptr) *result = answer;
  return answered;
}

}  // namespace app

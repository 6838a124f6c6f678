#include "tests/windows/driver/win_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "tests/windows/driver/png_file.h"

namespace driver {
namespace {

constexpr int kPollMs = 50;
constexpr UINT kAnswerTimeoutMs = 5000;

// Polls found() until it gives a window or the time runs out.
template <typename Finder>
HWND PollFor(int timeoutMs, Finder found) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = found()) return window;
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

struct TopWindowQuery {
  const std::string* title;  // null: any title
  const std::string* className;
  DWORD processId;
  HWND owner;  // null: any owner
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<TopWindowQuery*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  if (query->processId != 0) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId) return TRUE;
  }
  if (!query->className->empty() && ClassOf(window) != *query->className) return TRUE;
  if (query->owner != nullptr && GetWindow(window, GW_OWNER) != query->owner) return TRUE;
  if (query->title != nullptr) {
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (*query->title != caption) return TRUE;
  }
  query->found = window;
  return FALSE;
}

HWND FindTopWindow(const std::string* title, const std::string& className, DWORD processId,
                   HWND owner = nullptr) {
  TopWindowQuery query{title, &className, processId, owner, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

struct ChildQuery {
  const std::string* className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<ChildQuery*>(context);
  if (query->className->empty() || ClassOf(window) == *query->className) {
    query->found.push_back(window);
  }
  return TRUE;
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, result) !=
         0;
}

BOOL CALLBACK PaintNow(HWND window, LPARAM) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return TRUE;
}

struct DeleteDc {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct ReleaseScreenDc {
  void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};

}  // namespace

HWND WaitForTopWindow(const std::string& title, const std::string& className, int timeoutMs,
                      DWORD processId) {
  return PollFor(timeoutMs, [&] { return FindTopWindow(&title, className, processId); });
}

HWND WaitForTopWindowOfClass(const std::string& className, int timeoutMs, DWORD processId) {
  return PollFor(timeoutMs, [&] { return FindTopWindow(nullptr, className, processId); });
}

HWND WaitForOwnedWindow(HWND owner, const std::string& className, int timeoutMs) {
  if (owner == nullptr) return nullptr;
  return PollFor(timeoutMs, [&] { return FindTopWindow(nullptr, className, 0, owner); });
}

bool WaitUntilGone(HWND window, int timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return false;
    Sleep(kPollMs);
  }
  return true;
}

std::vector<HWND> FindChildren(HWND parent, const std::string& className) {
  ChildQuery query{&className, {}};
  if (parent != nullptr) EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text) {
  for (HWND child : FindChildren(parent, className)) {
    if (TextOf(child) == text) return child;
  }
  return nullptr;
}

HWND FindNthChild(HWND parent, const std::string& className, size_t index) {
  std::vector<HWND> children = FindChildren(parent, className);
  return index < children.size() ? children[index] : nullptr;
}

namespace {

// Memory in the process of a window, for messages whose answer a pointer
// receives: the window can reach only its own process's memory.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == 0) return;
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr) {
      address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
  }
  ~RemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  // The address in the window's process; null when it could not be had.
  char* at() const { return address_; }
  bool Put(size_t offset, const void* bytes, size_t size) const {
    return address_ != nullptr && WriteProcessMemory(process_, address_ + offset, bytes, size, nullptr);
  }
  bool Get(size_t offset, void* bytes, size_t size) const {
    return address_ != nullptr && ReadProcessMemory(process_, address_ + offset, bytes, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

}  // namespace

std::string SelectedTreeItemText(HWND tree) {
  DWORD_PTR item = 0;
  if (!SendWithTimeout(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, &item) || item == 0) return "";
  // The tree fills in a TVITEMA and its text where its own process can reach them.
  constexpr size_t kTextSize = MAX_PATH;
  RemoteMemory remote(tree, sizeof(TVITEMA) + kTextSize);
  TVITEMA query{};
  query.mask = TVIF_TEXT;
  query.hItem = reinterpret_cast<HTREEITEM>(item);
  query.pszText = remote.at() + sizeof(TVITEMA);
  query.cchTextMax = kTextSize;
  char buffer[kTextSize] = {};
  DWORD_PTR found = 0;
  if (remote.Put(0, &query, sizeof query) &&
      SendWithTimeout(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.at()), &found) && found != 0 &&
      remote.Get(sizeof(TVITEMA), buffer, sizeof buffer - 1)) {
    return buffer;
  }
  return "";
}

bool ComboBoxItemRect(HWND combo, RECT& rect) {
  RemoteMemory remote(combo, sizeof(COMBOBOXINFO));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  DWORD_PTR answered = 0;
  if (!remote.Put(0, &info, sizeof info) ||
      !SendWithTimeout(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(remote.at()), &answered) ||
      answered == 0 || !remote.Get(0, &info, sizeof info)) {
    return false;
  }
  rect = info.rcItem;
  return true;
}

std::string ToolTipText(HWND tips, HWND tool) {
  constexpr size_t kTextSize = 512;
  RemoteMemory remote(tips, sizeof(TOOLINFOA) + kTextSize);
  TOOLINFOA query{};
  query.cbSize = TTTOOLINFOA_V2_SIZE;
  query.hwnd = GetParent(tool);
  query.uId = reinterpret_cast<UINT_PTR>(tool);
  query.lpszText = remote.at() + sizeof(TOOLINFOA);
  char buffer[kTextSize] = {};
  DWORD_PTR ignored = 0;
  if (remote.Put(0, &query, sizeof query) && remote.Put(sizeof(TOOLINFOA), buffer, sizeof buffer) &&
      SendWithTimeout(tips, TTM_GETTEXTA, kTextSize, reinterpret_cast<LPARAM>(remote.at()), &ignored) &&
      remote.Get(sizeof(TOOLINFOA), buffer, sizeof buffer - 1)) {
    return buffer;
  }
  return "";
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

std::string TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return "";
  std::vector<char> buffer(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied)) {
    return "";
  }
  return std::string(buffer.data(), copied < buffer.size() ? copied : buffer.size() - 1);
}

bool SetTextOf(HWND window, const std::string& text) {
  DWORD_PTR accepted = 0;
  return SendWithTimeout(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &accepted) &&
         accepted != 0;
}

bool Click(HWND button) { return PostMessageA(button, BM_CLICK, 0, 0) != 0; }

bool ClickAndWait(HWND button) {
  DWORD_PTR ignored = 0;
  return SendWithTimeout(button, BM_CLICK, 0, 0, &ignored);
}

bool PressDialogButton(HWND dialog, int identifier) {
  HWND button = GetDlgItem(dialog, identifier);
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(identifier, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != 0;
}

bool SelectComboItem(HWND combo, int index) {
  DWORD_PTR selected = 0;
  if (!SendWithTimeout(combo, CB_SETCURSEL, index, 0, &selected) || static_cast<int>(selected) != index) {
    return false;
  }
  HWND parent = GetParent(combo);
  const WORD identifier = static_cast<WORD>(GetDlgCtrlID(combo));
  DWORD_PTR ignored = 0;
  return SendWithTimeout(parent, WM_COMMAND, MAKEWPARAM(identifier, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo), &ignored) &&
         SendWithTimeout(parent, WM_COMMAND, MAKEWPARAM(identifier, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(combo), &ignored);
}

int CheckStateOf(HWND button) {
  DWORD_PTR state = 0;
  return SendWithTimeout(button, BM_GETCHECK, 0, 0, &state) ? static_cast<int>(state) : -1;
}

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

HWND WaitForMessageBox(const std::string& caption, int timeoutMs, DWORD processId) {
  return WaitForTopWindow(caption, "#32770", timeoutMs, processId);
}

std::string MessageBoxText(HWND box) {
  for (HWND label : FindChildren(box, "Static")) {
    if ((GetWindowLongA(label, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
    std::string text = TextOf(label);
    if (!text.empty()) return text;
  }
  return "";
}

std::vector<std::string> MessageBoxButtons(HWND box) {
  std::vector<std::string> texts;
  for (HWND button : FindChildren(box, "Button")) {
    if (IsWindowVisible(button)) texts.push_back(TextOf(button));
  }
  return texts;
}

bool AnswerMessageBox(HWND box, int identifier, int timeoutMs) {
  return PressDialogButton(box, identifier) && WaitUntilGone(box, timeoutMs);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool StartedProgram::Start(const std::string& commandLine, const std::string& folder) {
  Terminate();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

StartedProgram::~StartedProgram() { Terminate(); }

bool StartedProgram::WaitForExit(int timeoutMs, DWORD* exitCode) {
  if (process_ == nullptr) return false;
  if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(process_, exitCode);
  return true;
}

bool StartedProgram::WaitForIdle(int timeoutMs) {
  return process_ != nullptr && WaitForInputIdle(process_, static_cast<DWORD>(timeoutMs)) == 0;
}

void StartedProgram::Terminate() {
  if (process_ == nullptr) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kAnswerTimeoutMs);
  }
  CloseHandle(process_);
  process_ = nullptr;
  processId_ = 0;
}

bool TakeScreenshot(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return false;
  EnumThreadWindows(GetCurrentThreadId(), PaintNow, 0);
  GdiFlush();

  std::unique_ptr<HDC__, ReleaseScreenDc> screen(GetDC(nullptr));
  std::unique_ptr<HDC__, DeleteDc> memory(CreateCompatibleDC(screen.get()));
  if (!screen || !memory) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  std::unique_ptr<void, DeleteGdiObject> bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return false;

  HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  bool copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY | CAPTUREBLT) != FALSE;
  GdiFlush();
  SelectObject(memory.get(), previous);
  if (!copied) return false;

  const auto* bgrx = static_cast<const uint8_t*>(bits);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t pixel = 0; pixel < rgb.size() / 3; ++pixel) {
    rgb[pixel * 3] = bgrx[pixel * 4 + 2];
    rgb[pixel * 3 + 1] = bgrx[pixel * 4 + 1];
    rgb[pixel * 3 + 2] = bgrx[pixel * 4];
  }
  std::string png = EncodePng(rgb.data(), width, height);

  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  bool written = std::fwrite(png.data(), 1, png.size(), file.get()) == png.size();
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace driver

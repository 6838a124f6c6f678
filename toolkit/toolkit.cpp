#include "toolkit/toolkit.h"

#include <vector>

namespace {

const char kComboBoxText[] = "iComboBox";
const char kTreeViewText[] = "iTreeView";
const char kTopWindowClass[] = "iTopWindow";

constexpr DWORD kButtonStyle = WS_CHILD | WS_TABSTOP;
constexpr DWORD kCheckBoxStyle = WS_CHILD | BS_AUTOCHECKBOX;
constexpr DWORD kRadioButtonStyle = WS_CHILD | BS_AUTORADIOBUTTON;
constexpr DWORD kGroupBoxStyle = WS_CHILD | WS_CLIPCHILDREN | BS_GROUPBOX;
constexpr DWORD kLabelStyle = WS_CHILD;
constexpr DWORD kLineEditStyle = WS_CHILD | WS_TABSTOP | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
constexpr DWORD kMemoStyle = WS_CHILD | WS_HSCROLL | ES_OEMCONVERT | ES_AUTOVSCROLL | ES_MULTILINE;
constexpr DWORD kTreeViewStyle = WS_CHILD | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
constexpr DWORD kTopWindowStyle = WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

constexpr int kMemoTextLimit = 1000000;
constexpr LONG kRadioButtonBackground = COLOR_BTNTEXT + 1;
constexpr int kWindowPlacementLength = 44;

static_assert(kButtonStyle == 0x40010000 && kCheckBoxStyle == 0x40000003 && kRadioButtonStyle == 0x40000009 &&
                  kGroupBoxStyle == 0x42000007 && kLineEditStyle == 0x400100C0 && kMemoStyle == 0x40100444 &&
                  kTreeViewStyle == 0x40000007 && kTopWindowStyle == 0x000F0000,
              "style words of the control kinds");
static_assert(kRadioButtonBackground == 19, "class brush of radio buttons");

bool LowByte(int flag) { return (flag & 0xFF) != 0; }

bool CreateChild(iControl& control, HWND parent, const char* className, const char* text, DWORD style,
                 DWORD exStyle, int width, int height) {
  control.parent = parent;
  control.window = CreateWindowExA(exStyle, className, text, style, 0, 0, width, height, parent, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
  SetDefaultFont(control);
  return control.window != nullptr;
}

}  // namespace

bool CreateButton(iControl& control, HWND parent, const std::string& text) {
  return CreateChild(control, parent, "BUTTON", text.c_str(), kButtonStyle, 0, kButtonSize.cx,
                     kButtonSize.cy);
}

bool CreateCheckBox(iControl& control, HWND parent, const std::string& text) {
  return CreateChild(control, parent, "BUTTON", text.c_str(), kCheckBoxStyle, 0, kSmallControlSize.cx,
                     kSmallControlSize.cy);
}

bool CreateRadioButton(iControl& control, HWND parent, const std::string& text) {
  bool created = CreateChild(control, parent, "BUTTON", text.c_str(), kRadioButtonStyle, 0,
                             kSmallControlSize.cx, kSmallControlSize.cy);
  SetClassLongA(control.window, GCL_HBRBACKGROUND, kRadioButtonBackground);
  RefreshFrame(control);
  return created;
}

bool CreateRadioButton(iControl& control, const iControl& parent, const std::string& text) {
  return CreateRadioButton(control, parent.window, text);
}

bool CreateGroupBox(iControl& control, HWND parent, const std::string& text) {
  return CreateChild(control, parent, "BUTTON", text.c_str(), kGroupBoxStyle, WS_EX_CONTROLPARENT,
                     kGroupBoxSize.cx, kGroupBoxSize.cy);
}

bool CreateGroupBox(iControl& control, const iControl& parent, const std::string& text) {
  return CreateGroupBox(control, parent.window, text);
}

bool CreateLabel(iControl& control, HWND parent, const std::string& text) {
  return CreateChild(control, parent, "STATIC", text.c_str(), kLabelStyle, 0, kSmallControlSize.cx,
                     kSmallControlSize.cy);
}

bool CreateLineEdit(iControl& control, HWND parent, const std::string& text) {
  return CreateChild(control, parent, "EDIT", text.c_str(), kLineEditStyle, WS_EX_CLIENTEDGE,
                     kSmallControlSize.cx, kSmallControlSize.cy);
}

bool CreateMemo(iControl& control, HWND parent, const std::string& text) {
  control.parent = parent;
  control.window = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", text.c_str(), kMemoStyle, 0, 0, kMemoSize.cx,
                                   kMemoSize.cy, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetTextLimit(control, kMemoTextLimit);
  SetDefaultFont(control);
  UpdateWindow(control.window);
  return control.window != nullptr;
}

bool CreateComboBox(iControl& control, HWND parent, DWORD style, DWORD exStyle) {
  return CreateChild(control, parent, "COMBOBOX", kComboBoxText, style, exStyle, kComboBoxSize.cx,
                     kComboBoxSize.cy);
}

bool CreateTreeView(iControl& control, HWND parent) {
  InitCommonControls();
  return CreateChild(control, parent, WC_TREEVIEWA, kTreeViewText, kTreeViewStyle, WS_EX_CLIENTEDGE,
                     kTreeViewSize.cx, kTreeViewSize.cy);
}

LayoutScale SystemLayoutScale() {
  constexpr int kDesignDpi = 96;
  constexpr int kDesignFontHeight = 11;
  LayoutScale scale;
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTA font{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  // A negative height is the characters' own, without the space above them.
  const int fontHeight = -font.lfHeight;
  if (dpi > 0) scale = {dpi, kDesignDpi};
  if (fontHeight > 0 && fontHeight * scale.denominator > kDesignFontHeight * scale.numerator) {
    scale = {fontHeight, kDesignFontHeight};
  }
  return scale;
}

namespace {

// The metrics of the control's font, drawn on the control's own surface.
template <typename Measure>
int MeasureInFont(const iControl& control, Measure measure) {
  HDC dc = GetDC(control.window);
  if (dc == nullptr) return 0;
  auto font = reinterpret_cast<HFONT>(SendMessageA(control.window, WM_GETFONT, 0, 0));
  HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
  const int result = measure(dc);
  SelectObject(dc, previous);
  ReleaseDC(control.window, dc);
  return result;
}

}  // namespace

int TextWidth(const iControl& control, const std::string& text) {
  return MeasureInFont(control, [&text](HDC dc) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  });
}

int CaptionWidth(const iControl& control, const std::string& caption) {
  return MeasureInFont(control, [&caption](HDC dc) {
    RECT rect{};
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, DT_SINGLELINE | DT_CALCRECT);
    return static_cast<int>(rect.right - rect.left);
  });
}

int TextHeight(const iControl& control) {
  return MeasureInFont(control, [](HDC dc) {
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    return static_cast<int>(metrics.tmHeight);
  });
}

int CheckMarkWidth() { return GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE); }

bool PlaceButton(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                 int height) {
  bool created = CreateButton(control, parent, text);
  AddStyle(control, WS_EX_CLIENTEDGE, true);
  Move(control, x, y, width, height);
  Show(control, SW_SHOW);
  return created;
}

bool PlaceCheckBox(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                   int height) {
  bool created = CreateCheckBox(control, parent, text);
  Move(control, x, y, width, height);
  Show(control, SW_SHOW);
  return created;
}

bool PlaceLineEdit(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                   int height) {
  bool created = CreateLineEdit(control, parent, text);
  Move(control, x, y, width, height);
  Show(control, SW_SHOW);
  AddStyle(control, WS_BORDER, false);
  RemoveStyle(control, WS_EX_CLIENTEDGE, true);
  return created;
}

bool PlaceLabel(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                int height) {
  bool created = CreateLabel(control, parent, text);
  Move(control, x, y, width, height);
  Show(control, SW_SHOW);
  return created;
}

bool PlaceMemo(iControl& control, HWND parent, const std::string& text, int x, int y, int width, int height) {
  bool created = CreateMemo(control, parent, text);
  Move(control, x, y, width, height);
  AddStyle(control, WS_VSCROLL, false);
  AddStyle(control, WS_BORDER, false);
  RemoveStyle(control, WS_EX_CLIENTEDGE, true);
  Show(control, SW_SHOW);
  return created;
}

LRESULT SetDefaultFont(const iControl& control) {
  return SendMessageA(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                      0);
}

LRESULT Send(const iControl& control, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(control.window, message, wParam, lParam);
}

int GetTextLength(const iControl& control) { return GetWindowTextLengthA(control.window); }

std::string GetText(const iControl& control) {
  std::vector<char> buffer(GetTextLength(control) + 1, '\0');
  int copied = GetWindowTextA(control.window, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), copied > 0 ? copied : 0);
}

bool SetText(const iControl& control, const std::string& text) {
  return SetWindowTextA(control.window, text.c_str()) != 0;
}

bool Enable(const iControl& control, int flag) { return EnableWindow(control.window, LowByte(flag)) != 0; }

bool Show(const iControl& control, int showCommand) { return ShowWindow(control.window, showCommand) != 0; }

bool IsChecked(const iControl& control) { return Send(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(const iControl& control, int flag) {
  Send(control, BM_SETCHECK, LowByte(flag) ? BST_CHECKED : BST_UNCHECKED, 0);
}

int GetCheck(const iControl& control) {
  LRESULT state = Send(control, BM_GETSTATE, 0, 0);
  if (state & BST_CHECKED) return 1;
  if (state & BST_INDETERMINATE) return 2;
  return 0;
}

void SetCheck(const iControl& control, int state) {
  if (state == BST_UNCHECKED || state == BST_CHECKED || state == BST_INDETERMINATE) {
    Send(control, BM_SETCHECK, state, 0);
  }
}

int AddItem(const iControl& control, const std::string& text) {
  return static_cast<int>(Send(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int GetSelection(const iControl& control) { return static_cast<int>(Send(control, CB_GETCURSEL, 0, 0)); }

LRESULT SetSelection(const iControl& control, int index) { return Send(control, CB_SETCURSEL, index, 0); }

bool SetNumbersOnly(const iControl& control, int flag) {
  return ChangeStyle(control, ES_NUMBER, flag, false);
}

LRESULT SelectText(const iControl& control, int start, int count) {
  return Send(control, EM_SETSEL, start, start + count);
}

LRESULT SetReadOnly(const iControl& control, int flag) {
  return Send(control, EM_SETREADONLY, flag & 0xFF, 0);
}

LRESULT SetTextLimit(const iControl& control, int limit) { return Send(control, EM_LIMITTEXT, limit, 0); }

HTREEITEM InsertTreeItem(const iControl& control, HTREEITEM parentItem, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  TVINSERTSTRUCTA insertion{};
  insertion.hParent = parentItem;
  insertion.hInsertAfter = nullptr;
  insertion.item.mask = TVIF_TEXT;
  insertion.item.pszText = buffer.data();
  // An insert-after handle of 0 names no sibling, and the control appends
  // the item after its parent's last child.
  return reinterpret_cast<HTREEITEM>(Send(control, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insertion)));
}

int GetLeft(const iControl& control) {
  WINDOWPLACEMENT placement{};
  placement.length = kWindowPlacementLength;
  GetWindowPlacement(control.window, &placement);
  return placement.rcNormalPosition.left;
}

int GetTop(const iControl& control) {
  WINDOWPLACEMENT placement{};
  placement.length = kWindowPlacementLength;
  GetWindowPlacement(control.window, &placement);
  return placement.rcNormalPosition.top;
}

int GetWidth(const iControl& control) {
  RECT rect{};
  GetWindowRect(control.window, &rect);
  return rect.right - rect.left;
}

int GetHeight(const iControl& control) {
  RECT rect{};
  GetWindowRect(control.window, &rect);
  return rect.bottom - rect.top;
}

void Move(const iControl& control, int x, int y, int width, int height) {
  if (height == -1) height = GetHeight(control);
  if (width == -1) width = GetWidth(control);
  if (y == -1) y = GetTop(control);
  if (x == -1) x = GetLeft(control);
  MoveWindow(control.window, x, y, width, height, TRUE);
  UpdateWindow(control.window);
}

DWORD GetStyle(const iControl& control, int extended) {
  return static_cast<DWORD>(GetWindowLongA(control.window, LowByte(extended) ? GWL_EXSTYLE : GWL_STYLE));
}

bool SetStyle(const iControl& control, DWORD word, int extended) {
  SetLastError(0);
  SetWindowLongA(control.window, LowByte(extended) ? GWL_EXSTYLE : GWL_STYLE, static_cast<LONG>(word));
  RefreshFrame(control);
  return GetLastError() == 0;
}

bool AddStyle(const iControl& control, DWORD bits, int extended) {
  return SetStyle(control, GetStyle(control, extended) | bits, extended);
}

bool RemoveStyle(const iControl& control, DWORD bits, int extended) {
  DWORD word = GetStyle(control, extended);
  if (HasAllBits(word, bits)) word &= ~bits;
  return SetStyle(control, word, extended);
}

bool ChangeStyle(const iControl& control, DWORD bits, int add, int extended) {
  return LowByte(add) ? AddStyle(control, bits, extended) : RemoveStyle(control, bits, extended);
}

bool HasAllBits(DWORD word, DWORD mask) { return (word | mask) == word; }

void RefreshFrame(const iControl& control) {
  UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED;
  if (IsWindowVisible(control.window)) flags |= SWP_SHOWWINDOW;
  SetWindowPos(control.window, nullptr, 0, 0, 0, 0, flags);
}

WNDPROC ReplaceWindowProc(const iControl& control, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(
      SetWindowLongA(control.window, GWL_WNDPROC, reinterpret_cast<LONG>(procedure)));
}

bool CreateToolTips(iControl& tips, HWND owner) {
  tips.parent = owner;
  tips.window = CreateWindowExA(
      WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
  return tips.window != nullptr;
}

bool AddToolTip(const iControl& tips, const iControl& control, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  TOOLINFOA tool{};
  // The size that version 5 of the common controls knows as well as 6.
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control.window);
  tool.uId = reinterpret_cast<UINT_PTR>(control.window);
  // The control keeps a copy of the text.
  tool.lpszText = buffer.data();
  return Send(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

bool CreateTopWindow(iControl& control, HWND parent, const std::string& title, WNDPROC windowProcedure) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  control.parent = parent;

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "MAINICON");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kTopWindowClass;
  // Registering twice fails harmlessly; the first registration stays.
  RegisterClassExA(&windowClass);

  control.window = CreateWindowExA(WS_EX_CONTROLPARENT, kTopWindowClass, title.c_str(), kTopWindowStyle, 50,
                                   50, 350, 300, nullptr, nullptr, instance, nullptr);
  SetDefaultFont(control);
  UpdateWindow(control.window);
  return control.window != nullptr;
}

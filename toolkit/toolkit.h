// Thin free operations over native Win32 windows and controls.
//
// Every window of the program is an iControl record that the caller owns;
// the toolkit keeps no state of its own. A record whose creation failed
// holds a null window, and every later operation on it fails quietly
// (Win32 rejects the null handle; nothing is shown, nothing throws).
// Flags passed as int are tested on their low byte.
#pragma once

#include "platform/win32port.h"

#include <string>

// Needs the port settings above.
#include <commctrl.h>

struct iControl {
  HWND parent = nullptr;  // the parent given at creation (null for a top-level window)
  HWND window = nullptr;  // the window created; null until created or when creation failed
};

// The sizes, in pixels, that the creation operations give each kind.
constexpr SIZE kButtonSize{75, 27};
constexpr SIZE kSmallControlSize{75, 20};  // check box, radio button, label, line edit
constexpr SIZE kGroupBoxSize{120, 120};
constexpr SIZE kMemoSize{200, 250};
constexpr SIZE kComboBoxSize{100, 80};  // with its list dropped down
constexpr SIZE kTreeViewSize{200, 200};

// --- Creation -------------------------------------------------------------
// Each creates an invisible child at (0, 0) with the kind's default size,
// child identifier 0, the default GUI font, and returns true when the window
// exists. The record's parent and window are set either way.

// "BUTTON", push button with a tab stop, 75 x 27.
bool CreateButton(iControl& control, HWND parent, const std::string& text);
// "BUTTON", auto check box, 75 x 20.
bool CreateCheckBox(iControl& control, HWND parent, const std::string& text);
// "BUTTON", auto radio button, 75 x 20; sets the button class background to
// COLOR_BTNTEXT + 1 and refreshes the frame.
bool CreateRadioButton(iControl& control, HWND parent, const std::string& text);
bool CreateRadioButton(iControl& control, const iControl& parent, const std::string& text);
// "BUTTON", group box that clips its children and is a control parent, 120 x 120.
bool CreateGroupBox(iControl& control, HWND parent, const std::string& text);
bool CreateGroupBox(iControl& control, const iControl& parent, const std::string& text);
// "STATIC", 75 x 20.
bool CreateLabel(iControl& control, HWND parent, const std::string& text);
// "EDIT", one line with a sunken client edge and a tab stop, 75 x 20.
bool CreateLineEdit(iControl& control, HWND parent, const std::string& text);
// "EDIT", multi-line with a horizontal scroll bar, sunken client edge and a
// limit of 1,000,000 characters, 200 x 250.
bool CreateMemo(iControl& control, HWND parent, const std::string& text);
// "COMBOBOX" with the caller's style words and the window text "iComboBox", 100 x 80.
bool CreateComboBox(iControl& control, HWND parent, DWORD style, DWORD exStyle);
// "SysTreeView32" with buttons and lines at the root, sunken client edge and
// the window text "iTreeView", 200 x 200; initialises the common controls first.
bool CreateTreeView(iControl& control, HWND parent);

// --- Create, move and show ------------------------------------------------
// Create the control, Move it to x, y, width, height (-1 keeps the current
// value), show it; the result is the creation's.

// Also gains a sunken client edge (extended style).
bool PlaceButton(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                 int height);
bool PlaceCheckBox(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                   int height);
// Trades the sunken client edge for a flat WS_BORDER after it is shown.
bool PlaceLineEdit(iControl& control, HWND parent, const std::string& text, int x, int y, int width,
                   int height);
bool PlaceLabel(iControl& control, HWND parent, const std::string& text, int x, int y, int width, int height);
// Gains a vertical scroll bar and trades the client edge for WS_BORDER before it is shown.
bool PlaceMemo(iControl& control, HWND parent, const std::string& text, int x, int y, int width, int height);

// --- Messages and text ----------------------------------------------------
// WM_SETFONT with the stock DEFAULT_GUI_FONT, no redraw; the message result.
LRESULT SetDefaultFont(const iControl& control);
// SendMessageA to the window; the message result.
LRESULT Send(const iControl& control, UINT message, WPARAM wParam, LPARAM lParam);
int GetTextLength(const iControl& control);
// The window text; empty for an empty control or a null window.
std::string GetText(const iControl& control);
// True when SetWindowTextA succeeded.
bool SetText(const iControl& control, const std::string& text);
// EnableWindow with the flag; true when the window was disabled before.
bool Enable(const iControl& control, int flag);
// ShowWindow with SW_SHOW or SW_HIDE; true when the window was visible before.
bool Show(const iControl& control, int showCommand);

// --- Check boxes and radio buttons ----------------------------------------
// True only for BST_CHECKED (an indeterminate box is not checked).
bool IsChecked(const iControl& control);
// Checks the box when the flag is set, clears it otherwise.
void SetChecked(const iControl& control, int flag);
// From BM_GETSTATE: 1 checked, 2 indeterminate, 0 cleared.
int GetCheck(const iControl& control);
// Sets state 0, 1 or 2; any other state sends nothing.
void SetCheck(const iControl& control, int state);

// --- Combo boxes ----------------------------------------------------------
// Appends (or sorts in) an item; its index.
int AddItem(const iControl& control, const std::string& text);
// The selected index, -1 when none.
int GetSelection(const iControl& control);
LRESULT SetSelection(const iControl& control, int index);

// --- Edits ----------------------------------------------------------------
// Adds ES_NUMBER when the flag is set, removes it otherwise; as SetStyle.
bool SetNumbersOnly(const iControl& control, int flag);
// Selects count characters from start (positions start .. start + count - 1).
LRESULT SelectText(const iControl& control, int start, int count);
LRESULT SetReadOnly(const iControl& control, int flag);
LRESULT SetTextLimit(const iControl& control, int limit);

// --- Tree views -----------------------------------------------------------
// Adds an item after the existing children of parentItem (null: a root
// item); the new item's handle, null on failure.
HTREEITEM InsertTreeItem(const iControl& control, HTREEITEM parentItem, const std::string& text);

// --- Position and size ----------------------------------------------------
// Left and top of the normal (restored) position, relative to the parent.
int GetLeft(const iControl& control);
int GetTop(const iControl& control);
// Width and height of the window rectangle.
int GetWidth(const iControl& control);
int GetHeight(const iControl& control);
// Moves and resizes; an argument of -1 keeps that value. Always repaints.
void Move(const iControl& control, int x, int y, int width, int height);

// --- Text and scale -------------------------------------------------------
// The factor from sizes drawn for 96 DPI, where the default GUI font is 11
// pixels high, to this system's: the system DPI's, or the font's where it
// grew more, as its height is rounded to whole pixels.
struct LayoutScale {
  int numerator = 1;
  int denominator = 1;
  int Apply(int pixels) const { return MulDiv(pixels, numerator, denominator); }
};
LayoutScale SystemLayoutScale();

// The width of the text in the control's font.
int TextWidth(const iControl& control, const std::string& text);
// The width of a caption as the control draws it on one line: an "&" marks
// the letter after it as the mnemonic and takes no room ("&&" shows one).
int CaptionWidth(const iControl& control, const std::string& caption);
// The height of a line of text in the control's font.
int TextHeight(const iControl& control);
// What a check box or radio button needs before its text: the box and the
// gap after it.
int CheckMarkWidth();

// --- Styles ---------------------------------------------------------------
// The extended style when the flag is set, else the window style.
DWORD GetStyle(const iControl& control, int extended);
// Replaces the style word and refreshes the frame; true when no error was raised.
bool SetStyle(const iControl& control, DWORD word, int extended);
// ORs the bits into the selected word; as SetStyle.
bool AddStyle(const iControl& control, DWORD bits, int extended);
// Clears the bits only when all of them are set, else keeps the word; as SetStyle.
bool RemoveStyle(const iControl& control, DWORD bits, int extended);
// AddStyle when the add flag is set, else RemoveStyle.
bool ChangeStyle(const iControl& control, DWORD bits, int add, int extended);
// True when every bit of mask is set in word.
bool HasAllBits(DWORD word, DWORD mask);
// Makes a changed style take effect; keeps place, size, z-order and visibility.
void RefreshFrame(const iControl& control);

// --- Subclassing --------------------------------------------------------
// Replaces the window procedure (GWL_WNDPROC) and returns the previous one,
// null on failure. The new procedure must end every message by passing it
// unchanged to the previous one with CallWindowProcA and return that result.
WNDPROC ReplaceWindowProc(const iControl& control, WNDPROC procedure);

// --- Tool tips ------------------------------------------------------------
// "tooltips_class32", owned by owner, showing its tips whether or not the
// owner is active; true when the window exists.
bool CreateToolTips(iControl& tips, HWND owner);
// Shows the text while the mouse rests on the control; true when added.
bool AddToolTip(const iControl& tips, const iControl& control, const std::string& text);

// --- Top-level window -----------------------------------------------------
// Registers the class "iTopWindow" (icon "MAINICON", arrow cursor, button-face
// background) with the procedure, then creates an invisible overlapped window
// with the title at 50, 50, 350 x 300 with the default GUI font. The parent
// is stored, not used. True when the window exists.
bool CreateTopWindow(iControl& control, HWND parent, const std::string& title, WNDPROC windowProcedure);

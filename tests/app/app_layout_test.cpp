// The real Kestrova.exe shows every caption whole, at 96 DPI and at the
// higher DPIs that the tests set for Wine (LogPixels), with its layout
// scaled to the system's DPI. The checks at a higher DPI run in a copy of
// this test program started at that DPI, since a process keeps the DPI it
// started with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/app/app_harness.h"
#include "tests/test_support.h"
#include "toolkit/toolkit.h"

namespace {

using app::RunningApp;

// Set in the copy of this program that runs at a higher DPI: that DPI.
const char kDpiVariable[] = "KESTROVA_LAYOUT_DPI";

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The width of a caption as a control draws it in the default GUI font,
// which the program's controls use (the same stock font on the same
// system): the "&" of a mnemonic takes no room.
int TextWidthInGuiFont(const std::string& text) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
  RECT rect{};
  DrawTextA(screen, text.c_str(), static_cast<int>(text.size()), &rect, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return rect.right - rect.left;
}

int TextHeightInGuiFont() {
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA metrics{};
  GetTextMetricsA(screen, &metrics);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return metrics.tmHeight;
}

bool ShowsTogether(Page a, Page b) { return a == b || a == kEveryPage || b == kEveryPage; }

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

class AppLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app_.Start(folder_.path())); }
  void TearDown() override { app_.CloseDiscardingChanges(); }

  ScopedTempFolder folder_;
  RunningApp app_;
};

// Where a caption's text stands: a label writes from its top, a box centres
// its text beside the box; other controls cover their whole rectangle.
RECT TextRectOf(HWND control, const ControlLayout& row, int textHeight) {
  RECT rect = WindowRectOf(control);
  if (row.kind != kLabel && row.kind != kCheckBox && row.kind != kRadioButton) return rect;
  rect.right = rect.left + TextWidthInGuiFont(row.text) + (row.kind == kLabel ? 0 : CheckMarkWidth());
  if (row.kind == kLabel) rect.bottom = rect.top + textHeight;
  return rect;
}

// Each label, check box and radio button is as wide as its text (and its box)
// needs, and the text runs under no other control of its page.
TEST_F(AppLayoutTest, EveryCaptionShowsItsWholeTextClearOfTheControlsBesideIt) {
  const int textHeight = TextHeightInGuiFont();
  std::vector<HWND> controls;
  for (const ControlLayout& row : kControlLayout) controls.push_back(app_.Find(row.id));
  for (const ControlLayout& row : kControlLayout) {
    if (row.kind != kLabel && row.kind != kCheckBox && row.kind != kRadioButton) continue;
    SCOPED_TRACE(row.text);
    HWND control = controls[row.id];
    ASSERT_NE(control, nullptr);
    const RECT text = TextRectOf(control, row, textHeight);
    RECT client{};
    GetClientRect(control, &client);
    EXPECT_GE(client.right, text.right - text.left);
    if (row.kind == kLabel) {
      EXPECT_GE(client.bottom, textHeight) << "a line of text fits its height";
    }
    for (const ControlLayout& other : kControlLayout) {
      if (other.id == row.id || other.kind == kTopWindow || other.parent != row.parent ||
          !ShowsTogether(row.page, other.page)) {
        continue;
      }
      const RECT beside = TextRectOf(controls[other.id], other, textHeight);
      RECT overlap{};
      EXPECT_FALSE(IntersectRect(&overlap, &text, &beside)) << "runs under \"" << other.text << "\"";
    }
  }
}

// Where a combo box shows its choice, each of its items shows whole, with
// the room the box draws around it: "kilobytes" must not become "kilobyt".
TEST_F(AppLayoutTest, EveryComboBoxShowsEachOfItsItemsWhole) {
  const int margins = 2 * GetSystemMetrics(SM_CXEDGE);
  for (const ControlLayout& row : kControlLayout) {
    if (row.items == nullptr) continue;
    HWND combo = app_.Find(row.id);
    ASSERT_NE(combo, nullptr) << row.id;
    RECT shown{};
    ASSERT_TRUE(driver::ComboBoxItemRect(combo, shown)) << row.id;
    for (const char* const* item = row.items; *item != nullptr; ++item) {
      EXPECT_LE(TextWidthInGuiFont(*item) + margins, shown.right - shown.left)
          << "\"" << *item << "\" is cut";
    }
  }
}

// An edit that takes a few characters shows its text whole with the caret
// after it, as when the user tabs into it: "100%" must not scroll to "00%".
TEST_F(AppLayoutTest, EditsForAFewCharactersShowTheirWholeTextWithTheCaretAtTheEnd) {
  for (const ControlLayout& row : kControlLayout) {
    if (row.textLimit == 0) continue;
    SCOPED_TRACE(row.text);
    HWND edit = app_.Find(row.id);
    ASSERT_NE(edit, nullptr);
    const std::string text = app::Text(edit);
    ASSERT_FALSE(text.empty());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(edit, EM_SETSEL, text.size(), text.size(), SMTO_NORMAL, 5000, &ignored);
    DWORD_PTR first = 0;
    SendMessageTimeoutA(edit, EM_POSFROMCHAR, 0, 0, SMTO_NORMAL, 5000, &first);
    EXPECT_GE(static_cast<short>(LOWORD(first)), 0) << "the first character is scrolled out of sight";
  }
}

// Every page as the program shows it at this DPI, for a person to look at,
// and a window that has grown with the DPI.
TEST_F(AppLayoutTest, EveryPageAtThisDpi) {
  const int dpi = SystemDpi();
  if (const char* expected = std::getenv(kDpiVariable)) {
    ASSERT_EQ(dpi, std::atoi(expected)) << "Wine did not start this program at the DPI set";
  }
  RECT window = WindowRectOf(app_.main());
  EXPECT_GE(window.right - window.left, MulDiv(535, dpi, 96));
  EXPECT_GE(window.bottom - window.top, MulDiv(350, dpi, 96));
  // The buttons at the bottom stay inside the window.
  RECT client{};
  GetClientRect(app_.main(), &client);
  POINT corner{0, 0};
  ClientToScreen(app_.main(), &corner);
  for (const char* command : {"Save as", "Exit"}) {
    RECT button = WindowRectOf(app_.Button(command));
    EXPECT_LE(button.bottom, corner.y + client.bottom) << command;
    EXPECT_LE(button.right, corner.x + client.right) << command;
  }

  const struct {
    std::vector<int> item;
    const char* name;
  } pages[] = {
      {{0}, "main"},
      {{1}, "html"},
      {{2}, "background"},
      {{3}, "columns-captions"},
      {{4}, "words"},
      {{5, 0}, "custom-head"},
      {{5, 3}, "custom-table-html"},
      {{6, 0}, "mask-style"},
      {{6, 2}, "name-style"},
      {{6, 4}, "title-style"},
      {{7}, "info"},
  };
  for (const auto& page : pages) {
    SCOPED_TRACE(page.name);
    ASSERT_TRUE(app_.SelectTreeItem(page.item));
    app::Screenshot("dpi-" + std::to_string(dpi) + "-" + page.name);
  }
}

// Sets the DPI that Wine gives programs started from now on, and puts the
// old one back.
class ScopedLogPixels {
 public:
  explicit ScopedLogPixels(DWORD dpi) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof old_;
    had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
           ERROR_SUCCESS;
    set_ = RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi) ==
           ERROR_SUCCESS;
  }
  ~ScopedLogPixels() {
    if (key_ == nullptr) return;
    if (had_) {
      RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
    } else {
      RegDeleteValueA(key_, "LogPixels");
    }
    RegCloseKey(key_);
  }
  ScopedLogPixels(const ScopedLogPixels&) = delete;
  ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;
  bool Set() const { return set_; }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
  bool set_ = false;
};

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

TEST(AppLayoutAtHigherDpi, CaptionsEditsAndPagesHoldAt120And144Dpi) {
  ASSERT_EQ(std::getenv(kDpiVariable), nullptr) << "run from a copy at a higher DPI";
  for (DWORD dpi : {120, 144}) {
    SCOPED_TRACE(dpi);
    ScopedLogPixels logPixels(dpi);
    ASSERT_TRUE(logPixels.Set());
    SetEnvironmentVariableA(kDpiVariable, std::to_string(dpi).c_str());
    driver::StartedProgram copy;
    bool started = copy.Start("\"" + ThisProgram() + "\" --gtest_filter=AppLayoutTest.*");
    SetEnvironmentVariableA(kDpiVariable, nullptr);
    ASSERT_TRUE(started);
    DWORD exitCode = 1;
    ASSERT_TRUE(copy.WaitForExit(300000, &exitCode));
    EXPECT_EQ(exitCode, 0u) << "the checks at this DPI failed; their report is above";
  }
}

}  // namespace

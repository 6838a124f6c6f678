// The driver against another program's windows, as the tests of the window
// program use it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tests/windows/driver/win_driver.h"

namespace {

std::string TargetCommandLine() {
  std::string path = KESTROVA_DRIVER_TARGET;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "\"" + path + "\"";
}

uint32_t BigEndianAt(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

// Polls until the window shows the text.
bool WaitForText(HWND window, const std::string& text) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (driver::TextOf(window) == text) return true;
    Sleep(50);
  }
  return false;
}

TEST(DriverTest, DrivesTheWindowsOfAnotherProgram) {
  driver::StartedProgram program;
  ASSERT_TRUE(program.Start(TargetCommandLine()));
  HWND main = driver::WaitForTopWindow("Driver target", "iTopWindow", 30000, program.processId());
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(program.WaitForIdle());

  HWND edit = driver::FindChild(main, "Edit", "start");
  ASSERT_NE(edit, nullptr);
  EXPECT_TRUE(driver::SetTextOf(edit, "changed"));
  EXPECT_EQ(driver::TextOf(edit), "changed");

  HWND tick = driver::FindChild(main, "Button", "Tick");
  HWND off = driver::FindChild(main, "Button", "Off");
  ASSERT_NE(tick, nullptr);
  ASSERT_NE(off, nullptr);
  EXPECT_EQ(driver::CheckStateOf(tick), BST_UNCHECKED);
  EXPECT_TRUE(driver::ClickAndWait(tick));
  EXPECT_EQ(driver::CheckStateOf(tick), BST_CHECKED);
  EXPECT_TRUE(driver::IsEnabled(tick));
  EXPECT_FALSE(driver::IsEnabled(off));
  EXPECT_EQ(driver::FindNthChild(main, "Button", 1), tick);
  EXPECT_EQ(driver::FindChildren(main, "Button").size(), 3u);

  HWND label = driver::FindChild(main, "Static", "answer: none");
  ASSERT_NE(label, nullptr);
  for (int answer : {IDNO, IDYES}) {
    ASSERT_TRUE(driver::Click(driver::FindChild(main, "Button", "Go")));
    HWND box = driver::WaitForMessageBox("Driver target", 10000, program.processId());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(driver::WaitForOwnedWindow(main), box);
    EXPECT_EQ(driver::MessageBoxText(box), "Clicked Go");
    EXPECT_EQ(driver::MessageBoxButtons(box), (std::vector<std::string>{"&Yes", "&No"}));
    EXPECT_TRUE(driver::AnswerMessageBox(box, answer));
    EXPECT_TRUE(WaitForText(label, answer == IDYES ? "answer: yes" : "answer: no"));
  }

  EXPECT_TRUE(program.WaitForIdle());
  const std::string shot = KESTROVA_SCREENSHOT_DIR "/driver-target.png";
  ASSERT_TRUE(driver::TakeScreenshot(shot));
  std::string png = ReadFileBytes(shot);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndianAt(png, 16), static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN)));
  EXPECT_EQ(BigEndianAt(png, 20), static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN)));

  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD exitCode = 0;
  EXPECT_TRUE(program.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 7u);
  EXPECT_TRUE(driver::WaitUntilGone(main, 1000));
}

}  // namespace

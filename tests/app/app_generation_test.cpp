// Generate on a large folder with the real Kestrova.exe under Wine and Xvfb:
// the window keeps answering and shows its progress, commands wait, and
// closing during the run stops it cleanly, even when the question whether
// to stop stays open past the run's end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/app_harness.h"
#include "tests/test_support.h"

namespace {

using app::RunningApp;

// The window must answer within this time however large the folder.
constexpr int kAnswerMs = 250;

std::string BigFolder() {
  std::string path = KESTROVA_BIG_FOLDER;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// True when the window paints its invalidated area within the time. All of
// it is invalidated, children too, as when the window is uncovered.
bool RepaintsWithin(HWND window, int timeoutMs) {
  if (!RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN)) return false;
  DWORD start = GetTickCount();
  while (GetUpdateRect(window, nullptr, FALSE)) {
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

class AppGenerationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetFileAttributesA(BigFolder().c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "no folder of 200,000 files at " << BigFolder();
    }
    home_ = folder_.Join("program");
    output_ = folder_.Join("out");
    app::MakeFolder(home_);
    app::MakeFolder(output_);
    ASSERT_TRUE(app_.Start(home_));
    ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), BigFolder()));
    ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), OutputFile()));
  }
  void TearDown() override {
    if (app_.main() != nullptr) app_.CloseDiscardingChanges();
  }

  std::string OutputFile() const { return output_ + "\\big.html"; }

  // The main window's title as the window gives it, or empty when the
  // window did not answer in time.
  std::string Title() const {
    char text[256] = {};
    DWORD_PTR length = 0;
    if (!app::AnswersWithin(app_.main(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), kAnswerMs,
                            &length)) {
      return "";
    }
    return std::string(text, length);
  }

  // Clicks Generate and waits until the title shows the run's progress.
  bool StartGenerating() {
    if (!driver::Click(app_.Button("Generate"))) return false;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
      if (Title().find("entries read") != std::string::npos) return true;
      Sleep(10);
    }
    return false;
  }

  // Waits until the title shows the text, however long the run takes.
  bool WaitForTitle(const std::string& text) const {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 120000) {
      if (Title().find(text) != std::string::npos) return true;
      Sleep(20);
    }
    return false;
  }

  // The names in the output folder.
  std::vector<std::string> OutputNames() const {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((output_ + "\\*").c_str(), &found);
    std::vector<std::string> names;
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
  }

  // Clicks Exit during the run and keeps the question open until the whole
  // new listing is written: the question, or null.
  HWND AskToStopAndWaitPastTheEnd() {
    if (!StartGenerating() || !driver::Click(app_.Button("Exit"))) return nullptr;
    HWND question = app_.WaitForBox();
    if (question == nullptr) return nullptr;
    // Written whole, the new file waits for the answer beside the old one.
    EXPECT_TRUE(WaitForTitle("Writing 100%")) << Title();
    EXPECT_EQ(OutputNames().size(), 2u);
    EXPECT_EQ(ReadFileBytes(OutputFile()), "old listing");
    return question;
  }

  ScopedTempFolder folder_;
  std::string home_;
  std::string output_;
  RunningApp app_;
};

TEST_F(AppGenerationTest, TheWindowAnswersAndShowsProgressWhileCommandsWait) {
  // Every column: more work for each entry, and so a longer run.
  for (const char* column : {"Size", "Last write", "Creation time", "Attributes"}) {
    ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" Select Columns ", column)));
  }
  ASSERT_TRUE(StartGenerating());

  // What the user does while the run goes on, one step for each round of
  // checks that the window answers.
  const std::vector<std::function<void()>> steps = {
      [&] {
        EXPECT_FALSE(driver::IsEnabled(app_.Button("Generate")));
        EXPECT_FALSE(driver::IsEnabled(app_.Button("Open")));
        EXPECT_TRUE(driver::IsEnabled(app_.Button("Exit")));
      },
      // Commands given meanwhile are not run, now or later.
      [&] {
        EXPECT_TRUE(driver::Click(app_.Button("Open")));
        EXPECT_TRUE(driver::Click(app_.Button("Generate")));
        EXPECT_TRUE(app_.PressKeys({VK_CONTROL}, {'G'}));
      },
      [&] {
        DWORD waited = GetTickCount();
        while (Title().find(" - 0 entries") != std::string::npos && GetTickCount() - waited < 5000) Sleep(20);
        app::Screenshot("generating-progress");
      },
      // Closing asks first; No lets the run go on.
      [&] {
        EXPECT_TRUE(driver::Click(app_.Button("Exit")));
        HWND question = app_.WaitForBox();
        ASSERT_NE(question, nullptr);
        EXPECT_TRUE(driver::AnswerMessageBox(question, IDNO));
      },
  };
  size_t step = 0;
  std::vector<std::string> titles;
  int unanswered = 0;
  DWORD slowest = 0;
  HWND offer = nullptr;
  DWORD start = GetTickCount();
  while (offer == nullptr && GetTickCount() - start < 120000) {
    DWORD asked = GetTickCount();
    std::string title = Title();
    DWORD took = GetTickCount() - asked;
    slowest = std::max(slowest, took);
    if (title.empty()) ++unanswered;
    if (titles.empty() || titles.back() != title) titles.push_back(title);
    EXPECT_TRUE(app::AnswersWithin(app_.main(), WM_NULL, 0, 0, kAnswerMs));
    EXPECT_TRUE(RepaintsWithin(app_.main(), kAnswerMs));
    if (step < steps.size()) steps[step++]();
    offer = app_.WaitForBox("File (big.html) was created", 50);
  }
  EXPECT_EQ(step, steps.size()) << "the run ended before the user was done with it";
  ASSERT_NE(offer, nullptr);
  EXPECT_EQ(unanswered, 0) << "slowest answer " << slowest << " ms";
  ASSERT_GE(titles.size(), 3u) << "the count grows while the folder is read";
  EXPECT_NE(titles.front().find("Kestrova 1.51 - "), std::string::npos) << titles.front();
  EXPECT_EQ(app::Text(app_.main()), "Kestrova 1.51") << "the title is the program's again";
  EXPECT_TRUE(driver::IsEnabled(app_.Button("Generate")));

  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  Sleep(1000);
  EXPECT_TRUE(app_.OpenDialogs().empty()) << "no second generation, no Open dialog";
  std::string page = ReadFileBytes(OutputFile());
  EXPECT_NE(page.find("file-200000.txt"), std::string::npos);
  EXPECT_NE(page.find("<TD>200000</TD>"), std::string::npos) << "the file count in the summary";
}

TEST_F(AppGenerationTest, ClosingDuringTheRunAsksAndStopsItWithoutWriting) {
  ASSERT_TRUE(StartGenerating());
  ASSERT_TRUE(driver::Click(app_.Button("Exit")));
  HWND question = app_.WaitForBox();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(Visible(driver::MessageBoxText(question)),
            Visible("A listing is being generated.\r\nStop it and close the window?"));
  EXPECT_EQ(GetWindow(question, GW_OWNER), app_.main());
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDYES));
  // The changed folders raise the save question once the run has stopped.
  HWND save = app_.WaitForBox();
  ASSERT_NE(save, nullptr);
  EXPECT_NE(driver::MessageBoxText(save).find("save the changes"), std::string::npos);
  ASSERT_TRUE(driver::AnswerMessageBox(save, IDNO));
  EXPECT_TRUE(app_.WaitForExit(10000));

  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((output_ + "\\*").c_str(), &found);
  std::vector<std::string> left;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") left.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  EXPECT_TRUE(left.empty()) << "nothing written, nothing half-written: " << (left.empty() ? "" : left[0]);
}

TEST_F(AppGenerationTest, StopWithTheQuestionOpenPastTheRunsEndKeepsTheOldFile) {
  WriteFileBytes(OutputFile(), "old listing");
  HWND question = AskToStopAndWaitPastTheEnd();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDYES));
  HWND save = app_.WaitForBox();
  ASSERT_NE(save, nullptr);
  EXPECT_NE(driver::MessageBoxText(save).find("save the changes"), std::string::npos)
      << "a stopped run is not reported as written";
  ASSERT_TRUE(driver::AnswerMessageBox(save, IDNO));
  EXPECT_TRUE(app_.WaitForExit(10000));
  EXPECT_EQ(ReadFileBytes(OutputFile()), "old listing");
  EXPECT_EQ(OutputNames(), std::vector<std::string>{"big.html"}) << "the new file is gone";
}

TEST_F(AppGenerationTest, DontStopWithTheQuestionOpenPastTheRunsEndLetsItFinish) {
  WriteFileBytes(OutputFile(), "old listing");
  HWND question = AskToStopAndWaitPastTheEnd();
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDNO));
  HWND offer = app_.WaitForBox("File (big.html) was created", 30000);
  ASSERT_NE(offer, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  EXPECT_NE(ReadFileBytes(OutputFile()).find("file-200000.txt"), std::string::npos);
  EXPECT_EQ(OutputNames(), std::vector<std::string>{"big.html"});
}

}  // namespace

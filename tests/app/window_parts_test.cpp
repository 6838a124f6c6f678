// Parts of the window program run inside the test process: the path
// operations, the output-format rule, the keyboard's order, and a generation
// that runs out of memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mainwindow/binding.h"
#include "mainwindow/commands.h"
#include "mainwindow/generation.h"
#include "mainwindow/main_window.h"
#include "mainwindow/pages.h"
#include "mainwindow/program_state.h"
#include "tests/test_support.h"
#include "tests/windows/driver/win_driver.h"
#include "toolkit/dialogs.h"

// Allocations of this many bytes or more fail while a test asks for it.
static std::atomic<size_t> FailAllocationsFrom{std::numeric_limits<size_t>::max()};

void* operator new(std::size_t size) {
  if (size >= FailAllocationsFrom.load()) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

// Names a keyboard stop in a failure message.
void PrintTo(Stop stop, std::ostream* out) {
  const char* const names[] = {"Own", "FirstRadio", "NextRadio", "Holder"};
  *out << names[static_cast<int>(stop)];
}

namespace {

TEST(PathOperations, SetPathFieldsAddsABackslashOnlyWhenMissing) {
  CommonStruct record;
  SetPathFields(record, "C:\\src", "C:\\", "list.htm");
  EXPECT_EQ(record.DirStr, "C:\\src");
  EXPECT_EQ(record.OutputFolder, "C:\\");
  EXPECT_EQ(record.OutputName, "list.htm");
  EXPECT_EQ(record.OutputFile, "C:\\list.htm");
  SetPathFields(record, "", "D:\\web", "index.TXT");
  EXPECT_EQ(record.OutputFile, "D:\\web\\index.TXT");
  SetPathFields(record, "", "", "list.htm");
  EXPECT_EQ(record.OutputFile, "\\list.htm");
}

TEST(PathOperations, FolderExistsLeavesTheCurrentFolderAsItWas) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("file.txt"), "x");
  std::string before = CurrentFolder();
  EXPECT_TRUE(FolderExists(folder.path()));
  EXPECT_EQ(CurrentFolder(), before);
  EXPECT_FALSE(FolderExists(folder.Join("missing")));
  EXPECT_FALSE(FolderExists(folder.Join("file.txt")));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_EQ(CurrentFolder(), before);
}

TEST(OutputFormatSwitch, KeepsTheExtensionInStepWithTheForm) {
  struct Case {
    const char* name;
    bool html;
    const char* switched;
  };
  const Case cases[] = {
      {"C:\\FolderIndex.html", false, "C:\\FolderIndex.txt"},
      {"C:\\FolderIndex.txt", true, "C:\\FolderIndex.html"},
      {"report.HTM", true, "report.HTM"},
      {"report.HTM", false, "report.txt"},
      {"page.asp", false, "page.txt"},
      {"notes.log", false, "notes.log"},
      {"notes.log", true, "notes.html"},
      {"out", false, "out.txt"},
      {"out", true, "out.html"},
      {"C:\\old.stuff\\list", false, "C:\\old.stuff\\list"},
      {"C:\\old.stuff\\list", true, "C:\\old.stuff\\list.html"},
      {"D:\\web\\a.b.shtml", false, "D:\\web\\a.b.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SwitchedOutputName(c.name, c.html), c.switched) << c.name << (c.html ? " HTML" : " TXT");
  }
}

// Answers the next message box of this process with the caption, keeping
// its text.
class BoxAnswerer {
 public:
  BoxAnswerer(const std::string& caption, int answer)
      : thread_([this, caption, answer] {
          HWND box = driver::WaitForMessageBox(caption, 20000, GetCurrentProcessId());
          if (box == nullptr) return;
          text_ = driver::MessageBoxText(box);
          driver::AnswerMessageBox(box, answer);
        }) {}
  ~BoxAnswerer() {
    if (thread_.joinable()) thread_.join();
  }
  std::string Text() {
    thread_.join();
    return text_;
  }

 private:
  std::string text_;
  std::thread thread_;
};

// Runs this thread's messages until the generation that OnGenerate started
// has ended and been reported.
void RunUntilGenerated() {
  while (GenerationRunning()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    driver::PumpMessages();
  }
}

using OrderStep = std::pair<ControlId, Stop>;

// The steps of the keyboard's order from the control on, as many as expected.
std::vector<OrderStep> OrderFrom(ControlId first, size_t count) {
  const std::vector<TabEntry>& order = KeyboardOrder();
  auto at =
      std::find_if(order.begin(), order.end(), [first](const TabEntry& e) { return e.control == first; });
  std::vector<OrderStep> steps;
  for (; at != order.end() && steps.size() < count; ++at) steps.emplace_back(at->control, at->stop);
  return steps;
}

TEST(KeyboardOrder, TakesEveryControlButTheLabelsOnce) {
  int seen[kControlCount] = {};
  for (const TabEntry& entry : KeyboardOrder()) ++seen[entry.control];
  for (const ControlLayout& row : kControlLayout) {
    bool takesPart = row.kind != kLabel && row.kind != kTopWindow;
    EXPECT_EQ(seen[row.id], takesPart ? 1 : 0) << "control " << row.id << " (" << row.text << ")";
  }
}

TEST(KeyboardOrder, GoesPageByPageAsTheTreeNamesThemThenToTheControlsOfEveryPage) {
  std::vector<ControlId> topLevel;
  for (const TabEntry& entry : KeyboardOrder()) {
    if (kControlLayout[entry.control].parent == kMainWindow) topLevel.push_back(entry.control);
  }
  const std::vector<ControlId> expected = {
      kSourceFolderEdit, kSourceFolderButton, kOutputFileEdit,   kOutputFileButton, kColumnsGroup,
      kSortGroup,        kHtmlGroup,          kBackgroundGroup,  kCaptionsGroup,    kWordsGroup,
      kHeadCustomMemo,   kBeforMemo,          kAfterMemo,        kCustTableMemo,    kMaskStyleMemo,
      kTableStyleMemo,   kNameStyleMemo,      kCaptionStyleMemo, kTitleStyleMemo,   kSummaryStyleMemo,
      kInfoMemo,         kPageTree,           kFormatGroup,      kOpenButton,       kGenerateButton,
      kSaveButton,       kWebSiteButton,      kSaveAsButton,     kExitButton};
  EXPECT_EQ(topLevel, expected);
}

TEST(KeyboardOrder, ReadsAGroupRowByRowAndItsRadiosColumnByColumn) {
  const std::vector<OrderStep> words = {
      {kWordsGroup, Stop::Holder},   {kTotalSizeWordEdit, Stop::Own}, {kContentOfWordEdit, Stop::Own},
      {kFileWordEdit, Stop::Own},    {kFilesWordEdit, Stop::Own},     {kFolderWordEdit, Stop::Own},
      {kFoldersWordEdit, Stop::Own}, {kBytesWordCombo, Stop::Own},    {kUserWord1Edit, Stop::Own},
      {kUserWord2Edit, Stop::Own},   {kUserWord3Edit, Stop::Own}};
  EXPECT_EQ(OrderFrom(kWordsGroup, words.size()), words);

  const std::vector<OrderStep> sort = {{kSortGroup, Stop::Holder},
                                       {kSortByNameRadio, Stop::FirstRadio},
                                       {kSortBySizeRadio, Stop::NextRadio},
                                       {kSortByTypeRadio, Stop::NextRadio},
                                       {kSortByLastWriteRadio, Stop::NextRadio},
                                       {kSortByLastReadRadio, Stop::NextRadio},
                                       {kSortByCreationRadio, Stop::NextRadio},
                                       {kSortByAttributesRadio, Stop::NextRadio},
                                       {kDescOrderCheck, Stop::Own},
                                       {kIgnoreCaseCheck, Stop::Own}};
  EXPECT_EQ(OrderFrom(kSortGroup, sort.size()), sort);

  const std::vector<OrderStep> format = {
      {kFormatGroup, Stop::Holder}, {kTxtRadio, Stop::FirstRadio}, {kHtmlRadio, Stop::NextRadio}};
  EXPECT_EQ(OrderFrom(kFormatGroup, format.size()), format);
}

TEST(GenerateCommand, RunningOutOfMemoryIsReportedAndTheProgramGoesOn) {
  ScopedTempFolder folder;
  WriteFileBytes(folder.Join("a.txt"), "a");
  BuildMainWindow(MainWindowProc);
  SetText(Controls[kSourceFolderEdit], folder.path());
  SetText(Controls[kOutputFileEdit], folder.Join("index.html"));
  // Placeholders whose expansion needs far more memory than the memo holds.
  std::string placeholders;
  for (int i = 0; i < 100000; ++i) placeholders += "$DirPath";
  SetText(Controls[kHeadCustomMemo], placeholders);

  {
    BoxAnswerer answer(kProgramTitle, IDOK);
    FailAllocationsFrom = 2 * placeholders.size();
    OnGenerate();
    RunUntilGenerated();
    FailAllocationsFrom = std::numeric_limits<size_t>::max();
    EXPECT_EQ(answer.Text(), "Not enough memory");
  }

  BoxAnswerer offer("File (index.html) was created", IDNO);
  OnGenerate();
  RunUntilGenerated();
  EXPECT_EQ(offer.Text(), "Show the file (" + folder.Join("index.html") + ")");
  EXPECT_NE(ReadFileBytes(folder.Join("index.html")).find("a.txt"), std::string::npos);
  DestroyWindow(MainWindow.window);
  driver::PumpMessages();
}

TEST(GenerateCommand, EachEndOfAGenerationIsReportedInItsOwnWords) {
  BuildMainWindow(MainWindowProc);
  GenerationResult result;
  result.SourceFolder = "C:\\unreadable";
  result.OutputFile = "C:\\out\\index.html";
  result.OutputName = "index.html";
  struct Case {
    GenerationOutcome outcome;
    const char* reason;
    const char* text;
  };
  // The words stay as they were; the system's reason follows on a line of
  // its own where there is one.
  const Case cases[] = {
      {GenerationOutcome::kCannotReadFolder, "Access denied",
       "Cannot read folder: C:\\unreadable\r\nAccess denied"},
      {GenerationOutcome::kCannotWrite, "Disk full", "Cannot create: C:\\out\\index.html\r\nDisk full"},
      {GenerationOutcome::kCannotWrite, "", "Cannot create: C:\\out\\index.html"},
      {GenerationOutcome::kOutOfMemory, "", "Not enough memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BoxAnswerer answer(kProgramTitle, IDOK);
    result.Outcome = c.outcome;
    result.Reason = c.reason;
    ReportGeneration(result);
    EXPECT_EQ(answer.Text(), c.text);
  }
  // The offer to show a written file says first how many names the system
  // could not give whole.
  result.Outcome = GenerationOutcome::kWritten;
  for (size_t replaced : {0, 1, 2}) {
    SCOPED_TRACE(replaced);
    result.ReplacedNames = replaced;
    BoxAnswerer offer("File (index.html) was created", IDNO);
    ReportGeneration(result);
    const char* notes[] = {"", "1 name could not be represented in the code page.\r\n\r\n",
                           "2 names could not be represented in the code page.\r\n\r\n"};
    EXPECT_EQ(offer.Text(), std::string(notes[replaced]) + "Show the file (C:\\out\\index.html)");
  }
  // A cancelled generation is not reported.
  result.Outcome = GenerationOutcome::kCancelled;
  ReportGeneration(result);
  EXPECT_EQ(driver::WaitForMessageBox(kProgramTitle, 300, GetCurrentProcessId()), nullptr);
  DestroyWindow(MainWindow.window);
  driver::PumpMessages();
}

}  // namespace

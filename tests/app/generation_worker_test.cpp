// The generation worker inside the test process: it reads and writes on its
// own copy of the settings, counts what it reads and stops on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/generation.h"
#include "settings/settings_file.h"
#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

namespace {

// A folder of numbered files that holds before handing out the file at
// holdAt of its first pass (or, with holdOnType, in the first type lookup,
// or with holdAtPass, before that pass over the folder) until the test
// releases it, and whose reading fails after failAfter files. Each hold
// signals reached once and waits for one release.
class GatedFolderSource : public FolderSource {
 public:
  GatedFolderSource(int count, int holdAt, int failAfter)
      : count_(count), holdAt_(holdAt), failAfter_(failAfter) {}
  ~GatedFolderSource() override {
    CloseHandle(reached);
    CloseHandle(release);
  }

  bool Enumerate(const std::string&, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    if (++passes_ == holdAtPass) Hold();
    for (int i = 0; i < count_; ++i) {
      if (i == failAfter_) {
        failure = "Input/output error";
        return false;
      }
      if (i == holdAt_ && passes_ == 1) Hold();
      visit(MakeRecord("file" + std::to_string(i) + ".txt", FILE_ATTRIBUTE_ARCHIVE, i));
    }
    return true;
  }
  bool DescribeType(const std::string&, std::string&) override {
    if (holdOnType) {
      holdOnType = false;
      Hold();
    }
    return false;
  }

  bool holdOnType = false;
  int holdAtPass = 0;
  HANDLE reached = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, FALSE, FALSE, nullptr);

 private:
  void Hold() {
    SetEvent(reached);
    WaitForSingleObject(release, 20000);
  }

  int count_;
  int holdAt_;
  int failAfter_;
  int passes_ = 0;
};

class GenerationWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ApplySettingsText(record_, NormalizeSettingsBytes(DefaultSettingsText()));
    record_.DirStr = folder_.path();
    record_.OutputFile = folder_.Join("index.html");
    record_.OutputName = "index.html";
    record_.Output = kOutputHtml;
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    for (auto& source : sources_) SetEvent(source->release);
    FinishGeneration();
    DestroyWindow(window_);
  }

  // A source that outlives any worker that a failed test leaves running.
  GatedFolderSource& Source(int count, int holdAt = -1, int failAfter = -1) {
    sources_.push_back(std::make_unique<GatedFolderSource>(count, holdAt, failAfter));
    return *sources_.back();
  }

  // True when the worker posted its end to the window within the time.
  bool WaitForEnd() {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      if (Ended()) return true;
      Sleep(10);
    }
    return false;
  }

  // True when the worker has posted its end.
  bool Ended() {
    MSG message;
    return PeekMessageA(&message, window_, kGenerationEndedMessage, kGenerationEndedMessage, PM_REMOVE) != 0;
  }

  // True when the running generation reaches the step within the time.
  static bool WaitForStep(GenerationStep step) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      if (CurrentGenerationProgress().Step == step) return true;
      Sleep(10);
    }
    return false;
  }

  // The names in the output folder.
  std::vector<std::string> FolderNames() const {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(folder_.Join("*").c_str(), &found);
    std::vector<std::string> names;
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
  }

  ScopedTempFolder folder_;
  CommonStruct record_;
  HWND window_ = nullptr;
  std::vector<std::unique_ptr<GatedFolderSource>> sources_;
};

TEST_F(GenerationWorkerTest, ReadsCountsAndWritesOnACopyOfTheSettings) {
  record_.HeadCustom = "<meta name=\"path\" content=\"$DirPath\">";
  GatedFolderSource& source = Source(3);
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  EXPECT_TRUE(GenerationRunning());
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CurrentGenerationProgress().EntriesRead, 3u);
  GenerationResult result = FinishGeneration();
  EXPECT_FALSE(GenerationRunning());
  EXPECT_EQ(result.Outcome, GenerationOutcome::kWritten);
  EXPECT_EQ(result.OutputFile, folder_.Join("index.html"));
  EXPECT_EQ(result.OutputName, "index.html");
  std::string page = ReadFileBytes(folder_.Join("index.html"));
  EXPECT_NE(page.find("file2.txt"), std::string::npos);
  EXPECT_NE(page.find("content=\"" + folder_.path()), std::string::npos);
  EXPECT_EQ(record_.HeadCustom, "<meta name=\"path\" content=\"$DirPath\">")
      << "the caller's record is untouched";
}

TEST_F(GenerationWorkerTest, CancelStopsTheReadingAndWritesNothing) {
  GatedFolderSource& source = Source(1000, 100);
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  EXPECT_FALSE(StartGeneration(record_, source, window_)) << "one generation at a time";
  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(CurrentGenerationProgress().EntriesRead, 100u);
  EXPECT_FALSE(GenerationCancelRequested());
  CancelGeneration();
  EXPECT_TRUE(GenerationCancelRequested());
  SetEvent(source.release);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CurrentGenerationProgress().EntriesRead, 100u) << "nothing read after the cancel";
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kCancelled);
  EXPECT_FALSE(FileExists(folder_.Join("index.html")));

  // The next generation starts afresh.
  GatedFolderSource& again = Source(2);
  ASSERT_TRUE(StartGeneration(record_, again, window_));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kWritten);
}

TEST_F(GenerationWorkerTest, AnOutputThatCannotBeWrittenIsTheOutcome) {
  // A folder in the output file's place cannot be opened as a file.
  CreateDirectoryA(folder_.Join("index.html").c_str(), nullptr);
  GatedFolderSource& source = Source(2);
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kCannotWrite);
}

TEST_F(GenerationWorkerTest, AFolderThatCannotBeReadIsTheOutcomeAndNothingIsWritten) {
  WriteFileBytes(folder_.Join("index.html"), "old listing");
  GatedFolderSource& source = Source(10, -1, 4);
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  ASSERT_TRUE(WaitForEnd());
  GenerationResult result = FinishGeneration();
  EXPECT_EQ(result.Outcome, GenerationOutcome::kCannotReadFolder);
  EXPECT_EQ(result.SourceFolder, folder_.path());
  EXPECT_EQ(ReadFileBytes(folder_.Join("index.html")), "old listing");
}

TEST_F(GenerationWorkerTest, CancelAfterTheReadingKeepsTheOldOutputAndLeavesNoNewFile) {
  WriteFileBytes(folder_.Join("index.html"), "old listing");
  ASSERT_TRUE(record_.Columns.Has(ColumnId::kType)) << "the rows look up the file types";
  GatedFolderSource& source = Source(5);
  source.holdOnType = true;
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(CurrentGenerationProgress().EntriesRead, 5u) << "all read";
  CancelGeneration();
  SetEvent(source.release);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kCancelled);
  EXPECT_EQ(ReadFileBytes(folder_.Join("index.html")), "old listing");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"index.html"}) << "no new file left behind";
}

// The question whether to stop holds the run before its new file replaces
// the old one, however long the question stays open.
TEST_F(GenerationWorkerTest, AHeldRunKeepsTheOldFileUntilReleasedAndCancelDiscardsItsNewFile) {
  for (bool release : {false, true}) {
    SCOPED_TRACE(release ? "released" : "cancelled");
    WriteFileBytes(folder_.Join("index.html"), "old listing");
    GatedFolderSource& source = Source(5, 2);
    ASSERT_TRUE(StartGeneration(record_, source, window_));
    ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
    HoldGenerationCommit();
    SetEvent(source.release);
    ASSERT_TRUE(WaitForStep(GenerationStep::kWaitingToReplace));
    EXPECT_EQ(CurrentGenerationProgress().PercentWritten, 100u) << "the new file is written whole";
    EXPECT_FALSE(Ended());
    EXPECT_EQ(ReadFileBytes(folder_.Join("index.html")), "old listing");
    EXPECT_EQ(FolderNames().size(), 2u) << "the new file waits beside the old one";

    if (release) {
      ReleaseGenerationCommit();
    } else {
      CancelGeneration();
    }
    ASSERT_TRUE(WaitForEnd());
    GenerationResult result = FinishGeneration();
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"index.html"});
    if (release) {
      EXPECT_EQ(result.Outcome, GenerationOutcome::kWritten);
      EXPECT_NE(ReadFileBytes(folder_.Join("index.html")).find("file4.txt"), std::string::npos);
    } else {
      EXPECT_EQ(result.Outcome, GenerationOutcome::kCancelled);
      EXPECT_EQ(ReadFileBytes(folder_.Join("index.html")), "old listing");
    }
  }
}

TEST_F(GenerationWorkerTest, ARunThatIsNotHeldReplacesTheFileAtOnce) {
  WriteFileBytes(folder_.Join("index.html"), "old listing");
  GatedFolderSource& source = Source(3, 1);
  ASSERT_TRUE(StartGeneration(record_, source, window_));
  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  HoldGenerationCommit();
  ReleaseGenerationCommit();
  SetEvent(source.release);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kWritten);
  EXPECT_NE(ReadFileBytes(folder_.Join("index.html")).find("file2.txt"), std::string::npos);
}

// The steps that the title shows: reading with its count, sorting when a
// pass over the folder has ended, then writing with its share done.
TEST_F(GenerationWorkerTest, ProgressNamesEachStepOfTheRun) {
  EXPECT_EQ(CurrentGenerationProgress().EntriesRead, 0u) << "no run, no progress";
  // Masks that differ take a pass for the folders and one for the files.
  record_.DirMask = "*";
  ASSERT_TRUE(record_.Columns.Has(ColumnId::kType)) << "the rows look up the file types";
  GatedFolderSource& source = Source(4, 2);
  source.holdAtPass = 2;
  source.holdOnType = true;
  ASSERT_TRUE(StartGeneration(record_, source, window_));

  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  GenerationProgress progress = CurrentGenerationProgress();
  EXPECT_EQ(progress.Step, GenerationStep::kReading);
  EXPECT_EQ(progress.EntriesRead, 2u);
  SetEvent(source.release);

  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  progress = CurrentGenerationProgress();
  EXPECT_EQ(progress.Step, GenerationStep::kSorting) << "the folders' pass has ended";
  EXPECT_EQ(progress.EntriesRead, 4u);
  SetEvent(source.release);

  // The file pass, without a hold this time, then the first row's type.
  ASSERT_EQ(WaitForSingleObject(source.reached, 20000), WAIT_OBJECT_0);
  progress = CurrentGenerationProgress();
  EXPECT_EQ(progress.Step, GenerationStep::kWriting);
  EXPECT_EQ(progress.EntriesRead, 8u);
  EXPECT_LT(progress.PercentWritten, 100u) << "the rows are still to come";
  SetEvent(source.release);
  ASSERT_TRUE(WaitForEnd());
  EXPECT_EQ(CurrentGenerationProgress().PercentWritten, 100u);
  EXPECT_EQ(FinishGeneration().Outcome, GenerationOutcome::kWritten);
}

}  // namespace

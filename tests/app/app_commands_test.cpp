// The commands of the window program on the real Kestrova.exe under Wine
// and Xvfb: Generate, the folder checks, the output-format switch, the
// settings files, the save question and the offer to show the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/generate.h"
#include "settings/settings_file.h"
#include "tests/app/app_harness.h"
#include "tests/test_support.h"

// Needs the Windows headers above.
#include <dlgs.h>

namespace {

using app::RunningApp;
using driver::CheckStateOf;

std::string ReadWhenWritten(const std::string& path, const std::string& unlike) {
  DWORD start = GetTickCount();
  std::string bytes = ReadFileBytes(path);
  while ((bytes.empty() || bytes == unlike) && GetTickCount() - start < 10000) {
    Sleep(50);
    bytes = ReadFileBytes(path);
  }
  return bytes;
}

class AppCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = folder_.Join("program");
    app::MakeFolder(home_);
    viewerLog_ = folder_.Join("viewer.log");
    // The stand-in viewer that the program may start inherits this.
    SetEnvironmentVariableA("KESTROVA_VIEWER_LOG", viewerLog_.c_str());
    ASSERT_TRUE(app_.Start(home_));
  }
  void TearDown() override { app_.CloseDiscardingChanges(); }

  HWND Main() const { return app_.main(); }
  HWND TitleEdit() const { return app_.Find(kTitleEdit); }

  // A source folder with a few files and folders.
  std::string MakeSourceFolder() const {
    std::string source = folder_.Join("source");
    app::MakeFolder(source + "\\sub");
    app::MakeFolder(source + "\\Zeta.dir");
    app::MakeFile(source + "\\b.txt", "hello");
    app::MakeFile(source + "\\A.html", std::string(1200, 'a'));
    app::MakeFile(source + "\\c d.log", "");
    return source;
  }

  // Clicks a command button and returns the message box it opens.
  HWND ClickForBox(const std::string& button, const std::string& caption = app::kTitle) {
    EXPECT_TRUE(driver::Click(app_.Button(button)));
    return app_.WaitForBox(caption);
  }

  // Saves with the "Save" button and waits until the file changed.
  std::string SaveAndRead(const std::string& before) {
    EXPECT_TRUE(driver::Click(app_.Button("Save")));
    std::string after = ReadWhenWritten(app_.DefaultSettingsPath(), before);
    EXPECT_NE(after, before) << "not saved; the program's other windows: " << app_.OtherWindows();
    return after;
  }

  // Generates and answers the offer to show the file with No.
  void GenerateDeclining(const std::string& outputName) {
    HWND offer = ClickForBox("Generate", "File (" + outputName + ") was created");
    ASSERT_NE(offer, nullptr) << "the program's other windows: " << app_.OtherWindows();
    EXPECT_EQ(driver::MessageBoxButtons(offer), (std::vector<std::string>{"&Yes", "&No"}));
    ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  }

  ScopedTempFolder folder_;
  std::string home_;
  std::string viewerLog_;
  RunningApp app_;
};

// The engine, given the settings that the window saved, writes the same bytes.
std::string EngineListing(const std::string& settingsPath, const std::string& outputFile) {
  CommonStruct record;
  EXPECT_TRUE(LoadSettings(record, settingsPath));
  record.OutputFile = outputFile;
  EXPECT_EQ(GenerateListing(record).Status, GenerateStatus::kWritten);
  return ReadFileBytes(outputFile);
}

TEST_F(AppCommandsTest, GenerateWritesWhatTheEngineWritesWithTheSameSettings) {
  std::string source = MakeSourceFolder();
  std::string output = folder_.Join("index.html");
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), output));
  ASSERT_TRUE(app::SetText(TitleEdit(), "Listing of $DirPath ($FileCount $Files)"));
  for (const char* column : {"Size", "Attributes", "Last read"}) {
    ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" Select Columns ", column)));
  }
  ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" HTML", "Generate two tables")));
  ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" Sort by ", "Size")));
  ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" Sort by ", "Desc. sorting")));

  GenerateDeclining("index.html");
  std::string settings = SaveAndRead(ReadFileBytes(app_.DefaultSettingsPath()));
  std::string html = ReadFileBytes(output);
  EXPECT_NE(html.find("c d.log"), std::string::npos);
  EXPECT_NE(html.find("Zeta.dir"), std::string::npos);
  EXPECT_EQ(Visible(html), Visible(EngineListing(app_.DefaultSettingsPath(), folder_.Join("engine.html"))));

  ASSERT_TRUE(driver::ClickAndWait(app_.TxtRadio()));
  ASSERT_EQ(app::Text(app_.OutputFileEdit()), folder_.Join("index.txt"));
  GenerateDeclining("index.txt");
  SaveAndRead(settings);
  std::string text = ReadFileBytes(folder_.Join("index.txt"));
  EXPECT_NE(text.find("b.txt"), std::string::npos);
  EXPECT_EQ(text.find("<"), std::string::npos);
  EXPECT_EQ(Visible(text), Visible(EngineListing(app_.DefaultSettingsPath(), folder_.Join("engine.txt"))));
}

TEST_F(AppCommandsTest, FolderChecksShowOneMessageAndStopGenerate) {
  std::string source = MakeSourceFolder();
  std::string missing = folder_.Join("missing");
  std::string output = folder_.Join("index.html");
  struct Case {
    std::string source, output, message;
  };
  const Case cases[] = {
      {"", output, "Choose source directory.\n\r"},
      {missing, output, "Source directory must exist.\n\r"},
      {source, missing + "\\index.html", "Output directory - " + missing + " doesn't exist."},
      {"", missing + "\\index.html",
       "Choose source directory.\n\rOutput directory - " + missing + " doesn't exist."},
      {missing, "index.html", "Source directory must exist.\n\rOutput directory -  doesn't exist."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), c.source));
    ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), c.output));
    HWND box = ClickForBox("Generate");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Visible(driver::MessageBoxText(box)), Visible(c.message));
    EXPECT_EQ(driver::MessageBoxButtons(box), std::vector<std::string>{"OK"});
    ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
    EXPECT_EQ(app_.WaitForBox(app::kTitle, 300), nullptr) << "a second message";
  }
  EXPECT_FALSE(FileExists(output));
}

TEST_F(AppCommandsTest, AnOutputFileThatCannotBeWrittenIsReported) {
  std::string source = MakeSourceFolder();
  // A folder of that name exists: the file cannot be opened, even by root.
  std::string taken = folder_.Join("taken.html");
  app::MakeFolder(taken);
  // A name that no file can have.
  std::string invalid = folder_.Join("bad|name.html");
  struct Case {
    std::string output, message;
  };
  // The words, then the system's reason on a line of its own.
  const Case cases[] = {
      {taken, "Cannot write to: " + taken + "\r\n" + app::SystemReason(ERROR_ACCESS_DENIED)},
      {invalid, "Cannot create: " + invalid + "\r\n" + app::SystemReason(ERROR_INVALID_NAME)},
  };
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), c.output));
    HWND box = ClickForBox("Generate");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(driver::MessageBoxText(box), c.message);
    app::Screenshot(c.message.rfind("Cannot create", 0) == 0 ? "cannot-create" : "cannot-write");
    ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  }
}

// A listing or settings file with the read-only mark is not replaced, as
// Windows itself refuses to (Wine replaced it and dropped the mark): the
// box names the file and the reason, and the file keeps its bytes and mark.
TEST_F(AppCommandsTest, AReadOnlyFileIsNotReplacedAndTheBoxSaysWhy) {
  std::string source = MakeSourceFolder();
  std::string output = folder_.Join("index.html");
  std::string settings = app_.DefaultSettingsPath();
  const std::string settingsBytes = ReadFileBytes(settings);
  WriteFileBytes(output, "kept");
  for (const std::string& path : {output, settings}) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), output));
  const std::string reason = "\r\n" + app::SystemReason(ERROR_ACCESS_DENIED);

  HWND box = ClickForBox("Generate");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box), "Cannot write to: " + output + reason);
  app::Screenshot("cannot-write-read-only");
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  box = ClickForBox("Save");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box), "Cannot write to: " + settings + reason);
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));

  EXPECT_EQ(ReadFileBytes(output), "kept");
  EXPECT_EQ(ReadFileBytes(settings), settingsBytes);
  for (const std::string& path : {output, settings}) {
    EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << path;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(AppCommandsTest, TheFormatRadiosRewriteTheOutputFileExtension) {
  struct Case {
    const char* before;
    const char* radio;
    const char* after;
  };
  const Case cases[] = {
      {"C:\\FolderIndex.html", "TXT", "C:\\FolderIndex.txt"},
      {"C:\\FolderIndex.txt", "HTML", "C:\\FolderIndex.html"},
      {"C:\\report.HTM", "HTML", "C:\\report.HTM"},
      {"C:\\notes.log", "TXT", "C:\\notes.log"},
      {"C:\\notes.log", "HTML", "C:\\notes.html"},
      {"C:\\out", "TXT", "C:\\out.txt"},
      {"C:\\out", "HTML", "C:\\out.html"},
      {"C:\\old.stuff\\list", "TXT", "C:\\old.stuff\\list"},
      {"C:\\old.stuff\\list", "HTML", "C:\\old.stuff\\list.html"},
      {"", "TXT", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " " + c.radio);
    ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), c.before));
    ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" Output Format ", c.radio)));
    EXPECT_EQ(app::Text(app_.OutputFileEdit()), c.after);
  }
}

TEST_F(AppCommandsTest, TheOutputFileDialogStartsOnTheEditAndSetsTheFormat) {
  std::string start = folder_.Join("start.html");
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), start));
  struct Case {
    std::string chosen;
    const char* checkedRadio;
  };
  const Case cases[] = {
      {folder_.Join("list.txt"), "TXT"},
      {folder_.Join("page.asp"), "HTML"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    std::string before = app::Text(app_.OutputFileEdit());
    ASSERT_TRUE(driver::Click(app_.OutputFileButton()));
    HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(app::Text(app::FileNameFieldOf(dialog)), FileNameOf(before));
    ASSERT_TRUE(app::ChooseInDialog(dialog, c.chosen));
    DWORD waited = GetTickCount();
    while (app::Text(app_.OutputFileEdit()) != c.chosen && GetTickCount() - waited < 5000) Sleep(50);
    EXPECT_EQ(app::Text(app_.OutputFileEdit()), c.chosen);
    EXPECT_EQ(CheckStateOf(app_.InGroup(" Output Format ", c.checkedRadio)), BST_CHECKED);
    bool html = std::string(c.checkedRadio) == "HTML";
    EXPECT_EQ(driver::IsEnabled(app_.InGroup(" Select Columns ", "Size")), html);
  }
}

// One setting as the user gives it in a control, and how to find that control.
struct ControlValue {
  const char* what;
  std::function<HWND(const RunningApp&)> control;
  enum Kind { Text, Box, Selection } kind;
  std::string text;  // Text
  int state;         // Box: check state; Selection: the item index
};

std::function<HWND(const RunningApp&)> Box(const char* group, const char* text) {
  return [group, text](const RunningApp& a) { return a.InGroup(group, text); };
}
std::function<HWND(const RunningApp&)> Control(ControlId id) {
  return [id](const RunningApp& a) { return a.Find(id); };
}

// Every saved setting with a value unlike its default. The radios come
// last: "TXT" disables the column boxes.
std::vector<ControlValue> EverySetting(const std::string& folder) {
  using K = ControlValue;
  const char* html = " HTML";
  return {
      {"source folder", [](const RunningApp& a) { return a.SourceFolderEdit(); }, K::Text, folder, 0},
      {"title", Control(kTitleEdit), K::Text, "My $DirPath title", 0},
      {"base", Control(kBaseCombo), K::Text, "http://www.example.com/files/", 0},
      {"cell spacing", Control(kCellSpacingEdit), K::Text, "7", 0},
      {"cell padding", Control(kCellPaddingEdit), K::Text, "12", 0},
      {"table width", Control(kTableWidthEdit), K::Text, "80%", 0},
      {"folder mask", Control(kDirMaskEdit), K::Text, "*.d", 0},
      {"file mask", Control(kFileMaskEdit), K::Text, "*.txt", 0},
      {"size in", Control(kSizeInCombo), K::Selection, "", 2},
      {"Name", Control(kNameCaptionEdit), K::Text, "N1", 0},
      {"Size", Control(kSizeCaptionEdit), K::Text, "S1", 0},
      {"Type", Control(kTypeCaptionEdit), K::Text, "T1", 0},
      {"LW", Control(kLastWriteCaptionEdit), K::Text, "W1", 0},
      {"LR", Control(kLastReadCaptionEdit), K::Text, "R1", 0},
      {"CT", Control(kCreationCaptionEdit), K::Text, "C1", 0},
      {"Attr", Control(kAttributesCaptionEdit), K::Text, "A1", 0},
      {"$TotalSize", Control(kTotalSizeWordEdit), K::Text, "All", 0},
      {"$File", Control(kFileWordEdit), K::Text, "Doc", 0},
      {"$Folder", Control(kFolderWordEdit), K::Text, "Dir", 0},
      {"$FileSize", Control(kBytesWordCombo), K::Text, "Kb", 0},
      {"$UserWord1", Control(kUserWord1Edit), K::Text, "u1", 0},
      {"$UserWord2", Control(kUserWord2Edit), K::Text, "u2", 0},
      {"$UserWord3", Control(kUserWord3Edit), K::Text, "u3", 0},
      {"$ContentOf", Control(kContentOfWordEdit), K::Text, "Inside", 0},
      {"$Files", Control(kFilesWordEdit), K::Text, "Docs", 0},
      {"$Folders", Control(kFoldersWordEdit), K::Text, "Dirs", 0},
      {"CapColor", Control(kCapColorCombo), K::Text, "White", 0},
      {"KeyCapColor", Control(kKeyCapColorCombo), K::Text, "None", 0},
      {"KeyColColor", Control(kKeyColColorCombo), K::Text, "LightGrey", 0},
      {"TableColor", Control(kTableColorCombo), K::Text, "Light Blue", 0},
      {"DocColor", Control(kDocColorCombo), K::Text, "#FFEEDD", 0},
      {"HeadCustom", Control(kHeadCustomMemo), K::Text, "<meta a>\r\n<meta b>", 0},
      {"Befor", Control(kBeforMemo), K::Text, "<p>start</p>", 0},
      {"After", Control(kAfterMemo), K::Text, "<p>end</p>\r\n", 0},
      {"CustTable", Control(kCustTableMemo), K::Text, " class=\"t\"", 0},
      {"MaskStyle", Control(kMaskStyleMemo), K::Text, "color:teal;\r\n", 0},
      {"NameStyle", Control(kNameStyleMemo), K::Text, "color:olive;", 0},
      {"TitleStyle", Control(kTitleStyleMemo), K::Text, "font-size: large;\r\n", 0},
      {"TableStyle", Control(kTableStyleMemo), K::Text, "color:gray;\r\n", 0},
      {"CaptionStyle", Control(kCaptionStyleMemo), K::Text, "color:maroon;\r\n", 0},
      {"SummaryStyle", Control(kSummaryStyleMemo), K::Text, "color:purple;\r\n", 0},
      {"Size column", Box(" Select Columns ", "Size"), K::Box, "", 1},
      {"Type column", Box(" Select Columns ", "Type"), K::Box, "", 0},
      {"Last write column", Box(" Select Columns ", "Last write"), K::Box, "", 1},
      {"Last read column", Box(" Select Columns ", "Last read"), K::Box, "", 0},
      {"Creation time column", Box(" Select Columns ", "Creation time"), K::Box, "", 1},
      {"Show seconds", Box(" Select Columns ", "Show seconds"), K::Box, "", 1},
      {"Attributes column", Box(" Select Columns ", "Attributes"), K::Box, "", 1},
      {"Table border", Box(html, "Table border"), K::Box, "", 0},
      {"Generate two tables", Box(html, "Generate two tables"), K::Box, "", 1},
      {"Use full file names", Box(html, "Use full file names as links"), K::Box, "", 1},
      {"Create links", Box(html, "Create links from file names"), K::Box, "", 0},
      {"Show summary", Box(html, "Show summary"), K::Box, "", 0},
      {"Show masks", Box(html, "Show masks"), K::Box, "", 0},
      {"Desc. sorting", Box(" Sort by ", "Desc. sorting"), K::Box, "", 1},
      {"Ignore case", Box(" Sort by ", "Ignore case"), K::Box, "", 0},
      {"sort by creation time", Box(" Sort by ", "Creation time"), K::Box, "", 1},
      {"TXT", Box(" Output Format ", "TXT"), K::Box, "", 1},
      {"output file", [](const RunningApp& a) { return a.OutputFileEdit(); }, K::Text, folder + "\\list.txt",
       0},
  };
}

void Give(const RunningApp& a, const ControlValue& value) {
  HWND control = value.control(a);
  ASSERT_NE(control, nullptr) << value.what;
  switch (value.kind) {
    case ControlValue::Text:
      ASSERT_TRUE(app::SetText(control, value.text)) << value.what;
      break;
    case ControlValue::Box:
      if (CheckStateOf(control) != value.state) {
        ASSERT_TRUE(driver::ClickAndWait(control)) << value.what;
      }
      ASSERT_EQ(CheckStateOf(control), value.state) << value.what;
      break;
    case ControlValue::Selection:
      SendMessageA(control, CB_SETCURSEL, value.state, 0);
      break;
  }
}

void ExpectShown(const RunningApp& a, const ControlValue& value) {
  HWND control = value.control(a);
  switch (value.kind) {
    case ControlValue::Text:
      EXPECT_EQ(Visible(app::Text(control)), Visible(value.text)) << value.what;
      break;
    case ControlValue::Box:
      EXPECT_EQ(CheckStateOf(control), value.state) << value.what;
      break;
    case ControlValue::Selection:
      EXPECT_EQ(app::ComboSelection(control), value.state) << value.what;
      break;
  }
}

TEST_F(AppCommandsTest, SaveAsThenOpenBringsBackEveryControl) {
  const std::vector<ControlValue> settings = EverySetting(folder_.path());
  for (const ControlValue& value : settings) Give(app_, value);
  ASSERT_TRUE(driver::ClickAndWait(app_.InGroup(" HTML", "Include parent")));

  std::string saved = folder_.Join("mine.ksv");
  ASSERT_TRUE(driver::Click(app_.Button("Save as")));
  HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(app::ChooseInDialog(dialog, saved));
  std::string savedBytes = ReadWhenWritten(saved, "");
  EXPECT_EQ(savedBytes.rfind("Kestrova 1.5\r\nOutputFormat=1\r\n", 0), 0u);
  ASSERT_TRUE(app_.CloseDiscardingChanges());

  RunningApp second;
  std::string secondHome = folder_.Join("second");
  app::MakeFolder(secondHome);
  ASSERT_TRUE(second.Start(secondHome));
  ASSERT_TRUE(driver::Click(second.Button("Open")));
  dialog = driver::WaitForTopWindowOfClass("#32770", 10000, second.processId());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(driver::TextOf(dialog), "Open") << "the fresh default settings are unchanged: no question";
  ASSERT_TRUE(app::ChooseInDialog(dialog, saved));
  DWORD start = GetTickCount();
  HWND title = second.Find(kTitleEdit);
  while (app::Text(title) != "My $DirPath title" && GetTickCount() - start < 10000) Sleep(50);

  for (const ControlValue& value : settings) ExpectShown(second, value);
  EXPECT_EQ(CheckStateOf(second.InGroup(" HTML", "Include parent")), BST_UNCHECKED)
      << "never saved, never shown";
  EXPECT_EQ(CheckStateOf(second.InGroup(" Output Format ", "HTML")), BST_UNCHECKED);
  EXPECT_FALSE(driver::IsEnabled(second.InGroup(" Select Columns ", "Size")));
  app::Screenshot("opened-settings");

  // Save now writes to the opened file, byte for byte what was saved.
  ASSERT_TRUE(app::SetText(title, "Other"));
  ASSERT_TRUE(app::SetText(title, "My $DirPath title"));
  ASSERT_TRUE(driver::Click(second.Button("Save")));
  Sleep(1000);
  EXPECT_EQ(Visible(ReadFileBytes(saved)), Visible(savedBytes));
  EXPECT_TRUE(second.CloseDiscardingChanges());
}

TEST_F(AppCommandsTest, OpenAsksAboutChangedSettingsFirstAndCancelStopsIt) {
  ASSERT_TRUE(app::SetText(TitleEdit(), "Changed"));
  HWND question = ClickForBox("Open");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDCANCEL));
  EXPECT_EQ(driver::WaitForTopWindowOfClass("#32770", 800, app_.processId()), nullptr)
      << "no dialog after Cancel";

  question = ClickForBox("Open");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDNO));
  HWND dialog = app_.WaitForDialog("Open");
  ASSERT_NE(dialog, nullptr);
  app::Screenshot("open-dialog");
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));
  EXPECT_EQ(app::Text(TitleEdit()), "Changed");

  // Saved settings are unchanged: Open shows its dialog at once.
  SaveAndRead(ReadFileBytes(app_.DefaultSettingsPath()));
  ASSERT_TRUE(driver::Click(app_.Button("Open")));
  dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(driver::TextOf(dialog), "Open");
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));
  EXPECT_EQ(app::Text(TitleEdit()), "Changed");
}

// True when the window is the file name field of an open or save dialog or
// the edit of its file name box.
bool InFileNameBox(HWND dialog, HWND window) {
  return window != nullptr &&
         (window == GetDlgItem(dialog, edt1) || IsChild(GetDlgItem(dialog, cmb13), window));
}

// Whatever came before it, the Open dialog comes up active with its name
// field focused: a name typed at once lands there and Enter opens it. The
// window behind it, activated late (a focus event that comes after the
// dialog, another program bringing it forward), took the keys from the
// dialog and gave them to nothing: the dialog showed a grey title.
TEST_F(AppCommandsTest, TheOpenDialogTakesTheKeyboardWhateverCameBefore) {
  const std::string other = folder_.Join("other.ksv");
  WriteFileBytes(other, "Kestrova 1.5\r\nTitle=Typed $DirPath\r\n");
  auto focusInFileNameBox = [this](HWND dialog) {
    DWORD start = GetTickCount();
    while (!InFileNameBox(dialog, app_.Focus()) && GetTickCount() - start < 5000) Sleep(20);
    return InFileNameBox(dialog, app_.Focus());
  };
  const struct {
    bool asked;  // after the save question, answered with its key
    bool late;   // the window behind is activated once the dialog is up
  } rounds[] = {{true, false}, {true, true}, {false, true}, {false, false}};
  for (const auto& round : rounds) {
    SCOPED_TRACE(std::string(round.asked ? "after the save question" : "at once") +
                 (round.late ? ", the window activated late" : ""));
    // The settings read from the typed file are the unchanged state of the
    // next round, which then asks nothing.
    ASSERT_TRUE(app::SetText(TitleEdit(), round.asked ? "Changed" : "Typed $DirPath"));
    if (round.asked) {
      HWND question = ClickForBox("Open");
      ASSERT_NE(question, nullptr);
      ASSERT_EQ(app_.WaitForActive(question), question);
      ASSERT_TRUE(app_.TypeText("n"));
      ASSERT_TRUE(driver::WaitUntilGone(question));
    } else {
      ASSERT_TRUE(driver::Click(app_.Button("Open")));
    }
    HWND dialog = app_.WaitForDialog("Open");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(app_.WaitForActive(dialog), dialog);
    if (round.late) {
      ASSERT_TRUE(SetForegroundWindow(app_.main()));
      Sleep(500);
      EXPECT_EQ(app_.WaitForActive(dialog), dialog) << "the dialog takes the activation back";
    }
    EXPECT_TRUE(focusInFileNameBox(dialog))
        << "the focus is on " << driver::ClassOf(app_.Focus()) << " " << GetDlgCtrlID(app_.Focus());
    Sleep(300);
    EXPECT_EQ(app_.Active(), dialog) << "and keeps it";
    HWND field = InFileNameBox(dialog, app_.Focus()) ? app_.Focus() : app::FileNameFieldOf(dialog);
    ASSERT_TRUE(app::SetText(field, ""));
    ASSERT_TRUE(app_.TypeText(other + "\r"));
    if (!driver::WaitUntilGone(dialog, 5000)) {
      app::Screenshot("open-dialog-without-the-keyboard");
      ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));
      FAIL() << "the typed name did not open: the field holds \"" << app::Text(field) << "\"";
    }
    DWORD start = GetTickCount();
    while (app::Text(TitleEdit()) != "Typed $DirPath" && GetTickCount() - start < 5000) Sleep(50);
    EXPECT_EQ(app::Text(TitleEdit()), "Typed $DirPath");
  }
}

TEST_F(AppCommandsTest, YesInTheSaveQuestionSavesAndCloses) {
  ASSERT_TRUE(app::SetText(TitleEdit(), "Kept $DirPath"));
  HWND question = ClickForBox("Exit");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDYES));
  ASSERT_TRUE(app_.WaitForExit(10000));
  EXPECT_NE(ReadFileBytes(app_.DefaultSettingsPath()).find("\r\nTitle=Kept $DirPath\r\n"), std::string::npos);
}

TEST_F(AppCommandsTest, AFailedSaveIsReportedAndKeepsTheWindowOpen) {
  // The settings file turns into a folder: no one can write it now.
  std::string settings = app_.DefaultSettingsPath();
  ASSERT_TRUE(DeleteFileA(settings.c_str()));
  app::MakeFolder(settings);

  ASSERT_TRUE(app::SetText(TitleEdit(), "Changed $DirPath"));
  const std::string denied = "Cannot write to: " + settings + "\r\n" + app::SystemReason(ERROR_ACCESS_DENIED);
  HWND box = ClickForBox("Save");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box), denied);
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));

  HWND question = ClickForBox("Exit");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDYES));
  box = app_.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box), denied);
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  EXPECT_FALSE(app_.WaitForExit(1000));
  EXPECT_TRUE(IsWindowVisible(Main()));

  // A settings file whose folder went away cannot be created again.
  std::string away = folder_.Join("away");
  app::MakeFolder(away);
  std::string inside = away + "\\mine.ksv";
  ASSERT_TRUE(driver::Click(app_.Button("Save as")));
  HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(app::ChooseInDialog(dialog, inside));
  ReadWhenWritten(inside, "");
  ASSERT_TRUE(DeleteFileA(inside.c_str()));
  ASSERT_TRUE(RemoveDirectoryA(away.c_str()));
  box = ClickForBox("Save");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box),
            "Cannot create: " + inside + "\r\n" + app::SystemReason(ERROR_PATH_NOT_FOUND));
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
}

TEST_F(AppCommandsTest, TheOfferToShowLaunchesTheViewerOnlyOnYes) {
  std::string source = MakeSourceFolder();
  std::string output = folder_.Join("my list.kvt");
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), output));

  HWND offer = ClickForBox("Generate", "File (my list.kvt) was created");
  ASSERT_NE(offer, nullptr);
  EXPECT_EQ(driver::MessageBoxText(offer), "Show the file (" + output + ")");
  EXPECT_EQ(GetWindow(offer, GW_OWNER), Main());
  app::Screenshot("offer-to-show");
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  Sleep(1500);
  EXPECT_FALSE(FileExists(viewerLog_)) << "No launches nothing";
  EXPECT_TRUE(FileExists(output));

  offer = ClickForBox("Generate", "File (my list.kvt) was created");
  ASSERT_NE(offer, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDYES));
  ASSERT_TRUE(app::WaitForFile(viewerLog_));
  std::string commandLine = ReadWhenWritten(viewerLog_, "");
  EXPECT_NE(commandLine.find("record_viewer.exe"), std::string::npos) << commandLine;
  std::string quoted = " \"" + output + "\"";
  ASSERT_GE(commandLine.size(), quoted.size());
  EXPECT_EQ(commandLine.substr(commandLine.size() - quoted.size()), quoted) << commandLine;
}

TEST_F(AppCommandsTest, AFileWithoutViewerIsOpenedSilently) {
  std::string source = MakeSourceFolder();
  std::string output = folder_.Join("list.kestrova-none");
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), source));
  ASSERT_TRUE(app::SetText(app_.OutputFileEdit(), output));
  HWND offer = ClickForBox("Generate", "File (list.kestrova-none) was created");
  ASSERT_NE(offer, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDYES));
  EXPECT_EQ(driver::WaitForTopWindowOfClass("#32770", 1500, app_.processId()), nullptr);
  EXPECT_EQ(driver::WaitForTopWindowOfClass("#32770", 100), nullptr) << "no message anywhere";
  EXPECT_EQ(app::Text(TitleEdit()), "Content of $DirPath") << "the program still answers";
}

TEST_F(AppCommandsTest, OpenDialogsAndMessagesDisableTheWindowAndKeepCommandsOut) {
  auto expectWindowHeldBy = [this](HWND dialog) {
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), Main());
    EXPECT_FALSE(driver::IsEnabled(Main()));
    // Commands that still reach the window do not run under the dialog.
    ASSERT_TRUE(driver::Click(app_.Button("Exit")));
    ASSERT_TRUE(PostMessageA(Main(), WM_CLOSE, 0, 0));
    ASSERT_TRUE(driver::Click(app_.Button("Generate")));
    Sleep(1000);
    EXPECT_TRUE(app_.IsRunning());
    EXPECT_TRUE(driver::IsVisible(dialog));
    EXPECT_EQ(app_.OpenDialogs(), std::vector<HWND>{dialog}) << "nothing stacked on it";
  };

  ASSERT_TRUE(app_.PressKeys({VK_CONTROL}, {'F'}));
  HWND dialog = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(dialog, nullptr);
  {
    SCOPED_TRACE("output file dialog");
    expectWindowHeldBy(dialog);
  }
  RECT dialogRect{}, mainRect{};
  GetWindowRect(dialog, &dialogRect);
  GetWindowRect(Main(), &mainRect);
  RECT overlap{};
  EXPECT_TRUE(IntersectRect(&overlap, &dialogRect, &mainRect)) << "opens over the window";
  app::Screenshot("output-file-dialog-over-the-window");
  ASSERT_TRUE(driver::AnswerMessageBox(dialog, IDCANCEL));
  EXPECT_TRUE(driver::IsEnabled(Main()));

  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), ""));
  HWND box = ClickForBox("Generate");
  ASSERT_NE(box, nullptr);
  {
    SCOPED_TRACE("message box");
    expectWindowHeldBy(box);
  }
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  EXPECT_TRUE(driver::IsEnabled(Main()));
  Sleep(500);
  EXPECT_TRUE(app_.OpenDialogs().empty()) << "the Generate given meanwhile did not run afterwards";
}

TEST_F(AppCommandsTest, TheFolderBrowserOpensAtTheSourceFolder) {
  std::string source = MakeSourceFolder();
  std::string start = source + "\\sub";
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), start));
  ASSERT_TRUE(app_.PressKeys({VK_CONTROL}, {'D'}));
  HWND browser = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(GetWindow(browser, GW_OWNER), Main());
  EXPECT_FALSE(driver::IsEnabled(Main()));
  // The browser has opened at the folder when it shows the folder chosen
  // among those beside it.
  EXPECT_EQ(app::Text(app::FileNameFieldOf(browser)), "sub");
  app::Screenshot("folder-browser-at-the-source-folder");
  // OK then chooses the folder it opened at.
  ASSERT_TRUE(driver::AnswerMessageBox(browser, IDOK));
  DWORD waited = GetTickCount();
  while (app::Text(app_.SourceFolderEdit()) != start && GetTickCount() - waited < 5000) Sleep(50);
  EXPECT_EQ(app::Text(app_.SourceFolderEdit()), start);
}

// Beside a folder of 200,000 files the browser shows at once, and the window
// behind it keeps answering: the classic browser read every folder beside
// the way to the source folder first, for tens of seconds under Wine.
TEST_F(AppCommandsTest, BesideALargeFolderTheBrowserShowsAtOnceAndTheWindowAnswers) {
  std::string big = KESTROVA_BIG_FOLDER;
  std::replace(big.begin(), big.end(), '/', '\\');
  if (GetFileAttributesA(big.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no folder of 200,000 files at " << big;
  }
  const std::string beside = big.substr(0, big.rfind('\\')) + "\\beside-big-folder";
  app::MakeFolder(beside);
  ASSERT_TRUE(app::SetText(app_.SourceFolderEdit(), beside));
  ASSERT_TRUE(app_.PressKeys({VK_CONTROL}, {'D'}));
  HWND browser = driver::WaitForTopWindowOfClass("#32770", 10000, app_.processId());
  ASSERT_NE(browser, nullptr) << "the browser shows within seconds";
  EXPECT_TRUE(app::AnswersWithin(browser, WM_NULL, 0, 0, 5000));
  EXPECT_TRUE(app::AnswersWithin(Main(), WM_NULL, 0, 0, 5000)) << "the window behind it answers";
  EXPECT_EQ(app::Text(app::FileNameFieldOf(browser)), "beside-big-folder");
  app::Screenshot("folder-browser-beside-a-large-folder");
  ASSERT_TRUE(driver::AnswerMessageBox(browser, IDCANCEL));
  EXPECT_EQ(app::Text(app_.SourceFolderEdit()), beside);
}

// Closes with Exit and tells whether the program ended without a question;
// a program that asks is closed without saving.
bool ClosesWithoutQuestion(RunningApp& app) {
  if (!driver::Click(app.Button("Exit"))) return false;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < 10000) {
    if (app.WaitForExit(100)) return true;
    if (!app.OpenDialogs().empty()) break;
  }
  app.CloseDiscardingChanges();
  return false;
}

TEST_F(AppCommandsTest, ClosingAsksNothingAfterStartOpenOrSaveWithoutChanges) {
  EXPECT_TRUE(ClosesWithoutQuestion(app_)) << "a fresh installation";

  // Saved: what was saved is the unchanged state.
  RunningApp saved;
  ASSERT_TRUE(saved.Start(home_));
  ASSERT_TRUE(app::SetText(saved.Find(kTitleEdit), "Saved $DirPath"));
  std::string before = ReadFileBytes(saved.DefaultSettingsPath());
  ASSERT_TRUE(driver::Click(saved.Button("Save")));
  EXPECT_NE(ReadWhenWritten(saved.DefaultSettingsPath(), before).find("Title=Saved $DirPath"),
            std::string::npos);
  EXPECT_TRUE(ClosesWithoutQuestion(saved)) << "after Save";

  // Opened: what was read is the unchanged state.
  std::string other = folder_.Join("other.ksv");
  ASSERT_TRUE(CopyFileA(saved.DefaultSettingsPath().c_str(), other.c_str(), FALSE));
  WriteDefaultSettings(saved.DefaultSettingsPath() + ".fresh");
  ASSERT_TRUE(MoveFileExA((saved.DefaultSettingsPath() + ".fresh").c_str(),
                          saved.DefaultSettingsPath().c_str(), MOVEFILE_REPLACE_EXISTING));
  RunningApp opened;
  ASSERT_TRUE(opened.Start(home_));
  ASSERT_TRUE(driver::Click(opened.Button("Open")));
  HWND dialog = opened.WaitForDialog("Open");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(app::ChooseInDialog(dialog, other));
  HWND title = opened.Find(kTitleEdit);
  DWORD start = GetTickCount();
  while (app::Text(title) != "Saved $DirPath" && GetTickCount() - start < 5000) Sleep(50);
  ASSERT_EQ(app::Text(title), "Saved $DirPath");
  EXPECT_TRUE(ClosesWithoutQuestion(opened)) << "after Open";
}

TEST_F(AppCommandsTest, ASettingsFileThatCannotBeReadIsReportedAndChangesNothing) {
  ASSERT_TRUE(app::SetText(TitleEdit(), "Mine"));
  std::string locked = folder_.Join("locked.ksv");
  WriteFileBytes(locked, "Kestrova 1.5\r\nTitle=Theirs\r\n");
  // Held open without sharing: nobody else can read it meanwhile.
  HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  HWND question = ClickForBox("Open");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDNO));
  HWND dialog = app_.WaitForDialog("Open");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(app::ChooseInDialog(dialog, locked));
  HWND box = app_.WaitForBox();
  CloseHandle(holder);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box),
            "Cannot read: " + locked + "\r\n" + app::SystemReason(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(driver::MessageBoxButtons(box), std::vector<std::string>{"OK"});
  EXPECT_EQ(GetWindow(box, GW_OWNER), Main());
  app::Screenshot("cannot-read-settings");
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  EXPECT_EQ(app::Text(TitleEdit()), "Mine");

  // A file too large to be settings is refused with its size as the reason.
  std::string large = folder_.Join("large.ksv");
  WriteFileBytes(large, "Kestrova 1.5\r\nTitle=Theirs\r\n" + std::string(16 << 20, '#'));
  question = ClickForBox("Open");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDNO));
  dialog = app_.WaitForDialog("Open");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(app::ChooseInDialog(dialog, large));
  box = app_.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(driver::MessageBoxText(box), "Cannot read: " + large + "\r\nLarger than 16 MiB");
  ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
  EXPECT_EQ(app::Text(TitleEdit()), "Mine");

  // Still the same settings file, and still the same change to ask about.
  question = ClickForBox("Exit");
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(Visible(driver::MessageBoxText(question)),
            Visible("Would you like to save the changes to\r\n \"" + app_.DefaultSettingsPath() + "\"?"));
  ASSERT_TRUE(driver::AnswerMessageBox(question, IDCANCEL));

  // With the change undone nothing counts as changed.
  ASSERT_TRUE(app::SetText(TitleEdit(), "Content of $DirPath"));
  EXPECT_TRUE(ClosesWithoutQuestion(app_));
}

}  // namespace

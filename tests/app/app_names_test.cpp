// Names outside the ANSI code page: both programs ask for UTF-8 in their
// manifests, so Wine (like Windows 10 1903 and later) hands them the names
// whole, the page lists them as UTF-8 and says so, and nothing is reported
// as replaced.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/app/app_harness.h"
#include "tests/test_support.h"

namespace {

using app::RunningApp;

// 日本.txt and Ελλάδα.txt in UTF-8, and as Windows names.
const char kJapaneseUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
const char kGreekUtf8[] = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.txt";
const wchar_t kJapanese[] = L"\x65E5\x672C.txt";
const wchar_t kGreek[] = L"\x0395\x03BB\x03BB\x03AC\x03B4\x03B1.txt";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool MakeWideFile(const std::string& folder, const wchar_t* name) {
  HANDLE file = CreateFileW((Wide(folder) + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// Runs the command line to its end with standard error into the file; its
// exit code, or -1 when it could not run.
int RunWithStandardError(const std::string& commandLine, const std::string& errorFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE error = CreateFileA(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (error == INVALID_HANDLE_VALUE) return -1;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = error;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  DWORD code = static_cast<DWORD>(-1);
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(error);
  return static_cast<int>(code);
}

class AppNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = folder_.Join("names");
    app::MakeFolder(source_);
    ASSERT_TRUE(MakeWideFile(source_, kJapanese));
    ASSERT_TRUE(MakeWideFile(source_, kGreek));
    app::MakeFile(source_ + "\\plain.txt", "");
  }

  // The page lists both names whole and says that it is UTF-8, as the
  // classic page or the standards page declares it.
  static void ExpectWholeNames(const std::string& page) {
    EXPECT_TRUE(page.find("charset=utf-8") != std::string::npos ||
                page.find("<meta charset=\"utf-8\">") != std::string::npos)
        << page.substr(0, 300);
    EXPECT_NE(page.find(kJapaneseUtf8), std::string::npos);
    EXPECT_NE(page.find(kGreekUtf8), std::string::npos);
    EXPECT_EQ(page.find("??"), std::string::npos) << "a name with replaced characters";
  }

  ScopedTempFolder folder_;
  std::string source_;
};

TEST_F(AppNamesTest, TheCommandLineListsNamesOutsideTheCodePageWhole) {
  const std::string page = folder_.Join("cli.html");
  const std::string errors = folder_.Join("errors.txt");
  ASSERT_EQ(
      RunWithStandardError(
          "\"" + std::string(KESTROVA_CLI_PATH) + "\" -q \"" + source_ + "\" -o \"" + page + "\"", errors),
      0)
      << ReadFileBytes(errors);
  ExpectWholeNames(ReadFileBytes(page));
  EXPECT_EQ(ReadFileBytes(errors), "") << "no name was replaced, so no warning";
}

TEST_F(AppNamesTest, TheWindowListsNamesOutsideTheCodePageWhole) {
  const std::string home = folder_.Join("program");
  app::MakeFolder(home);
  RunningApp program;
  ASSERT_TRUE(program.Start(home));
  const std::string page = folder_.Join("window.html");
  ASSERT_TRUE(app::SetText(program.SourceFolderEdit(), source_));
  ASSERT_TRUE(app::SetText(program.OutputFileEdit(), page));
  ASSERT_TRUE(driver::Click(program.Button("Generate")));
  HWND offer = program.WaitForBox("File (window.html) was created");
  ASSERT_NE(offer, nullptr);
  EXPECT_EQ(driver::MessageBoxText(offer), "Show the file (" + page + ")") << "no note of replaced names";
  ASSERT_TRUE(driver::AnswerMessageBox(offer, IDNO));
  ExpectWholeNames(ReadFileBytes(page));
  program.CloseDiscardingChanges();
}

}  // namespace

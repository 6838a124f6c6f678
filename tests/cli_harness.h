// Runs kestrova-cli as a user would, in a child process, and gives its exit
// status and what it wrote to standard output and error; folders and texts
// that the whole-program tests share.
#pragma once

#include <string>
#include <vector>

#include "tests/test_support.h"

struct CliRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// Runs the program with the arguments, in working_folder when one is given;
// on POSIX as the user run_as when it is not -1 (the tests run as root, whom
// no permission stops).
CliRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& working_folder = "", int run_as = -1);
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& working_folder = "",
              int run_as = -1);

bool StartsWith(const std::string& text, const std::string& start);
bool Contains(const std::string& text, const std::string& part);
std::vector<std::string> Concat(std::vector<std::string> first, const std::vector<std::string>& second);

// The line of a printed settings text that sets the key, without its line end.
std::string SettingLine(const std::string& printed_text, const std::string& key);

// A folder to list: two sub-folders and three files of known sizes, and a
// folder of its own for outputs.
class ListedFolder {
 public:
  ListedFolder();
  const std::string& path() const { return folder_.path(); }
  std::string Output(const std::string& name) const { return outputs_.Join(name); }

 private:
  ScopedTempFolder folder_;
  ScopedTempFolder outputs_;
};

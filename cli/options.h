// The command line of kestrova-cli: what the user asked for, before any
// settings are read or any folder is looked at.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
  std::optional<std::string> Folder;        // FOLDER, as typed
  std::optional<std::string> Output;        // -o; "-" is standard output
  std::optional<std::string> SettingsFile;  // -s
  std::optional<std::string> SaveSettingsFile;
  std::vector<std::string> SettingLines;    // --set, in command-line order
  bool IncludeParent = false;
  bool Text = false;
  bool PrintSettings = false;
  bool Quiet = false;
  bool Help = false;
  bool Version = false;
};

struct ParsedCommandLine {
  CliOptions Options;
  std::string Error;  // empty when the command line is valid
};

// Parses the arguments after the program name. Options and FOLDER may come
// in any order; "--" ends the options; a long option may carry its value as
// --name=value.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text of --help, generated from the option table.
std::string UsageText();

// True when the output goes to standard output instead of a file.
bool WritesToStandardOutput(const CliOptions& options);

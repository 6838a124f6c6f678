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
  std::optional<std::string> Preset;        // --preset NAME
  std::optional<std::string> SaveSettingsFile;
  std::optional<std::string> Format;      // --format FORM (--text: "text")
  std::vector<std::string> SettingLines;  // --set, in command-line order
  bool IncludeParent = false;
  bool NullEnds = false;  // --null
  bool PrintSettings = false;
  bool Quiet = false;
  bool Help = false;
  bool Version = false;
};

struct ParsedCommandLine {
  CliOptions Options;
  std::string Error;  // empty when the command line is valid
};

// Parses the arguments after the program name as getopt_long does: options
// and FOLDER in any order, short switches combined ("-qo x.html"), a short
// option's value attached ("-ox.html") or in the next argument, a long
// option's as "--name=value" or in the next argument, a long name shortened
// to any unambiguous prefix ("--out"), "--" ends the options, "-" alone is
// FOLDER. With slash_help (Windows), "/?" asks for help. Every --set line is
// checked strictly (CheckSettingLine). Reads nothing but its arguments.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool slash_help);

// The text of --help, generated from the option table.
std::string UsageText();

// The text of --version: the version and the licence.
std::string VersionText();

// The name that stands for standard output, as -o value or OutputFile.
bool IsStandardOutputName(const std::string& name);

// True when the name ends with a folder separator ("/", and on Windows "\"
// too): it names a folder, never a file to write.
bool EndsWithSeparator(const std::string& name, char separator);

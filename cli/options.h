// The command line of kestrova-cli: what the user asked for, before any
// settings are read or any folder is looked at.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
  std::optional<std::string> Folder;        // FOLDER, as typed
  std::vector<std::string> MoreFolders;     // the FOLDERs after the first (--duplicates only)
  bool Duplicates = false;                  // --duplicates: groups of files of the same content
  bool IncludeEmpty = false;                // --include-empty: empty files are duplicates too
  std::optional<std::string> Output;        // -o; "-" is standard output
  std::optional<std::string> SettingsFile;  // -s
  std::optional<std::string> Preset;        // --preset NAME
  std::optional<std::string> SaveSettingsFile;
  std::optional<std::string> Format;  // --format FORM (--text: "text")
  // Settings lines, in command-line order: each --set, and what the options
  // that stand for settings (--sort, --title, --exclude...) set.
  std::vector<std::string> SettingLines;
  bool IncludeParent = false;
  // The whole tree (-R) and how it is walked.
  bool Recursive = false;
  size_t MaxDepth = 0;  // 0: every level
  bool OneFileSystem = false;
  bool Follow = false;
  bool LinkIndex = false;
  std::optional<std::string> OutputDir;
  bool Search = false;  // --search: the search file at the top of the pages
  bool Watch = false;   // --watch: the output kept current as the tree changes
  size_t Threads = 0;   // 0: the online processors
  // Folder sizes added up below each folder: --du, --no-du; unset, the
  // default (on for the standards page of a tree).
  std::optional<bool> Sizes;
  bool GitIgnore = false;                    // --gitignore
  std::optional<std::string> IgnoreFile;     // --ignore-file NAME
  bool NullEnds = false;                     // --null
  std::optional<std::string> BaseUrl;        // --base-url URL
  std::optional<std::string> From;           // --from FILE
  std::optional<std::string> FromKind;       // --from-kind KIND
  std::optional<std::string> Verify;         // --verify LISTING
  std::optional<std::string> Compare;        // --compare OLD: compared with FOLDER
  std::vector<std::string> Checksums;        // --checksum ALGO, in order, each once
  std::optional<std::string> ChecksumCache;  // --checksum-cache FILE
  bool NoChecksumCache = false;              // --no-checksum-cache
  bool PrintSettings = false;
  bool InPlace = false;  // --in-place: the output file written directly
  bool Quiet = false;
  bool Help = false;
  bool HelpKeys = false;
  std::optional<std::string> ListValues;  // --list-values NAME
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
// FOLDER. With slash_help (Windows), "/?" asks for help. Every value is
// checked: a --set line strictly (a key in other letter case is taken as
// the key; a mistyped one is named with the nearest), the values of the
// options by their lists. Reads nothing but its arguments.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool slash_help);

// The text of --help, generated from the option table, its options grouped.
std::string UsageText();

// The values that an option (by its long name) or a setting key takes, one
// per line, for completion; false when it takes any value or none is named.
bool ValuesText(const std::string& name, std::string& text);

// The text of --version: the version and the licence.
std::string VersionText();

#include "cli/options.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "output/forms.h"
#include "output/listing_readers.h"
#include "settings/columns.h"
#include "settings/setting_table.h"
#include "settings/settings_file.h"

namespace {

enum class OptionId {
  Output,
  Format,
  Text,
  IncludeParent,
  From,
  FromKind,
  Verify,
  Compare,
  Sizes,
  NoSizes,
  GitIgnore,
  IgnoreFile,
  Recursive,
  MaxDepth,
  OneFileSystem,
  Follow,
  OutputDir,
  LinkIndex,
  Search,
  Watch,
  Threads,
  Checksum,
  ChecksumCache,
  NoChecksumCache,
  Duplicates,
  IncludeEmpty,
  Settings,
  Preset,
  Set,
  Null,
  BaseUrl,
  PrintSettings,
  SaveSettings,
  HelpKeys,
  ListValues,
  InPlace,
  Quiet,
  Help,
  Version,
  // An option that stands for a saved setting, which its row names.
  Setting,
};

// The headings of --help, in its order.
enum class OptionGroup { kOutput, kWhat, kTree, kOrder, kColumns, kSettings, kProgram };

const char* const kGroupHeadings[] = {"Output",  "What to list",   "A whole tree", "Order",
                                      "Columns", "Settings files", "Other"};

struct OptionDefinition;
struct ParseState;

// How the value of an option that stands for a setting becomes settings
// lines, and which values it takes.
struct ValueRule {
  // Appends the lines the value gives; an error message when it gives none.
  std::string (*Apply)(const OptionDefinition& option, const std::string& value, ParseState& state,
                       std::vector<std::string>& lines);
  // The values it takes, for completion; null: any.
  std::vector<std::string> (*Values)(const OptionDefinition& option);
};

struct OptionDefinition {
  OptionId Id;
  char ShortName;         // '\0' when the option has none
  const char* LongName;   // without the leading "--"
  const char* ValueName;  // nullptr for a switch
  OptionGroup Group;
  const char* Help;
  // OptionId::Setting: the key of the setting it stands for, the value a
  // switch sets it to, or the rule that maps the option's value.
  const char* Key = nullptr;
  const char* Fixed = nullptr;
  const ValueRule* Rule = nullptr;
  const char* What = nullptr;  // what the values are, in messages ("time style")
};

// A switch that sets the setting of the key to the value.
OptionDefinition SettingSwitch(char short_name, const char* long_name, OptionGroup group, const char* help,
                               const char* key, const char* value) {
  OptionDefinition option{OptionId::Setting, short_name, long_name, nullptr, group, help};
  option.Key = key;
  option.Fixed = value;
  return option;
}

// An option whose value, by the rule, sets the setting of the key.
OptionDefinition SettingOption(char short_name, const char* long_name, const char* value_name,
                               OptionGroup group, const char* help, const char* key, const ValueRule& rule,
                               const char* what) {
  OptionDefinition option{OptionId::Setting, short_name, long_name, value_name, group, help};
  option.Key = key;
  option.Rule = &rule;
  option.What = what;
  return option;
}

extern const ValueRule kOneLineText, kListedValue, kPatterns, kSortKey, kColumnList;

const OptionDefinition kOptions[] = {
    {OptionId::Output, 'o', "output", "FILE", OptionGroup::kOutput,
     "the output file; its extension chooses the form:\n"
     "@html extensions@ the page, @json extensions@ JSON, @csv extensions@\n"
     "CSV, any other the text list (.xhtml none); \"-\"\n"
     "is standard output; default: standard output, or\n"
     "the settings file's output file"},
    {OptionId::Format, '\0', "format", "FORM", OptionGroup::kOutput,
     "the form: @FORMS@;\n"
     "an output file whose extension is another form's\n"
     "is refused"},
    {OptionId::Text, '\0', "text", nullptr, OptionGroup::kOutput, "the same as --format text"},
    {OptionId::Null, '\0', "null", nullptr, OptionGroup::kOutput,
     "with --format names: end each name with a NUL\n"
     "rather than a line end, the name exactly as it\n"
     "is, for xargs -0"},
    {OptionId::BaseUrl, '\0', "base-url", "URL", OptionGroup::kOutput,
     "with --format catalog or --output-dir: link each\n"
     "file as URL followed by its path below FOLDER, for\n"
     "pages published apart from the files"},
    SettingOption('\0', "title", "TEXT", OptionGroup::kOutput,
                  "the title; placeholders such as $DirPath allowed", "Title", kOneLineText, "title"),
    SettingSwitch('\0', "human-sizes", OptionGroup::kOutput,
                  "sizes as 1.2 KB or 3.4 MB (powers of 1024), the\n"
                  "unit in each cell and in the total",
                  "HumanSizes", "1"),
    {OptionId::InPlace, '\0', "in-place", nullptr, OptionGroup::kOutput,
     "write the output file directly, without a\n"
     "temporary file beside it: for a file in a\n"
     "folder you may not write; a failed or\n"
     "interrupted run leaves it cut short"},
    SettingOption('\0', "time-style", "STYLE", OptionGroup::kOutput,
                  "times as classic (dd.mm.yyyy hh:mm), iso\n"
                  "(yyyy-mm-dd hh:mm, UTC) or locale",
                  "TimeStyle", kListedValue, "time style"),
    SettingSwitch('\0', "bom", OptionGroup::kOutput,
                  "start CSV with a UTF-8 byte-order mark, for\n"
                  "Excel (the default on Windows)",
                  "CsvBom", "1"),
    SettingSwitch('\0', "no-bom", OptionGroup::kOutput, "CSV without the mark (the default elsewhere)",
                  "CsvBom", "0"),
    SettingOption('I', "exclude", "PATTERN", OptionGroup::kWhat,
                  "leave out the folders and files whose names match\n"
                  "(* and ?, letter case ignored); repeatable",
                  "Exclude", kPatterns, "pattern"),
    SettingOption('P', "include", "PATTERN", OptionGroup::kWhat,
                  "list only the files whose names match one\n"
                  "PATTERN; repeatable (in a settings file, \";\"\n"
                  "separates the patterns of FileMask)",
                  "FileMask", kPatterns, "pattern"),
    SettingSwitch('\0', "no-hidden", OptionGroup::kWhat,
                  "leave out hidden names (starting with \".\", or\n"
                  "with the hidden attribute on Windows)",
                  "HideHidden", "1"),
    SettingSwitch('a', "hidden", OptionGroup::kWhat,
                  "list hidden names too, which -R leaves out by\n"
                  "default where it writes a page in every folder",
                  "HideHidden", "0"),
    {OptionId::IncludeParent, '\0', "include-parent", nullptr, OptionGroup::kWhat,
     "list the parent entry \"..\""},
    {OptionId::From, '\0', "from", "FILE", OptionGroup::kWhat,
     "list what a listing in FILE holds rather than a\n"
     "folder on disk (\"-\" reads standard input): a\n"
     "catalog, Kestrova's JSON, CSV or sums, tree -J,\n"
     "ncdu -o, rclone lsjson or Everything's EFU; any\n"
     "form but pages in every folder (the listed\n"
     "folder need not exist here)"},
    {OptionId::FromKind, '\0', "from-kind", "KIND", OptionGroup::kWhat,
     "read --from's FILE as KIND (@LISTING_KINDS@) "
     "rather than tell it from the content"},
    {OptionId::Verify, '\0', "verify", "LISTING", OptionGroup::kWhat,
     "check FOLDER against a listing with checksums\n"
     "(Kestrova's JSON, CSV, sums or catalog, or a\n"
     "sha256sum, md5sum or xxhsum -H2 file): each file\n"
     "missing, new, changed or unreadable is a line;\n"
     "exit 1 when any differs"},
    {OptionId::Compare, '\0', "compare", "OLD", OptionGroup::kWhat,
     "compare OLD with FOLDER (NEW), each a folder or\n"
     "a listing that --from reads: each entry added (+),\n"
     "removed (-), changed (~: size, time, kind, or\n"
     "content where both have checksums) or moved (>)\n"
     "is a line, then the counts; text, json or page;\n"
     "exit 1 when any differs, 2 when one cannot be read"},
    {OptionId::Recursive, 'R', "recursive", nullptr, OptionGroup::kTree,
     "list FOLDER and every folder below it: a page in\n"
     "each folder (-o names the pages' file, default\n"
     "index.html), or one JSON, CSV, names or long\n"
     "document; the pages leave out hidden\n"
     "names unless --hidden asks, and never enter a\n"
     ".git folder below FOLDER"},
    {OptionId::Sizes, '\0', "du", nullptr, OptionGroup::kWhat,
     "give each folder the total size of the files below\n"
     "it, with their numbers (the default for the pages\n"
     "of -R); --sort size orders folders by it"},
    {OptionId::NoSizes, '\0', "no-du", nullptr, OptionGroup::kWhat, "folders without totals, as sizes of 0"},
    {OptionId::GitIgnore, '\0', "gitignore", nullptr, OptionGroup::kWhat,
     "leave out what git ignores: .gitignore at every\n"
     "level, .git/info/exclude and the user's excludes\n"
     "file, and .git itself"},
    {OptionId::IgnoreFile, '\0', "ignore-file", "NAME", OptionGroup::kWhat,
     "leave out what a file NAME in each folder names,\n"
     "in the syntax of .gitignore (inside git or not)"},
    {OptionId::MaxDepth, 'L', "max-depth", "N", OptionGroup::kTree,
     "list N levels (up to 4294967295); 1 is FOLDER\n"
     "alone"},
    {OptionId::OneFileSystem, '\0', "one-file-system", nullptr, OptionGroup::kTree,
     "stay on FOLDER's file system"},
    {OptionId::Follow, '\0', "follow", nullptr, OptionGroup::kTree,
     "enter symbolic links to folders (a loop, or a\n"
     "link to a folder of the tree, is reported and\n"
     "not entered)"},
    {OptionId::OutputDir, '\0', "output-dir", "DIR", OptionGroup::kTree,
     "write the pages into a tree of the same shape\n"
     "under DIR, leaving FOLDER untouched"},
    {OptionId::LinkIndex, '\0', "link-index", nullptr, OptionGroup::kTree,
     "link to \"name/index.html\", not \"name/\", for\n"
     "browsing the pages from disk"},
    {OptionId::Search, '\0', "search", nullptr, OptionGroup::kTree,
     "with --format page: write kestrova-search.js at\n"
     "the top of the pages, the names of the whole\n"
     "tree, which \"Search everywhere\" on every page\n"
     "searches"},
    {OptionId::Watch, '\0', "watch", nullptr, OptionGroup::kTree,
     "with the pages of -R or a catalog: stay, and\n"
     "write again what the tree's changes change, a\n"
     "moment after they settle; Ctrl-C or SIGTERM ends\n"
     "it (exit 130 or 143)"},
    {OptionId::Threads, '\0', "threads", "N", OptionGroup::kTree,
     "list N folders at a time, and read N files at a\n"
     "time for --checksum (default: one per\n"
     "processor; at most 16 are used)"},
    SettingOption('\0', "sort", "KEY", OptionGroup::kOrder,
                  "sort by @SORT_KEYS@ (names as people count: a2 before a10); folders come first", "SortBy",
                  kSortKey, "sort key"),
    SettingSwitch('r', "reverse", OptionGroup::kOrder, "from the greatest key to the smallest", "DescOrder",
                  "1"),
    SettingOption('\0', "columns", "LIST", OptionGroup::kColumns,
                  "the columns beside the name, as words separated by commas: @COLUMNS@; or the "
                  "letters of a settings file (STW); \"\" for the name alone",
                  "Columns", kColumnList, "column"),
    {OptionId::Checksum, '\0', "checksum", "ALGO", OptionGroup::kColumns,
     "the checksum of each file's content: @DIGESTS@; repeatable, each a column of page, json, csv and long, "
     "one line per file of --format sums (sha256 where none is given); the files are read whole, --threads "
     "at a time"},
    {OptionId::ChecksumCache, '\0', "checksum-cache", "FILE", OptionGroup::kColumns,
     "keep the checksums in FILE, so that the next run reads only the files that changed (default: "
     "@CHECKSUM_CACHE@)"},
    {OptionId::NoChecksumCache, '\0', "no-checksum-cache", nullptr, OptionGroup::kColumns,
     "read every file for its checksums; keep none"},
    {OptionId::Duplicates, '\0', "duplicates", nullptr, OptionGroup::kWhat,
     "list the groups of files of the same content in\n"
     "FOLDER (below it with -R; several FOLDERs may be\n"
     "given) rather than a listing: by size, then by\n"
     "their ends, then by --checksum (sha256); as text,\n"
     "json or page; nothing is removed"},
    {OptionId::IncludeEmpty, '\0', "include-empty", nullptr, OptionGroup::kWhat,
     "with --duplicates: the empty files make a group\n"
     "too"},
    SettingSwitch('\0', "show-links", OptionGroup::kColumns,
                  "give symbolic links the type Link, Link to\n"
                  "folder or Broken link in the classic page too (the\n"
                  "standards page always does)",
                  "ShowLinks", "1"),
    {OptionId::Settings, 's', "settings", "FILE", OptionGroup::kSettings,
     "read a .ksv settings file; without it the\n"
     "command line's own defaults apply"},
    {OptionId::Preset, '\0', "preset", "NAME", OptionGroup::kSettings,
     "read the settings file NAME.ksv of the presets\n"
     "installed with the program (classic, modern)"},
    {OptionId::Set, '\0', "set", "KEY=VALUE", OptionGroup::kSettings,
     "set one saved setting as a line of a settings\n"
     "file would; repeatable, the last one for a key\n"
     "wins (--set SortBy=5 --set Columns=STWCRAH)"},
    {OptionId::PrintSettings, '\0', "print-settings", nullptr, OptionGroup::kSettings,
     "print the effective settings as a settings\n"
     "file and exit"},
    {OptionId::SaveSettings, '\0', "save-settings", "FILE", OptionGroup::kSettings,
     "write the effective settings to FILE, then go on"},
    {OptionId::HelpKeys, '\0', "help-keys", nullptr, OptionGroup::kSettings,
     "list the settings keys with their values and exit"},
    {OptionId::Quiet, 'q', "quiet", nullptr, OptionGroup::kProgram, "no summary line, no progress line"},
    {OptionId::ListValues, '\0', "list-values", "NAME", OptionGroup::kProgram,
     "the values an option or a setting key takes, one\n"
     "per line (for completion scripts), and exit"},
    {OptionId::Help, 'h', "help", nullptr, OptionGroup::kProgram, "show this text and exit"},
    {OptionId::Version, 'V', "version", nullptr, OptionGroup::kProgram, "show the version and exit"},
};

std::vector<std::string> DigestWords() {
  std::vector<std::string> words;
  for (DigestAlgorithm algorithm : DigestAlgorithms()) words.emplace_back(DigestName(algorithm));
  return words;
}

// The word of --sort for natural order, which orders by name.
constexpr char kNaturalWord[] = "version";

std::vector<std::string> SortWords() {
  std::vector<std::string> words = SortKeyWords();
  words.emplace_back(kNaturalWord);
  return words;
}

std::string Joined(const std::vector<std::string>& words, const char* separator) {
  std::string list;
  for (const std::string& word : words) list += (list.empty() ? "" : separator) + word;
  return list;
}

// "unknown sort key sise (name, type, ...; did you mean size?)"
std::string UnknownWord(const char* what, const std::string& word, const std::vector<std::string>& words) {
  const std::string nearest = NearestWord(word, words);
  return "unknown " + std::string(what) + " " + word + " (" + Joined(words, ", ") +
         (nearest.empty() ? "" : "; did you mean " + nearest + "?") + ")";
}

// The option of exactly that long name; null when none has it.
const OptionDefinition* FindOption(const std::string& name) {
  for (const OptionDefinition& definition : kOptions) {
    if (name == definition.LongName) return &definition;
  }
  return nullptr;
}

const OptionDefinition* FindShortOption(char name) {
  for (const OptionDefinition& definition : kOptions) {
    if (definition.ShortName != '\0' && definition.ShortName == name) return &definition;
  }
  return nullptr;
}

// The option of that long name, or of the one long name it begins; null
// with an error when it names none or begins several.
const OptionDefinition* FindLongOption(const std::string& name, std::string& error) {
  std::vector<const OptionDefinition*> matches;
  for (const OptionDefinition& definition : kOptions) {
    const std::string long_name = definition.LongName;
    if (long_name == name) return &definition;
    if (!name.empty() && long_name.compare(0, name.size(), name) == 0) matches.push_back(&definition);
  }
  if (matches.size() == 1) return matches[0];
  if (matches.empty()) {
    error = "unknown option --" + name;
    return nullptr;
  }
  error = "option --" + name + " is ambiguous (";
  for (const OptionDefinition* match : matches) {
    error += std::string(match == matches[0] ? "" : ", ") + "--" + match->LongName;
  }
  error += ")";
  return nullptr;
}

std::string DisplayName(const OptionDefinition& definition) {
  return definition.ShortName != '\0' ? std::string("-") + definition.ShortName
                                      : std::string("--") + definition.LongName;
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// What a wrong value of a key should have been.
std::string ExpectedValues(const SettingDeclaration& setting, const std::string& value) {
  if (setting.Key == std::string("Format")) {
    return " (" + Joined(FormNames(), ", ") + ")";
  }
  const std::vector<std::string> listed = ListedValues(setting);
  if (!listed.empty()) {
    // Only a word can be mistyped into another.
    const std::string nearest =
        setting.Encoding == SettingEncoding::kSingleLine ? NearestWord(value, listed) : std::string();
    return " (one of " + Joined(listed, ", ") + (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
           ")";
  }
  if (setting.Encoding == SettingEncoding::kColumns) return " (the letters " + ColumnLetterList() + ")";
  if (setting.Encoding == SettingEncoding::kNumber) return " (a number of digits)";
  return std::string();
}

// Checks a --set line; a key written in other letter case is taken as the
// key it names. Empty when the line is valid.
std::string CheckSetting(std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || equals == 0) return "--set needs KEY=VALUE, not \"" + line + "\"";
  std::string key = line.substr(0, equals);
  const std::string value = line.substr(equals + 1);
  if (FindSetting(key) == nullptr) {
    const std::string nearest = NearestSettingKey(key);
    if (LowerCaseAscii(nearest) != LowerCaseAscii(key)) {
      return "unknown setting key: " + key + (nearest.empty() ? "" : " (did you mean " + nearest + "?)");
    }
    key = nearest;
    line = key + "=" + value;
  }
  const SettingDeclaration& setting = *FindSetting(key);
  const bool valid = CheckSettingLine(line) == SettingLineCheck::kValid &&
                     (setting.Key != std::string("Format") || value.empty() || FormNamed(value) != nullptr);
  if (valid) return std::string();
  return "invalid value for " + key + ": " + value + ExpectedValues(setting, value);
}

std::string SortLines(const std::string& value, std::vector<std::string>& lines) {
  const bool natural = value == kNaturalWord;
  const ColumnDeclaration* column = natural ? &ColumnOf(ColumnId::kName) : ColumnWithWord(value);
  if (column == nullptr || column->Sort == kNoSortKey) return UnknownWord("sort key", value, SortWords());
  lines.push_back("SortBy=" + std::to_string(column->Sort));
  lines.push_back(std::string("NaturalOrder=") + (natural ? "1" : "0"));
  return std::string();
}

// The column letters of a --columns list: words separated by commas, or the
// letters of a settings file.
std::string ColumnsLine(const std::string& value, std::vector<std::string>& lines) {
  ColumnSet columns;
  const bool as_letters = !value.empty() && value.find(',') == std::string::npos && AreColumnLetters(value);
  if (as_letters) {
    columns = ColumnsOfLetters(value);
  } else {
    for (size_t start = 0; start < value.size();) {
      size_t end = value.find(',', start);
      if (end == std::string::npos) end = value.size();
      const std::string word = value.substr(start, end - start);
      start = end + 1;
      const ColumnDeclaration* column = ColumnWithWord(word);
      if (column == nullptr || column->Letter == '\0') return UnknownWord("column", word, ColumnWords());
      columns.Set(column->Id);
    }
  }
  lines.push_back("Columns=" + ColumnLetters(columns));
  return std::string();
}

// The largest count an option takes: one that a 32-bit size_t holds, and
// more levels than any file system nests, so that a large -L means every
// level as it does for find and tree.
constexpr uint64_t kLargestCount = 4294967295u;

// A count from 1 to kLargestCount, for an option that takes one.
std::string CountValue(const char* option, const std::string& value, size_t& count) {
  uint64_t parsed = 0;
  bool valid = !value.empty();
  for (char c : value) {
    valid = c >= '0' && c <= '9' && parsed <= kLargestCount / 10;
    if (!valid) break;
    parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
  }
  valid = valid && parsed <= kLargestCount;
  if (!valid || parsed == 0) {
    return std::string(option) + " needs a number from 1 to " + std::to_string(kLargestCount) + ", not " +
           value;
  }
  count = static_cast<size_t>(parsed);
  return std::string();
}

// Where the walk over the arguments stands.
struct ParseState {
  const std::vector<std::string>& Arguments;
  bool SlashHelp;
  size_t Next = 0;  // the argument after the one being read
  bool OptionsEnded = false;
  // The patterns of each repeatable option so far, by the key they set.
  std::map<std::string, std::vector<std::string>> Patterns;
  ParsedCommandLine Parsed;
};

std::string OneLineText(const OptionDefinition& option, const std::string& value, ParseState&,
                        std::vector<std::string>& lines) {
  if (value.find_first_of("\r\n") != std::string::npos)
    return "the " + std::string(option.What) + " holds a line break";
  lines.push_back(option.Key + ("=" + value));
  return std::string();
}

std::vector<std::string> ValuesOfSetting(const OptionDefinition& option) {
  return ListedValues(*FindSetting(option.Key));
}

std::string ListedValue(const OptionDefinition& option, const std::string& value, ParseState&,
                        std::vector<std::string>& lines) {
  const std::vector<std::string> listed = ValuesOfSetting(option);
  if (std::find(listed.begin(), listed.end(), value) == listed.end())
    return UnknownWord(option.What, value, listed);
  lines.push_back(option.Key + ("=" + value));
  return std::string();
}

// Each use repeats the whole list, joined into one mask, so that it wins
// over an earlier --set of the key as a later --set would.
std::string PatternLine(const OptionDefinition& option, const std::string& value, ParseState& state,
                        std::vector<std::string>& lines) {
  if (value.empty()) return "an empty pattern matches nothing";
  std::vector<std::string>& patterns = state.Patterns[option.Key];
  patterns.push_back(value);
  lines.push_back(option.Key + ("=" + Joined(patterns, ";")));
  return std::string();
}

const ValueRule kOneLineText{OneLineText, nullptr};
const ValueRule kListedValue{ListedValue, ValuesOfSetting};
const ValueRule kPatterns{PatternLine, nullptr};
const ValueRule kSortKey{[](const OptionDefinition&, const std::string& value, ParseState&,
                            std::vector<std::string>& lines) { return SortLines(value, lines); },
                         [](const OptionDefinition&) { return SortWords(); }};
const ValueRule kColumnList{[](const OptionDefinition&, const std::string& value, ParseState&,
                               std::vector<std::string>& lines) { return ColumnsLine(value, lines); },
                            [](const OptionDefinition&) { return ColumnWords(); }};

// The settings lines of an option that stands for a setting.
std::string ApplySettingOption(ParseState& state, const OptionDefinition& option, const std::string& value) {
  std::vector<std::string>& lines = state.Parsed.Options.SettingLines;
  if (option.Fixed != nullptr) {
    lines.push_back(option.Key + ("=" + std::string(option.Fixed)));
    return std::string();
  }
  return option.Rule->Apply(option, value, state, lines);
}

std::string ApplyOption(ParseState& state, const OptionDefinition& option, const std::string& value) {
  CliOptions& options = state.Parsed.Options;
  std::vector<std::string>& lines = options.SettingLines;
  switch (option.Id) {
    case OptionId::Output:
      options.Output = value;
      break;
    case OptionId::Format:
      options.Format = value;
      if (FormNamed(value) == nullptr) return UnknownWord("form", value, FormNames());
      break;
    case OptionId::Text:
      options.Format = "text";
      break;
    case OptionId::IncludeParent:
      options.IncludeParent = true;
      break;
    case OptionId::Recursive:
      options.Recursive = true;
      break;
    case OptionId::Sizes:
      options.Sizes = true;
      break;
    case OptionId::NoSizes:
      options.Sizes = false;
      break;
    case OptionId::GitIgnore:
      options.GitIgnore = true;
      break;
    case OptionId::IgnoreFile:
      options.IgnoreFile = value;
      if (value.empty() || value.find_first_of("/\\") != std::string::npos)
        return "--ignore-file names a file in each folder, by its name alone, not \"" + value + "\"";
      break;
    case OptionId::MaxDepth:
      return CountValue("--max-depth", value, options.MaxDepth);
    case OptionId::OneFileSystem:
      options.OneFileSystem = true;
      break;
    case OptionId::Follow:
      options.Follow = true;
      break;
    case OptionId::OutputDir:
      options.OutputDir = value;
      if (value.empty()) return "the output folder's name is empty";
      break;
    case OptionId::LinkIndex:
      options.LinkIndex = true;
      break;
    case OptionId::Search:
      options.Search = true;
      break;
    case OptionId::Watch:
      options.Watch = true;
      break;
    case OptionId::Threads:
      return CountValue("--threads", value, options.Threads);
    case OptionId::Checksum:
      if (DigestNamed(value) == nullptr) return UnknownWord("checksum", value, DigestWords());
      if (std::find(options.Checksums.begin(), options.Checksums.end(), value) == options.Checksums.end())
        options.Checksums.push_back(value);
      break;
    case OptionId::ChecksumCache:
      if (value.empty()) return "the checksum cache's name is empty";
      options.ChecksumCache = value;
      break;
    case OptionId::NoChecksumCache:
      options.NoChecksumCache = true;
      break;
    case OptionId::Duplicates:
      options.Duplicates = true;
      break;
    case OptionId::IncludeEmpty:
      options.IncludeEmpty = true;
      break;
    case OptionId::Settings:
      options.SettingsFile = value;
      break;
    case OptionId::Preset:
      options.Preset = value;
      break;
    case OptionId::Set: {
      std::string line = value;
      const std::string error = CheckSetting(line);
      lines.push_back(line);
      return error;
    }
    case OptionId::Null:
      options.NullEnds = true;
      break;
    case OptionId::From:
      options.From = value;
      if (value.empty()) return "the name of the file to read with --from is empty";
      break;
    case OptionId::FromKind:
      if (ListingKindNamed(value) == nullptr) return UnknownWord("listing kind", value, ListingKindNames());
      options.FromKind = value;
      break;
    case OptionId::Verify:
      options.Verify = value;
      if (value.empty()) return "the name of the listing to verify against is empty";
      break;
    case OptionId::Compare:
      options.Compare = value;
      if (value.empty()) return "the name of the old side to compare is empty";
      break;
    case OptionId::BaseUrl:
      options.BaseUrl = value;
      if (value.empty()) return "the base URL is empty";
      break;
    case OptionId::PrintSettings:
      options.PrintSettings = true;
      break;
    case OptionId::SaveSettings:
      options.SaveSettingsFile = value;
      break;
    case OptionId::HelpKeys:
      options.HelpKeys = true;
      break;
    case OptionId::ListValues:
      options.ListValues = value;
      break;
    case OptionId::InPlace:
      options.InPlace = true;
      break;
    case OptionId::Quiet:
      options.Quiet = true;
      break;
    case OptionId::Help:
      options.Help = true;
      break;
    case OptionId::Version:
      options.Version = true;
      break;
    case OptionId::Setting:
      return ApplySettingOption(state, option, value);
  }
  return std::string();
}

// True when the options ask for a form that holds the whole tree (the
// catalog), by name or by the output file's name.
bool AsksForWholeTree(const CliOptions& options) {
  if (options.Format) {
    const OutputForm* form = FormNamed(*options.Format);
    return form != nullptr && form->WholeTree;
  }
  return options.Output && FormForFileName(*options.Output).WholeTree;
}

// What --duplicates takes and refuses; empty when the options fit.
std::string CheckDuplicates(const CliOptions& options) {
  if (!options.Duplicates) {
    if (!options.MoreFolders.empty()) {
      return "only one FOLDER may be given (\"" + *options.Folder + "\" and \"" + options.MoreFolders[0] +
             "\"); --duplicates searches several";
    }
    return options.IncludeEmpty ? "--include-empty is for --duplicates" : std::string();
  }
  if (options.Checksums.size() > 1) return "--duplicates compares files by one --checksum, not several";
  if (options.Format && *options.Format != "text" && *options.Format != "json" && *options.Format != "page")
    return "--duplicates writes text, json or page, not " + *options.Format;
  for (const auto& [set, name] :
       {std::pair<bool, const char*>{options.From.has_value(), "--from"},
        {options.OutputDir.has_value(), "--output-dir"},
        {options.Sizes.has_value(), options.Sizes.value_or(false) ? "--du" : "--no-du"},
        {options.NullEnds, "--null"},
        {options.Search, "--search"},
        {options.Watch, "--watch"},
        {options.LinkIndex, "--link-index"},
        {options.BaseUrl.has_value(), "--base-url"},
        {options.IncludeParent, "--include-parent"},
        {options.PrintSettings, "--print-settings"},
        {options.SaveSettingsFile.has_value(), "--save-settings"}}) {
    if (set) return std::string(name) + " is not for --duplicates";
  }
  for (const std::string& folder : options.MoreFolders) {
    if (folder.empty()) return "a FOLDER's name is empty";
  }
  return std::string();
}

// --verify writes a report, never a listing: only the options of a walk
// and of the report fit it.
std::string CheckVerify(const CliOptions& options) {
  if (!options.Verify) return std::string();
  if (options.Format && *options.Format != "text" && *options.Format != "json")
    return "--verify reports in text or json, not as --format " + *options.Format;
  for (const auto& [set, name] : {std::pair<bool, const char*>{options.From.has_value(), "--from"},
                                  {options.OutputDir.has_value(), "--output-dir"},
                                  {options.Search, "--search"},
                                  {options.Watch, "--watch"},
                                  {options.BaseUrl.has_value(), "--base-url"},
                                  {options.LinkIndex, "--link-index"},
                                  {options.Sizes.has_value(), "--du"},
                                  {options.NullEnds, "--null"},
                                  {options.SaveSettingsFile.has_value(), "--save-settings"},
                                  {options.PrintSettings, "--print-settings"}}) {
    if (set) return std::string("--verify checks a folder against a listing; ") + name + " does not fit it";
  }
  return std::string();
}

// --compare writes a report of two sides: only the options of a walk and
// of the report fit it.
std::string CheckCompare(const CliOptions& options) {
  if (!options.Compare) return std::string();
  if (options.Format && *options.Format != "text" && *options.Format != "json" && *options.Format != "page")
    return "--compare reports in text, json or page, not as --format " + *options.Format;
  for (const auto& [set, name] : {std::pair<bool, const char*>{options.From.has_value(), "--from"},
                                  {options.FromKind.has_value(), "--from-kind"},
                                  {options.Verify.has_value(), "--verify"},
                                  {options.Duplicates, "--duplicates"},
                                  {options.Watch, "--watch"},
                                  {options.OutputDir.has_value(), "--output-dir"},
                                  {options.Search, "--search"},
                                  {options.BaseUrl.has_value(), "--base-url"},
                                  {options.LinkIndex, "--link-index"},
                                  {options.Sizes.has_value(), "--du"},
                                  {options.NullEnds, "--null"},
                                  {options.IncludeParent, "--include-parent"},
                                  {options.SaveSettingsFile.has_value(), "--save-settings"},
                                  {options.PrintSettings, "--print-settings"}}) {
    if (set) return std::string("--compare compares two listings; ") + name + " does not fit it";
  }
  return std::string();
}

// --watch keeps what a walk of a tree writes current; one folder's listing
// and a listing read from a file have nothing to watch.
std::string CheckWatch(const CliOptions& options, bool whole_tree) {
  if (!options.Watch) return std::string();
  if (options.From) return "--watch keeps the output of a folder on disk current, not of --from's FILE";
  if (!options.Recursive && !whole_tree)
    return "--watch keeps the pages of a tree or a catalog current: give -R (or --format catalog) too";
  if (options.Output && *options.Output == "-")
    return "--watch rewrites files as the tree changes, not standard output: give -o FILE";
  if (options.PrintSettings) return "--print-settings writes the settings and ends; --watch does not fit it";
  return std::string();
}

std::string CheckCombination(const CliOptions& options) {
  if (const std::string compare = CheckCompare(options); !compare.empty()) return compare;
  if (const std::string duplicates = CheckDuplicates(options); !duplicates.empty()) return duplicates;
  // One folder's totals walk the tree below it, as -R does; so does a catalog.
  const bool whole_tree = AsksForWholeTree(options);
  const bool walks =
      options.Recursive || options.Sizes.value_or(false) || whole_tree || options.Verify || options.Compare;
  // The files of one folder are read for their checksums several at a time.
  const bool reads_at_once = walks || !options.Checksums.empty();
  for (const auto& [set, name, needs] :
       {std::tuple<bool, const char*, bool>{options.MaxDepth != 0, "--max-depth", walks},
        {options.OneFileSystem, "--one-file-system", walks},
        {options.Follow, "--follow", walks || options.Duplicates},
        {options.OutputDir.has_value(), "--output-dir", options.Recursive},
        {options.LinkIndex, "--link-index", options.Recursive},
        {options.Threads != 0, "--threads", reads_at_once || options.Duplicates}}) {
    if (set && !needs) return std::string(name) + " walks a tree: give -R (or --du) too";
  }
  if (options.From && options.Folder) return "--from lists what FILE holds: give no FOLDER";
  if (options.FromKind && !options.From)
    return "--from-kind tells the kind of --from's FILE: give --from FILE too";
  if (const std::string refused = CheckVerify(options); !refused.empty()) return refused;
  if (options.BaseUrl && !whole_tree && !options.OutputDir)
    return "--base-url links the files of a catalog, or of pages written apart from them: give --format "
           "catalog or --output-dir DIR too";
  if (options.OutputDir && whole_tree)
    return "--output-dir is for pages; a catalog is one file: give -o FILE";
  if (const std::string refused = CheckWatch(options, whole_tree); !refused.empty()) return refused;
  if (options.Search && !options.Recursive)
    return "--search writes one search file for the pages of a tree: give -R and --format page too";
  if (options.Output && options.Output->empty()) return "the output file name is empty";
  if (options.SettingsFile && options.SettingsFile->empty()) return "the settings file name is empty";
  if (options.SettingsFile && options.Preset) return "-s and --preset both name a settings file";
  if (options.Preset &&
      (options.Preset->empty() || options.Preset->find_first_of("/\\:") != std::string::npos)) {
    return "a preset is named by its name alone, not \"" + *options.Preset + "\"";
  }
  return std::string();
}

void Fail(ParseState& state, const std::string& error) {
  if (state.Parsed.Error.empty()) state.Parsed.Error = error;
}

// A value that is not attached is the next argument, whatever it looks like.
void TakeValue(ParseState& state, const OptionDefinition& definition, std::optional<std::string> value) {
  if (definition.ValueName != nullptr && !value) {
    if (state.Next >= state.Arguments.size()) {
      return Fail(state, "option " + DisplayName(definition) + " needs " + definition.ValueName);
    }
    value = state.Arguments[state.Next++];
  }
  const std::string error = ApplyOption(state, definition, value.value_or(""));
  if (!error.empty()) Fail(state, error);
}

void AddFolder(ParseState& state, const std::string& argument) {
  CliOptions& options = state.Parsed.Options;
  if (options.Folder) {
    options.MoreFolders.push_back(argument);
    return;
  }
  options.Folder = argument;
}

void ReadLongOption(ParseState& state, const std::string& text) {
  const size_t equals = text.find('=');
  std::string error;
  const OptionDefinition* definition = FindLongOption(text.substr(0, equals), error);
  if (definition == nullptr) return Fail(state, error);
  if (equals == std::string::npos) return TakeValue(state, *definition, std::nullopt);
  if (definition->ValueName == nullptr) {
    return Fail(state, "option --" + std::string(definition->LongName) + " takes no value");
  }
  TakeValue(state, *definition, text.substr(equals + 1));
}

// "-qo x": switches up to the first option that takes a value, which takes
// the rest of the argument or else the next one.
void ReadShortOptions(ParseState& state, const std::string& argument) {
  for (size_t at = 1; at < argument.size() && state.Parsed.Error.empty(); ++at) {
    const OptionDefinition* definition = FindShortOption(argument[at]);
    if (definition == nullptr) return Fail(state, std::string("unknown option -") + argument[at]);
    if (definition->ValueName != nullptr && at + 1 < argument.size()) {
      return TakeValue(state, *definition, argument.substr(at + 1));
    }
    TakeValue(state, *definition, std::nullopt);
  }
}

void ReadArgument(ParseState& state, const std::string& argument) {
  if (state.OptionsEnded || argument.size() < 2 || argument[0] != '-') {
    if (!state.OptionsEnded && state.SlashHelp && argument == "/?") {
      state.Parsed.Options.Help = true;
    } else {
      AddFolder(state, argument);
    }
  } else if (argument == "--") {
    state.OptionsEnded = true;
  } else if (argument[1] == '-') {
    ReadLongOption(state, argument.substr(2));
  } else {
    ReadShortOptions(state, argument);
  }
}

constexpr size_t kHelpColumn = 28;
// The widest line of a help text that is wrapped here.
constexpr size_t kHelpWidth = 49;

// The words a help text lists from a table, and how they are joined.
struct HelpList {
  const char* Placeholder;
  std::string (*Words)();
};

const HelpList kHelpLists[] = {
    {"@FORMS@", [] { return Joined(FormNames(), ", "); }},
    {"@COLUMNS@", [] { return Joined(ColumnWords(), ", "); }},
    {"@DIGESTS@", [] { return Joined(DigestWords(), ", "); }},
    {"@LISTING_KINDS@", [] { return Joined(ListingKindNames(), ", "); }},
    {"@CHECKSUM_CACHE@",
     [] {
       return std::string(FolderSeparator() == '\\' ? "%LOCALAPPDATA%\\kestrova\\checksums"
                                                    : "$XDG_CACHE_HOME/kestrova/checksums");
     }},
    {"@SORT_KEYS@",
     [] {
       std::vector<std::string> words = SortWords();
       const std::string last = words.back();
       words.pop_back();
       return Joined(words, ", ") + " or " + last;
     }},
};

// The text broken into lines of at most kHelpWidth bytes at its blanks.
std::string WrappedHelp(const std::string& text) {
  std::string wrapped;
  size_t line_start = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (start > line_start && end - line_start > kHelpWidth) {
      wrapped.back() = '\n';
      line_start = start;
    }
    wrapped.append(text, start, end - start);
    if (end < text.size()) wrapped += ' ';
    start = end + 1;
  }
  return wrapped;
}

// The help text with the words of the tables it lists. One without line
// breaks of its own is wrapped: the number of its words may change.
std::string HelpText(const OptionDefinition& definition) {
  std::string help = definition.Help;
  const bool wrap = help.find('\n') == std::string::npos;
  bool listed = false;
  for (const HelpList& list : kHelpLists) {
    const size_t at = help.find(list.Placeholder);
    if (at == std::string::npos) continue;
    help.replace(at, std::string(list.Placeholder).size(), list.Words());
    listed = true;
  }
  // Each form's extensions, from the table of forms.
  for (const std::string& name : FormNames()) {
    const std::string extensions = "@" + name + " extensions@";
    const size_t at = help.find(extensions);
    if (at == std::string::npos) continue;
    help.replace(at, extensions.size(), Joined(FileExtensions(*FormNamed(name)), " "));
    listed = true;
  }
  return wrap && listed ? WrappedHelp(help) : help;
}

std::string OptionLine(const OptionDefinition& definition) {
  std::string line = "  ";
  line += definition.ShortName != '\0' ? std::string("-") + definition.ShortName + ", " : "    ";
  line += std::string("--") + definition.LongName;
  if (definition.ValueName != nullptr) line += std::string(" ") + definition.ValueName;
  if (line.size() < kHelpColumn) {
    line.append(kHelpColumn - line.size(), ' ');
  } else {
    line += "\n" + std::string(kHelpColumn, ' ');
  }
  for (char c : HelpText(definition)) {
    line += c;
    if (c == '\n') line += std::string(kHelpColumn, ' ');
  }
  return line + "\n";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool slash_help) {
  ParseState state{arguments, slash_help, 0, false, {}, ParsedCommandLine()};
  while (state.Next < arguments.size() && state.Parsed.Error.empty()) {
    ReadArgument(state, arguments[state.Next++]);
  }
  if (state.Parsed.Error.empty()) state.Parsed.Error = CheckCombination(state.Parsed.Options);
  return state.Parsed;
}

std::string UsageText() {
  std::string text =
      "Usage: kestrova-cli [OPTIONS] [FOLDER]\n"
      "       kestrova-cli --duplicates [-R] [OPTIONS] FOLDER...\n"
      "       kestrova-cli --compare OLD [OPTIONS] [NEW]\n"
      "Writes a listing of one folder: a web page, the classic page, a text list,\n"
      "JSON, CSV or the bare names.\n"
      "\n"
      "  FOLDER                    the folder to list; default: the current\n"
      "                            folder, or the settings file's folder\n";
  for (size_t group = 0; group < sizeof kGroupHeadings / sizeof kGroupHeadings[0]; ++group) {
    text += std::string("\n") + kGroupHeadings[group] + ":\n";
    for (const OptionDefinition& definition : kOptions) {
      if (static_cast<size_t>(definition.Group) == group) text += OptionLine(definition);
    }
  }
  text +=
      "\n"
      "Settings keys: kestrova-cli --help-keys lists every key of --set and of a\n"
      "settings file, its values, and its value in a plain run.\n"
      "Relative FOLDER and FILE names are made absolute against the current folder.\n"
      "Exit status: 0 written; 1 the folder could not be read or the output or a\n"
      "settings file could not be written; 2 nothing was begun: a bad command line,\n"
      "an unreadable settings file, or a missing folder to list or output folder;\n"
      "130 or 143 interrupted. --duplicates exits 0 whether duplicates were found\n"
      "or not. --compare exits 0 when OLD and NEW hold the same, 1 when they\n"
      "differ, 2 when either cannot be read or the report cannot be written.\n";
  return text;
}

bool ValuesText(const std::string& name, std::string& text) {
  std::vector<std::string> values;
  const OptionDefinition* option = FindOption(name);
  if (name == "format" || name == "Format") {
    values = FormNames();
  } else if (name == "checksum") {
    values = DigestWords();
  } else if (name == "from-kind") {
    values = ListingKindNames();
  } else if (option != nullptr && option->Rule != nullptr && option->Rule->Values != nullptr) {
    values = option->Rule->Values(*option);
  } else if (const SettingDeclaration* setting = FindSetting(name)) {
    values = ListedValues(*setting);
  }
  text = values.empty() ? std::string() : Joined(values, "\n") + "\n";
  return !values.empty();
}

std::string VersionText() {
  return "kestrova-cli (Kestrova) 1.51\n"
         "License: MIT. This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

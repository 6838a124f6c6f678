#include "cli/options.h"

#include <cstddef>
#include <cstdint>
#include <utility>

#include "output/entry_fields.h"
#include "output/forms.h"
#include "settings/setting_table.h"
#include "settings/settings_file.h"

namespace {

enum class OptionId {
  Output,
  Format,
  Text,
  Title,
  HumanSizes,
  TimeStyle,
  Bom,
  NoBom,
  Exclude,
  Include,
  NoHidden,
  Hidden,
  IncludeParent,
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
  Threads,
  Sort,
  Reverse,
  Columns,
  ShowLinks,
  Settings,
  Preset,
  Set,
  Null,
  PrintSettings,
  SaveSettings,
  HelpKeys,
  ListValues,
  InPlace,
  Quiet,
  Help,
  Version,
};

// The headings of --help, in its order.
enum class OptionGroup { kOutput, kWhat, kTree, kOrder, kColumns, kSettings, kProgram };

const char* const kGroupHeadings[] = {"Output",  "What to list",   "A whole tree", "Order",
                                      "Columns", "Settings files", "Other"};

struct OptionDefinition {
  OptionId Id;
  char ShortName;         // '\0' when the option has none
  const char* LongName;   // without the leading "--"
  const char* ValueName;  // nullptr for a switch
  OptionGroup Group;
  const char* Help;
};

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
    {OptionId::Title, '\0', "title", "TEXT", OptionGroup::kOutput,
     "the title; placeholders such as $DirPath allowed"},
    {OptionId::HumanSizes, '\0', "human-sizes", nullptr, OptionGroup::kOutput,
     "sizes as 1.2 KB or 3.4 MB (powers of 1024), the\n"
     "unit in each cell and in the total"},
    {OptionId::InPlace, '\0', "in-place", nullptr, OptionGroup::kOutput,
     "write the output file directly, without a\n"
     "temporary file beside it: for a file in a\n"
     "folder you may not write; a failed or\n"
     "interrupted run leaves it cut short"},
    {OptionId::TimeStyle, '\0', "time-style", "STYLE", OptionGroup::kOutput,
     "times as classic (dd.mm.yyyy hh:mm), iso\n"
     "(yyyy-mm-dd hh:mm, UTC) or locale"},
    {OptionId::Bom, '\0', "bom", nullptr, OptionGroup::kOutput,
     "start CSV with a UTF-8 byte-order mark, for\n"
     "Excel (the default on Windows)"},
    {OptionId::NoBom, '\0', "no-bom", nullptr, OptionGroup::kOutput,
     "CSV without the mark (the default elsewhere)"},
    {OptionId::Exclude, 'I', "exclude", "PATTERN", OptionGroup::kWhat,
     "leave out the folders and files whose names match\n"
     "(* and ?, letter case ignored); repeatable"},
    {OptionId::Include, 'P', "include", "PATTERN", OptionGroup::kWhat,
     "list only the files whose names match one\n"
     "PATTERN; repeatable (in a settings file, \";\"\n"
     "separates the patterns of FileMask)"},
    {OptionId::NoHidden, '\0', "no-hidden", nullptr, OptionGroup::kWhat,
     "leave out hidden names (starting with \".\", or\n"
     "with the hidden attribute on Windows)"},
    {OptionId::Hidden, 'a', "hidden", nullptr, OptionGroup::kWhat,
     "list hidden names too, which -R leaves out by\n"
     "default where it writes a page in every folder"},
    {OptionId::IncludeParent, '\0', "include-parent", nullptr, OptionGroup::kWhat,
     "list the parent entry \"..\""},
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
    {OptionId::Threads, '\0', "threads", "N", OptionGroup::kTree,
     "list N folders at a time (default: one per\n"
     "processor; at most 16 are used)"},
    {OptionId::Sort, '\0', "sort", "KEY", OptionGroup::kOrder,
     "sort by name, type, modified, created, accessed,\n"
     "size, attributes or version (names as people\n"
     "count: a2 before a10); folders come first"},
    {OptionId::Reverse, 'r', "reverse", nullptr, OptionGroup::kOrder,
     "from the greatest key to the smallest"},
    {OptionId::Columns, '\0', "columns", "LIST", OptionGroup::kColumns,
     "the columns beside the name, as words separated\n"
     "by commas: size, type, modified, created,\n"
     "accessed, attributes, seconds; or the letters of\n"
     "a settings file (STW); \"\" for the name alone"},
    {OptionId::ShowLinks, '\0', "show-links", nullptr, OptionGroup::kColumns,
     "give symbolic links the type Link, Link to\n"
     "folder or Broken link in the classic page too (the\n"
     "standards page always does)"},
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

// The settings that the words of --sort stand for: each sort key by the
// name that documents give it, and natural order by "version".
const struct {
  int32_t sort_by;
  bool natural;
} kSortWords[] = {
    {kSortByName, false},     {kSortByType, false}, {kSortByLastWrite, false},  {kSortByCreation, false},
    {kSortByLastRead, false}, {kSortBySize, false}, {kSortByAttributes, false}, {kSortByName, true},
};

std::string SortWord(int32_t sort_by, bool natural) { return natural ? "version" : SortKeyName(sort_by); }

// The words of --columns and their letters in a settings file.
const struct {
  const char* word;
  char letter;
} kColumnWords[] = {
    {"size", 'S'},     {"type", 'T'},       {"modified", 'W'}, {"created", 'C'},
    {"accessed", 'R'}, {"attributes", 'A'}, {"seconds", 'H'},
};

const char* const kTimeStyles[] = {"classic", "iso", "locale"};

template <typename Table, typename Word>
std::vector<std::string> WordsOf(const Table& table, Word word) {
  std::vector<std::string> words;
  for (const auto& row : table) words.emplace_back(word(row));
  return words;
}

std::vector<std::string> SortWords() {
  return WordsOf(kSortWords, [](const auto& row) { return SortWord(row.sort_by, row.natural); });
}
std::vector<std::string> ColumnWords() {
  return WordsOf(kColumnWords, [](const auto& row) { return row.word; });
}
std::vector<std::string> TimeStyles() {
  return WordsOf(kTimeStyles, [](const char* style) { return style; });
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
  if (setting.Encoding == SettingEncoding::kColumns) return " (the letters S T W C R A H)";
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
  for (const auto& row : kSortWords) {
    if (value != SortWord(row.sort_by, row.natural)) continue;
    lines.push_back("SortBy=" + std::to_string(row.sort_by));
    lines.push_back(std::string("NaturalOrder=") + (row.natural ? "1" : "0"));
    return std::string();
  }
  return UnknownWord("sort key", value, SortWords());
}

// The column letters of a --columns list: words separated by commas, or the
// letters of a settings file.
std::string ColumnsLine(const std::string& value, std::vector<std::string>& lines) {
  std::string letters;
  const bool as_letters = !value.empty() && value.find(',') == std::string::npos &&
                          value.find_first_not_of("STWCRAH") == std::string::npos;
  if (as_letters) {
    letters = value;
  } else {
    for (size_t start = 0; start < value.size();) {
      size_t end = value.find(',', start);
      if (end == std::string::npos) end = value.size();
      const std::string word = value.substr(start, end - start);
      start = end + 1;
      bool known = false;
      for (const auto& row : kColumnWords) {
        if (word == row.word) {
          if (letters.find(row.letter) == std::string::npos) letters += row.letter;
          known = true;
        }
      }
      if (!known) return UnknownWord("column", word, ColumnWords());
    }
  }
  // The letters in the order a settings file writes them.
  std::string ordered;
  for (const auto& row : kColumnWords) {
    if (letters.find(row.letter) != std::string::npos) ordered += row.letter;
  }
  lines.push_back("Columns=" + ordered);
  return std::string();
}

std::string TimeStyleLine(const std::string& value, std::vector<std::string>& lines) {
  for (const char* style : kTimeStyles) {
    if (value == style) {
      lines.push_back("TimeStyle=" + value);
      return std::string();
    }
  }
  return UnknownWord("time style", value, TimeStyles());
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

// Patterns of a repeatable option, joined into one mask.
struct PatternList {
  std::string Key;
  std::vector<std::string> Patterns;
};

std::string PatternLine(PatternList& list, const std::string& value, std::vector<std::string>& lines) {
  if (value.empty()) return "an empty pattern matches nothing";
  list.Patterns.push_back(value);
  // Each use repeats the whole list, so that it wins over an earlier --set
  // of the key as a later --set would.
  lines.push_back(list.Key + "=" + Joined(list.Patterns, ";"));
  return std::string();
}

std::string TextLine(const char* key, const std::string& value, std::vector<std::string>& lines) {
  if (value.find_first_of("\r\n") != std::string::npos) return "the title holds a line break";
  lines.push_back(key + ("=" + value));
  return std::string();
}

// Where the walk over the arguments stands.
struct ParseState {
  const std::vector<std::string>& Arguments;
  bool SlashHelp;
  size_t Next = 0;  // the argument after the one being read
  bool OptionsEnded = false;
  PatternList Excludes{"Exclude", {}};
  PatternList Includes{"FileMask", {}};
  ParsedCommandLine Parsed;
};

std::string ApplyOption(ParseState& state, OptionId id, const std::string& value) {
  CliOptions& options = state.Parsed.Options;
  std::vector<std::string>& lines = options.SettingLines;
  switch (id) {
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
    case OptionId::Title:
      return TextLine("Title", value, lines);
    case OptionId::HumanSizes:
      lines.push_back("HumanSizes=1");
      break;
    case OptionId::TimeStyle:
      return TimeStyleLine(value, lines);
    case OptionId::Bom:
      lines.push_back("CsvBom=1");
      break;
    case OptionId::NoBom:
      lines.push_back("CsvBom=0");
      break;
    case OptionId::Exclude:
      return PatternLine(state.Excludes, value, lines);
    case OptionId::Include:
      return PatternLine(state.Includes, value, lines);
    case OptionId::NoHidden:
      lines.push_back("HideHidden=1");
      break;
    case OptionId::Hidden:
      lines.push_back("HideHidden=0");
      break;
    case OptionId::ShowLinks:
      lines.push_back("ShowLinks=1");
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
    case OptionId::Threads:
      return CountValue("--threads", value, options.Threads);
    case OptionId::Sort:
      return SortLines(value, lines);
    case OptionId::Reverse:
      lines.push_back("DescOrder=1");
      break;
    case OptionId::Columns:
      return ColumnsLine(value, lines);
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
  }
  return std::string();
}

std::string CheckCombination(const CliOptions& options) {
  // One folder's totals walk the tree below it, as -R does.
  const bool walks = options.Recursive || options.Sizes.value_or(false);
  for (const auto& [set, name, needs] :
       {std::tuple<bool, const char*, bool>{options.MaxDepth != 0, "--max-depth", walks},
        {options.OneFileSystem, "--one-file-system", walks},
        {options.Follow, "--follow", walks},
        {options.OutputDir.has_value(), "--output-dir", options.Recursive},
        {options.LinkIndex, "--link-index", options.Recursive},
        {options.Threads != 0, "--threads", walks}}) {
    if (set && !needs) return std::string(name) + " walks a tree: give -R (or --du) too";
  }
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
  const std::string error = ApplyOption(state, definition.Id, value.value_or(""));
  if (!error.empty()) Fail(state, error);
}

void AddFolder(ParseState& state, const std::string& argument) {
  CliOptions& options = state.Parsed.Options;
  if (options.Folder) {
    return Fail(state, "only one FOLDER may be given (\"" + *options.Folder + "\" and \"" + argument + "\")");
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
  std::string help = definition.Help;
  const size_t forms = help.find("@FORMS@");
  if (forms != std::string::npos) help.replace(forms, 7, Joined(FormNames(), ", "));
  for (const std::string& name : FormNames()) {
    const std::string extensions = "@" + name + " extensions@";
    const size_t at = help.find(extensions);
    if (at != std::string::npos)
      help.replace(at, extensions.size(), Joined(FileExtensions(*FormNamed(name)), " "));
  }
  for (char c : help) {
    line += c;
    if (c == '\n') line += std::string(kHelpColumn, ' ');
  }
  return line + "\n";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool slash_help) {
  ParseState state{arguments, slash_help, 0, false, {"Exclude", {}}, {"FileMask", {}}, ParsedCommandLine()};
  while (state.Next < arguments.size() && state.Parsed.Error.empty()) {
    ReadArgument(state, arguments[state.Next++]);
  }
  if (state.Parsed.Error.empty()) state.Parsed.Error = CheckCombination(state.Parsed.Options);
  return state.Parsed;
}

std::string UsageText() {
  std::string text =
      "Usage: kestrova-cli [OPTIONS] [FOLDER]\n"
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
      "130 or 143 interrupted.\n";
  return text;
}

bool ValuesText(const std::string& name, std::string& text) {
  std::vector<std::string> values;
  if (name == "sort") {
    values = SortWords();
  } else if (name == "columns") {
    values = ColumnWords();
  } else if (name == "time-style") {
    values = TimeStyles();
  } else if (name == "format" || name == "Format") {
    values = FormNames();
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

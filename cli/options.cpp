#include "cli/options.h"

#include <cstddef>

#include "output/forms.h"
#include "settings/settings_file.h"

namespace {

enum class OptionId {
  Output,
  Settings,
  Preset,
  Set,
  IncludeParent,
  Format,
  Text,
  Null,
  PrintSettings,
  SaveSettings,
  Quiet,
  Help,
  Version,
};

struct OptionDefinition {
  OptionId Id;
  char ShortName;         // '\0' when the option has none
  const char* LongName;   // without the leading "--"
  const char* ValueName;  // nullptr for a switch
  const char* Help;
  // What follows the help text, from elsewhere (the forms' table); null for none.
  std::string (*MoreHelp)();
};

// "html, text, ...", as --format takes them.
std::string FormList() {
  std::string list;
  for (const std::string& name : FormNames()) list += (list.empty() ? "" : ", ") + name;
  return list;
}

const OptionDefinition kOptions[] = {
    {OptionId::Output, 'o', "output", "FILE",
     "the output file: HTML for .html .htm .shtml .asp,\n"
     "JSON for .json, CSV for .csv, plain text\n"
     "otherwise; \"-\" is standard output; default:\n"
     "standard output, or the settings file's",
     nullptr},
    {OptionId::Settings, 's', "settings", "FILE",
     "read a .ksv settings file; without it the\n"
     "built-in settings apply, with Columns=STW\n"
     "and SizeIn=0",
     nullptr},
    {OptionId::Preset, '\0', "preset", "NAME",
     "read the settings file NAME.ksv of the\n"
     "presets installed with the program (modern)",
     nullptr},
    {OptionId::Set, '\0', "set", "KEY=VALUE",
     "set one saved setting as a line of a settings\n"
     "file would; repeatable, the last one for a key\n"
     "wins (--set SortBy=5 --set Columns=STWCRAH)",
     nullptr},
    {OptionId::IncludeParent, '\0', "include-parent", nullptr, "list the parent entry \"..\"", nullptr},
    {OptionId::Format, '\0', "format", "FORM",
     "the form of the listing, whatever the output\n"
     "file's extension: ",
     FormList},
    {OptionId::Text, '\0', "text", nullptr, "the same as --format text", nullptr},
    {OptionId::Null, '\0', "null", nullptr,
     "with --format names: end each name with a NUL\n"
     "rather than a line end, the name exactly as it\n"
     "is, for xargs -0",
     nullptr},
    {OptionId::PrintSettings, '\0', "print-settings", nullptr,
     "print the effective settings as a settings\n"
     "file and exit",
     nullptr},
    {OptionId::SaveSettings, '\0', "save-settings", "FILE",
     "write the effective settings to FILE, then go on", nullptr},
    {OptionId::Quiet, 'q', "quiet", nullptr, "no summary line, no progress line", nullptr},
    {OptionId::Help, 'h', "help", nullptr, "show this text and exit", nullptr},
    {OptionId::Version, 'V', "version", nullptr, "show the version and exit", nullptr},
};

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

std::string CheckSetting(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || equals == 0) return "--set needs KEY=VALUE, not \"" + line + "\"";
  const std::string key = line.substr(0, equals);
  switch (CheckSettingLine(line)) {
    case SettingLineCheck::kValid:
      return std::string();
    case SettingLineCheck::kUnknownKey:
      return "unknown setting key: " + key;
    case SettingLineCheck::kInvalidValue:
      break;
  }
  return "invalid value for " + key + ": " + line.substr(equals + 1);
}

std::string ApplyOption(CliOptions& options, OptionId id, const std::string& value) {
  switch (id) {
    case OptionId::Output:
      options.Output = value;
      break;
    case OptionId::Settings:
      options.SettingsFile = value;
      break;
    case OptionId::Preset:
      options.Preset = value;
      break;
    case OptionId::Set:
      options.SettingLines.push_back(value);
      return CheckSetting(value);
    case OptionId::IncludeParent:
      options.IncludeParent = true;
      break;
    case OptionId::Format:
      options.Format = value;
      if (FormNamed(value) == nullptr) return "unknown form " + value + " (" + FormList() + ")";
      break;
    case OptionId::Text:
      options.Format = "text";
      break;
    case OptionId::Null:
      options.NullEnds = true;
      break;
    case OptionId::PrintSettings:
      options.PrintSettings = true;
      break;
    case OptionId::SaveSettings:
      options.SaveSettingsFile = value;
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
  if (options.Output && options.Output->empty()) return "the output file name is empty";
  if (options.SettingsFile && options.SettingsFile->empty()) return "the settings file name is empty";
  if (options.SettingsFile && options.Preset) return "-s and --preset both name a settings file";
  if (options.Preset &&
      (options.Preset->empty() || options.Preset->find_first_of("/\\:") != std::string::npos)) {
    return "a preset is named by its name alone, not \"" + *options.Preset + "\"";
  }
  return std::string();
}

// Where the walk over the arguments stands.
struct ParseState {
  const std::vector<std::string>& Arguments;
  bool SlashHelp;
  size_t Next = 0;  // the argument after the one being read
  bool OptionsEnded = false;
  ParsedCommandLine Parsed;
};

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
  const std::string error = ApplyOption(state.Parsed.Options, definition.Id, value.value_or(""));
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

}  // namespace

bool IsStandardOutputName(const std::string& name) { return name == "-"; }

bool EndsWithSeparator(const std::string& name, char separator) {
  return !name.empty() && (name.back() == '/' || name.back() == separator);
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments, bool slash_help) {
  ParseState state{arguments, slash_help, 0, false, ParsedCommandLine()};
  while (state.Next < arguments.size() && state.Parsed.Error.empty()) {
    ReadArgument(state, arguments[state.Next++]);
  }
  if (state.Parsed.Error.empty()) state.Parsed.Error = CheckCombination(state.Parsed.Options);
  return state.Parsed;
}

std::string UsageText() {
  std::string text =
      "Usage: kestrova-cli [OPTIONS] [FOLDER]\n"
      "Writes a listing of one folder: an HTML page, a plain-text list, or JSON,\n"
      "CSV or the names alone for programs.\n"
      "\n"
      "  FOLDER                    the folder to list; default: the current\n"
      "                            folder, or the settings file's folder\n";
  for (const OptionDefinition& definition : kOptions) {
    std::string line = "  ";
    line += definition.ShortName != '\0' ? std::string("-") + definition.ShortName + ", " : "    ";
    line += std::string("--") + definition.LongName;
    if (definition.ValueName != nullptr) line += std::string(" ") + definition.ValueName;
    const size_t help_column = 28;
    if (line.size() < help_column) {
      line.append(help_column - line.size(), ' ');
    } else {
      line += "\n" + std::string(help_column, ' ');
    }
    std::string help = definition.Help;
    if (definition.MoreHelp != nullptr) help += definition.MoreHelp();
    for (char c : help) {
      line += c;
      if (c == '\n') line += std::string(help_column, ' ');
    }
    text += line + "\n";
  }
  text +=
      "\n"
      "Relative FOLDER and FILE names are made absolute against the current folder.\n"
      "Exit status: 0 written; 1 the folder could not be read or the output or a\n"
      "settings file could not be written; 2 a bad command line, an unreadable\n"
      "settings file or a failed folder check; 130 or 143 interrupted.\n";
  return text;
}

std::string VersionText() {
  return "kestrova-cli (Kestrova) 1.51\n"
         "License: MIT. This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

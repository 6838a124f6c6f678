#include "cli/options.h"

#include <cstddef>

namespace {

enum class OptionId {
  Output,
  Settings,
  Set,
  IncludeParent,
  Text,
  PrintSettings,
  SaveSettings,
  Quiet,
  Help,
  Version,
};

struct OptionDefinition {
  OptionId Id;
  const char* ShortName;  // "" when the option has none
  const char* LongName;
  const char* ValueName;  // nullptr for a switch
  const char* Help;
};

const OptionDefinition kOptions[] = {
    {OptionId::Output, "-o", "--output", "FILE",
     "the output file: HTML for .html .htm .shtml .asp,\n"
     "plain text otherwise; \"-\" writes to standard\n"
     "output (HTML unless --text)"},
    {OptionId::Settings, "-s", "--settings", "FILE",
     "read a .ksv settings file; without it the\n"
     "built-in settings of a fresh installation apply"},
    {OptionId::Set, "", "--set", "KEY=VALUE",
     "set one saved setting as a line of a settings\n"
     "file would; repeatable, the last one for a key\n"
     "wins (--set SortBy=5 --set Columns=STWCRAH)"},
    {OptionId::IncludeParent, "", "--include-parent", nullptr, "list the parent entry \"..\""},
    {OptionId::Text, "", "--text", nullptr, "with -o -, write the plain-text document"},
    {OptionId::PrintSettings, "", "--print-settings", nullptr,
     "print the effective settings as a settings\n"
     "file and exit"},
    {OptionId::SaveSettings, "", "--save-settings", "FILE",
     "write the effective settings to FILE, then go on"},
    {OptionId::Quiet, "-q", "--quiet", nullptr, "no summary line, no progress line"},
    {OptionId::Help, "-h", "--help", nullptr, "show this text and exit"},
    {OptionId::Version, "-V", "--version", nullptr, "show the version and exit"},
};

const OptionDefinition* FindOption(const std::string& name) {
  for (const OptionDefinition& definition : kOptions) {
    if (name == definition.LongName || (definition.ShortName[0] != '\0' && name == definition.ShortName)) {
      return &definition;
    }
  }
  return nullptr;
}

void ApplyOption(CliOptions& options, OptionId id, const std::string& value) {
  switch (id) {
    case OptionId::Output: options.Output = value; break;
    case OptionId::Settings: options.SettingsFile = value; break;
    case OptionId::Set: options.SettingLines.push_back(value); break;
    case OptionId::IncludeParent: options.IncludeParent = true; break;
    case OptionId::Text: options.Text = true; break;
    case OptionId::PrintSettings: options.PrintSettings = true; break;
    case OptionId::SaveSettings: options.SaveSettingsFile = value; break;
    case OptionId::Quiet: options.Quiet = true; break;
    case OptionId::Help: options.Help = true; break;
    case OptionId::Version: options.Version = true; break;
  }
}

// A --set value must name a key; the settings reader decides whether the key
// exists and how its value reads.
bool IsSettingLine(const std::string& line) {
  size_t equals = line.find('=');
  return equals != std::string::npos && equals > 0;
}

std::string CheckCombination(const CliOptions& options) {
  if (options.Text && !WritesToStandardOutput(options)) {
    return "--text applies only to -o - (a file's extension chooses its form)";
  }
  if (options.Output && options.Output->empty()) return "the output file name is empty";
  return std::string();
}

}  // namespace

bool WritesToStandardOutput(const CliOptions& options) {
  return options.Output && *options.Output == "-";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  CliOptions& options = parsed.Options;
  bool options_ended = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    bool is_option = !options_ended && argument.size() > 1 && argument[0] == '-';
    if (!is_option) {
      if (options.Folder) {
        parsed.Error = "only one FOLDER may be given (\"" + *options.Folder + "\" and \"" +
                       argument + "\")";
        return parsed;
      }
      options.Folder = argument;
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    std::string name = argument;
    std::optional<std::string> attached;
    size_t equals = argument.find('=');
    if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      attached = argument.substr(equals + 1);
    }
    const OptionDefinition* definition = FindOption(name);
    if (definition == nullptr) {
      parsed.Error = "unknown option " + name;
      return parsed;
    }
    std::string value;
    if (definition->ValueName != nullptr) {
      if (attached) {
        value = *attached;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        parsed.Error = "option " + name + " needs " + definition->ValueName;
        return parsed;
      }
    } else if (attached) {
      parsed.Error = "option " + name + " takes no value";
      return parsed;
    }
    if (definition->Id == OptionId::Set && !IsSettingLine(value)) {
      parsed.Error = "--set needs KEY=VALUE, not \"" + value + "\"";
      return parsed;
    }
    ApplyOption(options, definition->Id, value);
  }
  parsed.Error = CheckCombination(options);
  return parsed;
}

std::string UsageText() {
  std::string text =
      "Usage: kestrova-cli [OPTIONS] [FOLDER]\n"
      "Writes a listing of one folder to a file: an HTML page or a plain-text list.\n"
      "\n"
      "  FOLDER                    the folder to list; default: the one the\n"
      "                            settings name\n";
  for (const OptionDefinition& definition : kOptions) {
    std::string names = definition.ShortName[0] != '\0' ? std::string(definition.ShortName) + ", " : "    ";
    names += definition.LongName;
    if (definition.ValueName != nullptr) names += std::string(" ") + definition.ValueName;
    std::string line = "  " + names;
    const size_t help_column = 28;
    if (line.size() < help_column) {
      line.append(help_column - line.size(), ' ');
    } else {
      line += "\n" + std::string(help_column, ' ');
    }
    for (const char* help = definition.Help; *help != '\0'; ++help) {
      line += *help;
      if (*help == '\n') line += std::string(help_column, ' ');
    }
    text += line + "\n";
  }
  text +=
      "\n"
      "Relative FOLDER and FILE names are made absolute against the current folder.\n"
      "Exit status: 0 written; 1 the output or a settings file could not be written;\n"
      "2 a bad command line, an unreadable settings file or a failed folder check.\n";
  return text;
}

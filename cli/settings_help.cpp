#include "cli/settings_help.h"

#include <vector>

#include "output/forms.h"
#include "settings/columns.h"
#include "settings/setting_table.h"
#include "settings/settings_file.h"

namespace {

struct GroupText {
  SettingGroup group;
  const char* title;
  const char* intro;  // for the manual page; empty for none
};

const GroupText kGroups[] = {
    {SettingGroup::kPaths, "Folder, output and masks",
     "Masks follow the Windows wildcard rules: * and ?, letter case ignored, and a mask that ends in .* "
     "also matches names without a dot; \";\" separates several patterns."},
    {SettingGroup::kOrder, "Columns and order", ""},
    {SettingGroup::kPage, "Page and table", "Flags are 0 or 1; numbers are decimal."},
    {SettingGroup::kColours, "Colours",
     "Written into the classic page as they stand: an HTML colour name or value, or empty for none."},
    {SettingGroup::kCaptions, "Captions", ""},
    {SettingGroup::kWords, "Words",
     "Each of these keys is also a placeholder that the word replaces, except $File and $Folder."},
    {SettingGroup::kCustom, "Custom HTML and styles",
     "Multi-line texts: a | in the value stands for a line break."},
    {SettingGroup::kCommandLine, "The command line's own",
     "Written only where they are set, so that files of the Windows program hold none; the Windows program "
     "keeps them as they were read."},
};

// Long values are cut for the lists: a style's rules say nothing at a glance.
constexpr size_t kLongestShownValue = 24;

std::string Shown(const std::string& value) {
  if (value.empty()) return "(empty)";
  if (value.size() <= kLongestShownValue) return value;
  return value.substr(0, kLongestShownValue - 3) + "...";
}

std::string PlainRunValue(const CommonStruct& plain, const SettingDeclaration& setting) {
  const std::string key = setting.Key;
  if (key == "DirStr") return "(the current folder)";
  if (key == "OutputFile") return "- (standard output)";
  return Shown(EncodedValue(plain, setting));
}

std::string MissingValue(const SettingDeclaration& setting) {
  if (setting.Encoding == SettingEncoding::kWrittenOnly) return "(never read)";
  if (setting.Encoding == SettingEncoding::kColumns)
    return std::string(setting.ReaderDefault) + " set, the others kept";
  return Shown(setting.ReaderDefault);
}

std::string ValuesOf(const SettingDeclaration& setting) {
  if (std::string(setting.Key) == "Format") {
    std::string forms;
    for (const std::string& name : FormNames()) forms += (forms.empty() ? "" : " ") + name;
    return forms;
  }
  if (setting.Encoding == SettingEncoding::kColumns) return "letters of " + ColumnLetterList();
  return setting.Values;
}

// Words wrapped to lines of at most width bytes, each after indent.
std::string Wrapped(const std::string& text, size_t indent, size_t width) {
  std::string wrapped, line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
      wrapped += std::string(indent, ' ') + line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  if (!line.empty()) wrapped += std::string(indent, ' ') + line + "\n";
  return wrapped;
}

// Text for roff: backslashes escaped, a dot or quote that would open a line
// made harmless, hyphens as such.
std::string Roff(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\') {
      escaped += "\\e";
    } else if (c == '-') {
      escaped += "\\-";
    } else {
      escaped += c;
    }
  }
  if (!escaped.empty() && (escaped[0] == '.' || escaped[0] == '\'')) escaped = "\\&" + escaped;
  return escaped;
}

}  // namespace

const std::string& CommandLineDefaultsText() {
  static const std::string text = "Columns=STW\nSizeIn=0\nFormat=page\nBase=\nHeadCustom=\n";
  return text;
}

CommonStruct PlainRunSettings() {
  CommonStruct record;
  ApplySettingsText(record, CommandLineDefaultsText() + NormalizeSettingsBytes(DefaultSettingsText()));
  return record;
}

std::string KeysHelpText() {
  const CommonStruct plain = PlainRunSettings();
  std::string text =
      "Settings keys, for --set KEY=VALUE and for settings files (keys of --set in\n"
      "any letter case). \"plain run\": the value without -s or --preset; \"missing\":\n"
      "the value a settings file that lacks the key gives.\n";
  for (const GroupText& group : kGroups) {
    text += std::string("\n") + group.title + ":\n";
    for (const SettingDeclaration& setting : SettingDeclarations()) {
      if (setting.Group != group.group) continue;
      text += "  " + std::string(setting.Key) + "\n";
      std::string values =
          "plain run: " + PlainRunValue(plain, setting) + "; missing: " + MissingValue(setting);
      const std::string listed = ValuesOf(setting);
      if (!listed.empty()) values += "; values: " + listed;
      text += Wrapped(values, 6, 79) + Wrapped(setting.Help, 6, 79);
    }
  }
  return text;
}

std::string KeysManualText() {
  const CommonStruct plain = PlainRunSettings();
  std::string text;
  for (const GroupText& group : kGroups) {
    text += ".SS " + std::string(group.title) + "\n";
    if (*group.intro != '\0') text += Roff(group.intro) + "\n";
    // nokeep: a page that man renders as one long page has no page break
    // to keep a table from, and groff 1.22 warns about one that never comes.
    text += ".TS\nnokeep;\nlB lB lB\nlB l l.\nKey\tPlain run\tMissing key\n_\n";
    std::string meanings;
    for (const SettingDeclaration& setting : SettingDeclarations()) {
      if (setting.Group != group.group) continue;
      text += Roff(setting.Key) + "\t" + Roff(PlainRunValue(plain, setting)) + "\t" +
              Roff(MissingValue(setting)) + "\n";
      meanings += ".TP\n.B " + Roff(setting.Key) + "\n" + Roff(setting.Help) + "\n";
      const std::string listed = ValuesOf(setting);
      if (!listed.empty()) meanings += "Values: " + Roff(listed) + ".\n";
    }
    text += ".TE\n" + meanings;
  }
  return text;
}

// kestrova-cli: the listing engine driven from the command line.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "listing/entry.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "settings/settings_file.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

const char kProgramPrefix[] = "kestrova-cli: ";
const char kStandardOutputName[] = "standard output";

const char kStandardOutputLine[] = "OutputFile=-\n";
// What the command line puts on top of the built-in settings when no
// settings file is named: columns and sizes that suit a shell user.
const char kCommandLineDefaults[] = "Columns=STW\nSizeIn=0\n";

// Every line of a message goes to standard error under the program's name.
void PrintMessage(const std::string& message) {
  size_t from = 0;
  while (from < message.size()) {
    size_t end = message.find('\n', from);
    if (end == std::string::npos) end = message.size();
    std::fprintf(stderr, "%s%s\n", kProgramPrefix, message.substr(from, end - from).c_str());
    from = end + 1;
  }
}

bool NamesKey(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& line : lines) {
    if (line.compare(0, key.size() + 1, key + "=") == 0) return true;
  }
  return false;
}

// NAME.ksv among the presets beside the program, or where an installation
// under a prefix keeps them; empty with the places looked at when neither
// has it.
std::string FindPreset(const std::string& name, std::string& looked_at) {
  const std::string program_folder = FolderOf(ProgramPath());
  const std::string separator(1, FolderSeparator());
  for (const std::string& folder : {program_folder + separator + "presets",
                                    AbsolutePath(program_folder + separator + ".." + separator + "share" +
                                                 separator + "kestrova" + separator + "presets")}) {
    const std::string path = folder + separator + name + ".ksv";
    if (PathExists(path)) return path;
    looked_at += (looked_at.empty() ? "" : ", ") + folder;
  }
  return std::string();
}

// The settings file that -s or --preset names; empty for none, and false
// with a message for a preset that is not there.
bool SettingsFileOf(const CliOptions& options, std::string& path, std::string& message) {
  path.clear();
  if (options.SettingsFile) path = *options.SettingsFile;
  if (!options.Preset) return true;
  std::string looked_at;
  path = FindPreset(*options.Preset, looked_at);
  if (path.empty()) message = "No preset named " + *options.Preset + " in: " + looked_at;
  return !path.empty();
}

// The settings file's text, or the built-in text under the command line's
// defaults, with the --set lines put first: the reader takes a key's first
// line, so each --set reads exactly as that line of a file would, and of two
// --set lines of one key the later one wins. A settings file that names no
// output file writes to standard output, one that names no folder lists the
// current folder.
bool ReadSettings(CommonStruct& record, const CliOptions& options, std::string& message) {
  std::string path;
  if (!SettingsFileOf(options, path, message)) return false;
  std::string lines;
  for (auto line = options.SettingLines.rbegin(); line != options.SettingLines.rend(); ++line) {
    lines += *line + "\n";
  }
  std::string text = NormalizeSettingsBytes(lines);
  if (!path.empty()) {
    std::string reason;
    switch (ReadSettingsFile(record, path, reason)) {
      case FileReadStatus::kRead:
        break;
      case FileReadStatus::kCannotRead:
        message = "Cannot read settings file: " + path + " (" + reason + ")";
        return false;
      case FileReadStatus::kNotRegularFile:
      case FileReadStatus::kTooLarge:
        message = "not a settings file: " + path;
        return false;
    }
    text += record.SettingsText + "\n" + kStandardOutputLine;
  } else {
    text += kStandardOutputLine + std::string(kCommandLineDefaults) +
            NormalizeSettingsBytes(DefaultSettingsText());
  }
  ApplySettingsText(record, text);
  std::string folder;
  const bool names_folder =
      path.empty() ? NamesKey(options.SettingLines, "DirStr") : FindValue(text, "DirStr", folder);
  if (!names_folder) record.DirStr = AbsolutePath(".");
  return true;
}

bool WritesToStandardOutput(const CommonStruct& record) { return IsStandardOutputName(record.OutputFile); }

// The form that the name alone gives: its extension's for a file, the one
// that Output names on standard output.
const OutputForm& ImpliedForm(const CommonStruct& record) {
  return WritesToStandardOutput(record) ? ClassicFormOf(record) : FormForFileName(record.OutputFile);
}

// The form that the settings give, as ChooseForm left them: Format where
// the name alone would not give it.
const OutputForm& ListingForm(const CommonStruct& record) {
  const OutputForm* named = FormNamed(record.Format);
  return named != nullptr ? *named : ImpliedForm(record);
}

// The form of the listing: --format, else the settings' Format unless an
// output named on the command line asks for a form of other extensions,
// else what the output's name gives. Output and Format are set so that the
// settings, printed or saved, choose that form again: Format only where the
// name alone would not.
void ChooseForm(CommonStruct& record, const CliOptions& options) {
  const OutputForm& implied = ImpliedForm(record);
  const OutputForm* form = &implied;
  const OutputForm* saved = FormNamed(record.Format);
  if (options.Format) {
    form = FormNamed(*options.Format);
  } else if (saved != nullptr && (!options.Output || saved->ExtensionsOf == implied.ExtensionsOf)) {
    form = saved;
  }
  record.Output = form->ExtensionsOf == FormCode::kHtml ? kOutputHtml : kOutputText;
  record.Format = form == &ImpliedForm(record) ? "" : form->Name;
}

// What the window's collection does with its edits, with the command line's
// folder and output file in place of the edits' texts. False with a message
// when the output names a folder.
bool ApplyCommandLine(CommonStruct& record, const CliOptions& options, std::string& message) {
  // An empty FOLDER stays empty, to be refused, rather than naming the
  // current folder.
  if (options.Folder) record.DirStr = options.Folder->empty() ? "" : AbsolutePath(*options.Folder);
  if (options.IncludeParent) record.IncludeParent = true;
  if (options.Output) record.OutputFile = *options.Output;
  if (!WritesToStandardOutput(record)) {
    if (EndsWithSeparator(record.OutputFile, FolderSeparator())) {
      message = "Output is a folder name: " + record.OutputFile;
      return false;
    }
    if (options.Output) record.OutputFile = AbsolutePath(record.OutputFile);
    record.OutputFolder = FolderOf(record.OutputFile);
    record.OutputName = FileNameOf(record.OutputFile);
  }
  ChooseForm(record, options);
  const OutputForm& form = ListingForm(record);
  if (options.NullEnds && form.AppendNullEndedRow == nullptr) {
    message = std::string("--null is for the names form (--format names), not for ") + form.Name;
    return false;
  }
  return true;
}

// One message naming every failed check, source first, in the program's own
// words; then a hint for each path that came from the settings rather than
// the command line. Empty when both checks pass.
std::string CheckFolders(const CommonStruct& record, const CliOptions& options) {
  const FolderCheck check =
      CheckListingFolders(record.DirStr, record.OutputFolder, !WritesToStandardOutput(record));
  std::string message = FolderCheckMessage(check, {"\n", "\n", true});
  if (check.Source != SourceFolderState::kFound && !options.Folder) {
    message += "(the folder \"" + record.DirStr + "\" comes from the settings; name one as FOLDER)\n";
  }
  if (check.OutputMissing && !options.Output) {
    message +=
        "(the output file \"" + record.OutputFile + "\" comes from the settings; name one with -o FILE)\n";
  }
  return message;
}

std::string WriteFailureText(const std::string& path, const std::string& reason) {
  return (PathExists(path) ? "Cannot write to: " : "Cannot create: ") + path + " (" + reason + ")";
}

bool WriteStandardOutput(const std::string& text) {
  StandardOutputSink out;
  return out.Write(text) && out.Flush();
}

// Scans, composes and writes into run, with a progress line on a terminal.
GenerateResult Generate(const CommonStruct& record, const CliOptions& options, ListingRun& run) {
  ProgressLine line(!options.Quiet && StandardErrorIsTerminal());
  ProgressFolderSource progress(SystemFolderSource(), line);
  FolderSource& source = line.Enabled() ? static_cast<FolderSource&>(progress) : SystemFolderSource();
  ListingOutput output;
  output.Form = &ListingForm(record);
  output.ToStandardOutput = WritesToStandardOutput(record);
  output.NullEnds = options.NullEnds;
  if (line.Enabled()) {
    output.Wrap = [&line](ByteSink& target, ListingRun& written, const DocumentWrite& write) {
      ProgressSink sink(target, line, RunLength(written));
      return write(sink);
    };
  }
  const GenerateResult result = GenerateListing(record, source, output, run);
  line.Finish();
  return result;
}

std::string SummaryText(const CommonStruct& record, const GenerateResult& result) {
  std::string where = WritesToStandardOutput(record) ? kStandardOutputName : record.OutputFile;
  return "Wrote " + where + ": " + CountText(result.FolderCount, "folder", "folders") + ", " +
         CountText(result.FileCount, "file", "files") + ", " +
         CountText(static_cast<uint64_t>(result.TotalBytes), "byte", "bytes");
}

// Ends the program with the listing still in memory: taking a million
// entries apart one by one costs more than the system needs to drop them.
[[noreturn]] void ExitLeavingListing(int status) { std::exit(status); }

int Run(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments, FolderSeparator() == '\\');
  if (!parsed.Error.empty()) {
    PrintMessage(parsed.Error);
    std::fputs("Try 'kestrova-cli --help' for more information.\n", stderr);
    return kExitBadInput;
  }
  const CliOptions& options = parsed.Options;
  if (options.Help) return WriteStandardOutput(UsageText()) ? kExitWritten : kExitFailed;
  if (options.Version) return WriteStandardOutput(VersionText()) ? kExitWritten : kExitFailed;

  CommonStruct record;
  std::string message;
  if (!ReadSettings(record, options, message) || !ApplyCommandLine(record, options, message)) {
    PrintMessage(message);
    return kExitBadInput;
  }
  if (options.PrintSettings) {
    return WriteStandardOutput(WithLineEnds(SerializeSettings(record), PlatformLineEnd())) ? kExitWritten
                                                                                           : kExitFailed;
  }

  message = CheckFolders(record, options);
  if (!message.empty()) {
    PrintMessage(message);
    return kExitBadInput;
  }
  std::string reason;
  if (options.SaveSettingsFile && !SaveSettings(record, *options.SaveSettingsFile, reason)) {
    PrintMessage(WriteFailureText(*options.SaveSettingsFile, reason));
    return kExitFailed;
  }
  // The program ends below without taking the run apart.
  ListingRun run;
  const GenerateResult result = Generate(record, options, run);
  if (result.Status == GenerateStatus::kCannotReadFolder) {
    PrintMessage("Cannot read folder: " + record.DirStr + " (" + result.Reason + ")");
    ExitLeavingListing(kExitFailed);
  }
  if (result.Status == GenerateStatus::kTextTooLong) {
    PrintMessage(TextTooLongMessage(result.Reason));
    ExitLeavingListing(kExitBadInput);
  }
  if (result.Status == GenerateStatus::kCannotWrite) {
    PrintMessage(WritesToStandardOutput(record)
                     ? std::string("Cannot write to: ") + kStandardOutputName + " (" + result.Reason + ")"
                     : WriteFailureText(record.OutputFile, result.Reason));
    ExitLeavingListing(kExitFailed);
  }
  if (!options.Quiet) PrintMessage(SummaryText(record, result));
  ExitLeavingListing(kExitWritten);
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStandardOutput();
  InstallInterruptCleanup();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    PrintMessage("Not enough memory");
  } catch (const std::length_error&) {
    PrintMessage("Not enough memory");
  }
  return kExitFailed;
}

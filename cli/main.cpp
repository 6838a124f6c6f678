// kestrova-cli: the listing engine driven from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "output/generate.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "settings/settings_file.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitBadInput = 2;

const char kVersionText[] = "Kestrova 1.51";
const char kStandardOutputName[] = "standard output";

void PrintLine(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

// The settings as a settings file and the --set lines give them; false with
// a message when the file cannot be read or a key is unknown.
bool ReadSettings(CommonStruct& record, const CliOptions& options, std::string& message) {
  if (options.SettingsFile) {
    std::string reason;
    switch (LoadSettings(record, *options.SettingsFile, reason)) {
      case FileReadStatus::kRead:
        break;
      case FileReadStatus::kCannotRead:
        message = "Cannot read settings file: " + *options.SettingsFile + " (" + reason + ")";
        return false;
      case FileReadStatus::kNotRegularFile:
      case FileReadStatus::kTooLarge:
        message = "not a settings file: " + *options.SettingsFile;
        return false;
    }
  } else {
    ApplySettingsText(record, NormalizeSettingsBytes(DefaultSettingsText()));
  }
  for (const std::string& line : options.SettingLines) {
    std::string unknown_key;
    if (!ApplySettingLine(record, line, unknown_key)) {
      message = "Unknown setting key: " + unknown_key;
      return false;
    }
  }
  return true;
}

// What the window's collection does with its edits, with the command line's
// folder and output file in place of the edits' texts.
void ApplyCommandLine(CommonStruct& record, const CliOptions& options) {
  // An empty FOLDER stays empty, to be refused, rather than naming the
  // current folder.
  if (options.Folder) record.DirStr = options.Folder->empty() ? "" : AbsolutePath(*options.Folder);
  if (options.IncludeParent) record.IncludeParent = true;
  if (WritesToStandardOutput(options)) {
    record.Output = options.Text ? kOutputText : kOutputHtml;
    return;
  }
  if (options.Output) record.OutputFile = AbsolutePath(*options.Output);
  record.OutputFolder = FolderOf(record.OutputFile);
  record.OutputName = FileNameOf(record.OutputFile);
  record.Output = IsHtmlFileName(record.OutputFile) ? kOutputHtml : kOutputText;
}

// One message naming every failed check, source first, in the program's own
// words; then a hint for each path that came from the settings rather than
// the command line. Empty when both checks pass.
std::string CheckFolders(const CommonStruct& record, const CliOptions& options) {
  std::string message;
  bool source_failed = true;
  if (record.DirStr.empty()) {
    message = "Choose source directory.\n";
  } else if (!IsExistingFolder(record.DirStr)) {
    message = "Source directory must exist.\n";
  } else {
    source_failed = false;
  }
  bool output_failed = !WritesToStandardOutput(options) && !IsExistingFolder(record.OutputFolder);
  if (output_failed) {
    message += "Output directory - " + record.OutputFolder + " doesn't exist.\n";
  }
  if (source_failed && !options.Folder) {
    message += "(the folder \"" + record.DirStr + "\" comes from the settings; name one as FOLDER)\n";
  }
  if (output_failed && !options.Output) {
    message += "(the output file \"" + record.OutputFile +
               "\" comes from the settings; name one with -o FILE)\n";
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

// Scans and writes; the message names what failed.
GenerateResult Generate(CommonStruct& record, const CliOptions& options) {
  FolderSource& system = SystemFolderSource();
  ProgressFolderSource progress(system);
  bool show_progress = !options.Quiet && StandardErrorIsTerminal();
  FolderSource& source = show_progress ? static_cast<FolderSource&>(progress) : system;
  if (!WritesToStandardOutput(options)) {
    GenerateResult result = GenerateListing(record, source);
    progress.Finish();
    return result;
  }
  GenerateResult result;
  const bool read = ComposeListing(record, source, result.Reason);
  progress.Finish();
  if (!read) {
    result.Status = GenerateStatus::kCannotReadFolder;
    return result;
  }
  StandardOutputSink out;
  if (!WriteListing(record, out) || !out.Flush()) {
    result.Status = GenerateStatus::kCannotWrite;
    result.Reason = std::strerror(errno);
  }
  return result;
}

std::string SummaryText(const CommonStruct& record, const CliOptions& options) {
  std::string where = WritesToStandardOutput(options) ? kStandardOutputName : record.OutputFile;
  return "Wrote " + where + ": " + record.FolderCountText + " folders, " +
         record.FileCountText + " files, " + record.TotalBytesText + " bytes";
}

// Ends the program with the listing still in memory: taking a million
// entries apart one by one costs more than the system needs to drop them.
[[noreturn]] void ExitLeavingListing(int status) {
  std::exit(status);
}

int Run(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.Error.empty()) {
    PrintLine("kestrova-cli: " + parsed.Error);
    PrintLine("Try 'kestrova-cli --help'.");
    return kExitBadInput;
  }
  const CliOptions& options = parsed.Options;
  if (options.Help) return WriteStandardOutput(UsageText()) ? kExitWritten : kExitWriteFailed;
  if (options.Version) {
    return WriteStandardOutput(std::string(kVersionText) + "\n") ? kExitWritten
                                                                  : kExitWriteFailed;
  }

  CommonStruct record;
  std::string message;
  if (!ReadSettings(record, options, message)) {
    PrintLine(message);
    return kExitBadInput;
  }
  ApplyCommandLine(record, options);
  if (options.PrintSettings) {
    return WriteStandardOutput(SerializeSettings(record)) ? kExitWritten : kExitWriteFailed;
  }

  message = CheckFolders(record, options);
  if (!message.empty()) {
    std::fputs(message.c_str(), stderr);
    return kExitBadInput;
  }
  std::string reason;
  if (options.SaveSettingsFile && !SaveSettings(record, *options.SaveSettingsFile, reason)) {
    PrintLine(WriteFailureText(*options.SaveSettingsFile, reason));
    return kExitWriteFailed;
  }
  const GenerateResult result = Generate(record, options);
  if (result.Status == GenerateStatus::kCannotReadFolder) {
    PrintLine("Cannot read folder: " + record.DirStr + " (" + result.Reason + ")");
    ExitLeavingListing(kExitWriteFailed);
  }
  if (result.Status == GenerateStatus::kCannotWrite) {
    PrintLine(WritesToStandardOutput(options)
                  ? std::string("Cannot write to: ") + kStandardOutputName + " (" + result.Reason + ")"
                  : WriteFailureText(record.OutputFile, result.Reason));
    ExitLeavingListing(kExitWriteFailed);
  }
  if (!options.Quiet) PrintLine(SummaryText(record, options));
  ExitLeavingListing(kExitWritten);
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStandardOutput();
  InstallInterruptCleanup();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    PrintLine("Not enough memory");
  } catch (const std::length_error&) {
    PrintLine("Not enough memory");
  }
  return kExitWriteFailed;
}

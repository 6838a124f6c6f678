// kestrova-cli: the listing engine driven from the command line.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/compare_run.h"
#include "cli/duplicates_run.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "cli/settings_help.h"
#include "cli/verify_run.h"
#include "listing/digest_cache.h"
#include "listing/entry.h"
#include "listing/replaced_names.h"
#include "output/escapes.h"
#include "output/folder_check.h"
#include "output/generate.h"
#include "output/listing_readers.h"
#include "output/request.h"
#include "output/search_rows.h"
#include "output/tree_page.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "settings/setting_table.h"
#include "settings/settings_file.h"
#include "tree/catalog.h"
#include "tree/document.h"
#include "tree/folder.h"
#include "tree/git_work_tree.h"
#include "tree/listing_disk.h"
#include "tree/pages.h"
#include "tree/watch.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

const char kProgramPrefix[] = "kestrova-cli: ";
const char kStandardOutputName[] = "standard output";

const char kStandardOutputLine[] = "OutputFile=-\n";

// A name as a message shows it: its control bytes escaped, so that it can
// neither forge a line of the message nor steer the terminal.
std::string Shown(const std::string& name) { return ControlEscaped(name); }

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

// The folders that --preset looks in, in order: beside the program, and
// where an installation under a prefix keeps them.
std::vector<std::string> PresetFolders() {
  const std::string program_folder = FolderOf(ProgramPath());
  const std::string separator(1, FolderSeparator());
  return {program_folder + separator + "presets",
          AbsolutePath(program_folder + separator + ".." + separator + "share" + separator + "kestrova" +
                       separator + "presets")};
}

// NAME.ksv of the first preset folder that has it; empty when none has.
std::string FindPreset(const std::string& name) {
  for (const std::string& folder : PresetFolders()) {
    const std::string path = JoinPath(folder, name + ".ksv");
    if (PathExists(path)) return path;
  }
  return std::string();
}

// The names of the presets in a folder, added to names once each.
void AddPresetNames(const std::string& folder, std::vector<std::string>& names) {
  std::string failure;
  SystemFolderSource().Enumerate(
      JoinPath(folder, "*.ksv"),
      [&names](const FolderRecord& record) {
        const std::string name = StemOf(record.cFileName);
        if (!IsFolder(record.dwFileAttributes) &&
            std::find(names.begin(), names.end(), name) == names.end()) {
          names.push_back(name);
        }
      },
      failure);
}

// Why no preset of that name was found: the nearest name and the presets
// there are, in the folders that exist, or the folders looked in where none
// exists.
std::string MissingPresetText(const std::string& name) {
  std::vector<std::string> names, folders;
  for (const std::string& folder : PresetFolders()) {
    if (!IsExistingFolder(folder)) continue;
    folders.push_back(folder);
    AddPresetNames(folder, names);
  }
  std::string text = "no preset named " + Shown(name);
  if (folders.empty()) {
    const std::vector<std::string> looked_in = PresetFolders();
    return text + ": no presets are installed (looked in " + Shown(looked_in[0]) + " and " +
           Shown(looked_in[1]) + ")";
  }
  const std::string nearest = NearestWord(name, names);
  if (!nearest.empty()) text += " (did you mean " + Shown(nearest) + "?)";
  std::sort(names.begin(), names.end());
  std::string listed, places;
  for (const std::string& each : names) listed += (listed.empty() ? "" : ", ") + Shown(each);
  for (const std::string& folder : folders) places += (places.empty() ? "" : " and ") + Shown(folder);
  return text + "; the presets are " + (listed.empty() ? std::string("none") : listed) + ", in " + places;
}

// The settings file that -s or --preset names; empty for none, and false
// with a message for a preset that is not there.
bool SettingsFileOf(const CliOptions& options, std::string& path, std::string& message) {
  path.clear();
  if (options.SettingsFile) path = *options.SettingsFile;
  if (!options.Preset) return true;
  path = FindPreset(*options.Preset);
  if (path.empty()) message = MissingPresetText(*options.Preset);
  return !path.empty();
}

// The folder's own name, as a page shows a folder the user did not type:
// "photos" for /home/u/photos and /home/u/photos/; a root, which has none,
// as itself.
std::string OwnName(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && (path.back() == '/' || path.back() == FolderSeparator())) path.pop_back();
  const std::string name = FileNameOf(path);
  return name.empty() ? folder : name;
}

// "." and "./": the current folder, which the user named without a name.
bool NamesCurrentFolder(const std::string& folder) {
  if (folder.empty() || folder[0] != '.') return false;
  for (size_t at = 1; at < folder.size(); ++at) {
    if (folder[at] != '/' && folder[at] != FolderSeparator()) return false;
  }
  return true;
}

// The settings file's text, or the built-in text under the command line's
// defaults, with the --set lines put first: the reader takes a key's first
// line, so each --set reads exactly as that line of a file would, and of two
// --set lines of one key the later one wins. A settings file that names no
// output file writes to standard output, one that names no folder lists the
// current folder. folder_shown is the folder's own name: the settings hold
// a path that the user may never have typed (--print-settings writes it
// whole), and a page shows no more of it than its name.
bool ReadSettings(CommonStruct& record, const CliOptions& options, std::string& folder_shown,
                  std::string& message) {
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
        // Read leniently, a file of other lines (a listing written over it)
        // would give the defaults without a word.
        if (!HoldsKnownSetting(record.SettingsText)) {
          PrintMessage("warning: " + Shown(path) + " holds no known setting");
        }
        break;
      case FileReadStatus::kCannotRead:
        message = "cannot read the settings file " + Shown(path) + ": " + reason;
        return false;
      case FileReadStatus::kNotRegularFile:
        message = "not a settings file: " + Shown(path) + " (not a regular file)";
        return false;
      case FileReadStatus::kTooLarge:
        message = "not a settings file: " + Shown(path) + " (larger than " +
                  std::to_string(kLargestSettingsFile >> 20) + " MiB)";
        return false;
    }
    text += record.SettingsText + "\n" + kStandardOutputLine;
  } else {
    text += kStandardOutputLine + CommandLineDefaultsText() + NormalizeSettingsBytes(DefaultSettingsText());
  }
  ApplySettingsText(record, text);
  std::string folder;
  const bool names_folder =
      path.empty() ? NamesKey(options.SettingLines, "DirStr") : FindValue(text, "DirStr", folder);
  if (!names_folder) record.DirStr = AbsolutePath(".");
  folder_shown = OwnName(record.DirStr);
  return true;
}

bool WritesToStandardOutput(const OutputRequest& request) {
  return request.Target == OutputTarget::kStandardOutput;
}

// What the command line asks of the output.
OutputChoices ChoicesOf(const CliOptions& options) {
  OutputChoices choices;
  choices.File = options.Output;
  if (options.Format) choices.Form = FormNamed(*options.Format);
  choices.Tree = options.Recursive;
  choices.NullEnds = options.NullEnds;
  choices.Totals = options.Sizes;
  for (const std::string& name : options.Checksums) choices.Checksums.push_back(*DigestNamed(name));
  return choices;
}

// "the form json", "the forms html and page": those written under the
// extension that the claiming form has.
std::string FormsUnder(const OutputForm& claiming) {
  const std::vector<std::string> names = FormsWrittenUnder(claiming);
  std::string text = names.size() == 1 ? "the form " : "the forms ";
  for (size_t at = 0; at < names.size(); ++at) {
    text += (at == 0 ? "" : at + 1 == names.size() ? " and " : ", ") + names[at];
  }
  return text;
}

// The lines after a refused output name that say where the name and the
// form came from: the pages' own name without -o (for the form meant, where
// pages are written), the settings.
std::string WhereTheNameCameFrom(const OutputRequest& request, const CliOptions& options,
                                 const OutputForm* pages_of) {
  std::string lines;
  if (pages_of != nullptr) {
    lines += "\n(without -o, the pages of -R are named " + DefaultIndexName(*pages_of) + ")";
  }
  if (!options.Output) {
    lines +=
        "\n(the output file \"" + Shown(request.Path) + "\" comes from the settings; name one with -o FILE)";
  }
  if (!options.Format && request.FormNamed) {
    lines += "\n(the form " + std::string(request.Form->Name) +
             " comes from the settings' Format; --format chooses another)";
  }
  return lines;
}

// A file whose name promises another form than the one it would hold is
// refused rather than written: a web server, a browser and every program
// take a file for what its extension says (text served as a page runs the
// markup that file names hold). A name that promises XHTML asks for a page
// where no form was chosen.
std::string ExtensionRefusalText(const RequestChoice& choice, const CliOptions& options) {
  const OutputRequest& request = choice.Request;
  const OutputForm& form = *request.Form;
  const std::string name = FileNameOf(request.Path);
  const bool chosen = request.FormNamed;
  const bool pages = request.Target == OutputTarget::kPagePerFolder;
  const std::string what = pages ? "pages" : chosen ? "file" : "page";
  const std::string why = choice.Claiming != nullptr ? " is the extension of " + FormsUnder(*choice.Claiming)
                                                     : " promises XHTML, which kestrova-cli does not write";
  std::string message = "cannot write " +
                        (chosen ? std::string(form.Name) + (pages ? " pages named " : " into ") : "") +
                        Shown(request.Path) + ": " + Shown(ExtensionOf(name)) + why + "; name the " + what +
                        (chosen ? " for the form" : "") + " (such as " +
                        Shown(StemOf(name) + UsualExtension(*choice.Meant)) + ")";
  if (choice.Claiming != nullptr) message += ", or choose one of those forms with --format";
  return message + WhereTheNameCameFrom(request, options, pages ? choice.Meant : nullptr);
}

// Why the output that the command line and the settings ask for is refused.
std::string RequestFailureText(const RequestChoice& choice, const CliOptions& options) {
  const OutputRequest& request = choice.Request;
  switch (choice.Failure) {
    case RequestFailure::kNone:
      break;
    case RequestFailure::kNameEndsInSeparator:
      return "cannot write " + Shown(request.Path) + ": the name ends in a folder separator";
    case RequestFailure::kPageNameIsAPath:
      return "with -R, -o names the file of every folder's page (such as index.html), not " +
             Shown(request.Path) + "; --output-dir puts the pages elsewhere";
    case RequestFailure::kNoNullEndedRecords:
      return std::string("--null is for the names form (--format names), not for ") + request.Form->Name;
    case RequestFailure::kExtensionOfAnotherForm:
    case RequestFailure::kExtensionOfUnwrittenForm:
      return ExtensionRefusalText(choice, options);
    case RequestFailure::kSumsOfOneAlgorithm:
      return "--format sums writes one checksum a line, as sha256sum and its peers check it: give one "
             "--checksum (a file per algorithm)";
    case RequestFailure::kPagesWithoutMark:
      // A page written into every folder replaces only a page of its own,
      // known by a mark that the form writes; a form without one could
      // replace anyone's file of the name.
      return std::string("with -R, the ") + request.Form->Name +
             " form is not written into every folder: its files carry no mark to tell them from other files "
             "of their name; --format page or html writes a page into every folder, json, csv, names or long "
             "one document of the whole tree";
  }
  return std::string();
}

// What the window's collection does with its edits, with the command line's
// folder in place of the edit's text. folder_shown is the folder's own name,
// or FOLDER as typed where a title given on the command line asks for
// $DirPath.
void ApplyCommandLine(CommonStruct& record, const CliOptions& options, std::string& folder_shown) {
  // An empty FOLDER stays empty, to be refused, rather than naming the
  // current folder.
  if (options.Folder) {
    record.DirStr = options.Folder->empty() ? "" : AbsolutePath(*options.Folder);
    const bool asks_for_path =
        NamesKey(options.SettingLines, "Title") && !NamesCurrentFolder(*options.Folder);
    folder_shown = asks_for_path ? *options.Folder : OwnName(record.DirStr);
  }
  if (options.IncludeParent) record.IncludeParent = true;
}

// A tree published page by page leaves hidden names out (.env, .htaccess,
// .git), as web servers' own indexes do, unless the command line asks for
// them. A settings file of -s keeps its HideHidden as it reads in any run
// (a file without the key shows them), so that -s with the output of
// --print-settings lists the tree the same way; a preset, the program's own,
// is a default like the built-in settings unless it names the key.
void HideHiddenInPublishedTree(CommonStruct& record, const CliOptions& options,
                               const OutputRequest& request) {
  if (request.Target != OutputTarget::kPagePerFolder) return;
  if (options.SettingsFile || NamesKey(options.SettingLines, "HideHidden")) return;
  std::string value;
  if (options.Preset && FindValue(record.SettingsText, "HideHidden", value)) return;
  record.HideHidden = true;
}

// The options for columns that the text form, a list of names alone, has
// no place for, by the settings key each sets.
struct ColumnOption {
  const char* Key;
  const char* Option;
};
constexpr ColumnOption kColumnOptions[] = {
    {"Columns", "--columns"}, {"HumanSizes", "--human-sizes"}, {"TimeStyle", "--time-style"}};

// A note naming the options of the command line that the form leaves aside
// (the text form, a list of names alone), and the form that takes them;
// empty when there are none.
std::string TextFormNote(const OutputRequest& request, const CliOptions& options) {
  const OutputForm& form = *request.Form;
  if (form.ColumnsIn == nullptr) return std::string();
  std::string ignored;
  size_t count = 0;
  for (const ColumnOption& column : kColumnOptions) {
    if (!NamesKey(options.SettingLines, column.Key)) continue;
    ignored += (count++ == 0 ? "" : ", ") + std::string(column.Option);
  }
  if (count == 0) return std::string();
  return "note: the " + std::string(form.Name) + " form lists the names alone, so " + ignored +
         (count == 1 ? " does" : " do") + " not show in its lines; --format " + form.ColumnsIn +
         " writes the names in aligned columns with them";
}

// One message naming every failed check, source first, each with its path
// and the reason; then a hint for each path that came from the settings
// rather than the command line. Empty when both checks pass.
std::string CheckFolders(const CommonStruct& record, const OutputRequest& request,
                         const CliOptions& options) {
  // Standard output and pages in every folder have no one folder to check
  // beforehand.
  const bool to_file = request.Target == OutputTarget::kFile;
  const std::string output_folder = to_file ? FolderOf(request.Path) : std::string();
  // A listing read from a file has no folder on disk to check.
  FolderCheck check = CheckListingFolders(options.From ? "." : record.DirStr,
                                          output_folder.empty() ? "." : output_folder, to_file);
  // A folder the system refuses is left to the listing or the writing, which
  // fail with the same reason as a read or write that could not be done.
  if (check.SourceStatus == FolderStatus::kRefused) check.Source = SourceFolderState::kFound;
  if (check.OutputStatus == FolderStatus::kRefused) check.OutputMissing = false;
  std::string message;
  if (check.Source == SourceFolderState::kNotChosen)
    message = "no folder to list: the folder's name is empty\n";
  if (check.Source == SourceFolderState::kMissing) {
    message = ListingFailureText(record.DirStr, FolderProblem(check.SourceStatus, check.SourceReason)) + "\n";
  }
  if (check.Source != SourceFolderState::kFound && !options.Folder) {
    message += "(the folder \"" + Shown(record.DirStr) + "\" comes from the settings; name one as FOLDER)\n";
  }
  if (check.OutputMissing) {
    message += "cannot write " + Shown(request.Path) + ": " +
               FolderProblem(check.OutputStatus, check.OutputReason) + "\n";
  }
  if (check.OutputMissing && !options.Output) {
    message +=
        "(the output file \"" + Shown(request.Path) + "\" comes from the settings; name one with -o FILE)\n";
  }
  return message;
}

std::string WriteFailureText(const std::string& path, const std::string& reason) {
  return "cannot write " + Shown(path) + ": " + reason;
}

// A folder that refused the temporary file is the cause to name, and
// writing in place is the way past it.
std::string OutputFailureText(const OutputRequest& request, const GenerateResult& result) {
  if (result.Notes.RefusedFolder.empty()) return WriteFailureText(request.Path, result.Reason);
  return "cannot create a temporary file in " + Shown(result.Notes.RefusedFolder) + ": " + result.Reason +
         "\n(--in-place writes " + Shown(request.Path) + " directly, without the whole-or-nothing guarantee)";
}

// --search writes the search file of the standards pages of a tree, which
// the other forms and a single listing have no use for: refused before
// anything is written. Empty when the request takes it.
std::string CheckSearch(const OutputRequest& request, const CliOptions& options) {
  if (!options.Search) return std::string();
  if (request.Target != OutputTarget::kPagePerFolder || !request.Form->SearchesTree) {
    return std::string("--search writes the search file of the pages of --format page, not of ") +
           request.Form->Name + (request.Target == OutputTarget::kPagePerFolder ? " pages" : " output");
  }
  // Windows takes names in any letter case for one.
  const bool one_name = request.Path == kSearchFileName ||
                        (FolderSeparator() == '\\' && LowerCaseBytes(request.Path) == kSearchFileName);
  if (one_name) {
    return "with --search, the pages cannot be named " + std::string(kSearchFileName) +
           ", the search file's name; -o names another";
  }
  return std::string();
}

// --watch rewrites files of a tree as it changes: the pages of every
// folder or a catalog, never standard output. Empty when the request fits.
std::string CheckWatch(const OutputRequest& request, const CliOptions& options) {
  if (!options.Watch) return std::string();
  if (WritesToStandardOutput(request))
    return "--watch rewrites files as the tree changes, not standard output: give -o FILE";
  if (!request.Tree || (request.Target != OutputTarget::kPagePerFolder && !request.Form->WholeTree)) {
    return std::string("--watch keeps the pages of a tree or a catalog current, not a ") +
           request.Form->Name + " document: give --format page, html or catalog";
  }
  return std::string();
}

// A listing over the settings file read or saved would be read back as
// defaults by the next -s. Empty when the output spares both.
std::string CheckOutputSparesSettings(const CommonStruct& record, const OutputRequest& request,
                                      const CliOptions& options) {
  if (WritesToStandardOutput(request)) return std::string();
  for (const std::string& settings : {record.SettingsPath, options.SaveSettingsFile.value_or("")}) {
    if (!settings.empty() && SameFile(request.Path, settings)) {
      return "the output would replace the settings file " + Shown(settings);
    }
  }
  return std::string();
}

bool WriteStandardOutput(const std::string& text) {
  StandardOutputSink out;
  return out.Write(text) && out.Flush();
}

bool IsSameFolder(const std::string& a, const std::string& b) {
  return !a.empty() && AbsolutePath(a) == AbsolutePath(b);
}

// A walk's messages, each on a line of its own below the progress line.
WalkReport ReportingAbove(ProgressLine& line) {
  return [&line](const std::string& message) {
    line.Finish();
    PrintMessage(message);
  };
}

// Which folders a walk of the tree enters, what it leaves out and adds up
// (folders' totals where the request has them). The rules of git's ignore files above FOLDER are read here;
// what cannot be read, or a FOLDER outside a work tree, is said on standard error.
WalkRules RulesOf(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                  DigestCache* cache) {
  WalkRules rules;
  rules.MaxDepth = options.MaxDepth;
  rules.OneFileSystem = options.OneFileSystem;
  rules.Follow = options.Follow;
  rules.Threads = options.Threads;
  rules.Sizes = request.Totals;
  rules.Checksums = request.Checksums;
  rules.ChecksumCache = cache;
  rules.IgnoreFileName = options.IgnoreFile.value_or("");
  rules.GitIgnore = options.GitIgnore;
  if (options.GitIgnore) {
    const GitIgnoreSetup git =
        FindGitIgnoreRules(record.DirStr, GitUserPathsFromEnvironment(), IgnoreFilesOnDisk());
    for (const std::string& warning : git.Warnings) PrintMessage("warning: cannot read " + Shown(warning));
    if (!git.InWorkTree)
      PrintMessage("note: " + Shown(record.DirStr) +
                   " is in no git work tree; --gitignore leaves nothing out");
    rules.TopRules = git.Stack;
  }
  return rules;
}

// Whether one folder is listed through a walk: for its sub-folders' totals
// or the ignore files above it.
bool ListsThroughWalk(const WalkRules& rules) {
  return rules.Sizes || rules.GitIgnore || !rules.IgnoreFileName.empty();
}

// Reads the listing in the file ("-": standard input), of the kind named or
// told from its content, into the model; false with the reason.
bool ReadListingFile(const CliOptions& options, ListingModel& model, std::string& reason) {
  std::string bytes;
  constexpr size_t kLargest = size_t{1} << 30;
  const bool read = *options.From == "-" ? ReadStandardInput(kLargest, bytes, reason)
                                         : ReadListingBytes(*options.From, bytes, reason);
  if (!read) return false;
  ListingReadOptions read_options;
  read_options.Kind = options.FromKind ? ListingKindNamed(*options.FromKind) : nullptr;
  ListingShape shape;
  if (!ReadListing(bytes, read_options, model, shape, reason)) return false;
  // A listing that does not name its folder (rclone's, or tree's of ".") is
  // shown by its file's name, or as what it came from: a page's way back to
  // the top is never empty.
  if (model.TopName.empty() || model.TopName == "." || model.TopName == "..") {
    const std::string file = *options.From == "-" ? std::string() : FileNameOf(*options.From);
    model.TopName = file.substr(0, file.find('.'));
    if (model.TopName.empty()) model.TopName = file.empty() ? "standard input" : file;
  }
  return true;
}

// Where the listings come from: the system's disk, or a listing read from a
// file (--from).
struct ListingSources {
  TreeDisk& Disk;
  FolderSource& Folders;
  DigestCache* Cache = nullptr;  // the checksums kept from earlier runs
};

// Scans, composes and writes into run, with a progress line on a terminal.
GenerateResult Generate(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                        const std::string& folder_shown, const ListingSources& sources, ListingRun& run) {
  ProgressLine line(!options.Quiet && StandardErrorIsTerminal());
  ProgressFolderSource progress(sources.Folders, line);
  FolderSource& source = line.Enabled() ? static_cast<FolderSource&>(progress) : sources.Folders;
  ListingOutput output;
  output.Request = request;
  output.FolderShown = folder_shown;
  // A rerun must not list the page it is about to replace.
  if (!WritesToStandardOutput(request)) {
    // Made absolute, so that a name from a settings file with either
    // separator is split the same way.
    const std::string file = AbsolutePath(request.Path);
    if (IsSameFolder(FolderOf(file), record.DirStr)) output.LeftOut.push_back(FileNameOf(file));
    // A page written elsewhere links from where it lies.
    output.LinkPrefix = FolderLink(FolderOf(file), AbsolutePath(record.DirStr));
  }
  if (options.InPlace) output.Method = WriteMethod::kInPlace;
  output.NullEnds = options.NullEnds;
  output.Threads = options.Threads;
  output.ChecksumCache = sources.Cache;
  if (line.Enabled()) {
    output.Wrap = [&line](ByteSink& target, ListingRun& written, const DocumentWrite& write) {
      ProgressSink sink(target, line, RunLength(written));
      return write(sink);
    };
  }
  const WalkRules rules = RulesOf(record, request, options, sources.Cache);
  if (ListsThroughWalk(rules)) {
    output.Compose = [&](const ListingPlace& place, const OutputForm& form, ListingRun& composed,
                         std::string& reason) {
      return ComposeFolder(record, place, form, rules, sources.Disk, source, ReportingAbove(line), composed,
                           reason);
    };
  }
  const GenerateResult result = GenerateListing(record, source, output, run);
  line.Finish();
  // A walk tells of the files it could not read as it lists them.
  if (!ListsThroughWalk(rules)) {
    for (const std::string& failure : ChecksumFailureTexts(record.DirStr, run.Listing)) PrintMessage(failure);
  }
  return result;
}

std::string TreeProgressText(const WalkCounts& counts, const PageCounts* pages) {
  std::string text = "folders " + GroupedNumber(counts.Listed) + " of " + GroupedNumber(counts.Found) + ", " +
                     CountText(counts.Entries, "entry", "entries");
  if (pages != nullptr) text += ", " + CountText(pages->Written, "page", "pages") + " written";
  return text;
}

// What became of the search file, after the pages' counts.
std::string SearchFileText(SearchFileState state) {
  switch (state) {
    case SearchFileState::kNone:
      break;
    case SearchFileState::kWritten:
      return "; search file written";
    case SearchFileState::kUnchanged:
      return "; search file unchanged";
    case SearchFileState::kKept:
      return "; search file kept (not written by kestrova)";
    case SearchFileState::kFailed:
      return "; search file not written";
  }
  return std::string();
}

std::string TreeSummaryText(const PagesOutcome& outcome) {
  const PageCounts& pages = outcome.Pages;
  std::string text = "Listed " + CountText(outcome.Walk.Listed, "folder", "folders") + " (" +
                     CountText(outcome.Walk.Entries, "entry", "entries") +
                     "): " + CountText(pages.Written, "page", "pages") + " written, " +
                     GroupedNumber(pages.Unchanged) + " unchanged, ";
  if (pages.Kept > 0) text += GroupedNumber(pages.Kept) + " kept (not written by kestrova), ";
  text += GroupedNumber(outcome.Walk.Failed) + " failed";
  return text + SearchFileText(outcome.Search);
}

std::string SummaryText(const OutputRequest& request, const GenerateResult& result) {
  std::string where = WritesToStandardOutput(request) ? kStandardOutputName : Shown(request.Path);
  return "Wrote " + where + ": " + CountText(result.FolderCount, "folder", "folders") + ", " +
         CountText(result.FileCount, "file", "files") + ", " +
         CountText(static_cast<uint64_t>(result.TotalBytes), "byte", "bytes");
}

std::string TopShown(const CommonStruct& record, const std::string& folder_shown) {
  return folder_shown.empty() ? record.DirStr : folder_shown;
}

// Whether two names in one folder name one file: in any letter case on
// Windows.
bool SameName(const std::string& a, const std::string& b) {
  return a == b || (FolderSeparator() == '\\' && LowerCaseBytes(a) == LowerCaseBytes(b));
}

// The names of the ignore files whose change changes what lies below them.
std::vector<std::string> RuleFilesOf(const WalkRules& rules) {
  std::vector<std::string> names;
  if (rules.GitIgnore) names.push_back(".gitignore");
  if (!rules.IgnoreFileName.empty()) names.push_back(rules.IgnoreFileName);
  return names;
}

// Keeps what round writes current as the tree changes (--watch), after a
// first round of the whole tree; a line for each round that wrote. Ends
// only when the watch or the top folder fails: by a signal otherwise.
int WatchTree(const CommonStruct& record, const CliOptions& options, WalkRules& rules, TreeMemory& memory,
              const std::function<bool(const std::string&, const std::string&)>& is_own,
              const std::function<RoundOutcome()>& round, bool one_file) {
  std::string reason;
  const std::unique_ptr<TreeWatch> watch = MakeTreeWatch(record.DirStr, reason);
  if (watch == nullptr) {
    PrintMessage("cannot watch " + Shown(record.DirStr) + ": " + reason);
    return kExitFailed;
  }
  rules.Memory = &memory;
  WatchSetup setup;
  setup.Top = record.DirStr;
  setup.IsOwnFile = is_own;
  setup.RuleFiles = RuleFilesOf(rules);
  bool top_failed = false, first = true;
  uint64_t shown = 0;
  WatchHooks hooks;
  hooks.Round = [&](bool) {
    RoundOutcome outcome = round();
    top_failed = !outcome.TopFailure.empty();
    if (first && !top_failed && !options.Quiet) {
      PrintMessage("watching " + CountText(memory.FolderCount(), "folder", "folders") +
                   " for changes; Ctrl-C stops");
    }
    first = false;
    return outcome;
  };
  hooks.Say = PrintMessage;
  hooks.Rounded = [&](const WatchRound& done) {
    if (options.Quiet || done.Outcome.Written == 0) return;
    const std::string changed =
        done.Whole ? "every folder listed again" : CountText(done.Changed, "folder", "folders") + " changed";
    const std::string written =
        one_file ? "catalog written" : CountText(done.Outcome.Written, "page", "pages") + " written";
    PrintMessage("round " + std::to_string(++shown) + ": " + changed + ", " + written);
  };
  const std::string ended = KeepTreeCurrent(*watch, memory, setup, hooks);
  if (!ended.empty() && !top_failed) PrintMessage(ended);
  return kExitFailed;
}

// Says what a tree of pages came to; exit 1 when a folder or a page failed.
// A file kept because this program did not write it is a note, not a
// failure.
int FinishTreePages(const CommonStruct& record, const CliOptions& options, const PagesOutcome& outcome) {
  if (!outcome.Refusal.empty()) {
    PrintMessage(outcome.Refusal);
    return kExitFailed;
  }
  if (!outcome.TopFailure.empty()) PrintMessage(ListingFailureText(record.DirStr, outcome.TopFailure));
  if (!options.Quiet || outcome.Walk.Failed > 0) PrintMessage(TreeSummaryText(outcome));
  return outcome.Walk.Failed > 0 ? kExitFailed : kExitWritten;
}

// Every folder's page of the tree, with a progress line on a terminal and
// the counts at the end; with --watch, kept current.
int RunTreePages(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                 const std::string& folder_shown, const ListingSources& sources) {
  PageOptions pages;
  pages.IndexName = request.Path;
  pages.LinkIndex = options.LinkIndex;
  pages.TopShown = TopShown(record, folder_shown);
  if (options.InPlace) pages.Method = WriteMethod::kInPlace;
  if (options.OutputDir) pages.OutputDir = AbsolutePath(*options.OutputDir);
  // A listing read from a file is written onto the system's disk; its files
  // are not at hand, and lie where the pages are published unless a base
  // URL says where.
  if (options.From) {
    pages.PagesDisk = &SystemTreeDisk();
    pages.FileLinks = PageFileLinks::kBesidePage;
  }
  if (options.BaseUrl) {
    pages.FileLinks = PageFileLinks::kBelowUrl;
    pages.FilesUrl = *options.BaseUrl;
    if (pages.FilesUrl.back() != '/') pages.FilesUrl += '/';
  }
  if (options.Search) pages.SearchFile = kSearchFileName;
  FileIdentity settings_file;
  if (!record.SettingsPath.empty() && IdentifyFile(record.SettingsPath, settings_file))
    pages.Protected.push_back(settings_file);
  WalkRules rules = RulesOf(record, request, options, sources.Cache);
  rules.LeavesRepositoriesOut = true;
  const auto write = [&]() {
    ProgressLine line(!options.Quiet && StandardErrorIsTerminal());
    const PagesOutcome outcome =
        WriteTreePages(record, *request.Form, rules, pages, sources.Disk, sources.Folders,
                       ReportingAbove(line), [&line](const WalkCounts& walk, const PageCounts& written) {
                         line.Update(TreeProgressText(walk, &written));
                       });
    line.Finish();
    return outcome;
  };
  if (!options.Watch) return FinishTreePages(record, options, write());
  // The search file holds every name of the tree: each round lists it whole.
  TreeMemory memory(pages.SearchFile.empty());
  bool first = true;
  const auto round = [&]() {
    const PagesOutcome outcome = write();
    RoundOutcome done{outcome.Walk.Listed, outcome.Pages.Written, outcome.Refusal};
    if (done.TopFailure.empty()) done.TopFailure = outcome.TopFailure;
    if (first || !done.TopFailure.empty()) {
      FinishTreePages(record, options, outcome);
    } else if (outcome.Walk.Failed > 0) {
      PrintMessage(TreeSummaryText(outcome));
    }
    first = false;
    return done;
  };
  // Pages written apart leave the tree as it is.
  const auto is_own = [&pages](const std::string&, const std::string& name) {
    return pages.OutputDir.empty() && (SameName(name, pages.IndexName) ||
                                       (!pages.SearchFile.empty() && SameName(name, pages.SearchFile)));
  };
  return WatchTree(record, options, rules, memory, is_own, round, false);
}

// Commits a whole tree's document and says what it came to.
int FinishTreeDocument(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                       const DocumentOutcome& outcome, AtomicFile& file,
                       StandardOutputSink& standard_output) {
  const bool to_standard_output = WritesToStandardOutput(request);
  if (!outcome.TopFailure.empty()) {
    PrintMessage(ListingFailureText(record.DirStr, outcome.TopFailure));
    return kExitFailed;
  }
  const std::string where = to_standard_output ? kStandardOutputName : Shown(request.Path);
  const bool written = !outcome.WriteFailed && (to_standard_output ? standard_output.Flush() : file.Commit());
  if (!written) {
    const std::string reason = to_standard_output ? std::strerror(errno) : file.FailureReason();
    PrintMessage(to_standard_output ? std::string("cannot write to ") + kStandardOutputName + ": " + reason
                                    : WriteFailureText(request.Path, reason));
    return kExitFailed;
  }
  if (!to_standard_output) {
    for (const std::string& warning : file.Notes().Warnings)
      PrintMessage("warning: " + ControlEscaped(warning));
  }
  if (!options.Quiet || outcome.Walk.Failed > 0) {
    PrintMessage("Wrote " + where + ": " + CountText(outcome.Walk.Listed, "folder", "folders") + " listed, " +
                 CountText(outcome.Totals.FolderCount, "folder", "folders") + " and " +
                 CountText(outcome.Totals.FileCount, "file", "files") + " in them, " +
                 CountText(outcome.Totals.TotalBytes, "byte", "bytes") + ", " +
                 GroupedNumber(outcome.Walk.Failed) + " failed");
  }
  return outcome.Walk.Failed > 0 ? kExitFailed : kExitWritten;
}

// What writes a whole tree into one sink, reporting above the progress line.
using TreeFileWriter = std::function<DocumentOutcome(ByteSink& sink, const WalkReport& report,
                                                     const std::function<void(const WalkCounts&)>& progress)>;

// A whole tree into its one file (whole or not at all) or to standard
// output, with a progress line on a terminal; exit 1 when a folder failed,
// and nothing written when the top folder did.
int WriteTreeFile(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                  const TreeFileWriter& write) {
  const bool to_standard_output = WritesToStandardOutput(request);
  AtomicFile file;
  StandardOutputSink standard_output;
  const WriteMethod method = options.InPlace ? WriteMethod::kInPlace : WriteMethod::kWholeOrNothing;
  if (!to_standard_output && !file.Open(request.Path, method)) {
    PrintMessage(WriteFailureText(request.Path, file.FailureReason()));
    return kExitFailed;
  }
  ByteSink& sink = to_standard_output ? static_cast<ByteSink&>(standard_output) : file;
  ProgressLine line(!options.Quiet && StandardErrorIsTerminal());
  const DocumentOutcome outcome = write(sink, ReportingAbove(line), [&line](const WalkCounts& so_far) {
    line.Update(TreeProgressText(so_far, nullptr));
  });
  line.Finish();
  return FinishTreeDocument(record, request, options, outcome, file, standard_output);
}

// The whole tree as one document.
int RunTreeDocument(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                    const std::string& folder_shown, const ListingSources& sources) {
  DocumentOptions document;
  document.TopShown = TopShown(record, folder_shown);
  document.NullEnds = options.NullEnds;
  if (!WritesToStandardOutput(request)) document.OutputFile = request.Path;
  const WalkRules rules = RulesOf(record, request, options, sources.Cache);
  return WriteTreeFile(record, request, options,
                       [&](ByteSink& sink, const WalkReport& report, const auto& progress) {
                         return WriteTreeDocument(record, *request.Form, rules, document, sources.Disk,
                                                  sources.Folders, sink, report, progress);
                       });
}

// How a catalog written to file links to the files below top: by the base
// URL asked for; relative where the catalog sits in the tree or above it;
// else not at all, as for a drive that is not at hand.
void ChooseCatalogLinks(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                        CatalogOptions& catalog) {
  if (options.BaseUrl) {
    catalog.Links = CatalogLinks::kAbsolute;
    catalog.LinkBase = *options.BaseUrl;
    if (catalog.LinkBase.back() != '/') catalog.LinkBase += '/';
    return;
  }
  // A listing read from a file lists a folder that may be on no disk here.
  if (WritesToStandardOutput(request) || options.From) return;
  const std::string from = FolderOf(AbsolutePath(request.Path)), top = AbsolutePath(record.DirStr);
  const std::vector<std::string> a = PathParts(from), b = PathParts(top);
  const size_t shorter = std::min(a.size(), b.size());
  if (!std::equal(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(shorter), b.begin())) return;
  catalog.Links = CatalogLinks::kRelative;
  catalog.LinkBase = FolderLink(from, top);
}

// The whole tree as one catalog page.
int RunTreeCatalog(const CommonStruct& record, const OutputRequest& request, const CliOptions& options,
                   const std::string& folder_shown, const ListingSources& sources) {
  CatalogOptions catalog;
  catalog.TopShown = TopShown(record, folder_shown);
  catalog.Written = static_cast<int64_t>(std::time(nullptr));
  ChooseCatalogLinks(record, request, options, catalog);
  if (!WritesToStandardOutput(request)) catalog.OutputFile = request.Path;
  WalkRules rules = RulesOf(record, request, options, sources.Cache);
  DocumentOutcome last;
  const auto write = [&]() {
    return WriteTreeFile(record, request, options,
                         [&](ByteSink& sink, const WalkReport& report, const auto& progress) {
                           last = WriteTreeCatalog(record, *request.Form, rules, catalog, sources.Disk,
                                                   sources.Folders, sink, report, progress);
                           return last;
                         });
  };
  if (!options.Watch) return write();
  // A catalog is written whole: every round lists every folder.
  TreeMemory memory(false);
  const auto round = [&]() {
    catalog.Written = static_cast<int64_t>(std::time(nullptr));
    last = DocumentOutcome();
    const int code = write();
    const bool written = code == kExitWritten || (last.TopFailure.empty() && !last.WriteFailed);
    return RoundOutcome{last.Walk.Listed, written ? 1u : 0u, last.TopFailure};
  };
  const std::string catalog_name = FileNameOf(request.Path);
  const auto is_own = [&](const std::string& folder, const std::string& name) {
    return SameName(name, catalog_name) && SameFile(JoinPath(folder, name), request.Path);
  };
  return WatchTree(record, options, rules, memory, is_own, round, true);
}

// Ends the program with the listing still in memory: taking a million
// entries apart one by one costs more than the system needs to drop them.
[[noreturn]] void ExitLeavingListing(int status) { std::exit(status); }

// The number of the day of the time, counted from 1970-01-01.
uint32_t DayOf(uint64_t file_time) {
  constexpr uint64_t kPerDay = 864'000'000'000;
  constexpr uint64_t kDaysFrom1601To1970 = 134'774;
  return static_cast<uint32_t>(file_time / kPerDay - kDaysFrom1601To1970);
}

// The checksums kept from earlier runs, for a run that reads files for
// them; null without a cache (--no-checksum-cache, or no cache folder).
std::unique_ptr<DigestCache> OpenChecksumCache(bool reads_checksums, const CliOptions& options) {
  if (!reads_checksums || options.NoChecksumCache) return nullptr;
  const std::string path = options.ChecksumCache.value_or(DefaultDigestCachePath());
  if (path.empty()) return nullptr;
  auto cache = std::make_unique<DigestCache>(path, DayOf(CurrentFileTime()));
  std::string reason;
  if (!cache->Load(reason)) {
    PrintMessage("warning: " + Shown(path) + " is left as it is and no checksum is kept: " + reason);
  }
  return cache;
}

void SaveChecksumCache(DigestCache* cache) {
  std::string reason;
  if (cache != nullptr && !cache->Save(reason))
    PrintMessage("warning: cannot keep the checksums in " + Shown(cache->Path()) + ": " + reason);
}

int Run(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments, FolderSeparator() == '\\');
  if (!parsed.Error.empty()) {
    PrintMessage(Shown(parsed.Error));
    std::fputs("Try 'kestrova-cli --help' for more information.\n", stderr);
    return kExitBadInput;
  }
  const CliOptions& options = parsed.Options;
  if (options.Help) return WriteStandardOutput(UsageText()) ? kExitWritten : kExitFailed;
  if (options.Version) return WriteStandardOutput(VersionText()) ? kExitWritten : kExitFailed;
  if (options.HelpKeys) return WriteStandardOutput(KeysHelpText()) ? kExitWritten : kExitFailed;
  if (options.ListValues) {
    std::string values;
    if (!ValuesText(*options.ListValues, values)) {
      PrintMessage(Shown(*options.ListValues) + " takes no list of values");
      return kExitBadInput;
    }
    return WriteStandardOutput(values) ? kExitWritten : kExitFailed;
  }

  CommonStruct record;
  std::string folder_shown;
  std::string message;
  if (!ReadSettings(record, options, folder_shown, message)) {
    PrintMessage(message);
    return kExitBadInput;
  }
  ApplyCommandLine(record, options, folder_shown);
  if (options.Duplicates) {
    const std::unique_ptr<DigestCache> cache = OpenChecksumCache(true, options);
    const int code = RunDuplicates(
        record, options,
        [&options](const CommonStruct& top) { return RulesOf(top, OutputRequest(), options, nullptr); },
        cache.get());
    SaveChecksumCache(cache.get());
    return code;
  }
  if (options.Compare) {
    const CompareHooks hooks{PrintMessage, [&options](const CommonStruct& compared) {
                               return RulesOf(compared, OutputRequest(), options, nullptr);
                             }};
    return RunCompare(record, options, hooks);
  }
  if (options.Verify) {
    const VerifyHooks hooks{PrintMessage, [&options](const CommonStruct& checked) {
                              return RulesOf(checked, OutputRequest(), options, nullptr);
                            }};
    return RunVerify(record, options, hooks);
  }
  // A listing read from a file stands for the folder it lists.
  ListingModel model;
  std::unique_ptr<ListingDisk> listing;
  if (options.From) {
    if (!ReadListingFile(options, model, message)) {
      PrintMessage("cannot read " +
                   (*options.From == "-" ? std::string("standard input") : Shown(*options.From)) + ": " +
                   message);
      return kExitBadInput;
    }
    record.DirStr = model.TopPath;
    folder_shown = model.TopName;
    listing = std::make_unique<ListingDisk>(model);
  }
  ListingSources sources{listing != nullptr ? static_cast<TreeDisk&>(*listing) : SystemTreeDisk(),
                         listing != nullptr ? static_cast<FolderSource&>(*listing) : SystemFolderSource()};
  OutputChoices choices = ChoicesOf(options);
  if (options.From) {
    // The checksums a catalog holds are written as the disk's would be; it
    // reads no file for others.
    for (DigestAlgorithm algorithm : choices.Checksums) {
      if (std::find(model.Algorithms.begin(), model.Algorithms.end(), algorithm) != model.Algorithms.end())
        continue;
      PrintMessage(Shown(*options.From) + " holds no " + DigestName(algorithm) +
                   " checksums, and --from reads no file: give a FOLDER for them");
      return kExitBadInput;
    }
    if (choices.Checksums.empty()) choices.Checksums = model.Algorithms;
    // A sums file holds one: SHA-256 where the catalog has it.
    if (choices.Form != nullptr && choices.Form->Checksums == ChecksumUse::kOne &&
        choices.Checksums.size() > 1 && options.Checksums.empty()) {
      const bool sha256 = std::find(choices.Checksums.begin(), choices.Checksums.end(),
                                    DigestAlgorithm::kSha256) != choices.Checksums.end();
      choices.Checksums = {sha256 ? DigestAlgorithm::kSha256 : choices.Checksums.front()};
    }
  }
  const RequestChoice choice = ChooseOutputRequest(record, choices);
  if (choice.Failure != RequestFailure::kNone) {
    PrintMessage(RequestFailureText(choice, options));
    return kExitBadInput;
  }
  const OutputRequest& request = choice.Request;
  // A sums file of a listing without checksums would be empty.
  if (options.From && request.Form->Checksums == ChecksumUse::kOne && model.Algorithms.empty()) {
    PrintMessage(Shown(*options.From) +
                 " holds no checksums, and --from reads no file: give a FOLDER for them");
    return kExitBadInput;
  }
  HideHiddenInPublishedTree(record, options, request);
  if (options.PrintSettings) {
    const std::string settings = SerializeSettings(SettingsOfRequest(record, request));
    return WriteStandardOutput(WithLineEnds(settings, PlatformLineEnd())) ? kExitWritten : kExitFailed;
  }

  if (options.From && request.Target == OutputTarget::kPagePerFolder && !options.OutputDir) {
    PrintMessage(
        "--from writes pages in every folder only apart from the folders, which are on no disk here: give "
        "--output-dir DIR");
    return kExitBadInput;
  }
  message = CheckSearch(request, options);
  if (message.empty()) message = CheckWatch(request, options);
  if (message.empty()) message = CheckFolders(record, request, options);
  if (message.empty()) message = CheckOutputSparesSettings(record, request, options);
  if (!message.empty()) {
    PrintMessage(message);
    return kExitBadInput;
  }
  if (const std::string note = TextFormNote(request, options); !note.empty()) PrintMessage(note);
  if (!options.Checksums.empty() && request.Checksums.empty()) {
    PrintMessage("note: the " + std::string(request.Form->Name) +
                 " form shows no checksums, and no file is read for them; --format page, html, json, csv, "
                 "long, sums or catalog shows them");
  }
  if (options.SaveSettingsFile) {
    CommonStruct saved = SettingsOfRequest(record, request);
    std::string reason;
    if (!SaveSettings(saved, *options.SaveSettingsFile, reason)) {
      PrintMessage(WriteFailureText(*options.SaveSettingsFile, reason));
      return kExitFailed;
    }
    // The file just saved is the run's settings file, which no page replaces.
    record.SettingsPath = saved.SettingsPath;
  }
  // A listing read from a file holds its checksums: no file is read.
  const std::unique_ptr<DigestCache> cache =
      OpenChecksumCache(!request.Checksums.empty() && !options.From, options);
  sources.Cache = cache.get();
  if (request.Tree) {
    int code = kExitWritten;
    if (request.Form->WholeTree) {
      code = RunTreeCatalog(record, request, options, folder_shown, sources);
    } else {
      code = request.Target == OutputTarget::kPagePerFolder
                 ? RunTreePages(record, request, options, folder_shown, sources)
                 : RunTreeDocument(record, request, options, folder_shown, sources);
    }
    SaveChecksumCache(cache.get());
    return code;
  }
  // The program ends below without taking the run apart.
  ListingRun run;
  const GenerateResult result = Generate(record, request, options, folder_shown, sources, run);
  // The checksums read are good whatever became of the listing's file.
  SaveChecksumCache(cache.get());
  if (result.Status == GenerateStatus::kCannotReadFolder) {
    PrintMessage(ListingFailureText(record.DirStr, result.Reason));
    ExitLeavingListing(kExitFailed);
  }
  if (result.Status == GenerateStatus::kTextTooLong) {
    PrintMessage(TextTooLongMessage(result.Reason));
    ExitLeavingListing(kExitBadInput);
  }
  if (result.Status == GenerateStatus::kCannotWrite) {
    PrintMessage(WritesToStandardOutput(request)
                     ? std::string("cannot write to ") + kStandardOutputName + ": " + result.Reason
                     : OutputFailureText(request, result));
    ExitLeavingListing(kExitFailed);
  }
  for (const std::string& warning : result.Notes.Warnings)
    PrintMessage("warning: " + ControlEscaped(warning));
  // A listed name that no file has is worth a word even when quiet.
  if (const size_t replaced = CountReplacedNames(run.Listing)) PrintMessage(ReplacedNamesText(replaced));
  if (!options.Quiet) PrintMessage(SummaryText(request, result));
  ExitLeavingListing(run.Listing.Values.ChecksumFailures.empty() ? kExitWritten : kExitFailed);
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryStandardOutput();
  InstallInterruptCleanup();
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    PrintMessage("not enough memory");
  } catch (const std::length_error&) {
    PrintMessage("not enough memory");
  }
  return kExitFailed;
}

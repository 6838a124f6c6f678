#include "cli/duplicates_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/report_form.h"
#include "listing/entry.h"
#include "output/escapes.h"
#include "output/folder_check.h"
#include "output/forms.h"
#include "tree/duplicates.h"
#include "tree/duplicates_document.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

void PrintMessage(const std::string& message) { std::fprintf(stderr, "kestrova-cli: %s\n", message.c_str()); }

std::string Shown(const std::string& text) { return ControlEscaped(text); }

bool ToStandardOutput(const CliOptions& options) { return !options.Output || *options.Output == "-"; }

std::vector<std::string> TopsOf(const CliOptions& options) {
  std::vector<std::string> tops{options.Folder.value_or(".")};
  tops.insert(tops.end(), options.MoreFolders.begin(), options.MoreFolders.end());
  return tops;
}

// A message for the first FOLDER that is missing or no folder; a folder the
// system refuses is left to the search, which tells why.
std::string CheckTops(const std::vector<std::string>& tops) {
  for (const std::string& top : tops) {
    if (top.empty()) return "no folder to search: the folder's name is empty";
    std::string reason;
    const FolderStatus status = InspectFolder(top, true, reason);
    if (status == FolderStatus::kMissing || status == FolderStatus::kNotFolder)
      return ListingFailureText(top, FolderProblem(status, reason));
  }
  return std::string();
}

bool IsAtOrBelow(const std::string& path, const std::string& folder, bool below) {
  if (path.empty() || folder.empty()) return false;
  if (path == folder) return true;
  const std::string prefix = folder.back() == FolderSeparator() ? folder : folder + FolderSeparator();
  return below && path.compare(0, prefix.size(), prefix) == 0;
}

// The output goes nowhere it would be searched: a file written into a
// folder of the search would be met by the next search, and an old one
// compared while it is replaced.
std::string CheckOutputOutsideTops(const CliOptions& options, const std::vector<std::string>& tops) {
  if (ToStandardOutput(options)) return std::string();
  const std::string folder = RealPath(FolderOf(AbsolutePath(*options.Output)));
  for (const std::string& top : tops) {
    if (IsAtOrBelow(folder, RealPath(top), options.Recursive)) {
      return "cannot write " + Shown(*options.Output) + " inside " + Shown(top) +
             ", which is searched; write it elsewhere";
    }
  }
  return std::string();
}

std::string Composed(ReportForm form, const DuplicateFindings& findings, const std::vector<std::string>& tops,
                     DigestAlgorithm algorithm) {
  switch (form) {
    case ReportForm::kText:
      return DuplicatesText(findings.Groups);
    case ReportForm::kJson:
      return DuplicatesJson(findings.Groups, algorithm);
    case ReportForm::kPage:
      return DuplicatesPage(findings.Groups, tops, algorithm);
  }
  return std::string();
}

std::string Counted(uint64_t number, const char* one, const char* many) {
  return std::to_string(number) + " " + (number == 1 ? one : many);
}

std::string SummaryText(const std::vector<DuplicateGroup>& groups) {
  const DuplicateTotals totals = TotalsOf(groups);
  return Counted(totals.Groups, "group", "groups") + " of duplicates, " +
         Counted(totals.Files, "file", "files") + ", " + Counted(totals.WastedBytes, "byte", "bytes") +
         " wasted";
}

// Writes the document whole; false after saying why it could not be.
bool WriteDocument(const CliOptions& options, AtomicFile& file, const std::string& document) {
  if (ToStandardOutput(options)) {
    StandardOutputSink out;
    if (out.Write(document) && out.Flush()) return true;
    PrintMessage(std::string("cannot write to standard output: ") + std::strerror(errno));
    return false;
  }
  if (file.Write(document) && file.Commit()) {
    for (const std::string& warning : file.Notes().Warnings) PrintMessage("warning: " + Shown(warning));
    return true;
  }
  PrintMessage("cannot write " + Shown(*options.Output) + ": " + file.FailureReason());
  return false;
}

}  // namespace

int RunDuplicates(const CommonStruct& record, const CliOptions& options, const WalkRulesOf& rules_of,
                  DigestCache* cache) {
  const std::vector<std::string> tops = TopsOf(options);
  ReportForm form = ReportForm::kText;
  std::string message;
  ChooseReportForm(options, form, message);
  if (message.empty()) message = CheckTops(tops);
  if (message.empty()) message = CheckOutputOutsideTops(options, tops);
  if (!message.empty()) {
    PrintMessage(message);
    return kExitBadInput;
  }
  // Opened first, so that an output that cannot be made is told before
  // the search rather than after it.
  AtomicFile file;
  if (!ToStandardOutput(options) && !file.Open(*options.Output)) {
    PrintMessage("cannot write " + Shown(*options.Output) + ": " + file.FailureReason());
    return kExitFailed;
  }
  DuplicateRules rules;
  if (!options.Checksums.empty()) rules.Algorithm = *DigestNamed(options.Checksums.front());
  rules.IncludeEmpty = options.IncludeEmpty;
  rules.Follow = options.Follow;
  const WalkReport report = [](const std::string& text) { PrintMessage(text); };
  const FoundFiles found = FindFiles(
      record, tops,
      [&](const std::string& top) {
        CommonStruct top_record = record;
        top_record.DirStr = AbsolutePath(top);
        WalkRules walk = rules_of(top_record);
        if (!options.Recursive) walk.MaxDepth = 1;
        return walk;
      },
      rules, SystemTreeDisk(), SystemFolderSource(), report);
  for (const std::string& failure : found.TopFailures) PrintMessage(failure);
  ChecksumPool pool(options.Threads);
  pool.UseCache(cache);
  const DuplicateFindings findings = GroupDuplicates(found.Files, rules, SystemTreeDisk(), pool);
  for (const UnreadFile& unread : findings.Unread)
    PrintMessage("cannot read " + Shown(unread.Path) + ": " + unread.Reason);
  if (!WriteDocument(options, file, Composed(form, findings, tops, rules.Algorithm))) return kExitFailed;
  if (!options.Quiet) PrintMessage(SummaryText(findings.Groups));
  const bool complete = found.TopFailures.empty() && found.FailedFolders == 0 && findings.Unread.empty();
  return complete ? kExitDone : kExitFailed;
}

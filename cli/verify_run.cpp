#include "cli/verify_run.h"

#include <cstdint>
#include <string_view>

#include "listing/entry.h"
#include "listing/model.h"
#include "output/escapes.h"
#include "output/forms.h"
#include "output/listing_readers.h"
#include "platform/platform.h"
#include "tree/verify.h"

namespace {

constexpr int kExitMatches = 0;
constexpr int kExitDiffers = 1;
constexpr int kExitCannotRun = 2;

std::string Shown(const std::string& name) { return ControlEscaped(name); }

ListingReadOptions ReadOptionsOf(const CliOptions& options) {
  ListingReadOptions read;
  for (const std::string& name : options.Checksums) {
    if (name == DigestName(DigestAlgorithm::kXxh128)) read.ThirtyTwoDigits = DigestAlgorithm::kXxh128;
  }
  return read;
}

// FOLDER as given; else the listing's own top where it names one that is
// here; else the current folder, against which a sums tool resolves names.
std::string FolderToVerify(const CliOptions& options, const CommonStruct& record, const ListingModel& model) {
  if (options.Folder) return record.DirStr;
  if (!model.TopPath.empty() && IsExistingFolder(model.TopPath)) return AbsolutePath(model.TopPath);
  return AbsolutePath(".");
}

bool WritesReportToFile(const CliOptions& options) { return options.Output && *options.Output != "-"; }

bool IsInside(const std::string& path, const std::string& folder) {
  if (path.empty() || folder.empty()) return false;
  if (path == folder) return true;
  const std::string prefix = folder.back() == FolderSeparator() ? folder : folder + FolderSeparator();
  return path.compare(0, prefix.size(), prefix) == 0;
}

// Nothing is written into the folder checked, not even the report.
std::string CheckReportPlace(const CliOptions& options, const std::string& folder) {
  if (!WritesReportToFile(options)) return std::string();
  const std::string& output = *options.Output;
  if (SameFile(output, *options.Verify))
    return "the report would replace the listing " + Shown(*options.Verify) + "; give -o another file";
  const std::string output_folder = FolderOf(AbsolutePath(output));
  const std::string real_output = RealPath(output_folder);
  const std::string real_folder = RealPath(folder);
  if (IsInside(output_folder, folder) || IsInside(real_output, real_folder))
    return "--verify writes nothing into the folder it checks: give -o a file outside " + Shown(folder);
  return std::string();
}

// "size 10 -> 12, modified ... -> ..., sha256"
std::string ChangesText(const std::vector<VerifyChange>& changes) {
  std::string text;
  for (const VerifyChange& change : changes) {
    if (!text.empty()) text += ", ";
    text += change.What;
    const bool digest = DigestNamed(change.What) != nullptr;
    if (!digest) text += " " + Shown(change.Listed) + " -> " + Shown(change.Found);
  }
  return text;
}

std::string TextReport(const VerifyOutcome& outcome) {
  std::string report;
  for (const VerifyDifference& difference : outcome.Differences) {
    report += VerifyStateWord(difference.State);
    report += ": " + Shown(difference.Path);
    if (difference.State == VerifyState::kChanged) report += " (" + ChangesText(difference.Changes) + ")";
    if (difference.State == VerifyState::kUnreadable) report += " (" + Shown(difference.Reason) + ")";
    report += PlatformLineEnd();
  }
  return report;
}

void AppendValues(std::string& out, const char* key, const std::vector<VerifyChange>& changes,
                  std::string VerifyChange::*value) {
  out += std::string(", \"") + key + "\": {";
  for (size_t at = 0; at < changes.size(); ++at) {
    if (at > 0) out += ", ";
    AppendJsonString(out, changes[at].What);
    out += ": ";
    if (changes[at].What == "size") {
      out += changes[at].*value;
    } else {
      AppendJsonString(out, changes[at].*value);
    }
  }
  out += '}';
}

std::string JsonDifference(const VerifyDifference& difference) {
  std::string out = "{";
  AppendJsonPathMembers(out, "path", difference.Path);
  out += std::string(", \"state\": \"") + VerifyStateWord(difference.State) + "\"";
  out += ", \"what\": [";
  for (size_t at = 0; at < difference.Changes.size(); ++at) {
    if (at > 0) out += ", ";
    AppendJsonString(out, difference.Changes[at].What);
  }
  out += ']';
  if (!difference.Changes.empty()) {
    AppendValues(out, "listed", difference.Changes, &VerifyChange::Listed);
    AppendValues(out, "found", difference.Changes, &VerifyChange::Found);
  }
  if (difference.State == VerifyState::kUnreadable) {
    out += ", \"reason\": ";
    AppendJsonString(out, difference.Reason);
  }
  return out + "}";
}

std::string JsonReport(const VerifyOutcome& outcome, const std::string& listing, const std::string& folder) {
  std::string report = "{\n  ";
  AppendJsonPathMembers(report, "listing", listing);
  report += ",\n  ";
  AppendJsonPathMembers(report, "folder", folder);
  report += ",\n  \"differences\": [";
  for (size_t at = 0; at < outcome.Differences.size(); ++at) {
    report += at > 0 ? ",\n    " : "\n    ";
    report += JsonDifference(outcome.Differences[at]);
  }
  report += outcome.Differences.empty() ? "]" : "\n  ]";
  const VerifyTotals& totals = outcome.Totals;
  report += ",\n  \"totals\": {\"files\": " + std::to_string(totals.Files) +
            ", \"changed\": " + std::to_string(totals.Changed) +
            ", \"missing\": " + std::to_string(totals.Missing) + ", \"new\": " + std::to_string(totals.New) +
            ", \"unreadable\": " + std::to_string(totals.Unreadable) + "}\n}\n";
  return report;
}

std::string SummaryText(const VerifyTotals& totals) {
  return "verified " + std::to_string(totals.Files) + (totals.Files == 1 ? " file: " : " files: ") +
         std::to_string(totals.Changed) + " changed, " + std::to_string(totals.Missing) + " missing, " +
         std::to_string(totals.New) + " new, " + std::to_string(totals.Unreadable) + " unreadable";
}

// JSON where --format asks for it, or -o names a .json file without it.
bool ReportsJson(const CliOptions& options) {
  if (options.Format) return *options.Format == "json";
  return WritesReportToFile(options) && FormForFileName(*options.Output).Code == FormCode::kJson;
}

bool WriteReport(const CliOptions& options, const std::string& report, std::string& failure) {
  if (WritesReportToFile(options)) return ReplaceFileAtomically(*options.Output, report, failure);
  StandardOutputSink out;
  if (out.Write(report) && out.Flush()) return true;
  failure = "cannot write to standard output";
  return false;
}

}  // namespace

int RunVerify(CommonStruct& record, const CliOptions& options, const VerifyHooks& hooks) {
  const std::string& listing_path = *options.Verify;
  std::string bytes;
  std::string reason;
  ListingModel model;
  ListingShape shape;
  if (!ReadListingBytes(listing_path, bytes, reason) ||
      !ReadListing(bytes, ReadOptionsOf(options), model, shape, reason)) {
    hooks.Print("cannot read " + Shown(listing_path) + ": " + reason);
    return kExitCannotRun;
  }
  bytes = std::string();
  record.DirStr = FolderToVerify(options, record, model);
  if (!IsExistingFolder(record.DirStr)) {
    hooks.Print("cannot verify " + Shown(record.DirStr) + ": no such folder");
    return kExitCannotRun;
  }
  if (const std::string refused = CheckReportPlace(options, record.DirStr); !refused.empty()) {
    hooks.Print(refused);
    return kExitCannotRun;
  }
  WalkRules rules = hooks.RulesOf(record);
  if (!shape.Tree) rules.MaxDepth = 1;
  const WalkReport report = [&hooks](const std::string& message) { hooks.Print(message); };
  const VerifyOutcome outcome =
      VerifyFolder(record, model, shape, rules, SystemTreeDisk(), SystemFolderSource(), report);
  if (outcome.TopFailed) {
    hooks.Print("cannot read the folder " + Shown(record.DirStr) + ": " + outcome.TopReason);
    return kExitCannotRun;
  }
  const bool json = ReportsJson(options);
  const std::string text =
      json ? JsonReport(outcome, AbsolutePath(listing_path), record.DirStr) : TextReport(outcome);
  if (!WriteReport(options, text, reason)) {
    hooks.Print(WritesReportToFile(options) ? "cannot write " + Shown(*options.Output) + ": " + reason
                                            : reason);
    return kExitCannotRun;
  }
  if (!options.Quiet) hooks.Print(SummaryText(outcome.Totals));
  return outcome.Differences.empty() ? kExitMatches : kExitDiffers;
}

bool ReadListingBytes(const std::string& path, std::string& bytes, std::string& reason) {
  constexpr size_t kLargest = size_t{1} << 30;
  switch (SystemTreeDisk().ReadSmallFile(path, kLargest, bytes, reason)) {
    case FileReadStatus::kRead:
      return true;
    case FileReadStatus::kNotRegularFile:
      reason = "not a regular file";
      return false;
    case FileReadStatus::kTooLarge:
      reason = "larger than 1 GiB";
      return false;
    case FileReadStatus::kCannotRead:
      break;
  }
  return false;
}

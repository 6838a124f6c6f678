#include "cli/compare_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "cli/report_form.h"
#include "cli/verify_run.h"
#include "listing/compact_listing.h"
#include "listing/entry.h"
#include "listing/model.h"
#include "output/escapes.h"
#include "output/folder_check.h"
#include "output/listing_readers.h"
#include "platform/platform.h"
#include "tree/compare.h"
#include "tree/compare_document.h"

namespace {

constexpr int kExitSame = 0;
constexpr int kExitDiffer = 1;
constexpr int kExitTrouble = 2;

std::string Shown(const std::string& text) { return ControlEscaped(text); }

bool ToStandardOutput(const CliOptions& options) { return !options.Output || *options.Output == "-"; }

// One side as the user named it, and what it turned out to be.
struct Side {
  std::string Given;
  bool Folder = false;
  std::string Kind;  // "folder", or the listing's kind
};

// A message for a side that is neither a folder nor a file; empty where it
// is one of them, which Folder then tells.
std::string InspectSide(Side& side) {
  if (side.Given.empty()) return "the name of a side to compare is empty";
  std::string reason;
  switch (InspectFolder(side.Given, true, reason)) {
    case FolderStatus::kFolder:
      side.Folder = true;
      side.Kind = "folder";
      return std::string();
    case FolderStatus::kNotFolder:
      return std::string();
    case FolderStatus::kMissing:
      return "cannot read " + Shown(side.Given) + ": no such file or folder";
    case FolderStatus::kRefused:
      break;
  }
  return ListingFailureText(side.Given, reason);
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
  if (path.empty() || folder.empty()) return false;
  if (path == folder) return true;
  const std::string prefix = folder.back() == FolderSeparator() ? folder : folder + FolderSeparator();
  return path.compare(0, prefix.size(), prefix) == 0;
}

// The report goes nowhere it would be compared: not into a folder side,
// not over a listing side.
std::string CheckOutputPlace(const CliOptions& options, const Side& old_side, const Side& new_side) {
  if (ToStandardOutput(options)) return std::string();
  const std::string& output = *options.Output;
  const std::string output_folder = RealPath(FolderOf(AbsolutePath(output)));
  for (const Side* side : {&old_side, &new_side}) {
    if (side->Folder && IsAtOrBelow(output_folder, RealPath(side->Given)))
      return "--compare writes nothing into a folder it compares: give -o a file outside " +
             Shown(side->Given);
    if (!side->Folder && SameFile(output, side->Given))
      return "the report would replace the listing " + Shown(side->Given) + "; give -o another file";
  }
  return std::string();
}

ListingReadOptions ReadOptionsOf(const CliOptions& options) {
  ListingReadOptions read;
  for (const std::string& name : options.Checksums) {
    if (name == DigestName(DigestAlgorithm::kXxh128)) read.ThirtyTwoDigits = DigestAlgorithm::kXxh128;
  }
  return read;
}

// Reads a listing file whole into a model, then the compact listing;
// false with the reason.
bool ReadWholeListing(const CliOptions& options, Side& side, CompactListing& listing, std::string& reason) {
  std::string bytes;
  ListingModel model;
  ListingShape shape;
  if (!ReadListingBytes(side.Given, bytes, reason) ||
      !ReadListing(bytes, ReadOptionsOf(options), model, shape, reason))
    return false;
  bytes = std::string();
  side.Kind = ListingKindName(shape.Kind);
  CompactListingOf(model, listing);
  return true;
}

// The bytes at the start of a listing that tell its kind.
constexpr size_t kHeadBytes = size_t{64} << 10;

// Reads a listing file into the compact listing; false with a message.
// Kestrova's own JSON is read as it comes, so that two listings of
// millions of entries fit in memory at once; every other kind whole.
bool ReadListingSide(const CliOptions& options, Side& side, CompactListing& listing, std::string& message) {
  const std::string path = AbsolutePath(side.Given);
  std::string reason;
  std::unique_ptr<OpenFolder> folder = SystemTreeDisk().Open(FolderOf(path), reason);
  std::unique_ptr<ContentReader> reader = folder ? folder->ReadFile(FileNameOf(path), reason) : nullptr;
  if (reader == nullptr) {
    message = "cannot read " + Shown(side.Given) + ": " + reason;
    return false;
  }
  std::string head(kHeadBytes, '\0');
  size_t filled = 0;
  for (size_t got = 1; got > 0 && filled < head.size(); filled += got)
    got = reader->Read(&head[filled], head.size() - filled);
  head.resize(filled);
  bool read = false;
  if (reader->Failure().empty() && ListingKindOf(head) == ListingKind::kJson) {
    side.Kind = ListingKindName(ListingKind::kJson);
    size_t served = 0;
    const auto source = [&head, &served, &reader](char* buffer, size_t size) {
      if (served == head.size()) return reader->Read(buffer, size);
      const size_t count = std::min(size, head.size() - served);
      head.copy(buffer, count, served);
      served += count;
      return count;
    };
    read = StreamJsonListing(source, listing, reason);
    if (!reader->Failure().empty()) {
      read = false;
      reason = reader->Failure();
    }
  } else if (reader->Failure().empty()) {
    reader.reset();
    read = ReadWholeListing(options, side, listing, reason);
  } else {
    reason = reader->Failure();
  }
  if (!read) message = "cannot read " + Shown(side.Given) + ": " + reason;
  return read;
}

bool ReadFolder(const CommonStruct& record, const CliOptions& options, const CompareHooks& hooks,
                const Side& side, CompactListing& listing, std::string& message) {
  CommonStruct folder_record = record;
  folder_record.DirStr = AbsolutePath(side.Given);
  WalkRules rules = hooks.RulesOf(folder_record);
  for (const std::string& name : options.Checksums) rules.Checksums.push_back(*DigestNamed(name));
  const WalkReport report = [&hooks](const std::string& text) { hooks.Print(text); };
  const FolderSideResult result =
      ReadFolderSide(folder_record, rules, SystemTreeDisk(), SystemFolderSource(), report, listing);
  if (result.Read) return true;
  message = !result.TopFailure.empty()
                ? result.TopFailure
                : "nothing compared: not all of " + Shown(side.Given) + " could be read";
  return false;
}

bool ReadSide(const CommonStruct& record, const CliOptions& options, const CompareHooks& hooks, Side& side,
              CompactListing& listing, std::string& message) {
  if (side.Folder) return ReadFolder(record, options, hooks, side, listing, message);
  return ReadListingSide(options, side, listing, message);
}

// A listing's digests that the other side, a folder, was not asked for.
void NoteUnusedDigests(const CliOptions& options, const CompareHooks& hooks, const Side& listed,
                       const CompactListing& listing, const Side& other) {
  if (listed.Folder || !other.Folder || !options.Checksums.empty() || listing.Algorithms.empty()) return;
  const char* name = DigestName(listing.Algorithms.front());
  hooks.Print("note: " + Shown(listed.Given) + " holds " + name + " checksums; give --checksum " + name +
              " to compare the contents of " + Shown(other.Given));
}

std::string Composed(ReportForm form, const CompareOutcome& outcome, const CompareSides& sides) {
  switch (form) {
    case ReportForm::kText:
      return CompareText(outcome);
    case ReportForm::kJson:
      return CompareJson(outcome, sides);
    case ReportForm::kPage:
      return ComparePage(outcome, sides);
  }
  return std::string();
}

bool WriteReport(const CliOptions& options, const CompareHooks& hooks, AtomicFile& file,
                 const std::string& report) {
  if (ToStandardOutput(options)) {
    StandardOutputSink out;
    if (out.Write(report) && out.Flush()) return true;
    hooks.Print(std::string("cannot write to standard output: ") + std::strerror(errno));
    return false;
  }
  if (file.Write(report) && file.Commit()) {
    for (const std::string& warning : file.Notes().Warnings) hooks.Print("warning: " + Shown(warning));
    return true;
  }
  hooks.Print("cannot write " + Shown(*options.Output) + ": " + file.FailureReason());
  return false;
}

}  // namespace

int RunCompare(const CommonStruct& record, const CliOptions& options, const CompareHooks& hooks) {
  Side old_side{*options.Compare, false, std::string()};
  Side new_side{options.Folder.value_or(record.DirStr), false, std::string()};
  ReportForm form = ReportForm::kText;
  std::string message;
  ChooseReportForm(options, form, message);
  if (message.empty()) message = InspectSide(old_side);
  if (message.empty()) message = InspectSide(new_side);
  if (message.empty()) message = CheckOutputPlace(options, old_side, new_side);
  if (!message.empty()) {
    hooks.Print(message);
    return kExitTrouble;
  }
  // Opened first, so that an output that cannot be made is told before
  // the sides are read rather than after.
  AtomicFile file;
  if (!ToStandardOutput(options) && !file.Open(*options.Output)) {
    hooks.Print("cannot write " + Shown(*options.Output) + ": " + file.FailureReason());
    return kExitTrouble;
  }
  CompactListing old_listing;
  CompactListing new_listing;
  if (!ReadSide(record, options, hooks, old_side, old_listing, message) ||
      !ReadSide(record, options, hooks, new_side, new_listing, message)) {
    hooks.Print(message);
    return kExitTrouble;
  }
  NoteUnusedDigests(options, hooks, old_side, old_listing, new_side);
  NoteUnusedDigests(options, hooks, new_side, new_listing, old_side);
  const CompareOutcome outcome = CompareListings(old_listing, new_listing, FolderSeparator());
  const CompareSides sides{old_side.Given, new_side.Given, old_side.Kind, new_side.Kind};
  if (!WriteReport(options, hooks, file, Composed(form, outcome, sides))) return kExitTrouble;
  if (!options.Quiet && !ToStandardOutput(options)) hooks.Print(CompareSummary(outcome.Totals));
  return outcome.Totals.Differences() == 0 ? kExitSame : kExitDiffer;
}

#include "output/generate.h"

#include <cerrno>
#include <cstring>

#include "listing/enrich.h"
#include "listing/ordering.h"
#include "listing/scan.h"
#include "output/escapes.h"
#include "output/placeholders.h"

namespace {

// Passes the bytes on, counting them.
class CountingSink : public ByteSink {
 public:
  explicit CountingSink(ByteSink& target) : target_(target) {}
  bool Write(std::string_view bytes) override {
    count += bytes.size();
    return target_.Write(bytes);
  }
  uint64_t count = 0;

 private:
  ByteSink& target_;
};

bool WriteThrough(ListingRun& run, ByteSink& sink, const SinkWrapper& wrap, uint64_t* written) {
  CountingSink counted(sink);
  const DocumentWrite write = [&run](ByteSink& target) { return WriteRun(run, target); };
  const bool done = wrap ? wrap(counted, run, write) : write(counted);
  if (written != nullptr) *written = counted.count;
  return done;
}

bool WriteStandardOutput(ListingRun& run, std::string& failure, const SinkWrapper& wrap, uint64_t* written) {
  StandardOutputSink out;
  if (WriteThrough(run, out, wrap, written) && out.Flush()) return true;
  failure = std::strerror(errno);
  return false;
}

// The settings' texts that may hold placeholders, and where the run keeps
// each substituted.
struct SubstitutedText {
  const char* key;
  std::string CommonStruct::*text;
  std::string ListingRun::*substituted;
  TextEscape folder_escape;  // null: as the form writes a name
};

constexpr SubstitutedText kSubstitutedTexts[] = {
    {"After", &CommonStruct::After, &ListingRun::After, nullptr},
    {"CustTable", &CommonStruct::CustTable, &ListingRun::CustTable, nullptr},
    {"Befor", &CommonStruct::Befor, &ListingRun::Befor, nullptr},
    {"HeadCustom", &CommonStruct::HeadCustom, &ListingRun::HeadCustom, nullptr},
    {"Title", &CommonStruct::Title, &ListingRun::Title, nullptr},
    {"Title", &CommonStruct::Title, &ListingRun::TitleText, AppendUnescaped},
};

// The folder held open on the system's disk for reading its files, where
// the place has no opener of its own; a folder that cannot be opened
// leaves every file with that reason.
ContentOpener OpenerOf(const ListingPlace& place, std::unique_ptr<OpenFolder>& held) {
  if (place.ReadContent) return place.ReadContent;
  std::string failure;
  held = SystemTreeDisk().Open(place.Folder, failure);
  OpenFolder* folder = held.get();
  return [folder, failure](const std::string& name, std::string& reason) -> std::unique_ptr<ContentReader> {
    if (folder != nullptr) return folder->ReadFile(name, reason);
    reason = failure;
    return nullptr;
  };
}

void Enrich(const CommonStruct& settings, const ListingPlace& place, FolderSource& source,
            const OutputForm& form, ListingRun& run) {
  EnrichNeeds needs = form.Needs != nullptr ? form.Needs(settings) : EnrichNeeds();
  if (form.Checksums != ChecksumUse::kNone) needs.Checksums = place.Checksums;
  run.Checksums = needs.Checksums;
  std::unique_ptr<OpenFolder> held;
  std::unique_ptr<ChecksumPool> own_pool;
  ContentAccess content;
  if (!needs.Checksums.empty()) {
    content.Open = OpenerOf(place, held);
    content.Pool = place.Checksummers;
    if (content.Pool == nullptr) {
      own_pool = std::make_unique<ChecksumPool>(place.ChecksumThreads);
      own_pool->UseCache(place.ChecksumCache);
      content.Pool = own_pool.get();
    }
  }
  EnrichListing(run.Listing, place.Folder, source, needs, content);
}

}  // namespace

std::string TextTooLongMessage(const std::string& key) {
  return "placeholders in " + key + " expand past " + std::to_string(kLongestSubstitution >> 20) + " MiB";
}

ListingPlace PlaceOf(const CommonStruct& settings) {
  ListingPlace place;
  place.Folder = settings.DirStr;
  place.IncludeParent = settings.IncludeParent;
  return place;
}

GenerateStatus ComposeListing(const CommonStruct& settings, const ListingPlace& place, FolderSource& source,
                              const OutputForm& form, ListingRun& run, std::string& reason) {
  run = ListingRun();
  run.Settings = &settings;
  run.Form = &form;
  run.Folder = place.Folder;
  if (place.Tree != nullptr) {
    run.FolderShown = TreePathShown(*place.Tree);
  } else {
    run.FolderShown = place.FolderShown.empty() ? place.Folder : place.FolderShown;
  }
  run.Tree = place.Tree;
  run.SizesAddedUp = place.SizesAddedUp;
  run.SizesUnknown = !source.SizesKnown();
  run.LinkPrefix = place.LinkPrefix;
  run.Times = TimeLayoutNamed(settings.TimeStyle);
  ScanRules rules = ScanRulesOf(settings);
  rules.IncludeParent = place.IncludeParent;
  rules.LeftOut = place.LeftOut;
  const bool scanned = place.Read ? ScanListing(rules, place.Read, run.Listing, reason)
                                  : ScanListing(rules, place.Folder, source, run.Listing, reason);
  if (!scanned) return GenerateStatus::kCannotReadFolder;
  if (place.Filter) {
    place.Filter(run.Listing);
    run.Listing.TotalBytes = 0;
    for (const FileInfoX& file : run.Listing.FileList)
      run.Listing.TotalBytes += static_cast<int64_t>(EntrySize(file));
  }
  if (!place.ScanOnly) Enrich(settings, place, source, form, run);
  OrderListing(run.Listing, EntryOrderOf(settings));
  ComputeListingTotals(run);
  if (place.ScanOnly) return GenerateStatus::kWritten;
  for (const SubstitutedText& text : kSubstitutedTexts) {
    std::string& substituted = run.*text.substituted;
    substituted = settings.*text.text;
    const TextEscape escape = text.folder_escape != nullptr ? text.folder_escape : form.Escape;
    if (!SubstitutePlaceholders(run, substituted, escape)) {
      reason = text.key;
      return GenerateStatus::kTextTooLong;
    }
  }
  form.ComposeDocument(run);
  return GenerateStatus::kWritten;
}

FileWriteOutcome WriteListingFile(ListingRun& run, const std::string& path, const SinkWrapper& wrap,
                                  WriteMethod method) {
  FileWriteOutcome outcome;
  AtomicFile file;
  outcome.Written = file.Open(path, method) && WriteThrough(run, file, wrap, &outcome.Bytes) && file.Commit();
  if (!outcome.Written) outcome.Reason = file.FailureReason();
  outcome.Notes = file.Notes();
  return outcome;
}

GenerateResult GenerateListing(const CommonStruct& settings, FolderSource& source,
                               const ListingOutput& output, ListingRun& run) {
  GenerateResult result;
  const OutputRequest request = output.Request.value_or(ClassicOutputRequest(settings));
  const OutputForm& form = *request.Form;
  ListingPlace place = PlaceOf(settings);
  place.FolderShown = output.FolderShown;
  place.LeftOut = output.LeftOut;
  place.LinkPrefix = output.LinkPrefix;
  place.Checksums = request.Checksums;
  place.ChecksumThreads = output.Threads;
  place.ChecksumCache = output.ChecksumCache;
  result.Status = output.Compose ? output.Compose(place, form, run, result.Reason)
                                 : ComposeListing(settings, place, source, form, run, result.Reason);
  if (result.Status != GenerateStatus::kWritten) return result;
  run.NullEnds = output.NullEnds && form.AppendNullEndedRow != nullptr;
  bool written = false;
  if (request.Target == OutputTarget::kStandardOutput) {
    written = WriteStandardOutput(run, result.Reason, output.Wrap, &result.BytesWritten);
  } else {
    FileWriteOutcome outcome = WriteListingFile(run, request.Path, output.Wrap, output.Method);
    written = outcome.Written;
    result.Reason = std::move(outcome.Reason);
    result.BytesWritten = outcome.Bytes;
    result.Notes = std::move(outcome.Notes);
  }
  if (!written) {
    result.Status = GenerateStatus::kCannotWrite;
    return result;
  }
  result.FolderCount = run.Totals.FolderCount;
  result.FileCount = run.Totals.FileCount;
  result.TotalBytes = run.Totals.TotalBytes;
  return result;
}

GenerateResult GenerateListing(const CommonStruct& settings, FolderSource& source,
                               const ListingOutput& output) {
  ListingRun run;
  return GenerateListing(settings, source, output, run);
}

GenerateResult GenerateListing(const CommonStruct& settings) {
  return GenerateListing(settings, SystemFolderSource());
}

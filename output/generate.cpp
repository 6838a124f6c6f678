#include "output/generate.h"

#include <cerrno>
#include <cstring>

#include "listing/scan.h"
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
};

constexpr SubstitutedText kSubstitutedTexts[] = {
    {"After", &CommonStruct::After, &ListingRun::After},
    {"CustTable", &CommonStruct::CustTable, &ListingRun::CustTable},
    {"Befor", &CommonStruct::Befor, &ListingRun::Befor},
    {"HeadCustom", &CommonStruct::HeadCustom, &ListingRun::HeadCustom},
    {"Title", &CommonStruct::Title, &ListingRun::Title},
};

}  // namespace

std::string TextTooLongMessage(const std::string& key) {
  return "placeholders in " + key + " expand past " + std::to_string(kLongestSubstitution >> 20) + " MiB";
}

GenerateStatus ComposeListing(const CommonStruct& settings, const std::string& folder, FolderSource& source,
                              const OutputForm& form, ListingRun& run, std::string& reason) {
  run = ListingRun();
  run.Settings = &settings;
  run.Form = &form;
  run.Folder = folder;
  run.Types = FileTypes(&source);
  if (!ScanListing(settings, folder, source, run.Listing, reason)) return GenerateStatus::kCannotReadFolder;
  ComputeListingTotals(run);
  for (const SubstitutedText& text : kSubstitutedTexts) {
    std::string& substituted = run.*text.substituted;
    substituted = settings.*text.text;
    if (!SubstitutePlaceholders(run, substituted)) {
      reason = text.key;
      return GenerateStatus::kTextTooLong;
    }
  }
  form.ComposeDocument(run);
  return GenerateStatus::kWritten;
}

bool WriteListingFile(ListingRun& run, const std::string& path, std::string& failure, const SinkWrapper& wrap,
                      uint64_t* written) {
  AtomicFile file;
  const bool done = file.Open(path) && WriteThrough(run, file, wrap, written) && file.Commit();
  failure = done ? std::string() : file.FailureReason();
  return done;
}

GenerateResult GenerateListing(const CommonStruct& settings, FolderSource& source,
                               const ListingOutput& output, ListingRun& run) {
  GenerateResult result;
  const OutputForm& form = output.Form != nullptr ? *output.Form : ClassicFormOf(settings);
  result.Status = ComposeListing(settings, settings.DirStr, source, form, run, result.Reason);
  if (result.Status != GenerateStatus::kWritten) return result;
  run.NullEnds = output.NullEnds && form.AppendNullEndedRow != nullptr;
  const bool written =
      output.ToStandardOutput
          ? WriteStandardOutput(run, result.Reason, output.Wrap, &result.BytesWritten)
          : WriteListingFile(run, settings.OutputFile, result.Reason, output.Wrap, &result.BytesWritten);
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

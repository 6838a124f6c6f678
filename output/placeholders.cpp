#include "output/placeholders.h"

#include <cstdio>

#include "listing/entry.h"
#include "output/forms.h"
#include "output/number_text.h"
#include "platform/platform.h"

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

std::string DateAndTime(const ListingRun&, TextEscape) {
  LocalClock now = CurrentLocalTime();
  char text[64];
  std::snprintf(text, sizeof text, "%s %.3s %02d %02d:%02d:%02d %4d\n", kWeekdays[now.weekday % 7],
                kMonths[(now.month + 11) % 12], now.day, now.hour, now.minute, now.second, now.year);
  return text;
}

std::string Date(const ListingRun&, TextEscape) {
  LocalClock now = CurrentLocalTime();
  char text[64];
  std::snprintf(text, sizeof text, "%02d %s %d", now.day, kMonths[(now.month + 11) % 12], now.year);
  return text;
}

std::string Time(const ListingRun&, TextEscape) { return LocaleTimeText(); }

// The folder's name comes from the file system, not from the user: in a page
// it must read as text, never as markup. Which folder it names is its form's
// choice: the one listed, or the one as the user gave it.
std::string DirPath(const ListingRun& run, TextEscape escape) {
  std::string path;
  escape(path, run.*run.Form->NamedFolder);
  return path;
}

struct Placeholder {
  const char* name;
  std::string CommonStruct::*word;                        // the value, when it is a word of the settings
  std::string ListingTotals::*total;                      // the value, when it is a total
  std::string (*compute)(const ListingRun&, TextEscape);  // the value, when it is computed
};

constexpr Placeholder Word(const char* name, std::string CommonStruct::*word) {
  return {name, word, nullptr, nullptr};
}
constexpr Placeholder Total(const char* name, std::string ListingTotals::*total) {
  return {name, nullptr, total, nullptr};
}
constexpr Placeholder Computed(const char* name, std::string (*compute)(const ListingRun&, TextEscape)) {
  return {name, nullptr, nullptr, compute};
}

// The order settles prefixes: longer names go before the names they start with.
const Placeholder kPlaceholders[] = {
    Total("$TotalSizeInBytes", &ListingTotals::TotalBytesText),
    Total("$TotalSizeInKb", &ListingTotals::TotalKbText),
    Total("$TotalSizeInMb", &ListingTotals::TotalMbText),
    Word("$FileSize", &CommonStruct::FileSize),
    Word("$ContentOf", &CommonStruct::ContentOf),
    Computed("$DirPath", DirPath),
    Computed("$Date-n-Time", DateAndTime),
    Computed("$Date", Date),
    Word("$Files", &CommonStruct::Files),
    Word("$Folders", &CommonStruct::Folders),
    Word("$DirMask", &CommonStruct::DirMask),
    Word("$FileMask", &CommonStruct::FileMask),
    Total("$FileCount", &ListingTotals::FileCountText),
    Total("$FolderCount", &ListingTotals::FolderCountText),
    Computed("$Time", Time),
    Word("$TotalSize", &CommonStruct::TotalSize),
    Word("$UserWord1", &CommonStruct::UserWord1),
    Word("$UserWord2", &CommonStruct::UserWord2),
    Word("$UserWord3", &CommonStruct::UserWord3),
};

std::string ValueOf(const Placeholder& placeholder, const ListingRun& run, TextEscape folder_escape) {
  if (placeholder.word != nullptr) return (*run.Settings).*placeholder.word;
  if (placeholder.total != nullptr) return run.Totals.*placeholder.total;
  return placeholder.compute(run, folder_escape);
}

size_t Occurrences(const std::string& text, const std::string& placeholder) {
  size_t count = 0;
  for (size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + placeholder.size())) {
    ++count;
  }
  return count;
}

}  // namespace

void ComputeListingTotals(ListingRun& run) {
  const auto& folders = run.Listing.FolderList;
  const auto& files = run.Listing.FileList;
  ListingTotals& totals = run.Totals;
  totals.FolderCount = folders.size();
  if (ParentEntryOf(folders) != nullptr) --totals.FolderCount;
  totals.FileCount = files.size();
  totals.TotalBytes = run.Listing.TotalBytes;
  totals.BytesKnown = !run.SizesUnknown;
  totals.FolderCountText = std::to_string(totals.FolderCount);
  totals.FileCountText = std::to_string(totals.FileCount);
  if (files.empty()) {
    totals.TotalBytesText = totals.TotalKbText = totals.TotalMbText = "0";
  } else {
    const double total = static_cast<double>(totals.TotalBytes);
    totals.TotalBytesText = std::to_string(totals.TotalBytes);
    totals.TotalKbText = FormatTwoDecimals(total * (1.0 / 1024));
    totals.TotalMbText = FormatTwoDecimals(total * (1.0 / 1024) * (1.0 / 1024));
  }
  const CommonStruct* settings = run.Settings;
  if (settings != nullptr && settings->HumanSizes) {
    totals.SummarySizeText = HumanSize(static_cast<uint64_t>(totals.TotalBytes));
  } else {
    totals.SummarySizeText = totals.TotalBytesText + " " + (settings != nullptr ? settings->FileSize : "");
  }
}

int ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value, size_t longest) {
  if (placeholder.empty()) return 0;
  size_t at = text.find(placeholder);
  if (at == std::string::npos) return 0;
  // Measured before anything is built: the result of nested placeholders
  // may be far larger than memory.
  const size_t count = Occurrences(text, placeholder);
  const size_t kept = text.size() - count * placeholder.size();
  if (value.size() > 0 && count > (longest - std::min(kept, longest)) / value.size()) return -1;
  if (kept > longest) return -1;
  // Built afresh rather than replaced in place, which would move the rest of
  // the text once per occurrence.
  std::string replaced;
  replaced.reserve(kept + count * value.size());
  size_t copied = 0;
  for (; at != std::string::npos; at = text.find(placeholder, copied)) {
    replaced.append(text, copied, at - copied);
    replaced += value;
    copied = at + placeholder.size();
  }
  replaced.append(text, copied, std::string::npos);
  text.swap(replaced);
  return static_cast<int>(count);
}

bool SubstitutePlaceholders(const ListingRun& run, std::string& text, TextEscape folder_escape) {
  for (const Placeholder& placeholder : kPlaceholders) {
    if (text.find(placeholder.name) == std::string::npos) continue;
    if (ReplaceAll(text, placeholder.name, ValueOf(placeholder, run, folder_escape)) < 0) return false;
  }
  return true;
}

bool SubstitutePlaceholders(const ListingRun& run, std::string& text) {
  return SubstitutePlaceholders(run, text, run.Form->Escape);
}

#include "output/placeholders.h"

#include <cstdio>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/html_rows.h"
#include "platform/platform.h"

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

std::string DateAndTime(const CommonStruct&) {
  LocalClock now = CurrentLocalTime();
  char text[64];
  std::snprintf(text, sizeof text, "%s %.3s %02d %02d:%02d:%02d %4d\n", kWeekdays[now.weekday % 7],
                kMonths[(now.month + 11) % 12], now.day, now.hour, now.minute, now.second, now.year);
  return text;
}

std::string Date(const CommonStruct&) {
  LocalClock now = CurrentLocalTime();
  char text[64];
  std::snprintf(text, sizeof text, "%02d %s %d", now.day, kMonths[(now.month + 11) % 12], now.year);
  return text;
}

std::string Time(const CommonStruct&) { return LocaleTimeText(); }

// The folder's name comes from the file system, not from the user: in a page
// it must read as text, never as markup.
std::string DirPath(const CommonStruct& record) {
  return record.Output == kOutputHtml ? EscapeHtml(record.DirStr) : record.DirStr;
}

struct Placeholder {
  const char* name;
  std::string CommonStruct::*field;             // the value, when it is a field
  std::string (*compute)(const CommonStruct&);  // the value, when it is computed
};

// The order settles prefixes: longer names go before the names they start with.
const Placeholder kPlaceholders[] = {
    {"$TotalSizeInBytes", &CommonStruct::TotalBytesText, nullptr},
    {"$TotalSizeInKb", &CommonStruct::TotalKbText, nullptr},
    {"$TotalSizeInMb", &CommonStruct::TotalMbText, nullptr},
    {"$FileSize", &CommonStruct::FileSize, nullptr},
    {"$ContentOf", &CommonStruct::ContentOf, nullptr},
    {"$DirPath", nullptr, DirPath},
    {"$Date-n-Time", nullptr, DateAndTime},
    {"$Date", nullptr, Date},
    {"$Files", &CommonStruct::Files, nullptr},
    {"$Folders", &CommonStruct::Folders, nullptr},
    {"$DirMask", &CommonStruct::DirMask, nullptr},
    {"$FileMask", &CommonStruct::FileMask, nullptr},
    {"$FileCount", &CommonStruct::FileCountText, nullptr},
    {"$FolderCount", &CommonStruct::FolderCountText, nullptr},
    {"$Time", nullptr, Time},
    {"$TotalSize", &CommonStruct::TotalSize, nullptr},
    {"$UserWord1", &CommonStruct::UserWord1, nullptr},
    {"$UserWord2", &CommonStruct::UserWord2, nullptr},
    {"$UserWord3", &CommonStruct::UserWord3, nullptr},
};

}  // namespace

void ComputeListingTotals(CommonStruct& record) {
  const auto& folders = record.Listing.FolderList;
  const auto& files = record.Listing.FileList;
  record.FolderCount = folders.size();
  if (!folders.empty() && IsParentEntry(folders.front())) --record.FolderCount;
  record.FileCount = files.size();
  record.FolderCountText = std::to_string(record.FolderCount);
  record.FileCountText = std::to_string(record.FileCount);
  if (files.empty()) {
    record.TotalBytesText = record.TotalKbText = record.TotalMbText = "0";
    return;
  }
  const double total = static_cast<double>(record.TotalBytes);
  record.TotalBytesText = std::to_string(record.TotalBytes);
  record.TotalKbText = FormatTwoDecimals(total * (1.0 / 1024));
  record.TotalMbText = FormatTwoDecimals(total * (1.0 / 1024) * (1.0 / 1024));
}

int ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
  if (placeholder.empty()) return 0;
  size_t at = text.find(placeholder);
  if (at == std::string::npos) return 0;
  // Built afresh rather than replaced in place, which would move the rest of
  // the text once per occurrence.
  std::string replaced;
  replaced.reserve(text.size());
  size_t copied = 0;
  int count = 0;
  for (; at != std::string::npos; at = text.find(placeholder, copied)) {
    replaced.append(text, copied, at - copied);
    replaced += value;
    copied = at + placeholder.size();
    ++count;
  }
  replaced.append(text, copied, std::string::npos);
  text.swap(replaced);
  return count;
}

void SubstitutePlaceholders(const CommonStruct& record, std::string& text) {
  for (const Placeholder& placeholder : kPlaceholders) {
    if (text.find(placeholder.name) == std::string::npos) continue;
    std::string value = placeholder.field ? record.*placeholder.field : placeholder.compute(record);
    ReplaceAll(text, placeholder.name, value);
  }
}

std::string SubstitutedTitle(const CommonStruct& record) {
  std::string title = record.Title;
  SubstitutePlaceholders(record, title);
  return title;
}

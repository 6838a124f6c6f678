#include "listing/column_values.h"

#include <algorithm>

namespace {

char* PutTwoDigits(char* at, int value) {
  at[0] = static_cast<char>('0' + value / 10);
  at[1] = static_cast<char>('0' + value % 10);
  return at + 2;
}

struct CivilTime {
  int64_t year;
  int month, day, hour, minute, second;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's method).
CivilTime CivilFromFileTime(uint64_t file_time) {
  constexpr int64_t kDaysFrom1601To1970 = 134774;
  int64_t seconds = static_cast<int64_t>(file_time / 10000000);
  int64_t days = seconds / 86400 - kDaysFrom1601To1970;
  int64_t of_day = seconds % 86400;
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t day_of_era = days - era * 146097;
  int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t month_index = (5 * day_of_year + 2) / 153;
  CivilTime civil;
  civil.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  civil.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  civil.year = year_of_era + era * 400 + (civil.month <= 2 ? 1 : 0);
  civil.hour = static_cast<int>(of_day / 3600);
  civil.minute = static_cast<int>(of_day / 60 % 60);
  civil.second = static_cast<int>(of_day % 60);
  return civil;
}

struct AttributeLetter {
  uint32_t bit;
  const char* text;
};

constexpr AttributeLetter kAttributeLetters[] = {
    {1, "R "}, {2, "H "}, {4, "S "}, {32, "A "}, {128, "File"}, {256, "T "}, {2048, "C "}, {4096, "O "},
};

constexpr uint32_t kNormalAttribute = 128;

bool NeedsPercentEncoding(unsigned char byte) {
  switch (byte) {
    case '"':
    case '#':
    case '%':
    case '&':
    case '\'':
    case '<':
    case '>':
    case '?':
    case '`':
    case '=':
    case '\\':
      return true;
    default:
      return byte < 0x21 || byte == 0x7F || (byte > 0x7F && LinksEncodeHighBytes());
  }
}

}  // namespace

void AppendFileTimeText(std::string& out, uint64_t file_time, bool show_seconds) {
  if (file_time >= 0x8000000000000000ULL) return;
  const CivilTime civil = CivilFromFileTime(file_time);
  char text[40];
  char* at = PutTwoDigits(text, civil.day);
  *at++ = '.';
  at = PutTwoDigits(at, civil.month);
  *at++ = '.';
  const std::string year = std::to_string(civil.year);
  at = std::copy(year.begin(), year.end(), at);
  *at++ = ' ';
  at = PutTwoDigits(at, civil.hour);
  *at++ = ':';
  at = PutTwoDigits(at, civil.minute);
  if (show_seconds) {
    *at++ = ':';
    at = PutTwoDigits(at, civil.second);
  }
  out.append(text, at);
}

void AppendIsoTime(std::string& out, uint64_t file_time, IsoTime layout) {
  if (file_time >= 0x8000000000000000ULL) return;
  const CivilTime civil = CivilFromFileTime(file_time);
  char text[48];
  const std::string year = std::to_string(civil.year);
  char* at = std::copy(year.begin(), year.end(), text);
  *at++ = '-';
  at = PutTwoDigits(at, civil.month);
  *at++ = '-';
  at = PutTwoDigits(at, civil.day);
  *at++ = layout == IsoTime::kMachine ? 'T' : ' ';
  at = PutTwoDigits(at, civil.hour);
  *at++ = ':';
  at = PutTwoDigits(at, civil.minute);
  if (layout != IsoTime::kMinutes) {
    *at++ = ':';
    at = PutTwoDigits(at, civil.second);
  }
  if (layout == IsoTime::kMachine) *at++ = 'Z';
  out.append(text, at);
}

TimeLayout TimeLayoutNamed(const std::string& style) {
  if (style == "iso") return TimeLayout::kIso;
  if (style == "locale") return TimeLayout::kLocale;
  return TimeLayout::kClassic;
}

void AppendTimeText(std::string& out, uint64_t file_time, TimeLayout layout, bool show_seconds) {
  switch (layout) {
    case TimeLayout::kClassic:
      return AppendFileTimeText(out, file_time, show_seconds);
    case TimeLayout::kIso:
      return AppendIsoTime(out, file_time, show_seconds ? IsoTime::kSeconds : IsoTime::kMinutes);
    case TimeLayout::kLocale:
      return AppendLocaleTime(out, file_time, show_seconds);
  }
}

const std::string& TypeDescription(const FileInfoX& entry, const EntryValues& values) {
  static const std::string kNone;
  const auto known = values.Types.find(std::string(ExtensionPart(entry.Find.cFileName)));
  return known != values.Types.end() ? known->second.Description : kNone;
}

const std::string& MimeTypeOf(const FileInfoX& entry, const EntryValues& values) {
  static const std::string kNone;
  const auto known = values.Types.find(std::string(ExtensionPart(entry.Find.cFileName)));
  return known != values.Types.end() ? known->second.MimeType : kNone;
}

const std::string* LinkTargetOf(const FileInfoX& entry, const EntryValues& values) {
  if (!IsLink(entry.Find.dwFileAttributes)) return nullptr;
  const auto known = values.LinkTargets.find(entry.Find.cFileName);
  return known != values.LinkTargets.end() ? &known->second : nullptr;
}

bool HasContentChecksums(const FileInfoX& entry) {
  return !IsLink(entry.Find.dwFileAttributes) && !IsFolder(entry.Find.dwFileAttributes);
}

const std::vector<std::string>* ChecksumsOf(const FileInfoX& entry, const EntryValues& values) {
  if (!HasContentChecksums(entry)) return nullptr;
  const auto known = values.Checksums.find(entry.Find.cFileName);
  return known != values.Checksums.end() ? &known->second : nullptr;
}

const char* LinkTypeText(const FileInfoX& entry) {
  if (!IsLink(entry.Find.dwFileAttributes)) return nullptr;
  if (entry.Find.BrokenLink) return "Broken link";
  return IsFolder(entry.Find.dwFileAttributes) ? "Link to folder" : "Link";
}

void AppendTypeText(std::string& out, const std::string& file_word, const FileInfoX& entry,
                    const EntryValues& values, TextEscape escape) {
  const std::string& description = TypeDescription(entry, values);
  if (!description.empty()) return escape(out, description);
  const std::string_view extension = ExtensionPart(entry.Find.cFileName);
  if (extension.empty()) {
    out += "File";
    return;
  }
  out += file_word;
  out += " \"";
  escape(out, extension.substr(1));
  out += '"';
}

std::string AttributeText(uint32_t attributes) {
  std::string text;
  for (const AttributeLetter& letter : kAttributeLetters) {
    if (attributes & letter.bit) text += letter.text;
  }
  if (text.empty()) {
    if (IsFolder(attributes)) {
      text = "Dir";
    } else if (attributes & kNormalAttribute) {
      text = "File";
    }
  }
  return text;
}

bool AttributesOfText(std::string_view text, uint32_t& attributes) {
  attributes = 0;
  if (text == "Dir") {
    attributes = kDirectoryAttribute;
    return true;
  }
  // In the order AttributeText writes them, each at most once.
  for (const AttributeLetter& letter : kAttributeLetters) {
    const std::string_view word = letter.text;
    if (text.substr(0, word.size()) != word) continue;
    attributes |= letter.bit;
    text.remove_prefix(word.size());
  }
  return text.empty();
}

std::string SizeDigits(const FileInfoX& entry) { return std::to_string(EntrySize(entry)); }

void AppendLinkForm(std::string& out, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  // Where "\" is no separator it is a character of a name, and a link that
  // turned it into "/" would lead out of the folder or to another host.
  const bool backslash_separates = FolderSeparator() == '\\';
  const char* run = text.data();
  const char* end = run + text.size();
  for (const char* at = run; at < end; ++at) {
    const unsigned char byte = static_cast<unsigned char>(*at);
    const bool separator = byte == '\\' && backslash_separates;
    if (!separator && !NeedsPercentEncoding(byte)) continue;
    out.append(run, at);
    if (separator) {
      out += '/';
    } else {
      const char code[] = {'%', kHex[byte >> 4], kHex[byte & 15]};
      out.append(code, sizeof code);
    }
    run = at + 1;
  }
  out.append(run, end);
}

std::string LinkForm(const std::string& text) {
  std::string link;
  link.reserve(text.size() + 8);
  AppendLinkForm(link, text);
  return link;
}

std::string FullLinkForm(const std::string& folder, const FileInfoX& entry) {
  return LinkForm(JoinPath(folder, entry.Find.cFileName));
}

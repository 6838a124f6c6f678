#include "output/listing_readers.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "output/catalog_data.h"

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string_view WithoutByteOrderMark(std::string_view content) {
  if (content.substr(0, 3) == kByteOrderMark) content.remove_prefix(3);
  return content;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char FirstNonBlank(std::string_view content) {
  for (char c : content) {
    if (!IsBlank(c)) return c;
  }
  return '\0';
}

// A CSV header as Kestrova writes it: "name" first, then the other fields.
bool StartsWithCsvHeader(std::string_view content) {
  const std::string_view line = content.substr(0, content.find('\n'));
  return line.substr(0, 5) == "name," || line == "name" || line == "name\r";
}

// The byte after the blanks that follow offset; '\0' at the end.
char NextNonBlank(std::string_view content, size_t& offset) {
  while (offset < content.size() && IsBlank(content[offset])) ++offset;
  return offset < content.size() ? content[offset] : '\0';
}

// The kind of a JSON array: ncdu's starts with its format's number, tree's
// objects with "type", rclone's with "Path" (or it is empty).
ListingKind KindOfJsonArray(std::string_view content) {
  size_t at = content.find('[') + 1;
  const char first = NextNonBlank(content, at);
  if (first >= '0' && first <= '9') return ListingKind::kNcdu;
  if (first != '{') return ListingKind::kRclone;
  ++at;
  NextNonBlank(content, at);
  return content.substr(at, 6) == "\"type\"" ? ListingKind::kTreeJson : ListingKind::kRclone;
}

struct KindName {
  ListingKind Kind;
  const char* Name;
};
constexpr KindName kKindNames[] = {{ListingKind::kJson, "json"},          {ListingKind::kCsv, "csv"},
                                   {ListingKind::kSums, "sums"},          {ListingKind::kCatalog, "catalog"},
                                   {ListingKind::kTreeJson, "tree-json"}, {ListingKind::kNcdu, "ncdu"},
                                   {ListingKind::kRclone, "rclone"},      {ListingKind::kEfu, "efu"}};

bool ReadCatalog(std::string_view content, ListingModel& model, ListingShape& shape, std::string& error) {
  shape.Tree = true;
  shape.FilesOnly = false;
  model.TimePrecision = kWholeSeconds;
  return ReadCatalogPage(content, model, error);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

bool Digits(std::string_view text, size_t at, size_t count, unsigned& value) {
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

}  // namespace

const char* ListingKindName(ListingKind kind) {
  for (const KindName& name : kKindNames) {
    if (name.Kind == kind) return name.Name;
  }
  return "";
}

const ListingKind* ListingKindNamed(std::string_view text) {
  for (const KindName& name : kKindNames) {
    if (text == name.Name) return &name.Kind;
  }
  return nullptr;
}

std::vector<std::string> ListingKindNames() {
  std::vector<std::string> names;
  for (const KindName& name : kKindNames) names.emplace_back(name.Name);
  return names;
}

ListingKind ListingKindOf(std::string_view content) {
  content = WithoutByteOrderMark(content);
  const char first = FirstNonBlank(content);
  if (first == '{') return ListingKind::kJson;
  if (first == '<') return ListingKind::kCatalog;
  if (first == '[') return KindOfJsonArray(content);
  if (StartsWithCsvHeader(content)) return ListingKind::kCsv;
  if (content.substr(0, 8) == "Filename") return ListingKind::kEfu;
  return ListingKind::kSums;
}

bool ReadListing(std::string_view content, const ListingReadOptions& options, ListingModel& model,
                 ListingShape& shape, std::string& error) {
  shape = ListingShape();
  shape.Kind = options.Kind != nullptr ? *options.Kind : ListingKindOf(content);
  switch (shape.Kind) {
    case ListingKind::kTreeJson:
      return ReadTreeJsonListing(content, model, shape, error);
    case ListingKind::kNcdu:
      return ReadNcduListing(content, model, shape, error);
    case ListingKind::kRclone:
      return ReadRcloneListing(content, model, shape, error);
    case ListingKind::kEfu:
      return ReadEfuListing(content, model, shape, error);
    case ListingKind::kJson:
      return ReadJsonListing(content, model, shape, error);
    case ListingKind::kCsv:
      return ReadCsvListing(content, model, shape, error);
    case ListingKind::kCatalog:
      return ReadCatalog(content, model, shape, error);
    case ListingKind::kSums:
      break;
  }
  return ReadSumsListing(content, options, model, shape, error);
}

std::string PositionText(std::string_view content, size_t offset) {
  offset = std::min(offset, content.size());
  const std::string_view before = content.substr(0, offset);
  const size_t line = static_cast<size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const size_t line_start = before.rfind('\n');
  const size_t column = line_start == std::string_view::npos ? offset + 1 : offset - line_start;
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

ModelBuilder::ModelBuilder(ListingModel& model) : model_(model) {
  if (model_.Folders.empty()) {
    model_.Folders.emplace_back();
    model_.Folders.front().Record.dwFileAttributes = kDirectoryAttribute;
  }
}

size_t ModelBuilder::FolderAt(const std::vector<std::string>& names) {
  if (!names.empty() && names == last_names_) return last_folder_;
  last_names_ = names;
  last_folder_ = FolderBelow(names);
  return last_folder_;
}

size_t ModelBuilder::FolderBelow(const std::vector<std::string>& names) {
  size_t at = 0;
  for (const std::string& name : names) {
    const auto found = model_.Folders[at].SubFolders.find(name);
    if (found != model_.Folders[at].SubFolders.end()) {
      at = found->second;
      continue;
    }
    const size_t made = model_.Folders.size();
    model_.Folders[at].SubFolders.emplace(name, made);
    model_.Folders.emplace_back();
    ModelFolder& folder = model_.Folders.back();
    folder.Parent = at;
    folder.Name = name;
    folder.Record.cFileName = name;
    folder.Record.dwFileAttributes = kDirectoryAttribute;
    at = made;
  }
  return at;
}

size_t ModelBuilder::AlgorithmAt(DigestAlgorithm algorithm) {
  std::vector<DigestAlgorithm>& algorithms = model_.Algorithms;
  const auto found = std::find(algorithms.begin(), algorithms.end(), algorithm);
  if (found != algorithms.end()) return static_cast<size_t>(found - algorithms.begin());
  algorithms.push_back(algorithm);
  return algorithms.size() - 1;
}

namespace {

uint64_t NameKey(size_t folder, const std::string& name) {
  return std::hash<std::string>{}(name) ^ (static_cast<uint64_t>(folder) * 0x9E3779B97F4A7C15u);
}

bool HasEntry(const std::vector<FolderRecord>& entries, const std::string& name) {
  return std::any_of(entries.begin(), entries.end(),
                     [&name](const FolderRecord& entry) { return entry.cFileName == name; });
}

}  // namespace

bool ModelBuilder::AddEntry(size_t folder, const FolderRecord& record) {
  std::vector<FolderRecord>& entries = model_.Folders[folder].Entries;
  // Only a name whose key was seen before may be there already.
  if (!AddKey(NameKey(folder, record.cFileName)) && HasEntry(entries, record.cFileName)) return false;
  entries.push_back(record);
  return true;
}

bool ModelBuilder::AddKey(uint64_t key) {
  if (key == 0) key = 1;
  if (2 * (added_count_ + 1) > added_.size()) {
    std::vector<uint64_t> keys(std::max<size_t>(1024, 2 * added_.size()), 0);
    for (const uint64_t kept : added_) {
      if (kept == 0) continue;
      size_t at = kept & (keys.size() - 1);
      while (keys[at] != 0) at = (at + 1) & (keys.size() - 1);
      keys[at] = kept;
    }
    added_.swap(keys);
  }
  size_t at = key & (added_.size() - 1);
  while (added_[at] != 0) {
    if (added_[at] == key) return false;
    at = (at + 1) & (added_.size() - 1);
  }
  added_[at] = key;
  ++added_count_;
  return true;
}

void ModelBuilder::SetType(const std::string& name, const std::string& description,
                           const std::string& mime_type) {
  if (description.empty() && mime_type.empty()) return;
  model_.Types.emplace(ExtensionOf(name), TypeTexts{description, mime_type});
}

bool ModelBuilder::SetDigest(size_t folder, const std::string& name, DigestAlgorithm algorithm,
                             const std::string& digest) {
  const size_t at = AlgorithmAt(algorithm);
  std::vector<std::string>& digests = model_.Folders[folder].Checksums[name];
  if (digests.size() <= at) digests.resize(at + 1);
  if (!digests[at].empty() && digests[at] != digest) return false;
  digests[at] = digest;
  return true;
}

void ModelBuilder::Finish() {
  for (ModelFolder& folder : model_.Folders) {
    for (auto& [name, digests] : folder.Checksums) digests.resize(model_.Algorithms.size());
    if (folder.SubFolders.empty()) continue;
    for (const FolderRecord& entry : folder.Entries) {
      const auto sub = folder.SubFolders.find(entry.cFileName);
      if (sub != folder.SubFolders.end()) model_.Folders[sub->second].Record = entry;
    }
  }
}

void ModelBuilder::ListFoldersInParents() {
  // Each parent's names looked up in a set made once, not searched for each
  // of its folders; room is made first, so that the names stay where the
  // set sees them.
  std::vector<std::vector<size_t>> made(model_.Folders.size());
  for (size_t at = 1; at < model_.Folders.size(); ++at) made[model_.Folders[at].Parent].push_back(at);
  for (size_t parent = 0; parent < made.size(); ++parent) {
    if (made[parent].empty()) continue;
    std::vector<FolderRecord>& entries = model_.Folders[parent].Entries;
    entries.reserve(entries.size() + made[parent].size());
    std::unordered_set<std::string_view> listed;
    for (const FolderRecord& entry : entries) listed.insert(entry.cFileName);
    for (const size_t folder : made[parent]) {
      const FolderRecord& record = model_.Folders[folder].Record;
      if (listed.count(record.cFileName) != 0) continue;
      entries.push_back(record);
      listed.insert(entries.back().cFileName);
    }
  }
}

bool ParseIsoTime(std::string_view text, uint64_t& file_time) {
  // "YYYY-MM-DDTHH:MM:SSZ"
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return false;
  }
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
      !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second)) {
    return false;
  }
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
      second > 60)
    return false;
  const int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  file_time = FileTimeOfSeconds(seconds);
  return true;
}

bool ParseRfc3339Time(std::string_view text, uint64_t& file_time) {
  if (text.size() < 20 || text[10] != 'T') return false;
  size_t end = 19;
  unsigned fraction = 0;  // in 100 ns
  if (text[end] == '.') {
    size_t digits = 0;
    for (++end; end < text.size() && text[end] >= '0' && text[end] <= '9'; ++end, ++digits) {
      if (digits < 7) fraction = fraction * 10 + static_cast<unsigned>(text[end] - '0');
    }
    if (digits == 0) return false;
    for (; digits < 7; ++digits) fraction *= 10;
  }
  const std::string_view zone = text.substr(end);
  int64_t offset_minutes = 0;
  if (zone != "Z" && zone != "z") {
    unsigned hours = 0, minutes = 0;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' ||
        !Digits(zone, 1, 2, hours) || !Digits(zone, 4, 2, minutes) || hours > 23 || minutes > 59)
      return false;
    offset_minutes = (zone[0] == '-' ? -1 : 1) * static_cast<int64_t>(hours * 60 + minutes);
  }
  uint64_t utc = 0;
  if (!ParseIsoTime(std::string(text.substr(0, 19)) + "Z", utc)) return false;
  const int64_t shift = offset_minutes * 60 * 10'000'000;
  if (shift > 0 && utc < static_cast<uint64_t>(shift)) return false;
  file_time = static_cast<uint64_t>(static_cast<int64_t>(utc) - shift) + fraction;
  return true;
}

bool ParseEpochSeconds(std::string_view text, uint64_t& file_time) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  const int64_t seconds = std::stoll(std::string(digits));
  constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  if (negative && seconds > kSecondsFrom1601To1970) return false;
  file_time = FileTimeOfSeconds(negative ? -seconds : seconds);
  return true;
}

std::string LastNameOfPath(const std::string& path) {
  const size_t end = path.find_last_not_of("/\\");
  if (end == std::string::npos) return path;
  const size_t start = path.find_last_of("/\\", end);
  return path.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

bool PercentDecoded(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '%') {
      bytes += text[at];
      continue;
    }
    if (at + 2 >= text.size()) return false;
    const int high = HexValue(text[at + 1]);
    const int low = HexValue(text[at + 2]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    at += 2;
  }
  return true;
}

bool SplitListedPath(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  const bool backslash = FolderSeparator() == '\\';
  std::string name;
  for (size_t at = 0; at <= path.size(); ++at) {
    const bool ends = at == path.size() || path[at] == '/' || (backslash && path[at] == '\\');
    if (!ends) {
      name += path[at];
      continue;
    }
    if (name.empty() || name == "." || name == "..") return false;
    names.push_back(std::move(name));
    name.clear();
  }
  return true;
}

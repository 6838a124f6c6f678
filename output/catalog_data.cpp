#include "output/catalog_data.h"

#include <zlib.h>

#include <cstring>

#include "output/catalog_page.h"

namespace {

constexpr char kMagic[] = "KCATALOG";
// Version 2 names the checksums in the header and gives each section their
// columns; version 1, without them, is read too.
constexpr uint64_t kVersion = 2;

// An entry's checksum of one algorithm.
enum DigestState : char { kNoDigest = 0, kDigest = 1, kUnreadable = 2 };
// A section ends after the run that brings it to this many entries: enough
// for the compressor to see like values together, little enough to hold.
constexpr size_t kSectionEntries = 32768;
// Base64 characters a line: each line a whole number of groups of four, so
// that each decodes alone.
constexpr size_t kLineLength = 4096;
constexpr uint32_t kLinkAttribute = 1024;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr uint64_t kTicksPerSecond = 10000000;

void AppendVarint(std::string& out, uint64_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7f) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

void AppendZigzag(std::string& out, int64_t value) {
  AppendVarint(out, (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
}

void AppendString(std::string& out, std::string_view text) {
  AppendVarint(out, text.size());
  out.append(text.data(), text.size());
}

// A column: its length, then its bytes.
void AppendColumn(std::string& out, const std::string& column) { AppendString(out, column); }

size_t SharedPrefix(std::string_view a, std::string_view b) {
  const size_t most = a.size() < b.size() ? a.size() : b.size();
  size_t shared = 0;
  while (shared < most && a[shared] == b[shared]) ++shared;
  return shared;
}

// The times of a section as their least, then each time above it in bytes
// of equal weight, the least significant bytes of all first: times spread
// over years differ in their low bytes alone, which the compressor then
// finds side by side.
std::string TimeColumn(const std::vector<int64_t>& times) {
  std::string column;
  if (times.empty()) return column;
  int64_t least = times.front();
  for (const int64_t time : times) least = time < least ? time : least;
  uint64_t most = 0;
  for (const int64_t time : times) {
    const uint64_t above = static_cast<uint64_t>(time) - static_cast<uint64_t>(least);
    most = above > most ? above : most;
  }
  size_t planes = 0;
  while (planes < 8 && (most >> (8 * planes)) != 0) ++planes;
  AppendZigzag(column, least);
  AppendVarint(column, planes);
  for (size_t plane = 0; plane < planes; ++plane) {
    for (const int64_t time : times)
      column.push_back(static_cast<char>(
          ((static_cast<uint64_t>(time) - static_cast<uint64_t>(least)) >> (8 * plane)) & 0xff));
  }
  return column;
}

uint64_t SizeOf(const FolderRecord& record) {
  return (static_cast<uint64_t>(record.nFileSizeHigh) << 32) | record.nFileSizeLow;
}

}  // namespace

int64_t UnixSeconds(uint64_t file_time) {
  const int64_t seconds = static_cast<int64_t>(file_time / kTicksPerSecond);
  return seconds - kSecondsFrom1601To1970;
}

uint64_t FileTimeOfSeconds(int64_t seconds) {
  const int64_t since_1601 = seconds + kSecondsFrom1601To1970;
  return since_1601 <= 0 ? 0 : static_cast<uint64_t>(since_1601) * kTicksPerSecond;
}

// The compressor, and the base64 lines it feeds to the sink.
struct CatalogEncoder::Stream {
  explicit Stream(ByteSink& to) : sink(to) {
    std::memset(&zlib, 0, sizeof zlib);
    // zlib's own level: the highest makes these columns no smaller (a little
    // larger, as measured on a tree of a million names) in twice the time.
    ready = deflateInit2(&zlib, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    failed = !ready;
  }
  ~Stream() {
    if (ready) deflateEnd(&zlib);
  }

  bool Write(std::string_view bytes, bool last) {
    zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zlib.avail_in = static_cast<uInt>(bytes.size());
    int status = Z_OK;
    do {
      unsigned char out[65536];
      zlib.next_out = out;
      zlib.avail_out = sizeof out;
      status = deflate(&zlib, last ? Z_FINISH : Z_NO_FLUSH);
      if (status == Z_STREAM_ERROR) return Fail();
      Encode(out, sizeof out - zlib.avail_out);
      if (failed) return false;
    } while (zlib.avail_out == 0 || (last && status != Z_STREAM_END));
    if (last) {
      Encode(nullptr, 0, true);
      if (!line.empty()) line.push_back('\n');
      if (!failed && !line.empty() && !sink.Write(line)) failed = true;
    }
    return !failed;
  }

  // Feeds more than 4 GiB through zlib's 32-bit counts a piece at a time.
  bool WriteAll(std::string_view bytes) {
    constexpr size_t kPiece = size_t{1} << 30;
    while (bytes.size() > kPiece) {
      if (!Write(bytes.substr(0, kPiece), false)) return false;
      bytes.remove_prefix(kPiece);
    }
    return Write(bytes, false);
  }

  void Encode(const unsigned char* bytes, size_t size, bool end = false) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < size; ++i) {
      group[group_size++] = bytes[i];
      if (group_size == 3) EmitGroup(kAlphabet, 3);
    }
    if (end && group_size > 0) EmitGroup(kAlphabet, group_size);
  }

  void EmitGroup(const char* alphabet, size_t size) {
    const uint32_t value = (uint32_t{group[0]} << 16) | (size > 1 ? uint32_t{group[1]} << 8 : 0) |
                           (size > 2 ? uint32_t{group[2]} : 0);
    line.push_back(alphabet[(value >> 18) & 63]);
    line.push_back(alphabet[(value >> 12) & 63]);
    line.push_back(size > 1 ? alphabet[(value >> 6) & 63] : '=');
    line.push_back(size > 2 ? alphabet[value & 63] : '=');
    group_size = 0;
    if (line.size() == kLineLength) {
      line.push_back('\n');
      if (!sink.Write(line)) failed = true;
      line.clear();
    }
  }

  bool Fail() {
    failed = true;
    return false;
  }

  ByteSink& sink;
  z_stream zlib;
  bool ready = false;
  bool failed = false;
  unsigned char group[3] = {0, 0, 0};
  size_t group_size = 0;
  std::string line;
};

// The columns of the runs not yet written.
struct CatalogEncoder::Section {
  std::vector<uint64_t> runs;
  size_t count = 0;
  std::string prefix, suffix_length, suffix, attributes, size, targets;
  // For each algorithm: each entry's DigestState, and the digests' bytes.
  std::vector<std::string> digest_states, digests;
  std::vector<int64_t> times;
};

CatalogEncoder::CatalogEncoder(ByteSink& sink)
    : stream_(std::make_unique<Stream>(sink)), section_(std::make_unique<Section>()) {}

CatalogEncoder::~CatalogEncoder() = default;

bool CatalogEncoder::Failed() const { return stream_->failed; }

bool CatalogEncoder::Begin(const CatalogHeader& header) {
  std::string bytes(kMagic, sizeof kMagic - 1);
  AppendVarint(bytes, kVersion);
  AppendString(bytes, header.Title);
  AppendString(bytes, header.TopPath);
  AppendString(bytes, header.TopName);
  AppendZigzag(bytes, header.Written);
  AppendVarint(bytes, static_cast<uint64_t>(header.Links));
  AppendString(bytes, header.LinkBase);
  AppendVarint(bytes, 1);  // the folders' totals are present
  algorithms_ = header.Algorithms;
  AppendVarint(bytes, algorithms_.size());
  for (DigestAlgorithm algorithm : algorithms_) AppendString(bytes, DigestName(algorithm));
  return stream_->WriteAll(bytes);
}

namespace {

int HexDigit(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

// The bytes of a digest in lower-case hex, as the digesters give it.
std::string DigestBytes(const std::string& hex) {
  std::string bytes;
  for (size_t at = 0; at + 1 < hex.size(); at += 2)
    bytes += static_cast<char>(HexDigit(hex[at]) << 4 | HexDigit(hex[at + 1]));
  return bytes;
}

// Each algorithm's state and digest of the entry into the section's columns.
void AddDigests(const std::string& name, const EntryValues* values, std::vector<std::string>& states,
                std::vector<std::string>& digests) {
  const std::vector<std::string>* kept = nullptr;
  bool unreadable = false;
  if (values != nullptr) {
    const auto found = values->Checksums.find(name);
    if (found != values->Checksums.end()) kept = &found->second;
    unreadable = kept == nullptr && values->ChecksumFailures.count(name) != 0;
  }
  for (size_t i = 0; i < states.size(); ++i) {
    if (kept != nullptr && i < kept->size() && !(*kept)[i].empty()) {
      states[i] += kDigest;
      digests[i] += DigestBytes((*kept)[i]);
    } else {
      states[i] += unreadable ? kUnreadable : kNoDigest;
    }
  }
}

}  // namespace

void CatalogEncoder::AddRun(const std::vector<const FolderRecord*>& entries,
                            const std::vector<std::string>& targets, const EntryValues* values) {
  Section& section = *section_;
  section.digest_states.resize(algorithms_.size());
  section.digests.resize(algorithms_.size());
  section.runs.push_back(entries.size());
  section.count += entries.size();
  std::string_view previous;
  size_t next_target = 0;
  for (const FolderRecord* record : entries) {
    const std::string& name = record->cFileName;
    const size_t shared = SharedPrefix(previous, name);
    AppendVarint(section.prefix, shared);
    AppendVarint(section.suffix_length, name.size() - shared);
    section.suffix.append(name, shared, std::string::npos);
    previous = name;
    AppendVarint(section.attributes, record->dwFileAttributes);
    AppendVarint(section.size, (record->dwFileAttributes & 16) != 0 ? 0 : SizeOf(*record));
    section.times.push_back(UnixSeconds(record->ftLastWriteTime));
    if ((record->dwFileAttributes & kLinkAttribute) != 0)
      AppendString(section.targets, next_target < targets.size() ? targets[next_target++] : std::string());
    AddDigests(name, values, section.digest_states, section.digests);
  }
  entries_ += entries.size();
  if (section.count >= kSectionEntries) FlushSection();
}

bool CatalogEncoder::FlushSection() {
  Section& section = *section_;
  if (section.runs.empty()) return !stream_->failed;
  std::string bytes(1, 'E');
  AppendVarint(bytes, section.runs.size());
  for (uint64_t run : section.runs) AppendVarint(bytes, run);
  AppendVarint(bytes, section.count);
  std::string modified = TimeColumn(section.times);
  for (const std::string* column : {&section.prefix, &section.suffix_length, &section.suffix,
                                    &section.attributes, &section.size, &modified, &section.targets})
    AppendColumn(bytes, *column);
  for (size_t i = 0; i < algorithms_.size(); ++i) {
    AppendColumn(bytes, section.digest_states[i]);
    AppendColumn(bytes, section.digests[i]);
  }
  section = Section();
  return stream_->WriteAll(bytes);
}

bool CatalogEncoder::Finish(const CatalogTypes& types, const std::vector<CatalogFolder>& folders) {
  if (!FlushSection()) return false;
  std::string type_rows(1, 'T');
  AppendVarint(type_rows, types.size());
  for (const auto& [extension, texts] : types) {
    AppendString(type_rows, extension);
    AppendString(type_rows, texts.Description);
    AppendString(type_rows, texts.MimeType);
  }
  if (!stream_->WriteAll(type_rows)) return false;
  std::string parent, entry, files, subfolders, bytes_below, state, reasons;
  for (size_t at = 0; at < folders.size(); ++at) {
    const CatalogFolder& folder = folders[at];
    AppendVarint(parent, at - folder.Parent);
    AppendVarint(entry, folder.Entry);
    AppendVarint(files, folder.Totals.Files);
    AppendVarint(subfolders, folder.Totals.Folders);
    AppendVarint(bytes_below, folder.Totals.Bytes);
    AppendVarint(state, static_cast<uint64_t>(folder.State));
    if (folder.State == CatalogFolderState::kFailed) AppendString(reasons, folder.Reason);
  }
  std::string bytes(1, 'F');
  AppendVarint(bytes, folders.size());
  for (const std::string* column : {&parent, &entry, &files, &subfolders, &bytes_below, &state, &reasons})
    AppendColumn(bytes, *column);
  bytes.push_back('Z');
  AppendVarint(bytes, entries_);
  AppendVarint(bytes, folders.size());
  return stream_->WriteAll(bytes) && stream_->Write(std::string_view(), true);
}

namespace {

// The failure of a read.
struct DataError {
  std::string what;
};

class DataReader {
 public:
  explicit DataReader(std::string_view data) : data_(data) {}

  uint8_t Byte() {
    if (at_ >= data_.size()) Fail("the data ends inside a field");
    return static_cast<uint8_t>(data_[at_++]);
  }
  uint64_t Varint() {
    uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
      if (shift > 63) Fail("a number is longer than 64 bits");
      const uint8_t byte = Byte();
      value |= uint64_t{byte & 0x7fu} << shift;
      if (byte < 0x80) return value;
    }
  }
  int64_t Zigzag() {
    const uint64_t value = Varint();
    return static_cast<int64_t>((value >> 1) ^ (~(value & 1) + 1));
  }
  std::string_view Take(uint64_t size) {
    if (size > data_.size() - at_) Fail("the data ends inside a field");
    const std::string_view piece = data_.substr(at_, static_cast<size_t>(size));
    at_ += static_cast<size_t>(size);
    return piece;
  }
  std::string String() { return std::string(Take(Varint())); }
  DataReader Column() { return DataReader(Take(Varint())); }
  bool AtEnd() const { return at_ == data_.size(); }
  size_t At() const { return at_; }
  [[noreturn]] void Fail(const std::string& what) { throw DataError{what}; }

 private:
  std::string_view data_;
  size_t at_ = 0;
};

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The bytes of the base64 lines, or why they are none.
bool DecodeBase64Lines(std::string_view text, std::string& bytes, std::string& error) {
  uint32_t group = 0;
  int held = 0, padding = 0;
  size_t line = 1;
  for (const char c : text) {
    if (c == '\n') {
      ++line;
      continue;
    }
    if (c == '=') {
      ++padding;
      ++held;
      group <<= 6;
    } else {
      const int value = Base64Value(c);
      if (value < 0 || padding > 0) {
        error = "the data's line " + std::to_string(line) + " holds a character that base64 has not";
        return false;
      }
      group = (group << 6) | static_cast<uint32_t>(value);
      ++held;
    }
    if (held == 4) {
      // A group holds three, two or one byte: at most two "=".
      if (padding > 2) {
        error = "the data's line " + std::to_string(line) + " pads a base64 group past its bytes";
        return false;
      }
      const char decoded[3] = {static_cast<char>(group >> 16), static_cast<char>(group >> 8),
                               static_cast<char>(group)};
      bytes.append(decoded, static_cast<size_t>(3 - padding));
      group = 0;
      held = 0;
      if (padding > 0) padding = 4;  // nothing may follow the padding
    }
  }
  if (held != 0) {
    error = "the data's base64 ends inside a group";
    return false;
  }
  return true;
}

bool Inflate(const std::string& compressed, std::string& payload, std::string& error) {
  z_stream zlib;
  std::memset(&zlib, 0, sizeof zlib);
  if (inflateInit(&zlib) != Z_OK) {
    error = "zlib cannot start";
    return false;
  }
  zlib.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  zlib.avail_in = static_cast<uInt>(compressed.size());
  int status = Z_OK;
  while (status == Z_OK) {
    char out[1 << 16];
    zlib.next_out = reinterpret_cast<Bytef*>(out);
    zlib.avail_out = sizeof out;
    status = inflate(&zlib, Z_NO_FLUSH);
    payload.append(out, sizeof out - zlib.avail_out);
    if (status == Z_BUF_ERROR && zlib.avail_in == 0) break;
  }
  const bool whole = status == Z_STREAM_END && zlib.avail_in == 0;
  inflateEnd(&zlib);
  if (!whole)
    error = status == Z_STREAM_END ? "bytes follow the data's end" : "the data is damaged or cut short";
  return whole;
}

void ReadHeader(DataReader& data, ListingModel& model) {
  if (data.Take(8) != std::string_view(kMagic, 8)) data.Fail("the data is no catalog's");
  const uint64_t version = data.Varint();
  if (version != 1 && version != kVersion)
    data.Fail("the catalog is of a version this program does not read");
  model.Title = data.String();
  model.TopPath = data.String();
  model.TopName = data.String();
  data.Zigzag();  // when it was written
  data.Varint();  // how the page links
  data.String();
  data.Varint();  // flags
  if (version == 1) return;
  const uint64_t algorithms = data.Varint();
  for (uint64_t i = 0; i < algorithms; ++i) {
    const DigestAlgorithm* algorithm = DigestNamed(data.String());
    if (algorithm == nullptr) data.Fail("a checksum is of an algorithm this program does not know");
    model.Algorithms.push_back(*algorithm);
  }
}

std::string DigestHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<uint8_t>(c) >> 4];
    hex += kDigits[static_cast<uint8_t>(c) & 15];
  }
  return hex;
}

// The checksums of a section's entries into their folders.
void ReadDigests(DataReader& data, ListingModel& model, const std::vector<size_t>& runs, size_t sum) {
  const size_t first_folder = model.Folders.size() - runs.size();
  for (size_t i = 0; i < model.Algorithms.size(); ++i) {
    DataReader states = data.Column(), digests = data.Column();
    const std::string_view state_bytes = states.Take(sum);
    const size_t length = DigestTextLength(model.Algorithms[i]) / 2;
    size_t entry = 0;
    for (size_t run = 0; run < runs.size(); ++run) {
      ModelFolder& folder = model.Folders[first_folder + run];
      for (size_t at = 0; at < runs[run]; ++at, ++entry) {
        const std::string& name = folder.Entries[at].cFileName;
        if (state_bytes[entry] == kUnreadable) {
          folder.ChecksumFailures.emplace(name, "it could not be read when the catalog was written");
        } else if (state_bytes[entry] == kDigest) {
          std::vector<std::string>& kept = folder.Checksums[name];
          kept.resize(model.Algorithms.size());
          kept[i] = DigestHex(digests.Take(length));
        } else if (state_bytes[entry] != kNoDigest) {
          states.Fail("a checksum's state is none this program knows");
        }
      }
    }
    if (!states.AtEnd() || !digests.AtEnd()) data.Fail("a column of a section holds more than its entries");
  }
}

struct ReadState {
  uint64_t entries = 0;
};

// A count read from the data, no greater than what the bytes left can hold.
size_t CountOf(DataReader& data, uint64_t most) {
  const uint64_t count = data.Varint();
  if (count > most) data.Fail("a count is greater than the data can hold");
  return static_cast<size_t>(count);
}

std::vector<int64_t> ReadTimes(DataReader& column, size_t count) {
  std::vector<int64_t> times;
  if (count == 0) return times;
  const int64_t least = column.Zigzag();
  const uint64_t planes = column.Varint();
  if (planes > 8) column.Fail("a time has more than 8 bytes");
  std::vector<uint64_t> above(count, 0);
  for (unsigned plane = 0; plane < planes; ++plane) {
    const std::string_view bytes = column.Take(count);
    for (size_t at = 0; at < count; ++at)
      above[at] |= uint64_t{static_cast<uint8_t>(bytes[at])} << (8 * plane);
  }
  for (const uint64_t offset : above)
    times.push_back(static_cast<int64_t>(static_cast<uint64_t>(least) + offset));
  return times;
}

void ReadEntries(DataReader& data, ListingModel& model, ReadState& state, size_t bytes_left) {
  const size_t run_count = CountOf(data, bytes_left);
  std::vector<size_t> runs;
  uint64_t sum = 0;
  for (size_t i = 0; i < run_count; ++i) {
    runs.push_back(CountOf(data, bytes_left));
    sum += runs.back();
  }
  if (data.Varint() != sum) data.Fail("a section's runs do not add up to its entries");
  DataReader prefix = data.Column(), suffix_length = data.Column(), suffix = data.Column();
  DataReader attributes = data.Column(), size = data.Column(), modified = data.Column();
  DataReader targets = data.Column();
  const std::vector<int64_t> times = ReadTimes(modified, static_cast<size_t>(sum));
  size_t next_time = 0;
  for (const size_t run : runs) {
    model.Folders.emplace_back();
    ModelFolder& folder = model.Folders.back();
    folder.Entries.reserve(run);
    std::string previous;
    for (size_t i = 0; i < run; ++i) {
      FolderRecord record;
      const uint64_t shared = prefix.Varint();
      if (shared > previous.size()) prefix.Fail("a name shares more than the name before it has");
      record.cFileName.assign(previous, 0, static_cast<size_t>(shared));
      record.cFileName.append(suffix.Take(suffix_length.Varint()));
      if (record.cFileName.empty()) suffix.Fail("an entry has no name");
      previous = record.cFileName;
      record.dwFileAttributes = static_cast<uint32_t>(attributes.Varint());
      const uint64_t bytes = size.Varint();
      record.nFileSizeHigh = static_cast<uint32_t>(bytes >> 32);
      record.nFileSizeLow = static_cast<uint32_t>(bytes);
      record.ftLastWriteTime = FileTimeOfSeconds(times[next_time++]);
      record.Identity = {1, ++state.entries + (uint64_t{1} << 40)};
      if ((record.dwFileAttributes & kLinkAttribute) != 0) {
        std::string target = targets.String();
        if (!target.empty()) folder.LinkTargets.emplace(record.cFileName, std::move(target));
      }
      folder.Entries.push_back(std::move(record));
    }
  }
  for (const DataReader* column : {&prefix, &suffix_length, &suffix, &attributes, &size, &modified, &targets})
    if (!column->AtEnd()) data.Fail("a column of a section holds more than its entries");
  ReadDigests(data, model, runs, static_cast<size_t>(sum));
}

void ReadTypes(DataReader& data, ListingModel& model, size_t bytes_left) {
  const size_t count = CountOf(data, bytes_left);
  for (size_t i = 0; i < count; ++i) {
    std::string extension = data.String();
    TypeTexts texts;
    texts.Description = data.String();
    texts.MimeType = data.String();
    model.Types[extension] = std::move(texts);
  }
}

void ReadFolders(DataReader& data, ListingModel& model) {
  const uint64_t count = data.Varint();
  if (count != model.Folders.size() || count == 0) data.Fail("the folder table and the runs differ");
  DataReader parent = data.Column(), entry = data.Column(), files = data.Column(), folders = data.Column();
  DataReader bytes = data.Column(), state = data.Column(), reasons = data.Column();
  for (size_t number = 0; number < model.Folders.size(); ++number) {
    ModelFolder& folder = model.Folders[number];
    const uint64_t back = parent.Varint();
    if ((number == 0) != (back == 0) || back > number) parent.Fail("a folder's parent is not before it");
    folder.Parent = number - static_cast<size_t>(back);
    const uint64_t row = entry.Varint();
    files.Varint();
    folders.Varint();
    bytes.Varint();
    const uint64_t folder_state = state.Varint();
    if (folder_state > 2) state.Fail("a folder's state is unknown");
    if (folder_state == 1) {
      folder.Failed = true;
      folder.Reason = reasons.String();
    }
    if (number == 0) {
      folder.Record.dwFileAttributes = 16;
      folder.Record.cFileName = model.TopName;
      continue;
    }
    ModelFolder& above = model.Folders[folder.Parent];
    if (row >= above.Entries.size() || (above.Entries[row].dwFileAttributes & 16) == 0)
      entry.Fail("a folder's row is no folder of its parent");
    folder.Record = above.Entries[static_cast<size_t>(row)];
    folder.Name = folder.Record.cFileName;
    if (!above.SubFolders.emplace(folder.Name, number).second) entry.Fail("a folder is in the table twice");
  }
}

}  // namespace

bool ReadCatalogPage(std::string_view page, ListingModel& model, std::string& error) {
  // The element's opening line, whatever version it names: the data's own
  // version is the one that counts.
  const size_t start = page.find(kCatalogDataTag);
  const size_t line_end = start == std::string_view::npos ? start : page.find('\n', start);
  const size_t end = line_end == std::string_view::npos ? line_end : page.find("</script>", line_end);
  if (end == std::string_view::npos) {
    error = "it is no catalog page: it holds no catalog's data";
    return false;
  }
  const size_t from = line_end + 1;
  std::string compressed, payload;
  if (!DecodeBase64Lines(page.substr(from, end - from), compressed, error) ||
      !Inflate(compressed, payload, error))
    return false;
  DataReader data(payload);
  try {
    ReadHeader(data, model);
    ReadState state;
    for (;;) {
      const char tag = static_cast<char>(data.Byte());
      const size_t left = payload.size() - data.At();
      if (tag == 'E') {
        ReadEntries(data, model, state, left);
      } else if (tag == 'T') {
        ReadTypes(data, model, left);
      } else if (tag == 'F') {
        ReadFolders(data, model);
      } else if (tag == 'Z') {
        if (data.Varint() != state.entries || data.Varint() != model.Folders.size() || !data.AtEnd())
          data.Fail("the end's counts differ from the data");
        return true;
      } else {
        data.Fail("a section of a kind this program does not know");
      }
    }
  } catch (const DataError& failure) {
    error = "the catalog's data is damaged: " + failure.what + " (byte " + std::to_string(data.At()) +
            " of " + std::to_string(payload.size()) + ")";
    return false;
  }
}

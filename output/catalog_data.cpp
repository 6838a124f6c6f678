#include "output/catalog_data.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr char kMagic[] = "KCATALOG";
constexpr uint64_t kVersion = 1;
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
    ready = deflateInit2(&zlib, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
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
  std::string prefix, suffix_length, suffix, attributes, size, modified, targets;
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
  return stream_->WriteAll(bytes);
}

void CatalogEncoder::AddRun(const std::vector<const FolderRecord*>& entries,
                            const std::vector<std::string>& targets) {
  Section& section = *section_;
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
    const int64_t time = UnixSeconds(record->ftLastWriteTime);
    AppendZigzag(section.modified, time - last_time_);
    last_time_ = time;
    if ((record->dwFileAttributes & kLinkAttribute) != 0)
      AppendString(section.targets, next_target < targets.size() ? targets[next_target++] : std::string());
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
  for (const std::string* column : {&section.prefix, &section.suffix_length, &section.suffix,
                                    &section.attributes, &section.size, &section.modified, &section.targets})
    AppendColumn(bytes, *column);
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

#include "listing/digest_cache.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// The file: this line, then records of kRecordSize bytes in the order of
// their keys, then the xxh128 of the records in hex. Every number is
// big-endian, so that the order of keys is the order of their bytes.
constexpr std::string_view kHeader = "Kestrova digest cache 1\n";
constexpr size_t kTrailerSize = 32;
// A record: device, index, size, write time, change time (8 bytes each),
// the algorithm, the digest's length, two zero bytes, the day it was last
// used (4 bytes), the digest (up to 32 bytes, zero-padded).
constexpr size_t kRecordSize = 80;
constexpr size_t kKeySize = 41;  // the stamp and the algorithm
constexpr size_t kLengthAt = 41;
constexpr size_t kDayAt = 44;
constexpr size_t kDigestAt = 48;
constexpr size_t kMostDigestBytes = kRecordSize - kDigestAt;

void PutNumber(char* at, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) at[i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
}

uint64_t NumberAt(const char* at, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value = value << 8 | static_cast<unsigned char>(at[i]);
  return value;
}

// The record's key for the file as stamped; false for a stamp that does
// not tell which file it is.
bool KeyOf(const ContentStamp& stamp, DigestAlgorithm algorithm, char* key) {
  if (stamp.Identity.Device == 0 && stamp.Identity.Index == 0) return false;
  const uint64_t numbers[] = {stamp.Identity.Device, stamp.Identity.Index, stamp.Size, stamp.WriteTime,
                              stamp.ChangeTime};
  for (size_t i = 0; i < 5; ++i) PutNumber(key + 8 * i, numbers[i], 8);
  key[40] = static_cast<char>(algorithm);
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HexToBytes(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0 || hex.size() / 2 > kMostDigestBytes) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high << 4 | low);
  }
  return true;
}

std::string BytesToHex(const char* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

bool KeyLess(const char* a, const char* b) { return std::memcmp(a, b, kKeySize) < 0; }

std::string RecordsDigest(std::string_view records) {
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kXxh128);
  if (digester == nullptr) return std::string();
  digester->Update(records.data(), records.size());
  return digester->Finish();
}

// Whether the bytes of a file are such a cache, or why not.
bool IsCache(const std::string& bytes, std::string& reason) {
  reason = "not a checksum cache of kestrova";
  if (bytes.compare(0, kHeader.size(), kHeader) != 0) return false;
  if (bytes.size() < kHeader.size() + kTrailerSize) return false;
  const std::string_view records =
      std::string_view(bytes).substr(kHeader.size(), bytes.size() - kHeader.size() - kTrailerSize);
  reason = "a damaged checksum cache";
  if (records.size() % kRecordSize != 0) return false;
  if (RecordsDigest(records) != std::string_view(bytes).substr(bytes.size() - kTrailerSize)) return false;
  for (size_t at = kRecordSize; at < records.size(); at += kRecordSize) {
    if (!KeyLess(records.data() + at - kRecordSize, records.data() + at)) return false;
  }
  return true;
}

}  // namespace

std::string DefaultDigestCachePath() {
  std::string folder = UserCacheFolder();
  if (folder.empty()) return folder;
  if (folder.back() != FolderSeparator()) folder += FolderSeparator();
  return folder + "kestrova" + FolderSeparator() + "checksums";
}

DigestCache::DigestCache(std::string path, uint32_t today) : path_(std::move(path)), today_(today) {}

bool DigestCache::Load(std::string& reason) {
  if (!PathExists(path_)) return true;
  std::string bytes;
  const size_t limit = kHeader.size() + kMostEntries * kRecordSize + kTrailerSize;
  const FileReadStatus status = ReadSmallFile(path_, limit, bytes, reason);
  if (status != FileReadStatus::kRead) {
    if (status == FileReadStatus::kTooLarge) reason = "larger than a checksum cache of kestrova";
  } else if (IsCache(bytes, reason)) {
    // The records alone, in the bytes read: a large cache is not held twice.
    bytes.resize(bytes.size() - kTrailerSize);
    bytes.erase(0, kHeader.size());
    loaded_ = std::move(bytes);
    return true;
  }
  refused_ = true;
  return false;
}

bool DigestCache::Find(const ContentStamp& stamp, DigestAlgorithm algorithm, std::string& digest) {
  char key[kKeySize];
  if (!KeyOf(stamp, algorithm, key)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  size_t low = 0, high = loaded_.size() / kRecordSize;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (KeyLess(loaded_.data() + middle * kRecordSize, key)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  char* record = loaded_.data() + low * kRecordSize;
  if (low * kRecordSize >= loaded_.size() || std::memcmp(record, key, kKeySize) != 0) return false;
  const size_t length = static_cast<unsigned char>(record[kLengthAt]);
  if (length > kMostDigestBytes) return false;
  digest = BytesToHex(record + kDigestAt, length);
  if (NumberAt(record + kDayAt, 4) != today_) {
    PutNumber(record + kDayAt, today_, 4);
    changed_ = true;
  }
  ++hits_;
  return true;
}

void DigestCache::Keep(const ContentStamp& stamp, DigestAlgorithm algorithm, const std::string& digest) {
  char record[kRecordSize] = {};
  std::string bytes;
  if (!KeyOf(stamp, algorithm, record) || !HexToBytes(digest, bytes)) return;
  record[kLengthAt] = static_cast<char>(bytes.size());
  PutNumber(record + kDayAt, today_, 4);
  bytes.copy(record + kDigestAt, bytes.size());
  std::lock_guard<std::mutex> lock(mutex_);
  added_.append(record, kRecordSize);
  changed_ = true;
}

bool DigestCache::Save(std::string& reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (refused_ || !changed_) return true;
  // This run's records first, so that of two with one key the newer stays.
  std::vector<const char*> records;
  records.reserve((added_.size() + loaded_.size()) / kRecordSize);
  for (size_t at = 0; at < added_.size(); at += kRecordSize) records.push_back(added_.data() + at);
  for (size_t at = 0; at < loaded_.size(); at += kRecordSize) records.push_back(loaded_.data() + at);
  std::stable_sort(records.begin(), records.end(), KeyLess);
  records.erase(std::unique(records.begin(), records.end(),
                            [](const char* a, const char* b) { return std::memcmp(a, b, kKeySize) == 0; }),
                records.end());
  const uint32_t oldest = today_ > kKeptDays ? today_ - kKeptDays : 0;
  records.erase(std::remove_if(records.begin(), records.end(),
                               [oldest](const char* r) { return NumberAt(r + kDayAt, 4) < oldest; }),
                records.end());
  if (records.size() > kMostEntries) {
    std::stable_sort(records.begin(), records.end(), [](const char* a, const char* b) {
      return NumberAt(a + kDayAt, 4) > NumberAt(b + kDayAt, 4);
    });
    records.resize(kMostEntries);
    std::sort(records.begin(), records.end(), KeyLess);
  }
  // Windows takes either separator.
  const size_t cut = path_.find_last_of(std::string{'/', FolderSeparator()});
  if (cut != std::string::npos && cut > 0 && !MakeFolders(path_.substr(0, cut), reason)) return false;
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kXxh128);
  AtomicFile file;
  bool written = digester != nullptr && file.Open(path_) && file.Write(kHeader);
  for (size_t at = 0; written && at < records.size(); ++at) {
    digester->Update(records[at], kRecordSize);
    written = file.Write(std::string_view(records[at], kRecordSize));
  }
  const std::string digest = digester != nullptr ? digester->Finish() : std::string();
  if (!written || digest.size() != kTrailerSize || !file.Write(digest) || !file.Commit()) {
    reason = digester == nullptr || file.FailureReason().empty() ? "the system could not compute its checksum"
                                                                 : file.FailureReason();
    return false;
  }
  changed_ = false;
  return true;
}

// Digests kept from one run to the next, so that a file that did not change
// is not read again: each is found only by the very file it was computed
// for, as it was then (device, index, size, write and change times), and
// by its algorithm.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

// The cache's file in the user's cache folder; empty when there is none.
std::string DefaultDigestCachePath();

class DigestCache {
 public:
  // Entries not used for this many days are dropped when the cache is saved.
  static constexpr uint32_t kKeptDays = 90;
  // At most this many entries are saved, the most recently used first.
  static constexpr size_t kMostEntries = size_t{1} << 22;

  // A cache of the file at path, whose old entries were last used before
  // today (days since 1970-01-01).
  DigestCache(std::string path, uint32_t today);

  // Reads the file. A missing file is an empty cache. A file that is not
  // such a cache, or a damaged one, gives false with the reason; the cache
  // then stays empty and is never saved over that file.
  bool Load(std::string& reason);

  // The digest (lower-case hex) kept for the file as stamped; false when
  // none is kept for exactly that stamp. Never for a stamp without the
  // file's identity. Safe from any thread.
  bool Find(const ContentStamp& stamp, DigestAlgorithm algorithm, std::string& digest);
  // Keeps a digest computed for the file as stamped. Safe from any thread.
  void Keep(const ContentStamp& stamp, DigestAlgorithm algorithm, const std::string& digest);

  // Writes the file whole or not at all (a run writing it at the same time
  // either wins or loses whole); nothing when it changed nothing, or when
  // Load refused the file. False with the reason when it could not.
  bool Save(std::string& reason);

  const std::string& Path() const { return path_; }
  size_t Hits() const { return hits_; }

 private:
  std::string path_;
  uint32_t today_;
  bool refused_ = false;  // the file is not ours to write
  bool changed_ = false;
  std::mutex mutex_;
  std::string loaded_;  // the file's records, in the order of their keys
  std::string added_;   // the records of this run, one after the other
  size_t hits_ = 0;
};

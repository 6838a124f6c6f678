#include "listing/checksums.h"

#include <algorithm>
#include <system_error>

#include "listing/column_values.h"

const char kChangedWhileRead[] = "changed while it was read";

namespace {

// Reads of 128 KiB: few system calls, and a buffer that stays in the
// processor's cache between the copy and the digests; 1 MiB ones took twice
// the system time here, the copy landing outside the cache.
constexpr size_t kReadSize = size_t{1} << 17;
constexpr size_t kMostThreads = 16;

size_t ThreadsFor(size_t asked) {
  if (asked != 0) return std::min(asked, kMostThreads);
  return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMostThreads);
}

FileChecksums Failed(std::string reason) {
  FileChecksums failed;
  failed.Failure = std::move(reason);
  return failed;
}

// A file's times move in steps of the system's clock tick (two seconds on
// FAT): one written again within the tick it was read in keeps its stamp.
// Only digests of files older than that are kept for later runs.
constexpr uint64_t kSettledNanoseconds = 2'000'000'000;

// The digests the cache keeps for every algorithm of the file as stamped;
// empty unless it keeps them all.
std::vector<std::string> CachedDigests(DigestCache& cache, const ContentStamp& stamp,
                                       const std::vector<DigestAlgorithm>& algorithms) {
  std::vector<std::string> digests(algorithms.size());
  for (size_t i = 0; i < algorithms.size(); ++i) {
    if (!cache.Find(stamp, algorithms[i], digests[i])) return {};
  }
  return digests;
}

// The file's stamp as the listing saw it; without its identity where the
// listing told no times to the nanosecond, so that no cache finds it.
ContentStamp ListedStamp(const FileInfoX& entry) {
  ContentStamp stamp;
  if (entry.Find.WriteNanos == 0) return stamp;
  stamp.Identity = entry.Find.Identity;
  stamp.Size = EntrySize(entry);
  stamp.WriteTime = entry.Find.WriteNanos;
  stamp.ChangeTime = entry.Find.ChangeNanos;
  return stamp;
}

void KeepSettled(DigestCache& cache, const ContentStamp& stamp, uint64_t began,
                 const std::vector<DigestAlgorithm>& algorithms, const std::vector<std::string>& digests) {
  if (std::max(stamp.WriteTime, stamp.ChangeTime) + kSettledNanoseconds > began) return;
  for (size_t i = 0; i < algorithms.size(); ++i) cache.Keep(stamp, algorithms[i], digests[i]);
}

}  // namespace

FileChecksums ChecksumContent(ContentReader& reader, const std::vector<DigestAlgorithm>& algorithms,
                              DigestCache* cache) {
  const uint64_t began = CurrentFileTime() * 100;
  ContentStamp before, after;
  if (!reader.Stamp(before)) return Failed(reader.Failure());
  if (cache != nullptr) {
    FileChecksums kept;
    kept.Digests = CachedDigests(*cache, before, algorithms);
    if (!kept.Digests.empty() || algorithms.empty()) return kept;
  }
  std::vector<std::unique_ptr<Digester>> digesters;
  for (DigestAlgorithm algorithm : algorithms) {
    digesters.push_back(MakeDigester(algorithm));
    if (digesters.back() == nullptr)
      return Failed(std::string("the system cannot compute ") + DigestName(algorithm));
  }
  // One buffer per thread, kept: a tree's many small files would otherwise
  // each take and give back a mebibyte.
  thread_local std::vector<char> buffer(kReadSize);
  uint64_t total = 0;
  for (size_t count; (count = reader.Read(buffer.data(), buffer.size())) > 0;) {
    total += count;
    // Past its size at the start it is being written to: a file appended
    // to faster than it is read would never end. (A file of the system's
    // that tells a size of 0, as those of /proc do, is read to its end.)
    if (before.Size > 0 && total > before.Size) return Failed(kChangedWhileRead);
    for (const auto& digester : digesters) digester->Update(buffer.data(), count);
  }
  if (!reader.Failure().empty()) return Failed(reader.Failure());
  if (!reader.Stamp(after)) return Failed(reader.Failure());
  if (after != before) return Failed(kChangedWhileRead);
  FileChecksums sums;
  for (const auto& digester : digesters) {
    sums.Digests.push_back(digester->Finish());
    if (sums.Digests.back().empty()) return Failed("the system could not finish its digest");
  }
  if (cache != nullptr) KeepSettled(*cache, before, began, algorithms, sums.Digests);
  return sums;
}

FileChecksums ChecksumFile(const ContentOpener& open, const std::string& name,
                           const std::vector<DigestAlgorithm>& algorithms, DigestCache* cache) {
  std::string reason;
  std::unique_ptr<ContentReader> reader = open(name, reason);
  if (reader != nullptr) return ChecksumContent(*reader, algorithms, cache);
  FileChecksums none = Failed(reason);
  none.NoContent = reason == kNotRegularFileReason;
  return none;
}

struct ChecksumPool::Batch {
  const std::function<void(size_t)>* Work = nullptr;
  size_t Count = 0;
  size_t Next = 0;     // the first index not yet taken
  size_t Running = 0;  // taken and not yet returned
};

ChecksumPool::ChecksumPool(size_t threads) : free_slots_(ThreadsFor(threads)) {
  for (size_t i = 1; i < free_slots_; ++i) {
    try {
      helpers_.emplace_back([this] { Help(); });
    } catch (const std::system_error&) {
      break;
    }
  }
}

ChecksumPool::~ChecksumPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

// Runs the batch's next call with a slot, the lock let go meanwhile; false
// when no call or no slot is free.
bool ChecksumPool::RunOne(std::unique_lock<std::mutex>& lock, Batch& batch) {
  if (batch.Next >= batch.Count || free_slots_ == 0) return false;
  const size_t index = batch.Next++;
  if (batch.Next == batch.Count) batches_.remove(&batch);
  --free_slots_;
  ++batch.Running;
  lock.unlock();
  (*batch.Work)(index);
  lock.lock();
  ++free_slots_;
  --batch.Running;
  wake_.notify_all();
  return true;
}

void ChecksumPool::Help() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (batches_.empty() || !RunOne(lock, *batches_.front())) wake_.wait(lock);
  }
}

void ChecksumPool::RunAll(size_t count, const std::function<void(size_t index)>& work) {
  if (count == 0) return;
  Batch batch;
  batch.Work = &work;
  batch.Count = count;
  std::unique_lock<std::mutex> lock(mutex_);
  batches_.push_back(&batch);
  wake_.notify_all();
  while (batch.Next < batch.Count || batch.Running > 0) {
    if (!RunOne(lock, batch)) wake_.wait(lock);
  }
}

void ChecksumListing(DirFileStruct& listing, const std::vector<DigestAlgorithm>& algorithms,
                     const ContentOpener& open, ChecksumPool& pool) {
  EntryValues& values = listing.Values;
  std::vector<const FileInfoX*> files;
  for (const FileInfoX& entry : listing.FileList) {
    if (!HasContentChecksums(entry)) continue;
    // Kept for the file as it was listed: not even opened.
    if (pool.Cache() != nullptr) {
      std::vector<std::string> kept = CachedDigests(*pool.Cache(), ListedStamp(entry), algorithms);
      if (!kept.empty()) {
        values.Checksums.emplace(entry.Find.cFileName, std::move(kept));
        continue;
      }
    }
    files.push_back(&entry);
  }
  // Largest first; ties in the listing's order, so that the order of the
  // work does not depend on the sort's whims.
  std::stable_sort(files.begin(), files.end(),
                   [](const FileInfoX* a, const FileInfoX* b) { return EntrySize(*a) > EntrySize(*b); });
  std::vector<FileChecksums> sums(files.size());
  pool.RunAll(files.size(), [&](size_t index) {
    sums[index] = ChecksumFile(open, files[index]->Find.cFileName, algorithms, pool.Cache());
  });
  for (size_t at = 0; at < files.size(); ++at) {
    const std::string& name = files[at]->Find.cFileName;
    if (!sums[at].Failure.empty()) {
      if (!sums[at].NoContent) values.ChecksumFailures.emplace(name, std::move(sums[at].Failure));
      continue;
    }
    values.Checksums.emplace(name, std::move(sums[at].Digests));
  }
}

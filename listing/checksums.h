// The checksums of a listing's files: each file read once, in large reads,
// for every algorithm asked, on a pool of threads that the listings of a
// run share.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "listing/digest_cache.h"
#include "listing/entry.h"
#include "platform/platform.h"

// Opens a file of the listed folder for reading, as OpenFolder::ReadFile
// does: never through a link, never a pipe or a device; null with the
// reason.
using ContentOpener =
    std::function<std::unique_ptr<ContentReader>(const std::string& name, std::string& reason)>;

// The reason a file has no checksum when it changed while it was read.
extern const char kChangedWhileRead[];

// The checksums of one file, or why it has none.
struct FileChecksums {
  std::vector<std::string> Digests;  // one per algorithm, in the order asked; empty on a failure
  std::string Failure;               // the system's reason, or kChangedWhileRead
  bool NoContent = false;            // not a regular file (a pipe, a device): no checksum, no failure
};

// Reads the file through the reader to its end and digests it with every
// algorithm. The file's size and times are taken before and after the
// read: where they differ, the digests are dropped and the failure is
// kChangedWhileRead, never the digest of a torn read. With a cache, a file
// whose every digest it keeps for the file as it is now is not read, and
// the digests read are kept in it.
FileChecksums ChecksumContent(ContentReader& reader, const std::vector<DigestAlgorithm>& algorithms,
                              DigestCache* cache = nullptr);

// Opens the named file and computes its checksums.
FileChecksums ChecksumFile(const ContentOpener& open, const std::string& name,
                           const std::vector<DigestAlgorithm>& algorithms, DigestCache* cache = nullptr);

// Threads that compute checksums, shared by every listing of a run: at
// most `threads` files are read at once, counting the listings' own
// threads, which work on their own files while they wait for them. Idle
// pool threads help the listing that began first. Each listing's files are
// taken largest first, so that a large file starts early and the small
// ones go to the other threads around it rather than wait behind it.
class ChecksumPool {
 public:
  // threads: how many files are read at once; 0: one per processor (at
  // most 16).
  explicit ChecksumPool(size_t threads);
  ~ChecksumPool();
  ChecksumPool(const ChecksumPool&) = delete;
  ChecksumPool& operator=(const ChecksumPool&) = delete;

  // Calls work(i) for every i below count, on this thread and the pool's,
  // in the order of the indexes; returns when every call has returned.
  void RunAll(size_t count, const std::function<void(size_t index)>& work);

  // The digests kept from earlier runs that the listings use; none unless set.
  void UseCache(DigestCache* cache) { cache_ = cache; }
  DigestCache* Cache() const { return cache_; }

 private:
  struct Batch;
  void Help();
  bool RunOne(std::unique_lock<std::mutex>& lock, Batch& batch);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::list<Batch*> batches_;  // begun and not all taken, the first begun first
  size_t free_slots_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> helpers_;
  DigestCache* cache_ = nullptr;
};

// Computes the checksums of every file of the listing that is no symbolic
// link, on the pool, into its values: Checksums by name, and
// ChecksumFailures by name for the files that could not be read whole.
void ChecksumListing(DirFileStruct& listing, const std::vector<DigestAlgorithm>& algorithms,
                     const ContentOpener& open, ChecksumPool& pool);

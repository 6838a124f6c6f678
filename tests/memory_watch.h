// A watch held in memory for the engine's tests: batches of changes handed
// out in order, each after a step that changes the disk as the changes
// say, and the folders watched, up to a limit of its own.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

class MemoryWatch : public TreeWatch {
 public:
  struct Batch {
    std::function<void()> Before;  // what changes, before the changes are told
    std::vector<WatchChange> Changes;
    bool Lost = false;       // told as changes the system lost
    bool SameBurst = false;  // comes before the batch before it settled
  };

  void Then(Batch batch) { batches_.push_back(std::move(batch)); }

  WatchAdd Add(const std::string& folder, std::string& reason) override {
    if (Watched.count(folder) == 0 && Watched.size() >= Limit) {
      reason = "No space left on device";
      return WatchAdd::kLimit;
    }
    Watched.insert(folder);
    return WatchAdd::kAdded;
  }

  void Remove(const std::string& folder) override { Watched.erase(folder); }

  // The batches in turn; a wait while a batch settles ends it unless the
  // next one is of the same burst; none left: closed.
  WatchWait Wait(int /*timeout_ms*/, std::vector<WatchChange>& changes, std::string& /*reason*/) override {
    const bool next_in_burst = !batches_.empty() && batches_.front().SameBurst;
    if (settling_ && !next_in_burst) {
      settling_ = false;
      return WatchWait::kTimeout;
    }
    if (batches_.empty()) return WatchWait::kClosed;
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    if (batch.Before) batch.Before();
    changes.insert(changes.end(), batch.Changes.begin(), batch.Changes.end());
    settling_ = true;
    return batch.Lost ? WatchWait::kOverflow : WatchWait::kChanges;
  }

  std::set<std::string> Watched;
  size_t Limit = static_cast<size_t>(-1);

 private:
  std::deque<Batch> batches_;
  bool settling_ = false;
};

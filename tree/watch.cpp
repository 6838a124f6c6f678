#include "tree/watch.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include "listing/entry.h"
#include "output/escapes.h"

struct TreeMemory::Known {
  FileIdentity Identity;
  SubtreeTotals Totals;
  std::map<FileIdentity, uint64_t> Shared;
  bool Changed = true;     // listed again by the next walk
  bool Listed = false;     // told by the walk, not only made for a folder below it
  uint64_t WriteTime = 0;  // as listed
  std::map<std::string, std::unique_ptr<Known>> Children;
};

TreeMemory::TreeMemory(bool takes_subtrees) : takes_subtrees_(takes_subtrees) {}

TreeMemory::~TreeMemory() = default;

TreeMemory::Known* TreeMemory::Find(const std::vector<std::string>& names) {
  Known* node = top_.get();
  for (const std::string& name : names) {
    if (node == nullptr) return nullptr;
    auto child = node->Children.find(name);
    node = child == node->Children.end() ? nullptr : child->second.get();
  }
  return node;
}

bool TreeMemory::Unchanged(const WalkFolder& folder, SubtreeTotals& totals,
                           std::map<FileIdentity, uint64_t>& shared) {
  if (!takes_subtrees_) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names = NamesFromTop(folder, std::string());
  names.erase(names.begin());  // the top's own name
  const Known* node = Find(names);
  if (node == nullptr || node->Changed || node->Identity != folder.Identity) return false;
  // Its page shows its parent's time ("..").
  names.pop_back();
  const Known* parent = Find(names);
  if (parent == nullptr || folder.Parent == nullptr || parent->WriteTime != folder.Parent->WriteTime)
    return false;
  totals = node->Totals;
  shared = node->Shared;
  return true;
}

void TreeMemory::Make(std::unique_ptr<Known>& slot, const std::vector<std::string>& names) {
  slot = std::make_unique<Known>();
  appeared_.push_back(names);
  ++count_;
}

// Forgets the node and everything below it, each folder told as gone.
void TreeMemory::Drop(Known& node, std::vector<std::string>& names) {
  gone_.push_back(names);
  --count_;
  for (auto& [name, child] : node.Children) {
    if (child == nullptr) continue;
    names.push_back(name);
    Drop(*child, names);
    names.pop_back();
  }
}

void TreeMemory::Completed(const WalkFolder& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names = NamesFromTop(folder, std::string());
  names.erase(names.begin());  // the top's own name
  // The folders above complete after it: each is made here, told below.
  std::unique_ptr<Known>* slot = &top_;
  std::vector<std::string> above;
  for (const std::string& name : names) {
    if (*slot == nullptr) Make(*slot, above);
    above.push_back(name);
    slot = &(*slot)->Children[name];
  }
  const bool replaced = *slot != nullptr && (*slot)->Listed && (*slot)->Identity != folder.Identity;
  if (*slot != nullptr && (!folder.WasListed || replaced)) {
    Drop(**slot, names);
    slot->reset();
  }
  if (!folder.WasListed) return;
  if (*slot == nullptr) Make(*slot, names);
  Known& node = **slot;
  node.Listed = true;
  node.Identity = folder.Identity;
  node.WriteTime = folder.WriteTime;
  node.Totals = folder.Sizes;
  node.Shared = folder.SharedFiles;
  node.Changed = false;
  // What is no longer an entered sub-folder goes, with all below it.
  std::set<std::string> entered;
  for (const WalkChild& child : folder.Children) {
    if (child.State == ChildState::kEntered) entered.insert(child.Name);
  }
  for (auto child = node.Children.begin(); child != node.Children.end();) {
    if (entered.count(child->first) > 0 && child->second != nullptr) {
      ++child;
      continue;
    }
    if (child->second != nullptr) {
      names.push_back(child->first);
      Drop(*child->second, names);
      names.pop_back();
    }
    child = node.Children.erase(child);
  }
}

void TreeMemory::MarkChanged(const std::vector<std::string>& names) {
  std::lock_guard<std::mutex> lock(mutex_);
  Known* node = top_.get();
  for (size_t at = 0; node != nullptr; ++at) {
    node->Changed = true;
    if (at == names.size()) break;
    auto child = node->Children.find(names[at]);
    node = child == node->Children.end() ? nullptr : child->second.get();
  }
}

namespace {

template <typename Node>
void MarkAll(Node& node) {
  node.Changed = true;
  for (auto& child : node.Children) {
    if (child.second != nullptr) MarkAll(*child.second);
  }
}

}  // namespace

void TreeMemory::MarkSubtreeChanged(const std::vector<std::string>& names) {
  MarkChanged(names);
  std::lock_guard<std::mutex> lock(mutex_);
  if (Known* node = Find(names)) MarkAll(*node);
}

void TreeMemory::MarkAllChanged() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (top_ != nullptr) MarkAll(*top_);
}

std::vector<std::vector<std::string>> TreeMemory::TakeAppeared() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(appeared_, {});
}

std::vector<std::vector<std::string>> TreeMemory::TakeGone() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(gone_, {});
}

size_t TreeMemory::FolderCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

bool NamesBelowTop(const std::string& top, const std::string& path, std::vector<std::string>& names) {
  if (path.compare(0, top.size(), top) != 0) return false;
  const std::string rest = path.substr(top.size());
  const bool top_ends_in_separator = !top.empty() && (top.back() == '/' || top.back() == FolderSeparator());
  if (!rest.empty() && !top_ends_in_separator && rest[0] != '/' && rest[0] != FolderSeparator()) return false;
  names = PathParts(rest);
  return true;
}

namespace {

using Clock = std::chrono::steady_clock;

std::string Shown(const std::string& path) { return ControlEscaped(path); }

std::string PathOfNames(const std::string& top, const std::vector<std::string>& names) {
  std::string path = top;
  for (const std::string& name : names) path = JoinPath(path, name);
  return path;
}

// One watch of the tree kept to the folders the memory knows.
class Watcher {
 public:
  Watcher(TreeWatch& watch, TreeMemory& memory, const WatchSetup& setup, const WatchHooks& hooks)
      : watch_(watch), memory_(memory), setup_(setup), hooks_(hooks) {}

  std::string Run() {
    RoundOutcome first = hooks_.Round(true);
    if (!first.TopFailure.empty()) return first.TopFailure;
    Follow();
    for (uint64_t number = 1;;) {
      std::vector<WatchChange> changes;
      bool lost = false;
      std::string reason;
      const WatchWait waited = Gather(changes, lost, reason);
      if (waited == WatchWait::kFailed) return "cannot watch " + Shown(setup_.Top) + ": " + reason;
      if (waited == WatchWait::kClosed) return std::string();
      if (lost) hooks_.Say("changes were lost (too many at once); every folder is listed again");
      const bool whole = lost || limited_;
      const size_t changed = Mark(changes);
      if (changed == 0 && !whole) continue;
      if (whole) memory_.MarkAllChanged();
      WatchRound round;
      round.Number = number++;
      round.Changed = changed;
      round.Whole = whole;
      {
        // A stop asked during a round of changes waits for its pages (and
        // the folders' times set back); a round of the whole tree may be
        // long, and ends at once, as a run of -R does.
        std::unique_ptr<InterruptsDeferred> deferred;
        if (!whole) deferred = std::make_unique<InterruptsDeferred>();
        round.Outcome = hooks_.Round(whole);
      }
      Follow();
      if (hooks_.Rounded) hooks_.Rounded(round);
      if (!round.Outcome.TopFailure.empty()) return round.Outcome.TopFailure;
    }
  }

 private:
  // Waits for a change (or, while changes may go unseen, for the time
  // between rounds of the whole tree), then for the changes to settle.
  WatchWait Gather(std::vector<WatchChange>& changes, bool& lost, std::string& reason) {
    const WatchWait first = watch_.Wait(limited_ ? setup_.Times.PollMs : -1, changes, reason);
    if (first == WatchWait::kFailed || first == WatchWait::kClosed) return first;
    lost = first == WatchWait::kOverflow;
    if (first == WatchWait::kTimeout) return WatchWait::kTimeout;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    for (;;) {
      const Clock::time_point end = std::min(last + std::chrono::milliseconds(setup_.Times.SettleMs),
                                             start + std::chrono::milliseconds(setup_.Times.MostMs));
      const Clock::time_point now = Clock::now();
      if (now >= end) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1;
      const WatchWait next = watch_.Wait(static_cast<int>(left), changes, reason);
      if (next == WatchWait::kFailed) return next;
      if (next == WatchWait::kTimeout || next == WatchWait::kClosed) break;
      lost = lost || next == WatchWait::kOverflow;
      last = Clock::now();
    }
    return WatchWait::kChanges;
  }

  bool IsOwn(const WatchChange& change) const {
    if (change.Name.empty()) return false;
    return IsTemporaryFileName(change.Name) ||
           (setup_.IsOwnFile && setup_.IsOwnFile(change.Folder, change.Name));
  }

  // Marks the folders where changes were seen, and tells how many.
  size_t Mark(const std::vector<WatchChange>& changes) {
    std::set<std::string> folders;
    for (const WatchChange& change : changes) {
      std::vector<std::string> names;
      if (IsOwn(change) || !NamesBelowTop(setup_.Top, change.Folder, names)) continue;
      const bool rules =
          std::find(setup_.RuleFiles.begin(), setup_.RuleFiles.end(), change.Name) != setup_.RuleFiles.end();
      if (rules) {
        memory_.MarkSubtreeChanged(names);
      } else {
        memory_.MarkChanged(names);
      }
      folders.insert(change.Folder);
    }
    return folders.size();
  }

  // Watches the folders that appeared, and no longer those that went.
  void Follow() {
    for (const std::vector<std::string>& names : memory_.TakeGone()) {
      const std::string path = PathOfNames(setup_.Top, names);
      watch_.Remove(path);
      unwatched_.erase(path);
    }
    for (const std::vector<std::string>& names : memory_.TakeAppeared())
      unwatched_.insert(PathOfNames(setup_.Top, names));
    for (auto path = unwatched_.begin(); path != unwatched_.end();) {
      std::string reason;
      const WatchAdd added = watch_.Add(*path, reason);
      if (added == WatchAdd::kLimit) {
        if (!limited_) {
          hooks_.Say("cannot watch " + Shown(*path) + ": " + reason + " (the system's limit of watches, " +
                     std::to_string(memory_.FolderCount() - unwatched_.size()) +
                     " folders watched); every folder is listed again on each change and every " +
                     std::to_string(setup_.Times.PollMs / 1000) + " s");
        }
        limited_ = true;
        return;
      }
      // A folder that went meanwhile is told by the folder above it.
      path = unwatched_.erase(path);
    }
  }

  TreeWatch& watch_;
  TreeMemory& memory_;
  const WatchSetup& setup_;
  const WatchHooks& hooks_;
  std::set<std::string> unwatched_;  // folders known and not yet watched
  bool limited_ = false;
};

}  // namespace

std::string KeepTreeCurrent(TreeWatch& watch, TreeMemory& memory, const WatchSetup& setup,
                            const WatchHooks& hooks) {
  return Watcher(watch, memory, setup, hooks).Run();
}

// Keeping a tree's pages, or its catalog, current: after a first walk of
// the whole tree, the program waits for changes, lets them settle, and
// walks again listing only the folders that changed and those above them;
// each folder that nothing changed below is taken as the walk before left
// it, with its totals. The walk's consumer writes what changed and leaves
// the rest as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tree/walk.h"

// What the walks so far know of the tree: each folder entered, its identity
// and totals, and whether something changed at it or below it since.
class TreeMemory : public WalkMemory {
 public:
  // With takes_subtrees, a folder that nothing changed below is taken as it
  // was; without, every folder is listed by every walk (a catalog, a search
  // file of the whole tree) and the memory only tells which are there.
  explicit TreeMemory(bool takes_subtrees);
  ~TreeMemory() override;

  bool Unchanged(const WalkFolder& folder, SubtreeTotals& totals,
                 std::map<FileIdentity, uint64_t>& shared) override;
  void Completed(const WalkFolder& folder) override;

  // The folder at names (below the top; none for the top) and every folder
  // above it are listed again by the next walk; where the folder is not
  // known, the nearest known folder above it is.
  void MarkChanged(const std::vector<std::string>& names);
  // The folder at names and every folder below it are listed again.
  void MarkSubtreeChanged(const std::vector<std::string>& names);
  // Every folder is listed again.
  void MarkAllChanged();

  // The folders that appeared since last asked (new, or a new folder in the
  // place of one), and those that went, as names below the top.
  std::vector<std::vector<std::string>> TakeAppeared();
  std::vector<std::vector<std::string>> TakeGone();
  // The folders known.
  size_t FolderCount();

 private:
  struct Known;
  Known* Find(const std::vector<std::string>& names);
  void Make(std::unique_ptr<Known>& slot, const std::vector<std::string>& names);
  void Drop(Known& node, std::vector<std::string>& names);

  const bool takes_subtrees_;
  std::mutex mutex_;
  std::unique_ptr<Known> top_;
  std::vector<std::vector<std::string>> appeared_;
  std::vector<std::vector<std::string>> gone_;
  size_t count_ = 0;
};

// How long changes are let settle.
struct WatchTimes {
  int SettleMs = 200;  // quiet after the last change before a round begins
  int MostMs = 2000;   // the longest a round waits for changes to settle
  int PollMs = 60000;  // between rounds of the whole tree, once changes may go unseen
};

// What a round of writing came to.
struct RoundOutcome {
  uint64_t Listed = 0;   // folders listed
  uint64_t Written = 0;  // pages (or the catalog) written
  // Why the top folder could not be listed; the watch ends.
  std::string TopFailure;
};

// What a round after the first was.
struct WatchRound {
  uint64_t Number = 0;  // 1 for the first round after the first walk
  size_t Changed = 0;   // folders where changes were seen
  bool Whole = false;   // every folder listed again
  RoundOutcome Outcome;
};

struct WatchSetup {
  std::string Top;  // the top folder as the walk names it
  // The files this program writes into the tree (its pages, its search
  // file, its catalog), by folder (as the watch tells it) and name: their
  // changes are its own. Temporary files of its writer always are.
  std::function<bool(const std::string& folder, const std::string& name)> IsOwnFile;
  // The names of the ignore files: a change to one lists its folder's whole
  // subtree again.
  std::vector<std::string> RuleFiles;
  WatchTimes Times;
};

struct WatchHooks {
  // Writes the tree's output by a walk with the memory, every folder
  // listed where whole is set.
  std::function<RoundOutcome(bool whole)> Round;
  std::function<void(const std::string& message)> Say;
  // After each round that listed a folder for a change.
  std::function<void(const WatchRound& round)> Rounded;
};

// Runs the first round (the whole tree), watches the folders it entered,
// then runs a round for each batch of changes once they settle: changes
// seen in a folder list it and the folders above it again. Changes lost
// by the system, or folders that cannot be watched (the system's limit),
// are said and make the rounds list the whole tree. Returns when the watch
// ends: the failure's text, or empty when the watch closed.
std::string KeepTreeCurrent(TreeWatch& watch, TreeMemory& memory, const WatchSetup& setup,
                            const WatchHooks& hooks);

// The names below top of a folder's path that starts with it; false for a
// path outside top.
bool NamesBelowTop(const std::string& top, const std::string& path, std::vector<std::string>& names);

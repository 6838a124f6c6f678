// One walk of a tree of folders for every consumer: each folder is listed on
// a pool of threads, then complete once every folder below it is complete.
// Consumers hook in when a folder is listed (pre-order: a page per folder,
// a document streamed in order) and when it is complete (post-order: sizes).
// The walk reaches the disk only through a TreeDisk.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "listing/checksums.h"
#include "output/generate.h"
#include "output/listing_run.h"
#include "output/tree_page.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/ignore_rules.h"

class WalkMemory;

// Which folders the walk enters.
struct WalkRules {
  size_t MaxDepth = 0;         // the levels listed, the top's included; 0: all
  bool OneFileSystem = false;  // folders on other file systems are not entered
  bool Follow = false;         // symbolic links to folders are entered
  // Folders never entered (the folder the pages are written to), by identity.
  std::vector<FileIdentity> NeverEnter;
  // Folders named .git below the top are listed but never entered: a
  // repository's own folder is no part of what is published from it.
  bool LeavesRepositoriesOut = false;
  size_t Threads = 0;  // 0: the online processors, at most 16
  // Each folder's files and folders added up below it (--du): a folder is
  // complete with its totals, set on its entry in its parent's listing.
  bool Sizes = false;
  // The names that git ignores are left out (--gitignore), and those that
  // the file of this name in each folder names (--ignore-file NAME).
  bool GitIgnore = false;
  std::string IgnoreFileName;
  // The rules of the ignore files above the top folder (FindGitIgnoreRules).
  IgnoreStack TopRules;
  // The checksums of every listed folder's files, for a form that shows
  // them; Threads files are read at once, over all folders.
  std::vector<DigestAlgorithm> Checksums;
  // The digests kept from earlier runs; none: every file is read.
  DigestCache* ChecksumCache = nullptr;
  // What a walk before this one left, for a walk that keeps its output
  // current; null: every folder is listed.
  WalkMemory* Memory = nullptr;
};

// The number of threads a walk uses for the option's value.
size_t WalkThreads(size_t asked);

// What became of a sub-folder of a listed folder.
enum class ChildState {
  kEntered,          // walked as a folder of the tree
  kFailed,           // could not be opened or listed (reported)
  kLeftOut,          // not entered by the rules: depth, file system, a link not followed, the output
  kLoop,             // leads back to a folder above it (reported)
  kListedElsewhere,  // a folder already listed by another path: its page is that one (reported)
};

struct WalkFolder;

// A sub-folder of a listed folder, in the order of the listing.
struct WalkChild {
  std::string Name;
  ChildState State = ChildState::kLeftOut;
  // kListedElsewhere: the folder's names from the top, the top's own first.
  std::vector<std::string> ListedAs;
  std::string Failure;               // kFailed: why
  std::shared_ptr<WalkFolder> Node;  // kEntered: until the walk lets it go
};

// One folder of the walk, from its listing until the walk lets it go.
struct WalkFolder {
  WalkFolder* Parent = nullptr;  // outlives this folder; null at the top
  std::string Name;              // its name in the parent; the top's path as given
  size_t Depth = 0;              // 0 at the top
  FileIdentity Identity;
  bool ThroughLink = false;  // entered through a symbolic link (with --follow)
  // Set once listed: the run (null when the folder could not be listed, with
  // the reason in Failure), the folder's last write time at its listing, and
  // what became of each sub-folder.
  std::unique_ptr<ListingRun> Run;
  bool WasListed = false;  // Run was set, even after the consumer let it go
  std::string Failure;
  GenerateStatus Status = GenerateStatus::kWritten;  // why Run is null
  std::string Reason;  // what the listing said: the system's text, or a setting's key
  uint64_t WriteTime = 0;
  std::vector<WalkChild> Children;
  TreePage Page;  // the folder's page among the pages of the tree
  // The ignore files of this folder and those above it; its sub-folders
  // start from it.
  IgnoreStack Rules;
  // Its files and folders added up (WalkRules::Sizes), once complete; the
  // files with several names, by identity, that each count once.
  SubtreeTotals Sizes;
  std::map<FileIdentity, uint64_t> SharedFiles;
  // Where the folder's page goes when the pages stand apart: the folder its
  // parent's page made for it, or why it could not be made.
  FileIdentity PageFolder;
  std::string PageFolderFailure;

  // The walk's own bookkeeping, under its lock.
  enum class Stage { kWaiting, kListing, kDeciding, kListed };
  Stage At = Stage::kWaiting;
  size_t Index = 0;         // among the parent's sub-folders, in listing order
  size_t Pending = 0;       // sub-folders entered and not yet complete
  size_t PendingLinks = 0;  // links to folders whose entering waits for the walk's turn
  bool Released = false;    // the consumer is done with the folder's listing
  bool Complete = false;
  bool Ahead = false;  // listed by the pool ahead of a main writer, not yet released
};

// The folder's path: the top's as given, then the names below it.
std::string PathOf(const WalkFolder& folder);
// The names from the top down to the folder, the top's shown name first.
std::vector<std::string> NamesFromTop(const WalkFolder& folder, const std::string& top_shown);

// What the walk asks of its consumer; every hook may be called on any
// thread of the pool, one folder at a time for each folder.
class WalkConsumer {
 public:
  virtual ~WalkConsumer() = default;
  // True when only the folder's entries are wanted, not its document (the
  // sub-folders of one folder whose sizes are added up).
  virtual bool ScanOnly(const WalkFolder& /*folder*/) const { return false; }
  // Shapes the listing of a folder before it is listed.
  virtual void Place(WalkFolder& folder, ListingPlace& place) = 0;
  // The folder is listed (or failed, Run null) and what becomes of each of
  // its sub-folders decided; open holds the folder, or is null where the
  // decision waited for other folders and the folder is closed again.
  virtual void Listed(WalkFolder& folder, OpenFolder* open) = 0;
  // The folder and every folder below it are complete.
  virtual void Complete(WalkFolder& /*folder*/) {}
};

// The counts of a walk, as it goes on.
struct WalkCounts {
  uint64_t Found = 0;    // folders found to list
  uint64_t Listed = 0;   // folders listed
  uint64_t Entries = 0;  // entries of the folders listed
  uint64_t Failed = 0;   // folders that could not be listed
};

using WalkReport = std::function<void(const std::string& message)>;

// What a walk that keeps a tree's output current (tree/watch.h) knows from
// the walk before it. Before a sub-folder is entered (not through a link),
// the walk asks whether nothing below it changed since: such a folder is
// taken as it was, with its totals, neither listed nor handed to the
// consumer, and complete at once (the complete hooks see it then). Every
// folder the walk completes itself is told, before the complete hooks.
class WalkMemory {
 public:
  virtual ~WalkMemory() = default;
  // True, with the folder's totals and the files of several names below
  // it, when the folder (its Parent, Name and Identity set) is as the walk
  // before left it.
  virtual bool Unchanged(const WalkFolder& folder, SubtreeTotals& totals,
                         std::map<FileIdentity, uint64_t>& shared) = 0;
  // The folder is complete: listed, with what became of its sub-folders
  // and its totals, or failed (WasListed false). Called under the walk's
  // lock, one folder at a time.
  virtual void Completed(const WalkFolder& folder) = 0;
};

class TreeWalk {
 public:
  TreeWalk(const CommonStruct& settings, const OutputForm& form, const WalkRules& rules, TreeDisk& disk,
           FolderSource& source, WalkConsumer& consumer, const WalkReport& report);
  ~TreeWalk();
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;

  // Walks the tree below the folder at top. With main, the calling thread
  // runs main (a writer that takes folders in order through Await) while
  // the pool lists; without, it lists with the pool. Returns when every
  // folder is complete, or when main returns.
  // prepare, where given, sets up the top's folder before anything is listed.
  void Run(const std::string& top, const std::function<void(WalkFolder& top)>& main = nullptr,
           const std::function<void(WalkFolder& top)>& prepare = nullptr);
  // Called after each folder is listed, for a progress line.
  void OnProgress(std::function<void()> progress) { progress_ = std::move(progress); }

  // Waits for the folder to be listed, listing it on this thread when no
  // thread has begun it.
  void Await(WalkFolder& folder);
  // Waits for the folder and every folder below it to be complete.
  void AwaitComplete(WalkFolder& folder);
  // Calls hook for each folder as it completes, its sub-folders before it,
  // under the walk's lock and before the consumer hears of it.
  void OnComplete(std::function<void(WalkFolder& folder)> hook) {
    complete_hooks_.push_back(std::move(hook));
  }
  // The folder's listing is no longer needed: its run goes, and the walk
  // lets go of its sub-folders once they are complete. A consumer that
  // never calls it keeps every folder until its parent is complete.
  void Release(WalkFolder& folder);
  // Bounds the folders listed ahead of a main writer that Releases them in
  // order: the pool waits while this many are listed and not released.
  void LimitAhead(size_t most) { most_ahead_ = most; }

  WalkCounts Counts();
  // The top folder, from the start of Run on.
  WalkFolder& Top() { return *top_; }
  const std::shared_ptr<WalkFolder>& TopNode() const { return top_; }
  // A message from a consumer, counted as a failure where it is one.
  void Report(const std::string& message, bool failure);

 private:
  struct State;
  struct Deferred;
  void Serve();
  bool TakeTask(std::unique_lock<std::mutex>& lock, bool main);
  void Process(const std::shared_ptr<WalkFolder>& folder);
  void Decide(WalkFolder& folder, OpenFolder& open, std::vector<std::shared_ptr<WalkFolder>>& entered);
  void DecideChild(WalkFolder& folder, OpenFolder& open, size_t at, const FileInfoX& entry,
                   std::vector<std::shared_ptr<WalkFolder>>& entered);
  bool TakeAsBefore(WalkFolder& node);
  void ResolveLinks(std::unique_lock<std::mutex>& lock);
  std::string ReadIgnoreFiles(WalkFolder& folder, OpenFolder& open);
  void Announce(WalkFolder& folder, OpenFolder* open);
  void CompleteUpwards(std::unique_lock<std::mutex>& lock, WalkFolder* folder);
  std::string PathFromNames(const std::vector<std::string>& names) const;
  std::unique_ptr<OpenFolder> OpenOf(WalkFolder& folder, std::string& reason);
  bool IsInsideTop(const std::string& path, std::vector<std::string>& names);

  const CommonStruct& settings_;
  const OutputForm& form_;
  const WalkRules& rules_;
  TreeDisk& disk_;
  FolderSource& source_;
  WalkConsumer& consumer_;
  const WalkReport& report_;
  std::string real_top_;
  std::function<void()> progress_;
  std::vector<std::function<void(WalkFolder&)>> complete_hooks_;
  std::unique_ptr<State> state_;
  std::shared_ptr<WalkFolder> top_;
  size_t most_ahead_ = 0;
  std::unique_ptr<ChecksumPool> checksummers_;  // while a walk that reads checksums runs
};

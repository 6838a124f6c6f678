#include "tree/walk.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <system_error>
#include <thread>
#include <utility>

#include "listing/entry.h"
#include "output/escapes.h"
#include "output/folder_check.h"

namespace {

// Adds one file to the totals; a file with several names, or reached
// through a link, counts only the first time its identity is met below the
// folder.
void AddFile(SubtreeTotals& totals, std::map<FileIdentity, uint64_t>& shared, const FileInfoX& file) {
  const uint64_t size = EntrySize(file);
  const bool shareable = file.Find.Links > 1 || IsLink(file.Find.dwFileAttributes);
  if (shareable && !shared.emplace(file.Find.Identity, size).second) return;
  totals.Bytes += size;
  ++totals.Files;
}

// Counts the folder's own files and sub-folders into its totals, once it is
// listed: a file's apparent size, a file with several names once, a
// symbolic link as nothing unless links are followed (then its target's,
// once); links to folders count as folders only where they are entered.
void CountOwnEntries(WalkFolder& folder, bool follow) {
  if (folder.Run == nullptr) return;
  const DirFileStruct& listing = folder.Run->Listing;
  for (const FileInfoX& file : listing.FileList) {
    if (!IsLink(file.Find.dwFileAttributes) || (follow && !file.Find.BrokenLink))
      AddFile(folder.Sizes, folder.SharedFiles, file);
  }
  for (const FileInfoX& entry : listing.FolderList) {
    if (!IsParentEntry(entry) && (!IsLink(entry.Find.dwFileAttributes) || follow)) ++folder.Sizes.Folders;
  }
  for (const WalkChild& child : folder.Children) {
    if (child.State == ChildState::kFailed) folder.Sizes.Incomplete = true;
  }
}

constexpr size_t kMostThreads = 16;

std::string Shown(const std::string& path) { return ControlEscaped(path); }

// Starts up to count - 1 threads running serve beside the caller's; fewer
// when the system has no more to give.
std::vector<std::thread> StartHelpers(size_t count, const std::function<void()>& serve) {
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < count; ++i) {
    try {
      helpers.emplace_back(serve);
    } catch (const std::system_error&) {
      break;
    }
  }
  return helpers;
}

// A folder that holds a repository's own records, by its name in any
// letter case (file systems that ignore case take .GIT for .git).
bool IsRepositoryFolder(const std::string& name) { return LowerCaseBytes(name) == ".git"; }

// The folder's place in the order a one-thread walk would list it: the
// index of each folder on the way among its parent's sub-folders.
std::vector<size_t> PlaceInOrder(const WalkFolder& folder) {
  std::vector<size_t> place;
  for (const WalkFolder* at = &folder; at->Parent != nullptr; at = at->Parent) place.push_back(at->Index);
  std::reverse(place.begin(), place.end());
  return place;
}

// The folder's path below the top with "/" between names, as the ignore
// rules take it; "" for the top.
std::string BelowTop(const WalkFolder& folder) {
  std::string path;
  for (const std::string& name : NamesFromTop(folder, std::string())) {
    if (name.empty()) continue;
    if (!path.empty()) path += '/';
    path += name;
  }
  return path;
}

// The whole of a small file of the folder; empty when there is none.
std::string ReadWhole(OpenFolder& open, const std::string& name) {
  std::unique_ptr<ContentReader> file = open.ReadFile(name);
  std::string text;
  if (file == nullptr) return text;
  char buffer[65536];
  for (size_t count; (count = file->Read(buffer, sizeof buffer)) > 0;) text.append(buffer, count);
  return text;
}

// Leaves out of the lists what the rules ignore; a link to a folder is a
// file to them, as to git.
void LeaveOutIgnored(const IgnoreStack& rules, const std::string& below_top, DirFileStruct& listing) {
  for (std::deque<FileInfoX>* list : {&listing.FolderList, &listing.FileList}) {
    list->erase(std::remove_if(list->begin(), list->end(),
                               [&](const FileInfoX& entry) {
                                 if (IsParentEntry(entry)) return false;
                                 const uint32_t attributes = entry.Find.dwFileAttributes;
                                 const bool folder = IsFolder(attributes) && !IsLink(attributes);
                                 return IsIgnored(rules, below_top, entry.Find.cFileName, folder);
                               }),
                list->end());
  }
}

}  // namespace

size_t WalkThreads(size_t asked) {
  if (asked != 0) return std::min(asked, kMostThreads);
  const unsigned online = std::thread::hardware_concurrency();
  return std::clamp<size_t>(online, 1, kMostThreads);
}

std::string PathOf(const WalkFolder& folder) {
  if (folder.Parent == nullptr) return folder.Name;
  return JoinPath(PathOf(*folder.Parent), folder.Name);
}

std::vector<std::string> NamesFromTop(const WalkFolder& folder, const std::string& top_shown) {
  std::vector<std::string> names;
  for (const WalkFolder* at = &folder; at->Parent != nullptr; at = at->Parent) names.push_back(at->Name);
  names.push_back(top_shown);
  std::reverse(names.begin(), names.end());
  return names;
}

// A link to a folder outside the tree, entered in its turn: after every
// folder found before it, in the order a one-thread walk finds them, so
// that which of two links to one folder lists it does not depend on the
// threads.
struct TreeWalk::Deferred {
  std::vector<size_t> Order;
  std::shared_ptr<WalkFolder> Node;  // the folder to enter, its parent set
  size_t Child = 0;                  // its place among the parent's children
};

struct TreeWalk::State {
  std::mutex mutex;  // over everything here and the folders' bookkeeping
  std::condition_variable wake;
  std::vector<std::shared_ptr<WalkFolder>> tasks;  // the last found first: deep before wide
  size_t busy = 0;
  size_t ahead = 0;
  bool main_waits_for_links = false;
  bool finished = false;
  std::shared_ptr<WalkFolder> top;
  WalkCounts counts;
  std::vector<Deferred> deferred;
  // Folders reached through links, where one folder may be reached twice:
  // their names from the top, by identity.
  std::map<FileIdentity, std::vector<std::string>> through_links;
};

TreeWalk::TreeWalk(const CommonStruct& settings, const OutputForm& form, const WalkRules& rules,
                   TreeDisk& disk, FolderSource& source, WalkConsumer& consumer, const WalkReport& report)
    : settings_(settings),
      form_(form),
      rules_(rules),
      disk_(disk),
      source_(source),
      consumer_(consumer),
      report_(report),
      state_(std::make_unique<State>()) {}

TreeWalk::~TreeWalk() = default;

void TreeWalk::Run(const std::string& top, const std::function<void(WalkFolder& top)>& main,
                   const std::function<void(WalkFolder& top)>& prepare) {
  real_top_ = disk_.RealPath(top);
  auto root = std::make_shared<WalkFolder>();
  root->Name = top;
  root->Rules = rules_.TopRules;
  top_ = root;
  if (prepare) prepare(*root);
  state_->top = root;
  state_->tasks.push_back(root);
  state_->counts.Found = 1;
  const size_t threads = WalkThreads(rules_.Threads);
  if (!rules_.Checksums.empty()) {
    checksummers_ = std::make_unique<ChecksumPool>(threads);
    checksummers_->UseCache(rules_.ChecksumCache);
  }
  std::vector<std::thread> helpers = StartHelpers(threads, [this] { Serve(); });
  if (main) {
    main(*root);
  } else {
    Serve();
  }
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->finished = true;
  }
  state_->wake.notify_all();
  for (std::thread& helper : helpers) helper.join();
}

WalkCounts TreeWalk::Counts() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->counts;
}

void TreeWalk::Report(const std::string& message, bool failure) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (failure) ++state_->counts.Failed;
  report_(message);
}

// Takes the next folder to list and lists it; false when there is none to
// take now. A main writer takes folders past the bound on those ahead.
bool TreeWalk::TakeTask(std::unique_lock<std::mutex>& lock, bool main) {
  State& state = *state_;
  const bool bounded = !main && most_ahead_ != 0 && !state.main_waits_for_links;
  if (state.tasks.empty() || (bounded && state.ahead >= most_ahead_)) return false;
  std::shared_ptr<WalkFolder> folder = std::move(state.tasks.back());
  state.tasks.pop_back();
  if (folder->At != WalkFolder::Stage::kWaiting) return true;  // a main writer took it
  folder->At = WalkFolder::Stage::kListing;
  folder->Ahead = !main && most_ahead_ != 0;
  ++state.busy;
  lock.unlock();
  Process(folder);
  lock.lock();
  --state.busy;
  state.wake.notify_all();
  return true;
}

void TreeWalk::Serve() {
  State& state = *state_;
  std::unique_lock<std::mutex> lock(state.mutex);
  for (;;) {
    if (state.finished) return;
    if (TakeTask(lock, false)) continue;
    if (state.tasks.empty() && state.busy == 0) {
      if (state.deferred.empty()) {
        // Nothing left to list: the walk is over, for every thread.
        state.wake.notify_all();
        return;
      }
      ResolveLinks(lock);
      continue;
    }
    state.wake.wait(lock);
  }
}

void TreeWalk::Await(WalkFolder& folder) {
  State& state = *state_;
  std::unique_lock<std::mutex> lock(state.mutex);
  for (;;) {
    if (folder.At == WalkFolder::Stage::kListed) break;
    if (folder.At == WalkFolder::Stage::kWaiting) {
      const auto task =
          std::find_if(state.tasks.begin(), state.tasks.end(),
                       [&folder](const std::shared_ptr<WalkFolder>& task) { return task.get() == &folder; });
      // The thread that listed its parent has not handed it on yet; it
      // wakes this one when it has. Spinning here would hold the lock it
      // needs to do so.
      if (task == state.tasks.end()) {
        state.wake.wait(lock);
        continue;
      }
      // No thread has begun it: listed here, rather than waited for.
      std::shared_ptr<WalkFolder> held = *task;
      state.tasks.erase(task);
      held->At = WalkFolder::Stage::kListing;
      ++state.busy;
      lock.unlock();
      Process(held);
      lock.lock();
      --state.busy;
      state.wake.notify_all();
      continue;
    }
    // Its sub-folders wait for links to be entered in their turn, which
    // comes when nothing else is left to list: the pool may run ahead.
    state.main_waits_for_links = folder.At == WalkFolder::Stage::kDeciding;
    if (state.main_waits_for_links && !TakeTask(lock, true) && state.tasks.empty() && state.busy == 0 &&
        !state.deferred.empty()) {
      ResolveLinks(lock);
      continue;
    }
    if (folder.At != WalkFolder::Stage::kListed) state.wake.wait(lock);
  }
  state.main_waits_for_links = false;
  if (folder.Ahead) {
    folder.Ahead = false;
    --state.ahead;
    state.wake.notify_all();
  }
}

void TreeWalk::AwaitComplete(WalkFolder& folder) {
  Await(folder);
  std::unique_lock<std::mutex> lock(state_->mutex);
  while (!folder.Complete) {
    // The folders below it may still wait for a thread; a main writer lists
    // them itself rather than wait for the pool.
    if (!TakeTask(lock, true)) {
      if (state_->tasks.empty() && state_->busy == 0 && !state_->deferred.empty()) {
        ResolveLinks(lock);
      } else {
        state_->wake.wait(lock);
      }
    }
  }
}

std::unique_ptr<OpenFolder> TreeWalk::OpenOf(WalkFolder& folder, std::string& reason) {
  const std::string path = PathOf(folder);
  if (folder.Parent == nullptr) return disk_.Open(path, reason);
  return disk_.Reopen(path, folder.Identity, folder.ThroughLink, reason);
}

// Puts the folder's own ignore files on its rules, and gives the folder's
// path below the top that the rules take.
std::string TreeWalk::ReadIgnoreFiles(WalkFolder& folder, OpenFolder& open) {
  const std::string below_top = BelowTop(folder);
  if (rules_.GitIgnore) folder.Rules = PushIgnoreFile(folder.Rules, below_top, ReadWhole(open, ".gitignore"));
  if (!rules_.IgnoreFileName.empty())
    folder.Rules = PushIgnoreFile(folder.Rules, below_top, ReadWhole(open, rules_.IgnoreFileName));
  return below_top;
}

void TreeWalk::Process(const std::shared_ptr<WalkFolder>& held) {
  WalkFolder& folder = *held;
  std::string reason;
  std::unique_ptr<OpenFolder> open = OpenOf(folder, reason);
  if (open != nullptr) {
    folder.Identity = open->Identity();
    open->WriteTime(folder.WriteTime);
    ListingPlace place;
    place.Folder = PathOf(folder);
    place.Read = [&open](const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                         std::string& failure) { return open->Enumerate(mask, visit, failure); };
    place.ScanOnly = consumer_.ScanOnly(folder);
    place.SizesAddedUp = rules_.Sizes;
    place.Checksums = rules_.Checksums;
    place.ReadContent = [&open](const std::string& name, std::string& failure) {
      return open->ReadFile(name, failure);
    };
    place.Checksummers = checksummers_.get();
    const std::string below_top = ReadIgnoreFiles(folder, *open);
    if (folder.Rules.Top != nullptr || folder.Rules.HidesGitFolders) {
      place.Filter = [&folder, &below_top](DirFileStruct& listing) {
        LeaveOutIgnored(folder.Rules, below_top, listing);
      };
    }
    consumer_.Place(folder, place);
    auto run = std::make_unique<ListingRun>();
    const GenerateStatus status = ComposeListing(settings_, place, source_, form_, *run, reason);
    folder.Status = status;
    folder.Reason = reason;
    if (status == GenerateStatus::kWritten) {
      for (const std::string& failure : ChecksumFailureTexts(place.Folder, run->Listing))
        Report(failure, true);
      folder.Run = std::move(run);
      folder.WasListed = true;
    } else if (status == GenerateStatus::kTextTooLong) {
      reason = TextTooLongMessage(reason);
    }
  }
  std::vector<std::shared_ptr<WalkFolder>> entered;
  if (folder.Run == nullptr) {
    folder.Failure = reason;
    // The top's failure is the caller's to tell, as it tells of a folder
    // that it lists alone.
    if (folder.Parent != nullptr) {
      Report(ListingFailureText(PathOf(folder), reason), true);
    } else {
      std::lock_guard<std::mutex> lock(state_->mutex);
      ++state_->counts.Failed;
    }
  } else {
    Decide(folder, *open, entered);
    if (rules_.Sizes) CountOwnEntries(folder, rules_.Follow);
  }
  bool decided = false;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    WalkCounts& counts = state_->counts;
    ++counts.Listed;
    if (folder.Run != nullptr)
      counts.Entries += folder.Run->Totals.FolderCount + folder.Run->Totals.FileCount;
    counts.Found += entered.size();
    folder.Pending += entered.size();
    decided = folder.PendingLinks == 0;
    folder.At = decided ? WalkFolder::Stage::kListed : WalkFolder::Stage::kDeciding;
    if (decided && folder.Ahead) ++state_->ahead;
  }
  if (decided) consumer_.Listed(folder, open.get());
  open.reset();
  if (progress_) progress_();
  std::unique_lock<std::mutex> lock(state_->mutex);
  // Reversed, so that the first sub-folder is taken first.
  state_->tasks.insert(state_->tasks.end(), entered.rbegin(), entered.rend());
  state_->wake.notify_all();
  if (decided && folder.Pending == 0) CompleteUpwards(lock, &folder);
}

// What becomes of each sub-folder of a listed folder; the entered ones go
// to entered, links to folders outside the tree wait for their turn.
void TreeWalk::Decide(WalkFolder& folder, OpenFolder& open,
                      std::vector<std::shared_ptr<WalkFolder>>& entered) {
  const std::deque<FileInfoX>& list = folder.Run->Listing.FolderList;
  folder.Children.reserve(list.size());
  for (const FileInfoX& entry : list) {
    if (IsParentEntry(entry)) continue;
    DecideChild(folder, open, folder.Children.size(), entry, entered);
  }
}

void TreeWalk::DecideChild(WalkFolder& folder, OpenFolder& open, size_t at, const FileInfoX& entry,
                           std::vector<std::shared_ptr<WalkFolder>>& entered) {
  folder.Children.emplace_back();
  WalkChild& child = folder.Children.back();
  child.Name = entry.Find.cFileName;
  const FileIdentity& identity = entry.Find.Identity;
  const bool link = IsLink(entry.Find.dwFileAttributes);
  const std::string path = JoinPath(PathOf(folder), child.Name);
  if (rules_.MaxDepth != 0 && folder.Depth + 1 >= rules_.MaxDepth) return;
  if (link && !rules_.Follow) return;
  if (rules_.LeavesRepositoriesOut && IsRepositoryFolder(child.Name)) {
    Report("not entered: " + Shown(path) + " (a repository's own folder; give it as FOLDER to list it)",
           false);
    return;
  }
  if (rules_.OneFileSystem && identity.Device != state_->top->Identity.Device) return;
  if (std::find(rules_.NeverEnter.begin(), rules_.NeverEnter.end(), identity) != rules_.NeverEnter.end())
    return;
  for (const WalkFolder* above = &folder; above != nullptr; above = above->Parent) {
    if (above->Identity == identity) {
      child.State = ChildState::kLoop;
      Report("not entered: " + Shown(path) + " leads back to a folder above it", false);
      return;
    }
  }
  // A folder that cannot be listed has no page to link to: known before
  // the folder above it is written.
  if (!open.MayList(child.Name, child.Failure)) {
    child.State = ChildState::kFailed;
    Report(ListingFailureText(path, child.Failure), true);
    return;
  }
  auto node = std::make_shared<WalkFolder>();
  node->Parent = &folder;
  node->Name = child.Name;
  node->Rules = folder.Rules;
  node->Depth = folder.Depth + 1;
  node->Identity = identity;
  node->Index = at;
  node->ThroughLink = link || folder.ThroughLink;
  if (link) {
    // A link into the tree leads to a folder that is listed by its own path.
    if (IsInsideTop(path, child.ListedAs)) {
      child.State = ChildState::kListedElsewhere;
      Report("not entered: " + Shown(path) + " is a link to " + Shown(PathFromNames(child.ListedAs)) +
                 ", in the tree: a folder is listed at its own path only",
             false);
      return;
    }
    child.State = ChildState::kEntered;
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++folder.PendingLinks;
    state_->deferred.push_back({PlaceInOrder(*node), std::move(node), at});
    return;
  }
  if (node->ThroughLink) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto listed = state_->through_links.find(identity);
    if (listed != state_->through_links.end()) {
      child.State = ChildState::kListedElsewhere;
      child.ListedAs = listed->second;
      report_("not entered: " + Shown(path) + " is already listed as " +
              Shown(PathFromNames(listed->second)));
      return;
    }
    state_->through_links.emplace(identity, NamesFromTop(*node, std::string()));
  }
  child.State = ChildState::kEntered;
  child.Node = node;
  if (!node->ThroughLink && TakeAsBefore(*node)) return;
  entered.push_back(std::move(node));
}

// A sub-folder that nothing changed below since the walk before: complete
// at once with the totals it had, and not listed.
bool TreeWalk::TakeAsBefore(WalkFolder& node) {
  if (rules_.Memory == nullptr || !rules_.Memory->Unchanged(node, node.Sizes, node.SharedFiles)) return false;
  node.WasListed = true;
  std::lock_guard<std::mutex> lock(state_->mutex);
  node.At = WalkFolder::Stage::kListed;
  node.Released = true;
  for (const auto& hook : complete_hooks_) hook(node);
  node.Complete = true;
  return true;
}

// Enters the links that waited, in the order a one-thread walk meets them;
// then the folders whose sub-folders are all decided are listed.
void TreeWalk::ResolveLinks(std::unique_lock<std::mutex>& lock) {
  State& state = *state_;
  // Busy while the lock is let go: no thread takes the walk for over.
  ++state.busy;
  std::vector<Deferred> deferred = std::move(state.deferred);
  state.deferred.clear();
  std::sort(deferred.begin(), deferred.end(),
            [](const Deferred& a, const Deferred& b) { return a.Order < b.Order; });
  std::vector<WalkFolder*> decided;
  std::vector<std::shared_ptr<WalkFolder>> entered;
  for (Deferred& link : deferred) {
    WalkFolder& parent = *link.Node->Parent;
    WalkChild& child = parent.Children[link.Child];
    const auto listed = state.through_links.find(link.Node->Identity);
    if (listed != state.through_links.end()) {
      child.State = ChildState::kListedElsewhere;
      child.ListedAs = listed->second;
      report_("not entered: " + Shown(PathOf(*link.Node)) + " is already listed as " +
              Shown(PathFromNames(listed->second)));
    } else {
      state.through_links.emplace(link.Node->Identity, NamesFromTop(*link.Node, std::string()));
      child.Node = link.Node;
      ++parent.Pending;
      ++state.counts.Found;
      entered.push_back(link.Node);
    }
    if (--parent.PendingLinks == 0) decided.push_back(&parent);
  }
  lock.unlock();
  for (WalkFolder* folder : decided) consumer_.Listed(*folder, nullptr);
  lock.lock();
  // Reversed, so that the first link found is listed first.
  state.tasks.insert(state.tasks.end(), entered.rbegin(), entered.rend());
  for (WalkFolder* folder : decided) {
    folder->At = WalkFolder::Stage::kListed;
    if (folder->Ahead) ++state.ahead;
    if (folder->Pending == 0) CompleteUpwards(lock, folder);
  }
  --state.busy;
  state.wake.notify_all();
}

// Marks the folder complete, and each folder above it whose last pending
// sub-folder it was. Called under the lock, which it lets go while the
// consumer is told: a folder's sub-folders are told before it.
void TreeWalk::CompleteUpwards(std::unique_lock<std::mutex>& lock, WalkFolder* folder) {
  while (folder != nullptr) {
    if (rules_.Memory != nullptr) rules_.Memory->Completed(*folder);
    for (const auto& hook : complete_hooks_) hook(*folder);
    lock.unlock();
    consumer_.Complete(*folder);
    lock.lock();
    folder->Complete = true;
    // A complete folder's sub-folders are done with, unless the consumer
    // still reads them in order.
    if (folder->Released) {
      for (WalkChild& child : folder->Children) child.Node.reset();
    }
    WalkFolder* parent = folder->Parent;
    if (parent == nullptr || --parent->Pending > 0 || parent->At != WalkFolder::Stage::kListed) break;
    folder = parent;
  }
  state_->wake.notify_all();
}

void TreeWalk::Release(WalkFolder& folder) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  folder.Released = true;
  folder.Run.reset();
  if (folder.Complete) {
    for (WalkChild& child : folder.Children) child.Node.reset();
  }
  if (folder.Ahead) {
    folder.Ahead = false;
    --state_->ahead;
    state_->wake.notify_all();
  }
}

std::string TreeWalk::PathFromNames(const std::vector<std::string>& names) const {
  std::string path = state_->top->Name;
  for (size_t i = 1; i < names.size(); ++i) path = JoinPath(path, names[i]);
  return path;
}

bool TreeWalk::IsInsideTop(const std::string& path, std::vector<std::string>& names) {
  const std::string real = disk_.RealPath(path);
  if (real.empty() || real_top_.empty()) return false;
  const std::vector<std::string> top = PathParts(real_top_), parts = PathParts(real);
  if (parts.size() < top.size() || !std::equal(top.begin(), top.end(), parts.begin())) return false;
  names.assign(1, std::string());
  names.insert(names.end(), parts.begin() + static_cast<std::ptrdiff_t>(top.size()), parts.end());
  return true;
}

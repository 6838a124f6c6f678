#include "tree/pages.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>

#include "listing/entry.h"
#include "output/escapes.h"
#include "output/search_rows.h"
#include "tree/own_file.h"
#include "tree/sizes.h"

namespace {

std::string Shown(const std::string& path) { return ControlEscaped(path); }

// The way from the folder at names `from` to the folder at `to`, both
// below one top (the top's own name first in each), as a link ending in "/"
// (empty when they are one).
std::string RelativeLink(const std::vector<std::string>& from, const std::vector<std::string>& to) {
  size_t common = 1;
  while (common < from.size() && common < to.size() && from[common] == to[common]) ++common;
  std::string link;
  for (size_t i = common; i < from.size(); ++i) link += "../";
  for (size_t i = common; i < to.size(); ++i) {
    AppendLinkForm(link, to[i]);
    link += '/';
  }
  return link;
}

class PageWriter : public WalkConsumer {
 public:
  PageWriter(const CommonStruct& settings, const OutputForm& form, const PageOptions& options, TreeDisk& disk,
             bool sizes)
      : settings_(settings),
        form_(form),
        options_(options),
        disk_(disk),
        pages_disk_(options.PagesDisk != nullptr ? *options.PagesDisk : disk),
        sizes_(sizes) {}

  void Attach(TreeWalk& walk) { walk_ = &walk; }

  // Hands each folder, once its page is written, to a writer that lets the
  // folders go in their turn (the search file's); searching, every page
  // carries the control that searches the file.
  void HandOver(bool searching) {
    hands_over_ = true;
    searching_ = searching;
  }

  // Waits until the folder's page is done with, by this thread or another.
  void AwaitDone(const WalkFolder& folder) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_changed_.wait(lock, [&] { return done_.count(&folder) > 0; });
    done_.erase(&folder);
  }

  // The folder's entered sub-folders in the order of its listing, whatever
  // order their totals put them in meanwhile; held, so that they stay.
  std::vector<std::shared_ptr<WalkFolder>> EnteredChildren(const WalkFolder& folder) {
    std::vector<std::shared_ptr<WalkFolder>> children;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const WalkChild& child : folder.Children) {
      if (child.State == ChildState::kEntered && child.Node != nullptr) children.push_back(child.Node);
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a->Index < b->Index; });
    return children;
  }

  // The folder the top's page goes into, held open; null with the reason
  // where it cannot be opened.
  std::unique_ptr<OpenFolder> HoldTopPageFolder(WalkFolder& top, std::string& reason) {
    if (options_.OutputDir.empty()) return disk_.Open(PathOf(top), reason);
    OpenFolder* target = nullptr;
    return OpenPageFolder(top, target, reason);
  }

  // The link from the folder's page to the folder's files, where the pages
  // stand apart.
  std::string FilesLink(const WalkFolder& folder) const {
    switch (options_.FileLinks) {
      case PageFileLinks::kBesidePage:
        return std::string();
      case PageFileLinks::kBelowUrl: {
        std::string link = options_.FilesUrl;
        const std::vector<std::string>& path = folder.Page.Path;
        for (size_t i = 1; i < path.size(); ++i) {
          AppendLinkForm(link, path[i]);
          link += '/';
        }
        return link;
      }
      case PageFileLinks::kListedFolder:
        break;
    }
    return FolderLink(PageFolderPath(folder), PathOf(folder));
  }

  PageCounts Counts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
  }

  void Place(WalkFolder& folder, ListingPlace& place) override {
    TreePage& page = folder.Page;
    page.IndexName = options_.IndexName;
    page.LinkIndex = options_.LinkIndex || !IsFolderIndexName(options_.IndexName);
    page.Path = NamesFromTop(folder, options_.TopShown);
    std::string shown = options_.TopShown;
    for (size_t i = 1; i < page.Path.size(); ++i) shown = JoinPath(shown, page.Path[i]);
    place.FolderShown = shown;
    // Every page below the top leads back up.
    place.IncludeParent = folder.Depth > 0 || settings_.IncludeParent;
    // A page of an earlier walk is this program's, not the folder's; where
    // the pages stand apart, every file of the folder is the folder's own.
    if (options_.OutputDir.empty()) place.LeftOut.push_back(options_.IndexName);
    if (searching_) {
      page.SearchFile = options_.SearchFile;
      if (folder.Depth == 0 && options_.OutputDir.empty()) place.LeftOut.push_back(options_.SearchFile);
    }
    if (!options_.OutputDir.empty()) place.LinkPrefix = FilesLink(folder);
    place.Tree = &page;
  }

  void Listed(WalkFolder& folder, OpenFolder* open) override {
    if (folder.Run != nullptr) {
      for (const WalkChild& child : folder.Children) {
        if (child.State == ChildState::kEntered) folder.Page.FoldersWithPages.insert(child.Name);
        if (child.State == ChildState::kListedElsewhere)
          folder.Page.FolderLinks[child.Name] = RelativeLink(folder.Page.Path, child.ListedAs);
      }
    }
    // A page that shows its sub-folders' totals waits for them; the folders
    // of their pages are made now, before any of them is written.
    if (sizes_) {
      if (folder.Run != nullptr && !options_.OutputDir.empty()) {
        OpenFolder* target = nullptr;
        std::string reason;
        std::unique_ptr<OpenFolder> held = OpenPageFolder(folder, target, reason);
        if (target != nullptr) MakeChildPageFolders(folder, *target);
      }
      return;
    }
    if (folder.Run != nullptr) WritePage(folder, open);
    Done(folder);
  }

  void Complete(WalkFolder& folder) override {
    if (!sizes_) return;
    {
      // The search file's writer reads the sub-folders meanwhile.
      std::lock_guard<std::mutex> lock(mutex_);
      ShowAllTotals(folder);
      OrderByTotals(settings_, folder);
    }
    if (folder.Run != nullptr) WritePage(folder, nullptr);
    Done(folder);
  }

 private:
  void Done(WalkFolder& folder) {
    if (!hands_over_) {
      walk_->Release(folder);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.insert(&folder);
    }
    done_changed_.notify_all();
  }

  std::string PageFolderPath(const WalkFolder& folder) const {
    if (folder.Parent == nullptr) return options_.OutputDir;
    return JoinPath(PageFolderPath(*folder.Parent), folder.Name);
  }

  void Note(const std::string& message, uint64_t PageCounts::*count) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++(counts_.*count);
    }
    walk_->Report(message, false);
  }

  void Fail(const std::string& page, const std::string& reason) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.Failed;
    }
    walk_->Report("cannot write " + Shown(page) + ": " + reason, true);
  }

  void Keep(const std::string& page, const std::string& reason) {
    Note("kept " + Shown(page) + ": " + reason, &PageCounts::Kept);
  }

  // The folder the page goes into, held open: the folder listed itself, or
  // its twin in the pages' own tree.
  std::unique_ptr<OpenFolder> OpenPageFolder(WalkFolder& folder, OpenFolder*& target, std::string& reason) {
    if (options_.OutputDir.empty()) {
      if (target != nullptr) return nullptr;
      std::unique_ptr<OpenFolder> reopened =
          disk_.Reopen(PathOf(folder), folder.Identity, folder.ThroughLink, reason);
      target = reopened.get();
      return reopened;
    }
    if (!folder.PageFolderFailure.empty()) {
      reason = folder.PageFolderFailure;
      return nullptr;
    }
    std::unique_ptr<OpenFolder> opened =
        pages_disk_.Reopen(PageFolderPath(folder), folder.PageFolder, false, reason);
    target = opened.get();
    return opened;
  }

  // Where the pages stand apart, each entered sub-folder's page folder is
  // made from this one's, so that none is reached through a link.
  void MakeChildPageFolders(WalkFolder& folder, OpenFolder& target) {
    for (WalkChild& child : folder.Children) {
      if (child.State != ChildState::kEntered || child.Node == nullptr) continue;
      std::string reason;
      if (!target.MakeFolder(child.Name, child.Node->PageFolder, reason))
        child.Node->PageFolderFailure = reason;
    }
  }

  // What stands where the page goes, and whether it may be replaced: true
  // to write; false when it is kept or already as it would be written.
  bool MayReplace(WalkFolder& folder, OpenFolder& target, const std::string& page) {
    TargetLook look =
        LookAtTarget(target, options_.IndexName, options_.Protected, form_.IsOwnPage, kOwnPageStart);
    if (look.Standing == FileStanding::kMissing) return true;
    if (look.Standing != FileStanding::kOwn) {
      Keep(page, KeptReason(look.Standing));
      return false;
    }
    ComparingSink same(*look.File, std::move(look.Start));
    if (WriteRun(*folder.Run, same) && same.AtEnd()) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.Unchanged;
      return false;
    }
    return true;
  }

  void WritePage(WalkFolder& folder, OpenFolder* open) {
    OpenFolder* target = open;
    std::string reason;
    std::unique_ptr<OpenFolder> held = OpenPageFolder(folder, target, reason);
    const std::string folder_path = options_.OutputDir.empty() ? PathOf(folder) : PageFolderPath(folder);
    const std::string page = JoinPath(folder_path, options_.IndexName);
    if (target == nullptr) {
      Fail(page, reason);
      return;
    }
    if (!options_.OutputDir.empty() && !sizes_) MakeChildPageFolders(folder, *target);
    // A page written into the folder it lists must not change the folder's
    // time, which the pages above and below show: a rerun would find them
    // changed, and write them anew, each time. The time is set back only
    // when no one else changed the folder since it was listed.
    const bool in_place = options_.OutputDir.empty();
    bool untouched = in_place;
    bool changed = MayReplace(folder, *target, page) && Write(folder, *target, page, untouched);
    if (!changed) untouched = in_place && Untouched(folder, *target);
    // What a killed run left in the folder goes, where pages are written.
    if (in_place) {
      for (const std::string& name : folder.Run->Listing.TemporaryNames)
        changed |= target->RemoveLeftover(name);
    }
    uint64_t now = 0;
    if (changed && untouched && target->WriteTime(now) && now != folder.WriteTime) {
      target->SetWriteTime(folder.WriteTime);
    }
  }

  // True when the folder's time is still the one it had when it was listed.
  static bool Untouched(WalkFolder& folder, OpenFolder& target) {
    uint64_t now = 0;
    return target.WriteTime(now) && now == folder.WriteTime;
  }

  // Writes the page; untouched, where it is set, tells whether the folder
  // was left alone by others up to the moment the page is put in place.
  bool Write(WalkFolder& folder, OpenFolder& target, const std::string& page, bool& untouched) {
    std::string reason;
    std::unique_ptr<NewFile> file = target.WriteFile(options_.IndexName, options_.Method, reason);
    if (file == nullptr) {
      Fail(page, reason);
      return false;
    }
    if (!WriteRun(*folder.Run, *file) || !file->WriteOut()) {
      Fail(page, file->FailureReason());
      return false;
    }
    untouched = untouched && Untouched(folder, target);
    if (!file->Commit()) {
      Fail(page, file->FailureReason());
      return false;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++counts_.Written;
    }
    for (const std::string& warning : file->Notes().Warnings)
      walk_->Report("warning: " + Shown(warning), false);
    return true;
  }

  const CommonStruct& settings_;
  const OutputForm& form_;
  const PageOptions& options_;
  TreeDisk& disk_;
  TreeDisk& pages_disk_;
  const bool sizes_;
  TreeWalk* walk_ = nullptr;
  bool hands_over_ = false;
  bool searching_ = false;
  std::mutex mutex_;
  std::condition_variable done_changed_;
  std::set<const WalkFolder*> done_;  // pages done with, until handed over
  PageCounts counts_;
};

// Writes into the new search file while comparing with the file it would
// replace, so that a file that would stay as it is is left untouched.
class SearchSink : public ByteSink {
 public:
  SearchSink(NewFile& file, ComparingSink* old) : file_(file), old_(old), same_(old != nullptr) {}

  bool Write(std::string_view bytes) override {
    same_ = same_ && old_->Write(bytes);
    return file_.Write(bytes);
  }

  // True when the old file holds exactly what was written.
  bool Same() { return same_ && old_->AtEnd(); }

 private:
  NewFile& file_;
  ComparingSink* old_;
  bool same_;
};

// The search file, written on the walk's main thread while the pool lists
// and the pages are written: each folder's line once its page is done, in
// an order of the tree alone (a folder before its sub-folders, or after
// them where its page waits for their totals), so that the file is the same
// from any number of threads, and each folder let go in its turn, so that
// memory holds the folders in flight and no more.
class SearchWriter {
 public:
  SearchWriter(PageWriter& pages, TreeWalk& walk, const PageOptions& options, bool after_sub_folders)
      : pages_(pages), walk_(walk), options_(options), after_sub_folders_(after_sub_folders) {}

  // Before anything is listed: where the file goes and whether it may be
  // written there. The pages carry the search only where it may.
  void Prepare(WalkFolder& top) {
    Open(top);
    pages_.HandOver(sink_ != nullptr);
  }

  // The walk's main thread: the file, from the top's listing to its end.
  void Write(WalkFolder& top) {
    walk_.Await(top);
    Begin(top);
    WriteInOrder(top);
    Finish(top);
  }

  SearchFileState State() const { return state_; }

 private:
  struct Frame {
    WalkFolder* Folder;
    std::vector<std::shared_ptr<WalkFolder>> Children;
    size_t Next = 0;
  };

  void Open(WalkFolder& top) {
    std::string reason;
    path_ = JoinPath(options_.OutputDir.empty() ? top.Name : options_.OutputDir, options_.SearchFile);
    folder_ = pages_.HoldTopPageFolder(top, reason);
    if (folder_ == nullptr) return Fail(reason);
    TargetLook look =
        LookAtTarget(*folder_, options_.SearchFile, options_.Protected, IsOwnSearchFile, kOwnPageStart);
    if (look.Standing != FileStanding::kMissing && look.Standing != FileStanding::kOwn)
      return Keep(KeptReason(look.Standing));
    file_ = folder_->WriteFile(options_.SearchFile, options_.Method, reason);
    if (file_ == nullptr) return Fail(reason);
    // Written in place, the old file is emptied first: there is nothing to compare.
    if (look.Standing == FileStanding::kOwn && options_.Method == WriteMethod::kWholeOrNothing) {
      old_file_ = std::move(look.File);
      old_ = std::make_unique<ComparingSink>(*old_file_, std::move(look.Start));
    }
    sink_ = std::make_unique<SearchSink>(*file_, old_.get());
  }

  void Begin(WalkFolder& top) {
    if (sink_ == nullptr) return;
    if (top.Run == nullptr) return Discard();
    if (options_.OutputDir.empty() && !(folder_->Identity() == top.Identity)) {
      Fail("the folder was replaced while it was listed");
      return Discard();
    }
    std::string files;
    if (!options_.OutputDir.empty()) files = pages_.FilesLink(top);
    Emit(SearchFileHead(top.Page, files));
  }

  void WriteInOrder(WalkFolder& top) {
    std::vector<Frame> stack;
    Enter(top, stack);
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.Next < frame.Children.size()) {
        WalkFolder& child = *frame.Children[frame.Next++];
        Enter(child, stack);
      } else {
        Leave(*frame.Folder);
        stack.pop_back();
      }
    }
  }

  void Enter(WalkFolder& folder, std::vector<Frame>& stack) {
    walk_.Await(folder);
    if (!after_sub_folders_) {
      pages_.AwaitDone(folder);
      EmitFolder(folder);
    }
    stack.push_back({&folder, pages_.EnteredChildren(folder)});
  }

  void Leave(WalkFolder& folder) {
    if (after_sub_folders_) {
      walk_.AwaitComplete(folder);
      pages_.AwaitDone(folder);
      EmitFolder(folder);
    }
    walk_.Release(folder);
  }

  void EmitFolder(const WalkFolder& folder) {
    if (sink_ == nullptr || folder.Run == nullptr) return;
    std::string line;
    AppendSearchFolder(line, *folder.Run);
    Emit(line);
  }

  void Emit(std::string_view text) {
    if (sink_ != nullptr && !write_failed_) write_failed_ = !sink_->Write(text);
  }

  void Finish(WalkFolder& top) {
    if (sink_ == nullptr) return;
    Emit(SearchFileTail());
    if (write_failed_ || !file_->WriteOut()) {
      Fail(file_->FailureReason());
      return Discard();
    }
    const bool in_place = options_.OutputDir.empty();
    bool untouched = in_place && Untouched(top);
    if (sink_->Same()) {
      state_ = SearchFileState::kUnchanged;
      Discard();
      return SetTimeBack(top, untouched);
    }
    // A file of someone else's may have taken the name meanwhile.
    const FileStanding now =
        LookAtTarget(*folder_, options_.SearchFile, options_.Protected, IsOwnSearchFile, kOwnPageStart)
            .Standing;
    if (now != FileStanding::kMissing && now != FileStanding::kOwn) {
      Keep(KeptReason(now));
      return Discard();
    }
    untouched = in_place && Untouched(top);
    if (!file_->Commit()) {
      Fail(file_->FailureReason());
      return Discard();
    }
    state_ = SearchFileState::kWritten;
    for (const std::string& warning : file_->Notes().Warnings)
      walk_.Report("warning: " + Shown(warning), false);
    SetTimeBack(top, untouched);
  }

  // True when the folder's time is still the one it had when it was listed.
  bool Untouched(const WalkFolder& top) {
    uint64_t now = 0;
    return folder_->WriteTime(now) && now == top.WriteTime;
  }

  // The top's time, which the pages below show, stays as it was listed
  // where no one else changed the folder.
  void SetTimeBack(const WalkFolder& top, bool untouched) {
    uint64_t now = 0;
    if (untouched && folder_->WriteTime(now) && now != top.WriteTime) folder_->SetWriteTime(top.WriteTime);
  }

  void Discard() {
    sink_.reset();
    old_.reset();
    old_file_.reset();
    file_.reset();
  }

  void Fail(const std::string& reason) {
    state_ = SearchFileState::kFailed;
    walk_.Report("cannot write " + Shown(path_) + ": " + reason, true);
  }

  void Keep(const std::string& reason) {
    state_ = SearchFileState::kKept;
    walk_.Report("kept " + Shown(path_) + ": " + reason, false);
  }

  PageWriter& pages_;
  TreeWalk& walk_;
  const PageOptions& options_;
  const bool after_sub_folders_;
  std::string path_;
  std::unique_ptr<OpenFolder> folder_;
  std::unique_ptr<NewFile> file_;
  std::unique_ptr<ContentReader> old_file_;
  std::unique_ptr<ComparingSink> old_;
  std::unique_ptr<SearchSink> sink_;
  bool write_failed_ = false;
  SearchFileState state_ = SearchFileState::kNone;
};

}  // namespace

PagesOutcome WriteTreePages(const CommonStruct& settings, const OutputForm& form, const WalkRules& rules,
                            const PageOptions& options, TreeDisk& disk, FolderSource& source,
                            const WalkReport& report,
                            const std::function<void(const WalkCounts&, const PageCounts&)>& progress) {
  PagesOutcome outcome;
  WalkRules walk_rules = rules;
  FileIdentity pages_folder;
  if (!options.OutputDir.empty()) {
    TreeDisk& pages_disk = options.PagesDisk != nullptr ? *options.PagesDisk : disk;
    std::string reason;
    std::unique_ptr<OpenFolder> made;
    if (pages_disk.MakeFolders(options.OutputDir, reason)) made = pages_disk.Open(options.OutputDir, reason);
    if (made == nullptr) {
      outcome.Refusal = "cannot write into " + Shown(options.OutputDir) + ": " + reason;
      return outcome;
    }
    pages_folder = made->Identity();
    FileIdentity top;
    if (&pages_disk == &disk && disk.Identify(settings.DirStr, top) && top == pages_folder) {
      outcome.Refusal = "--output-dir " + Shown(options.OutputDir) +
                        " is the folder listed; leave it out to write each page into the folder it lists";
      return outcome;
    }
    // The pages' own folder may lie in the tree: it is never listed as part of it.
    if (&pages_disk == &disk) walk_rules.NeverEnter.push_back(pages_folder);
  }
  PageWriter writer(settings, form, options, disk, rules.Sizes);
  TreeWalk walk(settings, form, walk_rules, disk, source, writer, report);
  if (walk_rules.Sizes) walk.OnComplete(AddUpSizes);
  writer.Attach(walk);
  walk.OnProgress([&] { progress(walk.Counts(), writer.Counts()); });
  if (options.SearchFile.empty()) {
    walk.Run(settings.DirStr, nullptr, [&](WalkFolder& top) { top.PageFolder = pages_folder; });
  } else {
    SearchWriter search(writer, walk, options, walk_rules.Sizes);
    walk.LimitAhead(4 * WalkThreads(walk_rules.Threads) + 16);
    walk.Run(
        settings.DirStr, [&search](WalkFolder& top) { search.Write(top); },
        [&](WalkFolder& top) {
          top.PageFolder = pages_folder;
          search.Prepare(top);
        });
    outcome.Search = search.State();
  }
  outcome.Walk = walk.Counts();
  outcome.Pages = writer.Counts();
  if (walk.Top().Run == nullptr) outcome.TopFailure = walk.Top().Failure;
  return outcome;
}

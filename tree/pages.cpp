#include "tree/pages.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "listing/entry.h"
#include "output/escapes.h"
#include "tree/sizes.h"

namespace {

std::string Shown(const std::string& path) { return ControlEscaped(path); }

// Compares the bytes written with a file's, from what was read of its
// start on, and stops at the first that differs: a page that stays as it
// is need not be written.
class ComparingSink : public ByteSink {
 public:
  ComparingSink(ContentReader& file, std::string start) : file_(file), held_(std::move(start)) {}

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (at_ == held_.size()) {
        held_.resize(kPiece);
        held_.resize(file_.Read(&held_[0], kPiece));
        at_ = 0;
        if (held_.empty()) return false;  // the file ends first
      }
      const size_t count = std::min(bytes.size(), held_.size() - at_);
      if (bytes.compare(0, count, std::string_view(held_).substr(at_, count)) != 0) return false;
      bytes.remove_prefix(count);
      at_ += count;
    }
    return true;
  }

  // True when the file holds nothing after what was written.
  bool AtEnd() {
    char byte;
    return at_ == held_.size() && file_.Read(&byte, 1) == 0;
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;
  ContentReader& file_;
  std::string held_;
  size_t at_ = 0;
};

// Up to limit bytes of the file's start.
std::string ReadStart(ContentReader& file, size_t limit) {
  std::string start(limit, '\0');
  size_t have = 0;
  while (have < limit) {
    const size_t count = file.Read(&start[have], limit - have);
    if (count == 0) break;
    have += count;
  }
  start.resize(have);
  return start;
}

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
      : settings_(settings), form_(form), options_(options), disk_(disk), sizes_(sizes) {}

  void Attach(TreeWalk& walk) { walk_ = &walk; }

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
    if (!options_.OutputDir.empty()) place.LinkPrefix = FolderLink(PageFolderPath(folder), PathOf(folder));
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
    walk_->Release(folder);
  }

  void Complete(WalkFolder& folder) override {
    if (!sizes_) return;
    ShowAllTotals(folder);
    OrderByTotals(settings_, folder);
    if (folder.Run != nullptr) WritePage(folder, nullptr);
    walk_->Release(folder);
  }

 private:
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
        disk_.Reopen(PageFolderPath(folder), folder.PageFolder, false, reason);
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
    switch (target.Look(options_.IndexName)) {
      case NodeKind::kMissing:
        return true;
      case NodeKind::kLink:
        Keep(page, "a symbolic link has that name");
        return false;
      case NodeKind::kFolder:
      case NodeKind::kOther:
        Keep(page, "not a regular file");
        return false;
      case NodeKind::kFile:
        break;
    }
    FileIdentity identity;
    if (target.Identify(options_.IndexName, identity) &&
        std::find(options_.Protected.begin(), options_.Protected.end(), identity) !=
            options_.Protected.end()) {
      Keep(page, "the settings file in use");
      return false;
    }
    std::unique_ptr<ContentReader> file = target.ReadFile(options_.IndexName);
    // A file that cannot be read cannot be told to be this program's.
    if (file == nullptr) {
      Keep(page, "it cannot be read, so it is not known to be written by kestrova");
      return false;
    }
    std::string start = ReadStart(*file, kOwnPageStart);
    if (form_.IsOwnPage == nullptr || !form_.IsOwnPage(start)) {
      Keep(page, "not written by kestrova");
      return false;
    }
    ComparingSink same(*file, std::move(start));
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
  const bool sizes_;
  TreeWalk* walk_ = nullptr;
  std::mutex mutex_;
  PageCounts counts_;
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
    std::string reason;
    std::unique_ptr<OpenFolder> made;
    if (disk.MakeFolders(options.OutputDir, reason)) made = disk.Open(options.OutputDir, reason);
    if (made == nullptr) {
      outcome.Refusal = "cannot write into " + Shown(options.OutputDir) + ": " + reason;
      return outcome;
    }
    pages_folder = made->Identity();
    FileIdentity top;
    if (disk.Identify(settings.DirStr, top) && top == pages_folder) {
      outcome.Refusal = "--output-dir " + Shown(options.OutputDir) +
                        " is the folder listed; leave it out to write each page into the folder it lists";
      return outcome;
    }
    // The pages' own folder may lie in the tree: it is never listed as part of it.
    walk_rules.NeverEnter.push_back(pages_folder);
  }
  PageWriter writer(settings, form, options, disk, rules.Sizes);
  TreeWalk walk(settings, form, walk_rules, disk, source, writer, report);
  if (walk_rules.Sizes) walk.OnComplete(AddUpSizes);
  writer.Attach(walk);
  walk.OnProgress([&] { progress(walk.Counts(), writer.Counts()); });
  walk.Run(settings.DirStr, nullptr, [&](WalkFolder& top) { top.PageFolder = pages_folder; });
  outcome.Walk = walk.Counts();
  outcome.Pages = writer.Counts();
  if (walk.Top().Run == nullptr) outcome.TopFailure = walk.Top().Failure;
  return outcome;
}

#include "tree/catalog.h"

#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/catalog_page.h"
#include "output/placeholders.h"
#include "tree/sizes.h"

namespace {

// A folder still to be written: an entered sub-folder (Node), or one that
// could not be opened (Node null, the reason in Failure).
struct PendingFolder {
  std::shared_ptr<WalkFolder> Node;
  std::string Failure;
  size_t Parent = 0;
  size_t Entry = 0;
};

class CatalogWriter : public WalkConsumer {
 public:
  CatalogWriter(const CommonStruct& settings, const CatalogOptions& options, ByteSink& sink)
      : settings_(settings),
        options_(options),
        encoder_(sink),
        placer_(options.TopShown, options.OutputFile, settings.IncludeParent) {}

  void Attach(TreeWalk& walk) { walk_ = &walk; }

  void Place(WalkFolder& folder, ListingPlace& place) override { placer_.Place(folder, place); }

  void Listed(WalkFolder&, OpenFolder*) override {}

  // Under the walk's lock, after the folder's sizes are added up: its row
  // takes them now, or when it is written.
  void Completed(WalkFolder& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto at = numbers_.find(&folder);
    if (at == numbers_.end()) {
      completed_.insert(&folder);
      return;
    }
    SetTotals(at->second, folder.Sizes);
    numbers_.erase(at);
  }

  void Write(const std::shared_ptr<WalkFolder>& top, ByteSink& sink) {
    walk_->Await(*top);
    if (top->Run == nullptr) {
      outcome_.TopFailure = top->Failure;
      return;
    }
    CatalogHeader header;
    header.Title = settings_.Title;
    // The title as the page form gives it, the folder unescaped: the page
    // escapes it whole, and the data holds it as it is.
    if (!SubstitutePlaceholders(*top->Run, header.Title,
                                [](std::string& out, std::string_view text) { out.append(text); }))
      header.Title = options_.TopShown;
    header.TopPath = top->Run->Folder;
    header.TopName = options_.TopShown;
    header.Written = options_.Written;
    header.Links = options_.Links;
    header.LinkBase = options_.LinkBase;
    header.Algorithms = top->Run->Checksums;
    if (!sink.Write(CatalogPageHead(header.Title)) || !encoder_.Begin(header)) {
      outcome_.WriteFailed = true;
      return;
    }
    std::vector<PendingFolder> pending{{top, std::string(), 0, 0}};
    while (!pending.empty() && !encoder_.Failed()) {
      PendingFolder next = std::move(pending.back());
      pending.pop_back();
      WriteFolder(next, pending);
    }
    if (encoder_.Failed()) {
      outcome_.WriteFailed = true;
      return;
    }
    // The table takes every folder's totals, the top's last of all.
    walk_->AwaitComplete(*top);
    if (!encoder_.Finish(types_, folders_) || !sink.Write(CatalogPageTail())) outcome_.WriteFailed = true;
  }

  DocumentOutcome& Outcome() { return outcome_; }

 private:
  void SetTotals(size_t number, const SubtreeTotals& totals) {
    CatalogFolder& row = folders_[number];
    row.Totals = totals;
    if (totals.Incomplete && row.State == CatalogFolderState::kListed)
      row.State = CatalogFolderState::kLowerBound;
  }

  // The folder's row and run; its entered sub-folders join the folders to
  // write, the first of them next.
  void WriteFolder(PendingFolder& folder, std::vector<PendingFolder>& pending) {
    const size_t number = AddRow(folder);
    WalkFolder* node = folder.Node.get();
    if (node != nullptr) walk_->Await(*node);
    if (node == nullptr || node->Run == nullptr) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        CatalogFolder& row = folders_[number];
        row.State = CatalogFolderState::kFailed;
        row.Reason = node != nullptr ? node->Failure : folder.Failure;
        if (node != nullptr) completed_.erase(node);
      }
      encoder_.AddRun({}, {});
      if (node != nullptr) walk_->Release(*node);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (completed_.erase(node) > 0) {
        SetTotals(number, node->Sizes);
      } else {
        numbers_[node] = number;
      }
    }
    ListingRun& run = *node->Run;
    for (const auto& type : run.Listing.Values.Types) types_.insert(type);
    std::vector<const FolderRecord*> entries;
    std::vector<std::string> targets;
    std::vector<PendingFolder> below;
    size_t next_child = 0;
    for (const std::deque<FileInfoX>* list : {&run.Listing.FolderList, &run.Listing.FileList}) {
      for (const FileInfoX& entry : *list) {
        if (IsParentEntry(entry)) continue;
        if (list == &run.Listing.FolderList && next_child < node->Children.size()) {
          const WalkChild& child = node->Children[next_child++];
          if (child.State == ChildState::kEntered || child.State == ChildState::kFailed)
            below.push_back({child.Node, child.Failure, number, entries.size()});
        }
        if (IsLink(entry.Find.dwFileAttributes)) {
          const std::string* target = LinkTargetOf(entry, run.Listing.Values);
          targets.push_back(target != nullptr ? *target : std::string());
        }
        entries.push_back(&entry.Find);
      }
    }
    encoder_.AddRun(entries, targets, &run.Listing.Values);
    outcome_.Totals.FolderCount += run.Totals.FolderCount;
    outcome_.Totals.FileCount += run.Totals.FileCount;
    outcome_.Totals.TotalBytes += run.Totals.TotalBytes;
    walk_->Release(*node);
    for (auto child = below.rbegin(); child != below.rend(); ++child) pending.push_back(std::move(*child));
  }

  size_t AddRow(const PendingFolder& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    CatalogFolder row;
    row.Parent = folder.Parent;
    row.Entry = folder.Entry;
    folders_.push_back(std::move(row));
    return folders_.size() - 1;
  }

  const CommonStruct& settings_;
  const CatalogOptions& options_;
  CatalogEncoder encoder_;
  const OneFilePlacer placer_;
  TreeWalk* walk_ = nullptr;
  CatalogTypes types_;
  // The folder table, and which of its rows wait for their folder's totals.
  std::mutex mutex_;
  std::vector<CatalogFolder> folders_;
  std::unordered_map<const WalkFolder*, size_t> numbers_;
  std::unordered_set<const WalkFolder*> completed_;
  DocumentOutcome outcome_;
};

}  // namespace

DocumentOutcome WriteTreeCatalog(const CommonStruct& settings, const OutputForm& form, WalkRules rules,
                                 const CatalogOptions& options, TreeDisk& disk, FolderSource& source,
                                 ByteSink& sink, const WalkReport& report,
                                 const std::function<void(const WalkCounts&)>& progress) {
  rules.Sizes = true;
  CatalogWriter writer(settings, options, sink);
  TreeWalk walk(settings, form, rules, disk, source, writer, report);
  walk.OnComplete(AddUpSizes);
  walk.OnComplete([&writer](WalkFolder& folder) { writer.Completed(folder); });
  writer.Attach(walk);
  walk.LimitAhead(4 * WalkThreads(rules.Threads) + 16);
  walk.OnProgress([&] { progress(walk.Counts()); });
  walk.Run(settings.DirStr, [&](WalkFolder&) { writer.Write(walk.TopNode(), sink); });
  DocumentOutcome outcome = writer.Outcome();
  outcome.Walk = walk.Counts();
  return outcome;
}

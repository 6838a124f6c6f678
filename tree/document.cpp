#include "tree/document.h"

#include "listing/entry.h"
#include "settings/line_ends.h"
#include "tree/sizes.h"

namespace {

class DocumentWriter : public WalkConsumer {
 public:
  DocumentWriter(const CommonStruct& settings, const OutputForm& form, const DocumentOptions& options,
                 ByteSink& sink, bool sizes)
      : settings_(settings),
        sizes_(sizes),
        form_(form),
        tree_(*form.TreeDocument),
        null_ends_(options.NullEnds && form.AppendNullEndedRow != nullptr),
        platform_ends_(sink, PlatformLineEnd()),
        sink_(sink),
        placer_(options.TopShown, options.OutputFile, settings.IncludeParent) {}

  void Attach(TreeWalk& walk) { walk_ = &walk; }

  void Place(WalkFolder& folder, ListingPlace& place) override { placer_.Place(folder, place); }

  void Listed(WalkFolder& folder, OpenFolder*) override {
    if (folder.Run != nullptr) folder.Run->NullEnds = null_ends_;
  }

  // Writes the document, taking each folder in the order of the rows.
  void Write(WalkFolder& top) {
    walk_->Await(top);
    if (top.Run == nullptr) {
      outcome_.TopFailure = top.Failure;
      return;
    }
    Emit(tree_.Head(*top.Run)) && WriteFolder(top, 0) && Emit(tree_.Tail(outcome_.Totals)) && Finish();
  }

  DocumentOutcome& Outcome() { return outcome_; }

 private:
  bool UsesPlatformEnds() const { return !null_ends_ && form_.Ends == LineEnds::kPlatform; }

  bool Emit(std::string_view text) {
    if (text.empty()) return true;
    const bool written = UsesPlatformEnds() ? platform_ends_.Write(text) : sink_.Write(text);
    if (!written) outcome_.WriteFailed = true;
    return written;
  }

  bool Finish() {
    if (UsesPlatformEnds() && !platform_ends_.Finish()) outcome_.WriteFailed = true;
    return !outcome_.WriteFailed;
  }

  // The folder's rows, each entered sub-folder's rows after its own (before
  // it, where its size is its total and the form has no nesting); false
  // when a write fails.
  bool WriteFolder(WalkFolder& folder, size_t depth) {
    // Folders in the order of their totals: known once all is listed below.
    if (sizes_ && settings_.SortBy == kSortBySize) {
      walk_->AwaitComplete(folder);
      ShowAllTotals(folder);
      OrderByTotals(settings_, folder);
    }
    ListingRun& run = *folder.Run;
    if (tree_.NamesByPath && depth > 0) run.PathPrefix = &prefix_;
    const std::deque<FileInfoX>& folders = run.Listing.FolderList;
    const std::deque<FileInfoX>& files = run.Listing.FileList;
    // The folder's children are its sub-folders in the order of the list:
    // the parent entry is none of them.
    size_t next_child = 0;
    for (const std::deque<FileInfoX>* list : {&folders, &files}) {
      for (const FileInfoX& entry : *list) {
        const WalkChild* child = nullptr;
        if (list == &folders && !IsParentEntry(entry) && next_child < folder.Children.size())
          child = &folder.Children[next_child++];
        const bool entered =
            child != nullptr && (child->State == ChildState::kEntered || child->State == ChildState::kFailed);
        if (!(entered ? WriteChild(folder, *child, entry, depth) : Emit(Row(run, entry, depth))))
          return false;
      }
    }
    outcome_.Totals.FolderCount += run.Totals.FolderCount;
    outcome_.Totals.FileCount += run.Totals.FileCount;
    outcome_.Totals.TotalBytes += run.Totals.TotalBytes;
    outcome_.Totals.BytesKnown = outcome_.Totals.BytesKnown && run.Totals.BytesKnown;
    walk_->Release(folder);
    return true;
  }

  std::string Row(ListingRun& run, const FileInfoX& entry, size_t depth) {
    std::string row;
    (null_ends_ ? form_.AppendNullEndedRow : form_.AppendRow)(run, entry, row);
    if (depth > 0 && tree_.IndentRow != nullptr) tree_.IndentRow(row, depth);
    return row;
  }

  bool WriteChild(WalkFolder& folder, const WalkChild& child, const FileInfoX& entry, size_t depth) {
    ListingRun& run = *folder.Run;
    WalkFolder* sub = child.Node.get();
    if (sub != nullptr) walk_->Await(*sub);
    if (sub == nullptr || sub->Run == nullptr) {
      std::string row = Row(run, entry, depth);
      if (tree_.FailFolder != nullptr) tree_.FailFolder(row, sub != nullptr ? sub->Failure : child.Failure);
      if (sub != nullptr) walk_->Release(*sub);
      return Emit(row);
    }
    // A folder's own row comes first, unless it shows the total below it
    // and the form cannot give that after the rows below (csv, names, long).
    const bool row_after = sizes_ && tree_.OpenFolder == nullptr;
    if (!row_after) {
      std::string row = Row(run, entry, depth);
      if (tree_.OpenFolder != nullptr) tree_.OpenFolder(row, depth);
      if (!Emit(row)) return false;
    }
    const size_t length = prefix_.size();
    prefix_ += child.Name;
    prefix_ += FolderSeparator();
    const bool written = WriteFolder(*sub, depth + 1);
    prefix_.resize(length);
    if (!written) return false;
    if (sizes_) {
      walk_->AwaitComplete(*sub);
      ShowTotals(folder, *sub);
    }
    if (row_after) return Emit(Row(run, entry, depth));
    return tree_.CloseFolder == nullptr || Emit(tree_.CloseFolder(depth, sizes_ ? &sub->Sizes : nullptr));
  }

  const CommonStruct& settings_;
  const bool sizes_;
  const OutputForm& form_;
  const TreeDocumentForm& tree_;
  const bool null_ends_;
  LineEndWriter platform_ends_;
  ByteSink& sink_;
  const OneFilePlacer placer_;
  TreeWalk* walk_ = nullptr;
  // The path below the top of the folder whose rows are being written.
  std::string prefix_;
  DocumentOutcome outcome_;
};

}  // namespace

OneFilePlacer::OneFilePlacer(const std::string& top_shown, const std::string& output_file,
                             bool include_parent)
    : top_shown_(top_shown),
      output_file_(output_file),
      output_folder_(output_file.empty() ? std::string() : AbsolutePath(FolderOf(output_file))),
      include_parent_(include_parent) {}

void OneFilePlacer::Place(const WalkFolder& folder, ListingPlace& place) const {
  std::string shown = top_shown_;
  for (const std::string& name : NamesFromTop(folder, std::string())) {
    if (!name.empty()) shown = JoinPath(shown, name);
  }
  place.FolderShown = shown;
  place.IncludeParent = folder.Depth == 0 && include_parent_;
  if (!output_folder_.empty() && AbsolutePath(place.Folder) == output_folder_)
    place.LeftOut.push_back(FileNameOf(output_file_));
}

DocumentOutcome WriteTreeDocument(const CommonStruct& settings, const OutputForm& form,
                                  const WalkRules& rules, const DocumentOptions& options, TreeDisk& disk,
                                  FolderSource& source, ByteSink& sink, const WalkReport& report,
                                  const std::function<void(const WalkCounts&)>& progress) {
  DocumentWriter writer(settings, form, options, sink, rules.Sizes);
  TreeWalk walk(settings, form, rules, disk, source, writer, report);
  if (rules.Sizes) walk.OnComplete(AddUpSizes);
  writer.Attach(walk);
  walk.LimitAhead(4 * WalkThreads(rules.Threads) + 16);
  walk.OnProgress([&] { progress(walk.Counts()); });
  walk.Run(settings.DirStr, [&writer](WalkFolder& top) { writer.Write(top); });
  DocumentOutcome outcome = writer.Outcome();
  outcome.Walk = walk.Counts();
  return outcome;
}

#include "tree/folder.h"

#include "tree/sizes.h"

namespace {

class FolderComposer : public WalkConsumer {
 public:
  FolderComposer(const CommonStruct& settings, const ListingPlace& place)
      : settings_(settings), place_(place) {}

  void Attach(TreeWalk& walk) { walk_ = &walk; }

  bool ScanOnly(const WalkFolder& folder) const override { return folder.Parent != nullptr; }

  void Place(WalkFolder& folder, ListingPlace& place) override {
    if (folder.Parent != nullptr) return;
    place.FolderShown = place_.FolderShown;
    place.LeftOut = place_.LeftOut;
    place.IncludeParent = place_.IncludeParent;
    place.LinkPrefix = place_.LinkPrefix;
  }

  void Listed(WalkFolder&, OpenFolder*) override {}

  // A sub-folder's listing goes once its totals are its parent's; the
  // folder's own stays for the caller.
  void Complete(WalkFolder& folder) override {
    if (folder.Parent == nullptr) {
      ShowAllTotals(folder);
      OrderByTotals(settings_, folder);
    } else {
      walk_->Release(folder);
    }
  }

 private:
  const CommonStruct& settings_;
  const ListingPlace& place_;
  TreeWalk* walk_ = nullptr;
};

}  // namespace

GenerateStatus ComposeFolder(const CommonStruct& settings, const ListingPlace& place, const OutputForm& form,
                             const WalkRules& rules, TreeDisk& disk, FolderSource& source,
                             const WalkReport& report, ListingRun& run, std::string& reason) {
  WalkRules walk_rules = rules;
  if (!rules.Sizes) walk_rules.MaxDepth = 1;
  FolderComposer composer(settings, place);
  TreeWalk walk(settings, form, walk_rules, disk, source, composer, report);
  if (walk_rules.Sizes) walk.OnComplete(AddUpSizes);
  composer.Attach(walk);
  walk.Run(place.Folder);
  WalkFolder& top = walk.Top();
  if (top.Run == nullptr) {
    if (top.Status == GenerateStatus::kWritten) {
      reason = top.Failure;
      return GenerateStatus::kCannotReadFolder;
    }
    reason = top.Reason;
    return top.Status;
  }
  run = std::move(*top.Run);
  return GenerateStatus::kWritten;
}

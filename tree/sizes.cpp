#include "tree/sizes.h"

#include <map>
#include <string>

#include "listing/entry.h"
#include "listing/ordering.h"

namespace {

// The entry of the sub-folder in its parent's folder list: the sub-folders
// follow the parent entry, in the order of the parent's children, until the
// complete parent is put in the order of the totals.
FileInfoX* EntryOf(WalkFolder& parent, const WalkFolder& child) {
  std::deque<FileInfoX>& folders = parent.Run->Listing.FolderList;
  const size_t at = child.Index + (!folders.empty() && IsParentEntry(folders.front()) ? 1 : 0);
  if (at >= folders.size() || folders[at].Find.cFileName != child.Name) return nullptr;
  return &folders[at];
}

}  // namespace

void AddUpSizes(WalkFolder& folder) {
  WalkFolder* parent = folder.Parent;
  if (parent == nullptr) return;
  SubtreeTotals& totals = parent->Sizes;
  if (!folder.WasListed) {
    totals.Incomplete = true;
    return;
  }
  totals.Bytes += folder.Sizes.Bytes;
  totals.Files += folder.Sizes.Files;
  totals.Folders += folder.Sizes.Folders;
  totals.Incomplete = totals.Incomplete || folder.Sizes.Incomplete;
  // A file with several names met in two sub-folders counts once above both.
  for (const auto& [identity, size] : folder.SharedFiles) {
    if (parent->SharedFiles.emplace(identity, size).second) continue;
    totals.Bytes -= size;
    --totals.Files;
  }
  folder.SharedFiles.clear();
}

void ShowTotals(WalkFolder& parent, const WalkFolder& child) {
  if (parent.Run == nullptr || !child.WasListed) return;
  if (FileInfoX* entry = EntryOf(parent, child)) {
    entry->Find.nFileSizeHigh = static_cast<uint32_t>(child.Sizes.Bytes >> 32);
    entry->Find.nFileSizeLow = static_cast<uint32_t>(child.Sizes.Bytes);
    parent.Run->Subtrees[child.Name] = child.Sizes;
  }
}

void ShowAllTotals(WalkFolder& folder) {
  for (const WalkChild& child : folder.Children) {
    if (child.State == ChildState::kEntered && child.Node != nullptr) ShowTotals(folder, *child.Node);
  }
}

void OrderByTotals(const CommonStruct& settings, WalkFolder& folder) {
  if (folder.Run == nullptr || settings.SortBy != kSortBySize) return;
  std::deque<FileInfoX>& folders = folder.Run->Listing.FolderList;
  const bool parent_first = !folders.empty() && IsParentEntry(folders.front());
  std::deque<FileInfoX> sub(folders.begin() + (parent_first ? 1 : 0), folders.end());
  SortEntries(sub, settings.SortBy, settings.IgnoreCase, settings.NaturalOrder);
  folders.erase(folders.begin() + (parent_first ? 1 : 0), folders.end());
  folders.insert(folders.end(), sub.begin(), sub.end());
  // The children follow their entries, which the writers pair by place.
  std::map<std::string, WalkChild> by_name;
  for (WalkChild& child : folder.Children) by_name.emplace(child.Name, std::move(child));
  folder.Children.clear();
  for (const FileInfoX& entry : sub) {
    auto found = by_name.find(entry.Find.cFileName);
    if (found == by_name.end()) continue;
    folder.Children.push_back(std::move(found->second));
    by_name.erase(found);
  }
  for (auto& [name, child] : by_name) folder.Children.push_back(std::move(child));
}

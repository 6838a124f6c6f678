#include "tree/compare.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/folder_check.h"
#include "output/forms.h"

namespace {

// Where an entry of either side sits, for pairing moves.
struct Loose {
  size_t Change = 0;  // its removal or addition among the changes
  const CompactEntry* Entry = nullptr;
  size_t Index = 0;  // in its side's Entries
};

class Comparison {
 public:
  Comparison(const CompactListing& old_side, const CompactListing& new_side, char separator)
      : old_(old_side), new_(new_side), separator_(separator) {
    outcome_.TimePrecision = std::max<uint64_t>({old_.TimePrecision, new_.TimePrecision, 1});
    outcome_.SizesKnown = old_.SizesKnown && new_.SizesKnown;
    outcome_.Separator = separator;
    for (size_t at = 0; at < old_.Algorithms.size() && !outcome_.Algorithm; ++at) {
      const auto found = std::find(new_.Algorithms.begin(), new_.Algorithms.end(), old_.Algorithms[at]);
      if (found == new_.Algorithms.end()) continue;
      outcome_.Algorithm = old_.Algorithms[at];
      old_digest_ = at;
      new_digest_ = static_cast<size_t>(found - new_.Algorithms.begin());
    }
  }

  CompareOutcome Run() {
    if (!old_.Folders.empty() && !new_.Folders.empty()) {
      std::string path;
      CompareFolders(0, 0, path);
    }
    PairMoves();
    Collect();
    return std::move(outcome_);
  }

 private:
  CompareValues ValuesOf(const CompactListing& side, const CompactEntry& entry, size_t digest) const {
    CompareValues values;
    values.Kind = entry.Kind;
    values.Size = entry.Size;
    values.Time = entry.Time;
    if (outcome_.Algorithm) values.Digest = std::string(side.DigestOf(entry, digest));
    return values;
  }
  CompareValues OldValues(const CompactEntry& entry) const { return ValuesOf(old_, entry, old_digest_); }
  CompareValues NewValues(const CompactEntry& entry) const { return ValuesOf(new_, entry, new_digest_); }

  std::string EntryPath(const std::string& folder, std::string_view name, bool is_folder) const {
    std::string path = folder;
    path.append(name.data(), name.size());
    if (is_folder) path += separator_;
    return path;
  }

  bool SameTime(uint64_t a, uint64_t b) const {
    if (a == 0 || b == 0) return true;
    return a / outcome_.TimePrecision == b / outcome_.TimePrecision;
  }

  uint8_t Differences(const CompareValues& a, const CompareValues& b) const {
    uint8_t what = 0;
    if (a.Kind != b.Kind) return kCompareKind;
    if (a.Kind != CompactKind::kFolder && outcome_.SizesKnown && a.Size != b.Size) what |= kCompareSize;
    if (!SameTime(a.Time, b.Time)) what |= kCompareTime;
    if (!a.Digest.empty() && !b.Digest.empty() && a.Digest != b.Digest) what |= kCompareContent;
    return what;
  }

  void CompareFolders(uint32_t old_folder, uint32_t new_folder, std::string& path) {
    const CompactFolder& a = old_.Folders[old_folder];
    const CompactFolder& b = new_.Folders[new_folder];
    AddDelta(path, &a, &b);
    if (a.Failed || b.Failed) return;
    const CompactEntry* old_at = old_.Entries.data() + a.First;
    const CompactEntry* old_end = old_at + a.Count;
    const CompactEntry* new_at = new_.Entries.data() + b.First;
    const CompactEntry* new_end = new_at + b.Count;
    while (old_at != old_end || new_at != new_end) {
      const int order = old_at == old_end   ? 1
                        : new_at == new_end ? -1
                                            : old_.NameOf(*old_at).compare(new_.NameOf(*new_at));
      if (order < 0) {
        OneSide(old_, *old_at++, CompareMark::kRemoved, path);
      } else if (order > 0) {
        OneSide(new_, *new_at++, CompareMark::kAdded, path);
      } else {
        BothSides(*old_at++, *new_at++, path);
      }
    }
  }

  void BothSides(const CompactEntry& a, const CompactEntry& b, std::string& folder) {
    CompareChange change;
    change.Old = OldValues(a);
    change.New = NewValues(b);
    change.What = Differences(change.Old, change.New);
    change.Path = EntryPath(folder, old_.NameOf(a), b.Kind == CompactKind::kFolder);
    const std::string path = change.Path;
    if (change.What != 0) outcome_.Changes.push_back(std::move(change));
    const bool old_listed = a.Sub != kNoCompactIndex;
    const bool new_listed = b.Sub != kNoCompactIndex;
    if (a.Kind == b.Kind) {
      if (old_listed && new_listed) {
        std::string below = EntryPath(folder, old_.NameOf(a), true);
        CompareFolders(a.Sub, b.Sub, below);
      }
      return;
    }
    std::string below = EntryPath(folder, old_.NameOf(a), true);
    if (old_listed) AllOf(old_, a.Sub, CompareMark::kRemoved, below);
    if (new_listed) AllOf(new_, b.Sub, CompareMark::kAdded, below);
  }

  void OneSide(const CompactListing& side, const CompactEntry& entry, CompareMark mark,
               const std::string& folder) {
    const bool removed = mark == CompareMark::kRemoved;
    CompareChange change;
    change.Mark = mark;
    (removed ? change.Old : change.New) = removed ? OldValues(entry) : NewValues(entry);
    change.Path = EntryPath(folder, side.NameOf(entry), entry.Kind == CompactKind::kFolder);
    if (entry.Kind == CompactKind::kFile) {
      const size_t index = static_cast<size_t>(&entry - side.Entries.data());
      (removed ? removed_ : added_).push_back({outcome_.Changes.size(), &entry, index});
    }
    std::string below = change.Path;
    outcome_.Changes.push_back(std::move(change));
    if (entry.Sub != kNoCompactIndex) AllOf(side, entry.Sub, mark, below);
  }

  // Every entry below a folder that one side alone has.
  void AllOf(const CompactListing& side, uint32_t folder, CompareMark mark, const std::string& path) {
    const CompactFolder& listed = side.Folders[folder];
    AddDelta(path, mark == CompareMark::kRemoved ? &listed : nullptr,
             mark == CompareMark::kAdded ? &listed : nullptr);
    if (listed.Failed) return;
    for (uint32_t at = listed.First; at < listed.First + listed.Count; ++at)
      OneSide(side, side.Entries[at], mark, path);
  }

  void AddDelta(const std::string& path, const CompactFolder* a, const CompactFolder* b) {
    FolderDelta delta;
    delta.Path = path;
    delta.InOld = a != nullptr && !a->Failed;
    delta.InNew = b != nullptr && !b->Failed;
    if (delta.InOld) {
      delta.OldFiles = a->Files;
      delta.OldBytes = a->Bytes;
    }
    if (delta.InNew) {
      delta.NewFiles = b->Files;
      delta.NewBytes = b->Bytes;
    }
    if (a != nullptr && b != nullptr && (a->Failed || b->Failed)) return;
    const bool bytes_differ = outcome_.SizesKnown && delta.OldBytes != delta.NewBytes;
    if (delta.InOld != delta.InNew || delta.OldFiles != delta.NewFiles || bytes_differ)
      outcome_.Folders.push_back(std::move(delta));
  }

  // Pairs each removed file with the one added file that has its identity,
  // else its digest, where no other removed or added file has it.
  void PairMoves() {
    if (removed_.empty() || added_.empty()) return;
    if (!old_.Identities.empty() && !new_.Identities.empty()) {
      PairBy([this](const Loose& loose, bool old_side) {
        const FileIdentity& identity = (old_side ? old_.Identities : new_.Identities)[loose.Index];
        if (identity == FileIdentity()) return std::string();
        return std::to_string(identity.Device) + ":" + std::to_string(identity.Index);
      });
    }
    if (outcome_.Algorithm) {
      PairBy([this](const Loose& loose, bool old_side) {
        if (loose.Entry->Size == 0) return std::string();
        const CompareChange& change = outcome_.Changes[loose.Change];
        return (old_side ? change.Old : change.New).Digest;
      });
    }
  }

  template <typename KeyOf>
  void PairBy(const KeyOf& key_of) {
    struct Seen {
      size_t Old = 0, New = 0;
      size_t OldCount = 0, NewCount = 0;
    };
    std::unordered_map<std::string, Seen> seen;
    for (size_t at = 0; at < removed_.size(); ++at) {
      if (paired_.count(removed_[at].Change) != 0) continue;
      const std::string key = key_of(removed_[at], true);
      if (key.empty()) continue;
      Seen& entry = seen[key];
      entry.Old = at;
      ++entry.OldCount;
    }
    for (size_t at = 0; at < added_.size(); ++at) {
      if (paired_.count(added_[at].Change) != 0) continue;
      const std::string key = key_of(added_[at], false);
      const auto found = key.empty() ? seen.end() : seen.find(key);
      if (found == seen.end()) continue;
      found->second.New = at;
      ++found->second.NewCount;
    }
    for (const auto& [key, entry] : seen) {
      if (entry.OldCount != 1 || entry.NewCount != 1) continue;
      CompareChange& from = outcome_.Changes[removed_[entry.Old].Change];
      CompareChange& to = outcome_.Changes[added_[entry.New].Change];
      from.Mark = CompareMark::kMoved;
      from.NewPath = std::move(to.Path);
      from.New = std::move(to.New);
      from.What = Differences(from.Old, from.New);
      paired_.insert(removed_[entry.Old].Change);
      paired_.insert(added_[entry.New].Change);
      dropped_.push_back(added_[entry.New].Change);
    }
  }

  void Collect() {
    std::sort(dropped_.begin(), dropped_.end());
    std::vector<CompareChange> kept;
    kept.reserve(outcome_.Changes.size() - dropped_.size());
    size_t next = 0;
    for (size_t at = 0; at < outcome_.Changes.size(); ++at) {
      if (next < dropped_.size() && dropped_[next] == at) {
        ++next;
        continue;
      }
      kept.push_back(std::move(outcome_.Changes[at]));
    }
    const auto by_path = [](const auto& a, const auto& b) { return a.Path < b.Path; };
    std::sort(kept.begin(), kept.end(), by_path);
    std::sort(outcome_.Folders.begin(), outcome_.Folders.end(), by_path);
    CompareTotals& totals = outcome_.Totals;
    for (const CompareChange& change : kept) {
      switch (change.Mark) {
        case CompareMark::kAdded:
          ++totals.Added;
          break;
        case CompareMark::kRemoved:
          ++totals.Removed;
          break;
        case CompareMark::kChanged:
          ++totals.Changed;
          if ((change.What & kCompareKind) != 0) ++totals.KindChanged;
          break;
        case CompareMark::kMoved:
          ++totals.Moved;
          break;
      }
    }
    outcome_.Changes = std::move(kept);
  }

  const CompactListing& old_;
  const CompactListing& new_;
  const char separator_;
  size_t old_digest_ = 0;
  size_t new_digest_ = 0;
  std::vector<Loose> removed_;
  std::vector<Loose> added_;
  std::unordered_set<size_t> paired_;
  std::vector<size_t> dropped_;
  CompareOutcome outcome_;
};

// Fills a compact listing as the walk lists each folder, on any thread.
class SideConsumer : public WalkConsumer {
 public:
  SideConsumer(CompactListing& listing, bool checksums) : builder_(listing), checksums_(checksums) {}

  bool ScanOnly(const WalkFolder&) const override { return !checksums_; }
  void Place(WalkFolder&, ListingPlace&) override {}

  void Listed(WalkFolder& folder, OpenFolder*) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t at = NumberOf(folder);
    if (folder.Run == nullptr) {
      builder_.MarkFailed(at);
      failed_ = true;
      return;
    }
    const DirFileStruct& listing = folder.Run->Listing;
    if (!listing.Values.ChecksumFailures.empty()) failed_ = true;
    for (const auto* list : {&listing.FolderList, &listing.FileList}) {
      for (const FileInfoX& entry : *list) {
        if (IsParentEntry(entry) || entry.Find.cFileName == ".") continue;
        CompactRecord record;
        record.Kind = CompactKindOf(entry.Find.dwFileAttributes);
        record.Size = EntrySize(entry);
        record.Time = entry.Find.ftLastWriteTime;
        record.Identity = &entry.Find.Identity;
        record.Digests = ChecksumsOf(entry, listing.Values);
        builder_.AddEntry(at, entry.Find.cFileName, record);
      }
    }
  }

  void Complete(WalkFolder& folder) override {
    std::lock_guard<std::mutex> lock(mutex_);
    numbers_.erase(&folder);
  }

  void Finish() { builder_.Finish(); }
  bool Failed() const { return failed_; }

 private:
  // The folder's number, given where it has none yet: a folder that waits
  // for links to be decided (--follow) is told of after its sub-folders.
  uint32_t NumberOf(const WalkFolder& folder) {
    const auto found = numbers_.find(&folder);
    if (found != numbers_.end()) return found->second;
    const uint32_t at = folder.Parent == nullptr ? builder_.AddTop()
                                                 : builder_.AddFolder(NumberOf(*folder.Parent), folder.Name);
    numbers_[&folder] = at;
    return at;
  }

  CompactBuilder builder_;
  bool checksums_;
  std::mutex mutex_;
  std::unordered_map<const WalkFolder*, uint32_t> numbers_;
  bool failed_ = false;
};

}  // namespace

CompareOutcome CompareListings(const CompactListing& old_side, const CompactListing& new_side,
                               char separator) {
  return Comparison(old_side, new_side, separator).Run();
}

FolderSideResult ReadFolderSide(const CommonStruct& settings, const WalkRules& rules, TreeDisk& disk,
                                FolderSource& source, const WalkReport& report, CompactListing& listing) {
  listing = CompactListing();
  listing.Algorithms = rules.Checksums;
  SideConsumer consumer(listing, !rules.Checksums.empty());
  TreeWalk walk(settings, FormOf(FormCode::kJson), rules, disk, source, consumer, report);
  walk.Run(settings.DirStr);
  FolderSideResult result;
  const WalkFolder& top = walk.Top();
  if (!top.WasListed) {
    result.TopFailure = ListingFailureText(settings.DirStr, top.Failure);
    return result;
  }
  consumer.Finish();
  result.Read = !consumer.Failed() && walk.Counts().Failed == 0;
  return result;
}

#include "tree/verify.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "listing/checksums.h"
#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/catalog_data.h"
#include "output/forms.h"

namespace {

const char* KindWord(uint32_t attributes) {
  if (IsLink(attributes)) return "link";
  return IsFolder(attributes) ? "folder" : "file";
}

uint64_t SizeOf(const FolderRecord& record) {
  return (static_cast<uint64_t>(record.nFileSizeHigh) << 32) | record.nFileSizeLow;
}

std::string TimeText(uint64_t file_time) {
  std::string text;
  AppendIsoTime(text, file_time, IsoTime::kMachine);
  return text;
}

// A file whose content is to be read, with what the listing says of it.
struct Candidate {
  std::string Name;
  std::string Path;
  uint64_t Size = 0;
  std::vector<DigestAlgorithm> Algorithms;
  std::vector<std::string> Listed;  // the digests, one per algorithm
  std::vector<VerifyChange> Changes;
};

class VerifyConsumer : public WalkConsumer {
 public:
  VerifyConsumer(const ListingModel& model, const ListingShape& shape, TreeDisk& disk, ChecksumPool& pool)
      : model_(model), shape_(shape), disk_(disk), pool_(pool) {}

  bool ScanOnly(const WalkFolder&) const override { return true; }
  void Place(WalkFolder&, ListingPlace&) override {}

  void Listed(WalkFolder& folder, OpenFolder* open) override {
    const std::vector<std::string> names = NamesBelowTop(folder);
    const size_t at = ModelFolderAt(names);
    if (!IsCompared(at)) return;
    const std::string path = PathText(names, true);
    if (folder.Run == nullptr) {
      if (folder.Parent != nullptr) Add({path, VerifyState::kUnreadable, {}, folder.Failure});
      return;
    }
    std::unique_ptr<OpenFolder> reopened;
    if (open == nullptr) {
      std::string reason;
      reopened = disk_.Open(PathOf(folder), reason);
      open = reopened.get();
    }
    Compare(folder.Run->Listing, open, names, at);
  }

  VerifyOutcome Outcome() {
    std::sort(outcome_.Differences.begin(), outcome_.Differences.end(),
              [](const VerifyDifference& a, const VerifyDifference& b) { return a.Path < b.Path; });
    return std::move(outcome_);
  }

 private:
  static std::vector<std::string> NamesBelowTop(const WalkFolder& folder) {
    std::vector<std::string> names;
    for (const WalkFolder* at = &folder; at->Parent != nullptr; at = at->Parent) names.push_back(at->Name);
    std::reverse(names.begin(), names.end());
    return names;
  }

  size_t ModelFolderAt(const std::vector<std::string>& names) const {
    size_t at = 0;
    for (const std::string& name : names) {
      const auto found = model_.Folders[at].SubFolders.find(name);
      if (found == model_.Folders[at].SubFolders.end()) return kNone;
      at = found->second;
    }
    return at;
  }

  // A folder's entries are compared where the listing tells what it held:
  // a folder it listed, or any folder of a listing of files alone.
  bool IsCompared(size_t at) const {
    if (shape_.FilesOnly) return true;
    return at != kNone && !model_.Folders[at].Failed;
  }

  static std::string PathText(const std::vector<std::string>& names, bool folder) {
    std::string path;
    for (const std::string& name : names) {
      if (!path.empty()) path += FolderSeparator();
      path += name;
    }
    if (folder && !path.empty()) path += FolderSeparator();
    return path;
  }

  static std::string EntryPath(std::vector<std::string> names, const std::string& name, bool folder) {
    names.push_back(name);
    return PathText(names, folder);
  }

  void Add(VerifyDifference difference) {
    std::lock_guard<std::mutex> lock(mutex_);
    VerifyTotals& totals = outcome_.Totals;
    switch (difference.State) {
      case VerifyState::kChanged:
        ++totals.Changed;
        break;
      case VerifyState::kMissing:
        ++totals.Missing;
        break;
      case VerifyState::kNew:
        ++totals.New;
        break;
      case VerifyState::kUnreadable:
        ++totals.Unreadable;
        break;
    }
    outcome_.Differences.push_back(std::move(difference));
  }

  void CountFiles(uint64_t files) {
    std::lock_guard<std::mutex> lock(mutex_);
    outcome_.Totals.Files += files;
  }

  // A name that the walk did not list but the folder has was left out by
  // the rules: it is no part of the comparison.
  static bool LeftOut(OpenFolder* open, const std::string& name) {
    return open != nullptr && open->Look(name) != NodeKind::kMissing;
  }

  void Compare(const DirFileStruct& listing, OpenFolder* open, const std::vector<std::string>& names,
               size_t at) {
    std::unordered_map<std::string, const FolderRecord*> found;
    for (const auto* list : {&listing.FolderList, &listing.FileList}) {
      for (const FileInfoX& entry : *list) {
        if (entry.Find.cFileName != "." && entry.Find.cFileName != "..")
          found.emplace(entry.Find.cFileName, &entry.Find);
      }
    }
    static const ModelFolder kEmpty;
    const ModelFolder& listed = at == kNone ? kEmpty : model_.Folders[at];
    std::vector<Candidate> candidates;
    uint64_t files = 0;
    for (const FolderRecord& entry : listed.Entries) {
      if (!IsFolder(entry.dwFileAttributes)) ++files;
      const auto disk = found.find(entry.cFileName);
      if (disk == found.end()) {
        if (!LeftOut(open, entry.cFileName))
          Add({EntryPath(names, entry.cFileName, IsFolder(entry.dwFileAttributes)),
               VerifyState::kMissing,
               {},
               {}});
        continue;
      }
      CompareEntry(listed, entry, *disk->second, names, candidates);
      found.erase(disk);
    }
    if (shape_.FilesOnly) files += MissingFolders(listed, found, open, names);
    CountFiles(files);
    for (const auto& [name, record] : found) {
      if (shape_.FilesOnly && (IsFolder(record->dwFileAttributes) || IsLink(record->dwFileAttributes)))
        continue;
      Add({EntryPath(names, name, IsFolder(record->dwFileAttributes)), VerifyState::kNew, {}, {}});
    }
    ReadContents(candidates, open);
  }

  void CompareEntry(const ModelFolder& listed, const FolderRecord& entry, const FolderRecord& disk,
                    const std::vector<std::string>& names, std::vector<Candidate>& candidates) {
    const std::string path = EntryPath(names, entry.cFileName, IsFolder(disk.dwFileAttributes));
    const char* listed_kind = KindWord(entry.dwFileAttributes);
    const char* found_kind = KindWord(disk.dwFileAttributes);
    if (std::string(listed_kind) != found_kind) {
      Add({path, VerifyState::kChanged, {{"kind", listed_kind, found_kind}}, {}});
      return;
    }
    if (IsFolder(entry.dwFileAttributes) || IsLink(entry.dwFileAttributes)) return;
    Candidate file;
    file.Name = entry.cFileName;
    file.Path = path;
    file.Size = SizeOf(disk);
    const bool size_changed = model_.SizesKnown && SizeOf(entry) != SizeOf(disk);
    if (size_changed)
      file.Changes.push_back({"size", std::to_string(SizeOf(entry)), std::to_string(SizeOf(disk))});
    if (entry.ftLastWriteTime != 0 && UnixSeconds(entry.ftLastWriteTime) != UnixSeconds(disk.ftLastWriteTime))
      file.Changes.push_back({"modified", TimeText(entry.ftLastWriteTime), TimeText(disk.ftLastWriteTime)});
    const auto sums = listed.Checksums.find(entry.cFileName);
    if (!size_changed && sums != listed.Checksums.end()) {
      for (size_t at = 0; at < sums->second.size() && at < model_.Algorithms.size(); ++at) {
        if (sums->second[at].empty()) continue;
        file.Algorithms.push_back(model_.Algorithms[at]);
        file.Listed.push_back(sums->second[at]);
      }
    }
    if (!file.Algorithms.empty()) {
      candidates.push_back(std::move(file));
    } else if (!file.Changes.empty()) {
      Add({path, VerifyState::kChanged, std::move(file.Changes), {}});
    }
  }

  // Of a listing of files alone: the files below the sub-folders that the
  // disk has no more, each missing; their count.
  uint64_t MissingFolders(const ModelFolder& listed,
                          const std::unordered_map<std::string, const FolderRecord*>& found, OpenFolder* open,
                          const std::vector<std::string>& names) {
    uint64_t files = 0;
    for (const auto& [name, index] : listed.SubFolders) {
      const auto disk = found.find(name);
      if (disk != found.end() ? IsFolder(disk->second->dwFileAttributes) : LeftOut(open, name)) continue;
      std::vector<std::string> below = names;
      below.push_back(name);
      files += AllMissing(model_.Folders[index], below);
    }
    return files;
  }

  uint64_t AllMissing(const ModelFolder& folder, std::vector<std::string>& names) {
    uint64_t files = 0;
    for (const FolderRecord& entry : folder.Entries) {
      ++files;
      Add({EntryPath(names, entry.cFileName, false), VerifyState::kMissing, {}, {}});
    }
    for (const auto& [name, index] : folder.SubFolders) {
      names.push_back(name);
      files += AllMissing(model_.Folders[index], names);
      names.pop_back();
    }
    return files;
  }

  // Reads the files, the largest first, each once for all its algorithms.
  void ReadContents(std::vector<Candidate>& candidates, OpenFolder* open) {
    if (candidates.empty()) return;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.Size > b.Size; });
    const ContentOpener opener = [open](const std::string& name, std::string& reason) {
      if (open == nullptr) {
        reason = "the folder cannot be opened again";
        return std::unique_ptr<ContentReader>();
      }
      return open->ReadFile(name, reason);
    };
    std::vector<FileChecksums> sums(candidates.size());
    pool_.RunAll(candidates.size(), [&](size_t index) {
      sums[index] = ChecksumFile(opener, candidates[index].Name, candidates[index].Algorithms);
    });
    for (size_t at = 0; at < candidates.size(); ++at) Judge(candidates[at], sums[at]);
  }

  void Judge(Candidate& file, const FileChecksums& sums) {
    if (!sums.Failure.empty() || sums.NoContent || sums.Digests.size() != file.Algorithms.size()) {
      const std::string reason = sums.NoContent ? "not a regular file" : sums.Failure;
      Add({file.Path, VerifyState::kUnreadable, std::move(file.Changes), reason});
      return;
    }
    for (size_t at = 0; at < file.Algorithms.size(); ++at) {
      if (sums.Digests[at] != file.Listed[at])
        file.Changes.push_back({DigestName(file.Algorithms[at]), file.Listed[at], sums.Digests[at]});
    }
    if (!file.Changes.empty()) Add({file.Path, VerifyState::kChanged, std::move(file.Changes), {}});
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);
  const ListingModel& model_;
  const ListingShape& shape_;
  TreeDisk& disk_;
  ChecksumPool& pool_;
  std::mutex mutex_;
  VerifyOutcome outcome_;
};

}  // namespace

const char* VerifyStateWord(VerifyState state) {
  switch (state) {
    case VerifyState::kChanged:
      return "changed";
    case VerifyState::kMissing:
      return "missing";
    case VerifyState::kNew:
      return "new";
    case VerifyState::kUnreadable:
      return "unreadable";
  }
  return "";
}

VerifyOutcome VerifyFolder(const CommonStruct& settings, const ListingModel& model, const ListingShape& shape,
                           const WalkRules& rules, TreeDisk& disk, FolderSource& source,
                           const WalkReport& report) {
  ChecksumPool pool(WalkThreads(rules.Threads));
  VerifyConsumer consumer(model, shape, disk, pool);
  TreeWalk walk(settings, FormOf(FormCode::kJson), rules, disk, source, consumer, report);
  walk.Run(settings.DirStr);
  VerifyOutcome outcome = consumer.Outcome();
  const WalkFolder& top = walk.Top();
  if (!top.WasListed) {
    outcome.TopFailed = true;
    outcome.TopReason = top.Failure;
  }
  return outcome;
}

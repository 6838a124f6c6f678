#include "tree/duplicates.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "listing/entry.h"
#include "output/folder_check.h"
#include "output/forms.h"

namespace {

const char kReplaced[] = "replaced by another file since it was listed";

// A reader that keeps the folder it was opened through.
class HeldReader : public ContentReader {
 public:
  HeldReader(std::unique_ptr<OpenFolder> folder, std::unique_ptr<ContentReader> reader)
      : folder_(std::move(folder)), reader_(std::move(reader)) {}
  size_t Read(char* buffer, size_t size) override { return reader_->Read(buffer, size); }
  const std::string& Failure() const override { return reader_->Failure(); }
  bool Stamp(ContentStamp& stamp) override { return reader_->Stamp(stamp); }
  bool SkipTo(uint64_t offset) override { return reader_->SkipTo(offset); }

 private:
  std::unique_ptr<OpenFolder> folder_;
  std::unique_ptr<ContentReader> reader_;
};

bool IsTold(const FileIdentity& identity) { return identity != FileIdentity(); }

// Opens the file's folder again, as the walk does (never a folder put in
// its place since), and the file in it: never through a link; a followed
// link's target in its own folder, found by the link's resolved path.
std::unique_ptr<ContentReader> OpenFound(TreeDisk& disk, const FoundFile& file, std::string& reason) {
  std::unique_ptr<OpenFolder> folder;
  std::string name = file.Name;
  if (file.ThroughLink) {
    const std::string real = disk.RealPath(file.Path);
    if (real.empty()) {
      reason = "its link leads nowhere now";
      return nullptr;
    }
    folder = disk.Open(FolderOf(real), reason);
    name = FileNameOf(real);
  } else if (file.FolderIsTop) {
    folder = disk.Open(file.Folder, reason);
    if (folder != nullptr && IsTold(file.FolderIdentity) && folder->Identity() != file.FolderIdentity) {
      reason = "replaced by another folder since it was listed";
      return nullptr;
    }
  } else {
    folder = disk.Reopen(file.Folder, file.FolderIdentity, file.FolderThroughLink, reason);
  }
  if (folder == nullptr) return nullptr;
  FileIdentity now;
  if (IsTold(file.Identity) && folder->Identify(name, now) && now != file.Identity) {
    reason = kReplaced;
    return nullptr;
  }
  std::unique_ptr<ContentReader> reader = folder->ReadFile(name, reason);
  if (reader == nullptr) return nullptr;
  return std::make_unique<HeldReader>(std::move(folder), std::move(reader));
}

// Reads exactly size bytes into buffer; false with the reason when the file
// ends before (it was cut short meanwhile) or a read fails.
bool ReadExactly(ContentReader& reader, char* buffer, size_t size, std::string& reason) {
  for (size_t done = 0; done < size;) {
    const size_t count = reader.Read(buffer + done, size - done);
    if (count == 0) {
      reason = reader.Failure().empty() ? kChangedWhileRead : reader.Failure();
      return false;
    }
    done += count;
  }
  return true;
}

// Moves the reader from offset from to offset to, reading through where it
// cannot skip.
bool SkipForward(ContentReader& reader, uint64_t from, uint64_t to, std::vector<char>& buffer,
                 std::string& reason) {
  if (reader.SkipTo(to)) return true;
  if (!reader.Failure().empty()) {
    reason = reader.Failure();
    return false;
  }
  for (uint64_t at = from; at < to;) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(buffer.size(), to - at));
    if (!ReadExactly(reader, buffer.data(), part, reason)) return false;
    at += part;
  }
  return true;
}

// The xxh128 of the file's first and last kDuplicateEndBlock bytes; false
// with the reason when it could not be read, or changed meanwhile.
bool EndsDigest(ContentReader& reader, uint64_t size, std::string& digest, std::string& reason) {
  ContentStamp before, after;
  if (!reader.Stamp(before)) {
    reason = reader.Failure();
    return false;
  }
  if (before.Size != size) {
    reason = kChangedWhileRead;
    return false;
  }
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kXxh128);
  if (digester == nullptr) {
    reason = "the system cannot compute xxh128";
    return false;
  }
  thread_local std::vector<char> buffer(kDuplicateEndBlock);
  const size_t block = static_cast<size_t>(kDuplicateEndBlock);
  if (!ReadExactly(reader, buffer.data(), block, reason)) return false;
  digester->Update(buffer.data(), block);
  if (!SkipForward(reader, block, size - block, buffer, reason)) return false;
  if (!ReadExactly(reader, buffer.data(), block, reason)) return false;
  digester->Update(buffer.data(), block);
  if (!reader.Stamp(after) || after != before) {
    reason = reader.Failure().empty() ? kChangedWhileRead : reader.Failure();
    return false;
  }
  digest = digester->Finish();
  return !digest.empty() || (reason = "the system could not finish its digest", false);
}

// The digest of the whole content, the file still of the size it was listed
// with; false with the reason.
bool WholeDigest(ContentReader& reader, uint64_t size, DigestAlgorithm algorithm, DigestCache* cache,
                 std::string& digest, std::string& reason) {
  ContentStamp now;
  if (!reader.Stamp(now)) {
    reason = reader.Failure();
    return false;
  }
  if (now.Size != size) {
    reason = kChangedWhileRead;
    return false;
  }
  FileChecksums sums = ChecksumContent(reader, {algorithm}, cache);
  if (!sums.Failure.empty()) {
    reason = std::move(sums.Failure);
    return false;
  }
  digest = std::move(sums.Digests.front());
  return true;
}

// What a stage makes of one file: its key, or why it has none. A file that
// is no regular file (a pipe, a device) has neither: it is no duplicate of
// anything, and no failure.
struct Keyed {
  std::string Key;
  std::string Failure;
};

using KeyOf =
    std::function<bool(ContentReader& reader, const FoundFile& file, std::string& key, std::string& reason)>;

Keyed KeyFile(TreeDisk& disk, const FoundFile& file, const KeyOf& key_of) {
  Keyed keyed;
  std::string reason;
  std::unique_ptr<ContentReader> reader = OpenFound(disk, file, reason);
  if (reader == nullptr) {
    if (reason != kNotRegularFileReason) keyed.Failure = reason.empty() ? "cannot be opened" : reason;
    return keyed;
  }
  if (!key_of(*reader, file, keyed.Key, reason)) keyed.Failure = reason;
  return keyed;
}

using FileSets = std::vector<std::vector<size_t>>;

// Splits each set by the key of its files, computed on the pool, largest
// files first so that they start early and the small ones go to the other
// threads around them; keeps the parts of two files or more. Sets that
// needs_keys refuses pass as they are.
FileSets Refine(const FileSets& sets, const std::vector<FoundFile>& files,
                const std::function<bool(const std::vector<size_t>&)>& needs_keys, const KeyOf& key_of,
                TreeDisk& disk, ChecksumPool& pool, std::vector<UnreadFile>& unread,
                std::map<size_t, std::string>& keys) {
  std::vector<size_t> work;
  for (const std::vector<size_t>& set : sets) {
    if (needs_keys(set)) work.insert(work.end(), set.begin(), set.end());
  }
  std::stable_sort(work.begin(), work.end(),
                   [&files](size_t a, size_t b) { return files[a].Size > files[b].Size; });
  std::vector<Keyed> keyed(work.size());
  pool.RunAll(work.size(), [&](size_t at) { keyed[at] = KeyFile(disk, files[work[at]], key_of); });
  std::map<size_t, const Keyed*> by_file;
  for (size_t at = 0; at < work.size(); ++at) by_file[work[at]] = &keyed[at];
  FileSets refined;
  for (const std::vector<size_t>& set : sets) {
    if (!needs_keys(set)) {
      refined.push_back(set);
      continue;
    }
    std::map<std::string, std::vector<size_t>> parts;
    for (size_t file : set) {
      const Keyed& result = *by_file[file];
      if (!result.Failure.empty()) unread.push_back({files[file].Path, result.Failure});
      if (!result.Failure.empty() || result.Key.empty()) continue;
      keys[file] = result.Key;
      parts[result.Key].push_back(file);
    }
    for (auto& [key, part] : parts) {
      if (part.size() > 1) refined.push_back(std::move(part));
    }
  }
  return refined;
}

// Keeps one path of each file: sorted by path, the first of an identity,
// a regular file's name before a link's.
void KeepOnePathEach(std::vector<FoundFile>& files) {
  std::sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) {
    return a.ThroughLink != b.ThroughLink ? b.ThroughLink : a.Path < b.Path;
  });
  std::set<FileIdentity> identities;
  std::set<std::string> paths;
  std::vector<FoundFile> kept;
  for (FoundFile& file : files) {
    if (IsTold(file.Identity) ? !identities.insert(file.Identity).second : !paths.insert(file.Path).second)
      continue;
    kept.push_back(std::move(file));
  }
  std::sort(kept.begin(), kept.end(), [](const FoundFile& a, const FoundFile& b) { return a.Path < b.Path; });
  files = std::move(kept);
}

FileSets BySize(const std::vector<FoundFile>& files, bool include_empty) {
  std::map<uint64_t, std::vector<size_t>> sizes;
  for (size_t at = 0; at < files.size(); ++at) {
    if (files[at].Size > 0 || include_empty) sizes[files[at].Size].push_back(at);
  }
  FileSets sets;
  for (auto& [size, set] : sizes) {
    if (set.size() > 1) sets.push_back(std::move(set));
  }
  return sets;
}

void OrderGroups(std::vector<DuplicateGroup>& groups) {
  std::sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
    if (a.Wasted() != b.Wasted()) return a.Wasted() > b.Wasted();
    if (a.Files.front() != b.Files.front()) return a.Files.front() < b.Files.front();
    return a.Size > b.Size;  // empty files, which waste nothing, after
  });
}

// Collects the files of each listed folder; the listings go once read.
class FileCollector : public WalkConsumer {
 public:
  FileCollector(const DuplicateRules& rules, FoundFiles& found) : rules_(rules), found_(found) {}
  void Attach(TreeWalk& walk) { walk_ = &walk; }

  bool ScanOnly(const WalkFolder&) const override { return true; }
  void Place(WalkFolder&, ListingPlace&) override {}
  void Listed(WalkFolder& folder, OpenFolder*) override {
    if (folder.Run == nullptr) return;
    std::vector<FoundFile> files;
    const std::string path = PathOf(folder);
    for (const FileInfoX& entry : folder.Run->Listing.FileList) {
      const bool link = IsLink(entry.Find.dwFileAttributes);
      if (link && (!rules_.Follow || entry.Find.BrokenLink)) continue;
      FoundFile file;
      file.Size = EntrySize(entry);
      if (file.Size == 0 && !rules_.IncludeEmpty) continue;
      file.Path = JoinPath(path, entry.Find.cFileName);
      file.Folder = path;
      file.FolderIdentity = folder.Identity;
      file.FolderIsTop = folder.Parent == nullptr;
      file.FolderThroughLink = folder.ThroughLink;
      file.Name = entry.Find.cFileName;
      file.Identity = entry.Find.Identity;
      file.ThroughLink = link;
      files.push_back(std::move(file));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (FoundFile& file : files) found_.Files.push_back(std::move(file));
  }
  void Complete(WalkFolder& folder) override { walk_->Release(folder); }

 private:
  const DuplicateRules& rules_;
  FoundFiles& found_;
  std::mutex mutex_;
  TreeWalk* walk_ = nullptr;
};

}  // namespace

DuplicateFindings GroupDuplicates(std::vector<FoundFile> files, const DuplicateRules& rules, TreeDisk& disk,
                                  ChecksumPool& pool) {
  KeepOnePathEach(files);
  DuplicateFindings findings;
  std::map<size_t, std::string> ends, digests;
  const FileSets alike_in_size = BySize(files, rules.IncludeEmpty);
  const FileSets alike_at_ends = Refine(
      alike_in_size, files,
      [&files](const std::vector<size_t>& set) { return files[set.front()].Size > 2 * kDuplicateEndBlock; },
      [](ContentReader& reader, const FoundFile& file, std::string& key, std::string& reason) {
        return EndsDigest(reader, file.Size, key, reason);
      },
      disk, pool, findings.Unread, ends);
  const FileSets alike = Refine(
      alike_at_ends, files, [](const std::vector<size_t>&) { return true; },
      [&rules, &pool](ContentReader& reader, const FoundFile& file, std::string& key, std::string& reason) {
        return WholeDigest(reader, file.Size, rules.Algorithm, pool.Cache(), key, reason);
      },
      disk, pool, findings.Unread, digests);
  for (const std::vector<size_t>& set : alike) {
    DuplicateGroup group;
    group.Size = files[set.front()].Size;
    group.Digest = digests[set.front()];
    for (size_t file : set) group.Files.push_back(files[file].Path);
    std::sort(group.Files.begin(), group.Files.end());
    findings.Groups.push_back(std::move(group));
  }
  OrderGroups(findings.Groups);
  std::sort(findings.Unread.begin(), findings.Unread.end(),
            [](const UnreadFile& a, const UnreadFile& b) { return a.Path < b.Path; });
  return findings;
}

FoundFiles FindFiles(const CommonStruct& settings, const std::vector<std::string>& tops,
                     const std::function<WalkRules(const std::string& top)>& rules_of,
                     const DuplicateRules& rules, TreeDisk& disk, FolderSource& source,
                     const WalkReport& report) {
  FoundFiles found;
  for (const std::string& top : tops) {
    const WalkRules walk_rules = rules_of(top);
    FileCollector collector(rules, found);
    TreeWalk walk(settings, FormOf(FormCode::kNames), walk_rules, disk, source, collector, report);
    collector.Attach(walk);
    walk.Run(top);
    const WalkCounts counts = walk.Counts();
    if (!walk.Top().WasListed) {
      const std::string reason =
          walk.Top().Failure.empty() ? TextTooLongMessage(walk.Top().Reason) : walk.Top().Failure;
      found.TopFailures.push_back(ListingFailureText(top, reason));
      found.FailedFolders += counts.Failed - 1;
    } else {
      found.FailedFolders += counts.Failed;
    }
  }
  return found;
}

DuplicateTotals TotalsOf(const std::vector<DuplicateGroup>& groups) {
  DuplicateTotals totals;
  for (const DuplicateGroup& group : groups) {
    ++totals.Groups;
    totals.Files += group.Files.size();
    totals.WastedBytes += group.Wasted();
  }
  return totals;
}

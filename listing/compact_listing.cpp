#include "listing/compact_listing.h"

#include <algorithm>
#include <numeric>

#include "listing/entry.h"

CompactKind CompactKindOf(uint32_t attributes) {
  if (IsLink(attributes)) return CompactKind::kLink;
  return IsFolder(attributes) ? CompactKind::kFolder : CompactKind::kFile;
}

const char* CompactKindWord(CompactKind kind) {
  switch (kind) {
    case CompactKind::kFile:
      return "file";
    case CompactKind::kFolder:
      return "folder";
    case CompactKind::kLink:
      return "link";
  }
  return "";
}

std::string_view CompactListing::DigestOf(const CompactEntry& entry, size_t algorithm) const {
  if (entry.DigestAt == kNoCompactIndex || algorithm >= Algorithms.size() || algorithm >= Digests.size())
    return {};
  const size_t length = DigestTextLength(Algorithms[algorithm]);
  const size_t at = static_cast<size_t>(entry.DigestAt) * length;
  if (at + length > Digests[algorithm].size()) return {};
  const std::string_view digest(Digests[algorithm].data() + at, length);
  return digest.front() == '\0' ? std::string_view() : digest;
}

std::string CompactListing::PathOf(uint32_t folder, char separator) const {
  std::vector<std::string_view> names;
  for (uint32_t at = folder; Folders[at].Parent != kNoCompactIndex; at = Folders[at].Parent)
    names.push_back(NameOf(Folders[at]));
  std::string path;
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    if (!path.empty()) path += separator;
    path.append(name->data(), name->size());
  }
  return path;
}

uint64_t CompactBuilder::AddName(std::string_view name) {
  const uint64_t at = listing_.Names.size();
  listing_.Names.append(name.data(), name.size());
  return at;
}

uint32_t CompactBuilder::AddTop() {
  listing_.Folders.emplace_back();
  return 0;
}

void CompactBuilder::NameFolder(uint32_t folder, std::string_view name) {
  listing_.Folders[folder].NameAt = AddName(name);
  listing_.Folders[folder].NameLength = static_cast<uint32_t>(name.size());
}

uint32_t CompactBuilder::AddFolder(uint32_t parent, std::string_view name) {
  CompactFolder folder;
  folder.Parent = parent;
  folder.NameAt = AddName(name);
  folder.NameLength = static_cast<uint32_t>(name.size());
  listing_.Folders.push_back(folder);
  return static_cast<uint32_t>(listing_.Folders.size() - 1);
}

void CompactBuilder::AddEntry(uint32_t folder, std::string_view name, const CompactRecord& record) {
  CompactEntry entry;
  entry.Kind = record.Kind;
  entry.Size = record.Size;
  entry.Time = record.Time;
  entry.Folder = folder;
  entry.NameAt = AddName(name);
  entry.NameLength = static_cast<uint32_t>(name.size());
  const std::vector<std::string>* digests = record.Digests;
  if (digests != nullptr && std::any_of(digests->begin(), digests->end(),
                                        [](const std::string& digest) { return !digest.empty(); })) {
    entry.DigestAt = listing_.DigestBlocks++;
    listing_.Digests.resize(listing_.Algorithms.size());
    for (size_t at = 0; at < listing_.Algorithms.size(); ++at) {
      const size_t length = DigestTextLength(listing_.Algorithms[at]);
      const bool given = at < digests->size() && (*digests)[at].size() == length;
      std::string& block = listing_.Digests[at];
      block.resize(static_cast<size_t>(entry.DigestAt) * length, '\0');
      block.append(given ? (*digests)[at] : std::string(length, '\0'));
    }
  }
  if (record.Identity != nullptr) {
    listing_.Identities.resize(listing_.Entries.size());
    listing_.Identities.push_back(*record.Identity);
  }
  listing_.Entries.push_back(entry);
}

namespace {

// Puts each entry where the order says, in place (a second table of a
// million entries would cost as much again), by following each cycle of
// the order; the order is spent.
void Permute(std::vector<uint32_t>& order, std::vector<CompactEntry>& entries,
             std::vector<FileIdentity>& identities) {
  for (uint32_t start = 0; start < order.size(); ++start) {
    if (order[start] == kNoCompactIndex) continue;
    const CompactEntry first = entries[start];
    const FileIdentity first_identity = identities.empty() ? FileIdentity() : identities[start];
    uint32_t at = start;
    for (uint32_t from = order[at]; from != start; at = from, from = order[at]) {
      entries[at] = entries[from];
      if (!identities.empty()) identities[at] = identities[from];
      order[at] = kNoCompactIndex;
    }
    entries[at] = first;
    if (!identities.empty()) identities[at] = first_identity;
    order[at] = kNoCompactIndex;
  }
}

}  // namespace

void CompactBuilder::SortEntries() {
  std::vector<CompactEntry>& entries = listing_.Entries;
  std::vector<FileIdentity>& identities = listing_.Identities;
  if (!identities.empty()) identities.resize(entries.size());
  // By folder in one pass (each folder's place from the counts before it),
  // then each folder's entries by name.
  std::vector<CompactFolder>& folders = listing_.Folders;
  for (CompactFolder& folder : folders) folder.Count = 0;
  for (const CompactEntry& entry : entries) ++folders[entry.Folder].Count;
  uint32_t first = 0;
  for (CompactFolder& folder : folders) {
    folder.First = first;
    first += folder.Count;
  }
  std::vector<uint32_t> order(entries.size());
  std::vector<uint32_t> next(folders.size());
  for (size_t at = 0; at < folders.size(); ++at) next[at] = folders[at].First;
  for (uint32_t at = 0; at < entries.size(); ++at) order[next[entries[at].Folder]++] = at;
  const auto by_name = [this, &entries](uint32_t a, uint32_t b) {
    return listing_.NameOf(entries[a]) < listing_.NameOf(entries[b]);
  };
  bool moved = false;
  for (const CompactFolder& folder : folders) {
    const auto begin = order.begin() + folder.First;
    const auto end = begin + folder.Count;
    if (!std::is_sorted(begin, end, by_name)) std::sort(begin, end, by_name);
  }
  for (uint32_t at = 0; at < order.size() && !moved; ++at) moved = order[at] != at;
  if (moved) Permute(order, entries, identities);
}

// Links each listed folder to its entry in its parent; a folder that its
// parent does not list (a listing of paths alone) gets an entry there.
void CompactBuilder::LinkFolders() {
  bool added = false;
  for (uint32_t at = 1; at < listing_.Folders.size(); ++at) {
    const CompactFolder& folder = listing_.Folders[at];
    const CompactFolder& parent = listing_.Folders[folder.Parent];
    const auto first = listing_.Entries.begin() + parent.First;
    const auto last = first + parent.Count;
    const std::string_view name = listing_.NameOf(folder);
    const auto found = std::lower_bound(
        first, last, name,
        [this](const CompactEntry& entry, std::string_view key) { return listing_.NameOf(entry) < key; });
    if (found != last && listing_.NameOf(*found) == name) {
      found->Sub = at;
    } else {
      CompactRecord record;
      record.Kind = CompactKind::kFolder;
      AddEntry(folder.Parent, std::string(name), record);
      added = true;
    }
  }
  if (!added) return;
  SortEntries();
  LinkFolders();
}

void CompactBuilder::AddUpTotals() {
  for (CompactFolder& folder : listing_.Folders) folder.Files = folder.Bytes = folder.Folders = 0;
  for (const CompactEntry& entry : listing_.Entries) {
    CompactFolder& folder = listing_.Folders[entry.Folder];
    // A link counts where it leads, in the folder that lists it (followed).
    if (entry.Kind == CompactKind::kFolder) {
      ++folder.Folders;
    } else if (entry.Kind == CompactKind::kFile) {
      ++folder.Files;
      folder.Bytes += entry.Size;
    }
  }
  for (size_t at = listing_.Folders.size(); at-- > 1;) {
    const CompactFolder& folder = listing_.Folders[at];
    CompactFolder& parent = listing_.Folders[folder.Parent];
    parent.Files += folder.Files;
    parent.Bytes += folder.Bytes;
    parent.Folders += folder.Folders;
  }
}

void CompactBuilder::Finish() {
  SortEntries();
  LinkFolders();
  AddUpTotals();
}

namespace {

void AddModelFolder(const ListingModel& model, size_t at, uint32_t compact, CompactBuilder& builder) {
  const ModelFolder& folder = model.Folders[at];
  if (folder.Failed) builder.MarkFailed(compact);
  for (const FolderRecord& entry : folder.Entries) {
    CompactRecord record;
    record.Kind = CompactKindOf(entry.dwFileAttributes);
    record.Size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    record.Time = entry.ftLastWriteTime;
    const auto sums = folder.Checksums.find(entry.cFileName);
    if (sums != folder.Checksums.end()) record.Digests = &sums->second;
    builder.AddEntry(compact, entry.cFileName, record);
  }
  for (const auto& [name, below] : folder.SubFolders)
    AddModelFolder(model, below, builder.AddFolder(compact, name), builder);
}

}  // namespace

void CompactListingOf(const ListingModel& model, CompactListing& listing) {
  listing = CompactListing();
  listing.Algorithms = model.Algorithms;
  listing.TimePrecision = model.TimePrecision;
  listing.SizesKnown = model.SizesKnown;
  CompactBuilder builder(listing);
  AddModelFolder(model, 0, builder.AddTop(), builder);
  builder.Finish();
}

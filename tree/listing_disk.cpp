#include "tree/listing_disk.h"

#include <algorithm>

#include "listing/entry.h"
#include "platform/wildcard.h"

namespace {

constexpr char kReadOnly[] = "a listing read from a file cannot be written to";
constexpr char kNotListed[] = "not listed in the listing it was read from";

FileIdentity IdentityOf(size_t number) { return {1, number + 1}; }

// A folder's own records, "." and ".." first, as a folder on disk gives them.
FolderRecord DotRecord(const FolderRecord& folder, const char* name) {
  FolderRecord record = folder;
  record.cFileName = name;
  record.dwFileAttributes = 16;
  record.nFileSizeHigh = record.nFileSizeLow = 0;
  return record;
}

class ListingFolder : public OpenFolder {
 public:
  ListingFolder(ListingDisk& disk, const ListingModel& model, size_t number, std::string path)
      : disk_(disk), model_(model), number_(number), path_(std::move(path)) {}

  const std::string& Path() const override { return path_; }
  FileIdentity Identity() const override { return IdentityOf(number_); }

  bool Enumerate(const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    const ModelFolder& folder = model_.Folders[number_];
    if (folder.Failed) {
      failure = folder.Reason;
      return false;
    }
    // ".." is the folder above, as far as the listing tells it; above the
    // top it tells nothing, and the top stands for it.
    const FolderRecord& above = number_ == 0 ? folder.Record : model_.Folders[folder.Parent].Record;
    if (MatchesMask(mask, ".")) visit(DotRecord(folder.Record, "."));
    if (MatchesMask(mask, "..")) visit(DotRecord(above, ".."));
    for (const FolderRecord& entry : folder.Entries) {
      if (!MatchesMask(mask, entry.cFileName)) continue;
      const auto sub = folder.SubFolders.find(entry.cFileName);
      if (sub == folder.SubFolders.end()) {
        visit(entry);
      } else {
        FolderRecord record = entry;
        record.Identity = IdentityOf(sub->second);
        visit(record);
      }
    }
    return true;
  }

  bool WriteTime(uint64_t& time) override {
    time = model_.Folders[number_].Record.ftLastWriteTime;
    return true;
  }
  bool SetWriteTime(uint64_t) override { return false; }

  NodeKind Look(const std::string& name) override {
    for (const FolderRecord& entry : model_.Folders[number_].Entries) {
      if (entry.cFileName != name) continue;
      if ((entry.dwFileAttributes & 1024) != 0) return NodeKind::kLink;
      return (entry.dwFileAttributes & 16) != 0 ? NodeKind::kFolder : NodeKind::kFile;
    }
    return NodeKind::kMissing;
  }

  // The listing holds no file's content (the ignore files included).
  std::unique_ptr<ContentReader> ReadFile(const std::string&, std::string& reason) override {
    reason = "a listing read from a file holds no content";
    return nullptr;
  }

  std::unique_ptr<NewFile> WriteFile(const std::string&, WriteMethod, std::string& reason) override {
    reason = kReadOnly;
    return nullptr;
  }

  std::unique_ptr<OpenFolder> OpenChild(const std::string& name, bool, std::string& reason) override {
    const ModelFolder& folder = model_.Folders[number_];
    const auto sub = folder.SubFolders.find(name);
    if (sub == folder.SubFolders.end()) {
      reason = kNotListed;
      return nullptr;
    }
    return std::make_unique<ListingFolder>(disk_, model_, sub->second, JoinPath(path_, name));
  }

  bool MakeFolder(const std::string&, FileIdentity&, std::string& reason) override {
    reason = kReadOnly;
    return false;
  }

  bool MayList(const std::string& name, std::string& reason) override {
    const ModelFolder& folder = model_.Folders[number_];
    const auto sub = folder.SubFolders.find(name);
    if (sub == folder.SubFolders.end()) {
      reason = kNotListed;
      return false;
    }
    return true;
  }

  bool Identify(const std::string& name, FileIdentity& identity) override {
    const ModelFolder& folder = model_.Folders[number_];
    const auto sub = folder.SubFolders.find(name);
    if (sub != folder.SubFolders.end()) {
      identity = IdentityOf(sub->second);
      return true;
    }
    for (const FolderRecord& entry : folder.Entries) {
      if (entry.cFileName == name) {
        identity = entry.Identity;
        return true;
      }
    }
    return false;
  }

  bool RemoveLeftover(const std::string&) override { return false; }

 private:
  ListingDisk& disk_;
  const ListingModel& model_;
  const size_t number_;
  const std::string path_;
};

}  // namespace

size_t ListingDisk::FolderAt(const std::string& path) const {
  if (model_.Folders.empty()) return kNone;
  const std::vector<std::string> top = PathParts(model_.TopPath), parts = PathParts(path);
  if (parts.size() < top.size() || !std::equal(top.begin(), top.end(), parts.begin())) return kNone;
  size_t number = 0;
  for (size_t i = top.size(); i < parts.size(); ++i) {
    const ModelFolder& folder = model_.Folders[number];
    const auto sub = folder.SubFolders.find(parts[i]);
    if (sub == folder.SubFolders.end()) return kNone;
    number = sub->second;
  }
  return number;
}

std::unique_ptr<OpenFolder> ListingDisk::Open(const std::string& path, std::string& reason) {
  const size_t number = FolderAt(path);
  if (number == kNone) {
    reason = kNotListed;
    return nullptr;
  }
  return std::make_unique<ListingFolder>(*this, model_, number, path);
}

std::unique_ptr<OpenFolder> ListingDisk::Reopen(const std::string& path, const FileIdentity&, bool,
                                                std::string& reason) {
  return Open(path, reason);
}

bool ListingDisk::Identify(const std::string& path, FileIdentity& identity) {
  const size_t number = FolderAt(path);
  if (number == kNone) return false;
  identity = IdentityOf(number);
  return true;
}

std::string ListingDisk::RealPath(const std::string& path) {
  return FolderAt(path) == kNone ? std::string() : path;
}

bool ListingDisk::MakeFolders(const std::string&, std::string& reason) {
  reason = kReadOnly;
  return false;
}

FileReadStatus ListingDisk::ReadSmallFile(const std::string&, size_t, std::string&, std::string& reason) {
  reason = kNotListed;
  return FileReadStatus::kCannotRead;
}

bool ListingDisk::Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                            std::string& failure) {
  std::string reason;
  std::unique_ptr<OpenFolder> folder = Open(FolderOf(pattern), reason);
  if (folder == nullptr) {
    failure = reason;
    return false;
  }
  return folder->Enumerate(FileNameOf(pattern), visit, failure);
}

bool ListingDisk::DescribeType(const std::string& extension, std::string& description) {
  const auto type = model_.Types.find(extension);
  if (type == model_.Types.end() || type->second.Description.empty()) return false;
  description = type->second.Description;
  return true;
}

bool ListingDisk::LookUpMimeType(const std::string& extension, std::string& mime_type) {
  const auto type = model_.Types.find(extension);
  if (type == model_.Types.end() || type->second.MimeType.empty()) return false;
  mime_type = type->second.MimeType;
  return true;
}

bool ListingDisk::KnownChecksums(const std::string& path, const std::vector<DigestAlgorithm>& algorithms,
                                 std::unordered_map<std::string, std::vector<std::string>>& checksums,
                                 std::map<std::string, std::string>& failures) {
  const size_t number = FolderAt(path);
  if (number == kNone) return true;
  std::vector<size_t> columns;
  for (DigestAlgorithm algorithm : algorithms) {
    const auto at = std::find(model_.Algorithms.begin(), model_.Algorithms.end(), algorithm);
    columns.push_back(static_cast<size_t>(at - model_.Algorithms.begin()));
  }
  const ModelFolder& folder = model_.Folders[number];
  for (const auto& [name, kept] : folder.Checksums) {
    std::vector<std::string> digests;
    for (size_t column : columns) digests.push_back(column < kept.size() ? kept[column] : std::string());
    checksums.emplace(name, std::move(digests));
  }
  failures.insert(folder.ChecksumFailures.begin(), folder.ChecksumFailures.end());
  return true;
}

bool ListingDisk::LinkTarget(const std::string& path, std::string& target) {
  const size_t number = FolderAt(FolderOf(path));
  if (number == kNone) return false;
  const ModelFolder& folder = model_.Folders[number];
  const auto link = folder.LinkTargets.find(FileNameOf(path));
  if (link == folder.LinkTargets.end()) return false;
  target = link->second;
  return true;
}

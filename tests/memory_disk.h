// A disk held in memory for the walk's tests: folders, files, links and
// pipes with exact times and identities, failures on demand, and hooks that
// change the disk at a chosen step, as another program would meanwhile.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wildcard.h"

class MemoryDisk : public TreeDisk {
 public:
  struct Node {
    NodeKind Kind = NodeKind::kFolder;
    FileIdentity Identity;
    uint64_t WriteTime = 0;
    std::string Content;  // a file's
    std::string Target;   // a link's: an absolute path of this disk
    bool Unreadable = false;
    uint32_t Names = 1;         // a file's names, each a hard link
    bool HeldByWriter = false;  // a temporary file whose writer still runs
    // A file's reads fail after this many bytes, with "Input/output error".
    size_t FailReadAfter = static_cast<size_t>(-1);
    // Called (the disk locked) after each read of the file's content, with
    // the node: another program changing the file while it is read.
    std::function<void(Node& node)> AfterRead;
    std::map<std::string, std::shared_ptr<Node>> Children;
  };

  MemoryDisk() : root_(MakeNode(NodeKind::kFolder)) {}

  // Everything below is safe from many threads, one step at a time.
  std::shared_ptr<Node> Add(const std::string& path, NodeKind kind,
                            const std::string& content = std::string()) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::shared_ptr<Node> folder = root_;
    const std::vector<std::string> parts = Parts(path);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      std::shared_ptr<Node>& next = folder->Children[parts[i]];
      if (next == nullptr) next = MakeNode(NodeKind::kFolder);
      folder = next;
    }
    auto node = MakeNode(kind);
    if (kind == NodeKind::kLink) {
      node->Target = content;
    } else {
      node->Content = content;
    }
    folder->Children[parts.back()] = node;
    folder->WriteTime = Tick();
    return node;
  }

  // Gives the node at existing one more name, as a hard link does.
  void AddName(const std::string& path, const std::string& existing) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::shared_ptr<Node> node = Resolve(existing, false, 0);
    Add(path, NodeKind::kFile);
    const std::vector<std::string> parts = Parts(path);
    Resolve(FolderPath(parts), true, 0)->Children[parts.back()] = node;
    ++node->Names;
  }

  std::shared_ptr<Node> Find(const std::string& path, bool follow_last = true) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return Resolve(path, follow_last, 0);
  }

  // Takes the node at the path away from its folder, and gives it back.
  std::shared_ptr<Node> Detach(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::vector<std::string> parts = Parts(path);
    std::shared_ptr<Node> folder = Resolve(FolderPath(parts), true, 0);
    std::shared_ptr<Node> node = folder->Children[parts.back()];
    folder->Children.erase(parts.back());
    folder->WriteTime = Tick();
    return node;
  }

  std::string FileAt(const std::string& path) {
    std::shared_ptr<Node> node = Find(path, false);
    return node != nullptr && node->Kind == NodeKind::kFile ? node->Content : std::string();
  }

  // Called after a folder's records are read, with its path.
  std::function<void(const std::string& path)> AfterEnumerate;
  // Called as a new file's bytes are handed over, before it is put in
  // place, with its folder's path.
  std::function<void(const std::string& folder)> WhileWriting;

  // The paths of the files opened for reading, in order.
  std::vector<std::string> Opened() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return opened_;
  }

  // The paths of the files put in place, in order.
  std::vector<std::string> Written() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return written_;
  }

  std::unique_ptr<OpenFolder> Open(const std::string& path, std::string& reason) override {
    return OpenAt(path, true, reason);
  }

  std::unique_ptr<OpenFolder> Reopen(const std::string& path, const FileIdentity& identity, bool follow,
                                     std::string& reason) override {
    std::unique_ptr<OpenFolder> folder = OpenAt(path, follow, reason);
    if (folder != nullptr && folder->Identity() != identity) {
      reason = "replaced by another folder since it was listed";
      return nullptr;
    }
    return folder;
  }

  bool Identify(const std::string& path, FileIdentity& identity) override {
    std::shared_ptr<Node> node = Find(path);
    if (node == nullptr) return false;
    identity = node->Identity;
    return true;
  }

  std::string RealPath(const std::string& path) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::vector<std::string> real;
    if (!RealParts(Parts(path), real, 0)) return std::string();
    // With the platform's separator, as the system's own gives it.
    std::string joined = Joined(real);
    std::replace(joined.begin(), joined.end(), '/', FolderSeparator());
    return joined;
  }

  bool MakeFolders(const std::string& path, std::string& reason) override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::shared_ptr<Node> folder = root_;
    for (const std::string& part : Parts(path)) {
      std::shared_ptr<Node>& next = folder->Children[part];
      if (next == nullptr) {
        next = MakeNode(NodeKind::kFolder);
        folder->WriteTime = Tick();
      }
      if (next->Kind != NodeKind::kFolder) {
        reason = "Not a directory";
        return false;
      }
      folder = next;
    }
    return true;
  }

  FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes,
                               std::string& reason) override {
    std::shared_ptr<Node> node = Find(path);
    if (node == nullptr) {
      reason = "No such file or directory";
      return FileReadStatus::kCannotRead;
    }
    if (node->Kind != NodeKind::kFile) return FileReadStatus::kNotRegularFile;
    if (node->Content.size() > limit) return FileReadStatus::kTooLarge;
    bytes = node->Content;
    return FileReadStatus::kRead;
  }

 private:
  // Reads the node's content as it is at each read, as a file's reader does.
  class MemoryReader : public ContentReader {
   public:
    MemoryReader(MemoryDisk& disk, std::shared_ptr<Node> node) : disk_(disk), node_(std::move(node)) {}
    size_t Read(char* buffer, size_t size) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      if (at_ >= node_->FailReadAfter) {
        failure_ = "Input/output error";
        return 0;
      }
      const size_t left = at_ < node_->Content.size() ? node_->Content.size() - at_ : 0;
      const size_t count = std::min({size, left, node_->FailReadAfter - at_});
      std::copy_n(node_->Content.data() + at_, count, buffer);
      at_ += count;
      if (node_->AfterRead) node_->AfterRead(*node_);
      return count;
    }
    const std::string& Failure() const override { return failure_; }
    bool Stamp(ContentStamp& stamp) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      stamp.Identity = node_->Identity;
      stamp.Size = node_->Content.size();
      stamp.WriteTime = stamp.ChangeTime = node_->WriteTime * 100;
      return true;
    }
    bool SkipTo(uint64_t offset) override {
      at_ = static_cast<size_t>(offset);
      return true;
    }

   private:
    MemoryDisk& disk_;
    std::shared_ptr<Node> node_;
    size_t at_ = 0;
    std::string failure_;
  };

  class MemoryNewFile : public NewFile {
   public:
    MemoryNewFile(MemoryDisk& disk, std::shared_ptr<Node> folder, std::string path, std::string name)
        : disk_(disk), folder_(std::move(folder)), path_(std::move(path)), name_(std::move(name)) {}
    bool Write(std::string_view bytes) override {
      content_.append(bytes.data(), bytes.size());
      return true;
    }
    bool WriteOut() override {
      if (disk_.WhileWriting) disk_.WhileWriting(path_);
      return true;
    }
    bool Commit() override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      auto file = disk_.MakeNode(NodeKind::kFile);
      file->Content = content_;
      folder_->Children[name_] = file;
      folder_->WriteTime = disk_.Tick();
      disk_.written_.push_back(path_ + "/" + name_);
      return true;
    }
    const std::string& FailureReason() const override { return failure_; }
    const WriteNotes& Notes() const override { return notes_; }

   private:
    MemoryDisk& disk_;
    std::shared_ptr<Node> folder_;
    std::string path_, name_, content_, failure_;
    WriteNotes notes_;
  };

  class MemoryFolder : public OpenFolder {
   public:
    MemoryFolder(MemoryDisk& disk, std::shared_ptr<Node> node, std::string path)
        : disk_(disk), node_(std::move(node)), path_(std::move(path)) {}

    const std::string& Path() const override { return path_; }
    FileIdentity Identity() const override { return node_->Identity; }

    bool Enumerate(const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                   std::string& failure) override {
      std::vector<FolderRecord> records;
      {
        std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
        if (node_->Unreadable) {
          failure = "Permission denied";
          return false;
        }
        if (MatchesMask(mask, ".")) records.push_back(Record(".", node_));
        if (MatchesMask(mask, "..")) records.push_back(Record("..", node_));
        for (const auto& [name, child] : node_->Children) {
          if (MatchesMask(mask, name)) records.push_back(Record(name, child, Joined(path_, name)));
        }
      }
      for (const FolderRecord& record : records) visit(record);
      if (disk_.AfterEnumerate) disk_.AfterEnumerate(path_);
      return true;
    }

    bool WriteTime(uint64_t& time) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      time = node_->WriteTime;
      return true;
    }
    bool SetWriteTime(uint64_t time) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      node_->WriteTime = time;
      return true;
    }
    NodeKind Look(const std::string& name) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      const auto found = node_->Children.find(name);
      return found == node_->Children.end() ? NodeKind::kMissing : found->second->Kind;
    }
    std::unique_ptr<ContentReader> ReadFile(const std::string& name, std::string& reason) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      const auto found = node_->Children.find(name);
      if (found == node_->Children.end() || found->second->Kind != NodeKind::kFile ||
          found->second->Unreadable) {
        reason = found == node_->Children.end()           ? "No such file or directory"
                 : found->second->Kind == NodeKind::kLink ? "a symbolic link"
                 : found->second->Kind != NodeKind::kFile ? kNotRegularFileReason
                                                          : "Permission denied";
        return nullptr;
      }
      disk_.opened_.push_back(Joined(path_, name));
      return std::make_unique<MemoryReader>(disk_, found->second);
    }
    std::unique_ptr<NewFile> WriteFile(const std::string& name, WriteMethod, std::string& reason) override {
      const NodeKind kind = Look(name);
      if (kind != NodeKind::kMissing && kind != NodeKind::kFile) {
        reason = kind == NodeKind::kLink ? "a symbolic link has that name" : "not a regular file";
        return nullptr;
      }
      return std::make_unique<MemoryNewFile>(disk_, node_, path_, name);
    }
    std::unique_ptr<OpenFolder> OpenChild(const std::string& name, bool follow,
                                          std::string& reason) override {
      return disk_.OpenAt(Joined(path_, name), follow, reason);
    }
    bool MakeFolder(const std::string& name, FileIdentity& identity, std::string& reason) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      std::shared_ptr<Node>& child = node_->Children[name];
      if (child == nullptr) {
        child = disk_.MakeNode(NodeKind::kFolder);
        node_->WriteTime = disk_.Tick();
      }
      if (child->Kind != NodeKind::kFolder) {
        reason = "Not a directory";
        return false;
      }
      identity = child->Identity;
      return true;
    }
    bool MayList(const std::string& name, std::string& reason) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      std::shared_ptr<Node> child = disk_.Resolve(Joined(path_, name), true, 0);
      if (child != nullptr && child->Unreadable) {
        reason = "Permission denied";
        return false;
      }
      return true;
    }
    bool Identify(const std::string& name, FileIdentity& identity) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      const auto found = node_->Children.find(name);
      if (found == node_->Children.end()) return false;
      identity = found->second->Identity;
      return true;
    }
    bool RemoveLeftover(const std::string& name) override {
      std::lock_guard<std::recursive_mutex> lock(disk_.mutex_);
      const auto found = node_->Children.find(name);
      if (!IsTemporaryFileName(name) || found == node_->Children.end() || found->second->HeldByWriter)
        return false;
      node_->Children.erase(found);
      node_->WriteTime = disk_.Tick();
      return true;
    }

   private:
    FolderRecord Record(const std::string& name, const std::shared_ptr<Node>& node,
                        const std::string& path = std::string()) {
      FolderRecord record;
      record.cFileName = name;
      std::shared_ptr<Node> target = node;
      if (node->Kind == NodeKind::kLink) {
        record.dwFileAttributes |= 1024;
        target = disk_.Resolve(path, true, 0);
        record.BrokenLink = target == nullptr;
      }
      if (target != nullptr) {
        record.Identity = target->Identity;
        record.Links = target->Names;
        record.ftLastWriteTime = target->WriteTime;
        if (target->Kind == NodeKind::kFolder) record.dwFileAttributes |= 16;
        if (target->Kind == NodeKind::kFile)
          record.nFileSizeLow = static_cast<uint32_t>(target->Content.size());
      }
      if (record.dwFileAttributes == 0) record.dwFileAttributes = 128;
      return record;
    }

    MemoryDisk& disk_;
    std::shared_ptr<Node> node_;
    std::string path_;
  };

  static std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path + "/") {
      if (c == '/' || c == '\\') {
        if (!part.empty()) parts.push_back(part);
        part.clear();
      } else {
        part += c;
      }
    }
    return parts;
  }
  static std::string Joined(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) path += "/" + part;
    return path.empty() ? "/" : path;
  }
  static std::string Joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
  }
  static std::string FolderPath(const std::vector<std::string>& parts) {
    return Joined(std::vector<std::string>(parts.begin(), parts.end() - 1));
  }

  std::shared_ptr<Node> MakeNode(NodeKind kind) {
    auto node = std::make_shared<Node>();
    node->Kind = kind;
    node->Identity.Device = 1;
    node->Identity.Index = ++numbers_;
    node->WriteTime = Tick();
    return node;
  }

  uint64_t Tick() { return ++clock_ * 10000000ULL; }

  // The node at the path, links on the way followed; the last one only with
  // follow_last. Null when there is none.
  std::shared_ptr<Node> Resolve(const std::string& path, bool follow_last, int depth) {
    if (depth > 40) return nullptr;
    std::shared_ptr<Node> node = root_;
    const std::vector<std::string> parts = Parts(path);
    for (size_t i = 0; i < parts.size(); ++i) {
      if (node->Kind != NodeKind::kFolder) return nullptr;
      const auto found = node->Children.find(parts[i]);
      if (found == node->Children.end()) return nullptr;
      node = found->second;
      if (node->Kind == NodeKind::kLink && (i + 1 < parts.size() || follow_last)) {
        std::string rest = node->Target;
        for (size_t j = i + 1; j < parts.size(); ++j) rest += "/" + parts[j];
        return Resolve(rest, follow_last, depth + 1);
      }
    }
    return node;
  }

  bool RealParts(const std::vector<std::string>& parts, std::vector<std::string>& real, int depth) {
    if (depth > 40) return false;
    std::shared_ptr<Node> node = root_;
    real.clear();
    for (size_t i = 0; i < parts.size(); ++i) {
      const auto found = node->Children.find(parts[i]);
      if (node->Kind != NodeKind::kFolder || found == node->Children.end()) return false;
      node = found->second;
      if (node->Kind == NodeKind::kLink) {
        std::vector<std::string> rest = Parts(node->Target);
        rest.insert(rest.end(), parts.begin() + static_cast<std::ptrdiff_t>(i) + 1, parts.end());
        return RealParts(rest, real, depth + 1);
      }
      real.push_back(parts[i]);
    }
    return true;
  }

  std::unique_ptr<OpenFolder> OpenAt(const std::string& path, bool follow, std::string& reason) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::shared_ptr<Node> node = Resolve(path, follow, 0);
    if (node == nullptr) {
      reason = "No such file or directory";
      return nullptr;
    }
    if (node->Kind == NodeKind::kLink) {
      reason = "a symbolic link, not a folder";
      return nullptr;
    }
    if (node->Kind != NodeKind::kFolder) {
      reason = "Not a directory";
      return nullptr;
    }
    return std::make_unique<MemoryFolder>(*this, node, path);
  }

  std::recursive_mutex mutex_;
  std::shared_ptr<Node> root_;
  uint64_t numbers_ = 0;
  uint64_t clock_ = 130000000;
  std::vector<std::string> written_;
  std::vector<std::string> opened_;
};

// A listing held in memory (a catalog read back) as the disk and the folder
// source of a walk, so that every form writes from it as from the disk. It
// is read-only: nothing can be written into it.
#pragma once

#include <memory>
#include <string>

#include "listing/model.h"
#include "platform/platform.h"

class ListingDisk : public TreeDisk, public FolderSource {
 public:
  explicit ListingDisk(const ListingModel& model) : model_(model) {}

  // TreeDisk: the folders of the model below its top's path.
  std::unique_ptr<OpenFolder> Open(const std::string& path, std::string& reason) override;
  std::unique_ptr<OpenFolder> Reopen(const std::string& path, const FileIdentity& identity, bool follow,
                                     std::string& reason) override;
  bool Identify(const std::string& path, FileIdentity& identity) override;
  std::string RealPath(const std::string& path) override;
  bool MakeFolders(const std::string& path, std::string& reason) override;
  FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes,
                               std::string& reason) override;

  // FolderSource: the same folders, and the types and link targets the
  // model keeps.
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override;
  bool DescribeType(const std::string& extension, std::string& description) override;
  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override;
  bool LinkTarget(const std::string& path, std::string& target) override;
  bool SizesKnown() override { return model_.SizesKnown; }
  // Those the model holds of its algorithms; none for another.
  bool KnownChecksums(const std::string& folder, const std::vector<DigestAlgorithm>& algorithms,
                      std::unordered_map<std::string, std::vector<std::string>>& checksums,
                      std::map<std::string, std::string>& failures) override;

  // The folder of the model at the path: its number, or none.
  static constexpr size_t kNone = static_cast<size_t>(-1);
  size_t FolderAt(const std::string& path) const;

 private:
  const ListingModel& model_;
};

// Files of the same content below folders (--duplicates), found as the
// tools of the field find them: by size first; then, among files of one
// size, by a digest of their first and last blocks; then by the digest of
// the whole content of those still alike. A file whose size no other file
// has is never opened. Kestrova only tells of the groups: it never removes
// or links a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listing/checksums.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// The bytes read at each end of a file for the first comparison. Two reads
// of 16 KiB cost a disk about what two of 4 KiB do, and the last block tells
// apart what shares a format's header (archives, images, logs grown from one
// start); a file of at most twice this size is digested whole at once.
constexpr uint64_t kDuplicateEndBlock = uint64_t{16} << 10;

// A file met by the search, as its folder's listing told it.
struct FoundFile {
  std::string Path;  // the top as given, joined with the names below it
  std::string Folder;
  FileIdentity FolderIdentity;
  bool FolderIsTop = false;
  bool FolderThroughLink = false;
  std::string Name;
  uint64_t Size = 0;
  FileIdentity Identity;     // all zero where the platform does not tell it
  bool ThroughLink = false;  // a symbolic link to a file, followed
};

// Files of one size and one digest, each file once.
struct DuplicateGroup {
  uint64_t Size = 0;
  std::string Digest;
  std::vector<std::string> Files;  // by path
  uint64_t Wasted() const { return Size * (Files.size() - 1); }
};

// A file that could not be compared: the system's reason, or that it
// changed while it was read.
struct UnreadFile {
  std::string Path;
  std::string Reason;
};

struct DuplicateRules {
  DigestAlgorithm Algorithm = DigestAlgorithm::kSha256;
  bool IncludeEmpty = false;  // empty files make a group of their own
  bool Follow = false;        // symbolic links to files count as the files they lead to
};

struct DuplicateFindings {
  // By the space they waste, the largest first; of equal waste, by the
  // first path.
  std::vector<DuplicateGroup> Groups;
  std::vector<UnreadFile> Unread;  // by path
};

// Groups the files by content, reading them through the disk on the pool.
// A file with several names (hard links, a followed link, a folder given
// twice) is one file, shown by its first path; where the platform tells no
// identity, each path is a file of its own. A file that cannot be read, or
// changes while it is read, is left out of the groups and named in Unread.
// The result does not depend on the pool's threads.
DuplicateFindings GroupDuplicates(std::vector<FoundFile> files, const DuplicateRules& rules, TreeDisk& disk,
                                  ChecksumPool& pool);

// What the walks of the tops found.
struct FoundFiles {
  std::vector<FoundFile> Files;
  std::vector<std::string> TopFailures;  // a message for each top that could not be listed
  uint64_t FailedFolders = 0;            // folders below the tops that could not be listed (reported)
};

// Walks each top in turn by its rules and collects its files (the settings'
// masks, excludes and hidden names applied): links to files only with
// Follow, empty files only with IncludeEmpty.
FoundFiles FindFiles(const CommonStruct& settings, const std::vector<std::string>& tops,
                     const std::function<WalkRules(const std::string& top)>& rules_of,
                     const DuplicateRules& rules, TreeDisk& disk, FolderSource& source,
                     const WalkReport& report);

// The total of the groups: files and the bytes that all but one of each
// group's files take.
struct DuplicateTotals {
  uint64_t Groups = 0;
  uint64_t Files = 0;
  uint64_t WastedBytes = 0;
};
DuplicateTotals TotalsOf(const std::vector<DuplicateGroup>& groups);

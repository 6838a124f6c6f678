// A folder source held in memory, so scans can be tested with any records:
// sizes above 4 GiB, every attribute bit, exact times, chosen type names.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wildcard.h"

class MemoryFolderSource : public FolderSource {
 public:
  // Records of a folder, in the order the enumeration returns them.
  std::map<std::string, std::vector<FolderRecord>> Folders;
  // Type descriptions by lower-case extension, as a registry would give them.
  std::map<std::string, std::string> Types;
  int TypeLookups = 0;
  // MIME types by lower-case extension.
  std::map<std::string, std::string> MimeTypes;
  int MimeLookups = 0;
  // Where the symbolic links point, by their paths.
  std::map<std::string, std::string> LinkTargets;
  int LinkLookups = 0;

  // Folders whose reading fails after the given number of records, with
  // the reason given.
  std::map<std::string, std::pair<size_t, std::string>> Failures;

  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    size_t separator = pattern.rfind(FolderSeparator());
    const std::string name = pattern.substr(0, separator);
    auto fails = Failures.find(name);
    auto folder = Folders.find(name);
    size_t visited = 0;
    if (folder != Folders.end()) {
      for (const FolderRecord& record : folder->second) {
        if (fails != Failures.end() && visited == fails->second.first) break;
        if (MatchesMask(pattern.substr(separator + 1), record.cFileName)) visit(record);
        ++visited;
      }
    }
    if (fails == Failures.end()) return true;
    failure = fails->second.second;
    return false;
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    ++TypeLookups;
    return Find(Types, extension, description);
  }

  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override {
    ++MimeLookups;
    return Find(MimeTypes, extension, mime_type);
  }

  bool LinkTarget(const std::string& path, std::string& target) override {
    ++LinkLookups;
    auto found = LinkTargets.find(path);
    if (found == LinkTargets.end()) return false;
    target = found->second;
    return true;
  }

 private:
  static bool Find(const std::map<std::string, std::string>& known, const std::string& extension,
                   std::string& value) {
    std::string lower;
    for (char c : extension) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    auto found = known.find(lower);
    if (found == known.end()) return false;
    value = found->second;
    return true;
  }
};

constexpr uint32_t kFolderBits = 16;

// A record with the given name, attributes and size; times follow from seed.
inline FolderRecord MakeRecord(const std::string& name, uint32_t attributes, uint64_t size = 0,
                               uint64_t seed = 0) {
  FolderRecord record;
  record.cFileName = name;
  record.dwFileAttributes = attributes;
  record.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
  record.nFileSizeLow = static_cast<uint32_t>(size);
  // 2006-03-05 14:07:09 UTC, plus seed hours.
  const uint64_t base = 127860412290000000ULL + seed * 36000000000ULL;
  record.ftLastWriteTime = base;
  record.ftCreationTime = base - 864000000000ULL;
  record.ftLastAccessTime = base + 600000000ULL;
  return record;
}

// What the system's disk for a walk does the same on every platform: the
// steps that reach a file by its path, through the functions that each
// platform gives platform.h.
#pragma once

#include <string>

#include "platform/platform.h"

// Why a folder reopened by its path is not the one that was listed.
constexpr char kFolderReplaced[] = "replaced by another folder since it was listed";

class PathTreeDisk : public TreeDisk {
 public:
  bool Identify(const std::string& path, FileIdentity& identity) override {
    return IdentifyFile(path, identity);
  }

  std::string RealPath(const std::string& path) override { return ::RealPath(path); }

  bool MakeFolders(const std::string& path, std::string& reason) override {
    return ::MakeFolders(path, reason);
  }

  FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes,
                               std::string& reason) override {
    return ::ReadSmallFile(path, limit, bytes, reason);
  }
};

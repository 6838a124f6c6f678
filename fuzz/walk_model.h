// A walk through every folder of a listing read into memory, for the fuzz
// targets of its readers: every folder reached by its name from the top,
// every record listed, as a walk of the tree would go.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tree/listing_disk.h"

inline void WalkAll(ListingDisk& disk, const std::string& path, size_t depth) {
  if (depth > 64) return;
  std::string reason;
  std::unique_ptr<OpenFolder> folder = disk.Open(path, reason);
  if (folder == nullptr) return;
  std::vector<std::string> below;
  folder->Enumerate(
      "*",
      [&](const FolderRecord& record) {
        if ((record.dwFileAttributes & 16) != 0 && record.cFileName != "." && record.cFileName != "..")
          below.push_back(record.cFileName);
      },
      reason);
  for (const std::string& name : below) {
    if (folder->MayList(name, reason)) WalkAll(disk, JoinPath(path, name), depth + 1);
  }
}

// What a reader's fuzz target asks of every read: a refusal says why, and
// an accepted model has a top and can be walked through.
inline void CheckRead(bool read, const std::string& error, const ListingModel& model) {
  if (!read) {
    if (error.empty()) std::abort();
    return;
  }
  if (model.Folders.empty()) std::abort();
  ListingDisk disk(model);
  WalkAll(disk, model.TopPath, 0);
}

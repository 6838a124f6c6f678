// Lookups in a listing held in memory, for the tests of what fills it.
#pragma once

#include <cstddef>
#include <string>

#include "listing/model.h"

// The entry of that name in the model's folder; null for none.
inline const FolderRecord* EntryOf(const ListingModel& model, size_t folder, const std::string& name) {
  for (const FolderRecord& entry : model.Folders[folder].Entries) {
    if (entry.cFileName == name) return &entry;
  }
  return nullptr;
}

// The number of the folder's sub-folder of that name; -1 for none.
inline size_t SubFolder(const ListingModel& model, size_t folder, const std::string& name) {
  const auto found = model.Folders[folder].SubFolders.find(name);
  return found == model.Folders[folder].SubFolders.end() ? static_cast<size_t>(-1) : found->second;
}

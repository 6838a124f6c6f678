// A listing of a tree held in memory, as a source other than the disk gives
// it (a catalog read back): every folder's records, its sub-folders by name,
// and what the system said of the types. The walk reads it as a disk.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

struct ModelFolder {
  size_t Parent = 0;    // the top's is itself
  std::string Name;     // in its parent; empty for the top
  FolderRecord Record;  // its own record, as its parent lists it; the top's made up from what is known
  std::vector<FolderRecord> Entries;
  std::unordered_map<std::string, std::string> LinkTargets;  // by name
  // By name, for the files whose checksums the source gives: one digest
  // (lower-case hex) per algorithm of the model's Algorithms, in that order;
  // an empty digest where the source has none for that algorithm.
  std::unordered_map<std::string, std::vector<std::string>> Checksums;
  // By name, the files whose checksums could not be computed, and why.
  std::map<std::string, std::string> ChecksumFailures;
  std::map<std::string, size_t> SubFolders;  // by name: the folders of the model
  bool Failed = false;                       // its listing failed, for Reason
  std::string Reason;
};

struct ListingModel {
  std::string Title;
  std::string TopPath;                      // the folder listed, as it was given
  std::string TopName;                      // the name the top is shown with
  std::map<std::string, TypeTexts> Types;   // by extension (".txt"; "" for none)
  std::vector<ModelFolder> Folders;         // the top first
  std::vector<DigestAlgorithm> Algorithms;  // of the folders' Checksums
  // False where the source does not tell the files' sizes (a sums file,
  // tree -J without -s): the records' sizes of 0 stand for nothing.
  bool SizesKnown = true;
  // The step of the times the source keeps, in 100 ns: 10,000,000 for
  // whole seconds; 1 where it keeps every 100 ns.
  uint64_t TimePrecision = 1;
};

// The step of whole seconds, in 100 ns.
constexpr uint64_t kWholeSeconds = 10000000;

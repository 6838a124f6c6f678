// The rules of an ignore file that look at an entry's name alone, filed so
// that a name finds the latest rule that matches it without trying each:
// literal names in a hash table, "*" and a literal suffix by the suffix,
// other globs by the byte their matches end (or start) with.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tree/ignore_glob.h"

// The first bytes and lengths of a set of keys: most texts that are no key
// are told so without hashing them.
struct KeyFilter {
  std::bitset<256> first_bytes;
  uint64_t lengths = 0;  // bit n for length n, bit 63 for 63 and more

  void Add(std::string_view key);
  bool MayHold(std::string_view text) const;
};

class NameRules {
 public:
  // Files the rule with this number (a later rule of the file has a higher
  // one). The glob must outlive this index and stay where it is.
  void Add(const IgnoreGlob& glob, int number, bool folders_only);
  // Sorts what Add filed; no rule is added after.
  void Seal();

  // The highest number above `latest` of a rule that matches the name (a
  // rule for folders only matches none but a folder's); latest when none.
  // signature: the name's ByteSignature.
  int LatestMatch(std::string_view name, uint64_t signature, bool is_folder, int latest) const;

 private:
  // The latest rule for a folder and the latest for a file; -1 when none.
  struct Latest {
    int any = -1;
    int files = -1;
  };
  struct Glob {
    unsigned char byte = 0;  // the last (or first) byte of every match, or 0
    int number = -1;
    bool folders_only = false;
    const IgnoreGlob* glob = nullptr;
  };

  static void Note(Latest& latest, int number, bool folders_only);
  int LatestLookedUp(std::string_view name, bool is_folder) const;

  // A suffix is looked up only when a suffix of its length ends with the
  // name's last byte (longer suffixes are always looked up).
  std::unordered_map<std::string_view, Latest> names_;
  KeyFilter name_filter_;
  std::unordered_map<std::string_view, Latest> suffixes_;
  std::vector<uint64_t> suffix_lengths_by_last_byte_;  // 256 masks, or none
  std::vector<size_t> long_suffix_lengths_;            // 63 and more
  // After Seal: by byte, then latest first.
  std::vector<Glob> by_last_byte_, by_first_byte_;
  std::vector<Glob> others_;  // latest first
};

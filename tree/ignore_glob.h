// The patterns of ignore files, compiled once and matched as git matches
// them against a name or a path.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One pattern, read as git's wildmatch reads it: a backslash takes the next
// character literally; "?" is one character, "*" a run of them, "[...]" one
// of a set ("[!...]" and "[^...]" one outside it, with ranges and the named
// classes, ASCII only); none of these ever matches a slash. "**" that fills
// a whole segment crosses slashes: "**/" is no folder or any run of them,
// a trailing "/**" everything below. Any other "**" is a "*".
struct IgnoreGlob {
  enum class Kind : unsigned char {
    kByte,     // the byte itself
    kAnyByte,  // "?"
    kSet,      // "[...]": one byte of sets[set]
    kRun,      // "*": any run without a slash
    kAnyRun,   // "**" at the end, or before an escaped slash: any run
    kFolders,  // "**/": nothing, or any run that ends with a slash
  };
  struct Step {
    Kind kind = Kind::kByte;
    unsigned char byte = 0;
    unsigned short set = 0;
  };
  std::vector<Step> steps;
  std::vector<std::bitset<256>> sets;
  // The bytes of the leading and trailing kByte steps, so that most texts
  // are turned away by a comparison; head_steps of the steps are head.
  std::string head, tail;
  // The longest run of kByte steps between them, which every match holds.
  std::string inner;
  size_t head_steps = 0;
  size_t min_length = 0;       // bytes every match holds at least
  uint64_t needs = 0;          // the ByteSignature bits of the kByte steps
  int slashes = 0;             // slashes among the kByte steps
  bool spans_folders = false;  // has a kAnyRun or kFolders step
  bool never = false;          // malformed ("[" unclosed, an unknown class, a
                               // trailing backslash): git matches nothing
  // Every step is a kByte: the pattern matches head alone.
  bool IsLiteral() const { return !never && head_steps == steps.size(); }
};

// Compiles a pattern (without its "!", its trailing "/" and, for a path,
// its leading "/"). as_path: the pattern is matched against a path, where
// git compares the part before the first wildcard byte by byte and then
// matches the rest on its own, so that a "**" at the start of that rest
// counts as a whole segment even without a slash before it ("/x**" matches
// "xa/b", "a**/b" matches "ab").
IgnoreGlob CompileIgnoreGlob(std::string_view pattern, bool as_path);

// The glob of the steps [from, to) of another: the folder part or the name
// part of a path's glob.
IgnoreGlob PartOfIgnoreGlob(const IgnoreGlob& glob, size_t from, size_t to);

// A bit for each byte value the text holds, values 64 apart sharing one: a
// text turns away at once every glob whose needs it lacks.
inline uint64_t ByteSignature(std::string_view text) {
  uint64_t signature = 0;
  for (char c : text) signature |= uint64_t{1} << (static_cast<unsigned char>(c) & 63);
  return signature;
}

// Whether the glob matches the whole text (a name, or a path with "/"
// between its names). Allocates nothing for texts of up to 1024 bytes.
bool MatchesIgnoreGlob(const IgnoreGlob& glob, std::string_view text);

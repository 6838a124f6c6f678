#include "platform/wildcard.h"

#include <cstring>
#include <vector>

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// What a mask character matches once Windows has read the mask: "?" is one
// character, or none at a dot or the end; "*" before a dot stops short of the
// name's last dot; a dot before "*", "?" or the mask's end also matches the
// end of the name. Every other character matches itself.
enum class MaskChar { kLetter, kAnyRun, kRunToLastDot, kOneOrNoneAtDot, kDotOrEnd };

MaskChar ReadMaskChar(const std::string& mask, size_t i) {
  const char next = i + 1 < mask.size() ? mask[i + 1] : '\0';
  switch (mask[i]) {
    case '*':
      return next == '.' ? MaskChar::kRunToLastDot : MaskChar::kAnyRun;
    case '?':
      return MaskChar::kOneOrNoneAtDot;
    case '.':
      return next == '*' || next == '?' || next == '\0' ? MaskChar::kDotOrEnd : MaskChar::kLetter;
    default:
      return MaskChar::kLetter;
  }
}

bool Consumes(MaskChar kind, char mask_char, char name_char) {
  switch (kind) {
    case MaskChar::kOneOrNoneAtDot:
      return name_char != '.';
    case MaskChar::kDotOrEnd:
      return name_char == '.';
    default:
      return LowerAscii(mask_char) == LowerAscii(name_char);
  }
}

bool MatchesNone(MaskChar kind, const std::string& name, size_t at) {
  switch (kind) {
    case MaskChar::kOneOrNoneAtDot:
      return at == name.size() || name[at] == '.';
    case MaskChar::kDotOrEnd:
      return at == name.size();
    default:
      return false;
  }
}

// reach[at] tells whether the mask read so far matches the name's first `at`
// characters, and every reachable position lies in [low, high]. Each mask
// character moves all those positions on at once, so no mask makes the work
// grow beyond its length times the name's.
bool MatchesWindowsWildcard(const std::string& mask, const std::string& name, char* reach) {
  const size_t end = name.size();
  const size_t last_dot = name.rfind('.');
  std::memset(reach, 0, end + 1);
  reach[0] = 1;
  size_t low = 0, high = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    const MaskChar kind = ReadMaskChar(mask, i);
    if (kind == MaskChar::kAnyRun || kind == MaskChar::kRunToLastDot) {
      // A run that stops short of the last dot cannot reach past it.
      const bool stops = kind == MaskChar::kRunToLastDot && last_dot != std::string::npos;
      const size_t past_last_dot = stops ? last_dot + 1 : std::string::npos;
      char reached = 0;
      for (size_t at = low; at <= end; ++at) {
        if (at == past_last_dot) reached = 0;
        reached |= reach[at];
        reach[at] = reached;
        if (reached) high = at;
      }
      continue;
    }
    size_t new_low = end + 1, new_high = 0;
    for (size_t at = high < end ? high + 1 : end;; --at) {
      const bool by_one = at > low && reach[at - 1] && Consumes(kind, mask[i], name[at - 1]);
      reach[at] = by_one || (reach[at] && MatchesNone(kind, name, at));
      if (reach[at]) {
        new_low = at;
        if (new_high == 0) new_high = at;
      }
      if (at == low) break;
    }
    if (new_low > end) return false;
    low = new_low;
    high = new_high;
  }
  return reach[end] != 0;
}

}  // namespace

bool MatchesMask(const std::string& mask, const std::string& name) {
  // The masks nearly every listing uses match every name.
  if (mask == "*.*" || mask == "*") return true;
  constexpr size_t kLongName = 512;
  char short_reach[kLongName + 1];
  if (name.size() <= kLongName) return MatchesWindowsWildcard(mask, name, short_reach);
  std::vector<char> long_reach(name.size() + 1);
  return MatchesWindowsWildcard(mask, name, long_reach.data());
}

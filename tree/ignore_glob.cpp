#include "tree/ignore_glob.h"

#include <algorithm>

namespace {

using Kind = IgnoreGlob::Kind;
using ByteSet = std::bitset<256>;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsUpper(int c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(int c) { return c >= 'a' && c <= 'z'; }
bool IsAlpha(int c) { return IsUpper(c) || IsLower(c); }
bool IsAlnum(int c) { return IsAlpha(c) || IsDigit(c); }
bool IsGraph(int c) { return c > ' ' && c < 127; }

// The named classes of "[[:name:]]", over ASCII alone as git has them.
struct NamedClass {
  std::string_view name;
  bool (*holds)(int c);
};
const NamedClass kNamedClasses[] = {
    {"alnum", IsAlnum},
    {"alpha", IsAlpha},
    {"blank", [](int c) { return c == ' ' || c == '\t'; }},
    {"cntrl", [](int c) { return c < ' ' || c == 127; }},
    {"digit", IsDigit},
    {"graph", IsGraph},
    {"lower", IsLower},
    {"print", [](int c) { return c == ' ' || IsGraph(c); }},
    {"punct", [](int c) { return IsGraph(c) && !IsAlnum(c); }},
    {"space", [](int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }},
    {"upper", IsUpper},
    {"xdigit", [](int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }},
};

bool AddNamedClass(std::string_view name, ByteSet& set) {
  for (const NamedClass& named : kNamedClasses) {
    if (named.name != name) continue;
    for (int c = 1; c < 128; ++c) {
      if (named.holds(c)) set.set(c);
    }
    return true;
  }
  return false;
}

unsigned char ByteAt(std::string_view text, size_t at) { return static_cast<unsigned char>(text[at]); }

// Reads the set that opens at pattern[at] ("["); moves at past its "]".
// False when the set is malformed, which makes git's whole pattern match
// nothing. The first member may be "]"; "-" between two members is a range;
// a backslash takes the next byte as a member.
bool ReadSet(std::string_view pattern, size_t& at, ByteSet& set) {
  size_t i = at + 1;
  const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  int previous = -1;  // the last single member, which may start a range
  for (bool first = true;; first = false) {
    if (i >= pattern.size()) return false;
    const char c = pattern[i];
    if (c == ']' && !first) break;
    if (c == '\\') {
      if (i + 1 >= pattern.size()) return false;
      previous = ByteAt(pattern, i + 1);
      set.set(previous);
      i += 2;
    } else if (c == '-' && previous >= 0 && i + 1 < pattern.size() && pattern[i + 1] != ']') {
      i += 1;
      if (pattern[i] == '\\' && ++i >= pattern.size()) return false;
      for (int member = previous; member <= ByteAt(pattern, i); ++member) set.set(member);
      previous = -1;
      i += 1;
    } else if (c == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
      const size_t close = pattern.find(']', i + 2);
      if (close == std::string_view::npos) return false;
      if (close >= i + 3 && pattern[close - 1] == ':') {
        if (!AddNamedClass(pattern.substr(i + 2, close - 1 - (i + 2)), set)) return false;
        previous = -1;
        i = close + 1;
      } else {
        // No ":]" before the "]": the "[" is a member like any other.
        previous = '[';
        set.set(previous);
        i += 1;
      }
    } else {
      previous = ByteAt(pattern, i);
      set.set(previous);
      i += 1;
    }
  }
  if (negated) set.flip();
  set.reset('/');
  set.reset(0);
  at = i + 1;
  return true;
}

void AddByte(IgnoreGlob& glob, unsigned char byte) {
  IgnoreGlob::Step step;
  step.byte = byte;
  glob.steps.push_back(step);
}

void AddStep(IgnoreGlob& glob, Kind kind) {
  IgnoreGlob::Step step;
  step.kind = kind;
  glob.steps.push_back(step);
}

// Reads the stars that start at pattern[at]; moves at past what they took.
// start: where git's wildmatch begins reading the pattern.
void ReadStars(std::string_view pattern, size_t& at, size_t start, IgnoreGlob& glob) {
  size_t end = at;
  while (end < pattern.size() && pattern[end] == '*') ++end;
  const bool whole_segment_start = at == start || pattern[at - 1] == '/';
  const bool at_end = end == pattern.size();
  const bool before_slash = !at_end && pattern[end] == '/';
  const bool before_escaped_slash =
      !at_end && pattern[end] == '\\' && end + 1 < pattern.size() && pattern[end + 1] == '/';
  if (end - at < 2 || !whole_segment_start || !(at_end || before_slash || before_escaped_slash)) {
    AddStep(glob, Kind::kRun);
  } else if (before_slash) {
    AddStep(glob, Kind::kFolders);
    end += 1;
  } else {
    AddStep(glob, Kind::kAnyRun);
  }
  at = end;
}

// Fills head, tail and the counts that let most texts be turned away early.
void Summarise(IgnoreGlob& glob) {
  const auto& steps = glob.steps;
  while (glob.head_steps < steps.size() && steps[glob.head_steps].kind == Kind::kByte) {
    glob.head += static_cast<char>(steps[glob.head_steps++].byte);
  }
  size_t tail_start = steps.size();
  while (tail_start > glob.head_steps && steps[tail_start - 1].kind == Kind::kByte) --tail_start;
  for (size_t i = tail_start; i < steps.size(); ++i) glob.tail += static_cast<char>(steps[i].byte);
  std::string run;
  for (size_t i = glob.head_steps; i < tail_start; ++i) {
    run = steps[i].kind == Kind::kByte ? run + static_cast<char>(steps[i].byte) : std::string();
    if (run.size() > glob.inner.size()) glob.inner = run;
  }
  for (const IgnoreGlob::Step& step : steps) {
    switch (step.kind) {
      case Kind::kByte:
        if (step.byte == '/') ++glob.slashes;
        glob.needs |= uint64_t{1} << (step.byte & 63);
        [[fallthrough]];
      case Kind::kAnyByte:
      case Kind::kSet:
        ++glob.min_length;
        break;
      case Kind::kAnyRun:
      case Kind::kFolders:
        glob.spans_folders = true;
        break;
      case Kind::kRun:
        break;
    }
  }
}

bool Accepts(const IgnoreGlob& glob, const IgnoreGlob::Step& step, unsigned char byte) {
  switch (step.kind) {
    case Kind::kByte:
      return byte == step.byte;
    case Kind::kAnyByte:
      return byte != '/';
    default:
      return glob.sets[step.set].test(byte);
  }
}

// reach[i] tells whether the steps read so far match text[0, i). Each step
// moves every reachable position on at once, so the work is the number of
// steps times the text's length whatever the pattern. The head is matched
// already: positions before it are never read.
bool Reaches(const IgnoreGlob& glob, std::string_view text, char* reach) {
  const size_t from = glob.head.size(), end = text.size();
  std::fill(reach + from, reach + end + 1, 0);
  reach[from] = 1;
  for (size_t s = glob.head_steps; s < glob.steps.size(); ++s) {
    const IgnoreGlob::Step& step = glob.steps[s];
    char any = 0;
    if (step.kind == Kind::kRun || step.kind == Kind::kAnyRun) {
      const bool stops_at_slash = step.kind == Kind::kRun;
      char carry = 0;
      for (size_t i = from; i <= end; ++i) {
        carry |= reach[i];
        reach[i] = carry;
        any |= carry;
        if (stops_at_slash && i < end && text[i] == '/') carry = 0;
      }
    } else if (step.kind == Kind::kFolders) {
      char seen = 0;  // some position before i is reachable
      for (size_t i = from; i <= end; ++i) {
        const char was = reach[i];
        if (seen && text[i - 1] == '/') reach[i] = 1;
        seen |= was;
        any |= reach[i];
      }
    } else {
      for (size_t i = end; i > from; --i) {
        reach[i] = reach[i - 1] && Accepts(glob, step, ByteAt(text, i - 1));
        any |= reach[i];
      }
      reach[from] = 0;
    }
    if (!any) return false;
  }
  return reach[end] != 0;
}

}  // namespace

IgnoreGlob CompileIgnoreGlob(std::string_view pattern, bool as_path) {
  IgnoreGlob glob;
  const size_t start = as_path ? std::min(pattern.find_first_of("*?[\\"), pattern.size()) : 0;
  for (size_t at = 0; at < pattern.size() && !glob.never;) {
    switch (pattern[at]) {
      case '\\':
        if (at + 1 == pattern.size()) {
          glob.never = true;
        } else {
          AddByte(glob, ByteAt(pattern, at + 1));
        }
        at += 2;
        break;
      case '?':
        AddStep(glob, Kind::kAnyByte);
        at += 1;
        break;
      case '[': {
        ByteSet set;
        if (!ReadSet(pattern, at, set)) {
          glob.never = true;
          break;
        }
        AddStep(glob, Kind::kSet);
        glob.steps.back().set = static_cast<unsigned short>(glob.sets.size());
        glob.sets.push_back(set);
        break;
      }
      case '*':
        ReadStars(pattern, at, start, glob);
        break;
      default:
        AddByte(glob, ByteAt(pattern, at));
        at += 1;
    }
  }
  Summarise(glob);
  return glob;
}

IgnoreGlob PartOfIgnoreGlob(const IgnoreGlob& glob, size_t from, size_t to) {
  IgnoreGlob part;
  part.never = glob.never;
  for (size_t i = from; i < to; ++i) {
    IgnoreGlob::Step step = glob.steps[i];
    if (step.kind == Kind::kSet) {
      step.set = static_cast<unsigned short>(part.sets.size());
      part.sets.push_back(glob.sets[glob.steps[i].set]);
    }
    part.steps.push_back(step);
  }
  Summarise(part);
  return part;
}

bool MatchesIgnoreGlob(const IgnoreGlob& glob, std::string_view text) {
  // min_length counts the head's and the tail's bytes, which never overlap.
  if (glob.never || text.size() < glob.min_length) return false;
  if (text.substr(0, glob.head.size()) != glob.head) return false;
  if (text.substr(text.size() - glob.tail.size()) != glob.tail) return false;
  if (!glob.inner.empty() && text.find(glob.inner, glob.head.size()) == std::string_view::npos) return false;
  if (glob.head_steps == glob.steps.size()) return text.size() == glob.head.size();
  constexpr size_t kShortText = 1024;
  if (text.size() <= kShortText) {
    char reach[kShortText + 1];
    return Reaches(glob, text, reach);
  }
  std::vector<char> reach(text.size() + 1);
  return Reaches(glob, text, reach.data());
}

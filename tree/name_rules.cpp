#include "tree/name_rules.h"

#include <algorithm>

namespace {

using Kind = IgnoreGlob::Kind;

unsigned char FirstByte(std::string_view text) { return static_cast<unsigned char>(text.front()); }
unsigned char LastByte(std::string_view text) { return static_cast<unsigned char>(text.back()); }

constexpr size_t kLongLength = 63;

uint64_t LengthBit(size_t length) { return uint64_t{1} << std::min(length, kLongLength); }

// The bits of the lengths 1 to length.
uint64_t LengthsUpTo(size_t length) {
  return length >= kLongLength ? ~uint64_t{0} : ((uint64_t{1} << (length + 1)) - 2);
}

bool IsSuffix(const IgnoreGlob& glob) {
  return glob.steps[0].kind == Kind::kRun && !glob.tail.empty() && glob.tail.size() + 1 == glob.steps.size();
}

// The bytes a step matches when they are few: one byte, or a small set.
std::vector<unsigned char> FewBytes(const IgnoreGlob& glob, const IgnoreGlob::Step& step) {
  std::vector<unsigned char> bytes;
  if (step.kind == Kind::kByte) bytes.push_back(step.byte);
  if (step.kind == Kind::kSet && glob.sets[step.set].count() <= 8) {
    for (int byte = 1; byte < 256; ++byte) {
      if (glob.sets[step.set].test(byte)) bytes.push_back(static_cast<unsigned char>(byte));
    }
  }
  return bytes;
}

}  // namespace

void KeyFilter::Add(std::string_view key) {
  if (!key.empty()) first_bytes.set(FirstByte(key));
  lengths |= LengthBit(key.size());
}

bool KeyFilter::MayHold(std::string_view text) const {
  return (lengths & LengthBit(text.size())) && (text.empty() || first_bytes.test(FirstByte(text)));
}

void NameRules::Note(Latest& latest, int number, bool folders_only) {
  latest.any = std::max(latest.any, number);
  if (!folders_only) latest.files = std::max(latest.files, number);
}

void NameRules::Add(const IgnoreGlob& glob, int number, bool folders_only) {
  if (glob.IsLiteral()) {
    Note(names_[glob.head], number, folders_only);
    name_filter_.Add(glob.head);
    return;
  }
  if (IsSuffix(glob)) {
    const std::string_view suffix = glob.tail;
    Note(suffixes_[suffix], number, folders_only);
    if (suffix.size() >= kLongLength) {
      if (std::find(long_suffix_lengths_.begin(), long_suffix_lengths_.end(), suffix.size()) ==
          long_suffix_lengths_.end()) {
        long_suffix_lengths_.push_back(suffix.size());
      }
      return;
    }
    suffix_lengths_by_last_byte_.resize(256);
    suffix_lengths_by_last_byte_[LastByte(suffix)] |= LengthBit(suffix.size());
    return;
  }
  const std::vector<unsigned char> last = FewBytes(glob, glob.steps.back());
  const std::vector<unsigned char> first = FewBytes(glob, glob.steps.front());
  std::vector<Glob>& filed = !last.empty() ? by_last_byte_ : !first.empty() ? by_first_byte_ : others_;
  for (unsigned char byte : !last.empty() ? last : first)
    filed.push_back(Glob{byte, number, folders_only, &glob});
  if (last.empty() && first.empty()) others_.push_back(Glob{0, number, folders_only, &glob});
}

void NameRules::Seal() {
  const auto by_byte_then_latest = [](const Glob& a, const Glob& b) {
    return a.byte != b.byte ? a.byte < b.byte : a.number > b.number;
  };
  std::sort(by_last_byte_.begin(), by_last_byte_.end(), by_byte_then_latest);
  std::sort(by_first_byte_.begin(), by_first_byte_.end(), by_byte_then_latest);
  std::sort(others_.begin(), others_.end(), [](const Glob& a, const Glob& b) { return a.number > b.number; });
}

int NameRules::LatestLookedUp(std::string_view name, bool is_folder) const {
  int latest = -1;
  auto look_up = [&](const std::unordered_map<std::string_view, Latest>& rules, std::string_view key) {
    const auto found = rules.find(key);
    if (found != rules.end()) latest = std::max(latest, is_folder ? found->second.any : found->second.files);
  };
  if (name_filter_.MayHold(name)) look_up(names_, name);
  if (!suffix_lengths_by_last_byte_.empty()) {
    uint64_t lengths = suffix_lengths_by_last_byte_[LastByte(name)] & LengthsUpTo(name.size());
    for (size_t length = 1; lengths != 0; ++length, lengths >>= 1) {
      if (lengths & 2) look_up(suffixes_, name.substr(name.size() - length));
    }
  }
  for (size_t length : long_suffix_lengths_) {
    if (length <= name.size()) look_up(suffixes_, name.substr(name.size() - length));
  }
  return latest;
}

int NameRules::LatestMatch(std::string_view name, uint64_t signature, bool is_folder, int latest) const {
  latest = std::max(latest, LatestLookedUp(name, is_folder));
  if (by_last_byte_.empty() && by_first_byte_.empty() && others_.empty()) return latest;
  // The globs filed under the name's last byte, under its first byte, and
  // the rest: three lists, latest first, read as one.
  struct Range {
    const Glob* at;
    const Glob* end;
  };
  const auto filed_under = [](const std::vector<Glob>& globs, unsigned char byte) {
    const auto range = std::equal_range(globs.begin(), globs.end(), Glob{byte, 0, false, nullptr},
                                        [](const Glob& a, const Glob& b) { return a.byte < b.byte; });
    return Range{globs.data() + (range.first - globs.begin()), globs.data() + (range.second - globs.begin())};
  };
  Range lists[] = {filed_under(by_last_byte_, LastByte(name)), filed_under(by_first_byte_, FirstByte(name)),
                   Range{others_.data(), others_.data() + others_.size()}};
  for (;;) {
    Range* next = nullptr;
    for (Range& list : lists) {
      if (list.at != list.end && (!next || list.at->number > next->at->number)) next = &list;
    }
    if (!next || next->at->number <= latest) return latest;
    const Glob& glob = *next->at++;
    if ((glob.glob->needs & ~signature) != 0 || (glob.folders_only && !is_folder)) continue;
    if (MatchesIgnoreGlob(*glob.glob, name)) return glob.number;
  }
}

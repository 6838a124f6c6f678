#include "listing/ordering.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "listing/column_values.h"
#include "settings/common_struct.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

int CompareBytes(std::string_view a, std::string_view b) {
  // compare orders by unsigned bytes (char_traits<char>::compare is memcmp),
  // the shorter prefix first.
  return Sign(a.compare(b));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int CompareNames(std::string_view a, std::string_view b, bool natural) {
  return natural ? CompareNatural(a, b) : CompareBytes(a, b);
}

template <typename T>
int CompareValues(T a, T b) {
  return (a > b) - (a < b);
}

uint64_t TimeOf(const FileInfoX& entry, SortCode sort_code) {
  switch (sort_code) {
    case kSortByLastWrite:
      return entry.Find.ftLastWriteTime;
    case kSortByCreation:
      return entry.Find.ftCreationTime;
    default:
      return entry.Find.ftLastAccessTime;
  }
}

// The comparison itself, on names already lower-cased where asked for.
int CompareNamed(const FileInfoX& a, std::string_view a_name, const FileInfoX& b, std::string_view b_name,
                 SortCode sort_code, bool natural) {
  if (IsParentEntry(a)) return -1;
  if (IsParentEntry(b)) return 1;
  int primary = 0;
  switch (sort_code) {
    case kSortByName:
      return CompareNames(a_name, b_name, natural);
    case kSortByType:
      primary = CompareNames(ExtensionPart(a_name), ExtensionPart(b_name), natural);
      return primary != 0 ? primary : CompareNames(StemPart(a_name), StemPart(b_name), natural);
    case kSortByLastWrite:
    case kSortByCreation:
    case kSortByLastRead:
      primary = CompareValues(TimeOf(a, sort_code), TimeOf(b, sort_code));
      break;
    case kSortBySize:
      primary = CompareValues(EntrySize(a), EntrySize(b));
      break;
    case kSortByAttributes:
      primary = CompareBytes(AttributeText(a.Find.dwFileAttributes), AttributeText(b.Find.dwFileAttributes));
      break;
    default:
      return 0;
  }
  return primary != 0 ? primary : CompareNames(a_name, b_name, natural);
}

// Every code page keeps ASCII and lowers only its capitals there, so a name
// of other ASCII bytes is its own lower-case form.
bool MayChangeInLowerCase(const std::string& name) {
  for (char c : name) {
    if ((c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

int CompareEntries(const FileInfoX& a, const FileInfoX& b, SortCode sort_code, bool ignore_case,
                   bool natural) {
  const std::string& a_name = a.Find.cFileName;
  const std::string& b_name = b.Find.cFileName;
  if (!ignore_case) return CompareNamed(a, a_name, b, b_name, sort_code, natural);
  return CompareNamed(a, LowerCase(a_name), b, LowerCase(b_name), sort_code, natural);
}

void InsertSorted(std::deque<FileInfoX>& list, FileInfoX entry, SortCode sort_code, bool ignore_case,
                  bool natural) {
  auto place = std::upper_bound(list.begin(), list.end(), entry, [&](const FileInfoX& a, const FileInfoX& b) {
    return CompareEntries(a, b, sort_code, ignore_case, natural) < 0;
  });
  list.insert(place, std::move(entry));
}

namespace {

bool IsSuffixStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '~'; }
bool IsSuffixByte(char c) { return IsSuffixStart(c) || IsDigit(c); }

// The name without its file suffixes (".txt", ".tar.gz": a dot, a letter,
// then letters and digits), as version sorting compares names first.
std::string_view WithoutSuffixes(std::string_view name) {
  size_t end = name.size();
  for (size_t at = end; at > 0;) {
    size_t start = at;
    while (start > 0 && IsSuffixByte(name[start - 1])) --start;
    if (start == 0 || name[start - 1] != '.' || start == at || !IsSuffixStart(name[start])) break;
    end = start - 1;
    at = end;
  }
  return end == 0 ? name : name.substr(0, end);
}

int CompareNumbersAndBytes(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (!IsDigit(a[i]) || !IsDigit(b[j])) {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    // Two numbers: without their leading zeros the longer is the greater,
    // then the first digit that differs decides.
    const size_t a_start = i, b_start = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    std::string_view a_number = a.substr(a_start, i - a_start);
    std::string_view b_number = b.substr(b_start, j - b_start);
    const size_t a_zeros = std::min(a_number.find_first_not_of('0'), a_number.size());
    const size_t b_zeros = std::min(b_number.find_first_not_of('0'), b_number.size());
    const std::string_view a_value = a_number.substr(a_zeros), b_value = b_number.substr(b_zeros);
    if (a_value.size() != b_value.size()) return a_value.size() < b_value.size() ? -1 : 1;
    if (const int digits = CompareBytes(a_value, b_value)) return digits;
    if (a_zeros != b_zeros) return a_zeros > b_zeros ? -1 : 1;
  }
  return CompareValues(a.size() - i, b.size() - j);
}

}  // namespace

int CompareNatural(std::string_view a, std::string_view b) {
  const int stems = CompareNumbersAndBytes(WithoutSuffixes(a), WithoutSuffixes(b));
  return stems != 0 ? stems : CompareNumbersAndBytes(a, b);
}

namespace {

// What the sort compares first, kept apart from the entries so that most
// comparisons read this array alone instead of two entries and their names
// scattered over the heap. Numbers compare as the keys they stand for: the
// name's bytes are packed first byte most significant, zero bytes padding a
// shorter name; codes 2 to 5 put their time or size ahead of the name.
struct SortKey {
  uint64_t Head;  // code 0: name bytes 0 to 7; codes 2 to 5: time or size
  uint32_t Next;  // code 0: name bytes 8 to 11; codes 2 to 5: bytes 0 to 3
  uint32_t Index;
};
static_assert(sizeof(SortKey) == 16, "a million keys take 16 MB");

uint64_t NameBytes(std::string_view name, size_t from, size_t count) {
  uint64_t packed = 0;
  for (size_t i = from; i < from + count; ++i) {
    packed = (packed << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
  }
  return packed;
}

SortKey KeyOf(const FileInfoX& entry, std::string_view name, SortCode sort_code, bool natural,
              uint32_t index) {
  // Natural order cannot be read off a name's first bytes.
  if (natural) name = std::string_view();
  switch (sort_code) {
    case kSortByName:
      if (natural) break;
      return {NameBytes(name, 0, 8), static_cast<uint32_t>(NameBytes(name, 8, 4)), index};
    case kSortByLastWrite:
    case kSortByCreation:
    case kSortByLastRead:
      return {TimeOf(entry, sort_code), static_cast<uint32_t>(NameBytes(name, 0, 4)), index};
    case kSortBySize:
      return {EntrySize(entry), static_cast<uint32_t>(NameBytes(name, 0, 4)), index};
    default:
      break;
  }
  return {0, 0, index};
}

// How many moves ahead an entry is fetched into the cache: the entries of
// a cycle lie scattered over the whole list.
constexpr int kMovesAhead = 6;

// Puts the entry that was at source_at(i) at position i, following each
// cycle once, so every entry moves at most once.
template <typename SourceAt>
void ApplyOrder(std::deque<FileInfoX>& list, SourceAt source_at) {
  std::vector<bool> placed(list.size(), false);
  for (size_t start = 0; start < list.size(); ++start) {
    if (placed[start]) continue;
    FileInfoX held = std::move(list[start]);
    size_t at = start;
    size_t ahead = start;
    for (int i = 0; i < kMovesAhead && source_at(ahead) != start; ++i) ahead = source_at(ahead);
    while (source_at(at) != start) {
      if (source_at(ahead) != start) {
        ahead = source_at(ahead);
        const char* entry = reinterpret_cast<const char*>(&list[ahead]);
        __builtin_prefetch(entry);
        __builtin_prefetch(entry + sizeof(FileInfoX) - 1);
      }
      list[at] = std::move(list[source_at(at)]);
      placed[at] = true;
      at = source_at(at);
    }
    list[at] = std::move(held);
    placed[at] = true;
  }
}

// The names of a list as the sort compares them: lower-cased when asked
// for. They live only while sorting, and only where lower-casing changes a
// name, packed in one text: a million names cost a few bytes each.
class SortNames {
 public:
  SortNames(const std::deque<FileInfoX>& list, bool ignore_case) : list_(list) {
    if (!ignore_case) return;
    ends_.reserve(list.size());
    for (const FileInfoX& entry : list) {
      const std::string& name = entry.Find.cFileName;
      if (MayChangeInLowerCase(name)) {
        std::string lower = LowerCase(name);
        if (lower != name) lowered_ += lower;
      }
      if (lowered_.size() > UINT32_MAX) throw std::length_error("lower-cased names");
      ends_.push_back(static_cast<uint32_t>(lowered_.size()));
    }
  }

  std::string_view operator()(uint32_t i) const {
    const size_t begin = i == 0 || ends_.empty() ? 0 : ends_[i - 1];
    if (ends_.empty() || ends_[i] == begin) return list_[i].Find.cFileName;
    return std::string_view(lowered_).substr(begin, ends_[i] - begin);
  }

 private:
  const std::deque<FileInfoX>& list_;
  std::string lowered_;
  std::vector<uint32_t> ends_;  // lowered name i: from ends_[i - 1] to ends_[i]
};

bool IsSortKey(SortCode code) { return code >= kSortByName && code <= kSortByAttributes; }

}  // namespace

void SortEntries(std::deque<FileInfoX>& list, SortCode sort_code, bool ignore_case, bool natural,
                 bool descending) {
  const SortNames name_of(list, ignore_case);

  // The parent entry goes first under every code; the others follow sorted,
  // ties broken by enumeration order, as inserting one by one would give.
  std::vector<uint32_t> parents;
  std::vector<SortKey> keys;
  keys.reserve(list.size());
  for (uint32_t i = 0; i < list.size(); ++i) {
    if (IsParentEntry(list[i])) {
      parents.push_back(i);
    } else {
      keys.push_back(KeyOf(list[i], name_of(i), sort_code, natural, i));
    }
  }
  if (IsSortKey(sort_code)) {
    std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
      if (a.Head != b.Head) return a.Head < b.Head;
      if (a.Next != b.Next) return a.Next < b.Next;
      int compared =
          CompareNamed(list[a.Index], name_of(a.Index), list[b.Index], name_of(b.Index), sort_code, natural);
      return compared != 0 ? compared < 0 : a.Index < b.Index;
    });
  }
  // Following the order's cycles reads it at random. Packed four bytes an
  // entry into the front of the keys' own storage, it takes a quarter of
  // their size in the cache and no second array at the memory's peak. Index
  // i goes to bytes 4i to 4i + 3, which lie in key i / 4, already read.
  unsigned char* const packed = reinterpret_cast<unsigned char*>(keys.data());
  for (size_t i = 0; i < keys.size(); ++i) {
    const uint32_t index = keys[i].Index;
    std::memcpy(packed + 4 * i, &index, sizeof index);
  }
  const size_t last = list.size() - 1;
  ApplyOrder(list, [&parents, packed, descending, last](size_t position) -> size_t {
    if (descending) position = last - position;
    if (position < parents.size()) return parents[position];
    uint32_t index;
    std::memcpy(&index, packed + 4 * (position - parents.size()), sizeof index);
    return index;
  });
}

EntryOrder EntryOrderOf(const CommonStruct& settings) {
  EntryOrder order;
  order.Sort = settings.SortBy;
  order.Descending = settings.DescOrder;
  order.IgnoreCase = settings.IgnoreCase;
  order.Natural = settings.NaturalOrder;
  return order;
}

void OrderListing(DirFileStruct& listing, const EntryOrder& order) {
  for (std::deque<FileInfoX>* list : {&listing.FolderList, &listing.FileList}) {
    SortEntries(*list, order.Sort, order.IgnoreCase, order.Natural, order.Descending);
  }
}

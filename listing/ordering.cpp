#include "listing/ordering.h"

#include <algorithm>
#include <vector>

#include "listing/column_values.h"

namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

int CompareBytes(const std::string& a, const std::string& b) {
  // std::string::compare orders by unsigned bytes (char_traits<char>::compare
  // is memcmp), the shorter prefix first.
  return Sign(a.compare(b));
}

template <typename T>
int CompareValues(T a, T b) {
  return (a > b) - (a < b);
}

uint64_t TimeOf(const FileInfoX& entry, int sort_code) {
  switch (sort_code) {
    case 2: return entry.Find.ftLastWriteTime;
    case 3: return entry.Find.ftCreationTime;
    default: return entry.Find.ftLastAccessTime;
  }
}

}  // namespace

int CompareEntries(const FileInfoX& a, const FileInfoX& b, int sort_code) {
  if (IsParentEntry(a)) return -1;
  if (IsParentEntry(b)) return 1;
  int primary = 0;
  switch (sort_code) {
    case 0:
      return CompareBytes(a.SortName, b.SortName);
    case 1:
      primary = CompareBytes(ExtensionOf(a.SortName), ExtensionOf(b.SortName));
      return primary != 0 ? primary : CompareBytes(StemOf(a.SortName), StemOf(b.SortName));
    case 2:
    case 3:
    case 4:
      primary = CompareValues(TimeOf(a, sort_code), TimeOf(b, sort_code));
      break;
    case 5:
      primary = CompareValues(EntrySize(a), EntrySize(b));
      break;
    case 6:
      primary = CompareBytes(AttributeText(a.Find.dwFileAttributes),
                             AttributeText(b.Find.dwFileAttributes));
      break;
    default:
      return 0;
  }
  return primary != 0 ? primary : CompareBytes(a.SortName, b.SortName);
}

void InsertSorted(std::deque<FileInfoX>& list, FileInfoX entry, int sort_code) {
  auto place = std::upper_bound(list.begin(), list.end(), entry,
                                [sort_code](const FileInfoX& a, const FileInfoX& b) {
                                  return CompareEntries(a, b, sort_code) < 0;
                                });
  list.insert(place, std::move(entry));
}

void SortEntries(std::deque<FileInfoX>& list, int sort_code) {
  // Sorting indices and then moving each entry once keeps the extra memory
  // at a few bytes per entry, where sorting the entries themselves would
  // need a second list's worth.
  std::vector<uint32_t> order(list.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  if (sort_code < 0 || sort_code > 6) {
    // Every pair but the parent entry compares 0: only ".." moves, to the front.
    std::stable_partition(order.begin(), order.end(),
                          [&list](uint32_t i) { return IsParentEntry(list[i]); });
  } else {
    std::stable_sort(order.begin(), order.end(), [&list, sort_code](uint32_t a, uint32_t b) {
      return CompareEntries(list[a], list[b], sort_code) < 0;
    });
  }
  // Position i takes the entry that was at order[i]; follow each cycle once.
  std::vector<bool> placed(order.size(), false);
  for (size_t start = 0; start < order.size(); ++start) {
    if (placed[start]) continue;
    FileInfoX held = std::move(list[start]);
    size_t at = start;
    while (order[at] != start) {
      list[at] = std::move(list[order[at]]);
      placed[at] = true;
      at = order[at];
    }
    list[at] = std::move(held);
    placed[at] = true;
  }
}

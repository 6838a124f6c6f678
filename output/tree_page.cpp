#include "output/tree_page.h"

#include <vector>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "platform/platform.h"

namespace {

// Names of one folder: letter case aside where the system sets it aside.
bool SameName(const std::string& a, const std::string& b) {
  if (FolderSeparator() != '\\') return a == b;
  return LowerCaseBytes(a) == LowerCaseBytes(b);
}

}  // namespace

std::string FolderLink(const std::string& from, const std::string& to) {
  const std::vector<std::string> a = PathParts(from), b = PathParts(to);
  size_t common = 0;
  while (common < a.size() && common < b.size() && SameName(a[common], b[common])) ++common;
  // Below "/" every folder meets every other; a drive or a share of Windows
  // meets only its own.
  if (common == 0 && FolderSeparator() == '\\') {
    const bool share = to.size() > 1 && (to[0] == '\\' || to[0] == '/') && (to[1] == '\\' || to[1] == '/');
    std::string link = share ? "file:" : "file:///";
    AppendLinkForm(link, to);
    return link.back() == '/' ? link : link + '/';
  }
  std::string link;
  for (size_t i = common; i < a.size(); ++i) link += "../";
  for (size_t i = common; i < b.size(); ++i) {
    AppendLinkForm(link, b[i]);
    link += '/';
  }
  return link;
}

bool AppendTreeLink(std::string& href, const TreePage& tree, const std::string& file_prefix,
                    const FileInfoX& entry) {
  const std::string& name = entry.Find.cFileName;
  if (IsParentEntry(entry)) {
    if (tree.Path.size() < 2) return false;
    href += TreeLinkUp(tree, 1);
    return true;
  }
  const auto elsewhere = tree.FolderLinks.find(name);
  if (IsFolder(entry.Find.dwFileAttributes) && elsewhere != tree.FolderLinks.end()) {
    href += elsewhere->second + PageFileLink(tree);
    return true;
  }
  if (IsFolder(entry.Find.dwFileAttributes) && tree.FoldersWithPages.count(name) == 0) return false;
  const bool prefixed = !IsFolder(entry.Find.dwFileAttributes) && !file_prefix.empty();
  if (prefixed) href += file_prefix;
  // "c:x" would read as a scheme ("javascript:" too); "./c:x" is the entry.
  const size_t colon = name.find(':');
  if (colon != std::string::npos && colon < name.find_first_of("\\/") && !prefixed) href += "./";
  AppendLinkForm(href, name);
  if (IsFolder(entry.Find.dwFileAttributes)) href += "/" + PageFileLink(tree);
  return true;
}

std::string PageFileLink(const TreePage& tree) {
  return tree.LinkIndex ? LinkForm(tree.IndexName) : std::string();
}

std::string TreeLinkUp(const TreePage& tree, size_t up) {
  std::string href;
  for (size_t i = 0; i < up; ++i) href += "../";
  return href + PageFileLink(tree);
}

size_t FirstLevelAfterTheTop(const TreePage& tree) {
  const size_t levels = tree.Path.size();
  return levels <= kMostLevelsNamed ? 1 : levels - (kMostLevelsNamed - 2);
}

const char* LevelsLeftOutText() {
  static const bool names_are_utf8 = PageCharset() == "utf-8";
  return names_are_utf8 ? "\xE2\x80\xA6" : "...";
}

std::string TreePathShown(const TreePage& tree) {
  if (tree.Path.empty()) return std::string();
  std::string shown = tree.Path.front();
  const size_t first = FirstLevelAfterTheTop(tree);
  if (first > 1) shown += std::string(" / ") + LevelsLeftOutText();
  for (size_t level = first; level < tree.Path.size(); ++level) shown += " / " + tree.Path[level];
  return shown;
}

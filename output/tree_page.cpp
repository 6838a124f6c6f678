#include "output/tree_page.h"

#include "listing/column_values.h"

namespace {

// What follows a folder's "/" in a link: nothing where a server serves the
// index for the folder itself.
std::string IndexPart(const TreePage& tree) {
  const std::string name = LowerCase(tree.IndexName);
  if (!tree.LinkIndex && (name == "index.html" || name == "index.htm")) return std::string();
  return LinkForm(tree.IndexName);
}

}  // namespace

bool AppendTreeLink(std::string& href, const TreePage& tree, const FileInfoX& entry) {
  const std::string& name = entry.Find.cFileName;
  if (IsParentEntry(entry)) {
    if (tree.Path.size() < 2) return false;
    href += TreeLinkUp(tree, 1);
    return true;
  }
  const auto elsewhere = tree.FolderLinks.find(name);
  if (IsFolder(entry.Find.dwFileAttributes) && elsewhere != tree.FolderLinks.end()) {
    href += elsewhere->second + IndexPart(tree);
    return true;
  }
  if (IsFolder(entry.Find.dwFileAttributes) && tree.FoldersWithPages.count(name) == 0) return false;
  const bool prefixed = !IsFolder(entry.Find.dwFileAttributes) && !tree.FileLinkPrefix.empty();
  if (prefixed) href += tree.FileLinkPrefix;
  // "c:x" would read as a scheme ("javascript:" too); "./c:x" is the entry.
  const size_t colon = name.find(':');
  if (colon != std::string::npos && colon < name.find_first_of("\\/") && !prefixed) href += "./";
  AppendLinkForm(href, name);
  if (IsFolder(entry.Find.dwFileAttributes)) href += "/" + IndexPart(tree);
  return true;
}

std::string TreeLinkUp(const TreePage& tree, size_t up) {
  std::string href;
  for (size_t i = 0; i < up; ++i) href += "../";
  return href + IndexPart(tree);
}

// A page among the pages of a tree of folders: which of its entries link to
// a page of their own, and the way back up to the top.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "listing/entry.h"

struct ListingRun;

// Where one folder's page stands in the tree. Owned by the walk, which keeps
// it for as long as the page's run.
struct TreePage {
  // The file name of every folder's page ("index.html").
  std::string IndexName;
  // Links name the page's file; they end at the folder's "/" where a web
  // server serves the page for the folder (index.html), unless the pages are
  // to be browsed from disk.
  bool LinkIndex = false;
  // The sub-folders, by name, that have a page of their own; the others are
  // listed without a link, since a link would lead nowhere.
  std::set<std::string> FoldersWithPages;
  // The sub-folders, by name, whose page is another folder's (a link to a
  // folder of the tree, a folder reached twice): the way to that folder,
  // already a link ending in "/" ("../other/").
  std::map<std::string, std::string> FolderLinks;
  // The folders from the top down to this one, by the names they are shown
  // with; the top's name first. One name: the top page itself.
  std::vector<std::string> Path;
  // The file at the top of the pages that holds every name of the tree, for
  // the page's "Search everywhere"; empty where there is none.
  std::string SearchFile;
};

// The link from the folder `from` to the folder `to`, both absolute: up to
// where they part, then down ("../../srv/files/"); empty when they are one.
// Where no way leads from one to the other (two drives of Windows), the
// absolute file: address of `to`.
std::string FolderLink(const std::string& from, const std::string& to);

// What a link from a page of the tree leads to: "name/" or "name/INDEX" for
// a sub-folder with a page, the way to the page of a sub-folder listed
// elsewhere, "../" or "../INDEX" for the parent entry, the entry's own name
// after file_prefix (the run's LinkPrefix) for files. Appends the link,
// percent-encoded, and true; false (nothing appended) for a folder without
// a page.
bool AppendTreeLink(std::string& href, const TreePage& tree, const std::string& file_prefix,
                    const FileInfoX& entry);

// What follows a folder's "/" in a link to its page: the page's file where
// links name it, else nothing.
std::string PageFileLink(const TreePage& tree);

// The link from this page to the page of the folder `up` levels above it.
std::string TreeLinkUp(const TreePage& tree, size_t up);

// The levels of the way from the top that a page names: all of them up to
// kMostLevelsNamed, else the top and the last levels down to the page's
// own, the ones between left out, so that a page thousands of levels deep
// is as small as one near the top. The levels named after the top start at
// the index returned: 1 where none is left out.
constexpr size_t kMostLevelsNamed = 8;
size_t FirstLevelAfterTheTop(const TreePage& tree);

// What stands for the levels left out: "…" where names are UTF-8, "..."
// where they are in a code page that may not have it.
const char* LevelsLeftOutText();

// The way from the top down to the page's folder, as a page names it:
// "photos / 2024 / june", "photos / … / d / june" where levels are left out.
std::string TreePathShown(const TreePage& tree);

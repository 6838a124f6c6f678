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
  // Links name the page's file even where a web server would serve it for
  // the folder (index.html, index.htm): pages browsed from disk need it.
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
  // The way from the page's folder to the folder it lists, already a link
  // ("../../srv/files/"), where the pages stand apart from the files.
  std::string FileLinkPrefix;
};

// What a link from a page of the tree leads to: "name/" or "name/INDEX" for
// a sub-folder with a page, the way to the page of a sub-folder listed
// elsewhere, "../" or "../INDEX" for the parent entry, the entry's own name
// for files. Appends the link, percent-encoded, and true;
// false (nothing appended) for a folder without a page.
bool AppendTreeLink(std::string& href, const TreePage& tree, const FileInfoX& entry);

// The link from this page to the page of the folder `up` levels above it.
std::string TreeLinkUp(const TreePage& tree, size_t up);

// The search file of a tree of pages: every name of the tree, in a script
// file at the top of the pages that each page's "Search everywhere" loads
// (a script, which a page opened from disk may load where it may not read a
// file). The file is ASCII and every name in it is the data of a string;
// its rows come one line per folder, as the folders' pages are written.
#pragma once

#include <string>
#include <string_view>

#include "output/listing_run.h"
#include "output/tree_page.h"

// The search file's name at the top of the pages.
constexpr char kSearchFileName[] = "kestrova-search.js";

// The file's start: the mark on the first line, then what holds for every
// folder: what ends a link to a folder's page (PageFileLink of the top's
// page), and the way from the top of the pages to the top folder listed,
// which the links to files start with (empty where each page is in the
// folder it lists).
std::string SearchFileHead(const TreePage& top, const std::string& files_prefix);

// Appends the line of a listed folder of the tree (the run's Tree set): its
// way from the top as shown ("photos/2024"), the link from the top to its
// folder, and for each entry of its lists its name as the page shows it,
// its link from the folder as the page links it (null for a folder without
// a page) and whether it is a folder.
void AppendSearchFolder(std::string& out, const ListingRun& run);

// The file's end.
std::string SearchFileTail();

// True when a file's start is that of a search file this program wrote: its
// first line is the mark.
bool IsOwnSearchFile(std::string_view start);

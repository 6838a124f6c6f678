// A page in every folder of a tree: written relative to the folder that
// was listed, never through a link, never into anything but a regular file,
// and only over a page this program wrote; a page that would not change is
// left as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "output/forms.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// What the files' links of pages that stand apart lead to.
enum class PageFileLinks {
  kListedFolder,  // the folder listed, relative from the page
  kBesidePage,    // a file of the name beside the page (the pages go where the files are published)
  kBelowUrl,      // the path below a base URL
};

struct PageOptions {
  std::string IndexName;   // the pages' file name
  bool LinkIndex = false;  // links name the page's file always
  // Where the pages go: empty for each page in the folder it lists, else the
  // folder (absolute) under which a tree of the same shape holds them.
  std::string OutputDir;
  // The disk the pages' own folders are made on where they stand apart;
  // null for the disk the tree is listed from (a listing read from a file
  // is listed from memory and written to the system's disk).
  TreeDisk* PagesDisk = nullptr;
  // Where the pages stand apart, what their files' links lead to.
  PageFileLinks FileLinks = PageFileLinks::kListedFolder;
  std::string FilesUrl;  // kBelowUrl: the files' top, ending in "/"
  std::string TopShown;  // the top folder as the user gave it
  WriteMethod Method = WriteMethod::kWholeOrNothing;
  // Files a page is never written over, whatever they hold: the run's own
  // settings file.
  std::vector<FileIdentity> Protected;
  // The search file's name (kSearchFileName) at the top of the pages, which
  // holds every name of the tree for each page's "Search everywhere"; empty
  // for none. It is written as the pages are, over nothing but a search
  // file of this program's, and left as it is where it would not change.
  std::string SearchFile;
};

// What became of the search file.
enum class SearchFileState {
  kNone,       // none was asked for, or the top folder could not be listed
  kWritten,    // written
  kUnchanged,  // already as it would be written
  kKept,       // a file of its name that is not this program's, left as it is
  kFailed,     // could not be written (reported)
};

struct PageCounts {
  uint64_t Written = 0;    // pages written
  uint64_t Unchanged = 0;  // pages that were already as they would be written
  uint64_t Kept = 0;       // files of the pages' name that are not this program's, left as they are
  uint64_t Failed = 0;     // pages that could not be written
};

// What a tree of pages came to.
struct PagesOutcome {
  WalkCounts Walk;
  PageCounts Pages;
  // Set when nothing was walked: why (the pages' folder could not be made,
  // or is the folder listed).
  std::string Refusal;
  // Why the top folder could not be listed; then no page was written.
  std::string TopFailure;
  SearchFileState Search = SearchFileState::kNone;
};

// Lists DirStr and every folder below it that the settings and rules keep,
// and writes each folder's page in the form, which must carry a mark
// (OutputForm::IsOwnPage). Messages go to report: failures, and notes of
// files kept and folders not entered; progress is called as folders are done.
// With a search file, it is written from the calling thread as the pages are
// written, in the order of the tree, with the pages' own care.
PagesOutcome WriteTreePages(const CommonStruct& settings, const OutputForm& form, const WalkRules& rules,
                            const PageOptions& options, TreeDisk& disk, FolderSource& source,
                            const WalkReport& report,
                            const std::function<void(const WalkCounts&, const PageCounts&)>& progress);

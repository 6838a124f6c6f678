// The checks before a generation: a source folder is chosen and can be
// listed, and the output file's folder exists. Each check keeps what the
// system said; the window shows its own words for the failed checks
// (FolderCheckMessage), the command line names paths and reasons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

enum class SourceFolderState { kFound, kNotChosen, kMissing };

// What the checks found, with the folders they looked at and, for each
// failed one, what the system said of it.
struct FolderCheck {
  std::string SourceFolder;
  std::string OutputFolder;
  SourceFolderState Source = SourceFolderState::kFound;
  FolderStatus SourceStatus = FolderStatus::kFolder;
  std::string SourceReason;
  bool OutputMissing = false;
  FolderStatus OutputStatus = FolderStatus::kFolder;
  std::string OutputReason;
};

// Tells what a path names, as InspectFolder does.
using FolderTest = FolderStatus (*)(const std::string& path, bool to_list, std::string& reason);

// Checks the source folder and, with check_output set, the output folder.
FolderCheck CheckListingFolders(const std::string& source_folder, const std::string& output_folder,
                                bool check_output, FolderTest test = InspectFolder);

// How the window spells the message about the failed checks.
struct FolderMessageStyle {
  std::string_view SourceLineEnd;  // after the line about the source folder
  std::string_view OutputLineEnd;  // after the line about the output folder
};

// One line for each failed check, the source folder's first, in the
// window's words; empty when every check passed.
std::string FolderCheckMessage(const FolderCheck& check, const FolderMessageStyle& style);

// The words for a folder that failed a check, for a message that names the
// path: "No such folder", "Not a folder", or what the system said.
std::string FolderProblem(FolderStatus status, const std::string& reason);

// "cannot list PATH: REASON", the path's control bytes escaped: the one
// message of a folder that could not be listed, in every front end's words.
std::string ListingFailureText(const std::string& path, const std::string& reason);

// "no checksum of PATH: REASON", the path's control bytes escaped: a file
// that could not be read whole, or changed while it was read.
std::string ChecksumFailureText(const std::string& path, const std::string& reason);

// Every checksum failure of a listing of the folder, a line each, in the
// order of the files' names.
std::vector<std::string> ChecksumFailureTexts(const std::string& folder, const DirFileStruct& listing);

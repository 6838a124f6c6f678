// The checks before a generation: a source folder is chosen and exists, and
// the output file's folder exists. The window and the command line share the
// checks and their words; each ends the lines in its own way.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

enum class SourceFolderState { kFound, kNotChosen, kMissing };

// What the checks found, with the folders they looked at.
struct FolderCheck {
  std::string SourceFolder;
  std::string OutputFolder;
  SourceFolderState Source = SourceFolderState::kFound;
  bool OutputMissing = false;
};

// Tells whether a path names a folder.
using FolderTest = bool (*)(const std::string& path);

// Checks the source folder and, with check_output set, the output folder.
FolderCheck CheckListingFolders(const std::string& source_folder, const std::string& output_folder,
                                bool check_output, FolderTest folder_exists = IsExistingFolder);

// How a front end spells the message about the failed checks.
struct FolderMessageStyle {
  std::string_view SourceLineEnd;   // after the line about the source folder
  std::string_view OutputLineEnd;   // after the line about the output folder
  bool NamesMissingSource = false;  // "must exist: <folder>" rather than "must exist."
};

// One line for each failed check, the source folder's first; empty when
// every check passed.
std::string FolderCheckMessage(const FolderCheck& check, const FolderMessageStyle& style);

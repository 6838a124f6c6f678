#include "output/folder_check.h"

FolderCheck CheckListingFolders(const std::string& source_folder, const std::string& output_folder,
                                bool check_output, FolderTest folder_exists) {
  FolderCheck check;
  check.SourceFolder = source_folder;
  check.OutputFolder = output_folder;
  if (source_folder.empty()) {
    check.Source = SourceFolderState::kNotChosen;
  } else if (!folder_exists(source_folder)) {
    check.Source = SourceFolderState::kMissing;
  }
  check.OutputMissing = check_output && !folder_exists(output_folder);
  return check;
}

std::string FolderCheckMessage(const FolderCheck& check, const FolderMessageStyle& style) {
  std::string message;
  if (check.Source == SourceFolderState::kNotChosen) {
    message = "Choose source directory.";
  } else if (check.Source == SourceFolderState::kMissing) {
    message = style.NamesMissingSource ? "Source directory must exist: " + check.SourceFolder
                                       : std::string("Source directory must exist.");
  }
  if (!message.empty()) message += style.SourceLineEnd;
  if (check.OutputMissing) {
    message += "Output directory - " + check.OutputFolder + " doesn't exist.";
    message += style.OutputLineEnd;
  }
  return message;
}

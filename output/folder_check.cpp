#include "output/folder_check.h"

#include "output/escapes.h"

FolderCheck CheckListingFolders(const std::string& source_folder, const std::string& output_folder,
                                bool check_output, FolderTest test) {
  FolderCheck check;
  check.SourceFolder = source_folder;
  check.OutputFolder = output_folder;
  if (source_folder.empty()) {
    check.Source = SourceFolderState::kNotChosen;
  } else {
    check.SourceStatus = test(source_folder, true, check.SourceReason);
    if (check.SourceStatus != FolderStatus::kFolder) check.Source = SourceFolderState::kMissing;
  }
  if (check_output) {
    check.OutputStatus = test(output_folder, false, check.OutputReason);
    check.OutputMissing = check.OutputStatus != FolderStatus::kFolder;
  }
  return check;
}

std::string FolderCheckMessage(const FolderCheck& check, const FolderMessageStyle& style) {
  std::string message;
  if (check.Source == SourceFolderState::kNotChosen) {
    message = "Choose source directory.";
  } else if (check.Source == SourceFolderState::kMissing) {
    message = "Source directory must exist.";
  }
  if (!message.empty()) message += style.SourceLineEnd;
  if (check.OutputMissing) {
    message += "Output directory - " + check.OutputFolder + " doesn't exist.";
    message += style.OutputLineEnd;
  }
  return message;
}

std::string FolderProblem(FolderStatus status, const std::string& reason) {
  switch (status) {
    case FolderStatus::kMissing:
      return "No such folder";
    case FolderStatus::kNotFolder:
      return "Not a folder";
    case FolderStatus::kFolder:
    case FolderStatus::kRefused:
      break;
  }
  return reason;
}

std::string ListingFailureText(const std::string& path, const std::string& reason) {
  return "cannot list " + ControlEscaped(path) + ": " + reason;
}

std::string ChecksumFailureText(const std::string& path, const std::string& reason) {
  return "no checksum of " + ControlEscaped(path) + ": " + reason;
}

std::vector<std::string> ChecksumFailureTexts(const std::string& folder, const DirFileStruct& listing) {
  std::vector<std::string> texts;
  for (const auto& [name, reason] : listing.Values.ChecksumFailures)
    texts.push_back(ChecksumFailureText(JoinPath(folder, name), reason));
  return texts;
}

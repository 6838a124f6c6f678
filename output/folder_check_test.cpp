#include "output/folder_check.h"

#include <gtest/gtest.h>

namespace {

// "src" and "out" are folders, "file" is none, "locked" may not be listed.
FolderStatus FakeFolders(const std::string& path, bool to_list, std::string& reason) {
  if (path == "src" || path == "out") return FolderStatus::kFolder;
  if (path == "file") {
    reason = "Not a directory";
    return FolderStatus::kNotFolder;
  }
  if (path == "locked") {
    reason = "Permission denied";
    return to_list ? FolderStatus::kRefused : FolderStatus::kFolder;
  }
  reason = "No such file or directory";
  return FolderStatus::kMissing;
}

const FolderMessageStyle kWindowStyle{"\n\r", ""};

TEST(ListingFolders, PassesWithBothFoldersPresent) {
  FolderCheck check = CheckListingFolders("src", "out", true, FakeFolders);
  EXPECT_EQ(check.Source, SourceFolderState::kFound);
  EXPECT_FALSE(check.OutputMissing);
  EXPECT_EQ(FolderCheckMessage(check, kWindowStyle), "");
  EXPECT_FALSE(CheckListingFolders("src", "locked", true, FakeFolders).OutputMissing)
      << "the writer says for itself what it may not write";
}

TEST(ListingFolders, NamesEveryFailedCheckSourceFirstInTheWindowsWords) {
  struct Case {
    const char* source;
    const char* output;
    const char* window;
  };
  const Case cases[] = {
      {"", "out", "Choose source directory.\n\r"},
      {"gone", "out", "Source directory must exist.\n\r"},
      {"file", "out", "Source directory must exist.\n\r"},
      {"locked", "out", "Source directory must exist.\n\r"},
      {"src", "away", "Output directory - away doesn't exist."},
      {"", "away", "Choose source directory.\n\rOutput directory - away doesn't exist."},
      {"gone", "", "Source directory must exist.\n\rOutput directory -  doesn't exist."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " | " + c.output);
    FolderCheck check = CheckListingFolders(c.source, c.output, true, FakeFolders);
    EXPECT_TRUE(check.Source != SourceFolderState::kFound || check.OutputMissing);
    EXPECT_EQ(FolderCheckMessage(check, kWindowStyle), c.window);
  }
}

TEST(ListingFolders, KeepTheSystemsReasonForTheCommandLine) {
  FolderCheck check = CheckListingFolders("locked", "file", true, FakeFolders);
  EXPECT_EQ(FolderProblem(check.SourceStatus, check.SourceReason), "Permission denied");
  EXPECT_EQ(FolderProblem(check.OutputStatus, check.OutputReason), "Not a folder");
  check = CheckListingFolders("gone", "away", true, FakeFolders);
  EXPECT_EQ(FolderProblem(check.SourceStatus, check.SourceReason), "No such folder");
  EXPECT_EQ(FolderProblem(check.OutputStatus, check.OutputReason), "No such folder");
}

TEST(ListingFolders, LeavesTheOutputFolderAloneWhenAskedTo) {
  FolderCheck check = CheckListingFolders("src", "away", false, FakeFolders);
  EXPECT_EQ(check.Source, SourceFolderState::kFound);
  EXPECT_FALSE(check.OutputMissing);
  check = CheckListingFolders("gone", "", false, FakeFolders);
  EXPECT_EQ(check.Source, SourceFolderState::kMissing);
  EXPECT_FALSE(check.OutputMissing);
}

}  // namespace

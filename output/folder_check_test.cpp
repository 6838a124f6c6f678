#include "output/folder_check.h"

#include <gtest/gtest.h>

namespace {

// Only "src" and "out" exist.
bool FakeFolderExists(const std::string& path) { return path == "src" || path == "out"; }

const FolderMessageStyle kWindowStyle{"\n\r", "", false};
const FolderMessageStyle kCommandLineStyle{"\n", "\n", true};

TEST(ListingFolders, PassesWithBothFoldersPresent) {
  FolderCheck check = CheckListingFolders("src", "out", true, FakeFolderExists);
  EXPECT_EQ(check.Source, SourceFolderState::kFound);
  EXPECT_FALSE(check.OutputMissing);
  EXPECT_EQ(FolderCheckMessage(check, kWindowStyle), "");
  EXPECT_EQ(FolderCheckMessage(check, kCommandLineStyle), "");
}

TEST(ListingFolders, NamesEveryFailedCheckSourceFirstInEachFrontEndsSpelling) {
  struct Case {
    const char* source;
    const char* output;
    const char* window;
    const char* command_line;
  };
  const Case cases[] = {
      {"", "out", "Choose source directory.\n\r", "Choose source directory.\n"},
      {"gone", "out", "Source directory must exist.\n\r", "Source directory must exist: gone\n"},
      {"src", "away", "Output directory - away doesn't exist.", "Output directory - away doesn't exist.\n"},
      {"", "away", "Choose source directory.\n\rOutput directory - away doesn't exist.",
       "Choose source directory.\nOutput directory - away doesn't exist.\n"},
      {"gone", "", "Source directory must exist.\n\rOutput directory -  doesn't exist.",
       "Source directory must exist: gone\nOutput directory -  doesn't exist.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " | " + c.output);
    FolderCheck check = CheckListingFolders(c.source, c.output, true, FakeFolderExists);
    EXPECT_TRUE(check.Source != SourceFolderState::kFound || check.OutputMissing);
    EXPECT_EQ(FolderCheckMessage(check, kWindowStyle), c.window);
    EXPECT_EQ(FolderCheckMessage(check, kCommandLineStyle), c.command_line);
  }
}

TEST(ListingFolders, LeavesTheOutputFolderAloneWhenAskedTo) {
  FolderCheck check = CheckListingFolders("src", "away", false, FakeFolderExists);
  EXPECT_EQ(check.Source, SourceFolderState::kFound);
  EXPECT_FALSE(check.OutputMissing);
  EXPECT_EQ(FolderCheckMessage(check, kCommandLineStyle), "");
  check = CheckListingFolders("gone", "", false, FakeFolderExists);
  EXPECT_EQ(check.Source, SourceFolderState::kMissing);
  EXPECT_FALSE(check.OutputMissing);
}

}  // namespace

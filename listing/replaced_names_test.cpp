#include "listing/replaced_names.h"

#include <gtest/gtest.h>

#include "listing/scan.h"
#include "tests/memory_folder_source.h"

namespace {

// A folder as Windows hands it to a program whose code page lacks the
// characters of two names (日本.txt and Ελλάδα.txt arrive as ??.txt and
// ????da.txt), and a folder named with one such character.
class ReplacedNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record.DirStr = "Data";
    source.Folders["Data"] = {
        MakeRecord(".", kFolderBits), MakeRecord("..", kFolderBits),   MakeRecord("?", kFolderBits),
        MakeRecord("??.txt", 32, 1),  MakeRecord("????da.txt", 32, 2), MakeRecord("plain.txt", 32, 3),
    };
  }

  // Counted as the front ends count: after the scan, over what it listed.
  size_t ScanAndCount() {
    std::string failure;
    DirFileStruct listing;
    EXPECT_TRUE(ScanListing(ScanRulesOf(record), record.DirStr, source, listing, failure)) << failure;
    return CountReplacedNames(listing);
  }

  // Where "?" is an ordinary character, nothing was replaced.
  static size_t Replaced(size_t count) {
    return NamesShowUnrepresentableCharactersAsQuestionMarks() ? count : 0;
  }

  CommonStruct record;
  MemoryFolderSource source;
};

TEST_F(ReplacedNamesTest, CountsTheListedNamesThatHoldAQuestionMarkOnce) {
  record.DirMask = record.FileMask = "*.*";
  EXPECT_EQ(ScanAndCount(), Replaced(3));

  // Two passes over the folder, one per mask, still count each entry once.
  record.DirMask = "*";
  EXPECT_EQ(ScanAndCount(), Replaced(3));

  // Only what the masks let through is listed, and so counted.
  record.FileMask = "*.txt";
  record.DirMask = "none";
  EXPECT_EQ(ScanAndCount(), Replaced(2));
}

TEST_F(ReplacedNamesTest, AListingWithoutSuchNamesCountsNone) {
  source.Folders["Data"] = {MakeRecord("plain.txt", 32, 3), MakeRecord("Sub", kFolderBits)};
  record.DirMask = record.FileMask = "*.*";
  EXPECT_EQ(ScanAndCount(), 0u);
}

TEST(ReplacedNamesText, SaysHowManyNames) {
  EXPECT_EQ(ReplacedNamesText(1), "1 name could not be represented in the code page");
  EXPECT_EQ(ReplacedNamesText(3), "3 names could not be represented in the code page");
}

}  // namespace

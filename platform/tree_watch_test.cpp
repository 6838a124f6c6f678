// The system's watch of a tree on a real folder: a file made, written and
// renamed is told by the folder that holds it, and a quiet watch times out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

// Waits (up to 10 s) until the watch tells of the name in the folder.
bool Sees(TreeWatch& watch, const std::string& folder, const std::string& name) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    std::vector<WatchChange> changes;
    std::string reason;
    const WatchWait waited = watch.Wait(500, changes, reason);
    EXPECT_NE(waited, WatchWait::kFailed) << reason;
    if (waited == WatchWait::kFailed) return false;
    for (const WatchChange& change : changes) {
      if (change.Folder == folder && change.Name == name) return true;
    }
  }
  return false;
}

// Takes every change told so far.
void Drain(TreeWatch& watch) {
  std::vector<WatchChange> changes;
  std::string reason;
  while (watch.Wait(300, changes, reason) != WatchWait::kTimeout) changes.clear();
}

TEST(TreeWatch, TellsEachChangeByTheFolderThatHoldsIt) {
  ScopedTempFolder top;
  const std::string sub = top.Join("sub");
  std::string reason;
  ASSERT_TRUE(MakeFolders(sub, reason)) << reason;
  std::unique_ptr<TreeWatch> watch = MakeTreeWatch(top.path(), reason);
  ASSERT_NE(watch, nullptr) << reason;
  ASSERT_EQ(watch->Add(top.path(), reason), WatchAdd::kAdded) << reason;
  ASSERT_EQ(watch->Add(sub, reason), WatchAdd::kAdded) << reason;

  const std::string file = sub + FolderSeparator() + "file";
  WriteFileBytes(file, "written");
  EXPECT_TRUE(Sees(*watch, sub, "file"));
  Drain(*watch);
  ASSERT_EQ(std::rename(file.c_str(), top.Join("moved").c_str()), 0);
  EXPECT_TRUE(Sees(*watch, top.path(), "moved"));
  Drain(*watch);

  std::vector<WatchChange> changes;
  EXPECT_EQ(watch->Wait(100, changes, reason), WatchWait::kTimeout);
  EXPECT_TRUE(changes.empty());
}

}  // namespace

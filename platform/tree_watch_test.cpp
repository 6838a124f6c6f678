// The system's watch of a tree on a real folder: a file made, written and
// renamed is told by the folder that holds it, and a quiet watch times out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include "platform/win32port.h"
#endif

namespace {

// Wine (8.0) tells ReadDirectoryChangesW's changes of the top alone, not of
// the folders below it, which Windows tells.
bool TellsChangesBelowTheTop() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
#else
  return true;
#endif
}

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

  WriteFileBytes(top.Join("file"), "written");
  EXPECT_TRUE(Sees(*watch, top.path(), "file"));
  Drain(*watch);
  ASSERT_EQ(std::rename(top.Join("file").c_str(), top.Join("renamed").c_str()), 0);
  EXPECT_TRUE(Sees(*watch, top.path(), "renamed"));
  Drain(*watch);
  if (TellsChangesBelowTheTop()) {
    const std::string below = sub + FolderSeparator() + "below";
    ASSERT_EQ(std::rename(top.Join("renamed").c_str(), below.c_str()), 0);
    EXPECT_TRUE(Sees(*watch, sub, "below"));
    Drain(*watch);
  }

  std::vector<WatchChange> changes;
  EXPECT_EQ(watch->Wait(100, changes, reason), WatchWait::kTimeout);
  EXPECT_TRUE(changes.empty());
}

}  // namespace

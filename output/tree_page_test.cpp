// Links between folders, and the way from the top that a page names.
#include "output/tree_page.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace {

// A path of this platform from one written with "/".
std::string Native(std::string path) {
  if (FolderSeparator() == '\\') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return "C:" + path;
  }
  return path;
}

TEST(FolderLink, UpToWhereTheFoldersPartThenDown) {
  EXPECT_EQ(FolderLink(Native("/home/u/build"), Native("/home/u/photos")), "../photos/");
  EXPECT_EQ(FolderLink(Native("/home/u/build/a/b"), Native("/home/u/photos")), "../../../photos/");
  EXPECT_EQ(FolderLink(Native("/home/u/photos/site"), Native("/home/u/photos")), "../");
  EXPECT_EQ(FolderLink(Native("/home/u"), Native("/home/u/photos/2024")), "photos/2024/");
  EXPECT_EQ(FolderLink(Native("/home/u/photos"), Native("/home/u/photos/")), "") << "one folder";
  EXPECT_EQ(FolderLink(Native("/srv/out"), Native("/home/my docs/#1 100%")),
            "../../home/my%20docs/%231%20100%25/")
      << "each name as a link";
}

TEST(FolderLink, AWindowsDriveOrShareMeetsOnlyItsOwn) {
  if (FolderSeparator() != '\\') GTEST_SKIP() << "drives are Windows's";
  EXPECT_EQ(FolderLink("C:\\out", "c:\\Photos"), "../Photos/") << "a drive's letter in either case";
  EXPECT_EQ(FolderLink("C:\\out", "D:\\my photos"), "file:///D:/my%20photos/");
  EXPECT_EQ(FolderLink("C:\\out", "\\\\server\\share\\photos"), "file://server/share/photos/");
}

TEST(TreePathShown, TheTopAndTheLastLevelsOfADeepWay) {
  TreePage tree;
  tree.Path = {"photos"};
  EXPECT_EQ(TreePathShown(tree), "photos");
  tree.Path = {"photos", "2024", "june"};
  EXPECT_EQ(TreePathShown(tree), "photos / 2024 / june");
  EXPECT_EQ(FirstLevelAfterTheTop(tree), 1u);
  tree.Path.clear();
  for (size_t level = 0; level < kMostLevelsNamed + 1; ++level) tree.Path.push_back(std::to_string(level));
  EXPECT_EQ(TreePathShown(tree), "0 / " + std::string(LevelsLeftOutText()) + " / 3 / 4 / 5 / 6 / 7 / 8");
}

}  // namespace

// File types on POSIX: the shared-mime-info database's matching order.
#include "platform/mime_types_posix.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

// A database of the installed layout: globs2 and one file per type.
class MimeDatabase {
 public:
  explicit MimeDatabase(const std::string& globs) {
    WriteFileBytes(folder_.Join("globs2"), "# written by a test\n" + globs);
  }
  void AddType(const std::string& type, const std::string& comment) {
    fs::create_directories(fs::path(folder_.Join(type)).parent_path());
    WriteFileBytes(folder_.Join(type + ".xml"),
                   "<?xml version=\"1.0\"?>\n<mime-type type=\"" + type + "\">\n  <comment>" + comment +
                       "</comment>\n  <comment xml:lang=\"de\">anders</comment>\n</mime-type>\n");
  }
  std::string Root() const { return folder_.path() + "/"; }

 private:
  ScopedTempFolder folder_;
};

std::string Described(MimeTypes& types, const std::string& extension) {
  std::string description;
  return types.Describe(extension, description) ? description : "(none)";
}

TEST(MimeTypes, FollowTheDatabasesOrder) {
  MimeDatabase database(
      "50:text/x-genie:*.gs:cs\n"
      "50:text/x-c++src:*.C:cs\n"
      "50:text/x-c++src:*.C\n"
      "50:text/x-csrc:*.c:cs\n"
      "50:text/x-csrc:*.c\n"
      "50:text/x-chdr:*.h\n"
      "50:a/light:*.w\n"
      "60:a/heavy:*.w\n"
      "50:a/first:*.ts\n"
      "50:a/second:*.ts\n"
      "50:a/short:*.[1-9]\n"
      "50:a/long:*.[1-9]*\n"
      "90:a/wildcard:*.x?\n"
      "50:a/suffix:*.xy\n"
      "50:a/trash:*~\n"
      "50:a/whole:.gtkrc\n"
      "50:a/no-comment:*.nc\n"
      "broken line\n");
  for (const char* type : {"text/x-genie", "text/x-csrc", "text/x-chdr", "a/light", "a/heavy", "a/first",
                           "a/second", "a/short", "a/long", "a/wildcard", "a/suffix", "a/trash", "a/whole"}) {
    database.AddType(type, type);
  }
  database.AddType("text/x-c++src", "C++ source &amp; &lt;more&gt;");
  MimeTypes types(database.Root());

  EXPECT_EQ(Described(types, ".c"), "text/x-csrc");
  EXPECT_EQ(Described(types, ".C"), "C++ source & <more>") << "case-sensitive patterns first";
  EXPECT_EQ(Described(types, ".h"), "text/x-chdr");
  EXPECT_EQ(Described(types, ".H"), "text/x-chdr") << "then the others in lower case";
  EXPECT_EQ(Described(types, ".GS"), "(none)") << "a case-sensitive pattern repeated without its flag";
  EXPECT_EQ(Described(types, ".gs"), "text/x-genie");
  EXPECT_EQ(Described(types, ".W"), "a/heavy") << "the heaviest wherever it is listed";
  EXPECT_EQ(Described(types, ".ts"), "a/first") << "the first listed of equals";
  EXPECT_EQ(Described(types, ".1"), "a/long") << "the longest pattern of one weight";
  EXPECT_EQ(Described(types, ".xy"), "a/suffix") << "*.ext patterns before other wildcards";
  EXPECT_EQ(Described(types, ".xz"), "a/wildcard");
  EXPECT_EQ(Described(types, ".txt~"), "a/trash");
  EXPECT_EQ(Described(types, ".gtkrc"), "(none)") << "a whole file's name says nothing of an extension";
  EXPECT_EQ(Described(types, ".nc"), "(none)") << "a type without its file";
  EXPECT_EQ(Described(types, ".none"), "(none)");
  EXPECT_EQ(Described(types, "."), "(none)");

  std::string mime_type;
  ASSERT_TRUE(types.LookUp(".C", mime_type)) << "the MIME type follows the same order";
  EXPECT_EQ(mime_type, "text/x-c++src");
  ASSERT_TRUE(types.LookUp(".W", mime_type));
  EXPECT_EQ(mime_type, "a/heavy");
  ASSERT_TRUE(types.LookUp(".nc", mime_type)) << "a type without its file still has its name";
  EXPECT_EQ(mime_type, "a/no-comment");
  EXPECT_FALSE(types.LookUp(".gtkrc", mime_type));
  EXPECT_FALSE(types.LookUp(".none", mime_type));
}

TEST(MimeTypes, AMissingDatabaseDescribesNothing) {
  ScopedTempFolder empty;
  MimeTypes types(empty.path() + "/");
  EXPECT_EQ(Described(types, ".txt"), "(none)");
}

TEST(MimeTypes, TheInstalledDatabaseSaysWhatItsOwnToolsSay) {
  std::string description;
  FolderSource& source = SystemFolderSource();
  ASSERT_TRUE(source.DescribeType(".c", description));
  EXPECT_EQ(description, "C source code");
  ASSERT_TRUE(source.DescribeType(".C", description));
  EXPECT_EQ(description, "C++ source code");
  ASSERT_TRUE(source.DescribeType(".H", description));
  EXPECT_EQ(description, "C header");
  ASSERT_TRUE(source.DescribeType(".PNG", description));
  EXPECT_EQ(description, "PNG image");
  ASSERT_TRUE(source.DescribeType(".py", description));
  EXPECT_EQ(description, "Python script");
  ASSERT_TRUE(source.DescribeType(".htm", description));
  EXPECT_EQ(description, "HTML document");
}

TEST(MimeTypes, TheSystemSourceNamesTheTypesOfTheInstalledDatabase) {
  std::string mime_type;
  FolderSource& source = SystemFolderSource();
  ASSERT_TRUE(source.LookUpMimeType(".c", mime_type));
  EXPECT_EQ(mime_type, "text/x-csrc");
  ASSERT_TRUE(source.LookUpMimeType(".PNG", mime_type));
  EXPECT_EQ(mime_type, "image/png");
  ASSERT_TRUE(source.LookUpMimeType(".json", mime_type));
  EXPECT_EQ(mime_type, "application/json");
  EXPECT_FALSE(source.LookUpMimeType(".no-such-type-here", mime_type));
}

}  // namespace

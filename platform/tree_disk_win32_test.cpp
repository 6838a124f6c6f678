// The walk's disk over Win32 on real folders: what Windows itself decides
// (sharing, reparse points, devices, times), which the memory disk cannot
// show.
#include "platform/win32port.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<OpenFolder> OpenOrNull(const std::string& path) {
  std::string reason;
  std::unique_ptr<OpenFolder> folder = SystemTreeDisk().Open(path, reason);
  EXPECT_NE(folder, nullptr) << path << ": " << reason;
  return folder;
}

std::vector<std::string> TemporaryNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (IsTemporaryFileName(entry.path().filename().string()))
      names.push_back(entry.path().filename().string());
  }
  return names;
}

std::vector<FolderRecord> Records(OpenFolder& folder) {
  std::vector<FolderRecord> records;
  std::string failure;
  EXPECT_TRUE(folder.Enumerate(
      "*", [&records](const FolderRecord& record) { records.push_back(record); }, failure))
      << failure;
  return records;
}

const FolderRecord* RecordNamed(const std::vector<FolderRecord>& records, const std::string& name) {
  for (const FolderRecord& record : records) {
    if (record.cFileName == name) return &record;
  }
  return nullptr;
}

TEST(Win32TreeDisk, AFolderHeldOpenStaysWhereItsPathSays) {
  ScopedTempFolder top;
  const std::string sub = top.Join("sub");
  ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
  const std::string moved = top.Join("moved");
  {
    std::unique_ptr<OpenFolder> held = OpenOrNull(sub);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(MoveFileA(sub.c_str(), moved.c_str())) << "moved away while held";
    EXPECT_FALSE(RemoveDirectoryA(sub.c_str())) << "removed while held";
    // What goes into the folder is not held up.
    std::string reason;
    std::unique_ptr<NewFile> page = held->WriteFile("index.html", WriteMethod::kWholeOrNothing, reason);
    ASSERT_NE(page, nullptr) << reason;
    EXPECT_TRUE(page->Write("page") && page->Commit()) << page->FailureReason();
    EXPECT_EQ(ReadFileBytes(top.Join("sub\\index.html")), "page");
    // A second hold of the same folder, as a reopen for its page takes.
    EXPECT_NE(OpenOrNull(sub), nullptr);
  }
  EXPECT_TRUE(MoveFileA(sub.c_str(), moved.c_str())) << "free once let go";
}

TEST(Win32TreeDisk, AFolderWhosePathLeadsElsewhereIsNeitherListedNorWritten) {
  ScopedTempFolder top;
  ASSERT_TRUE(CreateDirectoryA(top.Join("a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(top.Join("a\\sub").c_str(), nullptr));
  std::unique_ptr<OpenFolder> held = OpenOrNull(top.Join("a\\sub"));
  ASSERT_NE(held, nullptr);
  // Windows keeps the folders above a held one where they are; Wine does not.
  if (!MoveFileA(top.Join("a").c_str(), top.Join("moved").c_str())) GTEST_SKIP() << "kept where it is";
  ASSERT_TRUE(CreateDirectoryA(top.Join("a").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(top.Join("a\\sub").c_str(), nullptr));
  WriteFileBytes(top.Join("a\\sub\\theirs.txt"), "someone else's");
  std::string reason;
  EXPECT_FALSE(held->Enumerate(
      "*", [](const FolderRecord&) {}, reason));
  EXPECT_EQ(reason, "replaced by another folder since it was listed");
  reason.clear();
  EXPECT_EQ(held->WriteFile("index.html", WriteMethod::kWholeOrNothing, reason), nullptr);
  EXPECT_EQ(reason, "replaced by another folder since it was listed");
  EXPECT_FALSE(fs::exists(top.Join("a\\sub\\index.html")));
}

TEST(Win32TreeDisk, FoldersAreKnownByTheirIdentity) {
  ScopedTempFolder top;
  ASSERT_TRUE(CreateDirectoryA(top.Join("sub").c_str(), nullptr));
  WriteFileBytes(top.Join("file.txt"), "text");
  std::unique_ptr<OpenFolder> folder = OpenOrNull(top.path());
  ASSERT_NE(folder, nullptr);
  FileIdentity sub_identity;
  ASSERT_TRUE(IdentifyFile(top.Join("sub"), sub_identity));
  EXPECT_NE(sub_identity, folder->Identity());

  const std::vector<FolderRecord> records = Records(*folder);
  ASSERT_NE(RecordNamed(records, "sub"), nullptr);
  EXPECT_EQ(RecordNamed(records, "sub")->Identity, sub_identity) << "a folder's record tells its identity";
  ASSERT_NE(RecordNamed(records, "file.txt"), nullptr);
  EXPECT_EQ(RecordNamed(records, "file.txt")->Identity, FileIdentity()) << "a file's is not asked for";

  FileIdentity named;
  ASSERT_TRUE(folder->Identify("sub", named));
  EXPECT_EQ(named, sub_identity);

  // Another folder put in the place of one listed is not taken for it.
  std::string reason;
  EXPECT_NE(SystemTreeDisk().Reopen(top.Join("sub"), sub_identity, false, reason), nullptr) << reason;
  ASSERT_TRUE(MoveFileA(top.Join("sub").c_str(), top.Join("old").c_str()));
  ASSERT_TRUE(CreateDirectoryA(top.Join("sub").c_str(), nullptr));
  EXPECT_EQ(SystemTreeDisk().Reopen(top.Join("sub"), sub_identity, false, reason), nullptr);
  EXPECT_EQ(reason, "replaced by another folder since it was listed");
  EXPECT_EQ(SystemTreeDisk().Reopen(top.Join("file.txt"), sub_identity, false, reason), nullptr);

  // A folder made for pages tells the identity that a reopen checks.
  FileIdentity made;
  ASSERT_TRUE(folder->MakeFolder("pages", made, reason)) << reason;
  EXPECT_NE(SystemTreeDisk().Reopen(top.Join("pages"), made, false, reason), nullptr) << reason;
  ASSERT_TRUE(folder->MakeFolder("pages", made, reason)) << "an existing folder will do: " << reason;
  EXPECT_FALSE(folder->MakeFolder("file.txt", made, reason));
}

TEST(Win32TreeDisk, AFoldersTimeIsReadAndSetThroughItsHandle) {
  ScopedTempFolder top;
  ASSERT_TRUE(CreateDirectoryA(top.Join("sub").c_str(), nullptr));
  std::unique_ptr<OpenFolder> sub = OpenOrNull(top.Join("sub"));
  ASSERT_NE(sub, nullptr);
  uint64_t before = 0;
  ASSERT_TRUE(sub->WriteTime(before));
  const uint64_t set = 126000000000000000ULL;  // in 2000, far from now
  ASSERT_TRUE(sub->SetWriteTime(set));
  uint64_t after = 0;
  ASSERT_TRUE(sub->WriteTime(after));
  EXPECT_EQ(after, set);
  std::unique_ptr<OpenFolder> parent = OpenOrNull(top.path());
  ASSERT_NE(parent, nullptr);
  const std::vector<FolderRecord> records = Records(*parent);
  ASSERT_NE(RecordNamed(records, "sub"), nullptr);
  EXPECT_EQ(RecordNamed(records, "sub")->ftLastWriteTime, set) << "as the listing shows it";
}

TEST(Win32TreeDisk, ARunningWritersFileIsKeptAndAKilledOnesGoes) {
  ScopedTempFolder top;
  std::unique_ptr<OpenFolder> folder = OpenOrNull(top.path());
  ASSERT_NE(folder, nullptr);
  std::string reason;
  {
    std::unique_ptr<NewFile> writing = folder->WriteFile("index.html", WriteMethod::kWholeOrNothing, reason);
    ASSERT_NE(writing, nullptr) << reason;
    ASSERT_TRUE(writing->Write("half a page") && writing->WriteOut());
    const std::vector<std::string> names = TemporaryNames(top.path());
    ASSERT_EQ(names.size(), 1u);
    const std::string temporary = top.Join(names[0]);
    HANDLE reading =
        CreateFileA(temporary.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(reading, INVALID_HANDLE_VALUE) << "a writer's file is not for reading while it lives";
    if (reading != INVALID_HANDLE_VALUE) CloseHandle(reading);
    EXPECT_FALSE(folder->RemoveLeftover(names[0])) << "its writer still runs";
    EXPECT_EQ(TemporaryNames(top.path()), names);
  }
  EXPECT_TRUE(TemporaryNames(top.path()).empty()) << "discarded by its writer";

  // Left by a writer that was killed: nobody holds it.
  const std::string leftover = "~kestrova-0a1b2c.tmp";
  WriteFileBytes(top.Join(leftover), "half a page");
  EXPECT_TRUE(folder->RemoveLeftover(leftover));
  EXPECT_FALSE(fs::exists(top.Join(leftover)));

  // Only files of the writer's names.
  WriteFileBytes(top.Join("notes.tmp"), "mine");
  EXPECT_FALSE(folder->RemoveLeftover("notes.tmp"));
  EXPECT_TRUE(fs::exists(top.Join("notes.tmp")));
  ASSERT_TRUE(CreateDirectoryA(top.Join("~kestrova-0d0e0f.tmp").c_str(), nullptr));
  EXPECT_FALSE(folder->RemoveLeftover("~kestrova-0d0e0f.tmp"));
  EXPECT_TRUE(fs::is_directory(top.Join("~kestrova-0d0e0f.tmp")));
}

TEST(Win32TreeDisk, OnlyARegularFileIsReadOrReplaced) {
  ScopedTempFolder top;
  ASSERT_TRUE(CreateDirectoryA(top.Join("index.html").c_str(), nullptr));
  WriteFileBytes(top.Join("locked.html"), "kept");
  ASSERT_TRUE(SetFileAttributesA(top.Join("locked.html").c_str(), FILE_ATTRIBUTE_READONLY));
  std::unique_ptr<OpenFolder> folder = OpenOrNull(top.path());
  ASSERT_NE(folder, nullptr);
  std::string reason;
  EXPECT_EQ(folder->Look("index.html"), NodeKind::kFolder);
  EXPECT_EQ(folder->WriteFile("index.html", WriteMethod::kWholeOrNothing, reason), nullptr);
  EXPECT_EQ(folder->ReadFile("index.html"), nullptr);
  EXPECT_EQ(folder->WriteFile("locked.html", WriteMethod::kWholeOrNothing, reason), nullptr)
      << "a file made read-only stays as a direct write would leave it";
  EXPECT_EQ(reason, SystemReason(ERROR_ACCESS_DENIED));
  EXPECT_EQ(folder->Look("missing.html"), NodeKind::kMissing);
  EXPECT_EQ(folder->ReadFile("missing.html"), nullptr);
  // A device's name, in any folder, is the device.
  reason.clear();
  EXPECT_EQ(folder->WriteFile("NUL", WriteMethod::kWholeOrNothing, reason), nullptr);
  EXPECT_EQ(reason, "not a regular file");
  EXPECT_EQ(folder->WriteFile("NUL", WriteMethod::kInPlace, reason), nullptr);
  EXPECT_EQ(folder->ReadFile("NUL"), nullptr);
  SetFileAttributesA(top.Join("locked.html").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(top.Join("locked.html")), "kept");
}

TEST(Win32TreeDisk, AFileThatCannotBeMadeFailsWithTheSystemsReason) {
  ScopedTempFolder top;
  AtomicFile file;
  EXPECT_FALSE(file.Open(top.Join("missing\\index.html")));
  EXPECT_EQ(file.FailureReason(), SystemReason(ERROR_PATH_NOT_FOUND));
}

TEST(Win32TreeDisk, NothingGoesThroughALinkUnasked) {
  ScopedTempFolder top, elsewhere;
  ASSERT_TRUE(CreateDirectoryA(elsewhere.Join("site").c_str(), nullptr));
  WriteFileBytes(elsewhere.Join("site\\index.html"), "someone else's page");
  if (!MakeFolderLink(top.Join("index.html"), elsewhere.Join("site")) ||
      !MakeFolderLink(top.Join("linked"), elsewhere.Join("site"))) {
    GTEST_SKIP() << "the system makes no links to folders here";
  }
  FileIdentity site;
  ASSERT_TRUE(IdentifyFile(elsewhere.Join("site"), site));
  std::unique_ptr<OpenFolder> folder = OpenOrNull(top.path());
  ASSERT_NE(folder, nullptr);
  std::string reason;

  // A link where a page goes.
  EXPECT_EQ(folder->Look("index.html"), NodeKind::kLink);
  EXPECT_EQ(folder->ReadFile("index.html"), nullptr);
  for (WriteMethod method : {WriteMethod::kWholeOrNothing, WriteMethod::kInPlace}) {
    EXPECT_EQ(folder->WriteFile("index.html", method, reason), nullptr);
    EXPECT_EQ(reason, "a symbolic link has that name");
  }

  // A link where a folder is.
  const std::vector<FolderRecord> records = Records(*folder);
  ASSERT_NE(RecordNamed(records, "linked"), nullptr);
  EXPECT_TRUE(RecordNamed(records, "linked")->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_EQ(RecordNamed(records, "linked")->Identity, site) << "where it leads";
  EXPECT_EQ(folder->OpenChild("linked", false, reason), nullptr);
  EXPECT_EQ(reason, "a symbolic link, not a folder");
  EXPECT_EQ(SystemTreeDisk().Reopen(top.Join("linked"), site, false, reason), nullptr);
  EXPECT_EQ(reason, "a symbolic link, not a folder");
  FileIdentity made;
  EXPECT_FALSE(folder->MakeFolder("linked", made, reason));
  EXPECT_EQ(reason, "a symbolic link, not a folder");
  std::unique_ptr<OpenFolder> followed = folder->OpenChild("linked", true, reason);
  ASSERT_NE(followed, nullptr) << reason;
  EXPECT_EQ(followed->Identity(), site);
  EXPECT_NE(SystemTreeDisk().Reopen(top.Join("linked"), site, true, reason), nullptr) << reason;
  EXPECT_EQ(ReadFileBytes(elsewhere.Join("site\\index.html")), "someone else's page");
}

}  // namespace

// Checksums of a whole tree over a disk held in memory: the same document
// whatever the number of threads, and every file that could not be read
// told by the walk and counted as a failure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/forms.h"
#include "settings/settings_file.h"
#include "tests/memory_disk.h"
#include "tests/memory_folder_source.h"
#include "tests/tree_document.h"
#include "tree/document.h"
#include "tree/walk.h"

namespace {

using Written = TreeDocument;

Written SumsOf(MemoryDisk& disk, size_t threads, FormCode form = FormCode::kSums) {
  WalkRules rules;
  rules.Threads = threads;
  rules.Checksums = {DigestAlgorithm::kSha256};
  return DocumentOf(disk, form, rules);
}

std::string Sha256(const std::string& bytes) {
  std::unique_ptr<Digester> digester = MakeDigester(DigestAlgorithm::kSha256);
  digester->Update(bytes.data(), bytes.size());
  return digester->Finish();
}

void MakeTree(MemoryDisk& disk) {
  for (int folder = 0; folder < 12; ++folder) {
    const std::string path = "/top/d" + std::to_string(folder) + (folder % 3 == 0 ? "/deeper" : "");
    for (int file = 0; file < 9; ++file) {
      const size_t size = file == 0 && folder % 4 == 0 ? (2u << 20) + 3 : static_cast<size_t>(file * 101);
      disk.Add(path + "/f" + std::to_string(file), NodeKind::kFile,
               std::string(size, static_cast<char>('a' + (folder + file) % 26)));
    }
  }
  disk.Add("/top/top.txt", NodeKind::kFile, "top");
}

TEST(TreeChecksums, TheSumsOfATreeAreTheSameBytesOnOneThreadAndOnMany) {
  MemoryDisk disk;
  MakeTree(disk);
  const Written one = SumsOf(disk, 1);
  ASSERT_TRUE(one.Messages.empty());
  EXPECT_EQ(one.Result.Walk.Failed, 0u);
  for (size_t threads : {2, 4, 16}) EXPECT_EQ(SumsOf(disk, threads).Document, one.Document) << threads;
  EXPECT_NE(one.Document.find(Sha256("top") + "  top.txt\n"), std::string::npos);
  EXPECT_NE(one.Document.find(Sha256(std::string(101, 'e')) + "  d3/deeper/f1\n"), std::string::npos)
      << one.Document;
  for (FormCode form : {FormCode::kJson, FormCode::kCsv, FormCode::kLong}) {
    EXPECT_EQ(SumsOf(disk, 4, form).Document, SumsOf(disk, 1, form).Document);
  }
}

TEST(TreeChecksums, FilesThatCannotBeReadAreToldAndCountedAsFailures) {
  MemoryDisk disk;
  MakeTree(disk);
  disk.Add("/top/d1/locked", NodeKind::kFile, "x")->Unreadable = true;
  disk.Add("/top/d2/growing", NodeKind::kFile, "y")->AfterRead = [](MemoryDisk::Node& node) {
    node.Content += "z";
  };
  const Written written = SumsOf(disk, 2);
  EXPECT_EQ(written.Result.Walk.Failed, 2u);
  // The top as it was given, the names below it joined as the platform joins them.
  const std::vector<std::string> expected = {
      "no checksum of " + JoinPath(JoinPath("/top", "d1"), "locked") + ": Permission denied",
      "no checksum of " + JoinPath(JoinPath("/top", "d2"), "growing") + ": changed while it was read"};
  std::vector<std::string> messages = written.Messages;
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(messages, expected);
  EXPECT_EQ(written.Document.find("locked"), std::string::npos);
  EXPECT_EQ(written.Document.find("growing"), std::string::npos);
}

}  // namespace

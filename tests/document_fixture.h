// A listing that exercises every part of both output documents, read from
// an in-memory folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listing/entry.h"
#include "output/generate.h"
#include "settings/columns.h"
#include "tests/memory_folder_source.h"
#include "tests/test_support.h"

class DocumentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    source.Folders["/srv/Web & Root"] = {
        MakeRecord(".", 16, 0, 1),
        MakeRecord("..", 16, 0, 2),
        MakeRecord("docs", 16, 0, 3),
        MakeRecord("Images", 16 | 2, 0, 4),
        MakeRecord("index.html", 32, 1234567, 5),
        MakeRecord("a&b <c>.txt", 1 | 32, 1536, 6),
        MakeRecord("big.iso", 32 | 2048, 5368709120ULL, 7),
        MakeRecord("README", 128, 0, 8),
    };
    source.Types[".txt"] = "Text Document";
    source.Types[".html"] = "HTML <Page>";

    r.DirStr = "/srv/Web & Root";
    r.DirMask = "*.*";
    r.FileMask = "*.*";
    r.Title = "$ContentOf $DirPath";
    r.Base = "file://localhost/$DirPath";
    r.OutputFile = "C:\\out\\index.html";
    r.ContentOf = "Content of";
    r.FileSize = "bytes";
    r.Files = "Files";
    r.File = "File";
    r.Folder = "Folder";
    r.Folders = "Folders";
    r.TotalSize = "Total size";
    r.Name = "Name";
    r.Size = "Size";
    r.Type = "Type";
    r.LW = "Last Write";
    r.LR = "Last Read";
    r.CT = "Creation time";
    r.Attr = "Attributes";
    r.CapColor = "LIGHTBLUE";
    r.KeyCapColor = "HONEYDEW";
    r.KeyColColor = "LIGHTBLUE";
    r.DocColor = "#FFFFF0";
    r.TableColor = "WHITE";
    r.HeadCustom = "<META NAME =\"keywords\"  CONTENT =\"$DirPath\">";
    r.Befor = "<!-- $FolderCount folders -->\r\n";
    r.After = "<P>$FileCount files, $TotalSizeInKb KB</P>";
    r.CustTable = "ID = listing";
    r.CaptionStyle = "color:green;\r\n";
    r.TitleStyle = "color:navy;\r\n";
    r.NameStyle = "color:navy;";
    r.MaskStyle = "color:navy;\r\n";
    r.TableStyle = "color:red;\r\n";
    r.SummaryStyle = "Summary\r\ncolor:blue;\r\n";
    r.TableWidth = "100%";
    r.CellSpacing = 2;
    r.CellPadding = 4;
    r.TableBorder = true;
    r.DivideTable = true;
    r.ShowMasks = true;
    r.ShowSummary = true;
    r.DescOrder = true;
    r.IncludeParent = true;
    r.CreateLinks = true;
    r.Columns = ColumnsOfLetters("STWCRAH");
    r.SortBy = kSortBySize;
    r.SizeIn = kSizeInBytes;
  }

  // Makes the folder hold one file of each hostile name, listed by name in
  // rising order without folders or the parent entry; returns the names.
  std::vector<std::string> ListHostileFilesByName() {
    r.IncludeParent = false;
    r.DirMask = "none";
    r.SortBy = kSortByName;
    r.DescOrder = false;
    const std::vector<std::string> names = HostileNames();
    source.Folders[r.DirStr].clear();
    for (const std::string& name : names) source.Folders[r.DirStr].push_back(MakeRecord(name, 32));
    return names;
  }

  // Adds symbolic links to the folder: one to a folder, one to a file (with
  // its target's size), a dangling one and one that points to itself.
  void AddLinks() {
    std::vector<FolderRecord>& records = source.Folders[r.DirStr];
    records.push_back(MakeRecord("shared", 16 | 1024, 0, 9));
    records.push_back(MakeRecord("notes.txt", 32 | 1024, 42, 10));
    for (const char* broken : {"gone.txt", "self"}) {
      records.push_back(MakeRecord(broken, 128 | 1024, 0, 11));
      records.back().BrokenLink = true;
    }
    const std::string folder = r.DirStr + FolderSeparator();
    source.LinkTargets[folder + "shared"] = "../shared files";
    source.LinkTargets[folder + "notes.txt"] = "docs/notes \"1\".txt";
    source.LinkTargets[folder + "gone.txt"] = "/nowhere/gone.txt";
    source.LinkTargets[folder + "self"] = "self";
  }

  // The document of the form that Output names.
  std::string Document() {
    std::string failure;
    EXPECT_EQ(ComposeListing(r, PlaceOf(r), source, ClassicFormOf(r), run, failure), GenerateStatus::kWritten)
        << failure;
    return FlattenRun(run);
  }

  CommonStruct r;
  ListingRun run;
  MemoryFolderSource source;
};

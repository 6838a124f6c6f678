// kestrova-cli as a user meets it: the real program run as a child process
// on real folders, its exit status, standard output, standard error and files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "output/document_text.h"
#include "output/generate.h"
#include "platform/platform.h"
#include "settings/common_struct.h"
#include "settings/settings_file.h"
#include "tests/cli_harness.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include "platform/win32port.h"
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

TEST(CliCommandLine, HelpAndVersionGoToStandardOutput) {
  CliRun version = RunCli({"--version"});
  EXPECT_EQ(0, version.Status);
  EXPECT_EQ("", version.Err);
  EXPECT_TRUE(StartsWith(version.Out, "kestrova-cli (Kestrova) 1.51\nLicense: MIT.")) << version.Out;
  EXPECT_EQ(version.Out, RunCli({"-V"}).Out);
  EXPECT_EQ(version.Out, RunCli({"--vers"}).Out);

  CliRun help = RunCli({"-h"});
  EXPECT_EQ(0, help.Status);
  EXPECT_EQ("", help.Err);
  EXPECT_TRUE(StartsWith(help.Out, "Usage: kestrova-cli [OPTIONS] [FOLDER]\n"));
  EXPECT_EQ(help.Out, RunCli({"--help", "--version"}).Out);
  // Windows users ask with "/?"; elsewhere it is a name like any other.
  CliRun slash = RunCli({"/?"});
  if (FolderSeparator() == '\\') {
    EXPECT_EQ(help.Out, slash.Out);
  } else {
    EXPECT_EQ(2, slash.Status);
    EXPECT_EQ("kestrova-cli: cannot list /?: No such folder\n", slash.Err);
  }
}

TEST(CliCommandLine, BadCommandLinesExitTwoWithoutWriting) {
  ListedFolder folder;
  const std::string output = folder.Output("list.html");
  const std::string& source = folder.path();
  struct Case {
    std::vector<std::string> Arguments;
    std::string Message;
  };
  const Case cases[] = {
      {{source, "-o", output, "--frobnicate"}, "unknown option --frobnicate"},
      {{source, "-x", "-o", output}, "unknown option -x"},
      {{source, "-qxo", output}, "unknown option -x"},
      {{source, "-o"}, "option -o needs FILE"},
      {{source, "-o", output, "--set"}, "option --set needs KEY=VALUE"},
      {{source, "-o", output, "--s", "x"},
       "option --s is ambiguous (--search, --sort, --show-links, --settings, --set, --save-settings)"},
      {{source, source, "-o", output}, "only one FOLDER may be given"},
      {{source, "-o", output, "--set", "SortBy"}, "--set needs KEY=VALUE"},
      {{source, "-o", output, "--set", "=5"}, "--set needs KEY=VALUE"},
      {{source, "-o", output, "--set", "Colums=STW"}, "unknown setting key: Colums"},
      {{source, "-o", output, "--set", "SortBy=2", "--set", "sortbi=2"},
       "unknown setting key: sortbi (did you mean SortBy?)"},
      {{source, "-o", output, "--sort", "sise"}, "unknown sort key sise"},
      {{source, "-o", output, "--set", "SortBy=abc"}, "invalid value for SortBy: abc"},
      {{source, "-o", output, "--format", "xml"}, "unknown form xml"},
      {{source, "-o", output, "--quiet=yes"}, "option --quiet takes no value"},
      {{source, "-o", ""}, "the output file name is empty"},
  };
  for (const Case& c : cases) {
    CliRun run = RunCli(c.Arguments);
    EXPECT_EQ(2, run.Status) << c.Message;
    EXPECT_TRUE(StartsWith(run.Err, "kestrova-cli: " + c.Message))
        << "expected " << c.Message << "\ngot " << run.Err;
    EXPECT_TRUE(Contains(run.Err, "\nTry 'kestrova-cli --help' for more information.\n"));
    EXPECT_EQ("", run.Out);
    EXPECT_FALSE(PathExists(output)) << c.Message;
  }
}

TEST(CliCommandLine, OptionsTakeTheirValuesInEitherForm) {
  ListedFolder folder;
  const std::string output = folder.Output("list.txt");
  const std::vector<std::vector<std::string>> forms = {
      {"--quiet", "--output=" + output, "--set=SortBy=5", "--", folder.path()},
      {"-qo", output, folder.path()},
      {"-qo" + output, folder.path()},
      {folder.path(), "--qui", "--output", output},
  };
  for (const std::vector<std::string>& form : forms) {
    fs::remove(output);
    CliRun run = RunCli(form);
    EXPECT_EQ(0, run.Status) << form[0] << ": " << run.Err;
    EXPECT_EQ("", run.Err);
    EXPECT_EQ("", run.Out);
    EXPECT_TRUE(PathExists(output)) << form[0];
  }
}

// A small settings file without "$FileSize", so that "$Bites" stands in.
const char kBaseSettings[] = "Kestrova 1.5\nTitle=Plain\nColumns=T\nCellSpacing=3\nAfter=x\nSortBy=2\n";

TEST(CliSettings, SetReadsLikeALineOfASettingsFile) {
  ScopedTempFolder folder;
  const std::string base = folder.Join("base.ksv");
  const std::string with_line = folder.Join("line.ksv");
  WriteFileBytes(base, kBaseSettings);
  struct Case {
    std::string Line;
    std::string Printed;  // the line --print-settings then shows
  };
  const Case cases[] = {
      {"Columns=SWH", "Columns=SWH"},
      {"Columns=", "Columns="},
      {"After=one|two", "After=one|two"},
      {"CellSpacing=2", "CellSpacing=2"},
      {"TableBorder=0", "TableBorder=0"},
      {"SortBy=6", "SortBy=6"},
      {"$Bites=Kb", "$FileSize=Kb"},
      {"$FileSize=MB", "$FileSize=MB"},
      {"Title=$ContentOf $DirPath", "Title=$ContentOf $DirPath"},
      {"Title=with\r CR", "Title=with CR"},
      {"FileMask=*.txt", "FileMask=*.txt"},
      {"DocColor=", "DocColor="},
      {"OutputFormat=1", "Output=0"},
  };
  for (const Case& c : cases) {
    CliRun set = RunCli({"-s", base, "--set", c.Line, "--print-settings"});
    EXPECT_EQ(0, set.Status) << c.Line << ": " << set.Err;
    std::string key = c.Printed.substr(0, c.Printed.find('='));
    EXPECT_EQ(c.Printed, SettingLine(set.Out, key)) << c.Line;
    if (key != "Title") {
      EXPECT_EQ("Title=Plain", SettingLine(set.Out, "Title")) << c.Line;
    }

    // The reader takes the first line of a key, so the line put first wins.
    WriteFileBytes(with_line, c.Line + "\n" + kBaseSettings);
    CliRun read = RunCli({"-s", with_line, "--print-settings"});
    EXPECT_EQ(read.Out, set.Out) << c.Line;
  }

  // The older spelling stands in only where the file lacks the key itself.
  WriteFileBytes(with_line, std::string(kBaseSettings) + "$FileSize=MB\n");
  CliRun alias = RunCli({"-s", with_line, "--set", "$Bites=Kb", "--print-settings"});
  EXPECT_EQ("$FileSize=MB", SettingLine(alias.Out, "$FileSize"));
}

TEST(CliSettings, SetIsStrictWhereAFileIsLenient) {
  ScopedTempFolder folder;
  const std::string with_line = folder.Join("line.ksv");
  struct Case {
    std::string Line;
    std::string Read;  // the line --print-settings shows when a file holds it
  };
  const Case cases[] = {
      {"Columns=hsw", "Columns="},
      {"Columns=STX", "Columns=ST"},
      {"CellSpacing=2px", "CellSpacing=0"},
      {"CellSpacing=", "CellSpacing=0"},
      {"TableBorder=7", "TableBorder=1"},
      {"SortBy=-1", "SortBy=0"},
      {"SortBy=9", "SortBy=9"},
      {"SizeIn=3", "SizeIn=3"},
  };
  for (const Case& c : cases) {
    const std::string key = c.Line.substr(0, c.Line.find('='));
    CliRun set = RunCli({"--set", c.Line, "--print-settings"});
    EXPECT_EQ(2, set.Status) << c.Line;
    EXPECT_TRUE(StartsWith(set.Err, "kestrova-cli: invalid value for " + c.Line.substr(0, key.size()) + ": " +
                                        c.Line.substr(key.size() + 1) + " ("))
        << "the value, then what it should have been: " << set.Err;
    EXPECT_EQ("", set.Out);

    WriteFileBytes(with_line, c.Line + "\n" + kBaseSettings);
    CliRun read = RunCli({"-s", with_line, "--print-settings"});
    EXPECT_EQ(0, read.Status) << c.Line;
    EXPECT_EQ(c.Read, SettingLine(read.Out, key)) << c.Line;
  }
}

TEST(CliSettings, TheLastSetOfAKeyWins) {
  CliRun run = RunCli({"--set", "SortBy=5", "--set", "Columns=S", "--set", "SortBy=3", "--print-settings"});
  EXPECT_EQ(0, run.Status);
  EXPECT_EQ("SortBy=3", SettingLine(run.Out, "SortBy"));
  EXPECT_EQ("Columns=S", SettingLine(run.Out, "Columns"));
}

TEST(CliSettings, WithoutAFileTheBuiltInSettingsApplyUnderTheCommandLinesOwn) {
  ScopedTempFolder work;
  CliRun run = RunCli({"--print-settings"}, work.path());
  EXPECT_EQ(0, run.Status);
  EXPECT_TRUE(StartsWith(run.Out, PlatformLines("Kestrova 1.5\r\nOutputFormat=0\r\n")));
  for (const std::string& line :
       {"DirStr=" + work.path(), std::string("OutputFile=-"), std::string("Columns=STW"),
        std::string("SizeIn=0"), std::string("Title=Content of $DirPath"), std::string("CellSpacing=2"),
        std::string("IgnoreCase=1"), std::string("CapColor=LIGHTBLUE"), std::string("CT=Creation time"),
        std::string("$FileSize=bytes"), std::string("$ContentOf=Content of"), std::string("ShowSummary=1"),
        std::string("Output=0")}) {
    EXPECT_EQ(line, SettingLine(run.Out, line.substr(0, line.find('='))));
  }
  // A page to publish: links relative to it, and no path in its head.
  EXPECT_EQ("Base=", SettingLine(run.Out, "Base"));
  EXPECT_EQ("HeadCustom=", SettingLine(run.Out, "HeadCustom"));

  // --set and the command line's folder and output win over those defaults.
  CliRun set = RunCli({"--set", "Columns=A", "--set", "DirStr=" + work.path(), "--print-settings", "-o",
                       "x.txt", "--set", "SizeIn=2"});
  EXPECT_EQ("Columns=A", SettingLine(set.Out, "Columns"));
  EXPECT_EQ("SizeIn=2", SettingLine(set.Out, "SizeIn"));
  EXPECT_EQ("DirStr=" + work.path(), SettingLine(set.Out, "DirStr"));
  EXPECT_EQ("Output=1", SettingLine(set.Out, "Output"));
}

TEST(CliSettings, ASettingsFileWithoutFolderOrOutputListsHereToStandardOutput) {
  ScopedTempFolder work;
  const std::string settings = work.Join("style.ksv");
  WriteFileBytes(settings, "Title=[$DirPath]\r\nOutput=1\r\n");
  CliRun run = RunCli({"-s", settings, "--print-settings"}, work.path());
  EXPECT_EQ("DirStr=" + work.path(), SettingLine(run.Out, "DirStr"));
  EXPECT_EQ("OutputFile=-", SettingLine(run.Out, "OutputFile"));
  EXPECT_EQ("Columns=TWA", SettingLine(run.Out, "Columns")) << "a file keeps the reader's defaults";

  CliRun listed = RunCli({"-s", settings, "-q"}, work.path());
  EXPECT_EQ(0, listed.Status) << listed.Err;
  EXPECT_TRUE(StartsWith(listed.Out, PlatformLines("\r\n[" + work.path() + "]\r\n")))
      << "Output=1 of the file gives the text form on standard output: " << Visible(listed.Out);

  // --text does not go into the page that the file's name promises: the
  // message says where the name came from.
  const std::string page = work.Join("page.html");
  WriteFileBytes(settings, "OutputFile=" + page + "\r\nTitle=[$DirPath]\r\n");
  CliRun text = RunCli({"-s", settings, "--text", "-q"}, work.path());
  EXPECT_EQ(2, text.Status);
  EXPECT_EQ("kestrova-cli: cannot write text into " + page +
                ": .html is the extension of the forms html and page; name the file for the form (such as "
                "page.txt), or choose one of those forms with --format\n"
                "kestrova-cli: (the output file \"" +
                page + "\" comes from the settings; name one with -o FILE)\n",
            text.Err);
  EXPECT_FALSE(PathExists(page));

  // --format chooses the form where the name's extension is no form's, and
  // the settings it prints choose it again.
  const std::string list = work.Join("list.log");
  WriteFileBytes(settings, "OutputFile=" + list + "\r\nTitle=[$DirPath]\r\n");
  CliRun names = RunCli({"-s", settings, "--format", "names", "-q"}, work.path());
  EXPECT_EQ(0, names.Status) << names.Err;
  const std::string listing = ReadFileBytes(list);
  EXPECT_EQ(listing, PlatformLines("style.ksv\r\n")) << "the listing leaves out its own file";
  CliRun printed = RunCli({"-s", settings, "--format", "names", "--print-settings"}, work.path());
  EXPECT_EQ("Format=names", SettingLine(printed.Out, "Format"));
  ScopedTempFolder elsewhere;
  const std::string job = elsewhere.Join("job.ksv");
  WriteFileBytes(job, printed.Out);
  std::remove(list.c_str());
  EXPECT_EQ(0, RunCli({"-s", job, "-q"}, work.path()).Status);
  EXPECT_EQ(ReadFileBytes(list), listing);
}

TEST(CliSettings, AnUnreadableSettingsFileIsNamed) {
  ListedFolder folder;
  const std::string missing = folder.Output("missing.ksv");
  const std::string output = folder.Output("list.html");
  CliRun run = RunCli({"-s", missing, folder.path(), "-o", output});
  EXPECT_EQ(2, run.Status);
  EXPECT_TRUE(StartsWith(run.Err, "kestrova-cli: cannot read the settings file " + missing + ": "))
      << run.Err;
  if (FolderSeparator() == '/') {
    EXPECT_EQ("kestrova-cli: cannot read the settings file " + missing + ": No such file or directory\n",
              run.Err);
  }
  EXPECT_FALSE(PathExists(output));

  CliRun not_a_file = RunCli({"-s", folder.path(), folder.path(), "-o", output});
  EXPECT_EQ(2, not_a_file.Status);
  EXPECT_EQ("kestrova-cli: not a settings file: " + folder.path() + " (not a regular file)\n",
            not_a_file.Err);
  EXPECT_FALSE(PathExists(output));

  const std::string huge = folder.Output("huge.ksv");
  WriteFileBytes(huge, std::string((16 << 20) + 1, '\n'));
  CliRun too_large = RunCli({"-s", huge, folder.path(), "-o", output});
  EXPECT_EQ(2, too_large.Status);
  EXPECT_EQ("kestrova-cli: not a settings file: " + huge + " (larger than 16 MiB)\n", too_large.Err);
  EXPECT_FALSE(PathExists(output));
}

TEST(CliSettings, SavedSettingsAreThePrintedSettings) {
  ListedFolder folder;
  const std::string saved = folder.Output("saved.ksv");
  const std::string output = folder.Output("list.txt");
  const std::vector<std::string> job = {folder.path(), "-o",    output,      "--set",
                                        "After=a|b",   "--set", "Columns=SA"};
  CliRun printed = RunCli(Concat(job, {"--print-settings"}));
  EXPECT_FALSE(PathExists(output)) << "--print-settings lists nothing";
  CliRun run = RunCli(Concat(job, {"--save-settings", saved, "-q"}));
  ASSERT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(PathExists(output));
  // A saved file has CR LF everywhere, so it travels; printed settings are
  // text of the platform.
  std::string bytes = ReadFileBytes(saved);
  EXPECT_TRUE(Contains(bytes, "\r\nColumns=SA\r\n")) << Visible(bytes);
  EXPECT_EQ(PlatformLines(bytes), printed.Out);
  EXPECT_EQ(FolderSeparator() == '\\', Contains(printed.Out, "\r")) << Visible(printed.Out);
  EXPECT_EQ("Output=1", SettingLine(NormalizeSettingsBytes(printed.Out), "Output"));
}

TEST(CliSettings, TheOutputMayNotReplaceTheSettingsFileReadOrSaved) {
  ListedFolder folder;
  const std::string job = folder.Output("job.ksv");
  const std::string job_text = RunCli({folder.path(), "--print-settings"}).Out;
  WriteFileBytes(job, job_text);
  // Another path to the same file: a link on POSIX, other letter cases on
  // Windows, whose file systems ignore them.
  std::string job_again = folder.Output("JOB.KSV");
#ifndef _WIN32
  job_again = folder.Output("link.ksv");
  fs::create_symlink(job, job_again);
#endif
  const std::string fresh = folder.Output("fresh.ksv");
  struct Case {
    std::vector<std::string> Arguments;
    std::string Named;
  };
  const Case cases[] = {
      {{"-s", job, folder.path(), "-o", job}, job},
      {{"-s", job, folder.path(), "-o", job_again}, job},
      {{"-s", job_again, folder.path(), "-o", job}, job_again},
      {{folder.path(), "--save-settings", job, "-o", job_again}, job},
      {{folder.path(), "--save-settings", fresh, "-o", fresh}, fresh},
  };
  for (const Case& c : cases) {
    CliRun run = RunCli(c.Arguments);
    EXPECT_EQ(2, run.Status) << c.Arguments.back();
    EXPECT_EQ("kestrova-cli: the output would replace the settings file " + c.Named + "\n", run.Err);
    EXPECT_EQ(job_text, ReadFileBytes(job)) << c.Arguments.back();
    EXPECT_FALSE(PathExists(fresh)) << "nothing is written, the settings neither";
  }
  CliRun beside = RunCli({"-s", job, folder.path(), "-o", folder.Output("job.html"), "-q"});
  EXPECT_EQ(0, beside.Status) << beside.Err;
  EXPECT_EQ(job_text, ReadFileBytes(job));
}

TEST(CliSettings, AFileWithoutAKnownSettingIsReadWithAWarning) {
  ListedFolder folder;
  const std::string listing = folder.Output("yesterday.html");
  WriteFileBytes(listing, "<HTML>\n<TITLE>Content of /srv</TITLE>\n</HTML>\n");
  const std::string output = folder.Output("list.txt");
  CliRun run = RunCli({"-s", listing, folder.path(), "-o", output, "-q"});
  EXPECT_EQ(0, run.Status);
  EXPECT_EQ("kestrova-cli: warning: " + listing + " holds no known setting\n", run.Err);
  EXPECT_TRUE(PathExists(output)) << "read leniently, as before";

  const std::string one_line = folder.Output("one.ksv");
  WriteFileBytes(one_line, "Title=x\r\n");
  CliRun known = RunCli({"-s", one_line, folder.path(), "-o", output, "-q"});
  EXPECT_EQ(0, known.Status);
  EXPECT_EQ("", known.Err);
}

TEST(CliChecks, FailedFolderChecksExitTwoWithTheProgramsTexts) {
  ListedFolder folder;
  const std::string missing = folder.Output("missing");
  const std::string output = folder.Output("list.html");
  const std::string output_in_missing = (fs::path(missing) / "list.html").string();
  const std::string saved = folder.Output("saved.ksv");
  const std::string no_output_folder =
      "kestrova-cli: cannot write " + output_in_missing + ": No such folder\n";
  const std::string no_source = "kestrova-cli: cannot list " + missing + ": No such folder\n";
  const std::string a_file = (fs::path(folder.path()) / "a.txt").string();
  struct Case {
    std::vector<std::string> Arguments;
    std::string Message;
  };
  const Case cases[] = {
      {{"", "-o", output}, "kestrova-cli: no folder to list: the folder's name is empty\n"},
      {{a_file, "-o", output}, "kestrova-cli: cannot list " + a_file + ": Not a folder\n"},
      {{folder.path(), "-o", a_file + FolderSeparator() + "list.html"},
       "kestrova-cli: cannot write " + a_file + FolderSeparator() + "list.html: Not a folder\n"},
      {{missing, "-o", output}, no_source},
      {{folder.path(), "-o", output_in_missing}, no_output_folder},
      {{"--set", "DirStr=", "-o", output_in_missing},
       "kestrova-cli: no folder to list: the folder's name is empty\n"
       "kestrova-cli: (the folder \"\" comes from the settings; name one as FOLDER)\n" +
           no_output_folder},
      {{missing, "-o", output_in_missing}, no_source + no_output_folder},
      {{missing, "-o", "-"}, no_source},
      {{folder.path(), "--set", "OutputFile=" + output_in_missing},
       no_output_folder + "kestrova-cli: (the output file \"" + output_in_missing +
           "\" comes from the settings; name one with -o FILE)\n"},
      {{"--set", "DirStr=/nowhere/at all", "-o", output},
       "kestrova-cli: cannot list /nowhere/at all: No such folder\nkestrova-cli: (the folder "
       "\"/nowhere/at all\" comes from the settings; name one as FOLDER)\n"},
  };
  for (const Case& c : cases) {
    CliRun run = RunCli(Concat(c.Arguments, {"--save-settings", saved}));
    EXPECT_EQ(2, run.Status) << c.Message;
    EXPECT_EQ(c.Message, run.Err);
    EXPECT_EQ("", run.Out);
    EXPECT_FALSE(PathExists(output)) << c.Message;
    EXPECT_FALSE(PathExists(saved)) << c.Message;
  }
}

TEST(CliChecks, ANameCannotForgeALineOfAMessageNorSteerTheTerminal) {
  if (FolderSeparator() != '/') GTEST_SKIP() << "Windows refuses such names before anything is listed";
  ListedFolder folder;
  const std::string forged = folder.Output("x\nkestrova-cli: Wrote everything\x1b]0;owned\a");
  CliRun run = RunCli({forged, "-o", "-"});
  EXPECT_EQ(2, run.Status);
  EXPECT_EQ("kestrova-cli: cannot list " +
                folder.Output("x\\nkestrova-cli: Wrote everything\\033]0;owned\\a") + ": No such folder\n",
            run.Err);
  CliRun option = RunCli({"--sort", "x\ny"});
  EXPECT_EQ("kestrova-cli: unknown sort key x\\ny", option.Err.substr(0, option.Err.find(" (")));
}

TEST(CliChecks, AnOutputNameEndingInASeparatorNamesAFolder) {
  ListedFolder folder;
  ScopedTempFolder work;
  for (const std::string& name : {std::string("name/"), work.Join("sub") + "/"}) {
    CliRun run = RunCli({folder.path(), "-o", name}, work.path());
    EXPECT_EQ(2, run.Status) << name;
    EXPECT_EQ("kestrova-cli: cannot write " + name + ": the name ends in a folder separator\n", run.Err);
    EXPECT_EQ(0, std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()))
        << "nothing is written for " << name;
  }
}

// A file is never written in a form other than its name promises: a page
// server would serve text as a page, markup in file names and all.
TEST(CliChecks, AnOutputNameOfAnotherFormIsRefused) {
  ListedFolder folder;
  ScopedTempFolder work;
  struct Case {
    std::vector<std::string> Arguments;
    std::string Message;
  };
  const std::string page = work.Join("x.html"), xhtml = work.Join("x.xhtml"), upper = work.Join("X.XHT");
  const Case cases[] = {
      {{"--text", "-o", page},
       "cannot write text into " + page +
           ": .html is the extension of the forms html and page; name the file for the form (such as x.txt), "
           "or choose one of those forms with --format"},
      {{"-o", xhtml},
       "cannot write " + xhtml +
           ": .xhtml promises XHTML, which kestrova-cli does not write; name the page (such as "
           "x.html)"},
      {{"--format", "page", "-o", upper},
       "cannot write page into " + upper +
           ": .XHT promises XHTML, which kestrova-cli does not write; name the file for the form (such as "
           "X.html)"},
      {{"--format", "json", "-o", "x.csv"},
       "cannot write json into " + work.Join("x.csv") +
           ": .csv is the extension of the form csv; name the file for the form (such as x.json), or choose "
           "one of those forms with --format"},
  };
  for (const Case& c : cases) {
    CliRun run = RunCli(Concat({folder.path()}, c.Arguments), work.path());
    EXPECT_EQ(2, run.Status) << c.Message;
    EXPECT_EQ("kestrova-cli: " + c.Message + "\n", run.Err);
  }
  EXPECT_EQ(0, std::distance(fs::directory_iterator(work.path()), fs::directory_iterator()));

  // The classic Output=1 of a settings file yields to an .html name, as it
  // does in the window.
  const std::string classic = work.Join("classic.ksv");
  WriteFileBytes(classic, "Output=1\r\nOutputFile=" + page + "\r\n");
  CliRun written = RunCli({"-s", classic, folder.path(), "-q"});
  ASSERT_EQ(0, written.Status) << written.Err;
  EXPECT_TRUE(Contains(ReadFileBytes(page), "<TABLE")) << "the classic page";
}

TEST(CliWrites, WriteFailuresExitOneNamingThePath) {
  ListedFolder folder;
  const std::string occupied = folder.Output("taken.html");
  fs::create_directory(occupied);
  const std::string unnamable = folder.Output(std::string(300, 'n') + ".html");
  const std::string output = folder.Output("list.html");

  // The system's reason follows the program's own text.
  CliRun onto_folder = RunCli({folder.path(), "-o", occupied});
  EXPECT_EQ(1, onto_folder.Status);
  EXPECT_TRUE(StartsWith(onto_folder.Err, "kestrova-cli: cannot write " + occupied + ": "))
      << onto_folder.Err;

  CliRun too_long = RunCli({folder.path(), "-o", unnamable});
  EXPECT_EQ(1, too_long.Status);
  EXPECT_TRUE(StartsWith(too_long.Err, "kestrova-cli: cannot write " + unnamable + ": ")) << too_long.Err;

  CliRun settings = RunCli({folder.path(), "-o", output, "--save-settings", occupied});
  EXPECT_EQ(1, settings.Status);
  EXPECT_TRUE(StartsWith(settings.Err, "kestrova-cli: cannot write " + occupied + ": ")) << settings.Err;
  if (FolderSeparator() == '/') {
    EXPECT_EQ("kestrova-cli: cannot write " + occupied + ": Is a directory\n", onto_folder.Err);
    EXPECT_EQ("kestrova-cli: cannot write " + unnamable + ": File name too long\n", too_long.Err);
  }
  EXPECT_FALSE(PathExists(output)) << "nothing is listed after a failed settings write";
}

#ifdef _WIN32
// Windows refuses to replace a file that has the read-only mark, and so does
// the program wherever it runs (Wine replaced one): the listing, in place
// too, and the settings keep their bytes and their mark.
TEST(CliWrites, AReadOnlyFileIsNotReplacedAndKeepsItsMark) {
  ListedFolder folder;
  const std::string output = folder.Output("list.html");
  const std::string settings = folder.Output("saved.ksv");
  for (const std::string& path : {output, settings}) {
    WriteFileBytes(path, "kept");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  const std::string denied = ": " + SystemReason(ERROR_ACCESS_DENIED) + "\n";
  for (const char* method : {"--quiet", "--in-place"}) {
    CliRun run = RunCli({folder.path(), "-o", output, method});
    EXPECT_EQ(1, run.Status) << method;
    EXPECT_EQ("kestrova-cli: cannot write " + output + denied, run.Err) << method;
  }
  CliRun save = RunCli({folder.path(), "-q", "-o", folder.Output("new.html"), "--save-settings", settings});
  EXPECT_EQ(1, save.Status);
  EXPECT_EQ("kestrova-cli: cannot write " + settings + denied, save.Err);
  for (const std::string& path : {output, settings}) {
    EXPECT_EQ("kept", ReadFileBytes(path));
    EXPECT_NE(0u, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) << path;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  EXPECT_EQ(2,
            std::distance(fs::directory_iterator(fs::path(output).parent_path()), fs::directory_iterator()))
      << "no temporary file is left beside them";
}
#else
TEST(CliWrites, AnUnreadableFolderIsAFailureAndKeepsTheOldListing) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ListedFolder folder;
  const std::string locked = folder.Output("locked");
  fs::create_directory(locked);
  chmod(locked.c_str(), 0700);
  const std::string output = folder.Output("list.html");
  const std::string outputs = fs::path(output).parent_path().string();
  chmod(outputs.c_str(), 0777);
  WriteFileBytes(output, "yesterday's listing");
  chmod(output.c_str(), 0666);
  CliRun run = RunCli({locked, "-o", output}, "", 65534);
  EXPECT_EQ(1, run.Status);
  EXPECT_EQ("kestrova-cli: cannot list " + locked + ": Permission denied\n", run.Err);
  EXPECT_EQ("yesterday's listing", ReadFileBytes(output));
  EXPECT_EQ(2, std::distance(fs::directory_iterator(outputs), fs::directory_iterator()))
      << "no temporary file is left beside the listing and the folder";
}
#endif

TEST(CliWrites, RelativeFolderAndOutputAreMadeAbsolute) {
  ScopedTempFolder work;
  const std::string site = work.Join("site");
  fs::create_directory(site);
  WriteFileBytes((fs::path(site) / "a.txt").string(), "a");

  CliRun printed = RunCli({"site", "-o", "list.txt", "--print-settings"}, work.path());
  EXPECT_EQ("DirStr=" + site, SettingLine(printed.Out, "DirStr"));
  EXPECT_EQ("OutputFile=" + work.Join("list.txt"), SettingLine(printed.Out, "OutputFile"));

  CliRun run = RunCli({".", "-o", "list.txt", "-q", "--set", "Title=[$DirPath]"}, site);
  ASSERT_EQ(0, run.Status) << run.Err;
  std::string listed = ReadFileBytes((fs::path(site) / "list.txt").string());
  const std::string title = PlatformLines("\r\n[" + site + "]\r\n");
  EXPECT_EQ(title, listed.substr(0, title.size())) << Visible(listed);
}

// The record the window would hand to the engine: the settings file read,
// then the folder, the output file and the output form it implies.
CommonStruct EngineRecord(const std::string& settings, const std::string& folder, const std::string& output,
                          bool include_parent) {
  CommonStruct record;
  EXPECT_TRUE(LoadSettings(record, settings));
  record.DirStr = folder;
  record.OutputFile = output;
  record.Output = IsHtmlFileName(output) ? kOutputHtml : kOutputText;
  record.IncludeParent = include_parent;
  return record;
}

TEST(CliWrites, OutputEqualsTheEnginesForTheSameSettings) {
  ListedFolder folder;
  const std::string settings = folder.Output("job.ksv");
  struct Case {
    std::string Settings;
    std::string Name;
    bool IncludeParent;
  };
  const Case cases[] = {
      {"Columns=STWCRAH\nSortBy=5\nDescOrder=1\nDivideTable=1\nSizeIn=0\n", "list.html", false},
      {"Columns=TA\nSortBy=1\nIgnoreCase=1\nFullNames=1\nBefor=top|line\n", "list.HTM", true},
      {"ShowMasks=0\nBefor=top|line\nAfter=$FileCount files\n", "list.txt", true},
      {"Columns=SW\nSortBy=2\nShowSummary=0\n", "list", false},
  };
  for (const Case& c : cases) {
    WriteFileBytes(settings, c.Settings);
    const std::string from_cli = folder.Output("cli-" + c.Name);
    std::vector<std::string> arguments = {"-s", settings, folder.path(), "-o", from_cli, "-q"};
    if (c.IncludeParent) arguments.push_back("--include-parent");
    CliRun run = RunCli(arguments);
    ASSERT_EQ(0, run.Status) << c.Name << ": " << run.Err;

    CommonStruct record =
        EngineRecord(settings, folder.path(), folder.Output("engine-" + c.Name), c.IncludeParent);
    ASSERT_EQ(GenerateListing(record).Status, GenerateStatus::kWritten);
    std::string expected = ReadFileBytes(record.OutputFile);
    EXPECT_EQ(expected, ReadFileBytes(from_cli)) << c.Name;
    EXPECT_EQ(c.Name != "list.txt" && c.Name != "list", Contains(expected, "<HTML>")) << c.Name;
  }
}

// A page written into another folder than the one it lists, as it would be
// on standard output: its links from the listed folder itself.
std::string AsInTheListedFolder(std::string page, const std::string& folder) {
  const std::string prefix = "href=\"../" + fs::path(folder).filename().string() + "/";
  for (size_t at = page.find(prefix); at != std::string::npos; at = page.find(prefix, at)) {
    page.replace(at, prefix.size(), "href=\"");
  }
  return page;
}

TEST(CliWrites, DashWritesTheDocumentToStandardOutput) {
  ListedFolder folder;
  const std::string html = folder.Output("list.html");
  const std::string text = folder.Output("list.txt");
  ASSERT_EQ(0, RunCli({folder.path(), "-o", html, "-q"}).Status);
  ASSERT_EQ(0, RunCli({folder.path(), "-o", text, "-q"}).Status);

  CliRun page = RunCli({folder.path(), "-o", "-"});
  EXPECT_EQ(0, page.Status);
  EXPECT_EQ(AsInTheListedFolder(ReadFileBytes(html), folder.path()), page.Out);
  EXPECT_EQ("kestrova-cli: Wrote standard output: 2 folders, 3 files, 1,546 bytes\n", page.Err);

  CliRun list = RunCli({folder.path(), "-o", "-", "--text", "-q"});
  EXPECT_EQ(0, list.Status);
  EXPECT_EQ(ReadFileBytes(text), list.Out);
  EXPECT_EQ("", list.Err);
}

TEST(CliWrites, SummaryLineAndParentEntry) {
  ListedFolder folder;
  const std::string output = folder.Output("list.txt");
  CliRun run = RunCli({folder.path(), "-o", output});
  EXPECT_EQ(0, run.Status);
  EXPECT_EQ("kestrova-cli: Wrote " + output + ": 2 folders, 3 files, 1,546 bytes\n", run.Err);
  std::string listed = ReadFileBytes(output);
  EXPECT_TRUE(Contains(listed, PlatformLines("\r\nDocs\r\nold stuff\r\n"))) << Visible(listed);
  EXPECT_FALSE(Contains(listed, PlatformLines("\r\n..\r\n")));

  CliRun quiet = RunCli({folder.path(), "-o", output, "--quiet", "--include-parent"});
  EXPECT_EQ(0, quiet.Status);
  EXPECT_EQ("", quiet.Err);
  listed = ReadFileBytes(output);
  EXPECT_TRUE(Contains(listed, PlatformLines("\r\n..\r\nDocs\r\nold stuff\r\n"))) << Visible(listed);
  EXPECT_TRUE(Contains(listed, PlatformLines("\r\n2 Folders\r\n"))) << "the parent entry is not counted";
}

TEST(CliWrites, PosixNamesReachThePageAsTextAndTheirLinksAsThemselves) {
  if (FolderSeparator() != '/') GTEST_SKIP() << "such names exist on POSIX only";
  ScopedTempFolder parent;
  const std::string folder = parent.Join("\"><img src=x onerror=alert(1)>");
  fs::create_directory(folder);
  WriteFileBytes(folder + "/\\\\evil.example\\login", "");
  WriteFileBytes(folder + "/..\\..\\etc\\passwd", "");
  const std::string output = parent.Join("page.html");
  ASSERT_EQ(0, RunCli({folder, "-o", output, "-q", "--preset", "classic"}).Status);
  const std::string page = ReadFileBytes(output);
  EXPECT_FALSE(Contains(page, "<img")) << page;
  EXPECT_TRUE(Contains(page, "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;</P>"));
  EXPECT_TRUE(Contains(page, "<A HREF = %5C%5Cevil.example%5Clogin CLASS = NameCl>"));
  EXPECT_TRUE(Contains(page, "<A HREF = ..%5C..%5Cetc%5Cpasswd CLASS = NameCl>"));
  EXPECT_TRUE(Contains(page, "%22%3E%3Cimg%20src%3Dx%20onerror%3Dalert(1)%3E/>"));
  EXPECT_TRUE(StartsWith(
      page, "<HTML>\n<HEAD>\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">\n"));
}

TEST(CliWrites, ThePageShowsTheFolderAsGivenAndNoPathThatWasNot) {
  ScopedTempFolder work;
  const std::string site = work.Join("site");
  fs::create_directory(site);
  fs::create_directory(fs::path(site) / "photos");
  WriteFileBytes((fs::path(site) / "a b.txt").string(), "a");
  auto page_of = [&](const std::vector<std::string>& arguments, const std::string& folder) {
    CliRun run = RunCli(Concat({"--format", "page", "-q", "-o", "-", "--include-parent"}, arguments), folder);
    EXPECT_EQ(0, run.Status) << run.Err;
    EXPECT_FALSE(Contains(run.Out, work.path())) << "a path the user did not type";
    EXPECT_TRUE(StartsWith(run.Out, "<!DOCTYPE html>")) << Visible(run.Out.substr(0, 40));
    EXPECT_TRUE(Contains(run.Out, "<a href=\"a%20b.txt\">a b.txt</a>"));
    EXPECT_TRUE(Contains(run.Out, "<a href=\"photos/\">photos</a>"));
    EXPECT_TRUE(Contains(run.Out, "<a href=\"../\">..</a>"));
    return run.Out.substr(run.Out.find("<title>"), run.Out.find("</title>") - run.Out.find("<title>") + 8);
  };
  const std::string separator(1, FolderSeparator());
  EXPECT_EQ("<title>Content of site</title>", page_of({"site"}, work.path())) << "the folder's own name";
  EXPECT_EQ("<title>Content of site</title>", page_of({"." + separator + "site"}, work.path()));
  EXPECT_EQ("<title>Content of site</title>", page_of({}, site)) << "the current folder by its own name";
  EXPECT_EQ("<title>Content of site</title>", page_of({"."}, site));
  EXPECT_EQ("<title>Content of site</title>", page_of({".." + separator + "site"}, site));
  EXPECT_EQ("<title>[site]</title>", page_of({"--set", "Title=[$DirPath]"}, site));
  EXPECT_EQ("<title>Files of ." + separator + "site</title>",
            page_of({"." + separator + "site", "--title", "Files of $DirPath"}, work.path()))
      << "a title given on the command line names FOLDER as typed";

  // An absolute FOLDER: its own name, and its path only where a title asks.
  CliRun absolute = RunCli({"-q", "-o", "-", site});
  EXPECT_TRUE(Contains(absolute.Out, "<h1>Content of site</h1>")) << absolute.Err;
  EXPECT_FALSE(Contains(absolute.Out, work.path()));
  CliRun asked = RunCli({"-q", "-o", "-", site, "--title", "$DirPath"});
  EXPECT_TRUE(Contains(asked.Out, "<h1>" + site + "</h1>")) << asked.Err;

  const std::string settings = work.Join("job.ksv");
  WriteFileBytes(settings, "DirStr=site\r\nFormat=page\r\n");
  CliRun from_file = RunCli({"-s", settings, "-q"}, work.path());
  EXPECT_EQ(0, from_file.Status) << from_file.Err;
  EXPECT_TRUE(Contains(from_file.Out, "<h1>Content Of site</h1>")) << "the settings' folder by its own name";
  WriteFileBytes(settings, "DirStr=" + site + separator + "\r\nFormat=page\r\n");
  from_file = RunCli({"-s", settings, "-q"}, work.path());
  EXPECT_TRUE(Contains(from_file.Out, "<h1>Content Of site</h1>")) << "not the path the settings hold";
  EXPECT_FALSE(Contains(from_file.Out, work.path()));
}

// The links of a page, as written.
std::vector<std::string> HrefsOf(const std::string& page) {
  std::vector<std::string> links;
  for (size_t at = page.find("href=\""); at != std::string::npos; at = page.find("href=\"", at + 1)) {
    at += 6;
    links.push_back(page.substr(at, page.find('"', at) - at));
  }
  return links;
}

TEST(CliWrites, APageWrittenAnywhereLinksToEveryEntryFromWhereItLies) {
  ScopedTempFolder work;
  const fs::path photos = fs::path(work.path()) / "photos";
  fs::create_directories(photos / "Docs");
  fs::create_directories(photos / "old stuff");
  for (const char* name : {"a b.jpg", "c#1.jpg", "100%.txt", "x?y=1&z"}) {
    if (FolderSeparator() == '\\' && std::string(name).find('?') != std::string::npos) continue;
    WriteFileBytes((photos / name).string(), name);
  }
  // Where ./run.sh writes, deeper still, inside the listed folder, in it, above it.
  for (const std::string place : {"build/FolderIndex.html", "build/a/b/list.html", "photos/Docs/index.html",
                                  "photos/index.html", "up.html"}) {
    const fs::path page = fs::path(work.path()) / place;
    fs::create_directories(page.parent_path());
    CliRun run = RunCli({"photos", "-o", place, "-q", "--include-parent"}, work.path());
    ASSERT_EQ(0, run.Status) << place << ": " << run.Err;
    const std::vector<std::string> links = HrefsOf(ReadFileBytes(page.string()));
    const size_t entries = std::distance(fs::directory_iterator(photos), fs::directory_iterator()) + 1;
    EXPECT_EQ(links.size(), entries - (place == "photos/index.html" ? 1 : 0))
        << place << ": every entry and the parent, the page itself not listed";
    for (const std::string& link : links) {
      const fs::path target = page.parent_path() / PercentDecoded(link);
      EXPECT_TRUE(fs::exists(target)) << place << " links to " << link << ", which is not there";
    }
  }
  // The classic page links through its base address, wherever it lies.
  ASSERT_EQ(0,
            RunCli({"photos", "--preset", "classic", "-o", "build/classic.html", "-q"}, work.path()).Status);
  ASSERT_EQ(0, RunCli({"photos", "--preset", "classic", "-o", "up.html", "-q"}, work.path()).Status);
  const std::string classic = ReadFileBytes(work.Join("up.html"));
  EXPECT_EQ(classic, ReadFileBytes((fs::path(work.path()) / "build" / "classic.html").string()));
  EXPECT_TRUE(Contains(classic, "<BASE HREF = file://")) << classic.substr(0, 300);
}

// The lines of a listing written with the platform's line ends.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  const std::string end = PlatformLines("\r\n");
  for (size_t at = 0; at < text.size();) {
    size_t next = text.find(end, at);
    if (next == std::string::npos) next = text.size();
    lines.push_back(text.substr(at, next - at));
    at = next + end.size();
  }
  return lines;
}

TEST(CliForms, TheLongFormWritesAlignedColumnsAsLsDoes) {
  ScopedTempFolder work;
  const fs::path top = fs::path(work.path()) / "top";
  fs::create_directories(top / "sub folder");
  WriteFileBytes((top / "a.txt").string(), "0123456789");
  WriteFileBytes((top / "big one.bin").string(), std::string(1536, 'x'));
  WriteFileBytes((top / "sub folder" / "inner.txt").string(), "1234");

  CliRun run = RunCli({"top", "--format", "long", "--columns", "size", "-q"}, work.path());
  ASSERT_EQ(0, run.Status) << run.Err;
  EXPECT_EQ("", run.Err);
  const std::vector<std::string> expected = {"         -  sub folder/", "        10  a.txt",
                                             "      1536  big one.bin"};
  EXPECT_EQ(LinesOf(run.Out), expected) << "the size as the file system has it, to the right; a name whole";

  run = RunCli({"top", "--format", "long", "--columns", "size,modified", "--human-sizes", "--time-style",
                "iso", "-q", "-R"},
               work.path());
  ASSERT_EQ(0, run.Status) << run.Err;
  const std::vector<std::string> lines = LinesOf(run.Out);
  ASSERT_EQ(lines.size(), 4u) << run.Out;
  const std::string separator(1, FolderSeparator());
  EXPECT_EQ(lines[1].substr(lines[1].size() - 22), "  sub folder" + separator + "inner.txt")
      << "a tree's path below the top";
  EXPECT_TRUE(StartsWith(lines[3], " 1.5 KB  ")) << lines[3];
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.size() > 27 && line[13] == '-' && line[16] == '-' && line[19] == ' ')
        << "the folders of a tree align: sizes for people seven wide, then an ISO time: " << line;
  }
}

TEST(CliForms, TheTextFormSaysWhichOptionsItLeavesAsideAndStaysAsItWas) {
  ListedFolder folder;
  CliRun plain = RunCli({folder.path(), "--text", "-o", "-", "-q"});
  CliRun asked =
      RunCli({folder.path(), "--text", "-o", "-", "-q", "--columns", "size,type", "--time-style", "iso"});
  EXPECT_EQ(0, asked.Status);
  EXPECT_EQ(plain.Out, asked.Out) << "the classic text form, byte for byte";
  EXPECT_EQ("", plain.Err);
  EXPECT_EQ(
      "kestrova-cli: note: the text form lists the names alone, so --columns, --time-style do not show in "
      "its "
      "lines; --format long writes the names in aligned columns with them\n",
      asked.Err);
  CliRun by_name = RunCli({folder.path(), "-o", folder.Output("list.txt"), "--human-sizes"});
  EXPECT_EQ(0, by_name.Status);
  EXPECT_TRUE(
      Contains(by_name.Err, "note: the text form lists the names alone, so --human-sizes does not show"))
      << by_name.Err;
  EXPECT_EQ("", RunCli({folder.path(), "--format", "long", "-o", "-", "-q", "--human-sizes"}).Err);
}

TEST(CliSettings, TheFormatPageIsSavedForTheClassicPagesExtensions) {
  ListedFolder folder;
  CliRun printed =
      RunCli({folder.path(), "--format", "page", "-o", folder.Output("index.html"), "--print-settings"});
  EXPECT_EQ("Format=page", SettingLine(printed.Out, "Format"));
  EXPECT_EQ("Output=0", SettingLine(printed.Out, "Output"));
}

TEST(CliPresets, ClassicIsTheBuiltInPageWithTheCommandLinesColumnsAndSizes) {
  ListedFolder folder;
  ScopedTempFolder elsewhere;
  const std::string settings = elsewhere.Join("built-in.ksv");
  WriteFileBytes(settings, "Columns=STW\r\nSizeIn=0\r\n" + DefaultSettingsText());
  CliRun built_in = RunCli({"-s", settings, folder.path(), "-o", "-", "-q"});
  CliRun classic = RunCli({"--preset", "classic", folder.path(), "-o", "-", "-q"});
  ASSERT_EQ(0, built_in.Status) << built_in.Err;
  ASSERT_EQ(0, classic.Status) << classic.Err;
  EXPECT_TRUE(StartsWith(classic.Out, "<HTML>"));
  EXPECT_EQ(Visible(classic.Out), Visible(built_in.Out));
}

TEST(CliWrites, TheRootHasNoParentEntry) {
  if (FolderSeparator() != '/') GTEST_SKIP() << "the POSIX root";
  CliRun run = RunCli({"/", "-o", "-", "--text", "-q", "--include-parent", "--set", "FileMask=none"});
  EXPECT_EQ(0, run.Status) << run.Err;
  EXPECT_TRUE(Contains(run.Out, "\nusr\n")) << run.Out;
  EXPECT_FALSE(Contains(run.Out, "\n..\n")) << "no parent entry, even with --include-parent";
  EXPECT_FALSE(Contains(run.Out, "\n.\n"));
}

TEST(CliDefaults, TheFirstRunListsTheCurrentFolderToStandardOutput) {
  ListedFolder folder;
  CliRun bare = RunCli({}, folder.path());
  EXPECT_EQ(0, bare.Status) << bare.Err;
  // The standards page, its title naming the folder by its own name only.
  EXPECT_TRUE(StartsWith(bare.Out, PlatformLines("<!DOCTYPE html>\r\n<html lang=\"en\">\r\n")))
      << Visible(bare.Out.substr(0, 80));
  const std::string name = fs::path(folder.path()).filename().string();
  EXPECT_TRUE(Contains(bare.Out, PlatformLines("<title>Content of " + name + "</title>\r\n")));
  EXPECT_FALSE(Contains(bare.Out, folder.path()));
  // Size, type and last write, with exact sizes in grouped bytes.
  EXPECT_TRUE(
      Contains(bare.Out,
               ">Name</th><th scope=\"col\" data-sort=\"text\">Type</th><th scope=\"col\" "
               "data-sort=\"size\">Size</th><th scope=\"col\" data-sort=\"time\">Last Write</th></tr>"))
      << Visible(bare.Out);
  EXPECT_TRUE(Contains(bare.Out, "<td data-bytes=\"1536\" title=\"1,536 bytes\">1.5 KB</td>"));
  EXPECT_EQ("kestrova-cli: Wrote standard output: 2 folders, 3 files, 1,546 bytes\n", bare.Err);

  EXPECT_EQ(bare.Out, RunCli({name}, fs::path(folder.path()).parent_path().string()).Out)
      << "FOLDER alone writes to standard output too";
  EXPECT_EQ(bare.Out, RunCli({".", "-o", "-"}, folder.path()).Out);

  // -o alone lists the current folder into the file.
  const std::string output = folder.Output("index.html");
  CliRun to_file = RunCli({"-qo", output}, folder.path());
  EXPECT_EQ(0, to_file.Status) << to_file.Err;
  EXPECT_EQ(bare.Out, AsInTheListedFolder(ReadFileBytes(output), folder.path()));

  CliRun text = RunCli({"--text", "-q"}, folder.path());
  EXPECT_EQ(0, text.Status) << text.Err;
  EXPECT_TRUE(Contains(text.Out, PlatformLines("\r\nDocs\r\nold stuff\r\n"))) << Visible(text.Out);
}

TEST(CliDefaults, ListingsAndPrintedSettingsUseThePlatformsLineEnds) {
  ListedFolder folder;
  const bool windows = FolderSeparator() == '\\';
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{folder.path(), "-q"},
                                                    std::vector<std::string>{folder.path(), "-q", "--text"},
                                                    std::vector<std::string>{"--print-settings"}}) {
    CliRun run = RunCli(arguments);
    EXPECT_EQ(0, run.Status);
    const size_t lines = static_cast<size_t>(std::count(run.Out.begin(), run.Out.end(), '\n'));
    const size_t carriage_returns = static_cast<size_t>(std::count(run.Out.begin(), run.Out.end(), '\r'));
    EXPECT_GT(lines, 5u);
    EXPECT_EQ(windows ? lines : 0u, carriage_returns) << arguments.back();
  }
  const std::string file = folder.Output("list.txt");
  ASSERT_EQ(0, RunCli({folder.path(), "-qo", file}).Status);
  EXPECT_EQ(windows, Contains(ReadFileBytes(file), "\r\n"));
  EXPECT_TRUE(Contains(ReadFileBytes(file), PlatformLines("\r\nDocs\r\nold stuff\r\n")));
}

TEST(CliDefaults, PrintedSettingsReproduceTheListing) {
  ListedFolder folder;
  ScopedTempFolder elsewhere;
  const std::string job = folder.Output("job.ksv");
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--set", "DescOrder=1"},
        std::vector<std::string>{"--text", "--set", "SortBy=5"},
        std::vector<std::string>{"-o", folder.Output("list.html"), "--set", "Columns=SWA"}}) {
    CliRun printed = RunCli(Concat(options, {"--print-settings"}), folder.path());
    ASSERT_EQ(0, printed.Status) << printed.Err;
    WriteFileBytes(job, printed.Out);
    CliRun direct = RunCli(Concat(options, {"-q"}), folder.path());
    const std::string direct_output = options[0] == "-o" ? ReadFileBytes(options[1]) : direct.Out;
    fs::remove(folder.Output("list.html"));
    CliRun again = RunCli({"-s", job, "-q"}, elsewhere.path());
    ASSERT_EQ(0, again.Status) << again.Err;
    const std::string again_output = options[0] == "-o" ? ReadFileBytes(options[1]) : again.Out;
    EXPECT_FALSE(direct_output.empty());
    EXPECT_EQ(direct_output, again_output) << options[0];
  }
}

TEST(CliWrites, TheSummaryCountsInWordsOfTheRightNumber) {
  ScopedTempFolder folder;
  fs::create_directory(folder.Join("only"));
  WriteFileBytes(folder.Join("one"), "1");
  CliRun run = RunCli({folder.path(), "--text"});
  EXPECT_EQ("kestrova-cli: Wrote standard output: 1 folder, 1 file, 1 byte\n", run.Err);
  fs::remove(folder.Join("one"));
  fs::remove(folder.Join("only"));
  run = RunCli({folder.path(), "--text"});
  EXPECT_EQ("kestrova-cli: Wrote standard output: 0 folders, 0 files, 0 bytes\n", run.Err);
}

TEST(CliPresets, APresetIsFoundBesideTheProgramOrInItsSharedFolder) {
  ListedFolder folder;
  CliRun modern = RunCli({"--preset", "modern", folder.path(), "-q"});
  ASSERT_EQ(0, modern.Status) << modern.Err;
  EXPECT_TRUE(Contains(modern.Out, "<meta name=\"viewport\" content=\"width=device-width"));
  EXPECT_TRUE(Contains(modern.Out, "<script>"));
  EXPECT_FALSE(Contains(modern.Out, "<BASE")) << "links stay relative, for a published page";
  const std::string preset_path =
      (fs::path(KESTROVA_CLI_PATH).parent_path() / "presets" / "modern.ksv").string();
  EXPECT_EQ(modern.Out, RunCli({"-s", preset_path, folder.path(), "-q"}).Out);

  // An installation keeps presets in share/kestrova/presets beside bin/.
  ScopedTempFolder prefix;
  fs::create_directories(fs::path(prefix.path()) / "bin");
  fs::create_directories(fs::path(prefix.path()) / "share" / "kestrova" / "presets");
  const fs::path installed = fs::path(prefix.path()) / "bin" / fs::path(KESTROVA_CLI_PATH).filename();
  fs::copy_file(KESTROVA_CLI_PATH, installed);
  WriteFileBytes((fs::path(prefix.path()) / "share" / "kestrova" / "presets" / "plain.ksv").string(),
                 "Title=plain preset\r\nOutput=1\r\n");
  CliRun shared = RunProgram(installed.string(), {"--preset", "plain", folder.path(), "-q"});
  EXPECT_EQ(0, shared.Status) << shared.Err;
  EXPECT_TRUE(StartsWith(shared.Out, PlatformLines("\r\nplain preset\r\n"))) << Visible(shared.Out);

  // A name not found is named with the nearest, among the presets of the
  // folders that exist, and the folders that do not go unnamed.
  const std::string shared_folder = (fs::path(prefix.path()) / "share" / "kestrova" / "presets").string();
  CliRun missing = RunProgram(installed.string(), {"--preset", "modern", folder.path()});
  EXPECT_EQ(2, missing.Status);
  EXPECT_EQ("kestrova-cli: no preset named modern; the presets are plain, in " + shared_folder + "\n",
            missing.Err);
  EXPECT_EQ("", missing.Out);
  WriteFileBytes((fs::path(prefix.path()) / "share" / "kestrova" / "presets" / "modern.ksv").string(),
                 "Title=modern\r\n");
  CliRun other_case = RunProgram(installed.string(), {"--preset", "Modern", folder.path()});
  EXPECT_EQ(FolderSeparator() == '/' ? 2 : 0, other_case.Status) << "as the file system finds names";
  if (other_case.Status != 0) {
    EXPECT_EQ(
        "kestrova-cli: no preset named Modern (did you mean modern?); the presets are modern, plain, in " +
            shared_folder + "\n",
        other_case.Err);
  }
  CliRun typo = RunProgram(installed.string(), {"--preset", "plaine", folder.path()});
  EXPECT_TRUE(StartsWith(typo.Err, "kestrova-cli: no preset named plaine (did you mean plain?); "))
      << typo.Err;

  fs::remove_all(fs::path(prefix.path()) / "share");
  const std::string bin = (fs::path(prefix.path()) / "bin").string();
  CliRun none = RunProgram(installed.string(), {"--preset", "modern", folder.path()});
  EXPECT_EQ("kestrova-cli: no preset named modern: no presets are installed (looked in " +
                JoinPath(bin, "presets") + " and " + shared_folder + ")\n",
            none.Err);
}

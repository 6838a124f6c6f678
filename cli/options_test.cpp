#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/forms.h"

namespace {

std::string FormList() {
  std::string list;
  for (const std::string& name : FormNames()) list += (list.empty() ? "" : ", ") + name;
  return list;
}

CliOptions Parsed(const std::vector<std::string>& arguments, bool slash_help = false) {
  ParsedCommandLine parsed = ParseCommandLine(arguments, slash_help);
  EXPECT_EQ("", parsed.Error);
  return parsed.Options;
}

std::string ErrorOf(const std::vector<std::string>& arguments) {
  return ParseCommandLine(arguments, false).Error;
}

TEST(CliOptions, NothingGivenLeavesEveryDefaultToTheProgram) {
  CliOptions options = Parsed({});
  EXPECT_FALSE(options.Folder);
  EXPECT_FALSE(options.Output);
  EXPECT_FALSE(options.SettingsFile);
  EXPECT_FALSE(options.Preset);
  EXPECT_TRUE(options.SettingLines.empty());
  EXPECT_FALSE(options.Format);
  EXPECT_FALSE(options.Quiet || options.Help || options.Version || options.NullEnds);
}

TEST(CliOptions, ValuesComeInEveryGetoptForm) {
  const std::vector<std::vector<std::string>> forms = {
      {"-o", "x.html"},          {"-ox.html"},      {"--output", "x.html"}, {"--output=x.html"},
      {"-q", "--output=x.html"}, {"-qo", "x.html"}, {"-qox.html"},
  };
  for (const std::vector<std::string>& form : forms) {
    CliOptions options = Parsed(form);
    ASSERT_TRUE(options.Output) << form[0];
    EXPECT_EQ("x.html", *options.Output) << form[0];
    EXPECT_EQ(form[0].compare(0, 2, "-q") == 0, options.Quiet) << form[0];
  }
  // A value that is not attached is the next argument, even one with a dash.
  EXPECT_EQ("-q", *Parsed({"-o", "-q"}).Output);
  EXPECT_EQ("--", *Parsed({"--output", "--"}).Output);
  EXPECT_EQ("", *Parsed({"--save-settings="}).SaveSettingsFile);
  EXPECT_EQ("a=b", *Parsed({"--settings=a=b"}).SettingsFile);
  EXPECT_EQ("Title=x", Parsed({"--set=Title=x"}).SettingLines.at(0));
}

TEST(CliOptions, SwitchesCombineAndFolderMayStandAnywhere) {
  CliOptions options = Parsed({"-qh", "site", "--include-parent", "-V"});
  EXPECT_TRUE(options.Quiet);
  EXPECT_TRUE(options.Help);
  EXPECT_TRUE(options.Version);
  EXPECT_TRUE(options.IncludeParent);
  EXPECT_EQ("site", *options.Folder);

  EXPECT_EQ("-", *Parsed({"-"}).Folder) << "a lone dash is an operand, as getopt has it";
  EXPECT_EQ("-q", *Parsed({"--", "-q"}).Folder);
  EXPECT_FALSE(Parsed({"--", "-q"}).Quiet);
  EXPECT_EQ("--", *Parsed({"--", "--"}).Folder);
}

TEST(CliOptions, LongNamesShortenToAnyUnambiguousPrefix) {
  EXPECT_TRUE(Parsed({"--print"}).PrintSettings);
  EXPECT_TRUE(Parsed({"--include-p"}).IncludeParent);
  EXPECT_EQ("option --inc is ambiguous (--include, --include-parent, --include-empty)", ErrorOf({"--inc"}));
  EXPECT_EQ("FileMask=x", Parsed({"--include", "x"}).SettingLines.at(0)) << "a whole name is never ambiguous";
  EXPECT_TRUE(Parsed({"--q"}).Quiet);
  EXPECT_EQ("modern", *Parsed({"--pre", "modern"}).Preset);
  // "--set" is a whole name as well as the start of "--settings".
  EXPECT_EQ("SortBy=1", Parsed({"--set", "SortBy=1"}).SettingLines.at(0));
  EXPECT_EQ("job.ksv", *Parsed({"--setti", "job.ksv"}).SettingsFile);

  EXPECT_EQ("option --s is ambiguous (--search, --sort, --show-links, --settings, --set, --save-settings)",
            ErrorOf({"--s", "x"}));
  EXPECT_EQ("option --p is ambiguous (--preset, --print-settings)", ErrorOf({"--p"}));
  EXPECT_EQ("unknown option --outputs", ErrorOf({"--outputs=x"}));
  EXPECT_EQ("unknown option --", ErrorOf({"--=x"}));
}

TEST(CliOptions, MistakesAreNamed) {
  struct Case {
    std::vector<std::string> Arguments;
    std::string Error;
  };
  const Case cases[] = {
      {{"--frobnicate"}, "unknown option --frobnicate"},
      {{"-x"}, "unknown option -x"},
      {{"-qx"}, "unknown option -x"},
      {{"-o"}, "option -o needs FILE"},
      {{"-qo"}, "option -o needs FILE"},
      {{"--output"}, "option -o needs FILE"},
      {{"--outp", "x"}, "option --outp is ambiguous (--output, --output-dir)"},
      {{"--set"}, "option --set needs KEY=VALUE"},
      {{"--quiet=yes"}, "option --quiet takes no value"},
      {{"--qu=yes"}, "option --quiet takes no value"},
      {{"a", "b"}, "only one FOLDER may be given (\"a\" and \"b\"); --duplicates searches several"},
      {{"-o", ""}, "the output file name is empty"},
      {{"-s", ""}, "the settings file name is empty"},
      {{"--format", "xml"}, "unknown form xml (" + FormList() + ")"},
      {{"--format"}, "option --format needs FORM"},
      {{"-s", "a.ksv", "--preset", "modern"}, "-s and --preset both name a settings file"},
      {{"--preset", "../modern"}, "a preset is named by its name alone, not \"../modern\""},
      {{"--preset", ""}, "a preset is named by its name alone, not \"\""},
      {{"/?"}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Error, ErrorOf(c.Arguments)) << c.Arguments[0];
  EXPECT_EQ("/?", *Parsed({"/?"}).Folder) << "only Windows reads /? as a request for help";
  EXPECT_EQ("text", *Parsed({"-o", "x.html", "--text"}).Format) << "--text is --format text, for files too";
  EXPECT_EQ("html", *Parsed({"--text", "--format=html"}).Format) << "the last form named wins";
}

// A count is refused with the range it takes: none but the digits of 1 to
// the largest, which a large -L (every level, as for find) stays within.
TEST(CliOptions, CountsNameTheLargestTheyTake) {
  for (const char* option : {"--max-depth", "--threads"}) {
    for (const char* value : {"0", "", "x", "-1", "1.5", "4294967296", "99999999999999999999999"}) {
      EXPECT_EQ(std::string(option) + " needs a number from 1 to 4294967295, not " + value,
                ErrorOf({"-R", option, value}))
          << option << " " << value;
    }
  }
  EXPECT_EQ(99999999u, Parsed({"-R", "-L", "99999999"}).MaxDepth);
  EXPECT_EQ(4294967295u, Parsed({"-R", "-L", "4294967295"}).MaxDepth);
  EXPECT_EQ(7u, Parsed({"-R", "--threads=007"}).Threads);
  EXPECT_EQ(1000000u, Parsed({"-R", "--threads", "1000000"}).Threads) << "more than it uses is no mistake";
}

TEST(CliOptions, HiddenAndNoHiddenSetTheSettingTheLastWinning) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(Parsed({"-a"}).SettingLines, (Lines{"HideHidden=0"}));
  EXPECT_EQ(Parsed({"--hidden", "--no-hidden"}).SettingLines, (Lines{"HideHidden=0", "HideHidden=1"}));
  EXPECT_EQ(Parsed({"-qa", "--hid"}).SettingLines, (Lines{"HideHidden=0", "HideHidden=0"}));
}

TEST(CliOptions, SlashQuestionMarkAsksForHelpOnWindows) {
  CliOptions options = Parsed({"/?"}, true);
  EXPECT_TRUE(options.Help);
  EXPECT_FALSE(options.Folder);
  EXPECT_EQ("/?", *Parsed({"--", "/?"}, true).Folder);
}

TEST(CliOptions, SetIsCheckedStrictly) {
  struct Case {
    std::string Line;
    std::string Error;
  };
  const Case cases[] = {
      {"SortBy=abc", "invalid value for SortBy: abc (one of 0, 1, 2, 3, 4, 5, 6)"},
      {"SortBy=7", "invalid value for SortBy: 7 (one of 0, 1, 2, 3, 4, 5, 6)"},
      {"SortBy=", "invalid value for SortBy:  (one of 0, 1, 2, 3, 4, 5, 6)"},
      {"Columns=STX", "invalid value for Columns: STX (the letters S T W C R A H)"},
      {"TableBorder=2", "invalid value for TableBorder: 2 (one of 0, 1)"},
      {"CellSpacing=2px", "invalid value for CellSpacing: 2px (a number of digits)"},
      {"Colums=STW", "unknown setting key: Colums (did you mean Columns?)"},
      {"Frobnicate=1", "unknown setting key: Frobnicate"},
      {"TimeStyle=isp", "invalid value for TimeStyle: isp (one of classic, iso, locale; did you mean iso?)"},
      {"Format=xml", "invalid value for Format: xml (" + FormList() + ")"},
      {"SortBy", "--set needs KEY=VALUE, not \"SortBy\""},
      {"=5", "--set needs KEY=VALUE, not \"=5\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.Error, ErrorOf({"--set", "SortBy=1", "--set", c.Line})) << c.Line;
  }
  CliOptions options = Parsed({"--set", "OutputFormat=1", "--set", "$Bites=Kb", "--set", "Title=a\r"});
  EXPECT_EQ(3u, options.SettingLines.size());
  EXPECT_EQ("SortBy=5", Parsed({"--set", "sortby=5"}).SettingLines.at(0)) << "a key in any letter case";
  EXPECT_EQ("$FileSize=KB", Parsed({"--set", "$FILESIZE=KB"}).SettingLines.at(0));
}

TEST(CliOptions, OptionsThatStandForSettingsSetThemInCommandLineOrder) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(Parsed({"--sort=size", "-r"}).SettingLines, (Lines{"SortBy=5", "NaturalOrder=0", "DescOrder=1"}));
  EXPECT_EQ(Parsed({"--sort", "version"}).SettingLines, (Lines{"SortBy=0", "NaturalOrder=1"}));
  EXPECT_EQ(Parsed({"--columns=modified,size,seconds,size"}).SettingLines, (Lines{"Columns=SWH"}))
      << "in the order of a settings file, each once";
  EXPECT_EQ(Parsed({"--columns", "TWS"}).SettingLines, (Lines{"Columns=STW"}));
  EXPECT_EQ(Parsed({"--columns="}).SettingLines, (Lines{"Columns="}));
  EXPECT_EQ(Parsed({"-I", "*.o", "--set", "Exclude=x", "--exclude=*.tmp"}).SettingLines,
            (Lines{"Exclude=*.o", "Exclude=x", "Exclude=*.o;*.tmp"}))
      << "each use names every pattern so far and wins over --set as a later --set would";
  EXPECT_EQ(Parsed({"-P", "*.txt", "-P*.jpg"}).SettingLines,
            (Lines{"FileMask=*.txt", "FileMask=*.txt;*.jpg"}));
  EXPECT_EQ(
      Parsed({"--title=My $DirPath", "--no-hidden", "--human-sizes", "--time-style=iso", "--show-links"})
          .SettingLines,
      (Lines{"Title=My $DirPath", "HideHidden=1", "HumanSizes=1", "TimeStyle=iso", "ShowLinks=1"}));
  EXPECT_EQ(Parsed({"--bom", "--no-bom", "--bom"}).SettingLines, (Lines{"CsvBom=1", "CsvBom=0", "CsvBom=1"}))
      << "the last one wins";
  EXPECT_EQ(ErrorOf({"--set", "CsvBom=yes"}), "invalid value for CsvBom: yes (one of 0, 1)");
  EXPECT_EQ(
      ErrorOf({"--sort=sise"}),
      "unknown sort key sise (name, type, modified, created, accessed, size, attributes, version; did you "
      "mean size?)");
  EXPECT_EQ(ErrorOf({"--columns=size,tipe"}),
            "unknown column tipe (size, type, modified, created, accessed, attributes, seconds; did you mean "
            "type?)");
  EXPECT_EQ(ErrorOf({"--time-style=ISO"}),
            "unknown time style ISO (classic, iso, locale; did you mean iso?)");
  EXPECT_EQ(ErrorOf({"--title", "a\nb"}), "the title holds a line break");
  EXPECT_EQ(ErrorOf({"-I", ""}), "an empty pattern matches nothing");
}

TEST(CliOptions, ValuesAreListedForCompletion) {
  std::string text;
  ASSERT_TRUE(ValuesText("sort", text));
  EXPECT_EQ(text, "name\ntype\nmodified\ncreated\naccessed\nsize\nattributes\nversion\n");
  ASSERT_TRUE(ValuesText("SizeIn", text));
  EXPECT_EQ(text, "0\n1\n2\n");
  ASSERT_TRUE(ValuesText("format", text));
  std::string forms;
  for (const std::string& name : FormNames()) forms += name + "\n";
  EXPECT_EQ(text, forms);
  EXPECT_FALSE(ValuesText("Title", text)) << "any text will do";
  EXPECT_FALSE(ValuesText("nothing", text));
}

TEST(CliOptions, HelpNamesEveryOptionInItsGroupAndVersionTheLicence) {
  const std::string help = UsageText();
  for (const char* option : {"-o, --output FILE",
                             "--format FORM",
                             "--text",
                             "--title TEXT",
                             "--human-sizes",
                             "--time-style STYLE",
                             "-I, --exclude PATTERN",
                             "-P, --include PATTERN",
                             "--no-hidden",
                             "--include-parent",
                             "--null",
                             "--sort KEY",
                             "-r, --reverse",
                             "--columns LIST",
                             "-s, --settings FILE",
                             "--preset NAME",
                             "--set KEY=VALUE",
                             "--print-settings",
                             "--save-settings FILE",
                             "--help-keys",
                             "-q, --quiet",
                             "--list-values NAME",
                             "-h, --help",
                             "-V, --version"}) {
    EXPECT_NE(std::string::npos, help.find(option)) << option;
  }
  size_t at = 0;
  for (const char* heading : {"\nOutput:\n", "\nWhat to list:\n", "\nOrder:\n", "\nColumns:\n",
                              "\nSettings files:\n", "\nOther:\n", "--help-keys lists every key"}) {
    const size_t found = help.find(heading, at);
    ASSERT_NE(found, std::string::npos) << heading;
    at = found;
  }
  EXPECT_NE(help.find(FormList()), std::string::npos) << "the forms from their table";
  EXPECT_TRUE(Parsed({"--null", "--format", "names"}).NullEnds);
  EXPECT_TRUE(Parsed({"--nu"}).NullEnds) << "a prefix of --null alone";
  const std::string version = VersionText();
  EXPECT_EQ(0u, version.find("kestrova-cli (Kestrova) 1.51\n"));
  EXPECT_NE(std::string::npos, version.find("License: MIT"));
}

}  // namespace

namespace {

TEST(CliOptions, ChecksumsAreNamedOnceEachInTheirOrder) {
  EXPECT_EQ(Parsed({"--checksum", "xxh128", "--checksum=sha256", "--checksum", "xxh128"}).Checksums,
            (std::vector<std::string>{"xxh128", "sha256"}));
  EXPECT_EQ(ErrorOf({"--checksum", "sha265"}),
            "unknown checksum sha265 (sha256, sha1, md5, xxh128; did you mean sha256?)");
  EXPECT_EQ(ErrorOf({"--checksum", "SHA256"}).rfind("unknown checksum SHA256", 0), 0u);
  // The files of one folder are read several at a time.
  EXPECT_EQ(Parsed({"--checksum", "md5", "--threads", "3"}).Threads, 3u);
  EXPECT_NE(ErrorOf({"--threads", "3"}), "");
  // Whether the catalog holds them is for the run to tell, once it is read.
  EXPECT_EQ(ErrorOf({"--from", "x.catalog.html", "--checksum", "md5"}), "");
  std::string values;
  ASSERT_TRUE(ValuesText("checksum", values));
  EXPECT_EQ(values, "sha256\nsha1\nmd5\nxxh128\n");
}

}  // namespace

namespace {

TEST(CliOptions, CompareTakesTheOptionsOfAWalkAndOfAReportAlone) {
  const CliOptions options =
      Parsed({"--compare", "old.json", "-L", "3", "--threads", "2", "--format", "page", "new"});
  EXPECT_EQ("old.json", *options.Compare);
  EXPECT_EQ("new", *options.Folder);
  EXPECT_EQ(3u, options.MaxDepth);
  EXPECT_EQ("--compare reports in text, json or page, not as --format csv",
            ErrorOf({"--compare", "old.json", "--format", "csv"}));
  for (const std::vector<std::string>& extra : {std::vector<std::string>{"--from", "x.json"},
                                                {"--verify", "x.json"},
                                                {"--duplicates"},
                                                {"--watch"},
                                                {"--du"},
                                                {"--output-dir", "out"},
                                                {"--null"}}) {
    std::vector<std::string> arguments{"--compare", "old.json"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    EXPECT_EQ(0u, ErrorOf(arguments).find("--compare compares two listings; " + extra[0])) << extra[0];
  }
  EXPECT_EQ("the name of the old side to compare is empty", ErrorOf({"--compare", ""}));
}

}  // namespace

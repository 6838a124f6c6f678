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
      {"-o", "x.html"}, {"-ox.html"},      {"--output", "x.html"}, {"--output=x.html"},
      {"--out=x.html"}, {"--o", "x.html"}, {"-qo", "x.html"},      {"-qox.html"},
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
  EXPECT_TRUE(Parsed({"--inc"}).IncludeParent);
  EXPECT_TRUE(Parsed({"--q"}).Quiet);
  EXPECT_EQ("modern", *Parsed({"--pre", "modern"}).Preset);
  // "--set" is a whole name as well as the start of "--settings".
  EXPECT_EQ("SortBy=1", Parsed({"--set", "SortBy=1"}).SettingLines.at(0));
  EXPECT_EQ("job.ksv", *Parsed({"--setti", "job.ksv"}).SettingsFile);

  EXPECT_EQ("option --s is ambiguous (--settings, --set, --save-settings)", ErrorOf({"--s", "x"}));
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
      {{"--out"}, "option -o needs FILE"},
      {{"--set"}, "option --set needs KEY=VALUE"},
      {{"--quiet=yes"}, "option --quiet takes no value"},
      {{"--qu=yes"}, "option --quiet takes no value"},
      {{"a", "b"}, "only one FOLDER may be given (\"a\" and \"b\")"},
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
      {"SortBy=abc", "invalid value for SortBy: abc"},
      {"SortBy=7", "invalid value for SortBy: 7"},
      {"SortBy=", "invalid value for SortBy: "},
      {"Columns=STX", "invalid value for Columns: STX"},
      {"TableBorder=2", "invalid value for TableBorder: 2"},
      {"CellSpacing=2px", "invalid value for CellSpacing: 2px"},
      {"Colums=STW", "unknown setting key: Colums"},
      {"sortby=2", "unknown setting key: sortby"},
      {"SortBy", "--set needs KEY=VALUE, not \"SortBy\""},
      {"=5", "--set needs KEY=VALUE, not \"=5\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.Error, ErrorOf({"--set", "SortBy=1", "--set", c.Line})) << c.Line;
  }
  CliOptions options = Parsed({"--set", "OutputFormat=1", "--set", "$Bites=Kb", "--set", "Title=a\r"});
  EXPECT_EQ(3u, options.SettingLines.size());
}

TEST(CliOptions, HelpNamesEveryOptionAndVersionTheLicence) {
  const std::string help = UsageText();
  for (const char* option : {"-o, --output FILE", "-s, --settings FILE", "--preset NAME", "--set KEY=VALUE",
                             "--include-parent", "--text", "--null", "--print-settings",
                             "--save-settings FILE", "-q, --quiet", "-h, --help", "-V, --version"}) {
    EXPECT_NE(std::string::npos, help.find(option)) << option;
  }
  EXPECT_NE(std::string::npos, help.find("file's extension: " + FormList() + "\n"))
      << "--format names every form of the table";
  EXPECT_TRUE(Parsed({"--null", "--format", "names"}).NullEnds);
  EXPECT_TRUE(Parsed({"--nu"}).NullEnds) << "a prefix of --null alone";
  const std::string version = VersionText();
  EXPECT_EQ(0u, version.find("kestrova-cli (Kestrova) 1.51\n"));
  EXPECT_NE(std::string::npos, version.find("License: MIT"));
}

TEST(CliOptions, FolderNamesEndWithASeparator) {
  EXPECT_TRUE(EndsWithSeparator("out/", '/'));
  EXPECT_FALSE(EndsWithSeparator("out\\", '/')) << "a backslash is part of a POSIX name";
  EXPECT_TRUE(EndsWithSeparator("out\\", '\\'));
  EXPECT_TRUE(EndsWithSeparator("out/", '\\'));
  EXPECT_FALSE(EndsWithSeparator("out.html", '/'));
  EXPECT_FALSE(EndsWithSeparator("", '/'));
}

}  // namespace

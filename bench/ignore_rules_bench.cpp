// The cost of asking the ignore rules about one entry, as a walk asks for
// every entry of a tree: a work tree's top .gitignore of a few hundred rules
// of the kinds real ones hold (names, "*.ext", anchored paths, globs of
// names and of paths), a nested .gitignore, the user's excludes file and
// info/exclude, against names of a source tree. Prints nanoseconds per
// question (processor time) beside the same questions of a stack without
// rules.
//
//   cmake --build build/native --target ignore_rules_bench
//   build/native/ignore_rules_bench [QUESTIONS]   default 20,000,000
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tree/ignore_rules.h"

namespace {

// A top .gitignore as large projects keep them: tools' folders and files,
// many extensions, case variants in sets, anchored build folders, a few
// rules for nested paths and re-included exceptions.
std::string TopRules() {
  std::string text = "# editors, tools and platforms\n";
  const char* const names[] = {"node_modules/",
                               ".DS_Store",
                               "Thumbs.db",
                               "__pycache__/",
                               ".idea/",
                               ".vscode/",
                               "target/",
                               ".cache/",
                               "coverage/",
                               ".tox/",
                               ".venv",
                               "venv/",
                               ".gradle/",
                               ".sass-cache/",
                               ".mypy_cache/",
                               ".pytest_cache/",
                               ".terraform/",
                               "bower_components/",
                               "jspm_packages/",
                               ".yarn-integrity",
                               ".eslintcache",
                               ".env.local",
                               "npm-debug.log",
                               "yarn-error.log",
                               ".nyc_output",
                               "ehthumbs.db",
                               "Desktop.ini",
                               ".Spotlight-V100",
                               ".Trashes",
                               ".fseventsd",
                               "$RECYCLE.BIN/",
                               ".vs/",
                               "ipch/",
                               "TestResults/",
                               "BenchmarkDotNet.Artifacts/",
                               "project.lock.json",
                               "artifacts/",
                               "Generated_Code/",
                               "_UpgradeReport_Files/",
                               "Backup*/",
                               "UpgradeLog*.XML",
                               "ServiceFabricBackup/",
                               "FakesAssemblies/",
                               ".ntvs_analysis.dat",
                               "paket-files/",
                               ".ionide/",
                               "CMakeCache.txt",
                               "CMakeFiles/",
                               "cmake_install.cmake",
                               "install_manifest.txt",
                               "compile_commands.json",
                               "CTestTestfile.cmake",
                               "_deps",
                               ".fuse_hidden*",
                               ".directory",
                               ".Trash-*",
                               ".nfs*",
                               "tags",
                               "TAGS",
                               ".netrwhist",
                               "Session.vim"};
  for (const char* name : names) text += std::string(name) + "\n";
  text += "\n# outputs of compilers, packers and tools\n";
  const char* const extensions[] = {"o",
                                    "obj",
                                    "so",
                                    "dylib",
                                    "dll",
                                    "exe",
                                    "out",
                                    "app",
                                    "a",
                                    "lib",
                                    "lo",
                                    "la",
                                    "ko",
                                    "elf",
                                    "ilk",
                                    "map",
                                    "exp",
                                    "gch",
                                    "pch",
                                    "mod",
                                    "smod",
                                    "lai",
                                    "idb",
                                    "pdb",
                                    "class",
                                    "jar",
                                    "war",
                                    "ear",
                                    "nar",
                                    "pyc",
                                    "pyo",
                                    "pyd",
                                    "egg",
                                    "whl",
                                    "log",
                                    "tmp",
                                    "temp",
                                    "bak",
                                    "swp",
                                    "swo",
                                    "orig",
                                    "rej",
                                    "user",
                                    "suo",
                                    "userosscache",
                                    "sln.docstates",
                                    "aps",
                                    "ncb",
                                    "opendb",
                                    "opensdf",
                                    "sdf",
                                    "cachefile",
                                    "VC.db",
                                    "VC.VC.opendb",
                                    "psess",
                                    "vsp",
                                    "vspx",
                                    "sap",
                                    "e2e",
                                    "gpState",
                                    "nupkg",
                                    "snupkg",
                                    "appx",
                                    "appxbundle",
                                    "appxupload",
                                    "dbmdl",
                                    "dbproj.schemaview",
                                    "jfm",
                                    "pfx",
                                    "publishsettings",
                                    "rdl.data",
                                    "bim.layout",
                                    "bim_*.settings",
                                    "rptproj.rsuser",
                                    "btp.cs",
                                    "btm.cs",
                                    "odx.cs",
                                    "xsd.cs",
                                    "tlog",
                                    "lastbuildstate",
                                    "iobj",
                                    "ipdb",
                                    "mo",
                                    "pot",
                                    "sage.py",
                                    "manifest",
                                    "rpmbuild",
                                    "tsbuildinfo",
                                    "tgz",
                                    "DotSettings.user",
                                    "ncrunchsolution",
                                    "mm.*",
                                    "vbw",
                                    "dsw",
                                    "dsp"};
  for (const char* extension : extensions) text += std::string("*.") + extension + "\n";
  text +=
      "\n# case variants and near names\n"
      "[Dd]ebug/\n[Dd]ebugPublic/\n[Rr]elease/\n[Rr]eleases/\nx64/\nx86/\n[Ww][Ii][Nn]32/\n[Aa][Rr][Mm]/\n"
      "[Aa][Rr][Mm]64/\nbld/\n[Bb]in/\n[Oo]bj/\n[Ll]og/\n[Ll]ogs/\n*_i.c\n*_p.c\n*_h.h\n*.[Cc]ache\n"
      "!?*.[Cc]ache/\n*.sw?\n*~\n~$*\n*.py[cod]\n*$py.class\n._*\nIcon?\n*.[Rr]e[Ss]harper\n_ReSharper*/\n"
      "*.tmp.*\n.#*\n#*#\n*.ncrunch*\n_NCrunch_*\n*.mm.*\nAutoTest.Net/\n*.[Pp]ublish.xml\n*.azurePubxml\n"
      "*.pubxml\n*_wpftmp.csproj\n.*crunch*.local.xml\n*.e2e\n.localhistory/\n*.VisualState.xml\n";
  text +=
      "\n# this project's own outputs\n"
      "/build/\n/build-*/\n/dist/\n/out/\n/release/\n/site/\n/public/\n/.eggs/\n/wheels/\n/sdist/\n"
      "docs/_build/\ndocs/api/\ndocs/html/\nsrc/gen/*.c\nsrc/gen/*.h\nsrc/parser/grammar.tab.*\n"
      "src/parser/lexer.yy.c\ntests/output/\ntests/tmp/\ntests/**/fixtures/*.actual\ntools/bin/\n"
      "packaging/deb/tmp/\npackaging/rpm/BUILD/\nweb/static/bundle*.js\nweb/static/*.map\n";
  text +=
      "\n# nested paths\n"
      "**/Properties/launchSettings.json\n**/[Pp]ackages/*\n!**/[Pp]ackages/build/\n"
      "**/.idea/workspace.xml\n.idea/**/dictionaries\ncmake-build-*/\n**/node_modules/**\n"
      "**/*.Server/GeneratedArtifacts\n**/*.DesktopClient/ModelManifest.xml\n!src/"
      "keep.log\n!*.sln.docstates\n"
      "!/dist/README\n";
  return text;
}

std::vector<std::string> Names() {
  std::vector<std::string> names;
  const char* const stems[] = {"main", "util", "parser", "reader", "writer", "index", "README", "Makefile"};
  const char* const extensions[] = {".c", ".h", ".cpp", ".py", ".md", ".txt", ".o", ".json", ""};
  for (const char* stem : stems) {
    for (const char* extension : extensions) names.push_back(std::string(stem) + extension);
  }
  return names;
}

double NanosecondsPerQuestion(const IgnoreStack& stack, const std::vector<std::string>& names, long questions,
                              long& ignored) {
  const char* const folders[] = {"src", "src/gen", "src/module3", "src/module3/detail/impl"};
  // Processor time, so that other programs on the machine count less.
  const std::clock_t start = std::clock();
  ignored = 0;
  for (long i = 0; i < questions; ++i) {
    const std::string& name = names[static_cast<size_t>(i) % names.size()];
    ignored += IsIgnored(stack, folders[i % 4], name, i % 7 == 0);
  }
  const double spent = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC * 1e9;
  return spent / static_cast<double>(questions);
}

}  // namespace

int main(int argc, char** argv) {
  const long questions = argc > 1 ? std::atol(argv[1]) : 20000000;
  IgnoreStack stack;
  stack.HidesGitFolders = true;
  stack = PushIgnoreRules(stack, ParseIgnoreRules("*.bak\n*.orig\n.env\n"), "", "");
  stack = PushIgnoreRules(stack, ParseIgnoreRules("local/\n*.secret\n"), "", "");
  const std::string top = TopRules();
  stack = PushIgnoreFile(stack, "", top);
  stack = PushIgnoreFile(stack, "src", "*.gen.h\n/scratch\n!keep.o\n");
  const std::vector<std::string> names = Names();
  long ignored = 0, none = 0;
  const double with_rules = NanosecondsPerQuestion(stack, names, questions, ignored);
  const double without = NanosecondsPerQuestion(IgnoreStack{}, names, questions, none);
  size_t rules = 0;
  for (char c : top) rules += c == '\n';
  std::printf("%zu rules in the top .gitignore, 4 files: %.1f ns per entry (%ld of %ld left out)\n", rules,
              with_rules, ignored, questions);
  std::printf("no rules: %.1f ns per entry\n", without);
  return 0;
}

#include "output/request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

CommonStruct SettingsOf(const std::string& output_file, int32_t output, const std::string& format) {
  CommonStruct settings;
  settings.OutputFile = output_file;
  settings.Output = static_cast<OutputCode>(output);
  settings.Format = format;
  return settings;
}

OutputChoices Choices(std::optional<std::string> file, const char* form = nullptr, bool tree = false) {
  OutputChoices choices;
  choices.File = std::move(file);
  choices.Form = form != nullptr ? FormNamed(form) : nullptr;
  choices.Tree = tree;
  return choices;
}

std::string TargetName(OutputTarget target) {
  switch (target) {
    case OutputTarget::kFile:
      return "file";
    case OutputTarget::kStandardOutput:
      return "standard output";
    case OutputTarget::kPagePerFolder:
      return "page per folder";
  }
  return "?";
}

struct Chosen {
  CommonStruct Settings;
  OutputChoices Asked;
  const char* Form;
  OutputTarget Target;
  std::string Path;
  bool FormNamed;
};

TEST(ChooseOutputRequest, ChoosesTheFormTheTargetAndTheNameOnce) {
  using T = OutputTarget;
  const std::string here = AbsolutePath("list.html");
  const Chosen cases[] = {
      // The name's extension gives the form; a file from the settings stays
      // as they hold it, a file named is made absolute.
      {SettingsOf("list.html", 1, ""), Choices(std::nullopt), "html", T::kFile, "list.html", false},
      {SettingsOf("x", 0, ""), Choices("list.html"), "html", T::kFile, here, false},
      {SettingsOf("x", 0, ""), Choices("list.JSON"), "json", T::kFile, AbsolutePath("list.JSON"), false},
      {SettingsOf("x", 0, ""), Choices("list.log"), "text", T::kFile, AbsolutePath("list.log"), false},
      // On standard output, the classic form that Output names.
      {SettingsOf("-", 1, ""), Choices(std::nullopt), "text", T::kStandardOutput, "", false},
      {SettingsOf("x.txt", 0, ""), Choices("-"), "html", T::kStandardOutput, "", false},
      {SettingsOf("-", 1, "page"), Choices(std::nullopt), "page", T::kStandardOutput, "", true},
      // Format stands unless a file named asks for a form of other extensions.
      {SettingsOf("list.html", 0, "page"), Choices(std::nullopt), "page", T::kFile, "list.html", true},
      {SettingsOf("x", 0, "page"), Choices("list.html"), "page", T::kFile, here, true},
      {SettingsOf("x", 0, "json"), Choices("list.html"), "html", T::kFile, here, false},
      {SettingsOf("list.log", 0, "names"), Choices(std::nullopt), "names", T::kFile, "list.log", true},
      // The form named wins, and counts as named even where the name agrees.
      {SettingsOf("x", 0, "page"), Choices("list.html", "html"), "html", T::kFile, here, true},
      // A tree: pages named by the form without a file named, one document
      // on standard output or in the file named.
      {SettingsOf("list.json", 1, ""), Choices(std::nullopt, nullptr, true), "html", T::kPagePerFolder,
       "index.html", false},
      {SettingsOf("x", 0, ""), Choices(std::nullopt, "page", true), "page", T::kPagePerFolder, "index.html",
       true},
      {SettingsOf("x", 0, "page"), Choices("list.htm", nullptr, true), "page", T::kPagePerFolder, "list.htm",
       true},
      {SettingsOf("x", 0, ""), Choices(std::nullopt, "json", true), "json", T::kStandardOutput, "", true},
      {SettingsOf("x", 0, "csv"), Choices(std::nullopt, nullptr, true), "csv", T::kStandardOutput, "", true},
      {SettingsOf("x", 0, ""), Choices("tree.json", nullptr, true), "json", T::kFile,
       AbsolutePath("tree.json"), false},
  };
  for (const Chosen& c : cases) {
    const RequestChoice choice = ChooseOutputRequest(c.Settings, c.Asked);
    const std::string label = c.Settings.OutputFile + " " + c.Settings.Format + " -o " +
                              c.Asked.File.value_or("(none)") + (c.Asked.Tree ? " -R" : "");
    ASSERT_EQ(choice.Failure, RequestFailure::kNone) << label;
    EXPECT_EQ(choice.Request.Form->Name, std::string(c.Form)) << label;
    EXPECT_EQ(TargetName(choice.Request.Target), TargetName(c.Target)) << label;
    EXPECT_EQ(choice.Request.Path, c.Path) << label;
    EXPECT_EQ(choice.Request.FormNamed, c.FormNamed) << label;
    EXPECT_EQ(choice.Request.Tree, c.Asked.Tree) << label;
  }
}

struct Refusal {
  CommonStruct Settings;
  OutputChoices Asked;
  RequestFailure Failure;
  std::string Path;
  const char* Claiming;  // null for none
  const char* Meant;     // null for none
};

TEST(ChooseOutputRequest, RefusesANameThatPromisesAnotherForm) {
  using F = RequestFailure;
  OutputChoices null_ends = Choices("list.json");
  null_ends.NullEnds = true;
  const Refusal cases[] = {
      {SettingsOf("x", 0, ""), Choices("out/"), F::kNameEndsInSeparator, "out/", nullptr, nullptr},
      {SettingsOf("out/", 0, ""), Choices(std::nullopt), F::kNameEndsInSeparator, "out/", nullptr, nullptr},
      {SettingsOf("x", 0, ""), Choices("-", nullptr, true), F::kPageNameIsAPath, "-", nullptr, nullptr},
      {SettingsOf("x", 0, ""), Choices("sub/index.html", nullptr, true), F::kPageNameIsAPath,
       "sub/index.html", nullptr, nullptr},
      {SettingsOf("x", 0, ""), null_ends, F::kNoNullEndedRecords, AbsolutePath("list.json"), nullptr,
       nullptr},
      {SettingsOf("x", 0, ""), Choices("x.html", "text"), F::kExtensionOfAnotherForm, AbsolutePath("x.html"),
       "html", "text"},
      {SettingsOf("x", 0, ""), Choices("x.csv", "json"), F::kExtensionOfAnotherForm, AbsolutePath("x.csv"),
       "csv", "json"},
      // Without a form named, a name of XHTML is meant for the page.
      {SettingsOf("x", 0, ""), Choices("x.xhtml"), F::kExtensionOfUnwrittenForm, AbsolutePath("x.xhtml"),
       nullptr, "page"},
      {SettingsOf("x", 0, ""), Choices("X.XHT", "html"), F::kExtensionOfUnwrittenForm, AbsolutePath("X.XHT"),
       nullptr, "html"},
      {SettingsOf("x", 0, ""), Choices("index.xhtml", nullptr, true), F::kExtensionOfUnwrittenForm,
       "index.xhtml", nullptr, "page"},
      {SettingsOf("x", 0, ""), Choices(std::nullopt, "text", true), F::kPagesWithoutMark, "index.txt",
       nullptr, nullptr},
  };
  for (const Refusal& c : cases) {
    const RequestChoice choice = ChooseOutputRequest(c.Settings, c.Asked);
    const std::string label = c.Asked.File.value_or(c.Settings.OutputFile);
    EXPECT_EQ(static_cast<int>(choice.Failure), static_cast<int>(c.Failure)) << label;
    EXPECT_EQ(choice.Request.Path, c.Path) << label;
    EXPECT_EQ(choice.Claiming != nullptr ? choice.Claiming->Name : "(none)",
              std::string(c.Claiming != nullptr ? c.Claiming : "(none)"))
        << label;
    EXPECT_EQ(choice.Meant != nullptr ? choice.Meant->Name : "(none)",
              std::string(c.Meant != nullptr ? c.Meant : "(none)"))
        << label;
  }
}

// The settings printed or saved for a request, read again with nothing
// named but the tree, choose the same form, target and file: for every
// form, on every target. A tree's file comes from the command line alone,
// and is named again where it is standard output.
TEST(SettingsOfRequest, ChooseTheSameRequestAgain) {
  std::vector<std::optional<std::string>> files = {std::nullopt, std::string("-"), std::string("list.html"),
                                                   std::string("list.json"), std::string("list.log")};
  std::vector<const char*> forms = {nullptr};
  for (const std::string& name : FormNames()) forms.push_back(FormNamed(name)->Name);
  size_t checked = 0;
  for (const bool tree : {false, true}) {
    for (const int32_t output : {kOutputHtml, kOutputText}) {
      for (const auto& file : files) {
        for (const char* form : forms) {
          const CommonStruct settings = SettingsOf("saved.csv", output, "");
          if (tree && file && *file != "-") continue;
          const RequestChoice first = ChooseOutputRequest(settings, Choices(file, form, tree));
          if (first.Failure != RequestFailure::kNone) continue;
          const CommonStruct saved = SettingsOfRequest(settings, first.Request);
          const auto named_again = tree ? file : std::nullopt;
          const RequestChoice again = ChooseOutputRequest(saved, Choices(named_again, nullptr, tree));
          const std::string label = file.value_or("(none)") + " " + (form ? form : "(none)") +
                                    (tree ? " -R" : "") + " Output=" + std::to_string(output);
          ASSERT_EQ(again.Failure, RequestFailure::kNone) << label;
          EXPECT_EQ(again.Request.Form, first.Request.Form) << label;
          EXPECT_EQ(TargetName(again.Request.Target), TargetName(first.Request.Target)) << label;
          EXPECT_EQ(again.Request.Path, first.Request.Path) << label;
          CommonStruct without_format = saved;
          without_format.Format.clear();
          const RequestChoice by_name =
              ChooseOutputRequest(without_format, Choices(named_again, nullptr, tree));
          EXPECT_EQ(saved.Format.empty(), by_name.Request.Form == first.Request.Form)
              << label << ": Format only where the name would give another form";
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 50u);
}

// Folders' totals change every form's bytes, so only the pages of a tree
// that show them by default have them unasked; --du and --no-du win.
TEST(ChooseOutputRequest, AddsUpFoldersWhereAskedOrWhereTheFormShowsThemInATree) {
  struct Case {
    OutputChoices Asked;
    std::optional<bool> Totals;
    bool Expected;
  };
  const Case cases[] = {
      {Choices(std::nullopt, "page", true), std::nullopt, true},
      {Choices(std::nullopt, "page", false), std::nullopt, false},
      {Choices(std::nullopt, "html", true), std::nullopt, false},
      {Choices(std::nullopt, "json", true), std::nullopt, false},
      {Choices(std::nullopt, "page", true), false, false},
      {Choices("list.json", nullptr, false), true, true},
      {Choices(std::nullopt, "csv", true), true, true},
  };
  for (Case c : cases) {
    c.Asked.Totals = c.Totals;
    const RequestChoice choice = ChooseOutputRequest(SettingsOf("-", 0, ""), c.Asked);
    ASSERT_EQ(choice.Failure, RequestFailure::kNone);
    EXPECT_EQ(choice.Request.Totals, c.Expected)
        << choice.Request.Form->Name << (c.Asked.Tree ? " -R" : "") << " asked "
        << (c.Totals ? (*c.Totals ? "--du" : "--no-du") : "nothing");
  }
  EXPECT_FALSE(ClassicOutputRequest(SettingsOf("x.html", 0, "page")).Totals) << "the window adds nothing up";
}

TEST(ClassicOutputRequest, IsTheClassicFormOfOutputToTheSettingsFile) {
  const OutputRequest page = ClassicOutputRequest(SettingsOf("C:\\list.json", 0, "json"));
  EXPECT_EQ(page.Form, &FormOf(FormCode::kHtml)) << "the window follows Output, whatever Format says";
  EXPECT_EQ(TargetName(page.Target), "file");
  EXPECT_EQ(page.Path, "C:\\list.json");
  EXPECT_EQ(ClassicOutputRequest(SettingsOf("-", 1, "")).Form, &FormOf(FormCode::kText));
}

TEST(OutputRequest, FolderNamesEndWithASeparator) {
  EXPECT_TRUE(EndsWithSeparator("out/", '/'));
  EXPECT_FALSE(EndsWithSeparator("out\\", '/')) << "a backslash is part of a POSIX name";
  EXPECT_TRUE(EndsWithSeparator("out\\", '\\'));
  EXPECT_TRUE(EndsWithSeparator("out/", '\\'));
  EXPECT_FALSE(EndsWithSeparator("out.html", '/'));
  EXPECT_FALSE(EndsWithSeparator("", '/'));
}

TEST(FormTable, AnswersEveryQuestionOfExtensionsForTheFrontEnds) {
  EXPECT_EQ(FileExtensions(FormOf(FormCode::kPage)), FileExtensions(FormOf(FormCode::kHtml)));
  EXPECT_EQ(FileExtensions(FormOf(FormCode::kText)), std::vector<std::string>{".txt"});
  EXPECT_EQ(FileExtensions(FormOf(FormCode::kJson)), std::vector<std::string>{".json"});
  for (const std::string& extension : FileExtensions(FormOf(FormCode::kHtml))) {
    EXPECT_EQ(ClassicOutputForFileName("a" + extension), kOutputHtml) << extension;
  }
  EXPECT_EQ(FormsWrittenUnder(FormOf(FormCode::kHtml)), (std::vector<std::string>{"html", "page"}));
  EXPECT_EQ(FormsWrittenUnder(FormOf(FormCode::kCsv)), std::vector<std::string>{"csv"});
  EXPECT_EQ(ClassicOutputOf(FormOf(FormCode::kPage)), kOutputHtml);
  EXPECT_EQ(ClassicOutputOf(FormOf(FormCode::kJson)), kOutputText);
  EXPECT_TRUE(IsFolderIndexName("INDEX.HTM"));
  EXPECT_FALSE(IsFolderIndexName("index.shtml")) << "not served for the folder by default";
  EXPECT_FALSE(IsFolderIndexName("list.html"));
  EXPECT_EQ(FormNearestTo("a.XHTML"), &FormOf(FormCode::kPage));
  EXPECT_EQ(FormNearestTo("a.html"), nullptr);
}

// The window keeps the file's name in step with the classic form chosen.
TEST(FormTable, GivesANameTheExtensionOfTheClassicForm) {
  const char sep = FolderSeparator();
  const std::string folder = std::string("old.stuff") + sep + "list";
  struct Case {
    std::string Name;
    int32_t Output;
    std::string Named;
  };
  const Case cases[] = {
      {"FolderIndex.html", kOutputText, "FolderIndex.txt"},
      {"FolderIndex.txt", kOutputHtml, "FolderIndex.html"},
      {"report.HTM", kOutputHtml, "report.HTM"},
      {"report.HTM", kOutputText, "report.txt"},
      {"page.asp", kOutputText, "page.txt"},
      {"notes.log", kOutputText, "notes.log"},
      {"notes.log", kOutputHtml, "notes.html"},
      {"notes.json", kOutputText, "notes.json"},
      {"out", kOutputText, "out.txt"},
      {"out", kOutputHtml, "out.html"},
      {folder, kOutputHtml, folder + ".html"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NameOfClassicForm(c.Name, ClassicFormOf(c.Output)), c.Named) << c.Name;
  }
}

}  // namespace

namespace {

TEST(ChooseOutputRequest, ACatalogHoldsTheWholeTreeWithItsTotalsHoweverItIsAsked) {
  struct Case {
    OutputChoices Asked;
    OutputTarget Target;
    std::string Path;
  };
  OutputChoices without_totals = Choices("drive.catalog.html");
  without_totals.Totals = false;
  const Case cases[] = {
      {Choices("drive.catalog.html"), OutputTarget::kFile, AbsolutePath("drive.catalog.html")},
      {Choices("Drive.CATALOG.HTM"), OutputTarget::kFile, AbsolutePath("Drive.CATALOG.HTM")},
      {Choices("drive.html", "catalog"), OutputTarget::kFile, AbsolutePath("drive.html")},
      {Choices("drive.catalog.html", nullptr, true), OutputTarget::kFile, AbsolutePath("drive.catalog.html")},
      {Choices(std::nullopt, "catalog"), OutputTarget::kStandardOutput, ""},
      {Choices(std::nullopt, "catalog", true), OutputTarget::kStandardOutput, ""},
      {without_totals, OutputTarget::kFile, AbsolutePath("drive.catalog.html")},
  };
  for (const Case& c : cases) {
    const std::string label = c.Asked.File.value_or("(none)");
    const RequestChoice choice = ChooseOutputRequest(SettingsOf("-", 0, ""), c.Asked);
    ASSERT_EQ(choice.Failure, RequestFailure::kNone) << label;
    EXPECT_EQ(choice.Request.Form->Code, FormCode::kCatalog) << label;
    EXPECT_TRUE(choice.Request.Tree) << label;
    EXPECT_TRUE(choice.Request.Totals) << label;
    EXPECT_EQ(TargetName(choice.Request.Target), TargetName(c.Target)) << label;
    EXPECT_EQ(choice.Request.Path, c.Path) << label;
  }
  // The longer extension is the catalog's; a page's name stays a page's.
  EXPECT_EQ(FormForFileName("catalog.html").Code, FormCode::kHtml);
  EXPECT_EQ(FormForFileName("x.catalog.html.bak").Code, FormCode::kText);
  // Names that promise another form are refused both ways.
  const std::pair<OutputChoices, FormCode> refused[] = {
      {Choices("drive.json", "catalog"), FormCode::kJson},
      {Choices("drive.catalog.html", "page"), FormCode::kCatalog},
      {Choices("drive.catalog.html", "json", true), FormCode::kCatalog},
  };
  for (const auto& [asked, claiming] : refused) {
    const RequestChoice choice = ChooseOutputRequest(SettingsOf("-", 0, ""), asked);
    EXPECT_EQ(choice.Failure, RequestFailure::kExtensionOfAnotherForm) << *asked.File;
    ASSERT_NE(choice.Claiming, nullptr) << *asked.File;
    EXPECT_EQ(choice.Claiming->Code, claiming) << *asked.File;
  }
}

}  // namespace

namespace {

TEST(OutputRequest, ChecksumsGoToTheFormsThatShowThemAndSumsHoldExactlyOne) {
  const CommonStruct settings = SettingsOf("-", kOutputHtml, "");
  const std::vector<DigestAlgorithm> two = {DigestAlgorithm::kMd5, DigestAlgorithm::kXxh128};
  for (const char* form : {"page", "html", "json", "csv", "long", "catalog"}) {
    OutputChoices choices = Choices("-", form);
    choices.Checksums = two;
    EXPECT_EQ(ChooseOutputRequest(settings, choices).Request.Checksums, two) << form;
  }
  for (const char* form : {"text", "names"}) {
    OutputChoices choices = Choices("-", form);
    choices.Checksums = two;
    EXPECT_TRUE(ChooseOutputRequest(settings, choices).Request.Checksums.empty()) << form << " reads no file";
  }
  OutputChoices sums = Choices("-", "sums", true);
  EXPECT_EQ(ChooseOutputRequest(settings, sums).Request.Checksums,
            std::vector<DigestAlgorithm>{DigestAlgorithm::kSha256});
  sums.Checksums = {DigestAlgorithm::kSha1};
  EXPECT_EQ(ChooseOutputRequest(settings, sums).Request.Checksums, sums.Checksums);
  sums.Checksums = two;
  EXPECT_EQ(ChooseOutputRequest(settings, sums).Failure, RequestFailure::kSumsOfOneAlgorithm);
  // A tree's sums are one document, as its names are.
  sums.Checksums.clear();
  EXPECT_EQ(ChooseOutputRequest(settings, sums).Request.Target, OutputTarget::kStandardOutput);
}

}  // namespace

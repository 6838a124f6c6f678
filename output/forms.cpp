#include "output/forms.h"

#include "listing/entry.h"
#include "output/csv_document.h"
#include "output/entry_fields.h"
#include "output/escapes.h"
#include "output/html_document.h"
#include "output/html_rows.h"
#include "output/json_document.h"
#include "output/long_document.h"
#include "output/names_document.h"
#include "output/page_document.h"
#include "output/page_rows.h"
#include "output/sums_document.h"
#include "output/text_document.h"
#include "settings/columns.h"

namespace {

std::string NoText(const ListingRun&) { return std::string(); }

// The rows of a form of columns ask the system only for the types, which
// their type column shows.
EnrichNeeds TypeColumnNeeds(const CommonStruct& settings) {
  EnrichNeeds needs;
  needs.Types = ShowsColumn(settings, ColumnId::kType);
  return needs;
}
std::string NoTail(const ListingTotals&) { return std::string(); }

// The catalog's folders are written by its own walk, not as documents.
void NoDocument(ListingRun&) {}
void NoRow(ListingRun&, const FileInfoX&, std::string&) {}

const TreeDocumentForm kJsonTree{JsonTreeHead,    JsonTreeTail,   IndentJsonRow, OpenJsonFolder,
                                 CloseJsonFolder, FailJsonFolder, false};
const TreeDocumentForm kCsvTree{CsvHeader, NoTail, nullptr, nullptr, nullptr, nullptr, true};
// Lines alone, each naming its entry by its path below the top.
const TreeDocumentForm kLinesTree{NoText, NoTail, nullptr, nullptr, nullptr, nullptr, true};

// The forms, in the order --help names them.
const OutputForm kForms[] = {
    {FormCode::kHtml,
     "html",
     {".html", ".htm", ".shtml", ".asp", nullptr},
     FormCode::kHtml,
     ComposeHtmlDocument,
     AppendEntryRow,
     AppendEscapedHtml,
     LineEnds::kPlatform,
     nullptr,
     &ListingRun::Folder,
     nullptr,
     IsOwnHtmlPage,
     TypeColumnNeeds,
     nullptr,
     false,
     false,
     false,
     false,
     ChecksumUse::kShown},
    {FormCode::kText,
     "text",
     {nullptr},
     FormCode::kText,
     ComposeTextDocument,
     AppendEntryLine,
     AppendControlEscaped,
     LineEnds::kPlatform,
     nullptr,
     &ListingRun::Folder,
     nullptr,
     nullptr,
     nullptr,
     "long"},
    {FormCode::kPage,
     "page",
     {nullptr},
     FormCode::kHtml,
     ComposePageDocument,
     AppendPageRow,
     AppendEscapedHtml,
     LineEnds::kPlatform,
     nullptr,
     &ListingRun::FolderShown,
     nullptr,
     IsOwnStandardsPage,
     TypeColumnNeeds,
     nullptr,
     true,
     true,
     false,
     false,
     ChecksumUse::kShown},
    {FormCode::kJson,
     "json",
     {".json", nullptr},
     FormCode::kJson,
     ComposeJsonDocument,
     AppendJsonEntry,
     AppendJsonEscaped,
     LineEnds::kAsComposed,
     nullptr,
     &ListingRun::Folder,
     &kJsonTree,
     nullptr,
     EntryFieldNeeds,
     nullptr,
     false,
     false,
     false,
     false,
     ChecksumUse::kShown},
    {FormCode::kCsv,
     "csv",
     {".csv", nullptr},
     FormCode::kCsv,
     ComposeCsvDocument,
     AppendCsvRow,
     AppendCsvField,
     LineEnds::kAsComposed,
     nullptr,
     &ListingRun::Folder,
     &kCsvTree,
     nullptr,
     EntryFieldNeeds,
     nullptr,
     false,
     false,
     false,
     false,
     ChecksumUse::kShown},
    {FormCode::kNames,
     "names",
     {nullptr},
     FormCode::kText,
     ComposeNamesDocument,
     AppendNameLine,
     AppendNameEscaped,
     LineEnds::kPlatform,
     AppendNullEndedName,
     &ListingRun::Folder,
     &kLinesTree},
    {FormCode::kLong,
     "long",
     {nullptr},
     FormCode::kText,
     ComposeLongDocument,
     AppendLongLine,
     AppendNameEscaped,
     LineEnds::kPlatform,
     nullptr,
     &ListingRun::Folder,
     &kLinesTree,
     nullptr,
     TypeColumnNeeds,
     nullptr,
     false,
     false,
     false,
     false,
     ChecksumUse::kShown},
    {FormCode::kCatalog,
     "catalog",
     {".catalog.html", ".catalog.htm", nullptr},
     FormCode::kCatalog,
     NoDocument,
     NoRow,
     AppendEscapedHtml,
     LineEnds::kAsComposed,
     nullptr,
     &ListingRun::FolderShown,
     nullptr,
     nullptr,
     EntryFieldNeeds,
     nullptr,
     true,
     false,
     true,
     true,
     ChecksumUse::kShown},
    {FormCode::kSums,
     "sums",
     {nullptr},
     FormCode::kText,
     ComposeSumsDocument,
     AppendSumsLine,
     AppendNameEscaped,
     LineEnds::kAsComposed,
     nullptr,
     &ListingRun::Folder,
     &kLinesTree,
     nullptr,
     nullptr,
     nullptr,
     false,
     false,
     false,
     false,
     ChecksumUse::kOne},
};

RowComposer RowsOf(ListingRun& run) {
  const auto append = run.NullEnds ? run.Form->AppendNullEndedRow : run.Form->AppendRow;
  return [&run, append](const FileInfoX& entry, std::string& row) { append(run, entry, row); };
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The form whose extension the name ends in, lower-cased, the longest
// extension winning (x.catalog.html is a catalog's, x.html a page's); null
// for none.
const OutputForm* FormOfLongestExtension(const std::string& name) {
  const std::string lower = LowerCase(FileNameOf(name));
  const OutputForm* found = nullptr;
  size_t longest = 0;
  for (const OutputForm& form : kForms) {
    for (const char* const* own = form.Extensions; *own != nullptr; ++own) {
      const std::string extension = *own;
      if (extension.size() > longest && EndsWith(lower, extension)) {
        found = &form;
        longest = extension.size();
      }
    }
  }
  return found;
}

// Extensions whose files promise a form that none of the table's is, and
// the form each comes nearest to.
struct UnwrittenExtension {
  const char* Extension;
  FormCode Nearest;
};
const UnwrittenExtension kUnwrittenExtensions[] = {{".xhtml", FormCode::kPage}, {".xht", FormCode::kPage}};

const UnwrittenExtension* UnwrittenExtensionOf(const std::string& name) {
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const UnwrittenExtension& unwritten : kUnwrittenExtensions) {
    if (extension == unwritten.Extension) return &unwritten;
  }
  return nullptr;
}

// The names that web servers serve for a folder's own address.
const char* const kFolderIndexNames[] = {"index.html", "index.htm"};

}  // namespace

const OutputForm& FormOf(FormCode code) {
  for (const OutputForm& form : kForms) {
    if (form.Code == code) return form;
  }
  return kForms[0];
}

const OutputForm* FormNamed(std::string_view name) {
  for (const OutputForm& form : kForms) {
    if (name == form.Name) return &form;
  }
  return nullptr;
}

std::vector<std::string> FormNames() {
  std::vector<std::string> names;
  for (const OutputForm& form : kForms) names.emplace_back(form.Name);
  return names;
}

const OutputForm& FormForFileName(const std::string& name) {
  const OutputForm* form = FormOfLongestExtension(name);
  return form != nullptr ? *form : FormOf(FormCode::kText);
}

bool IsHtmlFileName(const std::string& name) { return FormForFileName(name).Code == FormCode::kHtml; }

const OutputForm* FormClaiming(const std::string& name) { return FormOfLongestExtension(name); }

bool NamesUnwrittenForm(const std::string& name) { return UnwrittenExtensionOf(name) != nullptr; }

const OutputForm* FormNearestTo(const std::string& name) {
  const UnwrittenExtension* unwritten = UnwrittenExtensionOf(name);
  return unwritten != nullptr ? &FormOf(unwritten->Nearest) : nullptr;
}

bool NameFitsForm(const std::string& name, const OutputForm& form) {
  const OutputForm* claiming = FormClaiming(name);
  return !NamesUnwrittenForm(name) && (claiming == nullptr || claiming->Code == form.ExtensionsOf ||
                                       (form.HtmlNamesToo && claiming->Code == FormCode::kHtml));
}

std::string UsualExtension(const OutputForm& form) {
  const char* first = FormOf(form.ExtensionsOf).Extensions[0];
  return first != nullptr ? first : ".txt";
}

std::vector<std::string> FileExtensions(const OutputForm& form) {
  std::vector<std::string> extensions;
  for (const char* const* own = FormOf(form.ExtensionsOf).Extensions; *own != nullptr; ++own) {
    extensions.emplace_back(*own);
  }
  if (extensions.empty()) extensions.push_back(UsualExtension(form));
  return extensions;
}

std::vector<std::string> FormsWrittenUnder(const OutputForm& claiming) {
  std::vector<std::string> names;
  for (const OutputForm& form : kForms) {
    if (form.ExtensionsOf == claiming.Code) names.emplace_back(form.Name);
  }
  return names;
}

bool IsFolderIndexName(const std::string& name) {
  const std::string lower = LowerCase(name);
  for (const char* served : kFolderIndexNames) {
    if (lower == served) return true;
  }
  return false;
}

const OutputForm& ClassicFormOf(const CommonStruct& settings) { return ClassicFormOf(settings.Output); }

const OutputForm& ClassicFormOf(int32_t output) {
  return FormOf(output == kOutputText ? FormCode::kText : FormCode::kHtml);
}

OutputCode ClassicOutputOf(const OutputForm& form) {
  return form.ExtensionsOf == FormCode::kHtml || form.HtmlNamesToo ? kOutputHtml : kOutputText;
}

OutputCode ClassicOutputForFileName(const std::string& name) {
  return IsHtmlFileName(name) ? kOutputHtml : kOutputText;
}

std::string NameOfClassicForm(const std::string& name, const OutputForm& classic) {
  if (!ExtensionOf(name).empty() && ClassicOutputForFileName(name) == ClassicOutputOf(classic)) return name;
  return FolderWithSlashOf(name) + StemOf(name) + UsualExtension(classic);
}

bool WriteRun(ListingRun& run, ByteSink& sink) {
  if (!run.NullEnds && run.Form->Ends == LineEnds::kPlatform) {
    return WriteDocument(run.Document, run.Listing, RowsOf(run), sink, PlatformLineEnd());
  }
  return VisitDocumentTexts(run.Document, run.Listing, RowsOf(run),
                            [&sink](std::string_view text) { return sink.Write(text); });
}

std::string FlattenRun(ListingRun& run) { return Flatten(run.Document, run.Listing, RowsOf(run)); }

size_t RunLength(ListingRun& run) { return DocumentLength(run.Document, run.Listing, RowsOf(run)); }

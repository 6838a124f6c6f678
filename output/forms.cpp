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
     TypeColumnNeeds},
    {FormCode::kText,
     "text",
     {nullptr},
     FormCode::kText,
     ComposeTextDocument,
     AppendEntryLine,
     AppendControlEscaped,
     LineEnds::kPlatform,
     nullptr},
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
     TypeColumnNeeds},
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
     EntryFieldNeeds},
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
     EntryFieldNeeds},
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
     TypeColumnNeeds},
};

RowComposer RowsOf(ListingRun& run) {
  const auto append = run.NullEnds ? run.Form->AppendNullEndedRow : run.Form->AppendRow;
  return [&run, append](const FileInfoX& entry, std::string& row) { append(run, entry, row); };
}

bool HasExtension(const OutputForm& form, const std::string& extension) {
  for (const char* const* own = form.Extensions; *own != nullptr; ++own) {
    if (extension == *own) return true;
  }
  return false;
}

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
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const OutputForm& form : kForms) {
    if (HasExtension(form, extension)) return form;
  }
  return FormOf(FormCode::kText);
}

bool IsHtmlFileName(const std::string& name) { return FormForFileName(name).Code == FormCode::kHtml; }

// Extensions whose files promise a form that none of the table's is.
const char* const kUnwrittenExtensions[] = {".xhtml", ".xht"};

const OutputForm* FormClaiming(const std::string& name) {
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const OutputForm& form : kForms) {
    if (HasExtension(form, extension)) return &form;
  }
  return nullptr;
}

bool NamesUnwrittenForm(const std::string& name) {
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const char* unwritten : kUnwrittenExtensions) {
    if (extension == unwritten) return true;
  }
  return false;
}

bool NameFitsForm(const std::string& name, const OutputForm& form) {
  const OutputForm* claiming = FormClaiming(name);
  return !NamesUnwrittenForm(name) && (claiming == nullptr || claiming->Code == form.ExtensionsOf);
}

std::string UsualExtension(const OutputForm& form) {
  const char* first = FormOf(form.ExtensionsOf).Extensions[0];
  return first != nullptr ? first : ".txt";
}

const OutputForm& ClassicFormOf(const CommonStruct& settings) {
  return FormOf(settings.Output == kOutputText ? FormCode::kText : FormCode::kHtml);
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

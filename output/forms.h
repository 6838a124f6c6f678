// The output forms, one row of one table each: every choice by form or by
// file extension asks this table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/column_values.h"
#include "listing/enrich.h"
#include "output/listing_run.h"
#include "settings/common_struct.h"

enum class FormCode { kHtml, kText, kPage, kJson, kCsv, kNames, kLong, kCatalog, kSums };

// What a form does with the checksums of the files.
enum class ChecksumUse {
  kNone,   // shows none
  kShown,  // shows those asked for, none where none are
  kOne,    // is made of them: exactly one, SHA-256 where none is asked for
};

// How the line ends of a form's document reach the file.
enum class LineEnds {
  kPlatform,    // every "\r\n" and lone "\n" as the platform's line end
  kAsComposed,  // byte for byte as composed: a format with line ends of its own
};

// How a form writes a whole tree as one document, each folder's rows in
// turn as the form composes them; the hooks a form does not need are null.
struct TreeDocumentForm {
  std::string (*Head)(const ListingRun& top);
  std::string (*Tail)(const ListingTotals& totals);
  // Every row of a folder depth levels below the top passes through it.
  void (*IndentRow)(std::string& row, size_t depth);
  // A folder's row before its own rows; CloseFolder's text after them,
  // with the folder's totals where its sizes were added up (null otherwise).
  void (*OpenFolder)(std::string& row, size_t depth);
  std::string (*CloseFolder)(size_t depth, const SubtreeTotals* totals);
  // A folder's row when its own rows cannot be made, and why.
  void (*FailFolder)(std::string& row, const std::string& reason);
  // The rows name each entry by its path below the top, not by its name.
  bool NamesByPath;
};

struct OutputForm {
  FormCode Code;
  const char* Name;  // on the command line and in a settings file's Format
  // The extensions (lower case, with their dot) whose files are written in
  // this form when nothing else chooses; null where the list ends.
  const char* Extensions[5];
  // The form whose extensions this one shares (itself when it has its own):
  // the page is written where the classic page would be, the names where
  // the classic text would be.
  FormCode ExtensionsOf;
  // Sets the run's document from its lists and totals.
  void (*ComposeDocument)(ListingRun& run);
  // Appends the row of one entry, as the document is written.
  void (*AppendRow)(ListingRun& run, const FileInfoX& entry, std::string& row);
  // How the form writes text from the file system (names, the folder).
  TextEscape Escape;
  LineEnds Ends;
  // Appends the record of one entry ended by a NUL, the name as it stands,
  // for a reader that splits at NULs (xargs -0); null for a form that has no
  // such records.
  void (*AppendNullEndedRow)(ListingRun& run, const FileInfoX& entry, std::string& row);
  // The folder that $DirPath names: the folder listed, as the classic forms
  // have always shown it, or the folder as the user gave it, for a page to
  // publish that shows no path the user did not type.
  std::string ListingRun::*NamedFolder = &ListingRun::Folder;
  // How the form writes a whole tree as one document; null for a form that
  // gives every folder of a tree a page of its own.
  const TreeDocumentForm* TreeDocument = nullptr;
  // True when the start of a file (up to kOwnPageStart bytes) is that of a
  // page this form wrote into a tree, by a mark at a place the program
  // keeps; null for a form whose pages carry none, which a tree walk never
  // writes over a file of the name.
  bool (*IsOwnPage)(std::string_view start) = nullptr;
  // What the rows need of the system beyond the records, looked up once
  // before the run is ordered; null where they need nothing.
  EnrichNeeds (*Needs)(const CommonStruct& settings) = nullptr;
  // The form, by name, that writes the entries with the columns that this
  // one's rows leave out, for a note where columns were asked of it; null
  // where the form shows them or is chosen for leaving them out.
  const char* ColumnsIn = nullptr;
  // True for a form whose pages of a tree show every folder's total below
  // it unless asked not to; the others add sizes up only where asked, so
  // that they stay as they were.
  bool TotalsInTree = false;
  // True for a form whose pages of a tree can search every name of the
  // tree, from the search file at the top of the pages (--search).
  bool SearchesTree = false;
  // True for a form that holds a whole tree, always, with every folder's
  // total below it (the catalog): written by a walk of its own, never per
  // folder.
  bool WholeTree = false;
  // True for a page that may also be written under the classic page's
  // extensions (.html), besides its own.
  bool HtmlNamesToo = false;
  // Whether the rows show the files' checksums (--checksum); the forms that
  // show none read no file.
  ChecksumUse Checksums = ChecksumUse::kNone;
};

// How much of a file's start IsOwnPage reads at most.
constexpr size_t kOwnPageStart = 64 * 1024;

const OutputForm& FormOf(FormCode code);
// The form of that name; null when no form has it.
const OutputForm* FormNamed(std::string_view name);
// The names of every form, in table order.
std::vector<std::string> FormNames();

// The form that a file of this name is written in: the form whose extension
// it has, lower-cased; the classic text without one.
const OutputForm& FormForFileName(const std::string& name);
// True for names that a file of the classic page has: FormForFileName gives it.
bool IsHtmlFileName(const std::string& name);
// The form among whose extensions the name's is, lower-cased; null for an
// extension that no form has, which a file of any form may have.
const OutputForm* FormClaiming(const std::string& name);
// True when a file of this name may hold the form: the name's extension is
// one the form is written under, or one that no form has, and it promises no
// form that none of these is (.xhtml, .xht: XML, which no page is).
bool NameFitsForm(const std::string& name, const OutputForm& form);
// True for a name whose extension promises a document that no form writes.
bool NamesUnwrittenForm(const std::string& name);
// The form that a name whose extension promises a form none is comes
// nearest to (.xhtml: the page); null for any other name.
const OutputForm* FormNearestTo(const std::string& name);
// The extension of a file of the form where the user names none: the first
// of the extensions it is written under; ".txt" for the forms that have none.
std::string UsualExtension(const OutputForm& form);
// The extensions a file of the form is written under, in table order: the
// usual one alone for the forms that have none.
std::vector<std::string> FileExtensions(const OutputForm& form);
// The names of the forms written under the claiming form's extensions, in
// table order: "html" and "page" for the classic page.
std::vector<std::string> FormsWrittenUnder(const OutputForm& claiming);
// True for a page's file name that web servers serve for its folder's own
// address (index.html, index.htm), letter case aside.
bool IsFolderIndexName(const std::string& name);

// The classic form that Output names: the text for 1, the page otherwise.
const OutputForm& ClassicFormOf(const CommonStruct& settings);
const OutputForm& ClassicFormOf(int32_t output);
// The value of Output that names the classic form whose extensions the form
// is written under: the page's for the page forms, the text's for the others.
OutputCode ClassicOutputOf(const OutputForm& form);
// The value of Output that a file of this name is written in by the window
// program, which writes the classic forms alone.
OutputCode ClassicOutputForFileName(const std::string& name);
// The name of a file of the classic form: as it is where its extension is
// one the form is written under (any but the page's, for the text), else
// with the form's usual extension in place of its own or after a name
// without one (x.txt as x.html, x.html and x as x.txt).
std::string NameOfClassicForm(const std::string& name, const OutputForm& classic);
// Writes the run's document to the sink, its rows composed by its form on
// the way: each line end as the platform's, or as composed where the form
// keeps its own or the rows end in NULs. False when a write fails.
bool WriteRun(ListingRun& run, ByteSink& sink);
// The run's document as one text, line ends as composed.
std::string FlattenRun(ListingRun& run);
// The length of the run's document as composed.
size_t RunLength(ListingRun& run);

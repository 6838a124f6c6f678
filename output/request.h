// Where a listing goes and in what form: chosen once, from the settings and
// what a front end asks, into a value that the front ends pass on to the
// generation and to the walk of a tree. The front ends only put a refused
// request into words.
#pragma once

#include <optional>
#include <string>

#include "output/forms.h"
#include "settings/common_struct.h"

enum class OutputTarget {
  kFile,            // one file, at Path
  kStandardOutput,  // standard output
  kPagePerFolder,   // a page in every folder of a tree, each named Path
};

struct OutputRequest {
  const OutputForm* Form = nullptr;
  OutputTarget Target = OutputTarget::kFile;
  // The file, absolute where the front end named it and as the settings
  // hold it otherwise; the pages' file name ("index.html"); empty for
  // standard output.
  std::string Path;
  // The whole tree below the folder: a page per folder, or one document.
  bool Tree = false;
  // The form was asked for by name (the front end's, or the settings'
  // Format), rather than given by the file's name.
  bool FormNamed = false;
  // Every folder's size is the total of the files below it, added up by a
  // walk of its sub-folders.
  bool Totals = false;
  // The checksums of the files that the rows show, in this order; none for
  // a form that shows none.
  std::vector<DigestAlgorithm> Checksums;
};

// What the command line asks besides the settings.
struct OutputChoices {
  std::optional<std::string> File;   // the output file it names; "-" is standard output
  const OutputForm* Form = nullptr;  // the form it names; null for none
  bool Tree = false;                 // the whole tree (-R)
  bool NullEnds = false;             // the rows as NUL-ended records
  // Folders' totals asked for or refused; unset: as the form has them.
  std::optional<bool> Totals;
  // The checksums asked for (--checksum), in order.
  std::vector<DigestAlgorithm> Checksums;
};

enum class RequestFailure {
  kNone,
  kNameEndsInSeparator,       // the file's name ends in a folder separator
  kPageNameIsAPath,           // a page per folder named by a path, or by standard output's name
  kNoNullEndedRecords,        // NUL-ended records of a form that has none
  kExtensionOfAnotherForm,    // the file's extension is that of the form Claiming
  kExtensionOfUnwrittenForm,  // the file's extension promises a form that none is (XHTML)
  kPagesWithoutMark,          // a page per folder of a form whose pages carry no mark
  kSumsOfOneAlgorithm,        // the sums form asked for with more than one checksum
};

// The request, or why it is refused; Request holds what was chosen up to
// the refusal (Path the name refused).
struct RequestChoice {
  OutputRequest Request;
  RequestFailure Failure = RequestFailure::kNone;
  // For a refused extension: the form that owns it, if any, and the form
  // the name was meant for (the form chosen, or the one the extension
  // comes nearest to where none was).
  const OutputForm* Claiming = nullptr;
  const OutputForm* Meant = nullptr;
};

// The command line's request. The file: the one named, made absolute, else
// the settings' OutputFile; with a tree, the pages' name (index and the
// form's usual extension) or, for a form of one document, standard output.
// The form: the one named, else the settings' Format unless a file named
// (not standard output, which has no extension) asks for a form of other
// extensions, else the one the file's name gives
// (on standard output, the classic form that Output names). A name whose
// extension promises another form than the one it would hold is refused,
// and so is a page per folder that could replace anyone's file. Folders'
// totals: as asked, else where the form shows them in a tree.
RequestChoice ChooseOutputRequest(const CommonStruct& settings, const OutputChoices& choices);

// The window program's request: the classic form that Output names, to
// OutputFile. Format plays no part; the window keeps it as read.
OutputRequest ClassicOutputRequest(const CommonStruct& settings);

// The settings with OutputFile, Output and Format set so that, read again
// and asked for the tree alone where the request was for one, they choose
// the same request: Format only where the file's name would give another
// form.
CommonStruct SettingsOfRequest(const CommonStruct& settings, const OutputRequest& request);

// The name of every folder's page where the user names none: index and the
// form's usual extension.
std::string DefaultIndexName(const OutputForm& form);

// The name that stands for standard output, as a file named or OutputFile.
bool IsStandardOutputName(const std::string& name);
// True when the name ends with a folder separator ("/", and on Windows "\"
// too): it names a folder, never a file to write.
bool EndsWithSeparator(const std::string& name, char separator);

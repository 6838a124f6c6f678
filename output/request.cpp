#include "output/request.h"

#include "listing/entry.h"
#include "platform/platform.h"

namespace {

const char kStandardOutputName[] = "-";

// The form that the file's name alone gives: its extension's; on standard
// output, the classic form that Output names.
const OutputForm& ImpliedForm(const CommonStruct& settings, const std::string& file) {
  return IsStandardOutputName(file) ? ClassicFormOf(settings) : FormForFileName(file);
}

// Standard output has no extension to ask for a form, so the settings'
// Format stands when it is the file named.
const OutputForm& ChosenForm(const CommonStruct& settings, const OutputChoices& choices,
                             const std::string& file) {
  if (choices.Form != nullptr) return *choices.Form;
  const OutputForm& implied = ImpliedForm(settings, file);
  const OutputForm* saved = FormNamed(settings.Format);
  const bool named_file = choices.File && !IsStandardOutputName(*choices.File);
  if (saved != nullptr && (!named_file || saved->ExtensionsOf == implied.ExtensionsOf)) return *saved;
  return implied;
}

bool IsPath(const std::string& name) {
  return name.find_first_of(std::string("/") + FolderSeparator()) != std::string::npos;
}

RequestChoice Refused(RequestChoice& choice, RequestFailure failure) {
  choice.Failure = failure;
  return choice;
}

// One file or standard output, with the form already chosen for it.
void SetFile(OutputRequest& request, const std::string& file, bool named) {
  request.Target = IsStandardOutputName(file) ? OutputTarget::kStandardOutput : OutputTarget::kFile;
  if (request.Target == OutputTarget::kFile) request.Path = named ? AbsolutePath(file) : file;
}

void SetForm(OutputRequest& request, const CommonStruct& settings, const OutputForm& form,
             const OutputChoices& choices) {
  request.Form = &form;
  const std::string file =
      request.Target == OutputTarget::kStandardOutput ? kStandardOutputName : request.Path;
  request.FormNamed = choices.Form != nullptr || &form != &ImpliedForm(settings, file);
}

RequestChoice ChooseFileRequest(const CommonStruct& settings, const OutputChoices& choices) {
  RequestChoice choice;
  const std::string file = choices.File.value_or(settings.OutputFile);
  if (!IsStandardOutputName(file) && EndsWithSeparator(file, FolderSeparator())) {
    choice.Request.Path = file;
    return Refused(choice, RequestFailure::kNameEndsInSeparator);
  }
  SetFile(choice.Request, file, choices.File.has_value());
  const std::string chosen_by =
      choice.Request.Target == OutputTarget::kFile ? choice.Request.Path : kStandardOutputName;
  SetForm(choice.Request, settings, ChosenForm(settings, choices, chosen_by), choices);
  return choice;
}

// Without a file named, the form is chosen as for pages of the classic
// page's name; a form of one document then goes to standard output, and
// pages take the name of their form.
RequestChoice ChooseTreeRequest(const CommonStruct& settings, const OutputChoices& choices) {
  RequestChoice choice;
  OutputRequest& request = choice.Request;
  request.Tree = true;
  const std::string file = choices.File.value_or(DefaultIndexName(ClassicFormOf(kOutputHtml)));
  const OutputForm& form = ChosenForm(settings, choices, file);
  if (form.TreeDocument != nullptr || form.WholeTree) {
    SetFile(request, choices.File.value_or(kStandardOutputName), choices.File.has_value());
  } else {
    request.Target = OutputTarget::kPagePerFolder;
    request.Path = choices.File.value_or(DefaultIndexName(form));
    if (IsStandardOutputName(request.Path) || IsPath(request.Path)) {
      return Refused(choice, RequestFailure::kPageNameIsAPath);
    }
  }
  SetForm(request, settings, form, choices);
  return choice;
}

// The refusals of a request whose form and file are chosen.
RequestChoice Checked(RequestChoice& choice, const OutputChoices& choices) {
  const OutputRequest& request = choice.Request;
  const OutputForm& form = *request.Form;
  if (choices.NullEnds && form.AppendNullEndedRow == nullptr) {
    return Refused(choice, RequestFailure::kNoNullEndedRecords);
  }
  const std::string name = FileNameOf(request.Path);
  if (request.Target != OutputTarget::kStandardOutput && !NameFitsForm(name, form)) {
    choice.Claiming = FormClaiming(name);
    const OutputForm* nearest = FormNearestTo(name);
    choice.Meant = request.FormNamed || nearest == nullptr ? &form : nearest;
    return Refused(choice, choice.Claiming != nullptr ? RequestFailure::kExtensionOfAnotherForm
                                                      : RequestFailure::kExtensionOfUnwrittenForm);
  }
  if (request.Target == OutputTarget::kPagePerFolder && form.IsOwnPage == nullptr) {
    return Refused(choice, RequestFailure::kPagesWithoutMark);
  }
  if (form.Checksums == ChecksumUse::kOne && choices.Checksums.size() > 1) {
    return Refused(choice, RequestFailure::kSumsOfOneAlgorithm);
  }
  return choice;
}

// The checksums that the form's rows show of those asked for.
std::vector<DigestAlgorithm> ChecksumsOf(const OutputForm& form, const std::vector<DigestAlgorithm>& asked) {
  switch (form.Checksums) {
    case ChecksumUse::kNone:
      break;
    case ChecksumUse::kShown:
      return asked;
    case ChecksumUse::kOne:
      return asked.empty() ? std::vector<DigestAlgorithm>{DigestAlgorithm::kSha256} : asked;
  }
  return {};
}

}  // namespace

RequestChoice ChooseOutputRequest(const CommonStruct& settings, const OutputChoices& choices) {
  RequestChoice choice =
      choices.Tree ? ChooseTreeRequest(settings, choices) : ChooseFileRequest(settings, choices);
  // A form that holds a whole tree is one without -R too.
  if (!choices.Tree && choice.Failure == RequestFailure::kNone && choice.Request.Form->WholeTree) {
    const bool named = choice.Request.FormNamed;
    OutputChoices whole = choices;
    whole.Tree = true;
    whole.Form = choice.Request.Form;
    if (!whole.File) whole.File = choice.Request.Target == OutputTarget::kFile ? choice.Request.Path : "-";
    choice = ChooseTreeRequest(settings, whole);
    choice.Request.FormNamed = named;
  }
  if (choice.Failure != RequestFailure::kNone) return choice;
  OutputRequest& request = choice.Request;
  request.Totals =
      request.Form->WholeTree || choices.Totals.value_or(request.Tree && request.Form->TotalsInTree);
  request.Checksums = ChecksumsOf(*request.Form, choices.Checksums);
  return Checked(choice, choices);
}

OutputRequest ClassicOutputRequest(const CommonStruct& settings) {
  OutputRequest request;
  request.Form = &ClassicFormOf(settings);
  request.Path = settings.OutputFile;
  return request;
}

CommonStruct SettingsOfRequest(const CommonStruct& settings, const OutputRequest& request) {
  CommonStruct saved = settings;
  saved.OutputFile = request.Target == OutputTarget::kStandardOutput ? kStandardOutputName : request.Path;
  saved.Output = ClassicOutputOf(*request.Form);
  saved.Format = request.Form == &ImpliedForm(saved, saved.OutputFile) ? "" : request.Form->Name;
  return saved;
}

std::string DefaultIndexName(const OutputForm& form) { return "index" + UsualExtension(form); }

bool IsStandardOutputName(const std::string& name) { return name == kStandardOutputName; }

bool EndsWithSeparator(const std::string& name, char separator) {
  return !name.empty() && (name.back() == '/' || name.back() == separator);
}

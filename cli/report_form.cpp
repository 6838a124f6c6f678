#include "cli/report_form.h"

#include "listing/entry.h"
#include "output/escapes.h"
#include "output/forms.h"

namespace {

struct FormWord {
  ReportForm Form;
  const char* Word;
  FormCode Claims[2];  // the forms whose file extensions promise it
};

constexpr FormWord kForms[] = {
    {ReportForm::kText, "text", {FormCode::kText, FormCode::kNames}},
    {ReportForm::kJson, "json", {FormCode::kJson, FormCode::kJson}},
    {ReportForm::kPage, "page", {FormCode::kPage, FormCode::kHtml}},
};

}  // namespace

bool ChooseReportForm(const CliOptions& options, ReportForm& form, std::string& message) {
  const bool to_file = options.Output && *options.Output != "-";
  const OutputForm* claiming = to_file ? FormClaiming(FileNameOf(*options.Output)) : nullptr;
  const FormWord* claimed = nullptr;
  for (const FormWord& each : kForms) {
    for (FormCode code : each.Claims) {
      if (claiming != nullptr && claiming == &FormOf(code)) claimed = &each;
    }
  }
  const FormWord* named = nullptr;
  for (const FormWord& each : kForms) {
    if (options.Format && *options.Format == each.Word) named = &each;
  }
  if (claiming != nullptr && (claimed == nullptr || (named != nullptr && named != claimed))) {
    message = "cannot write " + std::string(named != nullptr ? named->Word : "text") + " into " +
              ControlEscaped(*options.Output) +
              ": its extension is that of another form; name the file for the form";
    return false;
  }
  form = named != nullptr ? named->Form : claimed != nullptr ? claimed->Form : ReportForm::kText;
  return true;
}

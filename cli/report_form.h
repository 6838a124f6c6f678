// The form of a report that a mode writes instead of a listing
// (--duplicates, --compare): text, JSON or a standards page.
#pragma once

#include <string>

#include "cli/options.h"

enum class ReportForm { kText, kJson, kPage };

// The form --format names, else the one the output file's extension
// promises, else text; false with a message for a file whose extension
// promises another form than the one named.
bool ChooseReportForm(const CliOptions& options, ReportForm& form, std::string& message);

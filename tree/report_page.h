// What the standards pages of a report (duplicates, a comparison) share:
// the look of a page of lists and the head that lets its one style in and
// nothing else, so that nothing is fetched or run wherever it is opened.
#pragma once

#include <string>

// The standards page's colours and type, for a page of lists.
extern const char kReportPageStyle[];

// The sha256 of the text as a Content-Security-Policy source: 'sha256-' and
// the digest in base64; 'none' where no digester is at hand.
std::string PolicyHash(const std::string& text);

// "<!DOCTYPE html>" up to the opening "<body>": the character set where
// one is known, the policy that allows the style (the report page's, then
// extra) by its hash alone, the title (already HTML).
std::string ReportPageHead(const std::string& title_html, const std::string& extra_style);

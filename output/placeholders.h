// "$" placeholders in titles and custom HTML, and the totals they insert.
#pragma once

#include <string>

#include "settings/common_struct.h"

// Sets the folder and file counts, as numbers and as texts, and the total
// size texts from the lists.
void ComputeListingTotals(CommonStruct& record);

// Replaces every placeholder of the table in the text, in table order. For
// an HTML document the folder path is inserted HTML-escaped; all else, and
// the text document's folder path, as it stands.
void SubstitutePlaceholders(const CommonStruct& record, std::string& text);

// Replaces every occurrence of the placeholder, left to right; inserted text
// is not searched again. Returns the number of replacements.
int ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value);

// A substituted copy of Title; Title itself stays as it is.
std::string SubstitutedTitle(const CommonStruct& record);

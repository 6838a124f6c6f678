// "$" placeholders in titles and custom HTML, and the totals they insert.
#pragma once

#include <cstddef>
#include <string>

#include "output/listing_run.h"

// The longest text that a substitution may give; beyond it the settings ask
// for more than any listing needs (a few nested placeholders can ask for
// terabytes).
constexpr size_t kLongestSubstitution = size_t{64} << 20;

// Sets the run's folder and file counts, as numbers and as texts, and the
// total size texts from its lists.
void ComputeListingTotals(ListingRun& run);

// Replaces every placeholder of the table in the text, in table order, with
// the run's words, counts and folder (the folder that its form names, as
// its form writes a name). False, with the text as far as it got, when the
// result would grow past kLongestSubstitution.
bool SubstitutePlaceholders(const ListingRun& run, std::string& text);
// The same with the folder written through folder_escape, for a text that
// its form escapes whole.
bool SubstitutePlaceholders(const ListingRun& run, std::string& text, TextEscape folder_escape);

// Replaces every occurrence of the placeholder, left to right; inserted text
// is not searched again. Returns the number of replacements, or -1 and the
// text unchanged when the result would be longer than longest.
int ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value,
               size_t longest = kLongestSubstitution);

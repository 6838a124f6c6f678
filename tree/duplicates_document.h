// The documents of a search for duplicates: the text that fdupes and
// jdupes write, JSON, and a standards page.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tree/duplicates.h"

// Each group's paths a line each, every group followed by a blank line;
// paths with control characters escaped as messages escape them.
std::string DuplicatesText(const std::vector<DuplicateGroup>& groups);

// {"groups": [{"size", "<algorithm>", "files"}], "totals": {...}}, one line
// per group; a group with a path that is not UTF-8 has "name_bytes" beside
// "files": each such path's exact bytes percent-encoded, null for the rest.
std::string DuplicatesJson(const std::vector<DuplicateGroup>& groups, DigestAlgorithm algorithm);

// A standards page of the groups, the largest waste first, with the
// program's look; its one style allowed by its hash, nothing else loaded or
// run. tops are the folders searched, as given.
std::string DuplicatesPage(const std::vector<DuplicateGroup>& groups, const std::vector<std::string>& tops,
                           DigestAlgorithm algorithm);

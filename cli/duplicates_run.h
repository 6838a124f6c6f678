// kestrova-cli --duplicates: the groups of files of the same content in the
// FOLDERs, written as text, JSON or a page.
#pragma once

#include <functional>

#include "cli/options.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// Which folders a walk below the folder of the record's DirStr enters.
using WalkRulesOf = std::function<WalkRules(const CommonStruct& record)>;

// Searches the FOLDERs (the current folder where none is given), writes
// the groups to the output (-o FILE whole or not at all, or standard
// output) and a summary on standard error. Returns the exit status: 0 done,
// found or not; 1 a file or folder could not be read, or the output not
// written; 2 a bad request, nothing begun. The whole digests are kept in the
// cache, where there is one, and taken from it.
int RunDuplicates(const CommonStruct& record, const CliOptions& options, const WalkRulesOf& rules_of,
                  DigestCache* cache);

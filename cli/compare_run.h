// --compare OLD [NEW]: two listings of a tree compared, each a folder
// walked now or a listing read back; the changes written as text, JSON or a
// page (-o FILE whole or not at all, or standard output).
#pragma once

#include <functional>
#include <string>

#include "cli/options.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// How the run reaches what main keeps: its messages and the walk's rules
// for the folder that the record names.
struct CompareHooks {
  std::function<void(const std::string& message)> Print;
  std::function<WalkRules(const CommonStruct& record)> RulesOf;
};

// Compares OLD with FOLDER (the record's folder where none is given); the
// exit status as diff's: 0 when they hold the same, 1 when anything
// differs, 2 when a side cannot be read (a folder of a tree included) or
// the report cannot be written, with nothing written.
int RunCompare(const CommonStruct& record, const CliOptions& options, const CompareHooks& hooks);

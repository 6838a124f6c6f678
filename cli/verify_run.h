// --verify LISTING [FOLDER]: a folder checked against a listing of it, the
// differences reported on standard output (or -o FILE, never inside FOLDER).
#pragma once

#include <functional>
#include <string>

#include "cli/options.h"
#include "settings/common_struct.h"
#include "tree/walk.h"

// How the run reaches what main keeps: its messages and the walk's rules
// for the folder that the record names.
struct VerifyHooks {
  std::function<void(const std::string& message)> Print;
  std::function<WalkRules(const CommonStruct& record)> RulesOf;
};

// The bytes of a listing's file, of at most 1 GiB; false with the reason.
bool ReadListingBytes(const std::string& path, std::string& bytes, std::string& reason);

// Runs the check; the exit status: 0 when the folder matches the listing,
// 1 when anything differs or could not be read, 2 when the check cannot run
// (the listing unreadable or malformed, the folder missing, -o inside it).
int RunVerify(CommonStruct& record, const CliOptions& options, const VerifyHooks& hooks);

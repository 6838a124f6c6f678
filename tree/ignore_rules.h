// Ignore files in git's syntax (.gitignore, $GIT_DIR/info/exclude, the
// user's excludes file, a file named by --ignore-file) and the stack of
// them that each folder task of a walk carries from its parent.
#pragma once

#include <memory>
#include <string_view>

// The compiled rules of one ignore file; immutable, so any number of walk
// threads read them at once.
struct IgnoreRules;

// Compiles the text of one ignore file as git reads it: a UTF-8 byte order
// mark at the start is skipped; lines end at LF, one CR before it dropped;
// blank lines and lines starting with "#" say nothing; trailing spaces go
// unless escaped ("a\ "); "\#" and "\!" start a pattern with "#" or "!";
// "!" re-includes what an earlier rule left out; a trailing "/" matches
// folders only; a pattern with a "/" at its start or in its middle is
// anchored to the file's folder, any other matches a name at any depth
// below it; "*", "?", "[...]" and "**" as IgnoreGlob describes.
// Case-sensitive. Null when the text holds no rule.
std::shared_ptr<const IgnoreRules> ParseIgnoreRules(std::string_view text);

// One ignore file's rules placed in a stack; defined beside IsIgnored.
struct IgnoreLayer;

// The ignore files that apply to a folder's entries, deepest first. A value
// of two words: a folder task copies its parent's, and a folder without an
// ignore file of its own shares it; without any rules IsIgnored answers at
// once. Every path given to these functions is relative to the stack's top
// folder (the listed folder of the walk), with "/" between names on every
// platform; the top folder itself is "".
struct IgnoreStack {
  std::shared_ptr<const IgnoreLayer> Top;  // null: no rules
  bool HidesGitFolders = false;            // an entry named ".git" is left out
};

// The stack with one more file's rules on top, for the entries of `folder`
// and everything below it. lead: for a file above the stack's top folder,
// the path from the file's folder down to `folder` (empty otherwise). The
// stack below is returned as it is when rules is null.
IgnoreStack PushIgnoreRules(const IgnoreStack& below, std::shared_ptr<const IgnoreRules> rules,
                            std::string_view folder, std::string_view lead = {});

// ParseIgnoreRules and PushIgnoreRules in one: what a walk does in each
// folder that holds an ignore file (.gitignore with --gitignore, NAME with
// --ignore-file NAME; the walk knows from the folder's listing whether the
// file is there and reads it only then). Pushed in that order, NAME's rules
// beat .gitignore's of the same folder, as fd and ripgrep rank theirs.
IgnoreStack PushIgnoreFile(const IgnoreStack& below, std::string_view folder, std::string_view text);

// Whether the entry `name` of `folder` is left out: the deepest file with a
// rule that matches decides, and in that file the last such rule. `folder`
// is the one the stack belongs to: every file in it was pushed for that
// folder or one above it. is_folder: the entry is a folder itself; git sees
// a symbolic link to a folder as a file, so a walk passes false for it to
// answer as git does. Allocates nothing for paths of up to 1024 bytes; most
// rules are found by looking the name and the folder up, so a few hundred
// rules cost about as much as a few.
//
// A folder that is left out must not be entered: the rules never look at
// the folders above an entry, and git cannot re-include anything below an
// excluded folder ("build/" then "!build/keep" keeps nothing); a walk that
// does not enter such a folder gets git's answer for free.
bool IsIgnored(const IgnoreStack& stack, std::string_view folder, std::string_view name, bool is_folder);

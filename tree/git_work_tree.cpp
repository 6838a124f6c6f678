#include "tree/git_work_tree.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == FolderSeparator(); }

bool IsAbsolute(std::string_view path) {
  return !path.empty() && (IsSeparator(path[0]) || (path.size() >= 2 && path[1] == ':'));
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || !IsSeparator(path.back())) path += FolderSeparator();
  path += name;
  return path;
}

// Splits off the path's last name; false for a root ("/", "C:\") or a bare name.
bool SplitLastName(const std::string& path, std::string& parent, std::string& name) {
  size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  if (at == 0 || at == path.size()) return false;
  name = path.substr(at);
  const size_t root = (at == 1 || (at == 3 && path[1] == ':')) ? at : at - 1;
  parent = path.substr(0, root);
  return true;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':')) {
    path.pop_back();
  }
  return path;
}

std::string_view TrimmedEnd(std::string_view text) {
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// A path that git wrote in a file or a setting ("/" between names on every
// platform), with the platform's separator, taken from base when relative.
std::string Resolved(std::string_view path, const std::string& base) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '/', FolderSeparator());
  return IsAbsolute(native) ? native : JoinPath(base, native);
}

struct Reader {
  const IgnoreFileAccess& files;
  std::vector<std::string>& warnings;

  // The file's bytes, or false when there is none or it cannot be read.
  bool Read(const std::string& path, std::string& bytes) const {
    std::string reason;
    switch (files.Read(path, bytes, reason)) {
      case IgnoreFileStatus::kRead:
        return true;
      case IgnoreFileStatus::kUnreadable:
        warnings.push_back(path + ": " + reason);
        return false;
      case IgnoreFileStatus::kNone:
        break;
    }
    return false;
  }

  std::shared_ptr<const IgnoreRules> ReadRules(const std::string& path) const {
    std::string bytes;
    return Read(path, bytes) ? ParseIgnoreRules(bytes) : nullptr;
  }
};

struct WorkTree {
  std::string top;
  std::vector<std::string> names;  // from the top down to the listed folder
  std::string common_folder;       // the repository's shared folder; empty if unknown
};

// The repository folder that ".git" names: itself, or the "gitdir:" of a
// file; empty when a file does not name one.
std::string GitFolder(const std::string& dot_git, const std::string& top, const Reader& reader) {
  std::string bytes;
  if (!reader.Read(dot_git, bytes)) return reader.files.Exists(dot_git) ? dot_git : std::string();
  constexpr std::string_view kPrefix = "gitdir: ";
  const std::string_view text = TrimmedEnd(bytes);
  if (text.substr(0, kPrefix.size()) != kPrefix) {
    reader.warnings.push_back(dot_git + ": not a gitdir file");
    return std::string();
  }
  return Resolved(text.substr(kPrefix.size()), top);
}

// A linked work tree's repository folder names, in "commondir", the folder
// it shares with the main work tree: info/exclude and config live there.
std::string CommonFolder(const std::string& git_folder, const Reader& reader) {
  std::string bytes;
  if (git_folder.empty() || !reader.Read(JoinPath(git_folder, "commondir"), bytes)) return git_folder;
  return Resolved(TrimmedEnd(bytes), git_folder);
}

bool FindWorkTree(std::string listed, const Reader& reader, WorkTree& found) {
  std::string at = WithoutTrailingSeparators(std::move(listed)), parent, name;
  std::vector<std::string> names;
  while (!reader.files.Exists(JoinPath(at, ".git"))) {
    if (!SplitLastName(at, parent, name)) return false;
    names.push_back(name);
    at = parent;
  }
  for (const std::string& step : names) {
    if (step == ".git") return false;  // inside the repository itself
  }
  found.top = at;
  found.names.assign(names.rbegin(), names.rend());
  found.common_folder = CommonFolder(GitFolder(JoinPath(at, ".git"), at, reader), reader);
  return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameWordIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsKeyChar(char c) {
  return c == '-' || (c >= '0' && c <= '9') || (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z');
}

// A config value as git reads it: quotes group, backslash escapes, "#" or
// ";" outside quotes starts a comment, unquoted spaces at the end go.
std::string ConfigValue(std::string_view text) {
  std::string value;
  size_t kept = 0;  // value's length up to its last byte that is no unquoted space
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      kept = value.size();
    } else if (c == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      value += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'b' ? '\b' : next;
      kept = value.size();
    } else if (!quoted && (c == '#' || c == ';')) {
      break;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
      if (!value.empty()) value += c;
    } else {
      value += c;
      kept = value.size();
    }
  }
  value.resize(kept);
  return value;
}

// Reads one line of a config file: a section header, a key and its value,
// or both ("[core] excludesFile = x"). Sets value for core.excludesFile.
void ReadConfigLine(std::string_view line, bool& in_core, bool& found, std::string& value) {
  size_t at = line.find_first_not_of(" \t");
  if (at == std::string_view::npos) return;
  if (line[at] == '[') {
    const size_t close = line.find(']', at);
    if (close == std::string_view::npos) return;
    in_core = SameWordIgnoringCase(line.substr(at + 1, close - at - 1), "core");
    at = line.find_first_not_of(" \t", close + 1);
    if (at == std::string_view::npos) return;
  }
  size_t key_end = at;
  while (key_end < line.size() && IsKeyChar(line[key_end])) ++key_end;
  if (!in_core || !SameWordIgnoringCase(line.substr(at, key_end - at), "excludesFile")) return;
  const size_t equals = line.find_first_not_of(" \t", key_end);
  if (equals == std::string_view::npos || line[equals] != '=') return;
  found = true;
  const size_t value_at = line.find_first_not_of(" \t", equals + 1);
  value = ConfigValue(value_at == std::string_view::npos ? std::string_view() : line.substr(value_at));
}

// Updates value with each core.excludesFile of a config text; the last wins.
bool FindExcludesFile(std::string_view text, std::string& value) {
  bool in_core = false, found = false;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    ReadConfigLine(text.substr(0, end), in_core, found, value);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return found;
}

std::string XdgPath(const GitUserPaths& user, std::string_view name) {
  if (!user.XdgConfigHome.empty()) return JoinPath(JoinPath(user.XdgConfigHome, "git"), name);
  if (user.Home.empty()) return std::string();
  return JoinPath(JoinPath(JoinPath(user.Home, ".config"), "git"), name);
}

// The user's excludes file, or empty when there is none to read.
std::string ExcludesFile(const GitUserPaths& user, const WorkTree& tree, const Reader& reader) {
  std::vector<std::string> configs;
  if (!user.ConfigGlobal.empty()) {
    configs.push_back(user.ConfigGlobal);
  } else {
    configs.push_back(XdgPath(user, "config"));
    if (!user.Home.empty()) configs.push_back(JoinPath(user.Home, ".gitconfig"));
  }
  if (!tree.common_folder.empty()) configs.push_back(JoinPath(tree.common_folder, "config"));
  bool set = false;
  std::string value, bytes;
  for (const std::string& config : configs) {
    if (!config.empty() && reader.Read(config, bytes)) set = FindExcludesFile(bytes, value) || set;
  }
  if (!set) return XdgPath(user, "ignore");
  if (value == "~") return user.Home;
  if (value.substr(0, 2) == "~/")
    return user.Home.empty() ? std::string() : Resolved(value.substr(2), user.Home);
  if (value.empty() || value[0] == '~') {
    if (!value.empty()) reader.warnings.push_back("core.excludesFile " + value + ": ~user/ is not supported");
    return std::string();
  }
  return Resolved(value, tree.top);
}

struct PlacedRules {
  std::shared_ptr<const IgnoreRules> rules;
  std::string folder;  // from the work tree's top
};

}  // namespace

IgnoreFileAccess IgnoreFilesOnDisk(size_t limit) {
  IgnoreFileAccess files;
  files.Exists = [](const std::string& path) { return PathExists(path); };
  files.Read = [limit](const std::string& path, std::string& bytes, std::string& reason) {
    switch (ReadSmallFile(path, limit, bytes, reason)) {
      case FileReadStatus::kRead:
        return IgnoreFileStatus::kRead;
      case FileReadStatus::kTooLarge:
        reason = limit % (size_t{1} << 20) == 0 ? "larger than " + std::to_string(limit >> 20) + " MiB"
                                                : "larger than " + std::to_string(limit) + " bytes";
        return IgnoreFileStatus::kUnreadable;
      case FileReadStatus::kCannotRead:
        return PathExists(path) ? IgnoreFileStatus::kUnreadable : IgnoreFileStatus::kNone;
      case FileReadStatus::kNotRegularFile:
        break;
    }
    return IgnoreFileStatus::kNone;
  };
  return files;
}

GitUserPaths GitUserPathsFromEnvironment() {
  auto variable = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  GitUserPaths user;
  user.Home = variable("HOME");
  if (user.Home.empty()) user.Home = variable("USERPROFILE");
  user.XdgConfigHome = variable("XDG_CONFIG_HOME");
  user.ConfigGlobal = variable("GIT_CONFIG_GLOBAL");
  return user;
}

GitIgnoreSetup FindGitIgnoreRules(const std::string& listed_folder, const GitUserPaths& user,
                                  const IgnoreFileAccess& files, std::string_view folder) {
  GitIgnoreSetup setup;
  const Reader reader{files, setup.Warnings};
  WorkTree tree;
  if (!FindWorkTree(listed_folder, reader, tree)) return setup;
  setup.InWorkTree = true;
  setup.WorkTreeTop = tree.top;

  std::vector<PlacedRules> placed;
  const std::string excludes = ExcludesFile(user, tree, reader);
  if (!excludes.empty()) placed.push_back({reader.ReadRules(excludes), ""});
  if (!tree.common_folder.empty()) {
    placed.push_back({reader.ReadRules(JoinPath(JoinPath(tree.common_folder, "info"), "exclude")), ""});
  }
  // Down from the top, each folder's .gitignore, and whether git would leave
  // out the next folder on the way (rules placed from the top).
  IgnoreStack from_top;
  for (const PlacedRules& rules : placed) from_top = PushIgnoreRules(from_top, rules.rules, "");
  std::string path = tree.top, relative;
  for (const std::string& name : tree.names) {
    placed.push_back({reader.ReadRules(JoinPath(path, ".gitignore")), relative});
    from_top = PushIgnoreRules(from_top, placed.back().rules, relative);
    if (IsIgnored(from_top, relative, name, true)) setup.ListedFolderIgnored = true;
    path = JoinPath(path, name);
    relative += (relative.empty() ? "" : "/") + name;
  }
  setup.Stack.HidesGitFolders = true;
  for (const PlacedRules& rules : placed) {
    const std::string_view lead =
        std::string_view(relative).substr(rules.folder.empty() ? 0 : rules.folder.size() + 1);
    setup.Stack = PushIgnoreRules(setup.Stack, rules.rules, folder, lead);
  }
  return setup;
}

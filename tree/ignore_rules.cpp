#include "tree/ignore_rules.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "tree/ignore_glob.h"
#include "tree/name_rules.h"

// Where a rule is filed: by the entry's name, by the folder it matches
// names in, or among the globs of whole paths.
enum class RuleKind { kName, kInFolder, kPath };

struct IgnoreRule {
  bool negative = false;
  bool folders_only = false;
  RuleKind kind = RuleKind::kPath;
  std::string folder;     // kInFolder: the folder, from the file's, whose entries it matches
  IgnoreGlob glob;        // of the name; of the whole path for kPath
  std::string name_tail;  // kPath: bytes the entry's name must end with
};

// The rules that match names in one folder, by the folder.
struct RulesByFolder {
  std::unordered_map<std::string_view, NameRules> folders;
  KeyFilter filter;

  NameRules& Add(std::string_view folder) {
    filter.Add(folder);
    return folders[folder];
  }
  const NameRules* Find(std::string_view folder) const {
    if (folders.empty() || !filter.MayHold(folder)) return nullptr;
    const auto found = folders.find(folder);
    return found == folders.end() ? nullptr : &found->second;
  }
};

// Most rules match a name at any depth ("node_modules", "*.o", "**/tmp") or
// a name in one folder ("/build/", "src/gen/*.c"); those are found through
// the entry's name and folder, and only the rest are matched on the path.
struct IgnoreRules {
  IgnoreRules() = default;
  IgnoreRules(const IgnoreRules&) = delete;  // the indexes point into rules
  IgnoreRules& operator=(const IgnoreRules&) = delete;

  // A glob of whole paths with what turns most entries away before it is
  // matched: the bytes it needs, the end of the name it asks for.
  struct PathGlob {
    int number = -1;
    bool folders_only = false;
    uint64_t needs = 0;
    std::string_view name_tail;
  };

  std::vector<IgnoreRule> rules;
  NameRules by_name;
  RulesByFolder in_folders;
  std::vector<PathGlob> path_globs;  // latest first
};

struct IgnoreLayer {
  IgnoreLayer() = default;
  IgnoreLayer(const IgnoreLayer&) = delete;  // in_folders may point into own_folders
  IgnoreLayer& operator=(const IgnoreLayer&) = delete;

  std::shared_ptr<const IgnoreLayer> below;
  std::shared_ptr<const IgnoreRules> rules;
  std::string lead;       // from the file's folder down to `folder`
  size_t skip = 0;        // bytes of a query's folder above the entry's path
  int lead_segments = 0;  // names in lead
  int skip_segments = 0;  // names in `folder`
  uint64_t lead_signature = 0;
  // The rules' in_folders, or for a file above `folder` those for folders
  // at or below it, keyed by the path from it.
  const RulesByFolder* in_folders = nullptr;
  RulesByFolder own_folders;
};

namespace {

using Kind = IgnoreGlob::Kind;
using Step = IgnoreGlob::Step;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

int Segments(std::string_view path) {
  return path.empty() ? 0 : 1 + static_cast<int>(std::count(path.begin(), path.end(), '/'));
}

// Drops the trailing spaces that no backslash protects.
std::string_view TrimTrailingSpaces(std::string_view line) {
  size_t keep = line.size();
  bool in_spaces = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') {
      if (!in_spaces) keep = i;
      in_spaces = true;
      continue;
    }
    if (line[i] == '\\' && ++i == line.size()) return line;
    in_spaces = false;
    keep = line.size();
  }
  return line.substr(0, keep);
}

// The pattern of one line, or nothing for a blank line or a comment.
bool ReadPattern(std::string_view line, std::string_view& pattern) {
  if (line.empty() || line[0] == '#') return false;
  if (line.back() == '\r') line.remove_suffix(1);
  line = line.substr(0, line.find('\0'));  // git reads a line as a C string
  pattern = TrimTrailingSpaces(line);
  return !pattern.empty();
}

bool Spans(const Step& step) { return step.kind == Kind::kAnyRun || step.kind == Kind::kFolders; }
bool IsSlash(const Step& step) { return step.kind == Kind::kByte && step.byte == '/'; }

// Files a path's glob: "**/" and a name is a name at any depth; literal
// folders and a name that stays in one folder is a name in that folder; the
// rest is matched on the whole path.
void FilePathRule(IgnoreRule& rule) {
  const auto& steps = rule.glob.steps;
  const size_t end = steps.size();
  if (steps[0].kind == Kind::kFolders && std::none_of(steps.begin() + 1, steps.end(), [](const Step& step) {
        return Spans(step) || IsSlash(step);
      })) {
    rule.glob = PartOfIgnoreGlob(rule.glob, 1, end);
    rule.kind = RuleKind::kName;
    return;
  }
  size_t name = end;  // where the last segment starts
  while (name > 0 && !IsSlash(steps[name - 1]) && !Spans(steps[name - 1])) --name;
  const bool folders_literal = std::all_of(steps.begin(), steps.begin() + (name > 0 ? name - 1 : 0),
                                           [](const Step& step) { return step.kind == Kind::kByte; });
  const std::string_view folder = std::string_view(rule.glob.head).substr(0, name > 0 ? name - 1 : 0);
  // A slash first, last or twice asks for an empty name, which no path
  // holds; the matcher of whole paths knows that.
  const bool empty_name = name == 1 || name == end || folder.find("//") != std::string_view::npos ||
                          (!folder.empty() && (folder.front() == '/' || folder.back() == '/'));
  if (empty_name || (name > 0 && !IsSlash(steps[name - 1])) || !folders_literal) {
    const std::string& tail = rule.glob.tail;
    rule.name_tail = tail.substr(tail.rfind('/') == std::string::npos ? 0 : tail.rfind('/') + 1);
    return;
  }
  rule.folder = std::string(folder);
  rule.glob = PartOfIgnoreGlob(rule.glob, name, end);
  rule.kind = RuleKind::kInFolder;
}

bool CompileRule(std::string_view pattern, IgnoreRule& rule) {
  rule.negative = pattern[0] == '!';
  if (rule.negative) pattern.remove_prefix(1);
  rule.folders_only = !pattern.empty() && pattern.back() == '/';
  if (rule.folders_only) pattern.remove_suffix(1);
  const bool by_name = pattern.find('/') == std::string_view::npos;
  if (!by_name && pattern[0] == '/') pattern.remove_prefix(1);
  if (pattern.empty()) return false;  // matches nothing
  rule.glob = CompileIgnoreGlob(pattern, !by_name);
  if (rule.glob.never || rule.glob.steps.empty()) return false;
  if (by_name) {
    rule.kind = RuleKind::kName;
  } else {
    FilePathRule(rule);
  }
  return true;
}

void Index(IgnoreRules& compiled) {
  for (int i = static_cast<int>(compiled.rules.size()) - 1; i >= 0; --i) {
    const IgnoreRule& rule = compiled.rules[i];
    switch (rule.kind) {
      case RuleKind::kName:
        compiled.by_name.Add(rule.glob, i, rule.folders_only);
        break;
      case RuleKind::kInFolder:
        compiled.in_folders.Add(rule.folder).Add(rule.glob, i, rule.folders_only);
        break;
      case RuleKind::kPath:
        compiled.path_globs.push_back({i, rule.folders_only, rule.glob.needs, rule.name_tail});
        break;
    }
  }
  compiled.by_name.Seal();
  for (auto& [folder, rules] : compiled.in_folders.folders) rules.Seal();
}

// The rules for folders at or below `folder`, keyed by the path from it.
void PlaceFolderRules(const RulesByFolder& from_file, std::string_view lead, RulesByFolder& placed) {
  for (const auto& [folder, rules] : from_file.folders) {
    if (folder == lead) {
      placed.Add(std::string_view()) = rules;
    } else if (folder.size() > lead.size() && folder[lead.size()] == '/' &&
               folder.substr(0, lead.size()) == lead) {
      placed.Add(folder.substr(lead.size() + 1)) = rules;
    }
  }
}

// A path of a few pieces joined by "/", in a buffer of its own.
class JoinedPath {
 public:
  std::string_view Join(std::string_view lead, std::string_view middle, std::string_view name) {
    size_t size = 0;
    for (std::string_view piece : {lead, middle, name}) size += piece.size() + 1;
    char* out = size <= sizeof(short_) ? short_ : LongBuffer(size);
    char* at = out;
    for (std::string_view piece : {lead, middle, name}) {
      if (piece.empty()) continue;
      if (at != out) *at++ = '/';
      at = std::copy(piece.begin(), piece.end(), at);
    }
    return std::string_view(out, static_cast<size_t>(at - out));
  }

 private:
  char* LongBuffer(size_t size) {
    long_.resize(size);
    return &long_[0];
  }
  char short_[1024];
  std::string long_;
};

struct Query {
  std::string_view folder, name;
  bool is_folder = false;
  uint64_t name_signature = 0;
  // Counted when a path rule first asks.
  int folder_segments = -1;
  uint64_t folder_signature = 0;
  JoinedPath path;
};

bool MatchesPath(const IgnoreLayer& layer, const IgnoreRules::PathGlob& candidate, Query& query,
                 std::string_view below, std::string_view& path) {
  const std::string_view& name = query.name;
  const std::string_view& tail = candidate.name_tail;
  if (name.size() < tail.size() || name.substr(name.size() - tail.size()) != tail) return false;
  if (query.folder_segments < 0) {
    query.folder_segments = Segments(query.folder);
    query.folder_signature = ByteSignature(query.folder) | ByteSignature("/");
  }
  if ((candidate.needs & ~(layer.lead_signature | query.folder_signature | query.name_signature)) != 0)
    return false;
  const IgnoreRule& rule = layer.rules->rules[candidate.number];
  const int segments = layer.lead_segments + query.folder_segments - layer.skip_segments + 1;
  const int fixed = rule.glob.slashes + 1;
  if (rule.glob.spans_folders ? segments < fixed : segments != fixed) return false;
  if (path.empty()) path = query.path.Join(layer.lead, below, name);
  return MatchesIgnoreGlob(rule.glob, path);
}

// The number of the layer's latest rule that matches the entry; -1 if none.
int LatestMatch(const IgnoreLayer& layer, Query& query) {
  const IgnoreRules& compiled = *layer.rules;
  const std::string_view below = query.folder.substr(std::min(layer.skip, query.folder.size()));
  int latest = compiled.by_name.LatestMatch(query.name, query.name_signature, query.is_folder, -1);
  if (const NameRules* in_folder = layer.in_folders->Find(below)) {
    latest = in_folder->LatestMatch(query.name, query.name_signature, query.is_folder, latest);
  }
  std::string_view path;
  for (const IgnoreRules::PathGlob& candidate : compiled.path_globs) {
    if (candidate.number <= latest) break;
    if ((query.is_folder || !candidate.folders_only) && MatchesPath(layer, candidate, query, below, path)) {
      return candidate.number;
    }
  }
  return latest;
}

}  // namespace

std::shared_ptr<const IgnoreRules> ParseIgnoreRules(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  auto compiled = std::make_shared<IgnoreRules>();
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view pattern;
    IgnoreRule rule;
    if (ReadPattern(text.substr(0, end), pattern) && CompileRule(pattern, rule)) {
      compiled->rules.push_back(std::move(rule));
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  if (compiled->rules.empty()) return nullptr;
  Index(*compiled);
  return compiled;
}

IgnoreStack PushIgnoreRules(const IgnoreStack& below, std::shared_ptr<const IgnoreRules> rules,
                            std::string_view folder, std::string_view lead) {
  if (!rules) return below;
  auto layer = std::make_shared<IgnoreLayer>();
  layer->below = below.Top;
  layer->rules = std::move(rules);
  layer->lead = std::string(lead);
  layer->skip = folder.empty() ? 0 : folder.size() + 1;
  layer->lead_segments = Segments(lead);
  layer->skip_segments = Segments(folder);
  layer->lead_signature = ByteSignature(lead);
  layer->in_folders = &layer->rules->in_folders;
  if (!lead.empty()) {
    PlaceFolderRules(layer->rules->in_folders, lead, layer->own_folders);
    layer->in_folders = &layer->own_folders;
  }
  return IgnoreStack{std::move(layer), below.HidesGitFolders};
}

IgnoreStack PushIgnoreFile(const IgnoreStack& below, std::string_view folder, std::string_view text) {
  return PushIgnoreRules(below, ParseIgnoreRules(text), folder);
}

bool IsIgnored(const IgnoreStack& stack, std::string_view folder, std::string_view name, bool is_folder) {
  if (stack.HidesGitFolders && name == ".git") return true;
  if (!stack.Top || name.empty()) return false;
  Query query;
  query.folder = folder;
  query.name = name;
  query.is_folder = is_folder;
  query.name_signature = ByteSignature(name);
  for (const IgnoreLayer* layer = stack.Top.get(); layer; layer = layer->below.get()) {
    const int latest = LatestMatch(*layer, query);
    if (latest >= 0) return !layer->rules->rules[latest].negative;
  }
  return false;
}

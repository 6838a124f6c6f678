#include "platform/mime_types_posix.h"

#include <fnmatch.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/platform.h"

namespace {

bool HasWildcard(const std::string& pattern) { return pattern.find_first_of("*?[") != std::string::npos; }

// "*.ext" with no other wildcard: looked up whole, as most patterns are.
bool IsSuffixPattern(const std::string& pattern) {
  return pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0 &&
         pattern.find_first_of("*?[", 1) == std::string::npos;
}

std::string DecodeEntities(const std::string& text) {
  static const std::pair<const char*, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    bool decoded = false;
    for (const auto& entity : kEntities) {
      size_t length = std::char_traits<char>::length(entity.first);
      if (text.compare(i, length, entity.first) == 0) {
        plain += entity.second;
        i += length - 1;
        decoded = true;
        break;
      }
    }
    if (!decoded) plain += text[i];
  }
  return plain;
}

}  // namespace

MimeTypes::MimeTypes(std::string root) : root_(std::move(root)) {}

bool MimeTypes::Describe(const std::string& extension, std::string& description) {
  if (extension.size() < 2) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  LoadGlobs();
  const Glob* glob = Find(extension);
  if (glob == nullptr) return false;
  auto known = comments_.find(glob->type);
  if (known == comments_.end()) known = comments_.emplace(glob->type, ReadComment(glob->type)).first;
  description = known->second;
  return !description.empty();
}

bool MimeTypes::LookUp(const std::string& extension, std::string& mime_type) {
  if (extension.size() < 2) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  LoadGlobs();
  const Glob* glob = Find(extension);
  if (glob == nullptr) return false;
  mime_type = glob->type;
  return true;
}

void MimeTypes::LoadGlobs() {
  if (loaded_) return;
  loaded_ = true;
  std::ifstream file(root_ + "globs2");
  std::unordered_map<std::string, size_t> listed;  // type and lower-case pattern
  std::string line;
  while (std::getline(file, line)) {
    // weight:type:pattern[:flags[:fields to come]]
    if (line.empty() || line[0] == '#') continue;
    const size_t first = line.find(':');
    const size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const size_t third = line.find(':', second + 1);
    Glob glob;
    glob.weight = std::strtol(line.c_str(), nullptr, 10);
    glob.type = line.substr(first + 1, second - first - 1);
    glob.pattern = line.substr(second + 1, third == std::string::npos ? third : third - second - 1);
    if (third != std::string::npos) {
      std::stringstream flags(line.substr(third + 1, line.find(':', third + 1) - third - 1));
      for (std::string flag; std::getline(flags, flag, ',');) glob.case_sensitive |= flag == "cs";
    }
    if (glob.type.empty() || !HasWildcard(glob.pattern)) continue;
    if (!glob.case_sensitive) glob.pattern = LowerCaseBytes(glob.pattern);
    // A pattern listed again for its type is one rule, case-sensitive when
    // any listing says so: the database repeats such patterns without it.
    auto known = listed.emplace(glob.type + '\n' + LowerCaseBytes(glob.pattern), globs_.size());
    if (known.second) {
      globs_.push_back(std::move(glob));
    } else if (glob.case_sensitive && !globs_[known.first->second].case_sensitive) {
      globs_[known.first->second] = std::move(glob);
    }
  }
  for (size_t i = 0; i < globs_.size(); ++i) {
    if (IsSuffixPattern(globs_[i].pattern)) {
      suffixes_[globs_[i].pattern].push_back(i);
    } else {
      wildcards_.push_back(i);
    }
  }
}

const MimeTypes::Glob* MimeTypes::Find(const std::string& extension) const {
  for (bool case_sensitive : {true, false}) {
    if (const Glob* glob = BestSuffix(extension, case_sensitive)) return glob;
    if (const Glob* glob = BestWildcard(extension, case_sensitive)) return glob;
  }
  return nullptr;
}

bool MimeTypes::Outweighs(const Glob& glob, const Glob* best) {
  if (best == nullptr) return true;
  if (glob.weight != best->weight) return glob.weight > best->weight;
  return glob.pattern.size() > best->pattern.size();
}

const MimeTypes::Glob* MimeTypes::BestSuffix(const std::string& extension, bool case_sensitive) const {
  auto listed = suffixes_.find("*" + (case_sensitive ? extension : LowerCaseBytes(extension)));
  if (listed == suffixes_.end()) return nullptr;
  const Glob* best = nullptr;
  for (size_t i : listed->second) {
    const Glob& glob = globs_[i];
    if (glob.case_sensitive == case_sensitive && Outweighs(glob, best)) best = &glob;
  }
  return best;
}

const MimeTypes::Glob* MimeTypes::BestWildcard(const std::string& extension, bool case_sensitive) const {
  const std::string name = case_sensitive ? extension : LowerCaseBytes(extension);
  const Glob* best = nullptr;
  for (size_t i : wildcards_) {
    const Glob& glob = globs_[i];
    if (glob.case_sensitive != case_sensitive || !Outweighs(glob, best)) continue;
    if (fnmatch(glob.pattern.c_str(), name.c_str(), 0) == 0) best = &glob;
  }
  return best;
}

std::string MimeTypes::ReadComment(const std::string& type) const {
  std::ifstream file(root_ + type + ".xml");
  std::stringstream text;
  text << file.rdbuf();
  const std::string xml = text.str();
  const std::string open = "<comment>";
  size_t start = xml.find(open);
  if (start == std::string::npos) return std::string();
  start += open.size();
  size_t end = xml.find("</comment>", start);
  return end == std::string::npos ? std::string() : DecodeEntities(xml.substr(start, end - start));
}

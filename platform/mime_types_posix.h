// File-type descriptions from the freedesktop shared-mime-info database,
// which plays the registry's part on POSIX.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The database's glob patterns give an extension its MIME type, and the
// type's own file its English comment; both are read once, when first asked.
// One database serves every thread of a program.
class MimeTypes {
 public:
  explicit MimeTypes(std::string root = "/usr/share/mime/");

  // The comment of the type of files with this extension (".c"). Patterns are
  // tried in the database's order: the case-sensitive ones against the
  // extension as it stands, then the others against it in lower case; in
  // each, "*.ext" patterns before other wildcards. Of the patterns matching
  // in the first group that has any, the heaviest wins, then the longest,
  // then the first listed. Patterns without a wildcard name whole files and
  // say nothing about an extension. False when no pattern matches or the
  // type has no comment.
  bool Describe(const std::string& extension, std::string& description);
  // The MIME type that the same patterns give the extension ("text/x-csrc");
  // false when none matches.
  bool LookUp(const std::string& extension, std::string& mime_type);

 private:
  struct Glob {
    long weight = 0;
    std::string type;
    std::string pattern;  // in lower case unless case-sensitive
    bool case_sensitive = false;
  };

  // The heavier pattern wins, then the longer; of equals, the one found first.
  static bool Outweighs(const Glob& glob, const Glob* best);
  void LoadGlobs();
  const Glob* Find(const std::string& extension) const;
  const Glob* BestSuffix(const std::string& extension, bool case_sensitive) const;
  const Glob* BestWildcard(const std::string& extension, bool case_sensitive) const;
  std::string ReadComment(const std::string& type) const;

  std::string root_;
  std::mutex mutex_;  // over the loading and the comments read so far
  bool loaded_ = false;
  std::vector<Glob> globs_;                                        // as listed
  std::unordered_map<std::string, std::vector<size_t>> suffixes_;  // "*.ext" patterns
  std::vector<size_t> wildcards_;                                  // all other patterns
  std::unordered_map<std::string, std::string> comments_;          // by type
};

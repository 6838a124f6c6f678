#include "platform/wildcard.h"

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesWildcard(const char* mask, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*mask == '*') {
      star = mask++;
      resume = name;
    } else if (*mask == '?' || (*mask && LowerAscii(*mask) == LowerAscii(*name))) {
      ++mask;
      ++name;
    } else if (star) {
      mask = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

}  // namespace

bool MatchesMask(const std::string& mask, const std::string& name) {
  // The masks nearly every listing uses match every name.
  if (mask == "*.*" || mask == "*") return true;
  if (MatchesWildcard(mask.c_str(), name.c_str())) return true;
  const bool ends_in_dot_star = mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0;
  return ends_in_dot_star && name.find('.') == std::string::npos &&
         MatchesWildcard(mask.substr(0, mask.size() - 2).c_str(), name.c_str());
}

// Arbitrary bytes as an ignore file and the paths asked about it: nothing
// may crash, and the answer for a path must not depend on where the file
// sits above the folder that is asked about (the lookups of a file placed
// above the stack's top are keyed anew from that top).
//
// The input: the file's text, a NUL, then one path ("a/b/name") per line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "tree/ignore_rules.h"

namespace {

void CheckPath(const std::shared_ptr<const IgnoreRules>& rules, std::string_view path, bool is_folder) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos || slash + 1 == path.size()) return;
  const std::string_view folder = path.substr(0, slash), name = path.substr(slash + 1);
  const bool from_top = IsIgnored(PushIgnoreRules(IgnoreStack{}, rules, ""), folder, name, is_folder);
  for (size_t cut = folder.find('/'); cut != std::string_view::npos; cut = folder.find('/', cut + 1)) {
    const IgnoreStack above = PushIgnoreRules(IgnoreStack{}, rules, "", folder.substr(0, cut));
    if (IsIgnored(above, folder.substr(cut + 1), name, is_folder) != from_top) std::abort();
  }
  const IgnoreStack whole = PushIgnoreRules(IgnoreStack{}, rules, "", folder);
  if (IsIgnored(whole, "", name, is_folder) != from_top) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t end = std::min(bytes.find('\0'), bytes.size());
  const std::shared_ptr<const IgnoreRules> rules = ParseIgnoreRules(bytes.substr(0, end));
  std::string_view paths = bytes.substr(std::min(end + 1, bytes.size()));
  while (!paths.empty()) {
    const size_t line_end = std::min(paths.find('\n'), paths.size());
    const std::string_view path = paths.substr(0, line_end);
    const bool plain = !path.empty() && path[0] != '/' && path.find('\0') == std::string_view::npos &&
                       path.find("//") == std::string_view::npos;
    if (plain) {
      CheckPath(rules, path, false);
      CheckPath(rules, path, true);
    }
    paths.remove_prefix(std::min(line_end + 1, paths.size()));
  }
  return 0;
}

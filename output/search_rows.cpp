#include "output/search_rows.h"

#include "listing/column_values.h"
#include "listing/entry.h"
#include "output/escapes.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view kMark = "// generator: Kestrova";

void AppendString(std::string& out, std::string_view system_text) {
  out += '"';
  AppendScriptText(out, system_text);
  out += '"';
}

void AppendEntry(std::string& out, const TreePage& tree, const FileInfoX& entry, bool folder, bool& first) {
  std::string link;
  out += first ? "[" : ", [";
  first = false;
  AppendString(out, entry.Find.cFileName);
  out += ", ";
  if (AppendTreeLink(link, tree, std::string(), entry)) {
    AppendString(out, link);
  } else {
    out += "null";
  }
  out += folder ? ", 1]" : ", 0]";
}

}  // namespace

std::string SearchFileHead(const TreePage& top, const std::string& files_prefix) {
  std::string head(kMark);
  head += PlatformLineEnd();
  head += "var kestrovaSearch = {\"index\": ";
  AppendString(head, PageFileLink(top));
  head += ", \"files\": ";
  AppendString(head, files_prefix);
  head += ", \"folders\": [";
  head += PlatformLineEnd();
  return head;
}

void AppendSearchFolder(std::string& out, const ListingRun& run) {
  const TreePage& tree = *run.Tree;
  std::string shown, link;
  for (size_t level = 0; level < tree.Path.size(); ++level) {
    if (level > 0) {
      shown += '/';
      AppendLinkForm(link, tree.Path[level]);
      link += '/';
    }
    shown += tree.Path[level];
  }
  out += '[';
  AppendString(out, shown);
  out += ", ";
  AppendString(out, link);
  out += ", [";
  bool first = true;
  for (const FileInfoX& entry : run.Listing.FolderList) {
    if (!IsParentEntry(entry)) AppendEntry(out, tree, entry, true, first);
  }
  for (const FileInfoX& entry : run.Listing.FileList) AppendEntry(out, tree, entry, false, first);
  out += "]],";
  out += PlatformLineEnd();
}

std::string SearchFileTail() {
  std::string tail = "]};";
  tail += PlatformLineEnd();
  return tail;
}

bool IsOwnSearchFile(std::string_view start) {
  for (std::string_view end : {"\n", "\r\n"}) {
    if (start.substr(0, kMark.size() + end.size()) == std::string(kMark) + std::string(end)) return true;
  }
  return false;
}

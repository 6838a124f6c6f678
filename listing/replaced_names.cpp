#include "listing/replaced_names.h"

#include <deque>

#include "platform/platform.h"

namespace {

size_t CountQuestionMarkNames(const std::deque<FileInfoX>& list) {
  size_t count = 0;
  for (const FileInfoX& entry : list) {
    if (entry.Find.cFileName.find('?') != std::string::npos) ++count;
  }
  return count;
}

}  // namespace

size_t CountReplacedNames(const DirFileStruct& listing) {
  if (!NamesShowUnrepresentableCharactersAsQuestionMarks()) return 0;
  return CountQuestionMarkNames(listing.FolderList) + CountQuestionMarkNames(listing.FileList);
}

std::string ReplacedNamesText(size_t count) {
  return std::to_string(count) + (count == 1 ? " name" : " names") +
         " could not be represented in the code page";
}

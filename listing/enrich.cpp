#include "listing/enrich.h"

#include <string_view>

namespace {

void LookUpTypes(const std::string& extension, FolderSource& source, const EnrichNeeds& needs,
                 TypeTexts& texts) {
  if (needs.Types && !source.DescribeType(extension, texts.Description)) texts.Description.clear();
  if (needs.MimeTypes && (extension.empty() || !source.LookUpMimeType(extension, texts.MimeType)))
    texts.MimeType.clear();
}

void EnrichTypes(DirFileStruct& listing, FolderSource& source, const EnrichNeeds& needs) {
  // Names of one extension often come one after the other: the last one
  // seen is known without a search.
  std::string_view last;
  bool any = false;
  for (const FileInfoX& entry : listing.FileList) {
    const std::string_view extension = ExtensionPart(entry.Find.cFileName);
    if (any && extension == last) continue;
    any = true;
    last = extension;
    auto [known, added] = listing.Values.Types.try_emplace(std::string(extension));
    if (added) LookUpTypes(known->first, source, needs, known->second);
  }
}

void EnrichLinks(DirFileStruct& listing, const std::string& folder, FolderSource& source) {
  for (const auto* list : {&listing.FolderList, &listing.FileList}) {
    for (const FileInfoX& entry : *list) {
      if (!IsLink(entry.Find.dwFileAttributes)) continue;
      std::string target;
      if (source.LinkTarget(JoinPath(folder, entry.Find.cFileName), target))
        listing.Values.LinkTargets.emplace(entry.Find.cFileName, std::move(target));
    }
  }
}

}  // namespace

void EnrichListing(DirFileStruct& listing, const std::string& folder, FolderSource& source,
                   const EnrichNeeds& needs, const ContentAccess& content) {
  if (needs.Types || needs.MimeTypes) EnrichTypes(listing, source, needs);
  if (needs.LinkTargets) EnrichLinks(listing, folder, source);
  if (needs.Checksums.empty()) return;
  if (source.KnownChecksums(folder, needs.Checksums, listing.Values.Checksums,
                            listing.Values.ChecksumFailures))
    return;
  if (content.Open && content.Pool != nullptr)
    ChecksumListing(listing, needs.Checksums, content.Open, *content.Pool);
}

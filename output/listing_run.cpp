#include "output/listing_run.h"

#include "output/forms.h"

namespace {

RowComposer RowsOf(ListingRun& run) {
  const auto append = run.NullEnds ? run.Form->AppendNullEndedRow : run.Form->AppendRow;
  return [&run, append](const FileInfoX& entry, std::string& row) { append(run, entry, row); };
}

}  // namespace

bool WriteRun(ListingRun& run, ByteSink& sink) {
  if (!run.NullEnds && run.Form->Ends == LineEnds::kPlatform) {
    return WriteDocument(run.Document, run.Listing, RowsOf(run), sink, PlatformLineEnd());
  }
  return VisitDocumentTexts(run.Document, run.Listing, RowsOf(run),
                            [&sink](std::string_view text) { return sink.Write(text); });
}

std::string FlattenRun(ListingRun& run) { return Flatten(run.Document, run.Listing, RowsOf(run)); }

size_t RunLength(ListingRun& run) { return DocumentLength(run.Document, run.Listing, RowsOf(run)); }

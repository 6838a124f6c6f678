#include "output/listing_run.h"

#include "output/forms.h"

namespace {

RowComposer RowsOf(ListingRun& run) {
  return [&run](const FileInfoX& entry, std::string& row) { run.Form->AppendRow(run, entry, row); };
}

}  // namespace

bool WriteRun(ListingRun& run, ByteSink& sink, std::string_view line_end) {
  return WriteDocument(run.Document, run.Listing, RowsOf(run), sink, line_end);
}

std::string FlattenRun(ListingRun& run) { return Flatten(run.Document, run.Listing, RowsOf(run)); }

size_t RunLength(ListingRun& run) { return DocumentLength(run.Document, run.Listing, RowsOf(run)); }

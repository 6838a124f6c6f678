#include "output/generate.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "listing/column_values.h"
#include "listing/entry.h"
#include "listing/scan.h"
#include "output/document_text.h"
#include "output/html_document.h"
#include "output/html_rows.h"
#include "output/placeholders.h"
#include "output/text_document.h"

namespace {

// The rows of the output form, composed while the document is written.
RowComposer RowsOf(const CommonStruct& record, FolderSource& source) {
  if (record.Output == kOutputText) return AppendEntryLine;
  auto types = std::make_shared<FileTypes>(source);
  return [&record, types](const FileInfoX& entry, std::string& row) {
    AppendEntryRow(record, entry, *types, row);
  };
}

bool WriteListing(const CommonStruct& record, ByteSink& sink, const SinkWrapper& wrap) {
  const DocumentWrite write = [&record](ByteSink& target) {
    return WriteDocument(record.DocText, target, PlatformLineEnd());
  };
  return wrap ? wrap(sink, write) : write(sink);
}

bool WriteStandardOutput(const CommonStruct& record, std::string& failure, const SinkWrapper& wrap) {
  StandardOutputSink out;
  if (WriteListing(record, out, wrap) && out.Flush()) return true;
  failure = std::strerror(errno);
  return false;
}

}  // namespace

bool ComposeListing(CommonStruct& record, FolderSource& source, std::string& failure) {
  // The document refers to the rows of the lists that are about to go.
  ClearDocument(record.DocText);
  if (!ScanListing(record, source, failure)) return false;
  ComputeListingTotals(record);
  for (std::string* text : {&record.After, &record.CustTable, &record.Befor, &record.HeadCustom}) {
    SubstitutePlaceholders(record, *text);
  }
  if (record.Output == kOutputHtml) {
    WriteHtmlDocument(record);
  } else if (record.Output == kOutputText) {
    WriteTextDocument(record);
  }
  record.DocText.ComposeRow = RowsOf(record, source);
  return true;
}

GenerateResult GenerateListing(CommonStruct& record, FolderSource& source, const ListingOutput& output) {
  GenerateResult result;
  if (!ComposeListing(record, source, result.Reason)) {
    result.Status = GenerateStatus::kCannotReadFolder;
    return result;
  }
  const bool written = output.ToStandardOutput ? WriteStandardOutput(record, result.Reason, output.Wrap)
                                               : WriteOutputFile(record, result.Reason, output.Wrap,
                                                                 output.Method, &result.Notes);
  if (!written) result.Status = GenerateStatus::kCannotWrite;
  return result;
}

GenerateResult GenerateListing(CommonStruct& record) { return GenerateListing(record, SystemFolderSource()); }

bool WriteOutputFile(const CommonStruct& record, std::string& failure, const SinkWrapper& wrap,
                     WriteMethod method, WriteNotes* notes) {
  AtomicFile file;
  const bool written =
      file.Open(record.OutputFile, method) && WriteListing(record, file, wrap) && file.Commit();
  failure = written ? std::string() : file.FailureReason();
  if (notes != nullptr) *notes = file.Notes();
  return written;
}

bool IsHtmlFileName(const std::string& name) {
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const char* html : {".html", ".htm", ".shtml", ".asp"}) {
    if (extension == html) return true;
  }
  return false;
}

#include "output/generate.h"

#include <cstdio>

#include "listing/column_values.h"
#include "listing/scan.h"
#include "output/html_document.h"
#include "output/html_rows.h"
#include "output/placeholders.h"
#include "output/text_document.h"

namespace {

// Each entry's row in the output form, composed once the lists are in
// order, so the rows lie in memory in the order the document reads them.
void ComposeRows(CommonStruct& record, FolderSource& source) {
  FileTypes types(source);
  for (auto* list : {&record.Listing.FolderList, &record.Listing.FileList}) {
    for (FileInfoX& entry : *list) {
      if (record.Output == kOutputHtml) {
        ComposeEntryRow(record, entry, types);
      } else if (record.Output == kOutputText) {
        ComposeEntryLine(entry);
      }
    }
  }
}

}  // namespace

void ComposeListing(CommonStruct& record, FolderSource& source) {
  ScanListing(record, source);
  ComposeRows(record, source);
  ComputeListingTotals(record);
  for (std::string* text : {&record.After, &record.CustTable, &record.Befor, &record.HeadCustom}) {
    SubstitutePlaceholders(record, *text);
  }
  if (record.Output == kOutputHtml) {
    WriteHtmlDocument(record);
  } else if (record.Output == kOutputText) {
    WriteTextDocument(record);
  }
}

bool GenerateListing(CommonStruct& record, FolderSource& source) {
  ComposeListing(record, source);
  return WriteOutputFile(record);
}

bool GenerateListing(CommonStruct& record) {
  return GenerateListing(record, SystemFolderSource());
}

bool WriteOutputFile(const CommonStruct& record) {
  std::FILE* file = std::fopen(record.OutputFile.c_str(), "wb");
  if (file == nullptr) return false;
  std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
  bool written = WriteDocument(record.DocText, file);
  return std::fclose(file) == 0 && written;
}

bool IsHtmlFileName(const std::string& name) {
  const std::string extension = LowerCase(ExtensionOf(name));
  for (const char* html : {".html", ".htm", ".shtml", ".asp"}) {
    if (extension == html) return true;
  }
  return false;
}

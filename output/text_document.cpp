#include "output/text_document.h"

#include "output/document_text.h"
#include "output/placeholders.h"

void AppendEntryLine(const FileInfoX& entry, std::string& row) {
  row += entry.Find.cFileName;
  row += "\r\n";
}

void WriteTextDocument(CommonStruct& record) {
  DocumentText& doc = record.DocText;
  ClearDocument(doc);
  AppendText(doc, record.Befor + "\r\n" + SubstitutedTitle(record) + "\r\n\r\n");
  if (record.ShowMasks) AppendText(doc, record.Folders + " [" + record.DirMask + "]\r\n\r\n");
  AppendListRows(doc, record.Listing.FolderList, record.DescOrder);
  AppendText(doc, "\r\n");
  if (record.ShowMasks) AppendText(doc, record.Files + " [" + record.FileMask + "]\r\n\r\n");
  AppendListRows(doc, record.Listing.FileList, record.DescOrder);
  AppendText(doc, "\r\n");
  if (record.ShowSummary) {
    AppendText(doc, record.FolderCountText + " " + record.Folders + "\r\n" + record.FileCountText + " " +
                        record.Files + "\r\n" + record.TotalBytesText + " " + record.FileSize + ": " +
                        record.TotalSize + "\r\n");
  }
  AppendText(doc, record.After);
}

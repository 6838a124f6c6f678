#include "output/text_document.h"

#include "output/document_text.h"
#include "output/escapes.h"

void AppendEntryLine(ListingRun&, const FileInfoX& entry, std::string& row) {
  AppendControlEscaped(row, entry.Find.cFileName);
  row += "\r\n";
}

void ComposeTextDocument(ListingRun& run) {
  const CommonStruct& record = *run.Settings;
  const ListingTotals& totals = run.Totals;
  DocumentText& doc = run.Document;
  doc = DocumentText();
  AppendText(doc, run.Befor + "\r\n" + run.Title + "\r\n\r\n");
  if (record.ShowMasks) AppendText(doc, record.Folders + " [" + record.DirMask + "]\r\n\r\n");
  AppendListRows(doc, EntryList::kFolders);
  AppendText(doc, "\r\n");
  if (record.ShowMasks) AppendText(doc, record.Files + " [" + record.FileMask + "]\r\n\r\n");
  AppendListRows(doc, EntryList::kFiles);
  AppendText(doc, "\r\n");
  if (record.ShowSummary) {
    AppendText(doc, totals.FolderCountText + " " + record.Folders + "\r\n" + totals.FileCountText + " " +
                        record.Files + "\r\n" + totals.SummarySizeText + ": " + record.TotalSize + "\r\n");
  }
  AppendText(doc, run.After);
}

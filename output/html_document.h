// The HTML page of a listing.
#pragma once

#include <string>

#include "settings/common_struct.h"

// Sets StyleBlock: the six CSS rules from the style settings.
void ComposeStyleBlock(CommonStruct& record);
// Sets BaseHref: Base with its first "$DirPath" replaced by the folder, as a link.
void ComposeBaseHref(CommonStruct& record);
// The start tag of one listing table.
std::string ComposeTableOpen(const CommonStruct& record);
// The summary table, without its end tag.
std::string ComposeSummary(const CommonStruct& record);
// Replaces DocText with the page; the lists, rows and totals must be ready.
void WriteHtmlDocument(CommonStruct& record);

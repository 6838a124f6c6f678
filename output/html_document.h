// The HTML page of a listing.
#pragma once

#include <string>

#include "settings/common_struct.h"

// Sets StyleBlock: the six CSS rules from the style settings.
void ComposeStyleBlock(CommonStruct& record);
// Sets BaseHref: Base with its first "$DirPath" replaced by the folder, as a
// link that ends in "/". A backslash typed in Base reads as "/" everywhere;
// one in the folder's path only where it separates folders.
void ComposeBaseHref(CommonStruct& record);
// The start tag of one listing table.
std::string ComposeTableOpen(const CommonStruct& record);
// The summary table, without its end tag.
std::string ComposeSummary(const CommonStruct& record);
// Replaces DocText with the page; the lists, rows and totals must be ready.
void WriteHtmlDocument(CommonStruct& record);

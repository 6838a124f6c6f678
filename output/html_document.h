// The classic HTML page of a listing.
#pragma once

#include <string>
#include <string_view>

#include "output/listing_run.h"
#include "settings/common_struct.h"

// The six CSS rules from the style settings.
std::string ComposeStyleBlock(const CommonStruct& record);
// The base address: base with its first "$DirPath" replaced by the folder,
// as a link that ends in "/". A backslash typed in base reads as "/"
// everywhere; one in the folder's path only where it separates folders.
std::string ComposeBaseHref(const std::string& base, const std::string& folder);
// The start tag of one listing table, with the custom text inside it; in an
// HTML5 page (Html5) without presentational attributes.
std::string ComposeTableOpen(const CommonStruct& record, const std::string& custom);
// The summary table, without its end tag.
std::string ComposeSummary(const CommonStruct& record, const ListingTotals& totals);
// Sets the run's document to the page; its lists, totals and substituted
// texts must be ready. With Html5 the page starts with a doctype and its
// language (PageLang, else en), and has no presentational attribute.
// A page of a tree (the run's Tree set) carries the
// generator line first in its head.
void ComposeHtmlDocument(ListingRun& run);
// True when a page's start is that of a page of a tree that this program
// wrote: its generator line first in the head, exactly.
bool IsOwnHtmlPage(std::string_view start);

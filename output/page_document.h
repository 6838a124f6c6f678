// The standards page of a listing: an HTML document that validators accept,
// that reads on a phone and in either colour scheme, that sorts and filters
// in the browser with one script of fixed text (so that a
// Content-Security-Policy may allow it by its hash), and that shows no path
// the user did not give: the title names the folder as shown, links are
// relative, and there is no base address.
#pragma once

#include <string_view>

#include "output/listing_run.h"

// Sets the run's document to the page; its lists, totals and substituted
// texts must be ready. Of the settings, the title, words, captions, columns,
// order, masks (named only where they leave names out), summary, links,
// Befor and After apply, with PageLang and PageStyle; the classic page's
// colours, styles, base address, head and table texts do not. Times are
// shown in UTC and say so; a file whose type the system does not know is
// typed by the $File word alone.
void ComposePageDocument(ListingRun& run);
// True when a page's start is that of a standards page this program wrote:
// the generator line at its place in the head, whatever the page's texts.
bool IsOwnStandardsPage(std::string_view start);

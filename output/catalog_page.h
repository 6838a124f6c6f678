// The page that carries a catalog: its head, style and script, and the
// element whose text is the catalog's data (output/catalog_data.h).
#pragma once

#include <string>

// The page up to the start of the data's text.
std::string CatalogPageHead(const std::string& title);
// The page from the end of the data's text.
std::string CatalogPageTail();
// The opening of the element whose text is the data, as the page writes it.
extern const char kCatalogDataStart[];
// The start of that element whatever version it names.
extern const char kCatalogDataTag[];
extern const char kCatalogDataEnd[];

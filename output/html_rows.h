// The rows of the HTML listing table: the caption row and one row per entry.
#pragma once

#include <string>

#include "listing/column_values.h"
#include "settings/common_struct.h"

// "<TD BGCOLOR = " and the key or ordinary caption colour, then ">".
std::string CaptionCellOpen(const CommonStruct& record, bool key);

// Replaces CaptionRow: one caption cell per shown column.
void ComposeCaptionRow(CommonStruct& record);

// Appends the entry's table row to row.
void AppendEntryRow(const CommonStruct& record, const FileInfoX& entry, FileTypes& types, std::string& row);

// "1234567" -> "1 234 567".
std::string GroupThousands(const std::string& digits);
// Fixed point with two decimals: 1.5 -> "1.50".
std::string FormatTwoDecimals(double value);

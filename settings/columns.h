// The columns of a listing, one row each: the options, the settings' Columns
// key, the help, the completion, every form's rows and the sort read this
// table, so that a column is declared in one place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/common_struct.h"

struct ColumnDeclaration {
  ColumnId Id;
  // Its letter in the Columns key; none ('\0') for the name, always shown.
  char Letter;
  // Its word in --columns and --sort, and the sort key's name in JSON.
  const char* Word;
  // The setting that holds its caption; null: its word is the caption.
  std::string CommonStruct::*Caption;
  SortCode Sort;  // kNoSortKey where it orders nothing
  // Its field in JSON and CSV (the key, the column's caption); null: none.
  const char* Field;
  // False for a flag that changes other columns (the seconds of the times).
  bool IsColumn;
};

// Every row, in the order of their ids, which is the order of the letters in
// a settings file (S T W C R A H), the name first.
const std::vector<ColumnDeclaration>& ColumnDeclarations();
const ColumnDeclaration& ColumnOf(ColumnId id);
// The row of that --columns or --sort word; null when none has it.
const ColumnDeclaration* ColumnWithWord(std::string_view word);

// True when the listing shows the column: the name always, the others as
// Columns says.
bool ShowsColumn(const CommonStruct& record, ColumnId id);
// The column's caption as the settings give it.
std::string ColumnCaption(const CommonStruct& record, ColumnId id);
// True when the column is the one the listing is sorted by.
bool IsSortColumn(const CommonStruct& record, ColumnId id);

// The letters of the set, in the order a settings file writes them.
std::string ColumnLetters(const ColumnSet& columns);
// The set the letters name; other bytes are passed over.
ColumnSet ColumnsOfLetters(std::string_view letters);
// True when every byte is the letter of a column.
bool AreColumnLetters(std::string_view letters);
// Every letter, separated by blanks: "S T W C R A H".
std::string ColumnLetterList();
// The words of --columns, in the order of their letters.
std::vector<std::string> ColumnWords();

// The words of the sort keys, in the order of their codes.
std::vector<std::string> SortKeyWords();
// The word of the sort key ("name", "size", "modified" ...); "name" for a
// code that names no key.
const char* SortKeyName(SortCode code);

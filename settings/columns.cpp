#include "settings/columns.h"

#include <algorithm>

#include "settings/common_struct.h"

namespace {

using C = ColumnId;
using R = CommonStruct;

// In the order of their ids, which ColumnOf counts on.
std::vector<ColumnDeclaration> Declarations() {
  return {
      {C::kName, '\0', "name", &R::Name, kSortByName, "name", true},
      {C::kSize, 'S', "size", &R::Size, kSortBySize, "size", true},
      {C::kType, 'T', "type", &R::Type, kSortByType, "type", true},
      {C::kLastWrite, 'W', "modified", &R::LW, kSortByLastWrite, "modified", true},
      {C::kCreation, 'C', "created", &R::CT, kSortByCreation, "created", true},
      {C::kLastRead, 'R', "accessed", &R::LR, kSortByLastRead, "accessed", true},
      {C::kAttributes, 'A', "attributes", &R::Attr, kSortByAttributes, "attributes", true},
      {C::kSeconds, 'H', "seconds", nullptr, kNoSortKey, nullptr, false},
  };
}

const ColumnDeclaration* ColumnWithLetter(char letter) {
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Letter != '\0' && column.Letter == letter) return &column;
  }
  return nullptr;
}

}  // namespace

const std::vector<ColumnDeclaration>& ColumnDeclarations() {
  static const std::vector<ColumnDeclaration> declarations = Declarations();
  return declarations;
}

const ColumnDeclaration& ColumnOf(ColumnId id) { return ColumnDeclarations()[static_cast<size_t>(id)]; }

const ColumnDeclaration* ColumnWithWord(std::string_view word) {
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (word == column.Word) return &column;
  }
  return nullptr;
}

bool ShowsColumn(const CommonStruct& record, ColumnId id) {
  return ColumnOf(id).Letter == '\0' || record.Columns.Has(id);
}

std::string ColumnCaption(const CommonStruct& record, ColumnId id) {
  const ColumnDeclaration& column = ColumnOf(id);
  return column.Caption != nullptr ? record.*column.Caption : column.Word;
}

bool IsSortColumn(const CommonStruct& record, ColumnId id) {
  const SortCode sort = ColumnOf(id).Sort;
  return sort != kNoSortKey && record.SortBy == sort;
}

std::string ColumnLetters(const ColumnSet& columns) {
  std::string letters;
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Letter != '\0' && columns.Has(column.Id)) letters += column.Letter;
  }
  return letters;
}

ColumnSet ColumnsOfLetters(std::string_view letters) {
  ColumnSet columns;
  for (char letter : letters) {
    if (const ColumnDeclaration* column = ColumnWithLetter(letter)) columns.Set(column->Id);
  }
  return columns;
}

bool AreColumnLetters(std::string_view letters) {
  return std::all_of(letters.begin(), letters.end(),
                     [](char letter) { return ColumnWithLetter(letter) != nullptr; });
}

std::string ColumnLetterList() {
  std::string list;
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Letter == '\0') continue;
    if (!list.empty()) list += ' ';
    list += column.Letter;
  }
  return list;
}

std::vector<std::string> ColumnWords() {
  std::vector<std::string> words;
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Letter != '\0') words.emplace_back(column.Word);
  }
  return words;
}

std::vector<std::string> SortKeyWords() {
  std::vector<const ColumnDeclaration*> sorting;
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Sort != kNoSortKey) sorting.push_back(&column);
  }
  std::sort(sorting.begin(), sorting.end(),
            [](const ColumnDeclaration* a, const ColumnDeclaration* b) { return a->Sort < b->Sort; });
  std::vector<std::string> words;
  for (const ColumnDeclaration* column : sorting) words.emplace_back(column->Word);
  return words;
}

const char* SortKeyName(SortCode code) {
  for (const ColumnDeclaration& column : ColumnDeclarations()) {
    if (column.Sort != kNoSortKey && column.Sort == code) return column.Word;
  }
  return ColumnOf(ColumnId::kName).Word;
}

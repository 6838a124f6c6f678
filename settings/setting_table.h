// Every saved setting, declared once: its key, how a file encodes it, the
// field that holds it, what the reader stores when a file lacks it, its line
// in the built-in default text, the values it may take and what it means.
// The reader and writer of settings files, the strict check of values typed
// one at a time, the built-in default text, the window's binding, the manual
// page and the completion all read this table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/common_struct.h"

enum class SettingEncoding {
  kWrittenOnly,  // written for the reader's information, never read
  kSingleLine,   // the bytes up to the line end
  kMultiLine,    // "|" for each line break
  kNumber,       // decimal digits
  kFlag,         // 0 or 1
  kColumns,      // the letters S T W C R A H
};

// The groups of the manual page, in its order.
enum class SettingGroup { kPaths, kOrder, kPage, kColours, kCaptions, kWords, kCustom, kCommandLine };

// A number of the record, whatever its type (a count, a named code), as a
// settings file holds it: any int32_t, stored as it was read.
struct NumberField {
  int32_t (*Get)(const CommonStruct& record) = nullptr;
  void (*Set)(CommonStruct& record, int32_t number) = nullptr;
};

struct SettingDeclaration {
  const char* Key;
  SettingEncoding Encoding;
  SettingGroup Group;
  std::string CommonStruct::*Text = nullptr;  // the field, by encoding
  NumberField Number{};
  bool CommonStruct::*Flag = nullptr;
  // What the reader stores when a file lacks the key, as a file would write it.
  const char* ReaderDefault = "";
  // The value of the key's line in the built-in default text; null: no line.
  const char* BuiltIn = nullptr;
  // The key that line is written under where it is not Key itself.
  const char* BuiltInKey = nullptr;
  const char* Alias = nullptr;  // an older spelling, read when the key is missing
  int32_t Largest = 0;          // the greatest number a strict check accepts
  // Written only when its value differs from the reader's default: the
  // command line's own keys, which files of the window program never hold.
  bool OnlyWhenSet = false;
  bool Colour = false;  // a colour, which the window lists with "None"
  // The values a value must be one of, separated by blanks; empty: any.
  const char* Values = "";
  const char* Help = "";  // what it means, for the manual page
};

// Every line after the header, in the order written.
const std::vector<SettingDeclaration>& SettingDeclarations();

// The declaration of the key (or of the older spelling of one); null when
// no setting has it.
const SettingDeclaration* FindSetting(std::string_view key);

// The word of the candidates a user most likely meant by a mistyped one:
// the same word in other letter case, else the nearest by edits when it is
// near; empty when none is.
std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates);
// NearestWord among the keys of the settings.
std::string NearestSettingKey(std::string_view key);

// The values a setting's value must be one of; empty when any will do.
std::vector<std::string> ListedValues(const SettingDeclaration& setting);

// The setting's value in the record, as a file writes it.
std::string EncodedValue(const CommonStruct& record, const SettingDeclaration& setting);

// Stores a value read from a file (null: the key is missing) with the
// reader's encodings and missing-value defaults.
void StoreSetting(CommonStruct& record, const SettingDeclaration& setting, const std::string* value);

// True when the value is digits only (the empty value is 0); a number above
// 2147483647 gives 2147483647.
bool ParseDigits(const std::string& value, int32_t& number);

// A multi-line value as a file holds it, read: each "|" a line break.
std::string MultiLineValue(const std::string& value);

// True when the value could have been written for the setting: a number of
// digits within its range, a flag 0 or 1, column letters among S T W C R A H,
// one of its listed values.
bool IsStrictValue(const SettingDeclaration& setting, const std::string& value);

// Settings files: key=value lines, one setting per line.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "settings/common_struct.h"
#include "settings/setting_table.h"

// Settings files are small; anything larger is not one.
constexpr size_t kLargestSettingsFile = 16 << 20;

// The settings text of the record: a header line, then one key=value line per
// saved setting, each line ended by "\n". Reads the record only. A value never
// carries a line end of its own or a byte 26: a single-line value is written
// up to its first line end, and bytes 26 are left out.
std::string SerializeSettings(const CommonStruct& record);

// Applies a settings text to the record: every saved setting takes the value
// of its key, or the reader default when the text lacks the key. Does not
// touch SettingsText or SettingsPath. Carriage returns and everything from a
// byte 26 on must already be removed (see NormalizeSettingsBytes).
void ApplySettingsText(CommonStruct& record, const std::string& text);

// Applies one "KEY=VALUE" line (the value ends at a line end) with the
// reader's encodings and missing-value defaults, "$Bites" standing for
// "$FileSize". Only that key's field changes. False, with the key (or the
// whole line when it has no "="), for a key the reader does not look up.
bool ApplySettingLine(CommonStruct& record, const std::string& line, std::string& unknown_key);

enum class SettingLineCheck { kValid, kUnknownKey, kInvalidValue };

// Checks one "KEY=VALUE" line more strictly than a file is read, for values
// typed one at a time: the key must be one a settings file holds ("$Bites"
// and the written-only "OutputFormat" included); the value, its carriage
// returns dropped, must hold no line feed and no byte 26; a number must be
// digits that fit and lie within its key's range (SortBy 0-6, SizeIn 0-2,
// Output and OutputFormat 0-1, a flag 0 or 1); column letters must be among
// S T W C R A H.
SettingLineCheck CheckSettingLine(const std::string& line);

// True when a line of the text (line ends "\n") begins with a key that a
// settings file holds, followed by "=": a text without one is no settings
// file, however leniently it is read.
bool HoldsKnownSetting(const std::string& text);

// What a text-mode read would deliver: every CR dropped, a byte 26 ends it.
std::string NormalizeSettingsBytes(const std::string& bytes);

// The text with each "\r\n" and each lone "\n" as one line_end: CR LF in a
// settings file, the platform's own where settings are printed.
std::string WithLineEnds(const std::string& text, std::string_view line_end);

// Writes the record's settings to the path, every line end as CR LF, whole or
// not at all. On success SettingsPath and SettingsText name what was written;
// on failure both keep their previous values, the file keeps its old bytes,
// and false returns (with the system's reason in failure).
bool SaveSettings(CommonStruct& record, const std::string& path, std::string& failure);
bool SaveSettings(CommonStruct& record, const std::string& path);

// Reads the file into the record. Only a regular file of at most
// kLargestSettingsFile bytes is read; otherwise the record keeps its
// settings, SettingsText is emptied, SettingsPath is unchanged, and the
// status says why (with the system's reason in failure when it could not be
// read).
FileReadStatus LoadSettings(CommonStruct& record, const std::string& path, std::string& failure);
bool LoadSettings(CommonStruct& record, const std::string& path);

// Reads the file as LoadSettings does, but leaves the settings as they are:
// only SettingsText and SettingsPath change, for a caller that applies the
// text itself.
FileReadStatus ReadSettingsFile(CommonStruct& record, const std::string& path, std::string& failure);

// True when the record's settings differ from the text last read or written.
bool SettingsChanged(const CommonStruct& record);

// Writes the built-in default settings text whole or not at all; true when
// all of it was written and the path exists after.
bool WriteDefaultSettings(const std::string& path);

// The built-in default settings text, line ends "\r\n" as composed.
const std::string& DefaultSettingsText();

// False for an empty path; else whether a file or folder of that path exists.
bool FileExists(const std::string& path);

// Lookups; a key is found only at the start of a line.
bool FindValue(const std::string& text, const std::string& key, std::string& value);
bool FindMultiLineValue(const std::string& text, const std::string& key, std::string& value);
bool FindNumber(const std::string& text, const std::string& key, int32_t& number);

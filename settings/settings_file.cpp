#include "settings/settings_file.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include "platform/platform.h"
#include "settings/line_ends.h"
#include "settings/setting_table.h"

namespace {

const char kHeaderLine[] = "Kestrova 1.5";

constexpr char kEndOfFile = 26;

size_t LineEnd(const std::string& text, size_t from) {
  while (from < text.size() && text[from] != '\n' && text[from] != '\r') ++from;
  return from;
}

void ReadSetting(CommonStruct& record, const SettingDeclaration& setting, const std::string& text) {
  std::string value;
  const bool found = FindValue(text, setting.Key, value) ||
                     (setting.Alias != nullptr && FindValue(text, setting.Alias, value));
  StoreSetting(record, setting, found ? &value : nullptr);
}

const SettingDeclaration* FindReadableKey(const std::string& key) {
  const SettingDeclaration* setting = FindSetting(key);
  return setting != nullptr && setting->Encoding != SettingEncoding::kWrittenOnly ? setting : nullptr;
}

// Settings files keep CR LF line ends on every platform, so that one file
// travels between systems.
bool WriteFileWhole(const std::string& path, const std::string& text, std::string& failure) {
  return ReplaceFileAtomically(path, WithLineEnds(text, "\r\n"), failure);
}

}  // namespace

std::string SerializeSettings(const CommonStruct& record) {
  std::string text = kHeaderLine;
  text += '\n';
  for (const SettingDeclaration& setting : SettingDeclarations()) {
    std::string value = EncodedValue(record, setting);
    if (setting.OnlyWhenSet && value == setting.ReaderDefault) continue;
    text += setting.Key;
    text += '=';
    text += value;
    text += '\n';
  }
  return text;
}

void ApplySettingsText(CommonStruct& record, const std::string& text) {
  for (const SettingDeclaration& setting : SettingDeclarations()) ReadSetting(record, setting, text);
}

bool ApplySettingLine(CommonStruct& record, const std::string& line, std::string& unknown_key) {
  const size_t equals = line.find('=');
  const std::string key = line.substr(0, equals);
  const SettingDeclaration* setting = equals == std::string::npos ? nullptr : FindReadableKey(key);
  if (setting == nullptr) {
    unknown_key = key;
    return false;
  }
  unknown_key.clear();
  const size_t start = equals + 1;
  const std::string value = line.substr(start, LineEnd(line, start) - start);
  StoreSetting(record, *setting, &value);
  return true;
}

SettingLineCheck CheckSettingLine(const std::string& line) {
  const size_t equals = line.find('=');
  const SettingDeclaration* setting =
      equals == std::string::npos ? nullptr : FindSetting(line.substr(0, equals));
  if (setting == nullptr) return SettingLineCheck::kUnknownKey;
  // A line feed would start another line, and a byte 26 would end the text:
  // either would drop part of what was typed.
  const std::string value = line.substr(equals + 1);
  if (value.find_first_of(std::string("\n") + kEndOfFile) != std::string::npos) {
    return SettingLineCheck::kInvalidValue;
  }
  return IsStrictValue(*setting, NormalizeSettingsBytes(value)) ? SettingLineCheck::kValid
                                                                : SettingLineCheck::kInvalidValue;
}

std::string NormalizeSettingsBytes(const std::string& bytes) {
  const size_t end = std::min(bytes.find(kEndOfFile), bytes.size());
  std::string text;
  text.reserve(end);
  for (size_t from = 0; from < end;) {
    const size_t carriage_return = std::min(bytes.find('\r', from), end);
    text.append(bytes, from, carriage_return - from);
    from = carriage_return + 1;
  }
  return text;
}

std::string WithLineEnds(const std::string& text, std::string_view line_end) {
  struct TextSink : ByteSink {
    bool Write(std::string_view bytes) override {
      text.append(bytes);
      return true;
    }
    std::string text;
  } converted;
  converted.text.reserve(text.size() + text.size() / 16);
  LineEndWriter writer(converted, line_end);
  writer.Write(text);
  writer.Finish();
  return std::move(converted.text);
}

bool SaveSettings(CommonStruct& record, const std::string& path, std::string& failure) {
  std::string text = SerializeSettings(record);
  if (!WriteFileWhole(path, text, failure)) return false;
  record.SettingsPath = path;
  record.SettingsText = std::move(text);
  return true;
}

bool SaveSettings(CommonStruct& record, const std::string& path) {
  std::string failure;
  return SaveSettings(record, path, failure);
}

FileReadStatus ReadSettingsFile(CommonStruct& record, const std::string& path, std::string& failure) {
  record.SettingsText.clear();
  std::string bytes;
  const FileReadStatus status = ReadSmallFile(path, kLargestSettingsFile, bytes, failure);
  if (status != FileReadStatus::kRead) return status;
  record.SettingsText = NormalizeSettingsBytes(bytes);
  record.SettingsPath = path;
  return status;
}

FileReadStatus LoadSettings(CommonStruct& record, const std::string& path, std::string& failure) {
  const FileReadStatus status = ReadSettingsFile(record, path, failure);
  if (status == FileReadStatus::kRead) ApplySettingsText(record, record.SettingsText);
  return status;
}

bool LoadSettings(CommonStruct& record, const std::string& path) {
  std::string failure;
  return LoadSettings(record, path, failure) == FileReadStatus::kRead;
}

bool SettingsChanged(const CommonStruct& record) { return SerializeSettings(record) != record.SettingsText; }

const std::string& DefaultSettingsText() {
  static const std::string text = [] {
    std::string lines;
    for (const SettingDeclaration& setting : SettingDeclarations()) {
      if (setting.BuiltIn == nullptr) continue;
      lines += setting.BuiltInKey != nullptr ? setting.BuiltInKey : setting.Key;
      lines += '=';
      lines += setting.BuiltIn;
      lines += "\r\n";
    }
    return lines;
  }();
  return text;
}

bool WriteDefaultSettings(const std::string& path) {
  std::string failure;
  return WriteFileWhole(path, DefaultSettingsText(), failure) && FileExists(path);
}

bool FileExists(const std::string& path) { return !path.empty() && PathExists(path); }

bool FindValue(const std::string& text, const std::string& key, std::string& value) {
  const std::string pattern = key + '=';
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) {
    if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r') {
      const size_t start = at + pattern.size();
      value.assign(text, start, LineEnd(text, start) - start);
      return true;
    }
  }
  return false;
}

bool FindMultiLineValue(const std::string& text, const std::string& key, std::string& value) {
  if (!FindValue(text, key, value)) return false;
  value = MultiLineValue(value);
  return true;
}

bool FindNumber(const std::string& text, const std::string& key, int32_t& number) {
  std::string value;
  return FindValue(text, key, value) && ParseDigits(value, number);
}

bool ParseDigits(const std::string& value, int32_t& number) {
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  int64_t parsed = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    parsed = std::min(parsed * 10 + (c - '0'), kLargest);
  }
  number = static_cast<int32_t>(parsed);
  return true;
}

#include "settings/settings_file.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <utility>

#include "platform/platform.h"
#include "settings/line_ends.h"

namespace {

enum class Encoding { WrittenOnly, SingleLine, MultiLine, Number, Flag, Columns };

// One line of a settings file: its key, how its value is encoded, the field
// it holds and what the reader stores when a text lacks the key.
struct SettingKey {
  const char* key;
  Encoding encoding;
  std::string CommonStruct::*text;
  int32_t CommonStruct::*number;
  bool CommonStruct::*flag;
  const char* default_text;
  int32_t default_number;
  const char* alias;       // an older spelling of the key, read when the key is missing
  int32_t largest_number;  // the greatest number a strict check accepts
  bool only_when_set;      // written only when it holds a value (the command line's own keys)
};

constexpr int32_t kAnyNumber = std::numeric_limits<int32_t>::max();

constexpr SettingKey Text(const char* key, std::string CommonStruct::*field, const char* fallback,
                          const char* alias = nullptr) {
  return {key, Encoding::SingleLine, field, nullptr, nullptr, fallback, 0, alias, 0, false};
}

// A key of the command line's own: files that never set it, as the window
// program writes them, hold no line for it.
constexpr SettingKey OptionalText(const char* key, std::string CommonStruct::*field) {
  return {key, Encoding::SingleLine, field, nullptr, nullptr, "", 0, nullptr, 0, true};
}

constexpr SettingKey MultiLine(const char* key, std::string CommonStruct::*field, const char* fallback) {
  return {key, Encoding::MultiLine, field, nullptr, nullptr, fallback, 0, nullptr, 0, false};
}

constexpr SettingKey Number(const char* key, int32_t CommonStruct::*field, int32_t fallback,
                            int32_t largest = kAnyNumber) {
  return {key, Encoding::Number, nullptr, field, nullptr, "", fallback, nullptr, largest, false};
}

constexpr SettingKey Flag(const char* key, bool CommonStruct::*field, int32_t fallback) {
  return {key, Encoding::Flag, nullptr, nullptr, field, "", fallback, nullptr, 1, false};
}

constexpr SettingKey WrittenOnly(const char* key, int32_t CommonStruct::*field, int32_t largest) {
  return {key, Encoding::WrittenOnly, nullptr, field, nullptr, "", 0, nullptr, largest, false};
}

constexpr SettingKey ColumnLetters(const char* key) {
  return {key, Encoding::Columns, nullptr, nullptr, nullptr, "", 0, nullptr, 0, false};
}

const char kHeaderLine[] = "Kestrova 1.5";

// Every line after the header, in the order written.
constexpr SettingKey kSettingKeys[] = {
    WrittenOnly("OutputFormat", &CommonStruct::Output, kOutputText),
    Text("DirStr", &CommonStruct::DirStr, "C:\\"),
    Text("OutputFile", &CommonStruct::OutputFile, "C:\\FolderIndex.html"),
    Text("Title", &CommonStruct::Title, "$ContentOf $DirPath"),
    Text("Base", &CommonStruct::Base, "file://localhost/$DirPath"),
    Text("DirMask", &CommonStruct::DirMask, "*.*"),
    Text("FileMask", &CommonStruct::FileMask, "*.*"),
    ColumnLetters("Columns"),
    Text("DocColor", &CommonStruct::DocColor, ""),
    Text("TableColor", &CommonStruct::TableColor, ""),
    Text("CapColor", &CommonStruct::CapColor, ""),
    Text("KeyCapColor", &CommonStruct::KeyCapColor, ""),
    Text("KeyColColor", &CommonStruct::KeyColColor, ""),
    Text("Name", &CommonStruct::Name, "Name"),
    Text("Size", &CommonStruct::Size, "Size"),
    Text("Type", &CommonStruct::Type, "Type"),
    Text("LW", &CommonStruct::LW, "Last Write"),
    Text("LR", &CommonStruct::LR, "Last Read"),
    Text("CT", &CommonStruct::CT, "Creation Time"),
    Text("Attr", &CommonStruct::Attr, "Attributes"),
    Text("$FileSize", &CommonStruct::FileSize, "bytes", "$Bites"),
    Text("$ContentOf", &CommonStruct::ContentOf, "Content Of"),
    Text("$File", &CommonStruct::File, "File"),
    Text("$Files", &CommonStruct::Files, "Files"),
    Text("$Folder", &CommonStruct::Folder, "Folder"),
    Text("$Folders", &CommonStruct::Folders, "Folders"),
    Text("$TotalSize", &CommonStruct::TotalSize, "Total Size"),
    Text("$UserWord1", &CommonStruct::UserWord1, "UserWord1"),
    Text("$UserWord2", &CommonStruct::UserWord2, "UserWord2"),
    Text("$UserWord3", &CommonStruct::UserWord3, "UserWord3"),
    MultiLine("HeadCustom", &CommonStruct::HeadCustom, ""),
    MultiLine("After", &CommonStruct::After, ""),
    MultiLine("Befor", &CommonStruct::Befor, ""),
    MultiLine("CustTable", &CommonStruct::CustTable, ""),
    MultiLine("CaptionStyle", &CommonStruct::CaptionStyle,
              "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
              "color:green;\r\n"),
    MultiLine("MaskStyle", &CommonStruct::MaskStyle,
              "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
              "color:navy;\r\n"),
    MultiLine("NameStyle", &CommonStruct::NameStyle,
              "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 500;\r\n"
              "text-decoration: underline;\r\ncolor:navy;"),
    MultiLine("SummaryStyle", &CommonStruct::SummaryStyle,
              "Summary\r\nfont-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
              "color:blue;\r\n"),
    MultiLine("TableStyle", &CommonStruct::TableStyle,
              "font-family: sans-serif;\r\nfont-size: small;\r\nfont-weight: 700;\r\n"
              "color:red;\r\n"),
    MultiLine("TitleStyle", &CommonStruct::TitleStyle,
              "font-family: sans-serif;\r\nfont-size: medium;\r\nfont-weight: 700;\r\n"
              "color:navy;\r\n"),
    Number("SortBy", &CommonStruct::SortBy, 0, kSortByAttributes),
    Number("Output", &CommonStruct::Output, 0, kOutputText),
    Number("CellSpacing", &CommonStruct::CellSpacing, 0),
    Number("CellPadding", &CommonStruct::CellPadding, 4),
    Flag("TableBorder", &CommonStruct::TableBorder, 1),
    Text("TableWidth", &CommonStruct::TableWidth, "100%"),
    Flag("DescOrder", &CommonStruct::DescOrder, 0),
    Flag("IgnoreCase", &CommonStruct::IgnoreCase, 0),
    Flag("CreateLinks", &CommonStruct::CreateLinks, 1),
    Flag("FullNames", &CommonStruct::FullNames, 0),
    Flag("ShowMasks", &CommonStruct::ShowMasks, 1),
    Flag("ShowSummary", &CommonStruct::ShowSummary, 1),
    Flag("DivideTable", &CommonStruct::DivideTable, 0),
    Number("SizeIn", &CommonStruct::SizeIn, 1, kSizeInMegabytes),
    OptionalText("Format", &CommonStruct::Format),
    OptionalText("PageLang", &CommonStruct::PageLang),
    OptionalText("PageStyle", &CommonStruct::PageStyle),
};

struct ColumnLetter {
  char letter;
  bool ColumnSet::*flag;
};

constexpr ColumnLetter kColumnLetters[] = {
    {'S', &ColumnSet::Size},         {'T', &ColumnSet::Type},     {'W', &ColumnSet::LastWrite},
    {'C', &ColumnSet::CreationTime}, {'R', &ColumnSet::LastRead}, {'A', &ColumnSet::Attributes},
    {'H', &ColumnSet::ShowSeconds},
};

constexpr char kEndOfFile = 26;

size_t LineEnd(const std::string& text, size_t from) {
  while (from < text.size() && text[from] != '\n' && text[from] != '\r') ++from;
  return from;
}

// A value may not carry a line end of its own (the rest would be read as
// further lines, perhaps as another key) nor the end-of-file byte (every
// later line would be lost): a single-line value is written up to its first
// line end, and end-of-file bytes are left out.
std::string EncodeSingleLine(const std::string& value) {
  std::string encoded;
  for (char c : value) {
    if (c == '\r' || c == '\n') break;
    if (c != kEndOfFile) encoded += c;
  }
  return encoded;
}

std::string EncodeMultiLine(const std::string& value) {
  std::string encoded;
  for (char c : value) {
    if (c == '\r') {
      encoded += '|';
    } else if (c != '\n' && c != kEndOfFile) {
      encoded += c;
    }
  }
  return encoded;
}

std::string EncodeColumns(const ColumnSet& columns) {
  std::string letters;
  for (const ColumnLetter& column : kColumnLetters) {
    if (columns.*column.flag) letters += column.letter;
  }
  return letters;
}

std::string EncodeValue(const CommonStruct& record, const SettingKey& setting) {
  switch (setting.encoding) {
    case Encoding::SingleLine:
      return EncodeSingleLine(record.*setting.text);
    case Encoding::MultiLine:
      return EncodeMultiLine(record.*setting.text);
    case Encoding::WrittenOnly:
    case Encoding::Number:
      return std::to_string(record.*setting.number);
    case Encoding::Flag:
      return record.*setting.flag ? "1" : "0";
    case Encoding::Columns:
      return EncodeColumns(record.Columns);
  }
  return std::string();
}

std::string MultiLineValue(const std::string& value) {
  std::string lines;
  for (char c : value) {
    if (c == '|') {
      lines += "\r\n";
    } else {
      lines += c;
    }
  }
  return lines;
}

void StoreColumns(ColumnSet& columns, const std::string* letters) {
  if (letters == nullptr) {
    columns.Type = true;
    columns.LastWrite = true;
    columns.Attributes = true;
    return;
  }
  for (const ColumnLetter& column : kColumnLetters) {
    columns.*column.flag = letters->find(column.letter) != std::string::npos;
  }
}

int32_t NumberOrDefault(const SettingKey& setting, const std::string* value) {
  int32_t number = 0;
  return value != nullptr && ParseDigits(*value, number) ? number : setting.default_number;
}

// Stores the value found for the key; a null value means the key is missing.
void StoreSetting(CommonStruct& record, const SettingKey& setting, const std::string* value) {
  switch (setting.encoding) {
    case Encoding::WrittenOnly:
      return;
    case Encoding::SingleLine:
      record.*setting.text = value != nullptr ? *value : setting.default_text;
      return;
    case Encoding::MultiLine:
      record.*setting.text = value != nullptr ? MultiLineValue(*value) : setting.default_text;
      return;
    case Encoding::Number:
      record.*setting.number = NumberOrDefault(setting, value);
      return;
    case Encoding::Flag:
      record.*setting.flag = NumberOrDefault(setting, value) != 0;
      return;
    case Encoding::Columns:
      StoreColumns(record.Columns, value);
      return;
  }
}

void ReadSetting(CommonStruct& record, const SettingKey& setting, const std::string& text) {
  std::string value;
  const bool found = FindValue(text, setting.key, value) ||
                     (setting.alias != nullptr && FindValue(text, setting.alias, value));
  StoreSetting(record, setting, found ? &value : nullptr);
}

const SettingKey* FindKnownKey(const std::string& key) {
  for (const SettingKey& setting : kSettingKeys) {
    if (key == setting.key || (setting.alias != nullptr && key == setting.alias)) return &setting;
  }
  return nullptr;
}

bool IsStrictNumber(const std::string& value, int32_t largest) {
  if (value.empty() || value.size() > 10) return false;
  int64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number <= largest;
}

bool IsStrictValue(const SettingKey& setting, const std::string& value) {
  switch (setting.encoding) {
    case Encoding::SingleLine:
    case Encoding::MultiLine:
      return true;
    case Encoding::WrittenOnly:
    case Encoding::Number:
    case Encoding::Flag:
      return IsStrictNumber(value, setting.largest_number);
    case Encoding::Columns:
      return std::all_of(value.begin(), value.end(), [](char c) {
        return std::any_of(std::begin(kColumnLetters), std::end(kColumnLetters),
                           [c](const ColumnLetter& column) { return column.letter == c; });
      });
  }
  return false;
}

const SettingKey* FindReadableKey(const std::string& key) {
  const SettingKey* setting = FindKnownKey(key);
  return setting != nullptr && setting->encoding != Encoding::WrittenOnly ? setting : nullptr;
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
  for (const SettingKey& setting : kSettingKeys) {
    std::string value = EncodeValue(record, setting);
    if (setting.only_when_set && value.empty()) continue;
    text += setting.key;
    text += '=';
    text += value;
    text += '\n';
  }
  return text;
}

void ApplySettingsText(CommonStruct& record, const std::string& text) {
  for (const SettingKey& setting : kSettingKeys) ReadSetting(record, setting, text);
}

bool ApplySettingLine(CommonStruct& record, const std::string& line, std::string& unknown_key) {
  const size_t equals = line.find('=');
  const std::string key = line.substr(0, equals);
  const SettingKey* setting = equals == std::string::npos ? nullptr : FindReadableKey(key);
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
  const SettingKey* setting = equals == std::string::npos ? nullptr : FindKnownKey(line.substr(0, equals));
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
  static const std::string text =
      "DirStr=C:\\\r\n"
      "OutputFile=C:\\FolderIndex.html\r\n"
      "Title=Content of $DirPath\r\n"
      "Base=file://localhost/$DirPath\r\n"
      "DirMask=*.*\r\n"
      "FileMask=*.*\r\n"
      "Columns=TR\r\n"
      "DocColor=\r\n"
      "TableColor=\r\n"
      "CapColor=LIGHTBLUE\r\n"
      "KeyCapColor=HONEYDEW\r\n"
      "KeyColColor=LIGHTBLUE\r\n"
      "Name=Name\r\n"
      "Size=Size\r\n"
      "Type=Type\r\n"
      "LW=Last Write\r\n"
      "LR=Last Read\r\n"
      "CT=Creation time\r\n"
      "Attr=Attributes\r\n"
      "$Bytes=bytes\r\n"
      "$ContentOf=Content of\r\n"
      "$File=File\r\n"
      "$Files=Files\r\n"
      "$Folder=Folder\r\n"
      "$Folders=Folders\r\n"
      "$TotalSize=Total size\r\n"
      "HeadCustom=<META NAME =\"keywords\"  CONTENT =\"$DirPath\">\r\n"
      "After=\r\n"
      "Befor=\r\n"
      "CustTable=\r\n"
      "SortBy=0\r\n"
      "Output=0\r\n"
      "CellSpacing=2\r\n"
      "CellPadding=4\r\n"
      "TableBorder=1\r\n"
      "DescOrder=0\r\n"
      "IgnoreCase=1\r\n"
      "CreateLinks=1\r\n";
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

#include "settings/setting_table.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

using G = SettingGroup;
using E = SettingEncoding;

constexpr int32_t kAnyNumber = std::numeric_limits<int32_t>::max();

SettingDeclaration Text(const char* key, G group, std::string CommonStruct::*field,
                        const char* reader_default, const char* built_in, const char* help) {
  SettingDeclaration setting{key, E::kSingleLine, group};
  setting.Text = field;
  setting.ReaderDefault = reader_default;
  setting.BuiltIn = built_in;
  setting.Help = help;
  return setting;
}

SettingDeclaration Colour(const char* key, std::string CommonStruct::*field, const char* built_in,
                          const char* help) {
  SettingDeclaration setting = Text(key, G::kColours, field, "", built_in, help);
  setting.Colour = true;
  return setting;
}

SettingDeclaration MultiLine(const char* key, std::string CommonStruct::*field, const char* reader_default,
                             const char* built_in, const char* help) {
  SettingDeclaration setting = Text(key, G::kCustom, field, reader_default, built_in, help);
  setting.Encoding = E::kMultiLine;
  return setting;
}

SettingDeclaration Number(const char* key, G group, int32_t CommonStruct::*field, const char* reader_default,
                          const char* built_in, int32_t largest, const char* values, const char* help) {
  SettingDeclaration setting{key, E::kNumber, group};
  setting.Number = field;
  setting.ReaderDefault = reader_default;
  setting.BuiltIn = built_in;
  setting.Largest = largest;
  setting.Values = values;
  setting.Help = help;
  return setting;
}

SettingDeclaration Flag(const char* key, G group, bool CommonStruct::*field, const char* reader_default,
                        const char* built_in, const char* help) {
  SettingDeclaration setting{key, E::kFlag, group};
  setting.Flag = field;
  setting.ReaderDefault = reader_default;
  setting.BuiltIn = built_in;
  setting.Largest = 1;
  setting.Values = "0 1";
  setting.Help = help;
  return setting;
}

// A key of the command line's own, written only where it is set.
SettingDeclaration Own(SettingDeclaration setting) {
  setting.Group = G::kCommandLine;
  setting.OnlyWhenSet = true;
  return setting;
}

const char kStyleHelp[] = "The CSS declarations of the class.";

SettingDeclaration TimeStyle() {
  SettingDeclaration setting = Own(Text("TimeStyle", G::kCommandLine, &CommonStruct::TimeStyle, "", nullptr,
                                        "How times are shown: classic dd.mm.yyyy hh:mm, iso 2024-03-05 14:07 "
                                        "(UTC, with seconds where the seconds column flag is set), locale in "
                                        "the system's format."));
  setting.Values = "classic iso locale";
  return setting;
}

SettingDeclaration CsvBom() {
  SettingDeclaration setting =
      Own(Text("CsvBom", G::kCommandLine, &CommonStruct::CsvBom, "", nullptr,
               "1 starts a CSV document with a UTF-8 byte-order mark, which spreadsheets such as Excel "
               "need to read it as UTF-8; 0 leaves it out; empty: with the mark on Windows, without "
               "elsewhere. JSON and names never have one."));
  setting.Values = "0 1";
  return setting;
}

std::vector<SettingDeclaration> Declarations() {
  SettingDeclaration written_only{"OutputFormat", E::kWrittenOnly, G::kPaths};
  written_only.Number = &CommonStruct::Output;
  written_only.Largest = kOutputText;
  written_only.Values = "0 1";
  written_only.Help = "The value of Output, written for the reader's information and never read.";
  SettingDeclaration columns{"Columns", E::kColumns, G::kOrder};
  columns.ReaderDefault = "TWA";
  columns.BuiltIn = "TR";
  columns.Help =
      "The letters of the optional columns, in this order: S size, T type, W last write, C creation time, "
      "R last read, A attributes, and H for times with seconds. The name column is always shown. A file "
      "without the key sets T, W and A and keeps the others.";
  SettingDeclaration file_size =
      Text("$FileSize", G::kWords, &CommonStruct::FileSize, "bytes", "bytes",
           "The unit word shown with sizes; the older spelling $Bites is read when "
           "this key is missing.");
  file_size.BuiltInKey = "$Bytes";
  file_size.Alias = "$Bites";

  return {
      written_only,
      Text("DirStr", G::kPaths, &CommonStruct::DirStr, "C:\\", "C:\\",
           "The folder to list; also the value of $DirPath."),
      Text("OutputFile", G::kPaths, &CommonStruct::OutputFile, "C:\\FolderIndex.html", "C:\\FolderIndex.html",
           "The output file."),
      Text("Title", G::kPage, &CommonStruct::Title, "$ContentOf $DirPath", "Content of $DirPath",
           "The title of the document; may hold placeholders."),
      Text("Base", G::kPage, &CommonStruct::Base, "file://localhost/$DirPath", "file://localhost/$DirPath",
           "The base address of the links of the classic page; its first $DirPath is replaced by the folder; "
           "empty for links relative to the page."),
      Text("DirMask", G::kPaths, &CommonStruct::DirMask, "*.*", "*.*",
           "The mask that folders must match; \";\" separates several."),
      Text("FileMask", G::kPaths, &CommonStruct::FileMask, "*.*", "*.*",
           "The mask that files must match; \";\" separates several."),
      columns,
      Colour("DocColor", &CommonStruct::DocColor, "", "The background of the page."),
      Colour("TableColor", &CommonStruct::TableColor, "", "The background of the table."),
      Colour("CapColor", &CommonStruct::CapColor, "LIGHTBLUE", "The background of the caption cells."),
      Colour("KeyCapColor", &CommonStruct::KeyCapColor, "HONEYDEW",
             "The background of the caption cell of the sort-key column."),
      Colour("KeyColColor", &CommonStruct::KeyColColor, "LIGHTBLUE",
             "The background of the cells of the sort-key column."),
      Text("Name", G::kCaptions, &CommonStruct::Name, "Name", "Name", "The caption of the name column."),
      Text("Size", G::kCaptions, &CommonStruct::Size, "Size", "Size", "The caption of the size column."),
      Text("Type", G::kCaptions, &CommonStruct::Type, "Type", "Type", "The caption of the type column."),
      Text("LW", G::kCaptions, &CommonStruct::LW, "Last Write", "Last Write",
           "The caption of the last-write column."),
      Text("LR", G::kCaptions, &CommonStruct::LR, "Last Read", "Last Read",
           "The caption of the last-read column."),
      Text("CT", G::kCaptions, &CommonStruct::CT, "Creation Time", "Creation time",
           "The caption of the creation-time column."),
      Text("Attr", G::kCaptions, &CommonStruct::Attr, "Attributes", "Attributes",
           "The caption of the attributes column."),
      file_size,
      Text("$ContentOf", G::kWords, &CommonStruct::ContentOf, "Content Of", "Content of",
           "A word of the title."),
      Text("$File", G::kWords, &CommonStruct::File, "File", "File",
           "The word that opens the type of a file whose type is not known; not a placeholder."),
      Text("$Files", G::kWords, &CommonStruct::Files, "Files", "Files", "The word for files."),
      Text("$Folder", G::kWords, &CommonStruct::Folder, "Folder", "Folder",
           "The word in the type cell of folders; not a placeholder."),
      Text("$Folders", G::kWords, &CommonStruct::Folders, "Folders", "Folders", "The word for folders."),
      Text("$TotalSize", G::kWords, &CommonStruct::TotalSize, "Total Size", "Total size",
           "The words for the total size."),
      Text("$UserWord1", G::kWords, &CommonStruct::UserWord1, "UserWord1", nullptr, "A free text."),
      Text("$UserWord2", G::kWords, &CommonStruct::UserWord2, "UserWord2", nullptr, "A free text."),
      Text("$UserWord3", G::kWords, &CommonStruct::UserWord3, "UserWord3", nullptr, "A free text."),
      MultiLine("HeadCustom", &CommonStruct::HeadCustom, "",
                "<META NAME =\"keywords\"  CONTENT =\"$DirPath\">", "HTML placed in the head of the page."),
      MultiLine("After", &CommonStruct::After, "", "", "HTML placed before the end of the body."),
      MultiLine("Befor", &CommonStruct::Befor, "", "", "HTML placed right after the start of the body."),
      MultiLine("CustTable", &CommonStruct::CustTable, "", "",
                "HTML placed inside the start tag of every listing table."),
      MultiLine("CaptionStyle", &CommonStruct::CaptionStyle,
                "font-family: sans-serif;|font-size: small;|font-weight: 700;|color:green;|", nullptr,
                kStyleHelp),
      MultiLine("MaskStyle", &CommonStruct::MaskStyle,
                "font-family: sans-serif;|font-size: small;|font-weight: 700;|color:navy;|", nullptr,
                kStyleHelp),
      MultiLine("NameStyle", &CommonStruct::NameStyle,
                "font-family: sans-serif;|font-size: small;|font-weight: 500;|text-decoration: underline;|"
                "color:navy;",
                nullptr, kStyleHelp),
      MultiLine("SummaryStyle", &CommonStruct::SummaryStyle,
                "Summary|font-family: sans-serif;|font-size: small;|font-weight: 700;|color:blue;|", nullptr,
                kStyleHelp),
      MultiLine("TableStyle", &CommonStruct::TableStyle,
                "font-family: sans-serif;|font-size: small;|font-weight: 700;|color:red;|", nullptr,
                kStyleHelp),
      MultiLine("TitleStyle", &CommonStruct::TitleStyle,
                "font-family: sans-serif;|font-size: medium;|font-weight: 700;|color:navy;|", nullptr,
                kStyleHelp),
      Number(
          "SortBy", G::kOrder, &CommonStruct::SortBy, "0", "0", kSortByAttributes, "0 1 2 3 4 5 6",
          "The sort key: 0 name, 1 type, 2 last write, 3 creation time, 4 last read, 5 size, 6 attributes. "
          "Folders always come before files."),
      Number("Output", G::kPaths, &CommonStruct::Output, "0", "0", kOutputText, "0 1",
             "The form of the document: 0 HTML, 1 plain text. The extension of the output file decides; a "
             "value from a file stands until then."),
      Number("CellSpacing", G::kPage, &CommonStruct::CellSpacing, "0", "2", kAnyNumber, "",
             "The cell spacing of the table."),
      Number("CellPadding", G::kPage, &CommonStruct::CellPadding, "4", "4", kAnyNumber, "",
             "The cell padding of the table."),
      Flag("TableBorder", G::kPage, &CommonStruct::TableBorder, "1", "1", "1 gives the table a border."),
      Text("TableWidth", G::kPage, &CommonStruct::TableWidth, "100%", nullptr,
           "The width attribute of the table; empty leaves it out."),
      Flag("DescOrder", G::kOrder, &CommonStruct::DescOrder, "0", "0",
           "1 lists from the greatest key to the smallest."),
      Flag("IgnoreCase", G::kOrder, &CommonStruct::IgnoreCase, "0", "1",
           "1 compares names without regard to letter case."),
      Flag("CreateLinks", G::kPage, &CommonStruct::CreateLinks, "1", "1", "1 makes the names links."),
      Flag("FullNames", G::kPage, &CommonStruct::FullNames, "0", nullptr,
           "1 makes the links carry the full path."),
      Flag("ShowMasks", G::kPage, &CommonStruct::ShowMasks, "1", nullptr, "1 shows a line naming the masks."),
      Flag("ShowSummary", G::kPage, &CommonStruct::ShowSummary, "1", nullptr,
           "1 ends the document with the counts and the total size."),
      Flag("DivideTable", G::kPage, &CommonStruct::DivideTable, "0", nullptr,
           "1 puts the folders and the files in two tables."),
      Number("SizeIn", G::kOrder, &CommonStruct::SizeIn, "1", nullptr, kSizeInMegabytes, "0 1 2",
             "The unit of sizes: 0 bytes (grouped digits), 1 kilobytes, 2 megabytes; the unit word is the "
             "$FileSize word."),
      Own(Text("Format", G::kCommandLine, &CommonStruct::Format, "", nullptr,
               "The form the command line writes, by name, where the output file's name alone would give "
               "another; the Windows program keeps it and follows Output.")),
      Own(Text("Exclude", G::kCommandLine, &CommonStruct::Exclude, "", nullptr,
               "Masks, separated by \";\", of the folders and files left out.")),
      Own(Flag("HideHidden", G::kCommandLine, &CommonStruct::HideHidden, "0", nullptr,
               "1 leaves out hidden names: those starting with \".\", and on Windows those with the hidden "
               "attribute.")),
      Own(Flag("NaturalOrder", G::kCommandLine, &CommonStruct::NaturalOrder, "0", nullptr,
               "1 compares the numbers in names as numbers: a2 before a10.")),
      Own(Flag("HumanSizes", G::kCommandLine, &CommonStruct::HumanSizes, "0", nullptr,
               "1 shows sizes and the total as 1.2 KB or 3.4 MB (powers of 1024), the unit in each cell.")),
      TimeStyle(),
      Own(Flag("ShowLinks", G::kCommandLine, &CommonStruct::ShowLinks, "0", nullptr,
               "1 gives symbolic links the type Link, Link to folder or Broken link in the classic forms, "
               "as the standards page always does.")),
      Own(Text(
          "PageLang", G::kCommandLine, &CommonStruct::PageLang, "", nullptr,
          "The language tag of the standards page, and of the classic page with Html5 (de, de-CH); empty: "
          "en.")),
      Own(Text("PageStyle", G::kCommandLine, &CommonStruct::PageStyle, "", nullptr,
               "The address of a stylesheet that the standards page links after its own rules, so that its "
               "rules win (../site.css); empty: none.")),
      Own(Flag("Html5", G::kCommandLine, &CommonStruct::Html5, "0", nullptr,
               "1 writes the classic page as an HTML5 document: a doctype, the language of PageLang (en "
               "where empty) on its HTML tag, and none of the presentational attributes (colours, border, "
               "cell spacing and padding, width), which are then the styles' to give.")),
      CsvBom(),
  };
}

int32_t DefaultNumber(const SettingDeclaration& setting) {
  int32_t number = 0;
  ParseDigits(setting.ReaderDefault, number);
  return number;
}

int32_t NumberOrDefault(const SettingDeclaration& setting, const std::string* value) {
  int32_t number = 0;
  return value != nullptr && ParseDigits(*value, number) ? number : DefaultNumber(setting);
}

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

bool IsStrictNumber(const std::string& value, int32_t largest) {
  if (value.empty() || value.size() > 10) return false;
  int64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number <= largest;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// Edits (insertions, deletions, substitutions) between two keys, letter
// case ignored.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] =
          std::min({row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

const std::vector<SettingDeclaration>& SettingDeclarations() {
  static const std::vector<SettingDeclaration> declarations = Declarations();
  return declarations;
}

const SettingDeclaration* FindSetting(std::string_view key) {
  for (const SettingDeclaration& setting : SettingDeclarations()) {
    if (key == setting.Key || (setting.Alias != nullptr && key == setting.Alias)) return &setting;
  }
  return nullptr;
}

std::string NearestWord(std::string_view word, const std::vector<std::string>& candidates) {
  std::string nearest;
  size_t best = std::max<size_t>(1, word.size() / 3) + 1;  // this far or farther is another word
  for (const std::string& candidate : candidates) {
    if (EqualIgnoringCase(word, candidate)) return candidate;
  }
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(word, candidate);
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

std::string NearestSettingKey(std::string_view key) {
  std::vector<std::string> keys;
  for (const SettingDeclaration& setting : SettingDeclarations()) keys.emplace_back(setting.Key);
  return NearestWord(key, keys);
}

std::vector<std::string> ListedValues(const SettingDeclaration& setting) {
  std::vector<std::string> values;
  const std::string_view list = setting.Values;
  for (size_t start = 0; start < list.size();) {
    const size_t end = std::min(list.find(' ', start), list.size());
    values.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return values;
}

std::string EncodedValue(const CommonStruct& record, const SettingDeclaration& setting) {
  switch (setting.Encoding) {
    case E::kSingleLine:
      return EncodeSingleLine(record.*setting.Text);
    case E::kMultiLine:
      return EncodeMultiLine(record.*setting.Text);
    case E::kWrittenOnly:
    case E::kNumber:
      return std::to_string(record.*setting.Number);
    case E::kFlag:
      return record.*setting.Flag ? "1" : "0";
    case E::kColumns:
      return EncodeColumns(record.Columns);
  }
  return std::string();
}

void StoreSetting(CommonStruct& record, const SettingDeclaration& setting, const std::string* value) {
  switch (setting.Encoding) {
    case E::kWrittenOnly:
      return;
    case E::kSingleLine:
      record.*setting.Text = value != nullptr ? *value : setting.ReaderDefault;
      return;
    case E::kMultiLine:
      record.*setting.Text = MultiLineValue(value != nullptr ? *value : setting.ReaderDefault);
      return;
    case E::kNumber:
      record.*setting.Number = NumberOrDefault(setting, value);
      return;
    case E::kFlag:
      record.*setting.Flag = NumberOrDefault(setting, value) != 0;
      return;
    case E::kColumns:
      StoreColumns(record.Columns, value);
      return;
  }
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

bool IsStrictValue(const SettingDeclaration& setting, const std::string& value) {
  if (*setting.Values != '\0' && setting.Encoding == E::kSingleLine) {
    const std::vector<std::string> listed = ListedValues(setting);
    return value == setting.ReaderDefault || std::find(listed.begin(), listed.end(), value) != listed.end();
  }
  switch (setting.Encoding) {
    case E::kSingleLine:
    case E::kMultiLine:
      return true;
    case E::kWrittenOnly:
    case E::kNumber:
    case E::kFlag:
      return IsStrictNumber(value, setting.Largest);
    case E::kColumns:
      return std::all_of(value.begin(), value.end(), [](char c) {
        return std::any_of(std::begin(kColumnLetters), std::end(kColumnLetters),
                           [c](const ColumnLetter& column) { return column.letter == c; });
      });
  }
  return false;
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

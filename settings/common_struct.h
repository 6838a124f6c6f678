// The settings record of a listing job: the saved settings and the
// settings-file bookkeeping. What a generation computes belongs to its run
// (output/listing_run.h), never to the record.
#pragma once

#include <cstdint>
#include <string>

// The optional columns and the seconds flag, known in files by the letters
// S, T, W, C, R, A and H.
struct ColumnSet {
  bool Size = false;          // S
  bool Type = false;          // T
  bool LastWrite = false;     // W
  bool CreationTime = false;  // C
  bool LastRead = false;      // R
  bool Attributes = false;    // A
  bool ShowSeconds = false;   // H
};

// Sort keys (SortBy).
enum SortCode : int32_t {
  kSortByName = 0,
  kSortByType = 1,
  kSortByLastWrite = 2,
  kSortByCreation = 3,
  kSortByLastRead = 4,
  kSortBySize = 5,
  kSortByAttributes = 6,
};

// Units of the size column (SizeIn); other stored values show no number.
enum SizeUnit : int32_t {
  kSizeInBytes = 0,
  kSizeInKilobytes = 1,
  kSizeInMegabytes = 2,
};

// The classic output forms (Output).
constexpr int32_t kOutputHtml = 0;
constexpr int32_t kOutputText = 1;

// Fields that settings files store carry the name of their key, without the
// leading "$" of the word keys. A constructed record is empty: texts empty,
// numbers and flags 0. OutputName and OutputFolder are the parts of
// OutputFile as last collected.
struct CommonStruct {
  int32_t CellSpacing = 0;
  int32_t CellPadding = 0;
  bool TableBorder = false;
  bool DescOrder = false;
  bool DivideTable = false;
  bool IgnoreCase = false;
  bool IncludeParent = false;  // never saved
  bool CreateLinks = false;
  bool FullNames = false;
  bool ShowMasks = false;
  bool ShowSummary = false;
  std::string TableWidth;
  std::string KeyColColor;
  std::string CapColor;
  std::string KeyCapColor;
  std::string DocColor;
  std::string TableColor;
  std::string ContentOf;
  std::string FileSize;
  std::string Files;
  std::string File;
  std::string Folder;
  std::string Folders;
  std::string TotalSize;
  std::string UserWord1;
  std::string UserWord2;
  std::string UserWord3;
  std::string DirStr;
  std::string OutputName;
  std::string OutputFolder;
  std::string OutputFile;
  std::string DirMask;
  std::string FileMask;
  std::string Title;
  std::string SettingsText;
  std::string SettingsPath;
  std::string Name;
  std::string Size;
  std::string Type;
  std::string LW;
  std::string LR;
  std::string CT;
  std::string Attr;
  std::string Base;
  std::string HeadCustom;
  std::string CustTable;
  std::string After;
  std::string Befor;
  std::string CaptionStyle;
  std::string MaskStyle;
  std::string NameStyle;
  std::string TableStyle;
  std::string SummaryStyle;
  std::string TitleStyle;
  ColumnSet Columns;
  int32_t SortBy = 0;
  int32_t SizeIn = 0;
  int32_t Output = 0;
  // The command line's own settings, which files of the window program never
  // hold; the window program keeps them as they were read.
  std::string Format;   // the output form by name ("json"); empty: the one Output names
  std::string Exclude;  // masks, separated by ";", of names left out of the listing
  bool HideHidden = false;
  bool NaturalOrder = false;  // names compare as people count (a2 before a10)
  bool HumanSizes = false;    // sizes as 1.2 KB, the unit in each cell
  std::string TimeStyle;      // "iso", "locale"; empty or "classic": dd.mm.yyyy
  bool ShowLinks = false;     // the classic forms' type column tells symbolic links apart
  // The standards page's language tag (empty: "en") and the address of a
  // stylesheet linked after its own rules; the classic forms use neither.
  std::string PageLang;
  std::string PageStyle;
  // The classic page as an HTML5 document: a doctype, PageLang's language,
  // no presentational attributes (the styles give what they gave).
  bool Html5 = false;
  // "1": CSV starts with a UTF-8 byte-order mark, "0": without one; empty:
  // as the platform has it (CsvByteOrderMarkByDefault).
  std::string CsvBom;
};

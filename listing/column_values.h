// The texts shown in a listing's columns: times, file types, attribute
// letters, sizes and link targets.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "listing/entry.h"
#include "platform/platform.h"

struct CommonStruct;

// Appends "dd.mm.yyyy hh:mm", with ":ss" when seconds are asked for; the
// time as stored (UTC). Counts at or past 2^63 append nothing.
void AppendFileTimeText(std::string& out, uint64_t file_time, bool show_seconds);

// The registry's type descriptions, asked once per extension for the length
// of one scan.
struct FileTypes {
  explicit FileTypes(FolderSource& source) : Source(source) {}
  FolderSource& Source;
  std::unordered_map<std::string, std::string> Known;  // extension -> escaped type text
};

// The type text of a file entry, HTML-escaped: the registered description,
// or the $File word and the extension in quotes, or "File" without one.
const std::string& TypeText(const CommonStruct& record, const FileInfoX& entry, FileTypes& types);

// The attribute letters of an attribute word ("R H S A ", "Dir", "File").
std::string AttributeText(uint32_t attributes);

// The decimal digits of the entry's size.
std::string SizeDigits(const FileInfoX& entry);

// A path or name as a link: where "\" separates folders (Windows) it becomes
// "/"; blanks, control bytes, the characters that would end or change the
// target, and elsewhere "\" too, are percent-encoded.
std::string LinkForm(const std::string& text);
void AppendLinkForm(std::string& out, const std::string& text);

// LinkForm of the entry's folder, a separator and its name.
std::string FullLinkForm(const FileInfoX& entry);

// & < > " as character references, so a name is shown, never read as markup.
std::string EscapeHtml(const std::string& text);
void AppendEscapedHtml(std::string& out, const std::string& text);

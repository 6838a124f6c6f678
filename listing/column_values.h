// The values shown in a listing's columns, raw: times, file types,
// attribute letters, sizes and link targets. Each output form escapes them
// for itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "listing/entry.h"
#include "platform/platform.h"

// Appends "dd.mm.yyyy hh:mm", with ":ss" when seconds are asked for; the
// time as stored (UTC). Counts at or past 2^63 append nothing.
void AppendFileTimeText(std::string& out, uint64_t file_time, bool show_seconds);

// ISO 8601 layouts of a time as stored (UTC).
enum class IsoTime {
  kMinutes,  // "2024-03-05 14:07", for people
  kSeconds,  // "2024-03-05 14:07:09"
  kMachine,  // "2024-03-05T14:07:09Z", for programs and datetime attributes
};
// Appends the time in the layout; counts at or past 2^63 append nothing.
void AppendIsoTime(std::string& out, uint64_t file_time, IsoTime layout);

// How a listing shows times.
enum class TimeLayout { kClassic, kIso, kLocale };
// The layout a TimeStyle setting names; classic for any other text.
TimeLayout TimeLayoutNamed(const std::string& style);
// Appends the time in the layout: AppendFileTimeText, AppendIsoTime
// (kMinutes, or kSeconds) or the user's own format.
void AppendTimeText(std::string& out, uint64_t file_time, TimeLayout layout, bool show_seconds);

// The registered description of a file entry's type, as the listing's
// values hold it; empty when its extension has none (or it has no
// extension, or the types were not asked for).
const std::string& TypeDescription(const FileInfoX& entry, const EntryValues& values);

// The MIME type of a file entry by its extension, as the listing's values
// hold it; empty when the system knows none (or the name has no extension,
// or the MIME types were not asked for).
const std::string& MimeTypeOf(const FileInfoX& entry, const EntryValues& values);

// Where a symbolic link points, as the link holds it and the listing's
// values keep it; null for an entry that is no link, or whose target the
// system did not tell (or the targets were not asked for).
const std::string* LinkTargetOf(const FileInfoX& entry, const EntryValues& values);

// True for an entry whose content has checksums: a file that is no
// symbolic link (a link's target is listed where it lies in the tree).
bool HasContentChecksums(const FileInfoX& entry);

// The checksums of a file entry, one per algorithm asked, as the listing's
// values hold them; null for an entry without (a folder, a link, a file that
// could not be read whole, or none asked for).
const std::vector<std::string>* ChecksumsOf(const FileInfoX& entry, const EntryValues& values);

// The type text of a symbolic link: "Link to folder", "Link" (to a file),
// or "Broken link" for one whose target cannot be reached; null for an
// entry that is no link.
const char* LinkTypeText(const FileInfoX& entry);

// Appends to out how a form writes text that comes from the file system.
using TextEscape = void (*)(std::string& out, std::string_view text);

// Appends the type text of a file entry: the registered description, or the
// file_word (the $File word, written as it stands) and the extension in
// quotes, or "File" without an extension. What comes from the file system
// passes through escape.
void AppendTypeText(std::string& out, const std::string& file_word, const FileInfoX& entry,
                    const EntryValues& values, TextEscape escape);

// The attribute letters of an attribute word ("R H S A ", "Dir", "File").
std::string AttributeText(uint32_t attributes);
// The attributes an attribute word stands for, as AttributeText wrote them;
// false for a word it never writes.
bool AttributesOfText(std::string_view text, uint32_t& attributes);

// The decimal digits of the entry's size.
std::string SizeDigits(const FileInfoX& entry);

// A path or name as a link: where "\" separates folders (Windows) it becomes
// "/"; blanks, control bytes, the characters that would end or change the
// target, and elsewhere "\" too, are percent-encoded.
std::string LinkForm(const std::string& text);
void AppendLinkForm(std::string& out, const std::string& text);

// LinkForm of the folder, a separator and the entry's name.
std::string FullLinkForm(const std::string& folder, const FileInfoX& entry);

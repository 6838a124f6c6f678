// How each output form writes text that comes from the file system.
#pragma once

#include <string>
#include <string_view>

// & < > " as character references, so a name is shown, never read as markup.
void AppendEscapedHtml(std::string& out, std::string_view text);
std::string EscapeHtml(std::string_view text);

// As AppendEscapedHtml, and each control byte (below 32, or 127) as a
// character reference to its picture (U+2400 on, "\n" as U+240A), so that a
// name shows every byte it holds, on one line, in any character set.
void AppendVisibleHtml(std::string& out, std::string_view text);

// The text as it stands.
void AppendUnescaped(std::string& out, std::string_view text);

// A text that holds a control byte (below 32, or 127) with each such byte
// as a C escape (\n, \t) or three octal digits (\033), and each backslash
// doubled, so that one line of output is always exactly one name; a text
// without control bytes as it stands.
void AppendControlEscaped(std::string& out, std::string_view text);
std::string ControlEscaped(std::string_view text);

// A name on one line as `ls -b` writes it, so that two names never read the
// same: every backslash doubled (where the backslash is no folder separator,
// so that no name holds one), each control byte as a C escape (\n, \t) or
// three octal digits (\033); where names are UTF-8, each byte of the C1
// controls, of the line and paragraph separators U+2028 and U+2029 and of
// what is not UTF-8 as three octal digits (\302\233, \377). Blanks stand,
// where ls writes "\ ".
void AppendNameEscaped(std::string& out, std::string_view text);

// JSON and CSV are UTF-8: the system's text is converted on the way
// (SystemTextToUtf8), and each maximal ill-formed sequence of what is not
// UTF-8 then becomes one U+FFFD, as Unicode recommends (Python's
// errors="replace" does the same).

// True when the system's text converts to UTF-8 without a replacement.
bool IsExactAsUtf8(std::string_view text);

// The text as the inside of a JSON string: '"' and '\' escaped, the
// control characters (U+0000 to U+001F, U+007F to U+009F) and the line and
// paragraph separators U+2028 and U+2029 as \n, \t ... or \u00XX, \u2028, so
// that the document is one line per entry and safe to paste into script.
void AppendJsonEscaped(std::string& out, std::string_view text);
// The text as a JSON string, in its quotes.
void AppendJsonString(std::string& out, std::string_view text);
// The members "key": "path" of a report, and "key_bytes": the path
// percent-encoded, where UTF-8 cannot hold the path exactly.
void AppendJsonPathMembers(std::string& out, const char* key, const std::string& path);

// The text as the inside of a JavaScript string (in either quotes) of a
// script file, shown as a page shows it and in ASCII alone, so that the
// file reads the same in any character set: the system's text converted to
// UTF-8 as for JSON, each ill-formed part as U+FFFD, each control byte
// (below 32, or 127) as its picture, and every character outside printable
// ASCII, both quotes, the backslash, '<', '>' and '&' as \uXXXX (a pair of
// them beyond U+FFFF). No text ends the string, its line (U+2028 and U+2029
// included) or a script element.
void AppendScriptText(std::string& out, std::string_view system_text);

// The text as one CSV field (RFC 4180): in double quotes, each '"' doubled,
// when it holds '"', ',', CR or LF. A text that starts with '=', '+', '-',
// '@', a tab or a CR, which a spreadsheet would read as a formula, or with
// the guard "'" itself, is quoted with a "'" put in front, which a
// spreadsheet hides; a reader drops the first "'" of a field that starts
// with one.
void AppendCsvField(std::string& out, std::string_view text);

// Every byte outside printable ASCII, and '%' itself, as %XX (upper-case
// hexadecimal): a name's exact bytes in printable ASCII.
void AppendPercentEncoded(std::string& out, std::string_view bytes);

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

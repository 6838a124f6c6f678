// The names that web pages use for the Windows ANSI code pages.
#pragma once

#include <string>

// The charset name of a Windows ANSI code page as browsers know it (1252 gives
// "windows-1252", 932 "shift_jis", 65001, where a program's manifest asks
// for UTF-8, "utf-8"); empty for a code page without such a name.
std::string CharsetOfCodePage(unsigned code_page);

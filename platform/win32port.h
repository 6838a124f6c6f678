// The one place for the quirks of the Windows headers under MinGW-w64.
// Include it before any Windows header.
#pragma once

// Windows XP and later: the full OPENFILENAMEA (88 bytes on 32-bit) and the
// common-control declarations the toolkit uses.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WINVER
#define WINVER _WIN32_WINNT
#endif
// The declarations of Windows Vista too (the folder picker), which the
// program asks the system for as it runs, falling back where it is missing;
// the structures keep their sizes of Windows XP, set by _WIN32_WINNT.
#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x06000000
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

#include <string>

// The system's text for an error code, without its closing period.
std::string SystemReason(DWORD code);

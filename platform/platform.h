// The one seam between the listing engine and the operating system.
// Everything here is implemented once over Win32 (platform_win32.cpp) and
// once over POSIX (platform_posix.cpp); CMake picks one of the two.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One directory record, with the fields the engine reads, named as in
// WIN32_FIND_DATAA. Times are 100 ns counts since 1601-01-01 UTC.
struct FolderRecord {
  uint32_t dwFileAttributes = 0;
  uint64_t ftCreationTime = 0;
  uint64_t ftLastAccessTime = 0;
  uint64_t ftLastWriteTime = 0;
  uint32_t nFileSizeHigh = 0;
  uint32_t nFileSizeLow = 0;
  std::string cFileName;
};

// Where the scan gets its records and file-type descriptions from. The real
// source asks the operating system; tests hand in records of their own.
class FolderSource {
 public:
  virtual ~FolderSource() = default;
  // Calls visit for every record matching the search pattern (a folder, the
  // separator, a wildcard mask), in the platform's order. Nothing matching,
  // a missing or an unreadable folder all yield no record.
  virtual void Enumerate(const std::string& pattern,
                         const std::function<void(const FolderRecord&)>& visit) = 0;
  // Looks up the description of a file type by its extension (".txt"):
  // extension to class name, class name to description. False when either
  // lookup fails; an empty description is returned as found.
  virtual bool DescribeType(const std::string& extension, std::string& description) = 0;
};

// The operating system's folders and file-type registry.
FolderSource& SystemFolderSource();

// Wall-clock fields of the local time.
struct LocalClock {
  int year = 0, month = 0, day = 0, weekday = 0;  // month 1..12, weekday 0 = Sunday
  int hour = 0, minute = 0, second = 0;
};
LocalClock CurrentLocalTime();

// The current local time in the system's own time format, 24-hour clock.
std::string LocaleTimeText();

// The byte that separates folders in a path: '\\' on Windows, '/' elsewhere.
char FolderSeparator();

// Whether links must percent-encode bytes above 127 (names are UTF-8 there).
bool LinksEncodeHighBytes();

// Lower-cases a name the platform's way (ANSI code page on Windows, ASCII
// letters only where names are UTF-8).
std::string LowerCaseBytes(std::string text);

// True when a file or folder of that path exists.
bool PathExists(const std::string& path);

// True when the path names an existing folder.
bool IsExistingFolder(const std::string& path);

// Makes standard output carry bytes unchanged: documents arrive with their
// line ends already as CR LF, which a text-mode stream would double.
void UseBinaryStandardOutput();

// True when standard error is a terminal, where a progress line is welcome.
bool StandardErrorIsTerminal();

// The path made absolute against the current folder; unchanged when it
// already is absolute or cannot be resolved.
std::string AbsolutePath(const std::string& path);

// The path of the running program's executable; empty when the system cannot
// tell.
std::string ProgramPath();

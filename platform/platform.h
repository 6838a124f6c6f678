// The one seam between the listing engine and the operating system.
// Everything here is implemented once over Win32 (platform_win32.cpp) and
// once over POSIX (platform_posix.cpp); CMake picks one of the two.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
  // separator, a wildcard mask), in the platform's order. Nothing matching is
  // success with no record. False, with the system's reason in failure, when
  // the folder could not be read: its opening refused, a later read of it
  // failed, or an entry's metadata unreadable for any reason but the entry
  // having vanished since it was listed (such an entry is skipped).
  virtual bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                         std::string& failure) = 0;
  // Looks up the description of a file type by its extension (".txt"):
  // extension to class name, class name to description. False when either
  // lookup fails; an empty description is returned as found.
  virtual bool DescribeType(const std::string& extension, std::string& description) = 0;
  // Looks up the MIME type of files with this extension (".txt" gives
  // "text/plain"). False when the system knows none; a source that knows
  // no types at all keeps this default.
  virtual bool LookUpMimeType(const std::string& /*extension*/, std::string& /*mime_type*/) { return false; }
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

// The character set that an HTML page declares for the names it holds:
// "utf-8" where names are UTF-8, the ANSI code page's on Windows; empty when
// that code page has no name that browsers know.
std::string PageCharset();

// The system's text (a name, a registry text, a setting) as UTF-8 into
// utf8: as it stands where names are UTF-8, converted from the ANSI code
// page on Windows. False when the text is not valid in the ANSI code page;
// utf8 then holds nothing of use.
bool SystemTextToUtf8(std::string_view text, std::string& utf8);

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

// The line end of listings on this platform: CR LF on Windows, LF elsewhere.
std::string_view PlatformLineEnd();

// Where written bytes go: a file being replaced, or standard output.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when the bytes could not be written; later writes fail too.
  virtual bool Write(std::string_view bytes) = 0;
};

// A file written whole or not at all. The bytes go to a new file in the
// target's folder, which Commit renames over the target; until then the
// target keeps every byte it had, and a failure or a Discard removes the new
// file. A target that exists but is no regular file (a device, a pipe) is
// written in place, since it cannot be replaced.
class AtomicFile : public ByteSink {
 public:
  AtomicFile() = default;
  ~AtomicFile() override;  // discards what was not committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the new file; false when it cannot be created, or when the
  // target exists and may not be written.
  bool Open(const std::string& path);
  bool Write(std::string_view bytes) override;
  // Writes out what is buffered and puts the file in the target's place;
  // false (and the target untouched) when any step failed.
  bool Commit();
  void Discard();
  // The system's reason for the first failure, e.g. "No space left on device".
  const std::string& FailureReason() const { return failure_; }

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  static constexpr intptr_t kNoHandle = -1;

  // Begins writing into handle: either the new file or a device in place.
  void Start(intptr_t handle);
  bool Flush();
  // Writes the bytes to the open handle at once; false with errno or the
  // last error set.
  bool WriteToHandle(std::string_view bytes);
  bool Fail();

  std::string target_;
  std::string temporary_;  // empty when writing the target in place
  intptr_t handle_ = kNoHandle;
  std::string buffer_;
  std::string failure_;
  bool failed_ = false;
};

// Writes the target whole or not at all; false with the reason on failure.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string& failure);

// Standard output, buffered; Flush reports whether everything arrived.
class StandardOutputSink : public ByteSink {
 public:
  bool Write(std::string_view bytes) override;
  bool Flush();
};

// From now on SIGINT and SIGTERM (a console control event on Windows) remove
// the temporary file of the AtomicFile being written, then end the program
// as the interruption would (status 130 or 143 to the shell).
void InstallInterruptCleanup();

// Outcomes of reading a small file whole.
enum class FileReadStatus { kRead, kCannotRead, kNotRegularFile, kTooLarge };

// Reads a regular file of at most limit bytes into bytes. Never blocks on a
// pipe or reads a device; reason holds the system's text for kCannotRead.
FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes, std::string& reason);

// The path of the running program's executable; empty when the system cannot
// tell.
std::string ProgramPath();

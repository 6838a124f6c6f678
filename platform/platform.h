// The one seam between the listing engine and the operating system.
// Everything here is implemented once over Win32 (platform_win32.cpp) and
// once over POSIX (platform_posix.cpp); CMake picks one of the two.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What names one file or folder whatever path leads to it: the device (or
// volume) and the file's number on it.
struct FileIdentity {
  uint64_t Device = 0;
  uint64_t Index = 0;
  bool operator==(const FileIdentity& other) const { return Device == other.Device && Index == other.Index; }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
  bool operator<(const FileIdentity& other) const {
    return Device != other.Device ? Device < other.Device : Index < other.Index;
  }
};

// What tells whether a file changed: which file it is, its size, last
// write and change times (the change time on POSIX, the attribute change
// time of NTFS on Windows, 0 where the system does not tell it). The times
// are nanoseconds since 1601-01-01 UTC, as finely as the system tells them.
struct ContentStamp {
  FileIdentity Identity;  // all zero where the system does not tell it
  uint64_t Size = 0;
  uint64_t WriteTime = 0;
  uint64_t ChangeTime = 0;
  bool operator==(const ContentStamp& other) const {
    return Identity.Device == other.Identity.Device && Identity.Index == other.Identity.Index &&
           Size == other.Size && WriteTime == other.WriteTime && ChangeTime == other.ChangeTime;
  }
  bool operator!=(const ContentStamp& other) const { return !(*this == other); }
};

// One directory record, with the fields the engine reads, named as in
// WIN32_FIND_DATAA. Times are 100 ns counts since 1601-01-01 UTC.
struct FolderRecord {
  uint32_t dwFileAttributes = 0;  // 1024 (a reparse point) marks a symbolic link
  // A symbolic link whose target cannot be reached; its own times are given
  // and a size of 0.
  bool BrokenLink = false;
  uint64_t ftCreationTime = 0;
  uint64_t ftLastAccessTime = 0;
  uint64_t ftLastWriteTime = 0;
  uint32_t nFileSizeHigh = 0;
  uint32_t nFileSizeLow = 0;
  std::string cFileName;
  // What the record names (its target, for a link), where the platform tells
  // it with the record: always on POSIX; on Windows for the folders of an
  // OpenFolder's enumeration only. All zero where it is not told.
  FileIdentity Identity;
  // The names the file has (hard links); 1 where the platform does not tell.
  uint32_t Links = 1;
  // The file's write and change times as a ContentStamp counts them (its
  // target's, for a link), where the platform tells them with the record
  // (on POSIX); 0 elsewhere. With Identity and the size they are its stamp.
  uint64_t WriteNanos = 0;
  uint64_t ChangeNanos = 0;
};

// The digests of files' content that the program computes (below, with the
// digesters).
enum class DigestAlgorithm { kSha256, kSha1, kMd5, kXxh128 };

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
  // Where the symbolic link at the path points, as the link holds it. False
  // when it cannot be told (no link, or a target in a form the system does
  // not hand out); a source that knows no links keeps this default.
  virtual bool LinkTarget(const std::string& /*path*/, std::string& /*target*/) { return false; }
  // The checksums that the source already holds for the files of the
  // folder, by name, one digest per algorithm in their order, and the files
  // it holds as unreadable, with why. False where it holds none, so that
  // the files are read; a source that holds no content keeps this default.
  // False where the source does not tell the files' sizes (a listing that
  // holds none): their sizes of 0 stand for nothing.
  virtual bool SizesKnown() { return true; }
  virtual bool KnownChecksums(const std::string& /*folder*/,
                              const std::vector<DigestAlgorithm>& /*algorithms*/,
                              std::unordered_map<std::string, std::vector<std::string>>& /*checksums*/,
                              std::map<std::string, std::string>& /*failures*/) {
    return false;
  }
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

// Appends a time as stored (UTC) in the user's own date and time format,
// with or without seconds; counts the system cannot show append nothing.
void AppendLocaleTime(std::string& out, uint64_t file_time, bool show_seconds);

// The byte that separates folders in a path: '\\' on Windows, '/' elsewhere.
char FolderSeparator();

// Whether links must percent-encode bytes above 127 (names are UTF-8 there).
bool LinksEncodeHighBytes();

// The character set that an HTML page declares for the names it holds:
// "utf-8" where names are UTF-8, the ANSI code page's on Windows; empty when
// that code page has no name that browsers know.
std::string PageCharset();

// Whether a CSV document, always UTF-8, starts with a UTF-8 byte-order mark
// where the settings leave it open: on Windows, whose spreadsheets read a
// file without one in the ANSI code page; not where UTF-8 is the rule.
bool CsvByteOrderMarkByDefault();

// True where the system hands back a name with "?" in place of each
// character that the ANSI code page cannot hold (Windows, whose names never
// hold a "?" of their own); false where "?" is an ordinary character.
bool NamesShowUnrepresentableCharactersAsQuestionMarks();
// The system's text (a name, a registry text, a setting) as UTF-8 into
// utf8: as it stands where names are UTF-8, converted from the ANSI code
// page on Windows. False when the text is not valid in the ANSI code page;
// utf8 then holds nothing of use.
bool SystemTextToUtf8(std::string_view text, std::string& utf8);
// The other way: UTF-8 (a name a JSON or CSV listing holds) as the system's
// text; false when the text is no UTF-8, or on Windows holds a character
// that the ANSI code page cannot.
bool Utf8ToSystemText(std::string_view utf8, std::string& text);

// Lower-cases a name the platform's way (ANSI code page on Windows, ASCII
// letters only where names are UTF-8).
std::string LowerCaseBytes(std::string text);

// True when a file or folder of that path exists.
bool PathExists(const std::string& path);

// True when the path names an existing folder.
bool IsExistingFolder(const std::string& path);

// What a path names: a folder (that the process may list, with to_list
// set), nothing, something that is no folder, or a path the system refuses
// (reason then holds what it said: "Permission denied", "File name too
// long"). reason holds the system's text for every status but kFolder.
enum class FolderStatus { kFolder, kMissing, kNotFolder, kRefused };
FolderStatus InspectFolder(const std::string& path, bool to_list, std::string& reason);

// True when both paths name one file: the same existing file (by device and
// inode on POSIX, by volume and file index on Windows, links followed), or,
// where neither exists yet, the same name in the same existing folder (the
// name compared as the platform's file systems compare names). False when
// one exists and the other does not, or either cannot be looked at.
bool SameFile(const std::string& a, const std::string& b);

// The identity of what the path names, links followed; false when it cannot
// be looked at.
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// Makes the folder and every folder above it that is missing; false, with
// the system's reason, when one cannot be made or is no folder.
bool MakeFolders(const std::string& path, std::string& reason);

// Where a symbolic link points, as it was written; false for anything else.
bool ReadLinkTarget(const std::string& path, std::string& target);

// Makes standard output carry bytes unchanged: documents arrive with their
// line ends already as CR LF, which a text-mode stream would double.
void UseBinaryStandardOutput();

// Reads standard input to its end, its bytes unchanged, into bytes; false
// with the system's reason when a read fails or it holds more than limit
// bytes ("larger than the limit").
bool ReadStandardInput(size_t limit, std::string& bytes, std::string& reason);

// True when standard error is a terminal, where a progress line is welcome.
bool StandardErrorIsTerminal();

// The path made absolute against the current folder; unchanged when it
// already is absolute or cannot be resolved.
std::string AbsolutePath(const std::string& path);

// The path of what the path names, with every link on the way resolved;
// empty when it cannot be told.
std::string RealPath(const std::string& path);

// The line end of listings on this platform: CR LF on Windows, LF elsewhere.
std::string_view PlatformLineEnd();

// Where written bytes go: a file being replaced, or standard output.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when the bytes could not be written; later writes fail too.
  virtual bool Write(std::string_view bytes) = 0;
};

// How a file is written.
enum class WriteMethod {
  kWholeOrNothing,  // a new file beside the target, put in its place at the end
  kInPlace,         // the target itself, emptied first: a failed or interrupted
                    // write leaves it cut short
};

// What a write tells besides its success and the reason of a failure.
struct WriteNotes {
  // After a failed Open: the folder that refused the temporary file although
  // the target in it may be written, so that writing in place would work.
  std::string RefusedFolder;
  // After a successful Commit: a line for each part of the old file's owner
  // and mode that the new file could not keep, with the reason.
  std::vector<std::string> Warnings;
};

// A file written whole or not at all (AtomicFile, or a test's own).
class NewFile : public ByteSink {
 public:
  // Hands every byte written so far to the system; false when that failed.
  virtual bool WriteOut() = 0;
  // Puts the file in its name's place; false, with the old file untouched,
  // when any step failed.
  virtual bool Commit() = 0;
  virtual const std::string& FailureReason() const = 0;
  virtual const WriteNotes& Notes() const = 0;
};

namespace file_steps {
struct Target;
// Where a step of the whole-or-nothing writer acts: a name in a folder held
// open, or a path as it stands (platform/file_steps.h has the steps).
struct Location {
  intptr_t folder = -1;  // the folder held open; -1: name is a path
  std::string name;      // the name in that folder, or the path
  std::string path;      // the whole path, for messages and the interrupt handler
};
}  // namespace file_steps

// A file written whole or not at all. The bytes go to a new file in the
// target's folder, which Commit renames over the target; until then the
// target keeps every byte it had, and a failure or a Discard removes the new
// file. Where the system allows it (Linux, on most file systems) the new
// file has no name until Commit, so that not even a killed process leaves
// one behind. The new file takes the old one's owner, group and permission
// bits where the process may set them. A target that exists but is no
// regular file (a device, a pipe) is written in place, since it cannot be
// replaced; so is every target with WriteMethod::kInPlace.
class AtomicFile : public NewFile {
 public:
  AtomicFile() = default;
  ~AtomicFile() override;  // discards what was not committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the new file (or opens the target, in place); false when it
  // cannot be created, or when the target exists and may not be written.
  bool Open(const std::string& path, WriteMethod method = WriteMethod::kWholeOrNothing);
  // Creates the new file for the name in a folder held open (folder is the
  // platform's handle of it, folder_path its path), for the platform's own
  // OpenFolder: never through a link and never over anything but a regular
  // file, which the whole-or-nothing writer replaces.
  bool OpenInFolder(intptr_t folder, const std::string& folder_path, const std::string& name,
                    WriteMethod method = WriteMethod::kWholeOrNothing);
  bool Write(std::string_view bytes) override;
  bool WriteOut() override { return Flush(); }
  // Writes out what is buffered and puts the file in the target's place;
  // false (and the target untouched) when any step failed.
  bool Commit() override;
  void Discard();
  // The system's reason for the first failure, e.g. "No space left on device".
  const std::string& FailureReason() const override { return failure_; }
  const WriteNotes& Notes() const override { return notes_; }

 private:
  static constexpr size_t kBufferSize = 1 << 20;

  bool Begin(const file_steps::Target& target, WriteMethod method);
  // Begins writing into handle: either the new file or the target in place.
  void Start(intptr_t handle);
  bool Flush();
  bool Fail();
  bool Fail(const std::string& reason);

  file_steps::Location target_;
  file_steps::Location temporary_;  // no path while the new file has no name, and in place
  intptr_t handle_ = -1;            // file_steps::kNoHandle while nothing is open
  bool unnamed_ = false;            // the new file is to be named at the commit
  std::string buffer_;
  std::string failure_;
  bool failed_ = false;
  WriteNotes notes_;
};

// True for a name of the form the whole-or-nothing writer gives its new
// files on any platform: ".kestrova-" or "~kestrova-", six lower-case hex
// digits, ".tmp". A run that was killed may leave one behind.
bool IsTemporaryFileName(std::string_view name);

// Writes the target whole or not at all; false with the reason on failure.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string& failure);

// Standard output, buffered; Flush reports whether everything arrived.
class StandardOutputSink : public ByteSink {
 public:
  bool Write(std::string_view bytes) override;
  bool Flush();
};

// From now on SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (a console control
// event on Windows) remove the temporary file of the AtomicFile being
// written, then end the program as the signal would (status 128 + its number
// to the shell, 130 or 143 on Windows); a signal ignored when the program
// started stays ignored. SIGXFSZ is ignored, so that a write past the
// file-size limit fails with its reason instead of ending the program.
void InstallInterruptCleanup();

// While one lives, the first of those signals (Ctrl-C or Ctrl-Break on
// Windows) waits for it to go: the work in hand is finished, then the
// program ends as the signal would have ended it. A second ends it at once.
class InterruptsDeferred {
 public:
  InterruptsDeferred();
  ~InterruptsDeferred();
  InterruptsDeferred(const InterruptsDeferred&) = delete;
  InterruptsDeferred& operator=(const InterruptsDeferred&) = delete;
};

// Outcomes of reading a small file whole.
enum class FileReadStatus { kRead, kCannotRead, kNotRegularFile, kTooLarge };

// Reads a regular file of at most limit bytes into bytes. Never blocks on a
// pipe or reads a device; reason holds the system's text for kCannotRead.
FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes, std::string& reason);

// The path of the running program's executable; empty when the system cannot
// tell.
std::string ProgramPath();

// The folder where the user's programs keep what they can make again:
// $XDG_CACHE_HOME, else ~/.cache, on POSIX; %LOCALAPPDATA% on Windows. Empty
// when the system tells none.
std::string UserCacheFolder();

// The time now, as a FolderRecord counts times (100 ns since 1601-01-01 UTC).
uint64_t CurrentFileTime();

// ---- Digests of files' content ----

// Every algorithm, in the order above.
const std::vector<DigestAlgorithm>& DigestAlgorithms();
// The algorithm's name on the command line and in documents: "sha256",
// "sha1", "md5", "xxh128".
const char* DigestName(DigestAlgorithm algorithm);
// The algorithm of that name; null when none has it.
const DigestAlgorithm* DigestNamed(std::string_view name);
// The length of the algorithm's digest in hexadecimal: 64, 40, 32, 32.
size_t DigestTextLength(DigestAlgorithm algorithm);

// A digest computed as the bytes come, by the system's own library (OpenSSL's
// libcrypto on Linux, CNG on Windows; libxxhash for xxh128).
class Digester {
 public:
  virtual ~Digester() = default;
  virtual void Update(const char* bytes, size_t size) = 0;
  // The digest of every byte given, in lower-case hexadecimal, as
  // sha256sum, sha1sum, md5sum and xxhsum -H2 write it; empty when the
  // system failed to finish it. Called once.
  virtual std::string Finish() = 0;
};

// A new digester of the algorithm; null when the system cannot compute it
// (out of memory, or an algorithm its policy turns off).
std::unique_ptr<Digester> MakeDigester(DigestAlgorithm algorithm);

// ---- The walk's disk: folders held open while a tree is listed and written ----

// What a name in a folder is, a symbolic link not followed.
enum class NodeKind { kMissing, kFile, kFolder, kLink, kOther };

// The reason OpenFolder::ReadFile gives for a name that is no regular file
// (a pipe, a device, a folder): nothing to read, rather than a failure.
constexpr char kNotRegularFileReason[] = "not a regular file";

// A file's content, read from its start, in order: the system is told so
// when it is opened, and that its pages need not stay cached when closed.
class ContentReader {
 public:
  virtual ~ContentReader() = default;
  // Up to size bytes into buffer; 0 at the end and on a failure.
  virtual size_t Read(char* buffer, size_t size) = 0;
  // The system's reason for a Read that failed; empty while none has.
  virtual const std::string& Failure() const = 0;
  // The open file's size and times as they are now; false, with the
  // reason in Failure, when the system cannot tell them.
  virtual bool Stamp(ContentStamp& stamp) = 0;
  // Moves to the byte at offset from the start, so that the next Read
  // begins there; false, with the reason in Failure, when the system
  // refused. A reader that cannot skip is read through.
  virtual bool SkipTo(uint64_t /*offset*/) { return false; }
};

// A folder held open: what is listed, read and written through it stays in
// the folder that was opened, whatever is renamed, removed or linked in its
// place meanwhile. Closed when destroyed.
class OpenFolder {
 public:
  virtual ~OpenFolder() = default;
  // The path it was opened by, for messages and for what only paths reach.
  virtual const std::string& Path() const = 0;
  virtual FileIdentity Identity() const = 0;
  // Calls visit for every record of the folder that matches the mask, as
  // FolderSource::Enumerate does for the folder's path; here the records of
  // folders carry their identity on every platform.
  virtual bool Enumerate(const std::string& mask, const std::function<void(const FolderRecord&)>& visit,
                         std::string& failure) = 0;
  // The folder's last write time (a FolderRecord's count) now; false when
  // it cannot be read.
  virtual bool WriteTime(uint64_t& time) = 0;
  // Sets the folder's last write time, its other times left as they are.
  virtual bool SetWriteTime(uint64_t time) = 0;
  // What the name is in the folder, a link not followed.
  virtual NodeKind Look(const std::string& name) = 0;
  // A regular file of the folder, for reading: never through a link, never
  // a pipe or a device, never blocking; null, with the reason, when there is
  // no such file or it may not be read.
  virtual std::unique_ptr<ContentReader> ReadFile(const std::string& name, std::string& reason) = 0;
  std::unique_ptr<ContentReader> ReadFile(const std::string& name) {
    std::string reason;
    return ReadFile(name, reason);
  }
  // A new file of that name in the folder, written whole or not at all and
  // put in place of a regular file of the name at Commit; null, with the
  // reason, when the name is taken by anything else (a link, a folder, a
  // pipe, a device) or the file cannot be made.
  virtual std::unique_ptr<NewFile> WriteFile(const std::string& name, WriteMethod method,
                                             std::string& reason) = 0;
  // The sub-folder of that name, opened; through a symbolic link only with
  // follow. Null, with the reason, when there is no folder to open.
  virtual std::unique_ptr<OpenFolder> OpenChild(const std::string& name, bool follow,
                                                std::string& reason) = 0;
  // Makes the sub-folder of that name where it is missing, and tells its
  // identity; false, with the reason, when it cannot be made or the name is
  // anything but a folder (a link to one included).
  virtual bool MakeFolder(const std::string& name, FileIdentity& identity, std::string& reason) = 0;
  // True when the sub-folder of that name (a link to one followed) may be
  // listed by this process; false with the system's reason when it may not.
  virtual bool MayList(const std::string& name, std::string& reason) = 0;
  // The identity of what the name is, a link not followed; false when there
  // is nothing of that name.
  virtual bool Identify(const std::string& name, FileIdentity& identity) = 0;
  // Removes a temporary file of this program's writer (IsTemporaryFileName)
  // that no running writer holds any longer: a killed run's leftover. False
  // when it is in use, is no such file, or cannot be removed.
  virtual bool RemoveLeftover(const std::string& name) = 0;
};

// The disk as a walk of a tree reaches it; SystemTreeDisk() is the
// operating system's, tests hand in one held in memory.
class TreeDisk {
 public:
  virtual ~TreeDisk() = default;
  // Opens the folder at the path, links on the way followed; null, with the
  // reason, when it cannot be opened or is no folder.
  virtual std::unique_ptr<OpenFolder> Open(const std::string& path, std::string& reason) = 0;
  // Opens the folder at the path, through a link at its last part only with
  // follow, and only when it still is the folder of that identity (as its
  // parent's listing told it): null, with the reason, when it is not (it
  // was replaced since it was listed).
  virtual std::unique_ptr<OpenFolder> Reopen(const std::string& path, const FileIdentity& identity,
                                             bool follow, std::string& reason) = 0;
  // The identity of what the path names, links followed; false when it
  // cannot be looked at.
  virtual bool Identify(const std::string& path, FileIdentity& identity) = 0;
  // The path with every link on the way resolved; empty when it cannot be told.
  virtual std::string RealPath(const std::string& path) = 0;
  // Makes the folder and every missing folder above it, as MakeFolders does.
  virtual bool MakeFolders(const std::string& path, std::string& reason) = 0;
  // Reads a small regular file whole, as ReadSmallFile does.
  virtual FileReadStatus ReadSmallFile(const std::string& path, size_t limit, std::string& bytes,
                                       std::string& reason) = 0;
};

TreeDisk& SystemTreeDisk();

// ---- Watching a tree of folders for changes ----

// A change in a watched folder: an entry of it created, removed, renamed,
// written or its attributes changed (Name), or the folder itself (Name
// empty).
struct WatchChange {
  std::string Folder;  // the folder's path, as it was watched (below the top, on Windows)
  std::string Name;
};

// What a wait for changes came to.
enum class WatchWait {
  kChanges,   // changes were added
  kTimeout,   // none came in the time given
  kOverflow,  // the system lost changes: what changed is no longer known
  kFailed,    // the watch cannot go on (the reason given)
  kClosed,    // nothing more will come (a test's watch at its end)
};

// What became of a folder to watch.
enum class WatchAdd { kAdded, kLimit, kFailed };

// Folders watched for changes to their entries. On Linux, one inotify watch
// per folder; on Windows, the top with all that is below it, by one
// ReadDirectoryChangesW, so that each folder below is watched already.
class TreeWatch {
 public:
  virtual ~TreeWatch() = default;
  // Watches the folder's entries (not its sub-folders'); kLimit when the
  // system's limit of watches is reached, kFailed with the reason when the
  // folder cannot be watched (it is gone, or may not be read).
  virtual WatchAdd Add(const std::string& folder, std::string& reason) = 0;
  // Stops watching the folder (by the path it was added with).
  virtual void Remove(const std::string& folder) = 0;
  // Waits up to timeout_ms (negative: as long as it takes) for changes,
  // and appends those that came to changes.
  virtual WatchWait Wait(int timeout_ms, std::vector<WatchChange>& changes, std::string& reason) = 0;
};

// A watch of the system's for the tree below top (the folder as the walk
// names it); null, with the reason, where the system gives none.
std::unique_ptr<TreeWatch> MakeTreeWatch(const std::string& top, std::string& reason);

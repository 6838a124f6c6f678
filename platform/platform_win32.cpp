// The seam over the ANSI Win32 calls: FindFirstFileExA for folder records, the
// HKEY_CLASSES_ROOT registry for type descriptions and MIME types, the local
// clock.
#include "platform/win32port.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/charset.h"
#include "platform/folders_win32.h"
#include "platform/platform.h"

namespace {

struct FindCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// Without the short 8.3 names, which nothing reads, and in larger reads
// from the file system; Windows before 7 knows neither and refuses them.
FindHandle FindFirst(const std::string& pattern, WIN32_FIND_DATAA& data) {
  HANDLE handle = FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    handle = FindFirstFileA(pattern.c_str(), &data);
  }
  return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct KeyCloser {
  using pointer = HKEY;
  void operator()(HKEY key) const { RegCloseKey(key); }
};

using KeyHandle = std::unique_ptr<HKEY__, KeyCloser>;

KeyHandle OpenClassKey(const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return nullptr;
  return KeyHandle(opened);
}

// The default value of a key under HKEY_CLASSES_ROOT, at most 255 bytes.
bool ReadClassValue(const std::string& name, std::string& value) {
  KeyHandle key = OpenClassKey(name);
  if (!key) return false;
  char buffer[256] = {};
  LONG size = 255;
  if (RegQueryValueA(key.get(), nullptr, buffer, &size) != ERROR_SUCCESS) return false;
  value = buffer;
  return true;
}

// A named text value of a key under HKEY_CLASSES_ROOT, at most 255 bytes.
bool ReadClassText(const std::string& name, const char* value_name, std::string& value) {
  KeyHandle key = OpenClassKey(name);
  if (!key) return false;
  char buffer[256] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer - 1;
  if (RegQueryValueExA(key.get(), value_name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  value = buffer;
  return !value.empty();
}

// True for the codes that end a search normally; else the reason is kept.
bool NothingMatched(DWORD code, std::string& failure) {
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return true;
  failure = SystemReason(code);
  return false;
}

}  // namespace

bool EnumeratePattern(const std::string& pattern, const std::function<void(FolderRecord&)>& visit,
                      std::string& failure) {
  WIN32_FIND_DATAA data;
  FindHandle find = FindFirst(pattern, data);
  if (!find) return NothingMatched(GetLastError(), failure);
  FolderRecord record;
  do {
    record.dwFileAttributes = data.dwFileAttributes;
    record.ftCreationTime = FileTimeOf(data.ftCreationTime);
    record.ftLastAccessTime = FileTimeOf(data.ftLastAccessTime);
    record.ftLastWriteTime = FileTimeOf(data.ftLastWriteTime);
    record.nFileSizeHigh = data.nFileSizeHigh;
    record.nFileSizeLow = data.nFileSizeLow;
    record.cFileName = data.cFileName;
    record.Identity = FileIdentity();
    visit(record);
  } while (FindNextFileA(find.get(), &data));
  return NothingMatched(GetLastError(), failure);
}

namespace {

class Win32FolderSource : public FolderSource {
 public:
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
    return EnumeratePattern(pattern, visit, failure);
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    std::string class_name;
    return ReadClassValue(extension, class_name) && ReadClassValue(class_name, description);
  }

  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override {
    return ReadClassText(extension, "Content Type", mime_type);
  }

  bool LinkTarget(const std::string& path, std::string& target) override {
    return ReadLinkTarget(path, target);
  }
};

}  // namespace

FolderSource& SystemFolderSource() {
  static Win32FolderSource source;
  return source;
}

LocalClock CurrentLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LocalClock clock;
  clock.year = now.wYear;
  clock.month = now.wMonth;
  clock.day = now.wDay;
  clock.weekday = now.wDayOfWeek;
  clock.hour = now.wHour;
  clock.minute = now.wMinute;
  clock.second = now.wSecond;
  return clock;
}

std::string LocaleTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[256] = {};
  GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, TIME_FORCE24HOURFORMAT, &now, nullptr, text, sizeof text);
  return text;
}

void AppendLocaleTime(std::string& out, uint64_t file_time, bool show_seconds) {
  FILETIME stored;
  stored.dwLowDateTime = static_cast<DWORD>(file_time);
  stored.dwHighDateTime = static_cast<DWORD>(file_time >> 32);
  SYSTEMTIME time;
  if (!FileTimeToSystemTime(&stored, &time)) return;
  char date[128] = {};
  char clock[128] = {};
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof date) == 0) return;
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, show_seconds ? 0 : TIME_NOSECONDS, &time, nullptr, clock,
                     sizeof clock) == 0) {
    return;
  }
  out += date;
  out += ' ';
  out += clock;
}

char FolderSeparator() { return '\\'; }

bool LinksEncodeHighBytes() { return false; }

std::string PageCharset() { return CharsetOfCodePage(GetACP()); }

// Excel reads a CSV file without the mark in the ANSI code page.
bool CsvByteOrderMarkByDefault() { return true; }

bool NamesShowUnrepresentableCharactersAsQuestionMarks() { return true; }
bool SystemTextToUtf8(std::string_view text, std::string& utf8) {
  utf8.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int wide_length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (wide_length <= 0) return false;
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, &wide[0], wide_length);
  const int utf8_length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (utf8_length <= 0) return false;
  utf8.resize(static_cast<size_t>(utf8_length));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, &utf8[0], utf8_length, nullptr, nullptr);
  return true;
}

bool Utf8ToSystemText(std::string_view utf8, std::string& text) {
  text.clear();
  if (utf8.empty()) return true;
  const int length = static_cast<int>(utf8.size());
  const int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (wide_length <= 0) return false;
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &wide[0], wide_length);
  BOOL lossy = FALSE;
  const int text_length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length, nullptr,
                                              0, nullptr, &lossy);
  if (text_length <= 0 || lossy) return false;
  text.resize(static_cast<size_t>(text_length));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wide_length, &text[0], text_length, nullptr,
                      nullptr);
  return true;
}

std::string LowerCaseBytes(std::string text) {
  if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool PathExists(const std::string& path) {
  WIN32_FIND_DATAA data;
  return !path.empty() && FindFirst(path, data) != nullptr;
}

bool IsExistingFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FolderStatus InspectFolder(const std::string& path, bool to_list, std::string& reason) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = path.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
    reason = SystemReason(code);
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FolderStatus::kMissing
                                                                        : FolderStatus::kRefused;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    reason = SystemReason(ERROR_DIRECTORY);
    return FolderStatus::kNotFolder;
  }
  if (to_list) {
    WIN32_FIND_DATAA data;
    const std::string pattern = path + (path.back() == '\\' || path.back() == '/' ? "*" : "\\*");
    if (FindFirst(pattern, data) == nullptr && GetLastError() != ERROR_FILE_NOT_FOUND) {
      reason = SystemReason(GetLastError());
      return FolderStatus::kRefused;
    }
  }
  return FolderStatus::kFolder;
}

namespace {

// The file or folder at the path, links followed, opened to be asked about:
// neither reading nor writing, so that a file another program holds open
// still answers; the backup flag lets folders be opened too.
OwnedHandle OpenToAsk(const std::string& path) {
  return Owned(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// What the system tells of the file at the path, whatever path leads to it;
// false when it cannot be opened to ask.
bool InformationOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& information) {
  OwnedHandle file = OpenToAsk(path);
  return file != nullptr && GetFileInformationByHandle(file.get(), &information) != 0;
}

}  // namespace

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!InformationOf(path, information)) return false;
  identity = IdentityOf(information);
  return true;
}

std::string RealPath(const std::string& path) {
  // Vista and later tell the path a handle leads to; before, no path holds
  // a link to a folder, and the full path is the real one.
  using FinalPath = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
  const auto final_path = reinterpret_cast<FinalPath>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
  if (final_path == nullptr) return AbsolutePath(path);
  OwnedHandle file = OpenToAsk(path);
  if (file == nullptr) return std::string();
  char buffer[4096] = {};
  const DWORD length = final_path(file.get(), buffer, sizeof buffer, 0);
  if (length == 0 || length >= sizeof buffer) return std::string();
  std::string real(buffer, length);
  // A share's path comes as \\?\UNC\host\share, a drive's as \\?\C:\.
  if (real.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + real.substr(7);
  if (real.compare(0, 4, "\\\\?\\") == 0) real.erase(0, 4);
  return real;
}

bool MakeFolders(const std::string& path, std::string& reason) {
  // From after the drive ("C:\\") or the share ("\\\\host\\share\\") on.
  size_t from =
      path.compare(0, 2, "\\\\") == 0 ? path.find_first_of("\\/", path.find_first_of("\\/", 2) + 1) : 2;
  for (size_t at = path.find_first_of("\\/", from == std::string::npos ? path.size() : from + 1);;
       at = path.find_first_of("\\/", at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && !CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      reason = SystemReason(GetLastError());
      return false;
    }
    if (at == std::string::npos) break;
  }
  if (IsExistingFolder(path)) return true;
  reason = SystemReason(ERROR_DIRECTORY);
  return false;
}

// Reparse points hold their targets in a form this program does not read.
bool ReadLinkTarget(const std::string&, std::string&) { return false; }

bool SameFile(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  const bool first_exists = GetFileAttributesA(a.c_str()) != INVALID_FILE_ATTRIBUTES;
  const bool second_exists = GetFileAttributesA(b.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (first_exists || second_exists) {
    return first_exists && second_exists && IdentifyFile(a, first) && IdentifyFile(b, second) &&
           first == second;
  }
  const size_t first_separator = a.find_last_of("\\/:"), second_separator = b.find_last_of("\\/:");
  const std::string first_name = first_separator == std::string::npos ? a : a.substr(first_separator + 1);
  const std::string second_name = second_separator == std::string::npos ? b : b.substr(second_separator + 1);
  // Windows file systems compare names without regard to letter case.
  if (first_name.empty() || LowerCaseBytes(first_name) != LowerCaseBytes(second_name)) return false;
  const std::string first_folder =
      first_separator == std::string::npos ? "." : a.substr(0, first_separator + 1);
  const std::string second_folder =
      second_separator == std::string::npos ? "." : b.substr(0, second_separator + 1);
  return SameFile(first_folder, second_folder);
}

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

bool ReadStandardInput(size_t limit, std::string& bytes, std::string& reason) {
  _setmode(_fileno(stdin), _O_BINARY);
  bytes.clear();
  char buffer[65536];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
    if (bytes.size() + got > limit) {
      reason = "larger than the limit";
      return false;
    }
    bytes.append(buffer, got);
    if (got == sizeof buffer) continue;
    if (std::ferror(stdin) == 0) return true;
    reason = "a read of standard input failed";
    return false;
  }
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::string AbsolutePath(const std::string& path) {
  DWORD length = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::vector<char> buffer(length);
  if (GetFullPathNameA(path.c_str(), length, buffer.data(), nullptr) == 0) return path;
  return buffer.data();
}

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string UserCacheFolder() {
  std::vector<char> buffer(MAX_PATH);
  DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length);
    length = GetEnvironmentVariableA("LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) return std::string();
  return std::string(buffer.data(), length);
}

uint64_t CurrentFileTime() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return FileTimeOf(now);
}

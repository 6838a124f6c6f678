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
#include "platform/platform.h"

namespace {

uint64_t FileTimeOf(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

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

class Win32FolderSource : public FolderSource {
 public:
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override {
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
      visit(record);
    } while (FindNextFileA(find.get(), &data));
    return NothingMatched(GetLastError(), failure);
  }

  bool DescribeType(const std::string& extension, std::string& description) override {
    std::string class_name;
    return ReadClassValue(extension, class_name) && ReadClassValue(class_name, description);
  }

  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override {
    return ReadClassText(extension, "Content Type", mime_type);
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

char FolderSeparator() { return '\\'; }

bool LinksEncodeHighBytes() { return false; }

std::string PageCharset() { return CharsetOfCodePage(GetACP()); }

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

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

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

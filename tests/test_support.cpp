#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <memory>
#endif

namespace fs = std::filesystem;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

struct TestHandleCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

bool MakeJunction(const std::string& link, const std::string& target) {
  if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
  HANDLE opened = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<void, TestHandleCloser> folder(opened);
  // The mount point's buffer: tag, length, reserved, then the substitute
  // and the print name, each ended by a wide zero.
  const std::wstring substitute = Wide("\\??\\" + target);
  const std::wstring shown = Wide(target);
  const size_t names = (substitute.size() + 1 + shown.size() + 1) * sizeof(wchar_t);
  std::vector<char> buffer(8 + 8 + names);
  auto put16 = [&buffer](size_t at, size_t value) {
    const uint16_t word = static_cast<uint16_t>(value);
    std::memcpy(&buffer[at], &word, 2);
  };
  const uint32_t tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(&buffer[0], &tag, 4);
  put16(4, 8 + names);
  put16(8, 0);
  put16(10, substitute.size() * sizeof(wchar_t));
  put16(12, (substitute.size() + 1) * sizeof(wchar_t));
  put16(14, shown.size() * sizeof(wchar_t));
  std::memcpy(&buffer[16], substitute.c_str(), (substitute.size() + 1) * sizeof(wchar_t));
  std::memcpy(&buffer[16 + (substitute.size() + 1) * sizeof(wchar_t)], shown.c_str(),
              (shown.size() + 1) * sizeof(wchar_t));
  DWORD returned = 0;
  if (DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                      nullptr, 0, &returned, nullptr)) {
    return true;
  }
  folder.reset();
  RemoveDirectoryA(link.c_str());
  return false;
}

// The path of the system below Wine; empty elsewhere.
std::string UnixPath(const std::string& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unix_name = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unix_name != nullptr ? unix_name(Wide(path).c_str()) : nullptr;
  if (name == nullptr) return std::string();
  std::string unix_path = name;
  HeapFree(GetProcessHeap(), 0, name);
  return unix_path;
}

bool MakeUnixLink(const std::string& link, const std::string& target) {
  const std::string unix_link = UnixPath(link), unix_target = UnixPath(target);
  if (unix_link.empty() || unix_target.empty()) return false;
  std::string command = "Z:\\bin\\ln -s \"" + unix_target + "\" \"" + unix_link + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  // A program of the system below gives no handle to wait on: the link is
  // waited for instead.
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  for (int look = 0; look < 200; ++look) {
    const DWORD attributes = GetFileAttributesA(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
  return MakeJunction(link, target) || MakeUnixLink(link, target);
}

#endif

std::string PercentDecoded(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::vector<std::string> HostileNames() {
  std::istringstream lines(ReadFileBytes(TestDataPath("hostile_names.txt")));
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] != '#') names.push_back(PercentDecoded(line));
  }
  EXPECT_GT(names.size(), 30u) << "the list of hostile names is read";
  return names;
}

ScopedTempFolder::ScopedTempFolder() {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path folder = fs::temp_directory_path() /
                    ("kestrova-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(folder);
  path_ = folder.string();
}

ScopedTempFolder::~ScopedTempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ScopedTempFolder::Join(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::string TestDataPath(const std::string& name) { return std::string(KESTROVA_TEST_DATA) + "/" + name; }

std::string Visible(const std::string& text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else {
      shown += c;
    }
  }
  return shown;
}

namespace {

std::string LineAt(const std::string& text, size_t start) {
  size_t end = text.find('\n', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
}

}  // namespace

void ExpectSameAsGolden(const std::string& actual, const std::string& name) {
  ExpectSameAsGolden(actual, name, std::string(), std::string());
}

void ExpectSameAsGolden(const std::string& actual, const std::string& name, const std::string& golden_part,
                        const std::string& platform_part) {
  std::string expected = ReadFileBytes(TestDataPath(name));
  if (!golden_part.empty()) {
    const size_t at = expected.find(golden_part);
    ASSERT_NE(at, std::string::npos) << "tests/data/" << name << " lacks " << Visible(golden_part);
    expected.replace(at, golden_part.size(), platform_part);
  }
  if (actual == expected) return;
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  size_t line_start = at == 0 ? 0 : actual.rfind('\n', at - 1);
  line_start = line_start == std::string::npos ? 0 : (at == 0 ? 0 : line_start + 1);
  size_t line_number = 1;
  for (size_t i = 0; i < line_start && i < expected.size(); ++i) line_number += expected[i] == '\n';
  WriteFileBytes(name + ".actual", actual);
  ADD_FAILURE() << "document differs from tests/data/" << name << " at byte " << at << ", line "
                << line_number << "\n  expected: " << Visible(LineAt(expected, line_start))
                << "\n  actual:   " << Visible(LineAt(actual, line_start)) << "\n(actual bytes written to "
                << name << ".actual)";
}

std::string PlatformLines(const std::string& crlf_text) {
  std::string text;
  for (size_t at = 0; at < crlf_text.size(); ++at) {
    if (crlf_text.compare(at, 2, "\r\n") == 0) {
      text += PlatformLineEnd();
      ++at;
    } else {
      text += crlf_text[at];
    }
  }
  return text;
}

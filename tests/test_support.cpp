#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

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

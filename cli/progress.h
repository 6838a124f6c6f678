// A folder source that passes every record through and, once a scan has run
// for more than a second, keeps one progress line up to date on stderr.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"

// "1234567" as "1,234,567", as a person reads counts in a message.
std::string GroupedNumber(uint64_t number);
// "1 folder", "0 folders", "1,024 folders".
std::string CountText(uint64_t number, const char* singular, const char* plural);

class ProgressFolderSource : public FolderSource {
 public:
  explicit ProgressFolderSource(FolderSource& inner);
  void Enumerate(const std::string& pattern,
                 const std::function<void(const FolderRecord&)>& visit) override;
  bool DescribeType(const std::string& extension, std::string& description) override;
  // Clears the progress line, if one was shown.
  void Finish();

 private:
  void Tick(const std::string& pattern, size_t count);

  FolderSource& inner_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_update_;
  size_t shown_width_ = 0;
};

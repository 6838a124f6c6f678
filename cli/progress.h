// A folder source that passes every record through and, once a scan has run
// for more than a second, keeps one progress line up to date on stderr.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "platform/platform.h"

class ProgressFolderSource : public FolderSource {
 public:
  explicit ProgressFolderSource(FolderSource& inner);
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override;
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

#include "cli/progress.h"

#include <cstdio>

namespace {

constexpr std::chrono::seconds kQuietStart{1};
constexpr std::chrono::milliseconds kUpdateInterval{200};
// Looking at the clock for every record would cost more than the record.
constexpr size_t kRecordsBetweenClockReads = 1024;

}  // namespace

ProgressFolderSource::ProgressFolderSource(FolderSource& inner)
    : inner_(inner), start_(std::chrono::steady_clock::now()), next_update_(start_ + kQuietStart) {}

bool ProgressFolderSource::Enumerate(const std::string& pattern,
                                     const std::function<void(const FolderRecord&)>& visit,
                                     std::string& failure) {
  size_t count = 0;
  return inner_.Enumerate(
      pattern,
      [&](const FolderRecord& record) {
        visit(record);
        if (++count % kRecordsBetweenClockReads == 0) Tick(pattern, count);
      },
      failure);
}

bool ProgressFolderSource::DescribeType(const std::string& extension, std::string& description) {
  return inner_.DescribeType(extension, description);
}

void ProgressFolderSource::Tick(const std::string& pattern, size_t count) {
  auto now = std::chrono::steady_clock::now();
  if (now < next_update_) return;
  next_update_ = now + kUpdateInterval;
  std::string line = "Scanning " + pattern + ": " + std::to_string(count) + " entries";
  size_t width = line.size();
  if (width < shown_width_) line.append(shown_width_ - width, ' ');
  shown_width_ = width;
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

void ProgressFolderSource::Finish() {
  if (shown_width_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(shown_width_, ' ').c_str());
  std::fflush(stderr);
  shown_width_ = 0;
}

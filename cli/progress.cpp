#include "cli/progress.h"

#include <cstdio>

#include "output/number_text.h"

namespace {

constexpr std::chrono::seconds kQuietStart{1};
constexpr std::chrono::milliseconds kUpdateInterval{200};
// Looking at the clock for every record or write would cost more than it.
constexpr size_t kRecordsBetweenClockReads = 1024;
constexpr uint64_t kBytesBetweenClockReads = 1 << 20;

}  // namespace

std::string GroupedNumber(uint64_t number) { return GroupThousands(std::to_string(number), ','); }

std::string CountText(uint64_t number, const char* singular, const char* plural) {
  return GroupedNumber(number) + " " + (number == 1 ? singular : plural);
}

std::string ByteSizeText(uint64_t bytes) {
  constexpr uint64_t kKilo = 1024, kMega = 1024 * 1024;
  if (bytes < kMega) return GroupedNumber((bytes + kKilo - 1) / kKilo) + " KB";
  return GroupedNumber((bytes + kMega / 2) / kMega) + " MB";
}

ProgressLine::ProgressLine(bool enabled)
    : enabled_(enabled), start_(std::chrono::steady_clock::now()), next_update_(start_ + kQuietStart) {}

void ProgressLine::Update(const std::string& text) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now >= next_update_) Show(text, now);
}

void ProgressLine::Announce(const std::string& text) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now >= start_ + kQuietStart) Show(text, now);
}

void ProgressLine::Show(const std::string& text, std::chrono::steady_clock::time_point now) {
  next_update_ = now + kUpdateInterval;
  std::string line = text;
  if (line.size() < shown_width_) line.append(shown_width_ - line.size(), ' ');
  shown_width_ = text.size();
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

void ProgressLine::Finish() {
  if (shown_width_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(shown_width_, ' ').c_str());
  std::fflush(stderr);
  shown_width_ = 0;
}

ProgressFolderSource::ProgressFolderSource(FolderSource& inner, ProgressLine& line)
    : inner_(inner), line_(line) {}

bool ProgressFolderSource::Enumerate(const std::string& pattern,
                                     const std::function<void(const FolderRecord&)>& visit,
                                     std::string& failure) {
  size_t count = 0;
  const bool read = inner_.Enumerate(
      pattern,
      [&](const FolderRecord& record) {
        visit(record);
        if (++count % kRecordsBetweenClockReads == 0) {
          line_.Update("Scanning " + pattern + ": " + CountText(count, "entry", "entries"));
        }
      },
      failure);
  if (read) line_.Announce("Sorting " + CountText(count, "entry", "entries"));
  return read;
}

bool ProgressFolderSource::DescribeType(const std::string& extension, std::string& description) {
  return inner_.DescribeType(extension, description);
}

bool ProgressFolderSource::LookUpMimeType(const std::string& extension, std::string& mime_type) {
  return inner_.LookUpMimeType(extension, mime_type);
}

bool ProgressFolderSource::LinkTarget(const std::string& path, std::string& target) {
  return inner_.LinkTarget(path, target);
}

ProgressSink::ProgressSink(ByteSink& inner, ProgressLine& line, uint64_t total)
    : inner_(inner), line_(line), total_(total) {}

bool ProgressSink::Write(std::string_view bytes) {
  if (written_ == 0) line_.Announce("Writing " + ByteSizeText(total_));
  written_ += bytes.size();
  if (written_ >= next_check_) {
    next_check_ = written_ + kBytesBetweenClockReads;
    const uint64_t percent = total_ == 0 ? 100 : written_ * 100 / total_;
    line_.Update("Writing " + ByteSizeText(total_) + ": " + std::to_string(percent > 100 ? 100 : percent) +
                 "%");
  }
  return inner_.Write(bytes);
}

// The progress line of a long run on a terminal: scanning, sorting and
// writing, kept up to date on stderr once a run has gone on for a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

// "1234567" as "1,234,567", as a person reads counts in a message.
std::string GroupedNumber(uint64_t number);
// "1 folder", "0 folders", "1,024 folders".
std::string CountText(uint64_t number, const char* singular, const char* plural);
// A document size for a person: "512 KB", "147 MB" (of 1024).
std::string ByteSizeText(uint64_t bytes);

// One line on stderr, rewritten in place. Nothing shows during the first
// second, so short runs print nothing; a disabled line shows nothing at all.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled);
  bool Enabled() const { return enabled_; }
  // Shows the text when the last update is old enough; cheap to call often
  // only if the caller also limits how often it asks.
  void Update(const std::string& text);
  // Shows the text at once (after the first second): a new step begins.
  void Announce(const std::string& text);
  // Clears the line, if one was shown.
  void Finish();

 private:
  void Show(const std::string& text, std::chrono::steady_clock::time_point now);

  bool enabled_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_update_;
  size_t shown_width_ = 0;
};

// Passes every record through, counting them on the line; when a pass over
// the folder ends, the entries are being sorted.
class ProgressFolderSource : public FolderSource {
 public:
  ProgressFolderSource(FolderSource& inner, ProgressLine& line);
  bool Enumerate(const std::string& pattern, const std::function<void(const FolderRecord&)>& visit,
                 std::string& failure) override;
  bool DescribeType(const std::string& extension, std::string& description) override;
  bool LookUpMimeType(const std::string& extension, std::string& mime_type) override;
  bool LinkTarget(const std::string& path, std::string& target) override;
  bool KnownChecksums(const std::string& folder, const std::vector<DigestAlgorithm>& algorithms,
                      std::unordered_map<std::string, std::vector<std::string>>& checksums,
                      std::map<std::string, std::string>& failures) override {
    return inner_.KnownChecksums(folder, algorithms, checksums, failures);
  }
  bool SizesKnown() override { return inner_.SizesKnown(); }

 private:
  FolderSource& inner_;
  ProgressLine& line_;
};

// Passes every write through, showing how much of the document is written.
class ProgressSink : public ByteSink {
 public:
  ProgressSink(ByteSink& inner, ProgressLine& line, uint64_t total);
  bool Write(std::string_view bytes) override;

 private:
  ByteSink& inner_;
  ProgressLine& line_;
  uint64_t total_;
  uint64_t written_ = 0;
  uint64_t next_check_ = 0;
};

// Line ends as files store them: settings files keep CR LF everywhere,
// listings the platform's own.
#pragma once

#include <string_view>

#include "platform/platform.h"

// Passes texts on to a sink with every line end as one line_end: a "\r\n"
// and a lone "\n" alike, even where a "\r\n" is split between two texts.
class LineEndWriter {
 public:
  LineEndWriter(ByteSink& sink, std::string_view line_end)
      : sink_(sink), line_end_(line_end), lone_line_feed_(line_end == "\n") {}

  bool Write(std::string_view text);

  // Writes a CR that ended the last text.
  bool Finish() { return !pending_carriage_return_ || sink_.Write("\r"); }

 private:
  ByteSink& sink_;
  const std::string_view line_end_;
  const bool lone_line_feed_;
  bool pending_carriage_return_ = false;
};

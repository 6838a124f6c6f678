#include "settings/line_ends.h"

#include <cstring>

bool LineEndWriter::Write(std::string_view text) {
  // Where a line end is a lone LF, most texts go out as they are.
  if (lone_line_feed_ && !pending_carriage_return_ &&
      std::memchr(text.data(), '\r', text.size()) == nullptr) {
    return sink_.Write(text);
  }
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    const char* line_feed = static_cast<const char*>(std::memchr(at, '\n', end - at));
    const char* run_end = line_feed == nullptr ? end : line_feed;
    // A CR is held back until the next byte tells whether it starts a line
    // end, which may be in the next text.
    if (pending_carriage_return_ && line_feed != at && !sink_.Write("\r")) return false;
    pending_carriage_return_ = false;
    const char* kept_end = run_end;
    if (kept_end > at && kept_end[-1] == '\r') {
      --kept_end;
      pending_carriage_return_ = line_feed == nullptr;
    }
    if (kept_end > at && !sink_.Write(std::string_view(at, kept_end - at))) return false;
    if (line_feed == nullptr) break;
    if (!sink_.Write(line_end_)) return false;
    at = line_feed + 1;
  }
  return true;
}

#include "cli/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(CliProgress, CountsReadAsAPersonWritesThem) {
  EXPECT_EQ("0", GroupedNumber(0));
  EXPECT_EQ("999", GroupedNumber(999));
  EXPECT_EQ("1,000", GroupedNumber(1000));
  EXPECT_EQ("1,000,000", GroupedNumber(1000000));
  EXPECT_EQ("18,446,744,073,709,551,615", GroupedNumber(UINT64_MAX));

  EXPECT_EQ("1 folder", CountText(1, "folder", "folders"));
  EXPECT_EQ("0 folders", CountText(0, "folder", "folders"));
  EXPECT_EQ("1,001 entries", CountText(1001, "entry", "entries"));

  EXPECT_EQ("0 KB", ByteSizeText(0));
  EXPECT_EQ("1 KB", ByteSizeText(1));
  EXPECT_EQ("1,024 KB", ByteSizeText(1024 * 1024 - 1));
  EXPECT_EQ("1 MB", ByteSizeText(1024 * 1024));
  EXPECT_EQ("147 MB", ByteSizeText(147 * 1024 * 1024 + 1000));
}

// Off a terminal the line stays silent, and the sink passes every byte on.
TEST(CliProgress, ADisabledLineWritesNothingAndTheSinkPassesBytesOn) {
  struct Collect : ByteSink {
    std::string bytes;
    bool Write(std::string_view more) override {
      bytes += more;
      return true;
    }
  } inner;
  ProgressLine line(false);
  ProgressSink sink(inner, line, 6);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(sink.Write("abc"));
  EXPECT_TRUE(sink.Write("def"));
  line.Announce("Sorting 3 entries");
  line.Finish();
  EXPECT_EQ("", testing::internal::GetCapturedStderr());
  EXPECT_EQ("abcdef", inner.bytes);
}

}  // namespace

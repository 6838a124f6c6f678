#include "output/escapes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string EscapeAs(void (*escape)(std::string&, std::string_view), std::string_view text) {
  std::string out;
  escape(out, text);
  return out;
}

TEST(EscapeHtml, EscapesTheFourMarkupCharacters) {
  EXPECT_EQ(EscapeHtml("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
}

TEST(ControlEscaped, AForgedLineOrTerminalCodeStaysOnItsLine) {
  EXPECT_EQ(ControlEscaped("nl\nforged-line.txt"), "nl\\nforged-line.txt");
  EXPECT_EQ(ControlEscaped("x\n.."), "x\\n..");
  EXPECT_EQ(ControlEscaped("\x1b]0;owned\a"), "\\033]0;owned\\a");
  EXPECT_EQ(ControlEscaped(std::string("t\tr\rz\0d\x7f", 8)), "t\\tr\\rz\\000d\\177");
  EXPECT_EQ(ControlEscaped("back\\slash\n"), "back\\\\slash\\n")
      << "a backslash of an escaped name is doubled";
  for (const char* plain : {"back\\slash", "caf\xc3\xa9 au lait.txt", "", "a b"}) {
    EXPECT_EQ(ControlEscaped(plain), plain) << "a name without control bytes stays as it is";
  }
}

TEST(VisibleHtml, ControlBytesShowAsTheirPicturesAndMarkupAsText) {
  std::string out = "kept ";
  AppendVisibleHtml(out, "nl\nforged<b>&\"x\"");
  EXPECT_EQ(out, "kept nl&#x240A;forged&lt;b&gt;&amp;&quot;x&quot;");
  EXPECT_EQ(EscapeAs(AppendVisibleHtml, std::string("\0\t\r\x1b[31m\x7f", 9)),
            "&#x2400;&#x2409;&#x240D;&#x241B;[31m&#x2421;");
  EXPECT_EQ(EscapeAs(AppendVisibleHtml, "caf\xc3\xa9 'au' lait.txt"), "caf\xc3\xa9 'au' lait.txt")
      << "bytes above 127 and quotes that an attribute in double quotes allows stay";
}

}  // namespace

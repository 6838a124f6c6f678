#include "output/escapes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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

}  // namespace

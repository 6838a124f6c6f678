#include "output/escapes.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

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

// Where the system's texts are UTF-8; on Windows they are converted first.
bool SystemTextIsUtf8() { return PageCharset() == "utf-8"; }

std::string NameEscaped(std::string_view text) { return EscapeAs(AppendNameEscaped, text); }

TEST(NameEscaped, TwoNamesNeverReadTheSame) {
  if (FolderSeparator() == '\\') {
    EXPECT_EQ(NameEscaped("sub\\a\nb"), "sub\\a\\nb") << "a separator, the name's control byte escaped";
  } else {
    EXPECT_EQ(NameEscaped("a\\nb"), "a\\\\nb") << "a backslash of its own is doubled";
    EXPECT_EQ(NameEscaped("quote\" back\\slash"), "quote\" back\\\\slash") << "with or without an escape";
  }
  EXPECT_EQ(NameEscaped("a\nb"), "a\\nb");
  EXPECT_EQ(NameEscaped(std::string("t\tr\rz\0d\x7f\x1b[31m", 13)), "t\\tr\\rz\\000d\\177\\033[31m");
  for (const char* plain : {"a b", " leading and trailing ", "-rf", "", "a&b;<c>"}) {
    EXPECT_EQ(NameEscaped(plain), plain) << "blanks and printable ASCII stand";
  }
}

TEST(NameEscaped, WhatIsNotUtf8OrNotSeenInALineIsOctal) {
  if (!SystemTextIsUtf8()) {
    EXPECT_EQ(NameEscaped("caf\xE9"), "caf\xE9") << "a byte of the ANSI code page stands";
    return;
  }
  EXPECT_EQ(NameEscaped("bad\xFF\xFEutf8"), "bad\\377\\376utf8");
  EXPECT_EQ(NameEscaped("overlong\xC0\xAF"), "overlong\\300\\257");
  EXPECT_EQ(NameEscaped("surrogate\xED\xA0\x80"), "surrogate\\355\\240\\200");
  EXPECT_EQ(NameEscaped("cut \xE6\x97"), "cut \\346\\227");
  EXPECT_EQ(NameEscaped("cut \xE6\x97\xC3\xA9"), "cut \\346\\227\xC3\xA9") << "the next character stands";
  EXPECT_EQ(NameEscaped("c1 \xC2\x9B[31m"), "c1 \\302\\233[31m") << "the terminal's one-byte CSI";
  EXPECT_EQ(NameEscaped("line\xE2\x80\xA8par\xE2\x80\xA9"), "line\\342\\200\\250par\\342\\200\\251");
  for (const char* kept : {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "\xC2\xA0nbsp",
                           "zero\xE2\x80\x8Bwidth", "\xE2\x80\x8Elrm"}) {
    EXPECT_EQ(NameEscaped(kept), kept) << "well-formed UTF-8 that a terminal shows stands";
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

std::string Json(std::string_view text) {
  std::string escaped;
  AppendJsonEscaped(escaped, text);
  return escaped;
}

TEST(JsonEscaped, WhatJsonAndScriptsCannotHoldIsEscaped) {
  EXPECT_EQ(Json("quote\" back\\slash"), "quote\\\" back\\\\slash");
  EXPECT_EQ(Json("a\b\f\n\r\tz"), "a\\b\\f\\n\\r\\tz");
  EXPECT_EQ(Json(std::string("\0\x01\x1f\x7f", 4)), "\\u0000\\u0001\\u001F\\u007F");
  EXPECT_EQ(Json("<a>&/"), "<a>&/");
  EXPECT_EQ(Json(""), "");
}

TEST(JsonEscaped, UnicodeThatScriptsCannotHoldIsEscapedAndTheRestStands) {
  if (!SystemTextIsUtf8()) GTEST_SKIP() << "names are in the ANSI code page here";
  EXPECT_EQ(Json("c1 \xC2\x9B[31m"), "c1 \\u009B[31m") << "a C1 control, the terminal's one-byte CSI";
  EXPECT_EQ(Json("line\xE2\x80\xA8par\xE2\x80\xA9"), "line\\u2028par\\u2029");
  for (const char* kept : {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "\xE2\x80\xAErtl",
                           "\xC2\xA0nbsp", "\xEF\xBF\xBF max-bmp \xF4\x8F\xBF\xBF"}) {
    EXPECT_EQ(Json(kept), kept) << "well-formed UTF-8 stands";
  }
}

TEST(JsonEscaped, EachIllFormedPartBecomesOneReplacementCharacter) {
  if (!SystemTextIsUtf8()) GTEST_SKIP() << "names are in the ANSI code page here";
  const std::string fffd = "\xEF\xBF\xBD";
  // The cases of Unicode's table of well-formed sequences, as Python's
  // decode(errors="replace") gives them.
  EXPECT_EQ(Json("bad\xFF\xFEutf8"), "bad" + fffd + fffd + "utf8");
  EXPECT_EQ(Json("overlong\xC0\xAF"), "overlong" + fffd + fffd);
  EXPECT_EQ(Json("surrogate\xED\xA0\x80"), "surrogate" + fffd + fffd + fffd);
  EXPECT_EQ(Json("e0 \xE0\x80\x80"), "e0 " + fffd + fffd + fffd) << "an overlong three-byte form";
  EXPECT_EQ(Json("cut \xE6\x97"), "cut " + fffd) << "a sequence cut short is one part";
  EXPECT_EQ(Json("cut \xE6\x97x"), "cut " + fffd + "x");
  EXPECT_EQ(Json("\xF4\x90\x80\x80 past"), fffd + fffd + fffd + fffd + " past") << "past U+10FFFF";
  EXPECT_EQ(Json("\xF0\x9F\x98"), fffd);
  EXPECT_EQ(Json("lone \x80\xBF"), "lone " + fffd + fffd);
  EXPECT_EQ(Json("\xC2"), fffd);
}

std::string Script(std::string_view text) { return EscapeAs(AppendScriptText, text); }

TEST(ScriptText, NothingInANameEndsTheStringTheLineOrTheScript) {
  EXPECT_EQ(Script("quote\" single' back\\slash"), "quote\\u0022 single\\u0027 back\\u005Cslash");
  EXPECT_EQ(Script("</script><!--&"), "\\u003C/script\\u003E\\u003C!--\\u0026");
  EXPECT_EQ(Script("${x}`y`/z"), "${x}`y`/z") << "a string in quotes takes these as they are";
  // Control bytes show as their pictures, as the page shows them.
  EXPECT_EQ(Script(std::string("nl\ncr\rnul\0del\x7f", 14)), "nl\\u240Acr\\u240Dnul\\u2400del\\u2421");
  EXPECT_EQ(Script(""), "");
}

TEST(ScriptText, EveryCharacterBeyondAsciiIsEscapedAndIllFormedPartsAreReplaced) {
  if (!SystemTextIsUtf8()) GTEST_SKIP() << "names are in the ANSI code page here";
  EXPECT_EQ(Script("line\xE2\x80\xA8par\xE2\x80\xA9"), "line\\u2028par\\u2029");
  EXPECT_EQ(Script("caf\xC3\xA9 \xE6\x97\xA5 \xC2\x9B"), "caf\\u00E9 \\u65E5 \\u009B");
  EXPECT_EQ(Script("\xF0\x9F\x98\x80!"), "\\uD83D\\uDE00!") << "a pair of surrogates beyond U+FFFF";
  EXPECT_EQ(Script("\xF4\x8F\xBF\xBF"), "\\uDBFF\\uDFFF");
  EXPECT_EQ(Script("bad\xFF\xFEx"), "bad\\uFFFD\\uFFFDx");
  EXPECT_EQ(Script("cut \xE6\x97"), "cut \\uFFFD") << "as the page's decoder shows it";
  EXPECT_EQ(Script("surrogate\xED\xA0\x80"), "surrogate\\uFFFD\\uFFFD\\uFFFD");
}

TEST(IsExactAsUtf8, OnlyWhatConvertsWithoutAReplacement) {
  EXPECT_TRUE(IsExactAsUtf8("plain.txt"));
  EXPECT_TRUE(IsExactAsUtf8(""));
  if (SystemTextIsUtf8()) {
    EXPECT_TRUE(IsExactAsUtf8("caf\xC3\xA9"));
    EXPECT_FALSE(IsExactAsUtf8("caf\xE9"));
    EXPECT_FALSE(IsExactAsUtf8("surrogate\xED\xA0\x80"));
  } else if (PageCharset() == "windows-1252") {
    EXPECT_TRUE(IsExactAsUtf8("caf\xE9")) << "an ANSI name converts";
    EXPECT_EQ(Json("caf\xE9"), "caf\xC3\xA9");
  }
}

std::string Csv(std::string_view text) {
  std::string field;
  AppendCsvField(field, text);
  return field;
}

TEST(CsvField, QuotedWhereRfc4180NeedsItAndGuardedWhereASpreadsheetWouldCompute) {
  EXPECT_EQ(Csv("plain name.txt"), "plain name.txt");
  EXPECT_EQ(Csv(""), "");
  EXPECT_EQ(Csv("a,b"), "\"a,b\"");
  EXPECT_EQ(Csv("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(Csv("nl\nforged"), "\"nl\nforged\"") << "a line break stays inside the quotes";
  EXPECT_EQ(Csv("cr\rreturn"), "\"cr\rreturn\"");
  EXPECT_EQ(Csv("=cmd|' /C calc'!A0"), "\"'=cmd|' /C calc'!A0\"");
  EXPECT_EQ(Csv("+1+1"), "\"'+1+1\"");
  EXPECT_EQ(Csv("-rf"), "\"'-rf\"");
  EXPECT_EQ(Csv("@SUM(A1)"), "\"'@SUM(A1)\"");
  EXPECT_EQ(Csv("\tTab first"), "\"'\tTab first\"");
  EXPECT_EQ(Csv("\rfirst"), "\"'\rfirst\"");
  EXPECT_EQ(Csv("=\"x\""), "\"'=\"\"x\"\"\"") << "guarded and quoted alike";
  EXPECT_EQ(Csv("' onfocus='x"), "\"'' onfocus='x\"")
      << "a leading quote of its own is guarded too, so a reader drops exactly one";
  EXPECT_EQ(Csv("a=b-c"), "a=b-c") << "only the first character starts a formula";
  if (SystemTextIsUtf8()) {
    EXPECT_EQ(Csv("bad\xFF\xFEutf8"), "bad\xEF\xBF\xBD\xEF\xBF\xBDutf8");
  } else if (PageCharset() == "windows-1252") {
    EXPECT_EQ(Csv("bad\xFF\xFEutf8"), "bad\xC3\xBF\xC3\xBEutf8") << "converted from the ANSI code page";
  }
}

TEST(PercentEncoded, EveryByteOutsidePrintableAsciiAndThePercentSign) {
  std::string encoded;
  AppendPercentEncoded(encoded, std::string("bad\xFF\xFE 100%\n\x7f~\0", 14));
  EXPECT_EQ(encoded, "bad%FF%FE 100%25%0A%7F~%00");
}

}  // namespace

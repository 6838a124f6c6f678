#include "platform/charset.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(CharsetOfCodePage, NamesTheAnsiCodePagesBrowsersKnow) {
  for (unsigned code_page = 1250; code_page <= 1258; ++code_page) {
    EXPECT_EQ(CharsetOfCodePage(code_page), "windows-" + std::to_string(code_page));
  }
  EXPECT_EQ(CharsetOfCodePage(874), "windows-874");
  EXPECT_EQ(CharsetOfCodePage(932), "shift_jis");
  EXPECT_EQ(CharsetOfCodePage(936), "gbk");
  EXPECT_EQ(CharsetOfCodePage(949), "euc-kr");
  EXPECT_EQ(CharsetOfCodePage(950), "big5");
  EXPECT_EQ(CharsetOfCodePage(65001), "utf-8");
  for (unsigned unnamed : {0u, 437u, 850u, 1200u, 1249u, 1259u, 20127u, 65000u}) {
    EXPECT_EQ(CharsetOfCodePage(unnamed), "") << unnamed;
  }
}

TEST(PageCharset, IsUtf8WhereNamesAreUtf8) {
  // Names are UTF-8 exactly where links encode the bytes above 127.
  if (LinksEncodeHighBytes()) {
    EXPECT_EQ(PageCharset(), "utf-8");
  } else {
    EXPECT_NE(PageCharset(), "utf-8") << "this test program's manifest asks for no UTF-8 code page";
  }
}

}  // namespace

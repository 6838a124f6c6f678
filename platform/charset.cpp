#include "platform/charset.h"

namespace {

struct NamedCodePage {
  unsigned code_page;
  const char* charset;
};

constexpr NamedCodePage kNamedCodePages[] = {
    {874, "windows-874"},   {932, "shift_jis"},     {936, "gbk"},           {949, "euc-kr"},
    {950, "big5"},          {1250, "windows-1250"}, {1251, "windows-1251"}, {1252, "windows-1252"},
    {1253, "windows-1253"}, {1254, "windows-1254"}, {1255, "windows-1255"}, {1256, "windows-1256"},
    {1257, "windows-1257"}, {1258, "windows-1258"}, {65001, "utf-8"},
};

}  // namespace

std::string CharsetOfCodePage(unsigned code_page) {
  for (const NamedCodePage& named : kNamedCodePages) {
    if (named.code_page == code_page) return named.charset;
  }
  return std::string();
}

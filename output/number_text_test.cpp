#include "output/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace {

TEST(GroupThousands, PutsBlanksBetweenGroupsOnly) {
  EXPECT_EQ(GroupThousands("0"), "0");
  EXPECT_EQ(GroupThousands("123"), "123");
  EXPECT_EQ(GroupThousands("1234"), "1 234");
  EXPECT_EQ(GroupThousands("123456"), "123 456");
  EXPECT_EQ(GroupThousands("1234567"), "1 234 567");
  EXPECT_EQ(GroupThousands("1234567", ','), "1,234,567");
  EXPECT_EQ(GroupThousands("18446744073709551615", ','), "18,446,744,073,709,551,615");
}

TEST(FormatTwoDecimals, RoundsToTwoPlaces) {
  EXPECT_EQ(FormatTwoDecimals(1.5), "1.50");
  EXPECT_EQ(FormatTwoDecimals(0.05), "0.05");
  EXPECT_EQ(FormatTwoDecimals(0), "0.00");
  EXPECT_EQ(FormatTwoDecimals(1234.567), "1234.57");
  EXPECT_EQ(FormatTwoDecimals(-2.25), "-2.25");
  EXPECT_EQ(FormatTwoDecimals(1e16), "10000000000000000.00");
}

TEST(FormatTwoDecimals, AgreesWithTheCLibraryAndBreaksTiesToEven) {
  // Sizes in kilobytes and megabytes are exact binary fractions; a size of
  // 128 modulo 256 bytes lies exactly halfway between two hundredths.
  EXPECT_EQ(FormatTwoDecimals(128 / 1024.0), "0.12");
  EXPECT_EQ(FormatTwoDecimals(384 / 1024.0), "0.38");
  for (uint64_t size = 0; size < 300000; size += 7) {
    if (size % 256 == 128) continue;
    for (double value : {size / 1024.0, size * 4099 / 1048576.0}) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.2f", value);
      ASSERT_EQ(FormatTwoDecimals(value), expected) << "size " << size;
    }
  }
}

TEST(HumanSize, OneDecimalBelowTenAndTheNextUnitWhereItRoundsUp) {
  EXPECT_EQ(HumanSize(0), "0 B");
  EXPECT_EQ(HumanSize(1023), "1023 B");
  EXPECT_EQ(HumanSize(1024), "1.0 KB");
  EXPECT_EQ(HumanSize(1229), "1.2 KB");
  EXPECT_EQ(HumanSize(10188), "9.9 KB");
  EXPECT_EQ(HumanSize(10199), "10 KB") << "9.96 KB rounds to 10";
  EXPECT_EQ(HumanSize(3565158), "3.4 MB");
  EXPECT_EQ(HumanSize(1048064), "1.0 MB") << "1023.5 KB is shown in the next unit";
  EXPECT_EQ(HumanSize(5368709120ULL), "5.0 GB");
  EXPECT_EQ(HumanSize(~0ULL), "16 EB");
}

}  // namespace

// The number formatter as the DLL build compiles it (mingw, i686, x87 long
// double) gives the same bytes as the native build: rows generated from the
// independent reference, checked natively, compared here under Wine.
#include <gtest/gtest.h>

#include <cstring>

#include "golden_rows.h"
#include "text/text.h"

namespace {

long double from_bits(uint64_t significand, uint16_t sign_exponent) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, 8);
  std::memcpy(bytes + 8, &sign_exponent, 2);
  long double value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

TEST(NumberTextInTheDllBuild, EveryGoldenRowByteForByte) {
  static_assert(sizeof(long double) >= 10, "x87 extended precision");
  int checked = 0;
  for (const zp_golden::Row& row : zp_golden::kRows) {
    EXPECT_EQ(row.text, text::number_text(from_bits(row.significand, row.sign_exponent), row.digits))
        << std::hex << row.sign_exponent << ":" << row.significand << " n=" << std::dec << row.digits;
    ++checked;
  }
  EXPECT_GT(checked, 300);
}

TEST(NumberTextInTheDllBuild, ScreenValuesFromFloatConstants) {
  EXPECT_EQ(" 14.7456", text::number_text(14.7456f, 7));
  EXPECT_EQ(" 14.7455997467041", text::number_text(14.7456f, 15));
  EXPECT_EQ(" 3.68639993667602", text::number_text(3.6864f, 15));
  EXPECT_EQ(" 921600", text::number_text(921600, 7));
  EXPECT_EQ("-1", text::number_text(-1, 15));
}

TEST(NumberTextInTheDllBuild, ResultDoesNotDependOnTheX87Precision) {
  unsigned short saved, single_precision = 0x007F;  // 24-bit precision control
  __asm__ __volatile__("fnstcw %0" : "=m"(saved));
  __asm__ __volatile__("fldcw %0" : : "m"(single_precision));
  const std::string text = text::number_text(from_bits(0xEBEDFA0000000000ULL, 0x4002), 15);
  __asm__ __volatile__("fldcw %0" : : "m"(saved));
  EXPECT_EQ(" 14.7455997467041", text);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

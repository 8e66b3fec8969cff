#include <gtest/gtest.h>

#include "text/text.h"

namespace {

TEST(CharCodes, OneByteEachLowEightBitsMinusOneSkipped) {
    EXPECT_EQ(text::char_codes({13, 10}), std::string("\r\n"));
    EXPECT_EQ(text::char_codes({65, -1, 66}), "AB");
    EXPECT_EQ(text::char_codes({321}), "A");
    EXPECT_EQ(text::char_codes({}), "");
    EXPECT_EQ(text::char_codes({-1, -1}), "");
    const std::string zero_and_high = text::char_codes({0, 255, -2});
    ASSERT_EQ(zero_and_high.size(), 3u);  // a zero byte is kept, -2 is 0xFE
    EXPECT_EQ(zero_and_high[0], '\0');
    EXPECT_EQ(static_cast<unsigned char>(zero_and_high[1]), 255);
    EXPECT_EQ(static_cast<unsigned char>(zero_and_high[2]), 0xFE);
}

}  // namespace

// Helpers shared by the text tests, the golden-row generator and the fuzz
// target: exact construction of 80-bit values without floating point.
#pragma once

#include <cstdint>

#include "text/number_text_detail.h"

namespace testing_values {

using text::detail::Raw80;

// u * 2^j as an 80-bit value (u != 0, result in the normal range).
inline Raw80 scaled(std::uint64_t u, int j, bool negative = false) {
    int shift = 0;
    while (!(u >> 63)) {
        u <<= 1;
        ++shift;
    }
    const int exponent = 16383 + 63 - shift + j;
    return {u, static_cast<std::uint16_t>((negative ? 0x8000 : 0) | exponent)};
}

}  // namespace testing_values

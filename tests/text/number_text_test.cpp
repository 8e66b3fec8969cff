#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "golden_rows.h"
#include "reference.h"
#include "test_values.h"
#include "text/number_text_detail.h"
#include "text/text.h"

namespace {

using text::number_text;
using text::detail::Raw80;
using testing_values::scaled;

struct RawRow {
    std::uint16_t sign_exponent;
    std::uint64_t significand;
    int n;
    const char* text;
};

std::string text_of(const RawRow& r) {
    return text::detail::number_text_raw({r.significand, r.sign_exponent}, r.n);
}

// Every row is checked against number_text and against the reference, so a
// wrong expectation in a table shows up as well as a wrong result.
void check_rows(const RawRow* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const RawRow& r = rows[i];
        SCOPED_TRACE(::testing::Message() << "row " << i << std::hex << " se=0x" << r.sign_exponent
                                          << " m=0x" << r.significand << std::dec << " n=" << r.n);
        EXPECT_EQ(text_of(r), r.text);
        EXPECT_EQ(ref::text(r.significand, r.sign_exponent, r.n), r.text);
    }
}

template <std::size_t N>
void check_rows(const RawRow (&rows)[N]) { check_rows(rows, N); }

TEST(NumberText, WorkedExamples) {
    struct Row {
        long double value;
        int n;
        const char* text;
    };
    const Row rows[] = {
        {14.7456f, 7, " 14.7456"}, {1.8432f, 7, " 1.8432"}, {14.7456f, 15, " 14.7455997467041"},
        {3.6864f, 15, " 3.68639993667602"}, {14.7456, 15, " 14.7456"}, {8, 7, " 8"}, {1, 15, " 1"},
        {921600, 7, " 921600"}, {9999999, 7, " 9999999"}, {10000000, 7, " 1E+7"},
        {14745600, 7, " 1.47456E+7"}, {12345678, 7, " 1.234568E+7"}, {-1, 7, "-1"}, {-2.5, 7, "-2.5"},
        {0.5, 7, " .5"}, {0.1f, 7, " .1"}, {2.0f / 3.0f, 7, " .6666667"}, {0.00001f, 7, " .00001"},
        {0.000123f, 7, " .000123"}, {0.01234567f, 7, " 1.234567E-2"}, {1E-8f, 7, " 1E-8"},
        {123456789012345.0, 15, " 123456789012345"}, {1E15, 15, " 1E+15"}, {1E16, 15, " 1E+16"},
        {2.5, 1, " 2"}, {3.5, 1, " 4"}, {0, 7, " 0"}, {0, 1, " 0"}, {5, 15, " 5"}, {-0.25, 7, "-.25"},
        {0.0000123, 7, " .0000123"}, {0.00000123, 7, " 1.23E-6"}, {0.125, 2, " .12"}, {0.375, 2, " .38"},
        {1.45f, 2, " 1.4"}, {4611686018427387904.0L, 18, " 4.6116860184273879E+18"},
        {9999999.5, 7, " 1E+7"}, {999999.95, 7, " 999999.9"}, {-0.0, 7, " 0"},
        // Double 1/3 is 0.333333333333333314829...; only the extended value
        // has eighteen threes.
        {1.0 / 3.0, 18, " .333333333333333315"}, {1.0L / 3.0L, 18, " .333333333333333333"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(number_text(r.value, r.n), r.text) << "n=" << r.n;
    }
}

TEST(NumberText, DigitCountOutsideOneToEighteenMeansEighteen) {
    const long double third = 1.0L / 3.0L;
    for (int n : {0, -1, -100, 19, 25, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        EXPECT_EQ(number_text(third, n), " .333333333333333333") << n;
        EXPECT_EQ(number_text(-1E30L, n), "-1E+30") << n;
    }
}

TEST(NumberText, SpecialEncodings) {
    // Zeros, subnormals and pseudo-denormals (exponent field 0) read as 0.
    const RawRow zeros[] = {
        {0x0000, 0x0000000000000000ULL, 7, " 0"},
        {0x8000, 0x0000000000000000ULL, 7, " 0"},
        {0x0000, 0x0000000000000001ULL, 18, " 0"},   // smallest subnormal
        {0x8000, 0x7FFFFFFFFFFFFFFFULL, 18, " 0"},   // largest negative subnormal
        {0x0000, 0x8000000000000000ULL, 18, " 0"},   // pseudo-denormal
        {0x8000, 0xFFFFFFFFFFFFFFFFULL, 3, " 0"},    // pseudo-denormal, negative
    };
    check_rows(zeros);
    // Infinities: n nines, exponent 998, whatever the sign of n's range.
    const RawRow infinities[] = {
        {0x7FFF, 0x8000000000000000ULL, 7, " 9.999999E+998"},
        {0xFFFF, 0x8000000000000000ULL, 7, "-9.999999E+998"},
        {0x7FFF, 0x8000000000000000ULL, 1, " 9E+998"},
        {0xFFFF, 0x8000000000000000ULL, 2, "-9.9E+998"},
        {0x7FFF, 0x8000000000000000ULL, 0, " 9.99999999999999999E+998"},
    };
    check_rows(infinities);
    // NaNs and the encodings the x87 rejects as invalid operands
    // (unnormals, pseudo-infinities, pseudo-NaNs) are written like a NaN.
    const RawRow invalid[] = {
        {0x7FFF, 0xC000000000000000ULL, 7, " 0"},  // quiet NaN
        {0xFFFF, 0xC000000000000000ULL, 7, " 0"},  // indefinite
        {0x7FFF, 0x8000000000000001ULL, 7, " 0"},  // signalling NaN
        {0x7FFF, 0xFFFFFFFFFFFFFFFFULL, 18, " 0"},
        {0x7FFF, 0x0000000000000000ULL, 7, " 0"},  // pseudo-infinity
        {0xFFFF, 0x0000000000000000ULL, 7, " 0"},
        {0x7FFF, 0x4000000000000000ULL, 7, " 0"},  // pseudo-NaN
        {0x3FFF, 0x4000000000000000ULL, 7, " 0"},  // unnormal that would be 0.5
        {0x0001, 0x7FFFFFFFFFFFFFFFULL, 18, " 0"}, // unnormal, lowest exponent
        {0x7FFE, 0x0000000000000000ULL, 18, " 0"}, // unnormal zero, highest exponent
        {0xC000, 0x0000000000000001ULL, 18, " 0"},
    };
    check_rows(invalid);
    EXPECT_EQ(number_text(std::numeric_limits<long double>::quiet_NaN(), 7), " 0");
    EXPECT_EQ(number_text(-std::numeric_limits<long double>::infinity(), 7), "-9.999999E+998");
}

TEST(NumberText, ExtremesOfTheRange) {
    const RawRow rows[] = {
        {0x7FFE, 0xFFFFFFFFFFFFFFFFULL, 18, " 1.18973149535723177E+4932"},  // largest finite
        {0x7FFE, 0xFFFFFFFFFFFFFFFFULL, 7, " 1.189731E+4932"},
        {0xFFFE, 0xFFFFFFFFFFFFFFFFULL, 1, "-1E+4932"},
        {0x0001, 0x8000000000000000ULL, 18, " 3.36210314311209351E-4932"},  // smallest normal
        {0x0001, 0x8000000000000000ULL, 7, " 3.362103E-4932"},
        {0x8001, 0x8000000000000000ULL, 3, "-3.36E-4932"},
        {0x0001, 0xFFFFFFFFFFFFFFFFULL, 18, " 6.72420628622418701E-4932"},
        {0x7FFE, 0x8000000000000000ULL, 18, " 5.94865747678615883E+4931"},
    };
    check_rows(rows);
}

TEST(NumberText, PowersOfTenAcrossTheRange) {
    // The nearest 80-bit value to 10^k is within 2^-64 relative, so every
    // n gives exactly "1E+k"; exact powers up to 10^27 give plain digits.
    struct Row {
        long double value;
        const char* text;
    };
    const Row rows[] = {
        {1E-4931L, " 1E-4931"}, {1E-4000L, " 1E-4000"}, {1E-1000L, " 1E-1000"}, {1E-400L, " 1E-400"},
        {1E-337L, " 1E-337"}, {1E-308L, " 1E-308"}, {1E-100L, " 1E-100"}, {1E-19L, " 1E-19"},
        {1E-18L, " .000000000000000001"}, {1E-1L, " .1"}, {1E17L, " 100000000000000000"},
        {1E18L, " 1E+18"}, {1E19L, " 1E+19"}, {1E27L, " 1E+27"}, {1E28L, " 1E+28"}, {1E100L, " 1E+100"},
        {1E308L, " 1E+308"}, {1E365L, " 1E+365"}, {1E400L, " 1E+400"}, {1E1000L, " 1E+1000"},
        {1E4000L, " 1E+4000"}, {1E4932L, " 1E+4932"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(number_text(r.value, 18), r.text);
        const Raw80 raw = text::detail::raw_bits(r.value);
        EXPECT_EQ(ref::text(raw.significand, raw.sign_exponent, 18), r.text);
    }
}

TEST(NumberText, CarriesIntoANewDigit) {
    const RawRow rows[] = {
        // 10^20 - 8: eighteen nines then 92, the 18-digit rounding carries.
        {0x4041, 0xAD78EBC5AC61FFFFULL, 18, " 1E+20"},
        // 2^64 - 1 = 18446744073709551615: digit 19 is 1, no carry.
        {0x403E, 0xFFFFFFFFFFFFFFFFULL, 18, " 1.84467440737095516E+19"},
        {0x403E, 0xFFFFFFFFFFFFFFFFULL, 3, " 1.84E+19"},
        {0x403E, 0xFFFFFFFFFFFFFFFFULL, 2, " 1.8E+19"},
        // 999999999999999999 (18 nines) with n below 18 carries into a 19th place.
        {0x403A, 0xDE0B6B3A763FFFF0ULL, 18, " 999999999999999999"},
        {0x403A, 0xDE0B6B3A763FFFF0ULL, 17, " 1E+18"},
        {0x403A, 0xDE0B6B3A763FFFF0ULL, 1, " 1E+18"},
    };
    check_rows(rows);
    EXPECT_EQ(number_text(9.96, 2), " 10");
    EXPECT_EQ(number_text(99.5L, 2), " 1E+2");  // tie, odd 9: up, three digits before the point
    EXPECT_EQ(number_text(0.0996, 2), " .1");
    EXPECT_EQ(number_text(-999999.5L, 6), "-1E+6");
}

TEST(NumberText, TiesAtDigitNPlusOne) {
    EXPECT_EQ(number_text(0.125L, 2), " .12");  // even: stays
    EXPECT_EQ(number_text(0.135L, 2), " .14");  // not exact; 18 digits end ...500000008
    EXPECT_EQ(number_text(1.5L, 1), " 2");
    EXPECT_EQ(number_text(4.5L, 1), " 4");
    EXPECT_EQ(number_text(-4.5L, 1), "-4");
    EXPECT_EQ(number_text(1234.5L, 4), " 1234");
    EXPECT_EQ(number_text(1235.5L, 4), " 1236");
    // Only digit n+1 counts: double 0.45 is 0.450000000000000011..., 4 5 0 ...
    // at 18 digits, so it ties to .4 at n = 1 although it is above .45.
    EXPECT_EQ(number_text(0.45, 1), " .4");
    EXPECT_EQ(number_text(0.45, 2), " .45");
}

TEST(NumberText, TiesAtDigitNineteen) {
    // Integers with 19 digits ending in 5 are exact in 64 bits.
    const RawRow rows[] = {
        {0x403A, 0xDE0B6B3A76400050ULL, 18, " 1E+18"},                   // 1000000000000000005: even, down
        {0x403A, 0xDE0B6B3A764000F0ULL, 18, " 1.00000000000000002E+18"}, // ...015: odd, up
        {0x403A, 0xDE0B6B3A76400190ULL, 18, " 1.00000000000000002E+18"}, // ...025: even, down
        {0x403A, 0xDE0B6B3A76400060ULL, 18, " 1.00000000000000001E+18"}, // ...006: above the tie
    };
    check_rows(rows);
    // u * 2^-j with u * 5^j of 19 digits: a decimal tie far below 1.
    const Raw80 tie = scaled(10487, -20);  // 0.0100011825561523437|5
    EXPECT_EQ(text::detail::number_text_raw(tie, 18), " 1.00011825561523438E-2");
    const Raw80 above = {tie.significand + 1, tie.sign_exponent};
    EXPECT_EQ(text::detail::number_text_raw(above, 18), " 1.00011825561523438E-2");
    const Raw80 below = {tie.significand - 1, tie.sign_exponent};
    EXPECT_EQ(text::detail::number_text_raw(below, 18), " 1.00011825561523437E-2");
}

TEST(NumberText, FarExponentsAndTableBoundaries) {
    // Powers of ten near the ends of the range, and values on both sides of
    // each point where the fast path moves to the next far power (10^-K
    // with K at a multiple of 728 from -336), each with a 5 at digit n+1.
    const RawRow rows[] = {
        // nearest to 1E4900, then one unit above and below
        {0x7F94, 0xAE9204275937A4C1ULL, 18, " 1E+4900"},
        {0x7F94, 0xAE9204275937A4C2ULL, 18, " 1E+4900"},
        {0x7F94, 0xAE9204275937A4C0ULL, 18, " 1E+4900"},
        {0xFF94, 0xAE9204275937A4C1ULL, 7, "-1E+4900"},
        {0x7F94, 0xA42A5F87D0A7DEDDULL, 13, " 9.40397357525E+4899"},  // digit 14 is 5
        // nearest to 1E4901, then one unit above and below
        {0x7F97, 0xDA3685312F858DF1ULL, 18, " 1E+4901"},
        {0x7F97, 0xDA3685312F858DF2ULL, 18, " 1E+4901"},
        {0x7F97, 0xDA3685312F858DF0ULL, 18, " 1E+4901"},
        {0xFF97, 0xDA3685312F858DF1ULL, 7, "-1E+4901"},
        {0x7F97, 0x8B108BD5460F2054ULL, 16, " 6.372885799545646E+4900"},  // digit 17 is 5
        // nearest to 1E-4900, then one unit above and below
        {0x0069, 0xBBB4DF56BAF62972ULL, 18, " 1E-4900"},
        {0x0069, 0xBBB4DF56BAF62973ULL, 18, " 1E-4900"},
        {0x0069, 0xBBB4DF56BAF62971ULL, 18, " 1E-4900"},
        {0x8069, 0xBBB4DF56BAF62972ULL, 7, "-1E-4900"},
        {0x0069, 0xEB5DF1CD3C51DD64ULL, 14, " 1.2539093191938E-4900"},  // digit 15 is 5
        // nearest to 1E-4901, then one unit above and below
        {0x0066, 0x962A4C45625E878FULL, 18, " 1E-4901"},
        {0x0066, 0x962A4C45625E8790ULL, 18, " 1E-4901"},
        {0x0066, 0x962A4C45625E878EULL, 18, " 1E-4901"},
        {0x8066, 0x962A4C45625E878FULL, 7, "-1E-4901"},
        {0x0066, 0xB80FFCD052A07860ULL, 8, " 1.2257328E-4901"},  // digit 9 is 5
        // nearest to 1E4931, then one unit above and below
        {0x7FFB, 0xAC23C22116CBF8A4ULL, 18, " 1E+4931"},
        {0x7FFB, 0xAC23C22116CBF8A5ULL, 18, " 1E+4931"},
        {0x7FFB, 0xAC23C22116CBF8A3ULL, 18, " 1E+4931"},
        {0xFFFB, 0xAC23C22116CBF8A4ULL, 7, "-1E+4931"},
        {0x7FFB, 0xD2D58B7B4302F4A4ULL, 8, " 1.2247854E+4931"},  // digit 9 is 5
        // nearest to 1E-4931, then one unit above and below
        {0x0002, 0xBE5B66ECBCE0B7B1ULL, 18, " 1E-4931"},
        {0x0002, 0xBE5B66ECBCE0B7B2ULL, 18, " 1E-4931"},
        {0x0002, 0xBE5B66ECBCE0B7B0ULL, 18, " 1E-4931"},
        {0x8002, 0xBE5B66ECBCE0B7B1ULL, 7, "-1E-4931"},
        {0x0002, 0xA22D02A30AFAF9D3ULL, 5, " 8.5196E-4932"},  // digit 6 is 5
        // nearest to 1E4721
        {0x7D41, 0xE25E9972B4C4E81BULL, 18, " 1E+4721"},
        {0x7D41, 0xA87199905745D615ULL, 13, " 7.441096433916E+4720"},  // digit 14 is 5
        // nearest to 1E4722
        {0x7D45, 0x8D7B1FE7B0FB1111ULL, 18, " 1E+4722"},
        {0x7D45, 0xC56D135C26E524F1ULL, 6, " 1.39542E+4722"},  // digit 7 is 5
        // nearest to 1E3993
        {0x73CF, 0xAFEEDDB6FE763207ULL, 18, " 1E+3993"},
        {0x73CF, 0xABB0A4E308896D37ULL, 14, " 9.7588256368422E+3992"},  // digit 15 is 5
        // nearest to 1E3994
        {0x73D2, 0xDBEA9524BE13BE89ULL, 18, " 1E+3994"},
        {0x73D2, 0xF019FEBC89E34487ULL, 6, " 1.09178E+3994"},  // digit 7 is 5
        // nearest to 1E3265
        {0x6A5D, 0x88BBF150698C02CFULL, 18, " 1E+3265"},
        {0x6A5D, 0xD11CF75C9292AFD6ULL, 15, " 1.52934104644124E+3265"},  // digit 16 is 5
        // nearest to 1E3266
        {0x6A60, 0xAAEAEDA483EF0383ULL, 18, " 1E+3266"},
        {0x6A60, 0xC2295D813233BC06ULL, 12, " 1.13599466834E+3266"},  // digit 13 is 5
        // nearest to 1E2537
        {0x60EA, 0xD489B7CB6B20970FULL, 18, " 1E+2537"},
        {0x60EA, 0xFF7242209858B978ULL, 6, " 1.20188E+2537"},  // digit 7 is 5
        // nearest to 1E2538
        {0x60EE, 0x84D612DF22F45E69ULL, 18, " 1E+2538"},
        {0x60EE, 0xFDEC36FBE9D414A5ULL, 14, " 1.9115471936514E+2538"},  // digit 15 is 5
        // nearest to 1E1809
        {0x5778, 0xA52EE9EC8366119AULL, 18, " 1E+1809"},
        {0x5778, 0xF25DA36740D29A9CULL, 5, " 1.4672E+1809"},  // digit 6 is 5
        // nearest to 1E1810
        {0x577B, 0xCE7AA467A43F9600ULL, 18, " 1E+1810"},
        {0x577B, 0xCDDAA54D535D1017ULL, 8, " 9.9697312E+1809"},  // digit 9 is 5
        // nearest to 1E1081
        {0x4E06, 0x80612435136E1ABCULL, 18, " 1E+1081"},
        {0x4E06, 0xC8F1AEC848F61108ULL, 6, " 1.56524E+1081"},  // digit 7 is 5
        // nearest to 1E1082
        {0x4E09, 0xA0796D425849A16AULL, 18, " 1E+1082"},
        {0x4E09, 0xD52ADE0D2B851264ULL, 16, " 1.32835861964195E+1082"},  // digit 17 is 5
        // nearest to 1E353
        {0x4493, 0xC78D30C112740D87ULL, 18, " 1E+353"},
        {0x4493, 0xC4E63834C68EA878ULL, 9, " 9.86709046E+352"},  // digit 10 is 5
        // nearest to 1E354
        {0x4496, 0xF9707CF1571110E9ULL, 18, " 1E+354"},
        {0x4496, 0x83E2701906934A6BULL, 15, " 5.28723688208934E+353"},  // digit 16 is 5
        // nearest to 1E-375
        {0x3B21, 0x9B171C48AA8583BAULL, 18, " 1E-375"},
        {0x3B21, 0x8ECB08E28E5D82F5ULL, 6, " 9.2071E-376"},  // digit 7 is 5
        // nearest to 1E-374
        {0x3B24, 0xC1DCE35AD526E4A9ULL, 18, " 1E-374"},
        {0x3B24, 0xABA0AED68BC3A98EULL, 15, " 8.8530460058826E-375"},  // digit 16 is 5
        // nearest to 1E-1103
        {0x31AE, 0xF1120CA21E7D3262ULL, 18, " 1E-1103"},
        {0x31AE, 0xDFAC63D1DBAFD189ULL, 8, " 9.2783394E-1104"},  // digit 9 is 5
        // nearest to 1E-1102
        {0x31B2, 0x96AB47E5530E3F7DULL, 18, " 1E-1102"},
        {0x31B2, 0xDCE05E21EFFC1B14ULL, 3, " 1.46E-1102"},  // digit 4 is 5
        // nearest to 1E-1831
        {0x283C, 0xBB5BCC1BFE46B7DAULL, 18, " 1E-1831"},
        {0x283C, 0x84FEAFD72055FF1CULL, 11, " 7.0984135518E-1832"},  // digit 12 is 5
        // nearest to 1E-1830
        {0x283F, 0xEA32BF22FDD865D0ULL, 18, " 1E-1830"},
        {0x283F, 0xA997DA637DD9F07CULL, 13, " 7.241437170978E-1831"},  // digit 14 is 5
        // nearest to 1E-2559
        {0x1ECA, 0x919D2E99CB386683ULL, 18, " 1E-2559"},
        {0x1ECA, 0x8AB9513C32FCD24BULL, 8, " 9.5268246E-2560"},  // digit 9 is 5
        // nearest to 1E-2558
        {0x1ECD, 0xB6047A403E068023ULL, 18, " 1E-2558"},
        {0x1ECD, 0xEBF0FD38CD262C6CULL, 7, " 1.296256E-2558"},  // digit 8 is 5
        // nearest to 1E-3287
        {0x1557, 0xE25736F100453B48ULL, 18, " 1E-3287"},
        {0x1557, 0xFC1B2CCBAB189F12ULL, 9, " 1.1138349E-3287"},  // digit 10 is 5
        // nearest to 1E-3286
        {0x155B, 0x8D768256A02B450DULL, 18, " 1E-3286"},
        {0x155B, 0xBE4A2955AD519524ULL, 3, " 1.34E-3286"},  // digit 4 is 5
        // nearest to 1E-4015
        {0x0BE5, 0xAFE9206C93AF82E8ULL, 18, " 1E-4015"},
        {0x0BE5, 0xC0B042EFD8802F70ULL, 3, " 1.1E-4015"},  // digit 4 is 5
        // nearest to 1E-4014
        {0x0BE8, 0xDBE36887B89B63A2ULL, 18, " 1E-4014"},
        {0x0BE8, 0xDE769356AE95C217ULL, 16, " 1.011709908139334E-4014"},  // digit 17 is 5
        // nearest to 1E-4743
        {0x0273, 0x88B77B63D707C0F2ULL, 18, " 1E-4743"},
        {0x0273, 0xB6883F1F3601CC99ULL, 3, " 1.34E-4743"},  // digit 4 is 5
        // nearest to 1E-4742
        {0x0276, 0xAAE55A3CCCC9B12EULL, 18, " 1E-4742"},
        {0x0276, 0x8746C0BC7EDD2DB9ULL, 3, " 7.92E-4743"},  // digit 4 is 5
    };
    check_rows(rows);
}

TEST(NumberText, LayoutBoundaries) {
    EXPECT_EQ(number_text(123456789012345678.0L, 18), " 123456789012345678");
    EXPECT_EQ(number_text(1E18L, 18), " 1E+18");
    EXPECT_EQ(number_text(100, 3), " 100");
    EXPECT_EQ(number_text(1000, 3), " 1E+3");
    EXPECT_EQ(number_text(1234, 3), " 1.23E+3");
    EXPECT_EQ(number_text(0.001L, 1), " 1E-3");     // f = 3 > n
    EXPECT_EQ(number_text(0.01L, 2), " .01");       // f = 2 = n
    EXPECT_EQ(number_text(12.5L, 3), " 12.5");
    EXPECT_EQ(number_text(1.25L, 2), " 1.2");
    EXPECT_EQ(number_text(-1.0L / 3.0L, 18), "-.333333333333333333");
    // Longest possible text: 26 bytes.
    const std::string longest = text::detail::number_text_raw({0xFFFFFFFFFFFFFFFFULL, 0xFFFE}, 18);
    EXPECT_EQ(longest.size(), 26u) << longest;
}

// Entry c, t stands for 10^E: |c - 10^E * 2^-t| <= 1/2, that is
// 2c - 1 <= 2^(1+E-t) * 5^E <= 2c + 1, compared exactly after moving
// negative powers to the other side.
void check_power_table(const text::detail::Pow10Entry* table, std::size_t count, int first, int step) {
    for (std::size_t i = 0; i < count; ++i) {
        const int e10 = step * (first + static_cast<int>(i));
        const text::detail::Pow10Entry& t = table[i];
        EXPECT_TRUE(t.hi >> 63) << i;
        const std::uint64_t below_hi = t.lo == 0 ? t.hi - 1 : t.hi;  // c - 1
        ref::Decimal low = ref::from_u128(below_hi, t.lo - 1);
        ref::mul_pow2(low, 1);
        low.add(ref::Decimal(1));  // 2(c - 1) + 1 = 2c - 1
        ref::Decimal high = ref::from_u128(t.hi, t.lo);
        ref::mul_pow2(high, 1);
        high.add(ref::Decimal(1));  // 2c + 1
        ref::Decimal power(1);
        const int twos = 1 + e10 - t.exp2;
        if (twos >= 0) {
            ref::mul_pow2(power, twos);
        } else {
            ref::mul_pow2(low, -twos);
            ref::mul_pow2(high, -twos);
        }
        if (e10 >= 0) {
            ref::mul_pow5(power, e10);
        } else {
            ref::mul_pow5(low, -e10);
            ref::mul_pow5(high, -e10);
        }
        EXPECT_LE(ref::compare(low, power), 0) << "entry for 1E" << e10;
        EXPECT_GE(ref::compare(high, power), 0) << "entry for 1E" << e10;
    }
}

TEST(NumberText, PowerTableIsCorrectlyRounded) {
    std::size_t count = 0;
    const text::detail::Pow10Entry* table = text::detail::pow10_table(count);
    ASSERT_GT(count, 20u);
    check_power_table(table, count, text::detail::pow10_first_index(), 28);
}

TEST(NumberText, FarPowerTableIsCorrectlyRoundedAndReachesTheWholeRange) {
    std::size_t count = 0, near_count = 0;
    const text::detail::Pow10Entry* table = text::detail::pow10_far_table(count);
    text::detail::pow10_table(near_count);
    const int step = text::detail::pow10_far_step(), first = text::detail::pow10_far_first_index();
    check_power_table(table, count, first, step);
    // Every 10^-K the 80-bit range needs (K from -4949 to 4914) is a far
    // power times a near one times 5^b, 0 <= b < 28.
    const int near_low = 28 * text::detail::pow10_first_index();
    const int near_high = near_low + 28 * static_cast<int>(near_count) - 1;
    EXPECT_EQ(near_high - near_low + 1, step);
    EXPECT_LE(step * first + near_low, -4914);
    EXPECT_GE(step * (first + static_cast<int>(count) - 1) + near_high, 4949);
}

// ------------------------------------------------------- random agreement

struct Sample {
    Raw80 raw;
    int n;
};

int random_n(std::mt19937_64& rng) {
    const int pick = static_cast<int>(rng() % 26);
    return pick - 3;  // -3..22: includes 0, negatives and values above 18
}

// Sample counts of the random tests: ZP_TEXT_SAMPLES times the base. The
// build with 32-bit halves runs a quarter, to keep the whole run short.
std::size_t sample_count(std::size_t base) {
    const char* s = std::getenv("ZP_TEXT_SAMPLES");
    const long v = s ? std::strtol(s, nullptr, 10) : 0;
#ifdef ZP_TEXT_NO_INT128
    base /= 4;
#endif
    return base * (v > 0 ? static_cast<std::size_t>(v) : 1);
}

void compare_with_reference(const std::vector<Sample>& samples) {
    int failures = 0;
    for (const Sample& s : samples) {
        const std::string got = text::detail::number_text_raw(s.raw, s.n);
        const std::string want = ref::text(s.raw.significand, s.raw.sign_exponent, s.n);
        if (got != want && ++failures <= 10) {
            ADD_FAILURE() << std::hex << "se=0x" << s.raw.sign_exponent << " m=0x" << s.raw.significand
                          << std::dec << " n=" << s.n << " got [" << got << "] want [" << want << "]";
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(NumberTextRandom, DoublesFloatsAndIntegers) {
    std::mt19937_64 rng(20240611);
    std::vector<Sample> samples;
    const std::size_t count = sample_count(100000);
    for (std::size_t i = 0; i < count; ++i) {
        double d;
        const std::uint64_t bits = rng();
        std::memcpy(&d, &bits, sizeof d);
        samples.push_back({text::detail::raw_bits(d), random_n(rng)});
        float f;
        const std::uint32_t fbits = static_cast<std::uint32_t>(rng());
        std::memcpy(&f, &fbits, sizeof f);
        samples.push_back({text::detail::raw_bits(f), random_n(rng)});
        const auto v = static_cast<std::int32_t>(rng());
        samples.push_back({text::detail::raw_bits(static_cast<long double>(v)), random_n(rng)});
    }
    compare_with_reference(samples);
}

TEST(NumberTextRandom, RawPatternsOverTheWholeExponentRange) {
    // Both sides work with numbers of up to 11,600 bits here (m * 5^4949
    // for the tiniest values), so fewer samples than for doubles.
    std::mt19937_64 rng(77);
    std::vector<Sample> samples;
    const std::size_t count = sample_count(15000);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t m = rng();
        const std::uint64_t kind = rng() % 16;
        if (kind != 0) m |= std::uint64_t{1} << 63;           // mostly canonical
        if (kind == 1) m &= ~std::uint64_t{0} << (rng() % 64);  // short significands
        const auto se = static_cast<std::uint16_t>(rng());
        samples.push_back({{m, se}, random_n(rng)});
    }
    compare_with_reference(samples);
}

TEST(NumberTextRandom, ConstructedTies) {
    // Ties at digit 19 (u * 5^j of 19 digits, value u * 2^-j, and integers
    // T and 10T), their neighbours one unit away, and ties at digit n+1
    // (values with exactly n+1 digits, the last a 5).
    std::mt19937_64 rng(5);
    std::vector<Sample> samples;
    std::uint64_t pow5[28] = {1};
    for (int j = 1; j < 28; ++j) pow5[j] = pow5[j - 1] * 5;
    const std::size_t count = sample_count(20000);
    for (std::size_t i = 0; i < count; ++i) {
        const int j = 1 + static_cast<int>(rng() % 27);
        const std::uint64_t lo = (1000000000000000000ULL + pow5[j] - 1) / pow5[j];
        const std::uint64_t hi = 9999999999999999999ULL / pow5[j];
        if (hi < lo) continue;
        std::uint64_t u = lo + rng() % (hi - lo + 1);
        u |= 1;
        if (u > hi) u -= 2;
        Raw80 tie = scaled(u, -j);
        const bool negative = rng() % 2;
        if (negative) tie.sign_exponent |= 0x8000;
        samples.push_back({tie, 18});
        samples.push_back({{tie.significand + 1, tie.sign_exponent}, 18});
        samples.push_back({{tie.significand - 1, tie.sign_exponent}, 18});
        // Integer tie T (19 digits, last 5) and 10T when 5T fits in 64 bits.
        std::uint64_t t = 1000000000000000000ULL + (rng() % 900000000000000000ULL);
        t = t - t % 10 + 5;
        samples.push_back({scaled(t, 0), 18});
        if (t <= ~std::uint64_t{0} / 5) samples.push_back({scaled(5 * t, 1), 18});
        // Tie at digit n+1: D = u * 5^k with n+1 digits.
        const int k = static_cast<int>(rng() % 20) + 1;
        const std::uint64_t v = (rng() % 100000) | 1;
        if (v <= 999999999999999999ULL / pow5[k]) {
            const std::uint64_t digits = v * pow5[k];
            const int len = static_cast<int>(std::to_string(digits).size());
            if (len >= 2) samples.push_back({scaled(v, -k), len - 1});
        }
    }
    compare_with_reference(samples);
}

TEST(NumberTextRandom, FastAndExactPathsAgree) {
    std::mt19937_64 rng(99);
    const std::size_t count = sample_count(100000);
    int mismatches = 0;
    for (std::size_t i = 0; i < count; ++i) {
        double d;
        const std::uint64_t bits = rng();
        std::memcpy(&d, &bits, sizeof d);
        const Raw80 raw = text::detail::raw_bits(d);
        char fast[18], exact[18];
        int pf = 0, pe = 0;
        text::detail::decimal18(raw, fast, pf, true);
        text::detail::decimal18(raw, exact, pe, false);
        if ((pf != pe || std::string(fast, 18) != std::string(exact, 18)) && ++mismatches <= 5) {
            ADD_FAILURE() << d << ": " << std::string(fast, 18) << "/" << pf << " vs " << std::string(exact, 18) << "/" << pe;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberTextFastPath, DeclinesRarely) {
    using text::detail::Path;
    char digits[18];
    int p = 0;
    // The values the screens show never leave the fast path.
    const long double screen[] = {14.7456f, 7.3728f, 3.6864f, 1.8432f, 1, 2, 8, 16, 115200, 921600,
                                  0.5f, 50, 300, 9600};
    for (long double v : screen) {
        EXPECT_EQ(text::detail::decimal18(text::detail::raw_bits(v), digits, p), Path::fast) << static_cast<double>(v);
    }
    // Random finite doubles: exact ties (common between 2^43 and 2^63,
    // where few fraction bits are left) go to the 64-bit exact path; the
    // big integers are for near-ties within 2^-48 of a unit, next to never.
    std::mt19937_64 rng(1234);
    int fast = 0, small = 0, exact = 0;
    for (int i = 0; i < 100000; ++i) {
        double d;
        const std::uint64_t bits = rng();
        std::memcpy(&d, &bits, sizeof d);
        switch (text::detail::decimal18(text::detail::raw_bits(d), digits, p)) {
            case Path::fast: ++fast; break;
            case Path::exact_small: ++small; break;
            case Path::exact: ++exact; break;
            case Path::special: break;
        }
    }
    std::printf("of %d random finite doubles: %d fast, %d exact in 64 bits, %d big-integer\n",
                fast + small + exact, fast, small, exact);
    EXPECT_LE(exact, 2);
    EXPECT_LE(small, 200);
    EXPECT_GT(fast, 99500);
}

TEST(NumberTextFastPath, DeclinesRarelyOverTheWholeRange) {
    // Random 80-bit values, all exponents: the tables reach every one, so
    // only a rounding decision within 2^-48 of the halfway point declines:
    // exact ties of odd integers between 10^18 and 10^19 (one here), or a
    // chance near-tie (about one value in 2^47).
    using text::detail::Path;
    std::mt19937_64 rng(4711);
    char digits[18];
    int p = 0, declined = 0;
    const int count = 100000;
    for (int i = 0; i < count; ++i) {
        const Raw80 raw{rng() | (std::uint64_t{1} << 63), static_cast<std::uint16_t>(1 + rng() % 0x7FFE)};
        if (text::detail::decimal18(raw, digits, p) != Path::fast) ++declined;
    }
    std::printf("of %d random 80-bit values over the whole range: %d declined by the fast path\n", count, declined);
    EXPECT_LE(declined, 3);
}

TEST(NumberTextFastPath, AgreesWithTheExactPathOverTheWholeRange) {
    std::mt19937_64 rng(31337);
    int mismatches = 0;
    const std::size_t count = sample_count(4000);
    for (std::size_t i = 0; i < count; ++i) {
        const Raw80 raw{rng() | (std::uint64_t{1} << 63), static_cast<std::uint16_t>(1 + rng() % 0x7FFE)};
        char fast[18], exact[18];
        int pf = 0, pe = 0;
        text::detail::decimal18(raw, fast, pf, true);
        text::detail::decimal18(raw, exact, pe, false);
        if ((pf != pe || std::string(fast, 18) != std::string(exact, 18)) && ++mismatches <= 5) {
            ADD_FAILURE() << std::hex << "se=0x" << raw.sign_exponent << " m=0x" << raw.significand << std::dec << ": "
                          << std::string(fast, 18) << "/" << pf << " vs " << std::string(exact, 18) << "/" << pe;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberTextFastPath, NearTiesTooCloseForTheProductAreDecidedExactly) {
    // X = m * 2^t / 5^k with a fraction of 1/2 +- 1/(2 * 5^k): for k from
    // 21 to 27 that is within the fast path's margin, so the decision goes
    // to the exact comparison. m solves m * 2^t = (5^k +- 1) / 2 mod 5^k.
    using u128 = unsigned __int128;
    using text::detail::Path;
    int compared = 0;
    for (int k = 21; k <= 27; ++k) {
        std::uint64_t five_k = 1;
        for (int i = 0; i < k; ++i) five_k *= 5;
        const std::uint64_t inverse_of_two = (five_k + 1) / 2;
        for (int t = 30; t < 60; ++t) {
            const int p0 = static_cast<int>(std::floor((63 + t + k) * 0.30102999566398120)) + 1;
            if (p0 != k + 18) continue;  // the digits' exponent must make X = value / 10^k
            for (const std::uint64_t target : {(five_k + 1) / 2, (five_k - 1) / 2}) {
                std::uint64_t m0 = target;  // target * 2^-t mod 5^k
                for (int i = 0; i < t; ++i) m0 = static_cast<std::uint64_t>(static_cast<u128>(m0) * inverse_of_two % five_k);
                const std::uint64_t top = std::uint64_t{1} << 63;
                const std::uint64_t m = m0 + (top - m0 + five_k - 1) / five_k * five_k;
                const Raw80 raw{m, static_cast<std::uint16_t>(16383 + 63 + t + k)};
                char digits[18];
                int p = 0;
                if (text::detail::decimal18(raw, digits, p) == Path::exact_small) ++compared;
                for (int n : {18, 17}) {
                    EXPECT_EQ(text::detail::number_text_raw(raw, n), ref::text(raw.significand, raw.sign_exponent, n))
                        << "k=" << k << " t=" << t << " n=" << n;
                }
            }
        }
    }
    EXPECT_GE(compared, 7);
}

TEST(NumberText, BufferFormWritesTheSameText) {
    std::mt19937_64 rng(8);
    for (int i = 0; i < 2000; ++i) {
        const Raw80 raw{rng() | (std::uint64_t{1} << 63), static_cast<std::uint16_t>(rng())};
        const long double value = text::detail::from_raw(raw);
        const int n = random_n(rng);
        char out[text::number_text_max];
        const int length = text::number_text_to(out, value, n);
        ASSERT_EQ(std::string(out, static_cast<std::size_t>(length)), number_text(value, n));
    }
}

TEST(NumberText, EightDigitsAtATime) {
    // The digit writer's reciprocal product is exact below 10^8 only if its
    // error never reaches the last pair: the ends of the range in full,
    // every 97th value between.
    char out[8];
    for (std::uint32_t v = 0; v < 100000000u; v += (v < 1000000u || v > 99000000u) ? 1 : 97) {
        text::detail::eight_digits(v, out);
        std::uint32_t w = v;
        for (int i = 7; i >= 0; --i, w /= 10) {
            if (out[i] != static_cast<char>('0' + w % 10)) {
                FAIL() << v << " gives " << std::string(out, 8);
            }
        }
    }
}

TEST(NumberTextBuild, SixtyFourBitProductsAsConfigured) {
    // The build with ZP_TEXT_NO_INT128 must run the 32-bit halves, the only
    // path of the i686 DLL.
#if defined(__SIZEOF_INT128__) && !defined(ZP_TEXT_NO_INT128)
    EXPECT_TRUE(text::detail::native_128());
#else
    EXPECT_FALSE(text::detail::native_128());
#endif
}

TEST(GoldenRows, MatchReferenceAndCode) {
    ASSERT_GT(sizeof zp_golden::kRows / sizeof zp_golden::kRows[0], 100u);
    for (const zp_golden::Row& r : zp_golden::kRows) {
        EXPECT_EQ(ref::text(r.significand, r.sign_exponent, r.digits), r.text)
            << std::hex << r.sign_exponent << " " << r.significand << std::dec << " n=" << r.digits;
        EXPECT_EQ(text::detail::number_text_raw({r.significand, r.sign_exponent}, r.digits), r.text);
    }
}

TEST(RawBits, RoundTripThroughLongDouble) {
    const Raw80 r = text::detail::raw_bits(-1.5L);
    EXPECT_EQ(r.sign_exponent, 0xBFFF);
    EXPECT_EQ(r.significand, 0xC000000000000000ULL);
    const long double back = text::detail::from_raw({0x8000000000000000ULL, 0x4000});
    EXPECT_EQ(back, 2.0L);
}

}  // namespace

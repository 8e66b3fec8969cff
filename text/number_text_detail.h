// Internals of number_text, visible to its tests: the raw fields of an
// 80-bit value, the 18-digit conversion with a choice of path, and the
// table behind the fast path, so tests can check each part on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace text::detail {

// The x87 extended format as it sits in memory: 64-bit significand with an
// explicit integer bit, then 1 sign bit and a 15-bit exponent (bias 16383).
struct Raw80 {
    std::uint64_t significand;
    std::uint16_t sign_exponent;
};

Raw80 raw_bits(long double value);
long double from_raw(Raw80 raw);

// The text of a value given as raw bits; number_text and number_text_to
// are these applied to the bits of their argument.
std::string number_text_raw(Raw80 raw, int digits);
int number_text_raw_to(char* out, Raw80 raw, int digits);

// Whether 64x64->128-bit products use the compiler's 128-bit type (false in
// builds for i686 and in those with ZP_TEXT_NO_INT128 defined).
bool native_128();

// v < 10^8 as exactly eight digits, the way the 18 digits are written.
void eight_digits(std::uint32_t v, char out[8]);

enum class Path {
    special,  // zero, subnormal, infinity, NaN or invalid encoding: no digits
    fast,     // one exact product near 1, else a product with table powers of ten
    exact_small,  // exact in 64- or 128-bit integers: ties and near-ties with |K| <= 27
    exact,    // big-integer division
};

// The magnitude rounded to 18 significant digits, ties to even: digits
// receives d1..d18 as '0'..'9', exponent receives P (magnitude is about
// 0.d1d2...d18 * 10^P). With allow_fast false only the exact paths run.
Path decimal18(Raw80 raw, char digits[18], int& exponent, bool allow_fast = true);

// Powers 10^(28 * index + 28 * pow10_first_index()) as 128-bit significands
// rounded to nearest: value = (hi * 2^64 + lo) * 2^exp2, hi >= 2^63.
struct Pow10Entry {
    std::uint64_t hi;
    std::uint64_t lo;
    int exp2;
};
int pow10_first_index();
const Pow10Entry* pow10_table(std::size_t& count);

// The far powers, the same way: 10^(pow10_far_step() * (index +
// pow10_far_first_index())); one of them times one of the table above
// reaches the whole 80-bit range.
int pow10_far_first_index();
int pow10_far_step();
const Pow10Entry* pow10_far_table(std::size_t& count);

}  // namespace text::detail

// Texts of the screens: byte strings with an explicit length, joined by
// concatenation from left to right, and the two ways numbers and character
// codes become text. Portable: no Windows header, so the same code runs in
// the DLL and in the native tests, byte for byte.
#pragma once

#include <initializer_list>
#include <string>

namespace text {

// A number as text with `digits` significant digits (1 to 18; 0, negative
// and anything above 18 mean 18). Layout, as input -> output:
//   14.7456f, 7   -> " 14.7456"      (leading space for a non-negative value)
//   -2.5, 7       -> "-2.5"
//   0.5, 7        -> " .5"           (no zero before the point)
//   10000000, 7   -> " 1E+7"         (more whole digits than `digits`)
//   0.00000123, 7 -> " 1.23E-6"      (more fraction digits than `digits`)
//   2.5, 1        -> " 2"            (ties on digit n+1 go to an even digit n)
//   0, NaN        -> " 0"
//   +infinity, 7  -> " 9.999999E+998"
// The result is at most 26 bytes (number_text_max).
std::string number_text(long double value, int digits);

// The same text written to out, which must hold number_text_max bytes (all
// of them may be written; the text is the first `length` of them, with no
// terminating NUL). Returns the length.
constexpr int number_text_max = 26;
int number_text_to(char* out, long double value, int digits);

// One byte per code, its low 8 bits; the code -1 adds nothing.
// char_codes({13, 10}) is the line break of every text of several lines.
std::string char_codes(std::initializer_list<int> codes);

}  // namespace text

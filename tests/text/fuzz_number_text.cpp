// libFuzzer target: 10 bytes of an 80-bit value (as in memory) and one byte
// for the digit count. Checks the shape of every text and its agreement
// with the reference model.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reference.h"
#include "text/number_text_detail.h"

namespace {

void fail(const char* what, const std::string& s, const text::detail::Raw80& r, int n) {
    std::fprintf(stderr, "%s: [%s] se=0x%04X m=0x%016llX n=%d\n", what, s.c_str(), r.sign_exponent,
                 static_cast<unsigned long long>(r.significand), n);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 11) return 0;
    text::detail::Raw80 r;
    std::memcpy(&r.significand, data, 8);
    r.sign_exponent = static_cast<std::uint16_t>(data[8] | (data[9] << 8));
    const int n = static_cast<std::int8_t>(data[10]);

    const std::string s = text::detail::number_text_raw(r, n);
    if (s.empty() || s.size() > 26) fail("length", s, r, n);
    if (s[0] != ' ' && s[0] != '-') fail("sign character", s, r, n);
    if (s.find_first_not_of("0123456789.E+-", 1) != std::string::npos) fail("character", s, r, n);
    const std::size_t e = s.find('E');
    const std::string mantissa = s.substr(1, e == std::string::npos ? std::string::npos : e - 1);
    if (mantissa.empty() || mantissa.find_first_of("+-") != std::string::npos) fail("mantissa", s, r, n);
    const std::size_t point = mantissa.find('.');
    if (point != std::string::npos) {
        if (mantissa.back() == '.' || mantissa.back() == '0') fail("trailing point or zero", s, r, n);
        if (mantissa.find('.', point + 1) != std::string::npos) fail("two points", s, r, n);
    }
    if (s != ref::text(r.significand, r.sign_exponent, n)) {
        fail(("reference says [" + ref::text(r.significand, r.sign_exponent, n) + "], code").c_str(), s, r, n);
    }
    return 0;
}

// An independent, slow and simple model of number_text for the tests: the
// exact decimal expansion of the value in base-10^9 big integers, rounded
// by looking at every digit. It shares no code with the production path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ref {

// Unsigned big integer in base 10^9, least significant limb first.
class Decimal {
public:
    explicit Decimal(std::uint64_t v = 0);
    void mul(std::uint32_t f);  // f < 2^32
    void add(const Decimal& other);
    std::string str() const;  // no leading zeros; "0" for zero
    friend int compare(const Decimal& a, const Decimal& b);

private:
    std::vector<std::uint32_t> limbs_;
};

int compare(const Decimal& a, const Decimal& b);
Decimal from_u128(std::uint64_t hi, std::uint64_t lo);
void mul_pow2(Decimal& d, int e);
void mul_pow5(Decimal& d, int e);

// 18 significant digits, ties to even, and P; only for finite normal values.
void digits18(std::uint64_t significand, std::uint16_t sign_exponent, std::string& digits, int& p);

// The full text, following the written rules step by step.
std::string text(std::uint64_t significand, std::uint16_t sign_exponent, int n);

}  // namespace ref

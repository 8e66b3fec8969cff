#include "reference.h"

#include <algorithm>

namespace ref {

constexpr std::uint32_t kBase = 1000000000u;

Decimal::Decimal(std::uint64_t v) {
    while (v) {
        limbs_.push_back(static_cast<std::uint32_t>(v % kBase));
        v /= kBase;
    }
}

void Decimal::mul(std::uint32_t f) {
    std::uint64_t carry = 0;
    for (auto& l : limbs_) {
        const std::uint64_t t = static_cast<std::uint64_t>(l) * f + carry;
        l = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    while (carry) {
        limbs_.push_back(static_cast<std::uint32_t>(carry % kBase));
        carry /= kBase;
    }
}

void Decimal::add(const Decimal& o) {
    if (limbs_.size() < o.limbs_.size()) limbs_.resize(o.limbs_.size(), 0);
    std::uint32_t carry = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
        std::uint32_t t = limbs_[i] + carry + (i < o.limbs_.size() ? o.limbs_[i] : 0);
        carry = t >= kBase;
        limbs_[i] = carry ? t - kBase : t;
    }
    if (carry) limbs_.push_back(1);
}

std::string Decimal::str() const {
    if (limbs_.empty()) return "0";
    std::string s = std::to_string(limbs_.back());
    for (std::size_t i = limbs_.size() - 1; i-- > 0;) {
        std::string part = std::to_string(limbs_[i]);
        s += std::string(9 - part.size(), '0') + part;
    }
    return s;
}

int compare(const Decimal& a, const Decimal& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;) {
        if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
}

Decimal from_u128(std::uint64_t hi, std::uint64_t lo) {
    Decimal d(hi);
    d.mul(1u << 31);
    d.mul(1u << 31);
    d.mul(4);
    d.add(Decimal(lo));
    return d;
}

void mul_pow2(Decimal& d, int e) {
    for (; e >= 31; e -= 31) d.mul(1u << 31);
    if (e > 0) d.mul(1u << e);
}

void mul_pow5(Decimal& d, int e) {
    for (; e >= 13; e -= 13) d.mul(1220703125u);
    std::uint32_t f = 1;
    while (e-- > 0) f *= 5;
    d.mul(f);
}

void digits18(std::uint64_t significand, std::uint16_t sign_exponent, std::string& digits, int& p) {
    // value = significand * 2^q; for q < 0 it is significand * 5^-q / 10^-q.
    const int q = (sign_exponent & 0x7FFF) - 16383 - 63;
    Decimal d(significand);
    if (q >= 0) mul_pow2(d, q); else mul_pow5(d, -q);
    std::string s = d.str();
    p = static_cast<int>(s.size()) + (q < 0 ? q : 0);
    if (s.size() <= 18) {
        digits = s + std::string(18 - s.size(), '0');
        return;
    }
    digits = s.substr(0, 18);
    const char next = s[18];
    const bool rest_zero = s.find_first_not_of('0', 19) == std::string::npos;
    const bool up = next > '5' || (next == '5' && (!rest_zero || (digits[17] - '0') % 2 == 1));
    if (!up) return;
    int i = 17;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i < 0) {
        digits = "1" + std::string(17, '0');
        ++p;
    } else {
        ++digits[i];
    }
}

std::string text(std::uint64_t significand, std::uint16_t sign_exponent, int n) {
    if (n <= 0 || n > 18) n = 18;
    const int exponent_field = sign_exponent & 0x7FFF;
    const bool integer_bit = significand >> 63;
    const std::string sign = (sign_exponent & 0x8000) ? "-" : " ";
    if (exponent_field == 0 || !integer_bit) return " 0";
    if (exponent_field == 0x7FFF) {
        if (significand != (std::uint64_t{1} << 63)) return " 0";
        return sign + "9" + (n > 1 ? "." + std::string(n - 1, '9') : "") + "E+998";
    }
    std::string all;
    int p = 0;
    digits18(significand, sign_exponent, all, p);

    std::string dig = all.substr(0, n);
    if (n < 18) {
        const char next = all[n];
        if (next > '5' || (next == '5' && (dig.back() - '0') % 2 == 1)) {
            // Add one unit in the n-th place as a decimal string addition.
            std::string sum;
            int carry = 1;
            for (int i = n - 1; i >= 0; --i) {
                const int v = dig[i] - '0' + carry;
                carry = v / 10;
                sum.insert(sum.begin(), static_cast<char>('0' + v % 10));
            }
            if (carry) {
                sum = "1" + sum.substr(0, n - 1);
                ++p;
            }
            dig = sum;
        }
    }
    dig.erase(dig.find_last_not_of('0') + 1);
    const int d = static_cast<int>(dig.size());

    auto exponent_form = [&] {
        std::string s = dig.substr(0, 1);
        if (d > 1) s += "." + dig.substr(1);
        const int e = p - 1;
        return s + "E" + (e >= 0 ? "+" : "-") + std::to_string(e >= 0 ? e : -e);
    };
    if (p >= d) return sign + (p <= n ? dig + std::string(p - d, '0') : exponent_form());
    if (d - p > n) return sign + exponent_form();
    if (p <= 0) return sign + "." + std::string(-p, '0') + dig;
    return sign + dig.substr(0, p) + "." + dig.substr(p);
}

}  // namespace ref

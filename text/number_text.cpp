// Numbers as text, exactly, from the raw bits of the 80-bit x87 value.
//
// No floating-point arithmetic and no C runtime conversion is used: the
// mingw runtime's printf does not treat long double as 80-bit, and the text
// must be the same byte for byte in the DLL (i686) and in native builds,
// whatever the x87 precision control says. Everything below is 32/64-bit
// integer arithmetic; 64x64->128 products are built from 32-bit halves
// because i686 has no 128-bit integer type.
#include "text/text.h"
#include "text/number_text_detail.h"

#include <cstring>

namespace text {
namespace detail {
namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

constexpr int kDigits = 18;
constexpr u64 kTen17 = 100000000000000000ULL;
constexpr u64 kTen18 = 1000000000000000000ULL;

// ---------------------------------------------------------------- 128-bit

struct U128 {
    u64 hi;
    u64 lo;
};

U128 mul64(u64 a, u64 b) {
    const u64 a0 = static_cast<u32>(a), a1 = a >> 32;
    const u64 b0 = static_cast<u32>(b), b1 = b >> 32;
    const u64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const u64 mid = (p00 >> 32) + static_cast<u32>(p01) + static_cast<u32>(p10);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | static_cast<u32>(p00)};
}

// 192-bit product of a 128-bit and a 64-bit number; w2 most significant.
struct U192 {
    u64 w2;
    u64 w1;
    u64 w0;
};

U192 mul128x64(U128 a, u64 b) {
    const U128 low = mul64(a.lo, b);
    const U128 high = mul64(a.hi, b);
    const u64 w1 = low.hi + high.lo;
    return {high.hi + (w1 < low.hi ? 1 : 0), w1, low.lo};
}

int leading_zeros(u64 x) {  // x != 0
    int n = 0;
    while (!(x >> 63)) {
        x <<= 1;
        ++n;
    }
    return n;
}

// Quotient of (hi:lo) / d for hi < d, so that it fits in 64 bits.
u64 div128by64(u64 hi, u64 lo, u64 d) {
    u64 quotient = 0;
    for (int i = 63; i >= 0; --i) {
        const bool carry = (hi >> 63) != 0;
        hi = (hi << 1) | ((lo >> i) & 1);
        if (carry || hi >= d) {
            hi -= d;
            quotient |= u64{1} << i;
        }
    }
    return quotient;
}

// floor(v / 2^s) for negative v too, without relying on how >> treats signs.
long long floor_shift(long long v, int s) {
    if (v >= 0) return v >> s;
    return -((-v + (1LL << s) - 1) >> s);
}

constexpr u64 kPow5[28] = {
    1ULL, 5ULL, 25ULL, 125ULL, 625ULL, 3125ULL, 15625ULL, 78125ULL, 390625ULL,
    1953125ULL, 9765625ULL, 48828125ULL, 244140625ULL, 1220703125ULL,
    6103515625ULL, 30517578125ULL, 152587890625ULL, 762939453125ULL,
    3814697265625ULL, 19073486328125ULL, 95367431640625ULL, 476837158203125ULL,
    2384185791015625ULL, 11920928955078125ULL, 59604644775390625ULL,
    298023223876953125ULL, 1490116119384765625ULL, 7450580596923828125ULL,
};

// 10^(28a) for a in -12..13: enough for every value a double can hold
// (10^-K with K from -341 to 291); other values take the exact path.
constexpr int kPow10First = -12;
constexpr Pow10Entry kPow10[] = {
    {0xE3E27A444D8D98B7ULL, 0xFD1B1B2308169B25ULL, -1244},  // 1E-336
    {0xE61ACF033D1A45DFULL, 0x6FB92487298E33BEULL, -1151},  // 1E-308
    {0xE858AD248F5C22C9ULL, 0xD1B3400F8F9CFF69ULL, -1058},  // 1E-280
    {0xEA9C227723EE8BCBULL, 0x465E15A979C1CADCULL, -965},   // 1E-252
    {0xECE53CEC4A314EBDULL, 0xA4F8BF5635246428ULL, -872},   // 1E-224
    {0xEF340A98172AACE4ULL, 0x86FB897116C87C35ULL, -779},   // 1E-196
    {0xF18899B1BC3F8CA1ULL, 0xDC44E6C3CB279AC2ULL, -686},   // 1E-168
    {0xF3E2F893DEC3F126ULL, 0x5A89DBA3C3EFCCFBULL, -593},   // 1E-140
    {0xF64335BCF065D37DULL, 0x4D4617B5FF4A16D6ULL, -500},   // 1E-112
    {0xF8A95FCF88747D94ULL, 0x75A44C6397CE912AULL, -407},   // 1E-84
    {0xFB158592BE068D2EULL, 0xEED6E2F0F0D56713ULL, -314},   // 1E-56
    {0xFD87B5F28300CA0DULL, 0x8BCA9D6E188853FCULL, -221},   // 1E-28
    {0x8000000000000000ULL, 0x0000000000000000ULL, -127},   // 1E0
    {0x813F3978F8940984ULL, 0x4000000000000000ULL, -34},    // 1E28
    {0x82818F1281ED449FULL, 0xBFF8F10E7A8921A4ULL, 59},     // 1E56
    {0x83C7088E1AAB65DBULL, 0x792667C6DA79E0FAULL, 152},    // 1E84
    {0x850FADC09923329EULL, 0x03E2CF6BC604DDB0ULL, 245},    // 1E112
    {0x865B86925B9BC5C2ULL, 0x0B8A2392BA45A9B2ULL, 338},    // 1E140
    {0x87AA9AFF79042286ULL, 0x90FB44D2F05D0843ULL, 431},    // 1E168
    {0x88FCF317F22241E2ULL, 0x441FECE3BDF81F03ULL, 524},    // 1E196
    {0x8A5296FFE33CC92FULL, 0x82BD6B70D99AAA70ULL, 617},    // 1E224
    {0x8BAB8EEFB6409C1AULL, 0x1AD089B6C2F7548EULL, 710},    // 1E252
    {0x8D07E33455637EB2ULL, 0xDB0B487B6423E1E8ULL, 803},    // 1E280
    {0x8E679C2F5E44FF8FULL, 0x570F09EAA7EA7648ULL, 896},    // 1E308
    {0x8FCAC257558EE4E6ULL, 0x213A4F0AA5E8A7B2ULL, 989},    // 1E336
    {0x91315E37DB165AA9ULL, 0x2C0DE8DD3D020C0CULL, 1082},   // 1E364
};
constexpr int kPow10Count = static_cast<int>(sizeof kPow10 / sizeof kPow10[0]);

// ----------------------------------------------------------- fast path
//
// X = value / 10^K as 64.64 fixed point from one 128-bit table power times
// an exact 5^b, then times the significand. Relative error of the power is
// below 2^-126 (table rounding 2^-128, one truncation 2^-127) and X < 10^19
// < 2^63.2, so X is off by less than 2^-62 plus 2^-64 for the final shift:
// under 8 units of the fraction word. The path declines whenever the
// rounding decision lies within kMargin of the computed value, which covers
// that error many times over and every exact tie.
constexpr u64 kMargin = u64{1} << 16;

// Sets x to the integer part and frac to the fraction (units of 2^-64) of
// m * 2^q / 10^k; false if the table does not cover 10^-k.
bool fixed_point(u64 m, int q, int k, u64& x, u64& frac) {
    const int e = -k;
    const int a = e >= 0 ? e / 28 : -((-e + 27) / 28);
    const int b = e - 28 * a;
    const int index = a - kPow10First;
    if (index < 0 || index >= kPow10Count) return false;
    const Pow10Entry& entry = kPow10[index];
    U128 power{entry.hi, entry.lo};
    int exp2 = entry.exp2;
    if (b != 0) {  // times 5^b (b >= 1, so the product exceeds 2^128), kept to 128 bits
        const U192 p = mul128x64(power, kPow5[b]);
        const int lz = leading_zeros(p.w2);
        if (lz == 0) {
            power = {p.w2, p.w1};
        } else {
            power = {(p.w2 << lz) | (p.w1 >> (64 - lz)), (p.w1 << lz) | (p.w0 >> (64 - lz))};
        }
        exp2 += b + 64 - lz;
    }
    // value * 10^e * 2^64 = z * 2^(q + exp2 + 64), with z = m * power < 2^192.
    const U192 z = mul128x64(power, m);
    // z >= 2^190 and X < 2^63.2 put the shift in 63..72.
    const int shift = -(q + exp2 + 64);
    if (shift < 64) {
        if (shift < 1 || (z.w2 >> shift) != 0) return false;
        x = (z.w2 << (64 - shift)) | (z.w1 >> shift);
        frac = (z.w1 << (64 - shift)) | (z.w0 >> shift);
    } else if (shift == 64) {
        x = z.w2;
        frac = z.w1;
    } else {
        if (shift >= 128) return false;
        const int s = shift - 64;
        x = z.w2 >> s;
        frac = (z.w1 >> s) | (z.w2 << (64 - s));
    }
    return true;
}

// ------------------------------------------------- exact, in 64 bits
//
// Values whose decimal expansion is an integer N < 2^64 times a power of
// ten (small whole numbers, and u * 2^-j with u * 5^j < 2^64: every exact
// tie a double can hold). X is then N scaled by at most a few powers of
// ten, so integer part and fraction are exact.
bool exact_small(u64 m, int q, int k, u64& x, int& half, bool& rest_zero) {
    int tz = 0;
    while (!((m >> tz) & 1)) ++tz;  // m != 0
    const u64 odd = m >> tz;
    const int e2 = q + tz;  // value = odd * 2^e2
    u64 n = 0;
    int e10 = 0;  // value = n * 10^e10
    if (e2 >= 0) {
        if (e2 > 0 && (e2 >= 64 || (odd >> (64 - e2)) != 0)) return false;
        n = odd << e2;
    } else {
        if (-e2 > 27 || odd > ~u64{0} / kPow5[-e2]) return false;
        n = odd * kPow5[-e2];
        e10 = e2;
    }
    // X = n * 10^(e10 - k); X lies in [10^17, 10^19).
    const int s = e10 - k;
    if (s >= 0) {
        for (int i = 0; i < s; ++i) n *= 10;  // stays below 10^19
        x = n;
        half = -1;
        rest_zero = true;
        return true;
    }
    if (-s > 19) return false;
    u64 divisor = 1;
    for (int i = 0; i < -s; ++i) divisor *= 10;
    x = n / divisor;
    const u64 rem = n - x * divisor;
    rest_zero = rem == 0;
    half = rem == divisor - rem ? 0 : (rem > divisor - rem ? 1 : -1);
    return true;
}

// ----------------------------------------------------------- exact path
//
// Big integers of 32-bit limbs, least significant first, on the stack. The
// largest number is m * 5^4949 for the smallest normal value (K = -4949):
// 64 + ceil(4949 * log2 5) = 11556 bits. For the largest value (K = 4914)
// the numerator is m * 2^11406 (11470 bits) over 5^4914 (11410 bits). The
// product quotient * denominator and twice the remainder add at most 65
// bits to the denominator, so 11621 bits, 364 limbs, bound everything.
constexpr int kLimbs = 368;

struct Big {
    u32 limb[kLimbs];
    int size;  // limbs in use; no leading zero limb
};

void big_set(Big& a, u64 v) {
    a.limb[0] = static_cast<u32>(v);
    a.limb[1] = static_cast<u32>(v >> 32);
    a.size = a.limb[1] ? 2 : (a.limb[0] ? 1 : 0);
}

void big_mul32(Big& a, u32 f) {
    u64 carry = 0;
    for (int i = 0; i < a.size; ++i) {
        const u64 t = static_cast<u64>(a.limb[i]) * f + carry;
        a.limb[i] = static_cast<u32>(t);
        carry = t >> 32;
    }
    if (carry) a.limb[a.size++] = static_cast<u32>(carry);
}

void big_mul_pow5(Big& a, int e) {
    for (; e >= 13; e -= 13) big_mul32(a, 1220703125u);  // 5^13, the largest power of 5 in 32 bits
    if (e > 0) big_mul32(a, static_cast<u32>(kPow5[e]));
}

void big_shl(Big& a, int bits) {
    if (a.size == 0) return;
    const int words = bits / 32, b = bits % 32;
    if (b) {
        a.limb[a.size] = 0;
        for (int i = a.size; i > 0; --i) a.limb[i] = (a.limb[i] << b) | (a.limb[i - 1] >> (32 - b));
        a.limb[0] <<= b;
        if (a.limb[a.size]) ++a.size;
    }
    if (words) {
        for (int i = a.size - 1; i >= 0; --i) a.limb[i + words] = a.limb[i];
        for (int i = 0; i < words; ++i) a.limb[i] = 0;
        a.size += words;
    }
}

int big_compare(const Big& a, const Big& b) {
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (int i = a.size - 1; i >= 0; --i) {
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    }
    return 0;
}

void big_sub(Big& a, const Big& b) {  // a >= b
    u64 borrow = 0;
    for (int i = 0; i < a.size; ++i) {
        const u64 t = static_cast<u64>(a.limb[i]) - (i < b.size ? b.limb[i] : 0) - borrow;
        a.limb[i] = static_cast<u32>(t);
        borrow = (t >> 32) & 1;
    }
    while (a.size > 0 && a.limb[a.size - 1] == 0) --a.size;
}

void big_mul64(const Big& a, u64 f, Big& out) {
    const u32 f0 = static_cast<u32>(f), f1 = static_cast<u32>(f >> 32);
    if (a.size == 0 || f == 0) {
        out.size = 0;
        return;
    }
    for (int i = 0; i < a.size + 2; ++i) out.limb[i] = 0;
    for (int i = 0; i < a.size; ++i) {
        u64 carry = 0;
        const u32 fs[2] = {f0, f1};
        for (int j = 0; j < 2; ++j) {
            const u64 t = static_cast<u64>(a.limb[i]) * fs[j] + out.limb[i + j] + carry;
            out.limb[i + j] = static_cast<u32>(t);
            carry = t >> 32;
        }
        for (int k = i + 2; carry; ++k) {
            const u64 t = static_cast<u64>(out.limb[k]) + carry;
            out.limb[k] = static_cast<u32>(t);
            carry = t >> 32;
        }
    }
    out.size = a.size + 2;
    while (out.size > 0 && out.limb[out.size - 1] == 0) --out.size;
}

int big_bits(const Big& a) {
    if (a.size == 0) return 0;
    return 32 * a.size - (leading_zeros(a.limb[a.size - 1]) - 32);
}

// floor(a / 2^shift) for a result known to fit 128 bits.
U128 big_top128(const Big& a, int shift) {
    u64 hi = 0, lo = 0;
    const int first = big_bits(a) - 1;
    for (int bit = first; bit >= shift; --bit) {
        const u64 v = (a.limb[bit / 32] >> (bit % 32)) & 1;
        hi = (hi << 1) | (lo >> 63);
        lo = (lo << 1) | v;
    }
    return {hi, lo};
}

// Integer part of X = m * 2^q / 10^k and how its fraction compares with
// one half (-1, 0, +1), with big integers: X = N / D.
void exact_quotient(u64 m, int q, int k, u64& x, int& half, bool& rest_zero) {
    Big n, d, t;
    big_set(n, m);
    big_set(d, 1);
    const int a2 = q - k, a5 = -k;
    if (a5 > 0) big_mul_pow5(n, a5); else big_mul_pow5(d, -a5);
    if (a2 > 0) big_shl(n, a2); else big_shl(d, -a2);

    // The quotient is below 10^19 < 2^64. An estimate from the top 64 bits
    // of D (and the same shift of N) is within two of it: one below at
    // worst, two above at worst; step it to the exact value.
    const int dbits = big_bits(d);
    const int shift = dbits > 64 ? dbits - 64 : 0;
    const U128 dtop = big_top128(d, shift);
    const U128 ntop = big_top128(n, shift);
    u64 estimate = ntop.hi >= dtop.lo ? ~u64{0} : div128by64(ntop.hi, ntop.lo, dtop.lo);
    big_mul64(d, estimate, t);
    while (big_compare(t, n) > 0) {
        big_sub(t, d);
        --estimate;
    }
    big_sub(n, t);  // remainder
    while (big_compare(n, d) >= 0) {
        big_sub(n, d);
        ++estimate;
    }
    rest_zero = n.size == 0;
    big_shl(n, 1);
    half = big_compare(n, d);
    x = estimate;
}

// ------------------------------------------------------------ digits

void write_digits(u64 v, char* out) {  // v < 10^18: exactly 18 digits
    const u64 high = v / 1000000000u;
    u32 parts[2] = {static_cast<u32>(high), static_cast<u32>(v - high * 1000000000u)};
    for (int p = 0; p < 2; ++p) {
        for (int i = 8; i >= 0; --i) {
            out[9 * p + i] = static_cast<char>('0' + parts[p] % 10);
            parts[p] /= 10;
        }
    }
}

enum class Kind { zero, finite, infinity, invalid };

Kind classify(Raw80 r) {
    const int exponent = r.sign_exponent & 0x7FFF;
    const bool integer_bit = (r.significand >> 63) != 0;
    // Exponent field zero: zero, subnormals and pseudo-denormals all read as 0.
    if (exponent == 0) return Kind::zero;
    // The x87 rejects unnormals, pseudo-infinities and pseudo-NaNs (integer
    // bit clear) as invalid operands, the same way it treats a NaN; they
    // are written like a NaN.
    if (!integer_bit) return Kind::invalid;
    if (exponent == 0x7FFF) return (r.significand << 1) == 0 ? Kind::infinity : Kind::invalid;
    return Kind::finite;
}

}  // namespace

Raw80 raw_bits(long double value) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &value, sizeof bytes);
    Raw80 r;
    std::memcpy(&r.significand, bytes, 8);
    r.sign_exponent = static_cast<std::uint16_t>(bytes[8] | (bytes[9] << 8));
    return r;
}

long double from_raw(Raw80 raw) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &raw.significand, 8);
    bytes[8] = static_cast<unsigned char>(raw.sign_exponent);
    bytes[9] = static_cast<unsigned char>(raw.sign_exponent >> 8);
    long double value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

int pow10_first_index() { return kPow10First; }

const Pow10Entry* pow10_table(std::size_t& count) {
    count = kPow10Count;
    return kPow10;
}

Path decimal18(Raw80 raw, char digits[18], int& exponent, bool allow_fast) {
    if (classify(raw) != Kind::finite) return Path::special;
    const u64 m = raw.significand;
    const int q = (raw.sign_exponent & 0x7FFF) - 16383 - 63;  // value = m * 2^q

    // m * 2^q lies in [2^(q+63), 2^(q+64)), so P is p0 or p0 + 1;
    // 646456993 / 2^31 is log10(2) closely enough for every exponent here.
    const int p0 = static_cast<int>(floor_shift((q + 63) * 646456993LL, 31)) + 1;
    const int k = p0 - kDigits;  // X = value / 10^k lies in [10^17, 10^19)

    u64 x = 0;
    bool up = false;
    bool decided = false;
    Path path = Path::fast;
    if (allow_fast) {
        u64 frac = 0;
        if (fixed_point(m, q, k, x, frac)) {
            if (x < kTen18) {
                decided = x >= kTen17 - 1 && (frac < (u64{1} << 63) - kMargin || frac > (u64{1} << 63) + kMargin);
                up = frac > (u64{1} << 63);
            } else {
                const u64 r = x % 10;
                decided = x < 10 * kTen18 && !(r == 4 && frac > ~u64{0} - kMargin) && !(r == 5 && frac < kMargin);
                up = r >= 5;
            }
        }
    }
    if (!decided) {
        int half = 0;
        bool rest_zero = false;
        if (exact_small(m, q, k, x, half, rest_zero)) {
            path = Path::exact_small;
        } else {
            path = Path::exact;
            exact_quotient(m, q, k, x, half, rest_zero);
        }
        if (x < kTen18) {
            up = half > 0 || (half == 0 && (x & 1));
        } else {
            const u64 r = x % 10;
            up = r > 5 || (r == 5 && (!rest_zero || ((x / 10) & 1)));
        }
    }
    int p = p0;
    if (x >= kTen18) {
        x /= 10;
        ++p;
    }
    if (up) ++x;
    if (x == kTen18) {  // 999...9 rounded up: one more digit before the point
        x = kTen17;
        ++p;
    }
    write_digits(x, digits);
    exponent = p;
    return path;
}

std::string number_text_raw(Raw80 raw, int n) {
    if (n < 1 || n > kDigits) n = kDigits;
    const Kind kind = classify(raw);
    if (kind == Kind::zero || kind == Kind::invalid) return " 0";

    // Worst case 26 bytes: sign, 18 digits in exponent form with their point
    // (19), "E", exponent sign and four exponent digits (|P - 1| <= 4932).
    char out[32];
    int len = 0;
    out[len++] = (raw.sign_exponent & 0x8000) ? '-' : ' ';

    char dig[kDigits];
    int p = 0;
    if (kind == Kind::infinity) {
        // Written as n nines with P = 999.
        std::memset(dig, '9', sizeof dig);
        p = 999;
    } else {
        decimal18(raw, dig, p);
        // Second rounding looks at digit n+1 only; this double rounding is
        // intended and matches the digits the screens have always shown.
        if (n < kDigits) {
            const char next = dig[n];
            if (next > '5' || (next == '5' && ((dig[n - 1] - '0') & 1))) {
                int i = n - 1;
                while (i >= 0 && dig[i] == '9') dig[i--] = '0';
                if (i >= 0) {
                    ++dig[i];
                } else {
                    dig[0] = '1';
                    ++p;
                }
            }
        }
    }
    int d = n;
    while (d > 1 && dig[d - 1] == '0') --d;

    const bool whole = p >= d;
    const bool plain = whole ? p <= n : d - p <= n;
    if (kind == Kind::infinity || !plain) {
        out[len++] = dig[0];
        if (d > 1) {
            out[len++] = '.';
            for (int i = 1; i < d; ++i) out[len++] = dig[i];
        }
        out[len++] = 'E';
        int e = p - 1;
        out[len++] = e >= 0 ? '+' : '-';
        if (e < 0) e = -e;
        char rev[4];
        int nrev = 0;
        do {
            rev[nrev++] = static_cast<char>('0' + e % 10);
            e /= 10;
        } while (e);
        while (nrev) out[len++] = rev[--nrev];
    } else if (whole) {
        for (int i = 0; i < d; ++i) out[len++] = dig[i];
        for (int i = d; i < p; ++i) out[len++] = '0';
    } else if (p <= 0) {
        out[len++] = '.';
        for (int i = 0; i < -p; ++i) out[len++] = '0';
        for (int i = 0; i < d; ++i) out[len++] = dig[i];
    } else {
        for (int i = 0; i < p; ++i) out[len++] = dig[i];
        out[len++] = '.';
        for (int i = p; i < d; ++i) out[len++] = dig[i];
    }
    return std::string(out, static_cast<std::size_t>(len));
}

}  // namespace detail

std::string number_text(long double value, int digits) {
    return detail::number_text_raw(detail::raw_bits(value), digits);
}

}  // namespace text

// Numbers as text, exactly, from the raw bits of the 80-bit x87 value.
//
// No floating-point arithmetic and no C runtime conversion is used: the
// mingw runtime's printf does not treat long double as 80-bit, and the text
// must be the same byte for byte in the DLL (i686) and in native builds,
// whatever the x87 precision control says. Everything below is integer
// arithmetic. 64x64->128-bit products use the compiler's 128-bit type where
// the target has one (x86-64) and 32-bit halves elsewhere (i686); defining
// ZP_TEXT_NO_INT128 forces the halves, so native tests can run that path.
//
// The 18 digits come the cheapest way that is exact:
//   fast         from about 1E-10 to 1E18, X = value / 10^K is one 64x64-bit
//                product m * 5^-K, exact; elsewhere one or two 128-bit table
//                powers of ten times an exact small power of five, times
//                the significand, declining when the rounding decision is
//                too close to call for the product's error.
//   exact_small  what the table product declines for |K| <= 27 (every exact
//                tie) is decided exactly in 128 bits; 64-bit integers times
//                a power of ten are also exact in 64 bits.
//   exact        big-integer division: the rest (near-ties far from 1).
#include "text/text.h"
#include "text/number_text_detail.h"

#include <cstring>

#if defined(__SIZEOF_INT128__) && !defined(ZP_TEXT_NO_INT128)
#define ZP_TEXT_NATIVE_128 1
#endif

namespace text {
namespace detail {
namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
#ifdef ZP_TEXT_NATIVE_128
__extension__ typedef unsigned __int128 native_u128;
#endif

constexpr int max_digits = 18;
constexpr u64 ten17 = 100000000000000000ULL;
constexpr u64 ten18 = 1000000000000000000ULL;

constexpr u64 pow10_u64[20] = {
    1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL, 100000000ULL,
    1000000000ULL, 10000000000ULL, 100000000000ULL, 1000000000000ULL, 10000000000000ULL,
    100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL, 100000000000000000ULL,
    1000000000000000000ULL, 10000000000000000000ULL,
};

// ---------------------------------------------------------------- 128-bit

struct u128 {
    u64 hi;
    u64 lo;
};

inline u128 mul64(u64 a, u64 b) {
#ifdef ZP_TEXT_NATIVE_128
    const native_u128 p = static_cast<native_u128>(a) * b;
    return {static_cast<u64>(p >> 64), static_cast<u64>(p)};
#else
    const u64 a0 = static_cast<u32>(a), a1 = a >> 32;
    const u64 b0 = static_cast<u32>(b), b1 = b >> 32;
    const u64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const u64 mid = (p00 >> 32) + static_cast<u32>(p01) + static_cast<u32>(p10);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | static_cast<u32>(p00)};
#endif
}

// 192-bit product of a 128-bit and a 64-bit number; w2 most significant.
struct u192 {
    u64 w2;
    u64 w1;
    u64 w0;
};

inline u192 mul128x64(u128 a, u64 b) {
    const u128 low = mul64(a.lo, b);
    const u128 high = mul64(a.hi, b);
    const u64 w1 = low.hi + high.lo;
    return {high.hi + (w1 < low.hi ? 1 : 0), w1, low.lo};
}

inline int leading_zeros(u64 x) {  // x != 0
#if defined(__GNUC__)
    return __builtin_clzll(x);
#else
    int n = 0;
    for (; !(x >> 63); x <<= 1) ++n;
    return n;
#endif
}

// Top 128 bits of the product of two numbers with their top bits set, and
// how far they were shifted (127 or 128).
inline u128 mul128_top(u128 a, u128 b, int& shift) {
    const u128 ll = mul64(a.lo, b.lo), lh = mul64(a.lo, b.hi);
    const u128 hl = mul64(a.hi, b.lo), hh = mul64(a.hi, b.hi);
    u64 w1 = ll.hi + lh.lo;
    u64 carry = w1 < lh.lo;
    w1 += hl.lo;
    carry += w1 < hl.lo;
    u64 w2 = hh.lo + lh.hi;
    u64 carry2 = w2 < lh.hi;
    w2 += hl.hi;
    carry2 += w2 < hl.hi;
    w2 += carry;
    carry2 += w2 < carry;
    const u64 w3 = hh.hi + carry2;
    if (w3 >> 63) {
        shift = 128;
        return {w3, w2};
    }
    shift = 127;
    return {(w3 << 1) | (w2 >> 63), (w2 << 1) | (w1 >> 63)};
}

constexpr u64 pow5_u64[28] = {
    1ULL, 5ULL, 25ULL, 125ULL, 625ULL, 3125ULL, 15625ULL, 78125ULL, 390625ULL,
    1953125ULL, 9765625ULL, 48828125ULL, 244140625ULL, 1220703125ULL,
    6103515625ULL, 30517578125ULL, 152587890625ULL, 762939453125ULL,
    3814697265625ULL, 19073486328125ULL, 95367431640625ULL, 476837158203125ULL,
    2384185791015625ULL, 11920928955078125ULL, 59604644775390625ULL,
    298023223876953125ULL, 1490116119384765625ULL, 7450580596923828125ULL,
};
constexpr int pow5_step = 27;  // 5^27 is the largest power of five in 64 bits

// 10^(28a) for a in -12..13: every value a double can hold needs one entry
// of this table only (10^-K with K from -341 to 291).
constexpr int near_step = 28;
constexpr int near_first = -12;
constexpr Pow10Entry near_pow10[] = {
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
constexpr int near_count = static_cast<int>(sizeof near_pow10 / sizeof near_pow10[0]);
constexpr int near_low = near_step * near_first;  // -336: lowest exponent one near entry covers

// 10^(728c) for c in -7..7, 728 = 28 * 26 being the span of the near table:
// a far entry times a near entry reaches every 10^-K of the 80-bit range
// (K from -4949 to 4914) for the price of one more 128-bit product.
constexpr int far_step = near_step * near_count;
constexpr int far_first = -7;
constexpr Pow10Entry far_pow10[] = {
    {0xAF640503EB445401ULL, 0x60585340C95A25F8ULL, -17056},  // 1E-5096
    {0xE1ABF2CD11206610ULL, 0x1151250681D59706ULL, -14638},  // 1E-4368
    {0x912EFFEA7015B2C5ULL, 0xC1187FA0C18ADBBEULL, -12219},  // 1E-3640
    {0xBACE07232DF1C802ULL, 0x7C4C65D15C614C56ULL, -9801},   // 1E-2912
    {0xF05BA3330181C750ULL, 0xCCFB1CC2EF1F44DFULL, -7383},   // 1E-2184
    {0x9AA1C1F6110C0DD0ULL, 0x8F8857E875E7774FULL, -4964},   // 1E-1456
    {0xC6F631E782D57096ULL, 0xB0560C246F90E9E8ULL, -2546},   // 1E-728
    {0x8000000000000000ULL, 0x0000000000000000ULL, -127},    // 1E0
    {0xA4B1EC80F47C84ADULL, 0x44B222741EB1EBBFULL, 2291},    // 1E728
    {0xD3E8E55C3C1F43D0ULL, 0xE47DEFC14A406E50ULL, 4709},    // 1E1456
    {0x88547ABB1D8E5BD9ULL, 0x1D73EF3EAAC3C964ULL, 7128},    // 1E2184
    {0xAF69BDF68FC6A740ULL, 0x7730E00421DA4D55ULL, 9546},    // 1E2912
    {0xE1B34FB846321D04ULL, 0x72C4D2CAD73B0A7BULL, 11964},   // 1E3640
    {0x9133BC8F2A130FE5ULL, 0xAD6A6308A8E8B557ULL, 14383},   // 1E4368
    {0xBAD41F6BD89CFF88ULL, 0xF55C9E4517D55E5CULL, 16801},   // 1E5096
};
constexpr int far_count = static_cast<int>(sizeof far_pow10 / sizeof far_pow10[0]);

// ----------------------------------------------------------- fast path
//
// X = value / 10^K as 64.64 fixed point. The power 10^-K is a far entry
// (when needed) times a near entry times an exact 5^b, each product cut to
// 128 bits. Relative error: two table roundings (2^-128 each) and two
// truncations (2^-127 each), below 2^-125.4. X < 10^19 < 2^63.2, so X is
// off by less than 2^-62.2 plus 2^-64 for the final shift: under 5 units
// of the fraction word. The path declines whenever the rounding decision
// lies within margin of the computed value, which covers that error many
// times over and every exact tie.
constexpr u64 margin = u64{1} << 16;

// Sets x to the integer part and frac to the fraction (units of 2^-64) of
// m * 2^q * 10^e; false if the tables do not cover 10^e.
bool fixed_point(u64 m, int q, int e, u64& x, u64& frac) {
    // e = far_step * c + near_step * a + b with 0 <= b < near_step and a in
    // the near table; the bias keeps the divisions on nonnegative numbers.
    constexpr int bias = -near_low - far_step * far_first;
    if (e + bias < 0) return false;
    const int c = (e + bias) / far_step + far_first;
    const int r = e - far_step * c;  // in near_low .. near_low + far_step - 1
    const int a = (r - near_low) / near_step + near_first;
    const int b = r - near_step * a;
    const int far_index = c - far_first;
    if (far_index >= far_count) return false;
    const Pow10Entry& near_entry = near_pow10[a - near_first];
    u128 power{near_entry.hi, near_entry.lo};
    int exp2 = near_entry.exp2;
    if (c != 0) {
        const Pow10Entry& far_entry = far_pow10[far_index];
        int shift = 0;
        power = mul128_top({far_entry.hi, far_entry.lo}, power, shift);
        exp2 += far_entry.exp2 + shift;
    }
    if (b != 0) {  // times 5^b (b >= 1, so the product exceeds 2^128), kept to 128 bits
        const u192 p = mul128x64(power, pow5_u64[b]);
        const int lz = leading_zeros(p.w2);
        if (lz == 0) {
            power = {p.w2, p.w1};
        } else {
            power = {(p.w2 << lz) | (p.w1 >> (64 - lz)), (p.w1 << lz) | (p.w0 >> (64 - lz))};
        }
        exp2 += b + 64 - lz;
    }
    // value * 10^e * 2^64 = z * 2^(q + exp2 + 64), with z = m * power < 2^192.
    const u192 z = mul128x64(power, m);
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
    const int tz = 63 - leading_zeros(m & (~m + 1));  // m != 0
    const u64 odd = m >> tz;
    const int e2 = q + tz;  // value = odd * 2^e2
    u64 n = 0;
    int e10 = 0;  // value = n * 10^e10
    if (e2 >= 0) {
        if (e2 > 0 && (e2 >= 64 || (odd >> (64 - e2)) != 0)) return false;
        n = odd << e2;
    } else {
        if (-e2 > 27 || odd > ~u64{0} / pow5_u64[-e2]) return false;
        n = odd * pow5_u64[-e2];
        e10 = e2;
    }
    // X = n * 10^(e10 - k); X lies in [10^17, 10^19).
    const int s = e10 - k;
    if (s >= 0) {
        if (s > 19) return false;
        x = n * pow10_u64[s];  // stays below 10^19
        half = -1;
        rest_zero = true;
        return true;
    }
    if (-s > 19) return false;
    const u64 divisor = pow10_u64[-s];
    x = n / divisor;
    const u64 rem = n - x * divisor;
    rest_zero = rem == 0;
    half = rem == divisor - rem ? 0 : (rem > divisor - rem ? 1 : -1);
    return true;
}

u128 shl128(u128 a, int s) {  // s < 128, no bits lost
    if (s == 0) return a;
    if (s < 64) return {(a.hi << s) | (a.lo >> (64 - s)), a.lo << s};
    return {a.lo << (s - 64), 0};
}

int compare_shifted(u128 a, int s, u128 b) {  // sign of a * 2^s - b; a != 0, s >= 0
    const int bits = a.hi ? 128 - leading_zeros(a.hi) : 64 - leading_zeros(a.lo);
    if (s >= 128 || bits + s > 128) return 1;
    a = shl128(a, s);
    if (a.hi != b.hi) return a.hi < b.hi ? -1 : 1;
    return a.lo < b.lo ? -1 : (a.lo > b.lo ? 1 : 0);
}

// Sign (-1, 0, +1) of m * 2^e2 * 10^j - b, exactly, for |j| <= 27 (the
// power of five fits 64 bits and both sides 128); false for other j.
bool compare_exact(u64 m, int e2, int j, u64 b, int& sign) {  // m != 0, b != 0
    if (j > pow5_step || j < -pow5_step) return false;
    // 10^j = 5^j * 2^j: the power of five goes to whichever side keeps it whole.
    const u128 left = j >= 0 ? mul64(m, pow5_u64[j]) : u128{0, m};
    const u128 right = j >= 0 ? u128{0, b} : mul64(b, pow5_u64[-j]);
    e2 += j;
    sign = e2 >= 0 ? compare_shifted(left, e2, right) : -compare_shifted(right, -e2, left);
    return true;
}

// ----------------------------------------------------------- exact path
//
// Big integers of 64-bit limbs, least significant first, on the stack. The
// largest number is m * 5^4949 for the smallest normal value (K = -4949):
// 64 + ceil(4949 * log2 5) = 11556 bits. For the largest value (K = 4914)
// the numerator is m * 2^11406 (11470 bits) over 5^4914 (11410 bits). The
// product quotient * denominator and twice the remainder add at most 65
// bits to the denominator, so 11621 bits, 182 limbs, bound everything; two
// more leave room for a shift's spill limb.
constexpr int big_limbs = 184;

struct big {
    u64 limb[big_limbs];
    int size;  // limbs in use; no leading zero limb
};

void big_set(big& a, u64 v) {
    a.limb[0] = v;
    a.size = v ? 1 : 0;
}

// lo of a * b + c + d, its high word in hi; never overflows 128 bits.
inline u64 mul_add(u64 a, u64 b, u64 c, u64 d, u64& hi) {
#ifdef ZP_TEXT_NATIVE_128
    const native_u128 t = static_cast<native_u128>(a) * b + c + d;
    hi = static_cast<u64>(t >> 64);
    return static_cast<u64>(t);
#else
    const u128 p = mul64(a, b);
    u64 lo = p.lo + c;
    u64 h = p.hi + (lo < c ? 1 : 0);
    lo += d;
    hi = h + (lo < d ? 1 : 0);
    return lo;
#endif
}

// out = a * f; out may be a.
void big_mul_small(const big& a, u64 f, big& out) {
    u64 carry = 0;
    for (int i = 0; i < a.size; ++i) out.limb[i] = mul_add(a.limb[i], f, carry, 0, carry);
    out.size = a.size;
    if (carry) out.limb[out.size++] = carry;
    while (out.size > 0 && out.limb[out.size - 1] == 0) --out.size;
}

// Three-word accumulator of a column of products: (s2:s1:s0) += (hi:lo).
inline void add_product(u64 lo, u64 hi, u64& s0, u64& s1, u64& s2) {
#ifdef ZP_TEXT_NATIVE_128
    native_u128 low = (static_cast<native_u128>(s1) << 64) | s0;
    const native_u128 p = (static_cast<native_u128>(hi) << 64) | lo;
    low += p;
    s2 += low < p ? 1 : 0;
    s0 = static_cast<u64>(low);
    s1 = static_cast<u64>(low >> 64);
#else
    s0 += lo;
    const u64 c = s0 < lo ? 1 : 0;
    s1 += c;
    s2 += s1 < c ? 1 : 0;
    s1 += hi;
    s2 += s1 < hi ? 1 : 0;
#endif
}

// out = a * a (out is not a), a column of the result at a time: each cross
// product of the column once, doubled, its diagonal square, and the carry
// from the column before. Products of a column do not wait for each other
// the way the limbs of a row do.
void big_square(const big& a, big& out) {
    const int n = a.size;
    u64 carry0 = 0, carry1 = 0;  // carried into this column, two words
    for (int col = 0; col < 2 * n; ++col) {
        u64 s0 = 0, s1 = 0, s2 = 0;
        const int first = col < n ? 0 : col - n + 1;
        for (int i = first, j = col - first; i < j; ++i, --j) {
            const u128 p = mul64(a.limb[i], a.limb[j]);
            add_product(p.lo, p.hi, s0, s1, s2);
        }
        s2 = (s2 << 1) | (s1 >> 63);
        s1 = (s1 << 1) | (s0 >> 63);
        s0 <<= 1;
        if (col % 2 == 0 && col / 2 < n) {
            const u128 sq = mul64(a.limb[col / 2], a.limb[col / 2]);
            add_product(sq.lo, sq.hi, s0, s1, s2);
        }
        add_product(carry0, carry1, s0, s1, s2);
        out.limb[col] = s0;
        carry0 = s1;
        carry1 = s2;
    }
    out.size = 2 * n;
    while (out.size > 0 && out.limb[out.size - 1] == 0) --out.size;
}

// a = m * 5^e by squaring from the top bits of e: about n^2 / 2 limb
// products for an n-limb result instead of the n^2 * 64 / 27 / 2 of
// multiplying by 5^27 again and again (3 times fewer at 5^4949).
void big_set_pow5_times(big& a, u64 m, int e) {
    int top = 0;  // e >> top is the leading part of e, at most 27
    while ((e >> top) > pow5_step) ++top;
    big_set(a, pow5_u64[e >> top]);
    big t;
    for (int bit = top - 1; bit >= 0; --bit) {
        big_square(a, t);
        if ((e >> bit) & 1) {
            big_mul_small(t, 5, a);
        } else {
            a = t;
        }
    }
    big_mul_small(a, m, a);
}

void big_shl(big& a, int bits) {
    if (a.size == 0) return;
    const int words = bits / 64, b = bits % 64;
    if (b) {
        a.limb[a.size] = 0;
        for (int i = a.size; i > 0; --i) a.limb[i] = (a.limb[i] << b) | (a.limb[i - 1] >> (64 - b));
        a.limb[0] <<= b;
        if (a.limb[a.size]) ++a.size;
    }
    if (words) {
        for (int i = a.size - 1; i >= 0; --i) a.limb[i + words] = a.limb[i];
        for (int i = 0; i < words; ++i) a.limb[i] = 0;
        a.size += words;
    }
}

int big_compare(const big& a, const big& b) {
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (int i = a.size - 1; i >= 0; --i) {
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    }
    return 0;
}

void big_sub(big& a, const big& b) {  // a >= b
    u64 borrow = 0;
    for (int i = 0; i < a.size; ++i) {
        const u64 ai = a.limb[i], bi = i < b.size ? b.limb[i] : 0;
        const u64 t = ai - bi;
        const u64 r = t - borrow;
        borrow = (ai < bi ? 1 : 0) | (t < borrow ? 1 : 0);
        a.limb[i] = r;
    }
    while (a.size > 0 && a.limb[a.size - 1] == 0) --a.size;
}

int big_bits(const big& a) {
    if (a.size == 0) return 0;
    return 64 * a.size - leading_zeros(a.limb[a.size - 1]);
}

// floor(a / 2^shift) for a result known to fit 128 bits.
u128 big_top128(const big& a, int shift) {
    const int w = shift / 64, s = shift % 64;
    auto at = [&a](int i) { return i < a.size ? a.limb[i] : u64{0}; };
    if (s == 0) return {at(w + 1), at(w)};
    return {(at(w + 1) >> s) | (at(w + 2) << (64 - s)), (at(w) >> s) | (at(w + 1) << (64 - s))};
}

// Quotient of (hi:lo) / d for hi < d, so that it fits in 64 bits.
u64 div128by64(u64 hi, u64 lo, u64 d) {
#ifdef ZP_TEXT_NATIVE_128
    return static_cast<u64>(((static_cast<native_u128>(hi) << 64) | lo) / d);
#else
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
#endif
}

// Integer part of X = m * 2^q / 10^k and how its fraction compares with
// one half (-1, 0, +1), with big integers: X = N / D.
void exact_quotient(u64 m, int q, int k, u64& x, int& half, bool& rest_zero) {
    big n, d, t;
    const int a2 = q - k, a5 = -k;
    big_set_pow5_times(n, m, a5 > 0 ? a5 : 0);
    if (a5 >= 0 && a2 < 0) {
        // D = 2^s: the quotient and the remainder are bit fields of N.
        const int s = -a2;
        x = big_top128(n, s).lo;
        const int w = (s - 1) / 64, b = (s - 1) % 64;
        const u64 limb = w < n.size ? n.limb[w] : 0;
        bool below = (limb & ((u64{1} << b) - 1)) != 0;  // bits under the half bit
        for (int i = 0; i < w && i < n.size && !below; ++i) below = n.limb[i] != 0;
        const bool half_bit = ((limb >> b) & 1) != 0;
        half = half_bit ? (below ? 1 : 0) : -1;
        rest_zero = !half_bit && !below;
        return;
    }
    big_set_pow5_times(d, 1, a5 < 0 ? -a5 : 0);
    if (a2 > 0) big_shl(n, a2); else big_shl(d, -a2);

    // The quotient is below 10^19 < 2^64. An estimate from the top 64 bits
    // of D (and the same shift of N) is within two of it: one below at
    // worst, two above at worst; step it to the exact value.
    const int dbits = big_bits(d);
    const int shift = dbits > 64 ? dbits - 64 : 0;
    const u128 dtop = big_top128(d, shift);
    const u128 ntop = big_top128(n, shift);
    u64 estimate = ntop.hi >= dtop.lo ? ~u64{0} : div128by64(ntop.hi, ntop.lo, dtop.lo);
    big_mul_small(d, estimate, t);
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
//
// Digits are built eight characters to a 64-bit word, the first character
// in the lowest byte, and stored a word at a time: whole-word stores and
// no reading back of narrower ones keep the stores and the loads after
// them from stalling each other.

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr u64 zero_chars = 0x3030303030303030ULL;  // "00000000"

inline void write_pair(u32 v, char* out) {  // v < 100
    std::memcpy(out, digit_pairs + 2 * v, 2);
}

inline u64 pair_chars(u32 v) {  // v < 100
    return static_cast<u64>(static_cast<unsigned char>(digit_pairs[2 * v])) |
           static_cast<u64>(static_cast<unsigned char>(digit_pairs[2 * v + 1])) << 8;
}

// v < 10^8: exactly 8 digits, two per product. v / 10^6 in 16.48 fixed
// point gives the first two; each product of the fraction by 100 brings
// the next two above the point. The constant is ceil(2^48 / 10^6) + 1; its
// excess stays below one unit of the last pair for every v < 10^8 (checked
// for all of them once; the tests check a spread).
inline u64 eight_chars(u32 v) {
    constexpr u64 inverse = 281474978;
    constexpr u64 fraction = (u64{1} << 48) - 1;
    u64 prod = v * inverse;
    u64 chars = pair_chars(static_cast<u32>(prod >> 48));
    for (int shift = 16; shift < 64; shift += 16) {
        prod = (prod & fraction) * 100;
        chars |= pair_chars(static_cast<u32>(prod >> 48)) << shift;
    }
    return chars;
}

inline void store_chars(char* out, u64 chars) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(out, &chars, 8);
#else
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(chars >> (8 * i));
#endif
}

// 24 characters: the digits, then '0's.
struct digit_words {
    u64 w[3];
};

// v < 10^18: exactly 18 digits, then six '0's.
inline digit_words eighteen_chars(u64 v) {
    const u64 top = v / 10000000000000000ULL;  // 2 digits
    const u64 rest = v - top * 10000000000000000ULL;
    const u32 middle = static_cast<u32>(rest / 100000000u);
    const u64 a = eight_chars(middle), b = eight_chars(static_cast<u32>(rest - u64{middle} * 100000000u));
    return {{pair_chars(static_cast<u32>(top)) | (a << 16), (a >> 48) | (b << 16), (b >> 48) | (zero_chars << 16)}};
}

void write_digits(u64 v, char* out) {  // v < 10^18: exactly 18 digits
    const digit_words d = eighteen_chars(v);
    char all[24];
    for (int i = 0; i < 3; ++i) store_chars(all + 8 * i, d.w[i]);
    std::memcpy(out, all, 18);
}

// Characters up to the last that is not '0' (the first is not).
inline int significant_length(const digit_words& d) {
    for (int i = 2; i > 0; --i) {
        if (d.w[i] != zero_chars) return 8 * i + (63 - leading_zeros(d.w[i] ^ zero_chars)) / 8 + 1;
    }
    return (63 - leading_zeros(d.w[0] ^ zero_chars)) / 8 + 1;
}

// floor(x / 10^t) for x < 2^60 and t in 1..17 by one product: with
// l = ceil(log2 10^t) and m = ceil(2^(60 + l) / 10^t), m * 10^t exceeds
// 2^(60 + l) by less than 2^l, which makes floor(m * x / 2^(60 + l)) exact
// for every x below 2^60 (Granlund and Montgomery, theorem 4.2). The table
// holds m and l - 4, the shift left after taking the high 64 bits.
struct reciprocal {
    u64 m;
    int shift;
};
constexpr reciprocal pow10_reciprocal[18] = {
    {0, 0},  // t = 0: not used
    {0x199999999999999AULL, 0},  {0x147AE147AE147AE2ULL, 3},  {0x10624DD2F1A9FBE8ULL, 6},
    {0x1A36E2EB1C432CA6ULL, 10}, {0x14F8B588E368F085ULL, 13}, {0x10C6F7A0B5ED8D37ULL, 16},
    {0x1AD7F29ABCAF4858ULL, 20}, {0x15798EE2308C39E0ULL, 23}, {0x112E0BE826D694B3ULL, 26},
    {0x1B7CDFD9D7BDBAB8ULL, 30}, {0x15FD7FE179649560ULL, 33}, {0x119799812DEA111AULL, 36},
    {0x1C25C268497681C3ULL, 40}, {0x16849B86A12B9B02ULL, 43}, {0x1203AF9EE756159CULL, 46},
    {0x1CD2B297D889BC2CULL, 50}, {0x170EF54646D4968AULL, 53},
};

inline u64 div_pow10(u64 x, int t) {
    return mul64(x, pow10_reciprocal[t].m).hi >> pow10_reciprocal[t].shift;
}

enum class kind { zero, finite, infinity, invalid };

kind classify(Raw80 r) {
    const int exponent = r.sign_exponent & 0x7FFF;
    const bool integer_bit = (r.significand >> 63) != 0;
    // Exponent field zero: zero, subnormals and pseudo-denormals all read as 0.
    if (exponent == 0) return kind::zero;
    // The x87 rejects unnormals, pseudo-infinities and pseudo-NaNs (integer
    // bit clear) as invalid operands, the same way it treats a NaN; they
    // are written like a NaN.
    if (!integer_bit) return kind::invalid;
    if (exponent == 0x7FFF) return (r.significand << 1) == 0 ? kind::infinity : kind::invalid;
    return kind::finite;
}

// The magnitude of a finite normal value rounded to 18 digits: x in
// [10^17, 10^18) holds d1..d18, p is P.
Path decimal18_value(Raw80 raw, u64& x, int& p, bool allow_fast) {
    const u64 m = raw.significand;
    const int q = (raw.sign_exponent & 0x7FFF) - 16383 - 63;  // value = m * 2^q

    // m * 2^q lies in [2^(q+63), 2^(q+64)), so P is p0 or p0 + 1.
    // 646456993 / 2^31 is log10(2) closely enough for every exponent here;
    // adding 2^20 * 2^31 keeps the product positive for a plain shift.
    constexpr long long log10_2 = 646456993LL, bias = 1LL << 20;
    const int p0 = static_cast<int>(((q + 63) * log10_2 + (bias << 31)) >> 31) - static_cast<int>(bias) + 1;
    const int k = p0 - max_digits;  // X = value / 10^k lies in [10^17, 10^19)

    const int j = -k;
    u64 whole = 0, frac = 0;
    if (allow_fast && j >= 0 && j <= pow5_step) {
        // From about 1E-10 to 1E18, X = m * 5^j * 2^(q + j) is one exact
        // 128-bit product shifted right by s (4 to 70 here): no table, no
        // error, and ties are seen as ties.
        const u128 a = mul64(m, pow5_u64[j]);
        const int s = -(q + j);
        bool sticky = false;  // fraction bits below the 64 kept in frac
        bool fits = true;
        if (s > 0 && s < 64) {
            fits = (a.hi >> s) == 0;
            whole = (a.hi << (64 - s)) | (a.lo >> s);
            frac = a.lo << (64 - s);
        } else if (s == 64) {
            whole = a.hi;
            frac = a.lo;
        } else if (s > 64 && s < 128) {
            whole = a.hi >> (s - 64);
            frac = (a.hi << (128 - s)) | (a.lo >> (s - 64));
            sticky = (a.lo << (128 - s)) != 0;
        } else {
            fits = false;
        }
        if (fits && whole >= ten17 && whole < 10 * ten18) {
            const bool wide = whole >= ten18;
            const u64 kept = wide ? whole / 10 : whole;
            const u64 last = wide ? whole - 10 * kept : 0;
            const u64 dropped = (last << 60) | (frac >> 4);  // digit 19 and fraction, or fraction
            const bool below_dropped = (frac & 15) != 0 || sticky;  // anything under the 60 bits of dropped
            const u64 half = wide ? u64{5} << 60 : u64{1} << 59;
            const bool up = dropped > half || (dropped == half && (below_dropped || (kept & 1)));
            x = kept + (up ? 1 : 0);
            p = p0 + (wide ? 1 : 0);
            if (x == ten18) {
                x = ten17;
                ++p;
            }
            return Path::fast;
        }
    }
    if (allow_fast && fixed_point(m, q, -k, whole, frac) && whole >= ten17 - 1 && whole < 10 * ten18) {
        // X has 18 or 19 digits before the point; round it to 18. With 19
        // (wide) the part dropped is the last digit and the fraction, else
        // the fraction alone. Both are compared with one half in units of
        // 2^-60 (the digit in the top 4 bits), without a branch.
        const bool wide = whole >= ten18;
        const u64 tenth = whole / 10;
        const u64 kept = wide ? tenth : whole;
        const u64 last = wide ? whole - 10 * tenth : 0;
        const u64 dropped = (last << 60) | (frac >> 4);
        const u64 half = wide ? u64{5} << 60 : u64{1} << 59;
        constexpr u64 margin60 = margin >> 4;
        int above = dropped > half ? 1 : -1;
        bool decided = dropped - (half - margin60) > 2 * margin60;
        Path path = Path::fast;
        if (!decided) {
            // Too close to call from the product, but kept is right: compare
            // X with the halfway point exactly. Every exact tie comes here.
            decided = compare_exact(m, q + (wide ? 0 : 1), -k, wide ? 10 * kept + 5 : 2 * kept + 1, above);
            path = Path::exact_small;
        }
        if (decided) {
            x = kept + (above > 0 || (above == 0 && (kept & 1)) ? 1 : 0);
            p = p0 + (wide ? 1 : 0);
            if (x == ten18) {  // 999...9 rounded up: one more digit before the point
                x = ten17;
                ++p;
            }
            return path;
        }
    }

    Path path = Path::exact_small;
    int half = 0;
    bool rest_zero = false;
    if (!exact_small(m, q, k, whole, half, rest_zero)) {
        path = Path::exact;
        exact_quotient(m, q, k, whole, half, rest_zero);
    }
    bool up = false;
    p = p0;
    if (whole < ten18) {
        up = half > 0 || (half == 0 && (whole & 1));
    } else {
        const u64 r = whole % 10;
        up = r > 5 || (r == 5 && (!rest_zero || ((whole / 10) & 1)));
        whole /= 10;
        ++p;
    }
    x = whole + (up ? 1 : 0);
    if (x == ten18) {
        x = ten17;
        ++p;
    }
    return path;
}

// Writes the text into t, which must hold compose_size bytes: the digits
// go in whole words and may write past the end of the text. Returns the
// length. The furthest write is a word of digits stored 17 digits after a
// point that follows 17 digits and the sign: 1 + 17 + 1 + 16 + 8 = 43
// bytes, the same as the sign, point, 17 zeros and 24 digit characters.
constexpr int compose_size = 48;

int compose(char* t, Raw80 raw, int n) {
    if (n < 1 || n > max_digits) n = max_digits;
    const kind what = classify(raw);
    if (what == kind::zero || what == kind::invalid) {
        t[0] = ' ';
        t[1] = '0';
        return 2;
    }
    t[0] = (raw.sign_exponent & 0x8000) ? '-' : ' ';

    u64 x = 0;  // the n digits
    int p = 0;
    if (what == kind::infinity) {
        // Written as n nines with P = 999: always the exponent form.
        x = pow10_u64[n] - 1;
        p = 999;
    } else {
        decimal18_value(raw, x, p, true);
        // The 18 digits are rounded again, to n, by digit n+1 alone: above
        // 5 rounds up, 5 rounds to an even digit n, and the digits after
        // it are never looked at (with n = 1, 2.51 gives 2 as 2.5 does).
        if (n < max_digits) {
            const int drop = max_digits - n;
            const u64 kept = div_pow10(x, drop);
            const u64 rest = x - kept * pow10_u64[drop];  // digit n+1 and those after it
            const u64 unit = pow10_u64[drop - 1];  // one unit of digit n+1
            const u64 up = static_cast<u64>(rest >= 6 * unit) | (static_cast<u64>(rest >= 5 * unit) & kept & 1);
            x = kept + up;
            if (x == pow10_u64[n]) {  // all nines carried: 1 and n-1 zeros
                x = pow10_u64[n - 1];
                ++p;
            }
        }
    }
    // The n digits, then '0's. Eight digits or fewer take one block.
    digit_words dig;
    if (n <= 8) {
        dig = {{eight_chars(static_cast<u32>(x * pow10_u64[8 - n])), zero_chars, zero_chars}};
    } else {
        dig = eighteen_chars(x * pow10_u64[max_digits - n]);
    }
    const int d = significant_length(dig);
    auto store_digits = [&dig](char* at) {  // 24 bytes
        store_chars(at, dig.w[0]);
        store_chars(at + 8, dig.w[1]);
        store_chars(at + 16, dig.w[2]);
    };

    char* o = t + 1;
    const bool whole = p >= d;
    const bool plain = whole ? p <= n : d - p <= n;
    if (!plain) {
        store_digits(o + 1);
        o[0] = static_cast<char>(dig.w[0]);
        o[1] = '.';
        o += d > 1 ? d + 1 : 1;  // no point for one digit
        *o++ = 'E';
        int e = p - 1;
        *o++ = e >= 0 ? '+' : '-';
        if (e < 0) e = -e;  // at most 4950
        const u32 ue = static_cast<u32>(e);
        if (ue >= 1000) {
            write_pair(ue / 100, o);
            write_pair(ue % 100, o + 2);
            o += 4;
        } else if (ue >= 100) {
            *o++ = static_cast<char>('0' + ue / 100);
            write_pair(ue % 100, o);
            o += 2;
        } else if (ue >= 10) {
            write_pair(ue, o);
            o += 2;
        } else {
            *o++ = static_cast<char>('0' + ue);
        }
    } else if (whole) {  // the digits and zeros up to the point (p <= n <= 18)
        store_digits(o);
        o += p;
    } else if (p <= 0) {  // point, -p zeros, d digits (-p < n)
        o[0] = '.';
        for (int i = 0; i < 3; ++i) store_chars(o + 1 + 8 * i, zero_chars);
        store_digits(o + 1 - p);
        o += 1 - p + d;
    } else {  // p digits, point, d - p digits (0 < p < d <= 18)
        store_digits(o);
        // The digits from p on, shifted out of the words.
        const u64 w[6] = {dig.w[0], dig.w[1], dig.w[2], zero_chars, zero_chars, zero_chars};
        const int k = p / 8, bits = 8 * (p % 8);
        for (int i = 0; i < 3; ++i) {
            const u64 from = bits ? (w[k + i] >> bits) | (w[k + i + 1] << (64 - bits)) : w[k + i];
            store_chars(o + p + 1 + 8 * i, from);
        }
        o[p] = '.';
        o += d + 1;
    }
    return static_cast<int>(o - t);
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

bool native_128() {
#ifdef ZP_TEXT_NATIVE_128
    return true;
#else
    return false;
#endif
}

int pow10_first_index() { return near_first; }

const Pow10Entry* pow10_table(std::size_t& count) {
    count = near_count;
    return near_pow10;
}

int pow10_far_first_index() { return far_first; }

int pow10_far_step() { return far_step; }

const Pow10Entry* pow10_far_table(std::size_t& count) {
    count = far_count;
    return far_pow10;
}

void eight_digits(std::uint32_t v, char out[8]) { store_chars(out, eight_chars(v)); }

Path decimal18(Raw80 raw, char digits[18], int& exponent, bool allow_fast) {
    if (classify(raw) != kind::finite) return Path::special;
    u64 x = 0;
    const Path path = decimal18_value(raw, x, exponent, allow_fast);
    write_digits(x, digits);
    return path;
}

int number_text_raw_to(char* out, Raw80 raw, int n) {
    char t[compose_size];
    const int length = compose(t, raw, n);
    std::memcpy(out, t, number_text_max);
    return length;
}

std::string number_text_raw(Raw80 raw, int n) {
    char t[compose_size];
    return std::string(t, static_cast<std::size_t>(compose(t, raw, n)));
}

}  // namespace detail

int number_text_to(char* out, long double value, int digits) {
    return detail::number_text_raw_to(out, detail::raw_bits(value), digits);
}

std::string number_text(long double value, int digits) {
    return detail::number_text_raw(detail::raw_bits(value), digits);
}

}  // namespace text

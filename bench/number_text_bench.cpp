// number_text against other formatters at the same digit count, side by
// side in one process, on five sets of values:
//   screen floats, 7   clock values as the screens hold them (floats with
//                      four decimals, such as 14.7456f)
//   the 4 clock values the screens' own four, over and over
//   integers, 7 / 15   random integers of 1 to 9 digits
//   random doubles, 15 random bit patterns of finite doubles
//   whole range, 15    random 80-bit values over the whole exponent range
// Every formatter formats every value of a set once per pass; passes of all
// formatters are interleaved and each figure is the median of the passes.
// Ratio = the peer's time / number_text's, so above 1 means number_text is
// faster. Formatters that return text are compared with number_text, those
// that write into the caller's buffer with number_text_to.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#ifdef ZP_HAVE_FMT
#include <fmt/format.h>
#endif
#ifdef ZP_HAVE_DOUBLE_CONVERSION
#include <double-conversion/double-conversion.h>
#endif

#include "text/number_text_detail.h"
#include "text/text.h"

namespace {

struct sample {
    long double v;
    double d;  // the same value, for the formatters of doubles
    int n;
};

constexpr std::size_t set_size = 4096;

struct value_set {
    const char* name;
    std::vector<sample> values;
    bool doubles;  // every value is a double: the double-only peers can run
};

sample make(long double v, int n) { return {v, static_cast<double>(v), n}; }

std::vector<value_set> make_sets() {
    std::mt19937_64 rng(20261207);
    std::vector<value_set> sets;
    value_set screen{"screen floats, 7", {}, true};
    for (float f : {14.7456f, 7.3728f, 3.6864f, 1.8432f}) screen.values.push_back(make(f, 7));
    while (screen.values.size() < set_size) {
        const float f = static_cast<float>(10000 + rng() % 990000) / 10000.0f;  // 1.0000 .. 99.9999
        screen.values.push_back(make(f, 7));
    }
    sets.push_back(screen);

    value_set clock{"the 4 clock values, 7", {}, true};  // every branch predicted, for every formatter
    while (clock.values.size() < set_size) {
        for (float f : {14.7456f, 7.3728f, 3.6864f, 1.8432f}) clock.values.push_back(make(f, 7));
    }
    sets.push_back(clock);

    value_set ints7{"integers, 7", {}, true}, ints15{"integers, 15", {}, true};
    while (ints7.values.size() < set_size) {
        const int digits = 1 + static_cast<int>(rng() % 9);
        std::uint64_t low = 1;
        for (int i = 1; i < digits; ++i) low *= 10;
        const auto v = static_cast<long double>(low + rng() % (9 * low));
        ints7.values.push_back(make(v, 7));
        ints15.values.push_back(make(v, 15));
    }
    sets.push_back(ints7);
    sets.push_back(ints15);

    value_set doubles{"random doubles, 15", {}, true};
    while (doubles.values.size() < set_size) {
        const std::uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) doubles.values.push_back(make(d, 15));
    }
    sets.push_back(doubles);

    value_set whole{"whole range, 15", {}, false};
    while (whole.values.size() < set_size) {
        const std::uint64_t m = rng() | (std::uint64_t{1} << 63);
        const auto se = static_cast<std::uint16_t>(1 + rng() % 0x7FFE);  // normal exponents only
        whole.values.push_back(make(text::detail::from_raw({m, static_cast<std::uint16_t>(se | (rng() & 0x8000))}), 15));
    }
    sets.push_back(whole);
    return sets;
}

// ------------------------------------------------------------ formatters
// Each returns the length of the text so nothing can be optimised away.

std::size_t ours_text(const sample& v, char*) { return text::number_text(v.v, v.n).size(); }
std::size_t ours_buffer(const sample& v, char* buf) { return static_cast<std::size_t>(text::number_text_to(buf, v.v, v.n)); }

std::size_t snprintf_text(const sample& v, char* buf) {
    const int len = std::snprintf(buf, 64, "%.*Le", v.n - 1, v.v);
    return std::string(buf, static_cast<std::size_t>(len)).size();
}

std::size_t to_chars_long_double(const sample& v, char* buf) {
    return static_cast<std::size_t>(std::to_chars(buf, buf + 64, v.v, std::chars_format::scientific, v.n - 1).ptr - buf);
}

std::size_t to_chars_double(const sample& v, char* buf) {
    return static_cast<std::size_t>(std::to_chars(buf, buf + 64, v.d, std::chars_format::scientific, v.n - 1).ptr - buf);
}

#ifdef ZP_HAVE_FMT
std::size_t fmt_long_double(const sample& v, char* buf) {
    return static_cast<std::size_t>(fmt::format_to_n(buf, 64, "{:.{}e}", v.v, v.n - 1).size);
}
#endif

#ifdef ZP_HAVE_DOUBLE_CONVERSION
std::size_t double_conversion_precision(const sample& v, char* buf) {
    static const double_conversion::DoubleToStringConverter converter(
        double_conversion::DoubleToStringConverter::NO_FLAGS, "inf", "nan", 'e', -6, 21, 6, 0);
    double_conversion::StringBuilder builder(buf, 64);
    converter.ToPrecision(v.d, v.n, &builder);
    return static_cast<std::size_t>(builder.position());
}
#endif

using formatter = std::size_t (*)(const sample&, char*);

struct peer {
    const char* name;
    formatter format;  // null: not installed
    bool doubles_only;
    bool text_form;  // compared with number_text rather than number_text_to
};

const peer peers[] = {
    {"glibc snprintf %.{n-1}Le, into a std::string", snprintf_text, false, true},
    {"libstdc++ to_chars(long double, scientific, n-1)", to_chars_long_double, false, false},
#ifdef ZP_HAVE_FMT
    {"{fmt} {:.{n-1}e} on long double, format_to_n", fmt_long_double, false, false},
#else
    {"{fmt} {:.{n-1}e} on long double, format_to_n", nullptr, false, false},
#endif
    {"libstdc++ to_chars(double, scientific, n-1)", to_chars_double, true, false},
#ifdef ZP_HAVE_DOUBLE_CONVERSION
    {"double-conversion ToPrecision(double, n)", double_conversion_precision, true, false},
#else
    {"double-conversion ToPrecision(double, n)", nullptr, true, false},
#endif
};
constexpr int peer_count = static_cast<int>(sizeof peers / sizeof peers[0]);

volatile std::size_t sink;

// Nanoseconds per value for one pass over the set.
double pass(formatter f, const std::vector<sample>& values) {
    char buf[64];
    std::size_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const sample& v : values) {
        total += f(v, buf);
        total += static_cast<unsigned char>(buf[0]);
    }
    const auto stop = std::chrono::steady_clock::now();
    sink = sink + total;
    return std::chrono::duration<double, std::nano>(stop - start).count() / static_cast<double>(values.size());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Times of single values across the range, each formatted many times, and
// of the exact big-integer path forced on them: what a value costs whose
// rounding lies too close to the halfway point for the fast path.
void single_values(int repetitions) {
    const struct {
        const char* name;
        text::detail::Raw80 raw;
    } rows[] = {
        {"largest normal", {0xFFFFFFFFFFFFFFFFULL, 0x7FFE}},
        {"smallest normal", {0x8000000000000000ULL, 0x0001}},
        {"1E+4900", text::detail::raw_bits(1E4900L)},
        {"1E-4900", text::detail::raw_bits(1E-4900L)},
        {"1E+3000", text::detail::raw_bits(1E3000L)},
        {"1E-3000", text::detail::raw_bits(1E-3000L)},
        {"1E+1000", text::detail::raw_bits(1E1000L)},
        {"1E-1000", text::detail::raw_bits(1E-1000L)},
        {"1E+300", text::detail::raw_bits(1E300L)},
        {"1E-300", text::detail::raw_bits(1E-300L)},
        {"1E+40", text::detail::raw_bits(1E40L)},
        {"1E-30", text::detail::raw_bits(1E-30L)},
    };
    std::printf("\nSingle values (ns per value, median of %d passes of 200 calls):\n\n", repetitions);
    std::printf("| value | number_text_to | exact path only | glibc snprintf %%.14Le |\n|---|---:|---:|---:|\n");
    for (const auto& r : rows) {
        const std::vector<sample> one(200, make(text::detail::from_raw(r.raw), 15));
        std::vector<double> ours, exact, glibc;
        for (int i = 0; i < repetitions; ++i) {
            ours.push_back(pass(ours_buffer, one));
            glibc.push_back(pass(snprintf_text, one));
            char digits[18];
            int p = 0;
            const auto start = std::chrono::steady_clock::now();
            for (int j = 0; j < 200; ++j) text::detail::decimal18(r.raw, digits, p, false);
            const auto stop = std::chrono::steady_clock::now();
            sink = sink + static_cast<unsigned char>(digits[0]);
            exact.push_back(std::chrono::duration<double, std::nano>(stop - start).count() / 200);
        }
        std::printf("| %s | %.0f | %.0f | %.0f |\n", r.name, median(ours), median(exact), median(glibc));
    }
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            repetitions = 1;
        } else if (std::strncmp(argv[i], "--repetitions=", 14) == 0 && std::atoi(argv[i] + 14) > 0) {
            repetitions = std::atoi(argv[i] + 14);
        } else {
            std::fprintf(stderr, "usage: %s [--repetitions=N (default 15)] [--quick]\n", argv[0]);
            return 2;
        }
    }
    const std::vector<value_set> sets = make_sets();
    const int set_count = static_cast<int>(sets.size());

    // times[set][0] number_text, [1] number_text_to, [2 + i] peer i.
    std::vector<std::vector<double>> times(sets.size(), std::vector<double>(2 + peer_count, -1));
    for (int s = 0; s < set_count; ++s) {
        std::vector<formatter> runs = {ours_text, ours_buffer};
        for (const peer& p : peers) runs.push_back(p.format && (!p.doubles_only || sets[s].doubles) ? p.format : nullptr);
        std::vector<std::vector<double>> samples(runs.size());
        for (formatter f : runs) {
            if (f) pass(f, sets[s].values);  // warm caches and tables
        }
        for (int r = 0; r < repetitions; ++r) {
            for (std::size_t j = 0; j < runs.size(); ++j) {
                const std::size_t i = (j + static_cast<std::size_t>(r)) % runs.size();  // rotate who goes first
                if (runs[i]) samples[i].push_back(pass(runs[i], sets[s].values));
            }
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (!samples[i].empty()) times[s][i] = median(samples[i]);
        }
    }

    std::printf("number_text against its peers, %zu values per set, median of %d interleaved passes\n\n",
                set_size, repetitions);
    std::printf("Time per value, ns:\n\n| formatter |");
    for (const value_set& s : sets) std::printf(" %s |", s.name);
    std::printf("\n|---|");
    for (int s = 0; s < set_count; ++s) std::printf("---:|");
    std::printf("\n");
    auto time_row = [&](const char* name, int column, bool installed) {
        std::printf("| %s |", name);
        for (int s = 0; s < set_count; ++s) {
            if (!installed) std::printf(" not installed |");
            else if (times[s][column] < 0) std::printf(" — |");
            else std::printf(" %.1f |", times[s][column]);
        }
        std::printf("\n");
    };
    time_row("number_text (std::string)", 0, true);
    time_row("number_text_to (buffer)", 1, true);
    for (int i = 0; i < peer_count; ++i) time_row(peers[i].name, 2 + i, peers[i].format != nullptr);

    std::printf("\nRatio = peer's time / number_text's (above 1: number_text is faster); text-returning peers\n"
                "against number_text, buffer-writing peers against number_text_to:\n\n| peer |");
    for (const value_set& s : sets) std::printf(" %s |", s.name);
    std::printf("\n|---|");
    for (int s = 0; s < set_count; ++s) std::printf("---:|");
    std::printf("\n");
    for (int i = 0; i < peer_count; ++i) {
        std::printf("| %s |", peers[i].name);
        for (int s = 0; s < set_count; ++s) {
            const double ours = times[s][peers[i].text_form ? 0 : 1];
            const double theirs = times[s][2 + i];
            if (!peers[i].format) std::printf(" not installed |");
            else if (theirs < 0) std::printf(" — |");
            else std::printf(" %.2f |", theirs / ours);
        }
        std::printf("\n");
    }
    single_values(repetitions);
    std::printf("\nReproduce: %s%s (built by ./run.sh bench, or cmake --build <build dir> --target zp_text_bench)\n",
                argv[0], repetitions == 15 ? "" : (" --repetitions=" + std::to_string(repetitions)).c_str());
    return 0;
}

// number_text against snprintf("%.17Le") on the same values: the float clock
// values and small integers the screens show, and random finite doubles.
// Prints how many times faster number_text is for each set.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "text/text.h"

namespace {

struct Value {
    long double v;
    int n;
};

const std::vector<Value>& screen_values() {
    static const std::vector<Value> values = [] {
        std::vector<Value> out;
        for (float f : {14.7456f, 7.3728f, 3.6864f, 1.8432f}) out.push_back({f, 7});
        for (int i : {1, 2, 8, 921600}) {
            out.push_back({static_cast<long double>(i), 7});
            out.push_back({static_cast<long double>(i), 15});
        }
        return out;
    }();
    return values;
}

const std::vector<Value>& random_doubles() {
    static const std::vector<Value> values = [] {
        std::vector<Value> out;
        std::mt19937_64 rng(2024);
        while (out.size() < 4096) {
            const std::uint64_t bits = rng();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            if (!std::isfinite(d)) continue;
            out.push_back({d, out.size() % 2 ? 15 : 18});
        }
        return out;
    }();
    return values;
}

void run_number_text(benchmark::State& state, const std::vector<Value>& values) {
    for (auto _ : state) {
        for (const Value& v : values) {
            std::string s = text::number_text(v.v, v.n);
            benchmark::DoNotOptimize(s.data());
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

void run_snprintf(benchmark::State& state, const std::vector<Value>& values) {
    char buf[64];
    for (auto _ : state) {
        for (const Value& v : values) {
            benchmark::DoNotOptimize(std::snprintf(buf, 64, "%.17Le", v.v));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}

void BM_screen_number_text(benchmark::State& s) { run_number_text(s, screen_values()); }
void BM_screen_snprintf(benchmark::State& s) { run_snprintf(s, screen_values()); }
void BM_random_double_number_text(benchmark::State& s) { run_number_text(s, random_doubles()); }
void BM_random_double_snprintf(benchmark::State& s) { run_snprintf(s, random_doubles()); }

BENCHMARK(BM_screen_number_text);
BENCHMARK(BM_screen_snprintf);
BENCHMARK(BM_random_double_number_text);
BENCHMARK(BM_random_double_snprintf);

// Keeps each benchmark's time per iteration so main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.iterations > 0) seconds[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* set : {"screen", "random_double"}) {
        const std::string base = std::string("BM_") + set;
        const auto ours = reporter.seconds.find(base + "_number_text");
        const auto theirs = reporter.seconds.find(base + "_snprintf");
        if (ours != reporter.seconds.end() && theirs != reporter.seconds.end() && ours->second > 0) {
            std::printf("%s: number_text is %.2fx as fast as snprintf(\"%%.17Le\")\n", set,
                        theirs->second / ours->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}

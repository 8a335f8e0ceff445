// Throughput of the decimal reader next to the runtime's conversions on the same
// strings, in the same run. The counter "numbers" prints as numbers per second.
#include "xgl/values.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Coordinate and colour texts as exporters write them.
const std::vector<std::string>& typicalNumbers() {
    static const std::vector<std::string> texts = {
        "-12.3456789", "1e-5",   "0.000123",   "123456.5",      "0.5",   "-0.70710678",
        "1",           "-250.0", "3.14159265", "0.333333",      "1024",  "-1.5e3",
        "98.7654321",  "0",      "-0.0001",    "6.02214076e23", "42.42", "0.875"};
    return texts;
}

// Numbers printed with full precision ("%.17g"), the worst case for digit loops.
const std::vector<std::string>& fullPrecisionNumbers() {
    static const std::vector<std::string> texts = [] {
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        std::vector<std::string> out;
        char buffer[40];
        for (int i = 0; i < 256; ++i) {
            std::snprintf(buffer, sizeof buffer, "%.17g", value(rng));
            out.emplace_back(buffer);
        }
        return out;
    }();
    return texts;
}

template <typename Convert>
void runOver(benchmark::State& state, const std::vector<std::string>& texts, Convert convert) {
    std::size_t count = 0;
    for (auto _ : state) {
        for (const std::string& text : texts) {
            benchmark::DoNotOptimize(convert(text));
        }
        count += texts.size();
    }
    state.counters["numbers"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}

double withParseDecimal(const std::string& text) {
    return tessaro::parseDecimal(text.c_str()).value;
}

double withStrtod(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

double withFromChars(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void BM_parseDecimal_typical(benchmark::State& state) {
    runOver(state, typicalNumbers(), withParseDecimal);
}
void BM_strtod_typical(benchmark::State& state) {
    runOver(state, typicalNumbers(), withStrtod);
}
void BM_fromChars_typical(benchmark::State& state) {
    runOver(state, typicalNumbers(), withFromChars);
}

void BM_parseDecimal_fullPrecision(benchmark::State& state) {
    runOver(state, fullPrecisionNumbers(), withParseDecimal);
}
void BM_strtod_fullPrecision(benchmark::State& state) {
    runOver(state, fullPrecisionNumbers(), withStrtod);
}
void BM_fromChars_fullPrecision(benchmark::State& state) {
    runOver(state, fullPrecisionNumbers(), withFromChars);
}

// Whole position texts as the mesh rules read them, three numbers each.
class NullReporter : public tessaro::ErrorReporter {
  public:
    void reportError(const char*) override { m_stopped = true; }
    bool isStopped() const override { return m_stopped; }

  private:
    bool m_stopped = false;
};

const std::vector<std::string>& positionTexts() {
    static const std::vector<std::string> texts = [] {
        const auto& numbers = typicalNumbers();
        std::vector<std::string> out;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            out.push_back(numbers[i] + "," + numbers[(i + 5) % numbers.size()] + ", " +
                          numbers[(i + 11) % numbers.size()]);
        }
        return out;
    }();
    return texts;
}

void BM_readVector3(benchmark::State& state) {
    NullReporter reporter;
    std::size_t count = 0;
    for (auto _ : state) {
        for (const std::string& text : positionTexts()) {
            double v[3];
            benchmark::DoNotOptimize(tessaro::readVector3(reporter, text.c_str(), v));
            benchmark::DoNotOptimize(v);
        }
        count += 3 * positionTexts().size();
    }
    state.counters["numbers"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}

// The same three numbers with strtod and a hand-written separator skip.
void BM_strtodVector3(benchmark::State& state) {
    std::size_t count = 0;
    for (auto _ : state) {
        for (const std::string& text : positionTexts()) {
            double v[3];
            const char* p = text.c_str();
            for (double& x : v) {
                p = tessaro::skipSeparators(p);
                char* end = nullptr;
                x = std::strtod(p, &end);
                p = end;
            }
            benchmark::DoNotOptimize(v);
        }
        count += 3 * positionTexts().size();
    }
    state.counters["numbers"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_parseDecimal_typical);
BENCHMARK(BM_strtod_typical);
BENCHMARK(BM_fromChars_typical);
BENCHMARK(BM_parseDecimal_fullPrecision);
BENCHMARK(BM_strtod_fullPrecision);
BENCHMARK(BM_fromChars_fullPrecision);
BENCHMARK(BM_readVector3);
BENCHMARK(BM_strtodVector3);

}  // namespace

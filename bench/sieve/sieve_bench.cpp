// Reading and writing scripts of 5,000 rules of the typical rule shapes; throughput in bytes of
// script text per second in each direction.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"
#include "scripts.h"

namespace {

using namespace wq::rules;

void parseBench(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        RuleSet rules;
        if (!parseScript(text, rules)) {
            state.SkipWithError("parse failed");
            return;
        }
        benchmark::DoNotOptimize(rules.first);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void generateBench(benchmark::State& state, const std::string& text) {
    RuleSet rules;
    if (!parseScript(text, rules)) {
        state.SkipWithError("parse failed");
        return;
    }
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        generateScript(out, rules.first);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    if (bytes != text.size()) {
        state.SkipWithError("written text differs in size");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

const std::string& junk() {
    static const std::string text = bench::junkScript(5000);
    return text;
}
const std::string& mixed() {
    static const std::string text = bench::mixedScript(5000);
    return text;
}

void BM_ParseJunk5000(benchmark::State& state) {
    parseBench(state, junk());
}
void BM_GenerateJunk5000(benchmark::State& state) {
    generateBench(state, junk());
}
void BM_ParseMixed5000(benchmark::State& state) {
    parseBench(state, mixed());
}
void BM_GenerateMixed5000(benchmark::State& state) {
    generateBench(state, mixed());
}

// Reading and writing back scripts of growing size: the fitted complexity shows whether both
// stay linear in the size of the script.
void BM_RoundTripMixed(benchmark::State& state) {
    const std::string text = bench::mixedScript(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RuleSet rules;
        if (!parseScript(text, rules)) {
            state.SkipWithError("parse failed");
            return;
        }
        std::string out;
        generateScript(out, rules.first);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_ParseJunk5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GenerateJunk5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseMixed5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GenerateMixed5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RoundTripMixed)
    ->RangeMultiplier(4)
    ->Range(256, 65536)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();

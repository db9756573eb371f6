// Compile + match throughput over 10 MB of text, line by line as grep reads it, for our
// engine, the C library's and TRE. Each iteration compiles the pattern once and runs every
// line, asking for the whole-match offsets.
//
// Then one back-reference search, "\(a*\)\(a*\)\(a*\)b\1\2\3" on n a's and a b, where a
// plain backtracking search tries every split of the a's at every start before the last: one
// compile and one regexec per iteration, n = 160, 1000 and 4000. The C library's time grows
// like n^3 here (about 0.07 s at 160 and 14 s at 1000), so its n = 4000 run, well over ten
// minutes, happens only with WQ_BENCH_SLOW=1 in the environment.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engines.h"

namespace {

// 10 MB of English-like lines from a fixed vocabulary and a fixed generator.
const std::vector<std::string>& corpus() {
    static const std::vector<std::string> lines = [] {
        static const char* const kWords[] = {
            "the",     "of",       "and",       "to",      "in",      "a",       "is",
            "that",    "for",      "it",        "as",      "was",     "with",    "be",
            "by",      "on",       "not",       "he",      "this",    "are",     "or",
            "his",     "from",     "at",        "which",   "but",     "have",    "an",
            "had",     "they",     "you",       "were",    "their",   "one",     "all",
            "we",      "can",      "her",       "has",     "there",   "been",    "if",
            "more",    "when",     "will",      "would",   "who",     "so",      "no",
            "reading", "morning",  "something", "nothing", "evening", "king",    "thing",
            "during",  "bring",    "mail",      "folder",  "server",  "message", "account",
            "rule",    "filter",   "window",    "letter",  "number",  "people",  "water",
            "house",   "quickly",  "Sherlock",  "Holmes",  "Watson",  "London",  "The",
            "Of",      "anything", "xylophone", "oxen",    "box",     "fix",     "aardvark",
            "banana",  "Qorva"};
        const size_t nw = sizeof kWords / sizeof kWords[0];
        std::vector<std::string> out;
        uint32_t x = 12345;
        size_t total = 0;
        std::string line;
        while (total < 10 * 1000 * 1000) {
            x = x * 1103515245u + 12345u;
            line += kWords[(x >> 8) % nw];
            if (line.size() > 60 + (x >> 28)) {
                total += line.size() + 1;
                out.push_back(line);
                line.clear();
            } else {
                line += ' ';
            }
        }
        return out;
    }();
    return lines;
}

size_t corpusBytes() {
    size_t n = 0;
    for (const auto& l : corpus())
        n += l.size() + 1;
    return n;
}

struct Case {
    const char* name;
    const char* pattern;
};

const Case kCases[] = {
    {"literal", "Sherlock Holmes"},
    {"class_run", "[a-z]+ing"},
    {"alternation20",
     "(reading|morning|something|nothing|evening|folder|server|message|account|filter|window|"
     "letter|number|people|water|house|quickly|London|Watson|banana)"},
    {"anchored", "^The [a-z]+ of"},
    {"pathological", "(x+x+)+y"},
};

void run(benchmark::State& state, std::unique_ptr<BenchEngine> (*make)(), const char* pattern) {
    const auto& lines = corpus();
    size_t matched = 0;
    for (auto _ : state) {
        auto engine = make();
        if (!engine || !engine->compile(pattern, false)) {
            state.SkipWithError("engine unavailable or pattern rejected");
            return;
        }
        matched = 0;
        for (const auto& l : lines)
            matched += engine->match(l.c_str()) ? 1 : 0;
        benchmark::DoNotOptimize(matched);
    }
    state.counters["lines_matched"] = static_cast<double>(matched);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(corpusBytes()));
}

void runBackrefs(benchmark::State& state, std::unique_ptr<BenchEngine> (*make)(), int n,
                 bool slow) {
    if (slow && std::getenv("WQ_BENCH_SLOW") == nullptr) {
        state.SkipWithError("skipped: over ten minutes for the C library; WQ_BENCH_SLOW=1 runs it");
        return;
    }
    const std::string subject = std::string(static_cast<size_t>(n), 'a') + "b";
    bool matched = false;
    for (auto _ : state) {
        auto engine = make();
        if (!engine || !engine->compile("\\(a*\\)\\(a*\\)\\(a*\\)b\\1\\2\\3", true)) {
            state.SkipWithError("engine unavailable or pattern rejected");
            return;
        }
        matched = engine->match(subject.c_str());
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = matched ? 1 : 0;
}

const struct Registrar {
    Registrar() {
        const struct {
            const char* name;
            std::unique_ptr<BenchEngine> (*make)();
        } engines[] = {{"ours", makeOurs}, {"glibc", makeLibc}, {"tre", makeTre}};
        for (const auto& c : kCases) {
            for (const auto& e : engines) {
                const std::string name = std::string("regex/") + c.name + "/" + e.name;
                benchmark::RegisterBenchmark(name.c_str(), run, e.make, c.pattern)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.5);
            }
        }
        for (int n : {160, 1000, 4000}) {
            for (const auto& e : engines) {
                const std::string name =
                    std::string("regex/backrefs") + std::to_string(n) + "/" + e.name;
                const bool slow = n > 1000 && e.make == makeLibc;
                benchmark::RegisterBenchmark(name.c_str(), runBackrefs, e.make, n, slow)
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.5);
            }
        }
    }
} registrar;

}  // namespace
BENCHMARK_MAIN();

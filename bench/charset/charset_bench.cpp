// Mailbox-name conversions on 1 MB of folder names, with iconv's UTF-8 <-> UTF-16 on the same
// text as the yardstick. Throughput is per byte of input.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "text/charset.h"

namespace {

// Folder names in the ANSI code page (Windows-1252 unless WQ_ANSI_CODEPAGE says otherwise).
const std::string& ansiNames() {
    static const std::string names = [] {
        const char* const parts[] = {"INBOX",
                                     "Sent Items",
                                     "Archiv/2026",
                                     "Caf\xE9 & Bar",
                                     "Entw\xFCrfe",
                                     "Gel\xF6scht",
                                     "R\xE9sum\xE9s",
                                     "Lists/linux-kernel",
                                     "Proj-\xC4nderung",
                                     "Na\xEFve/\xC9t\xE9",
                                     "Spam",
                                     "Clients/M\xFCller GmbH & Co"};
        std::string text;
        for (size_t i = 0; text.size() < (1u << 20); ++i) {
            text += parts[i % (sizeof parts / sizeof parts[0])];
            text += '/';
        }
        text.resize(1u << 20);
        return text;
    }();
    return names;
}

void BM_AnsiToMutf7(benchmark::State& state) {
    const std::string& ansi = ansiNames();
    for (auto _ : state) {
        benchmark::DoNotOptimize(wq::ansiToMutf7(ansi));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ansi.size()));
}

void BM_Mutf7ToAnsi(benchmark::State& state) {
    const std::string mutf7 = wq::ansiToMutf7(ansiNames());
    for (auto _ : state) {
        benchmark::DoNotOptimize(wq::mutf7ToAnsi(mutf7));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mutf7.size()));
}

std::string iconvAll(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

void BM_IconvUtf8ToUtf16(benchmark::State& state) {
    const std::string utf8 = wq::ansiToUtf8(ansiNames());
    for (auto _ : state) {
        benchmark::DoNotOptimize(iconvAll("UTF-16LE", "UTF-8", utf8));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8.size()));
}

void BM_IconvUtf16ToUtf8(benchmark::State& state) {
    const std::string utf16 = iconvAll("UTF-16LE", "UTF-8", wq::ansiToUtf8(ansiNames()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(iconvAll("UTF-8", "UTF-16LE", utf16));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf16.size()));
}

}  // namespace

BENCHMARK(BM_AnsiToMutf7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mutf7ToAnsi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IconvUtf8ToUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IconvUtf16ToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// Whole-process counterpart of "sievec" for the side-by-side run: reads a script file, parses
// it and writes it back into memory, and reports the peak resident memory.
//
//   sieve_file <script>           parse and regenerate; exit 0 when the text regenerates as read
//   sieve_file --make junk|mixed <count> <out>   write a script of <count> rules
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"
#include "scripts.h"

int main(int argc, char** argv) {
    using namespace wq::rules;
    if (argc == 5 && std::strcmp(argv[1], "--make") == 0) {
        int count = std::atoi(argv[3]);
        std::string text = std::strcmp(argv[2], "junk") == 0 ? bench::junkScript(count)
                                                             : bench::mixedScript(count);
        std::ofstream(argv[4], std::ios::binary) << text;
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: sieve_file <script> | --make junk|mixed <count> <out>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
    std::string text(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    auto t0 = std::chrono::steady_clock::now();
    RuleSet rules;
    ParseResult result;
    if (!parseScript(text, rules, 0, &result)) {
        std::fprintf(stderr, "line %u: %s\n", result.line, result.errorMessage.c_str());
        return 1;
    }
    auto t1 = std::chrono::steady_clock::now();
    std::string out;
    generateScript(out, rules.first.get());
    auto t2 = std::chrono::steady_clock::now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::fprintf(stderr, "%zu bytes, %zu rules: parse %.2f ms, write %.2f ms, peak RSS %ld KiB\n",
                 text.size(), rules.size(), ms(t1 - t0), ms(t2 - t1), usage.ru_maxrss);
    return out == text ? 0 : 3;
}

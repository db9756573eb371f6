// Whole-process counterpart of "sievec" for the side-by-side run: maps a script file, parses it
// and writes it back into memory, and reports the times, the tree's memory and the peak
// resident memory.
//
//   sieve_file <script>           parse and regenerate; exit 0 when the text regenerates as read
//   sieve_file --make junk|mixed <count> <out>   write a script of <count> rules
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        std::perror(argv[1]);
        return 2;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    void* mapped = size ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    if (mapped == MAP_FAILED) {
        std::perror(argv[1]);
        return 2;
    }
    const std::string_view text(static_cast<const char*>(mapped), size);
    auto t0 = std::chrono::steady_clock::now();
    RuleSet rules;
    ParseResult result;
    if (!parseScript(text, rules, 0, &result)) {
        std::fprintf(stderr, "line %u: %s\n", result.line, result.errorMessage.c_str());
        return 1;
    }
    auto t1 = std::chrono::steady_clock::now();
    std::string out;
    generateScript(out, rules.first);
    auto t2 = std::chrono::steady_clock::now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    auto rate = [&](auto d) { return ms(d) > 0 ? static_cast<double>(size) / 1e3 / ms(d) : 0.0; };
    std::fprintf(stderr,
                 "%zu bytes, %zu rules: parse %.2f ms (%.0f MB/s), write %.2f ms (%.0f MB/s), "
                 "tree %zu KiB, peak RSS %ld KiB\n",
                 size, rules.size(), ms(t1 - t0), rate(t1 - t0), ms(t2 - t1), rate(t2 - t1),
                 rules.arena.bytesHeld() / 1024, usage.ru_maxrss);
    return out == text ? 0 : 3;
}

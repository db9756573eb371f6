// Random patterns, flags and subjects through the exported interface: no crash, no leak, no
// hang. Input: one byte of compile flags, one byte of execution flags, then the pattern and
// the subject separated by the first NUL (the pattern may hold further NULs through REG_PEND
// when the subject is given with REG_STARTEND).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "wqrt_regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    int cflags = data[0] & (WQ_REG_EXTENDED | WQ_REG_ICASE | WQ_REG_NOSUB | WQ_REG_NEWLINE |
                            WQ_REG_NOSPEC | WQ_REG_DUMP);
    const int eflags = data[1] & (WQ_REG_NOTBOL | WQ_REG_NOTEOL | WQ_REG_STARTEND | 0x10);
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t cut = rest.find('\0');
    const std::string pattern = rest.substr(0, cut);
    const std::string subject = cut == std::string::npos ? std::string() : rest.substr(cut + 1);

    wq_regex_t re{};
    if (data[0] & 0x40) {
        cflags |= WQ_REG_PEND;
        re.re_endp = pattern.data() + pattern.size();
    }
    const int err = wq_regcomp(&re, pattern.c_str(), cflags);
    char buf[64];
    wq_regerror(err, &re, buf, sizeof buf);
    wq_regerror(err | WQ_REG_ITOA, &re, buf, 5);
    if (err != 0) {
        // A failed compile must leave nothing usable behind.
        if (wq_regexec(&re, subject.c_str(), 0, nullptr, 0) != WQ_REG_BADPAT)
            __builtin_trap();
        return 0;
    }
    wq_regmatch_t m[12];
    m[0].rm_so = 0;
    m[0].rm_eo = static_cast<int32_t>(subject.size());
    const int r = wq_regexec(&re, subject.c_str(), 12, m, eflags);
    if (r == 0 && !(cflags & WQ_REG_NOSUB)) {
        const auto limit = static_cast<int32_t>(
            (eflags & WQ_REG_STARTEND) ? subject.size() : std::strlen(subject.c_str()));
        for (const auto& s : m) {
            if (s.rm_so == -1 && s.rm_eo == -1)
                continue;
            if (s.rm_so < 0 || s.rm_so > s.rm_eo || s.rm_eo > limit)
                __builtin_trap();
        }
    } else if (r != 0 && r != WQ_REG_NOMATCH && r != WQ_REG_ESPACE) {
        __builtin_trap();
    }
    wq_regexec(&re, subject.c_str(), 0, nullptr, eflags & ~WQ_REG_STARTEND);
    wq_regfree(&re);
    return 0;
}

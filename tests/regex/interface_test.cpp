// The exported interface's own rules: regerror's table and requests, flag checks, the life of
// a compiled expression, REG_STARTEND offsets, REG_NOSUB and the Regex_T members.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "wqrt_regex.h"

namespace {

std::string message(int code, const wq_regex_t* re = nullptr, size_t size = 128,
                    size_t* length = nullptr) {
    char buf[128];
    std::memset(buf, 'x', sizeof buf);
    const size_t n = wq_regerror(code, re, buf, size);
    if (length != nullptr)
        *length = n;
    return size == 0 ? std::string() : std::string(buf);
}

TEST(RegexInterface, RegerrorTextsNamesAndTruncation) {
    char buf[10];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(wq_regerror(WQ_REG_NOMATCH, nullptr, buf, sizeof buf), 26u);
    EXPECT_STREQ(buf, "regexec()");

    EXPECT_EQ(message(WQ_REG_EESCAPE), "trailing backslash (\\)");
    EXPECT_EQ(message(WQ_REG_ASSERT), "\"can't happen\" -- you found a bug");
    EXPECT_EQ(message(WQ_REG_INVARG), "invalid argument to regex routine");
    EXPECT_EQ(message(0), "*** unknown regexp error code ***");
    EXPECT_EQ(message(17), "*** unknown regexp error code ***");
    EXPECT_EQ(message(17 | WQ_REG_ITOA), "REG_0x11");
    EXPECT_EQ(message(WQ_REG_EBRACE | WQ_REG_ITOA), "REG_EBRACE");
    EXPECT_EQ(message(WQ_REG_ITOA), "REG_0x0");

    // Size 0 writes nothing but still reports the length; an exact fit keeps every byte.
    size_t length = 0;
    char untouched = 'q';
    EXPECT_EQ(wq_regerror(WQ_REG_BADPAT, nullptr, &untouched, 0), 27u);
    EXPECT_EQ(untouched, 'q');
    EXPECT_EQ(message(WQ_REG_BADPAT, nullptr, 27, &length), "invalid regular expression");
    EXPECT_EQ(length, 27u);
    EXPECT_EQ(message(WQ_REG_BADPAT, nullptr, 1), "");
}

TEST(RegexInterface, RegerrorAtoiReadsTheNameAtReEndp) {
    wq_regex_t re{};
    re.re_endp = "REG_EBRACE";
    EXPECT_EQ(message(WQ_REG_ATOI, &re), "9");
    re.re_endp = "REG_INVARG";
    EXPECT_EQ(message(WQ_REG_ATOI, &re), "16");
    re.re_endp = "REG_NOTANERROR";
    EXPECT_EQ(message(WQ_REG_ATOI, &re), "0");
    re.re_endp = "EBRACE";
    EXPECT_EQ(message(WQ_REG_ATOI, &re), "0");
}

TEST(RegexInterface, CompileFlagChecksAndLifecycle) {
    wq_regex_t re{};
    EXPECT_EQ(wq_regcomp(&re, "a", WQ_REG_EXTENDED | WQ_REG_NOSPEC), 16);

    // REG_PEND with the end before the pattern.
    const char text[] = "xabc";
    re.re_endp = text;
    EXPECT_EQ(wq_regcomp(&re, text + 1, WQ_REG_PEND), WQ_REG_INVARG);
    // REG_PEND takes exactly the bytes up to re_endp, NULs included.
    const char withNul[] = "a\0b";
    re.re_endp = withNul + 3;
    ASSERT_EQ(wq_regcomp(&re, withNul, WQ_REG_PEND), 0);
    wq_regmatch_t m[1] = {{0, 3}};
    EXPECT_EQ(wq_regexec(&re, withNul, 1, m, WQ_REG_STARTEND), 0);
    EXPECT_EQ(m[0].rm_so, 0);
    EXPECT_EQ(m[0].rm_eo, 3);
    wq_regfree(&re);

    ASSERT_EQ(wq_regcomp(&re, "a(b)c", WQ_REG_EXTENDED), 0);
    EXPECT_EQ(re.re_magic, 62053);
    EXPECT_EQ(re.re_nsub, 1u);
    wq_regfree(&re);
    EXPECT_EQ(wq_regexec(&re, "abc", 0, nullptr, 0), WQ_REG_BADPAT);
    wq_regfree(&re);  // a second free is harmless

    // A failed compile leaves nothing behind that regexec would use.
    EXPECT_EQ(wq_regcomp(&re, "a(b", WQ_REG_EXTENDED), WQ_REG_EPAREN);
    EXPECT_EQ(wq_regexec(&re, "ab", 0, nullptr, 0), WQ_REG_BADPAT);
    wq_regex_t garbage{};
    garbage.re_magic = 12345;
    EXPECT_EQ(wq_regexec(&garbage, "ab", 0, nullptr, 0), WQ_REG_BADPAT);

    // Expansion too large for the program limit.
    EXPECT_EQ(wq_regcomp(&re, "((a{255}){255}){255}", WQ_REG_EXTENDED), WQ_REG_ESPACE);
    // Nesting beyond the limit.
    std::string deep(WQ_REG_MAX_NESTING + 5, '(');
    deep += "a";
    deep += std::string(WQ_REG_MAX_NESTING + 5, ')');
    EXPECT_EQ(wq_regcomp(&re, deep.c_str(), WQ_REG_EXTENDED), WQ_REG_ESPACE);
}

TEST(RegexInterface, ExecOffsetsStartEndAndNosub) {
    wq_regex_t re{};
    ASSERT_EQ(wq_regcomp(&re, "b(c*)d", WQ_REG_EXTENDED), 0);
    wq_regmatch_t m[4];
    // Offsets count from the start of the string, not from rm_so.
    m[0] = {3, 9};
    const char* s = "bcd_bccdbd";
    ASSERT_EQ(wq_regexec(&re, s, 4, m, WQ_REG_STARTEND), 0);
    EXPECT_EQ(m[0].rm_so, 4);
    EXPECT_EQ(m[0].rm_eo, 8);
    EXPECT_EQ(m[1].rm_so, 5);
    EXPECT_EQ(m[1].rm_eo, 7);
    EXPECT_EQ(m[2].rm_so, -1);  // slots past re_nsub
    EXPECT_EQ(m[3].rm_eo, -1);
    m[0] = {4, 7};
    EXPECT_EQ(wq_regexec(&re, s, 4, m, WQ_REG_STARTEND), WQ_REG_NOMATCH);
    // Unknown execution bits are ignored.
    EXPECT_EQ(wq_regexec(&re, s, 1, m, 0x100), 0);
    EXPECT_EQ(m[0].rm_so, 0);
    wq_regfree(&re);

    ASSERT_EQ(wq_regcomp(&re, "b+", WQ_REG_EXTENDED | WQ_REG_NOSUB), 0);
    m[0] = {-5, -5};
    EXPECT_EQ(wq_regexec(&re, "abbc", 1, m, 0), 0);
    EXPECT_EQ(m[0].rm_so, -5);  // REG_NOSUB reports nothing
    EXPECT_EQ(wq_regexec(&re, "ac", 1, m, 0), WQ_REG_NOMATCH);
    wq_regfree(&re);
}

TEST(RegexInterface, RegexTMembersForward) {
    Regex_T r{};
    ASSERT_EQ(r.regcomp("[[:<:]]w(or)d[[:>:]]", WQ_REG_EXTENDED), 0);
    EXPECT_EQ(r.re_nsub, 1u);
    wq_regmatch_t m[2];
    ASSERT_EQ(r.regexec("a sword, a word", 2, m, 0), 0);
    EXPECT_EQ(m[0].rm_so, 11);
    EXPECT_EQ(m[1].rm_so, 12);
    EXPECT_EQ(m[1].rm_eo, 14);
    EXPECT_EQ(r.regexec("swords", 2, m, 0), WQ_REG_NOMATCH);
    char buf[32];
    EXPECT_EQ(r.regerror(WQ_REG_EPAREN, buf, sizeof buf), 25u);
    EXPECT_STREQ(buf, "parentheses not balanced");
    wq_regfree(&r);
    EXPECT_EQ(r.regexec("word", 0, nullptr, 0), WQ_REG_BADPAT);
    EXPECT_EQ(r.regcomp("a\\{1", 0), WQ_REG_EBRACE);
}

TEST(RegexInterface, BackReferencesAreBounded) {
    wq_regex_t re{};
    // A search nested deeper than WQ_REG_BACKTRACK_DEPTH (an iteration of a subexpression
    // that is not a single byte nests) gives up instead of exhausting the stack.
    ASSERT_EQ(wq_regcomp(&re, "\\(ab\\)*\\1", 0), 0);
    std::string s;
    for (int i = 0; i < WQ_REG_BACKTRACK_DEPTH; ++i)
        s += "ab";
    wq_regmatch_t m[1];
    EXPECT_EQ(wq_regexec(&re, s.c_str(), 1, m, 0), WQ_REG_ESPACE);
    wq_regfree(&re);
    // An ordinary back-reference on a long subject is fine.
    ASSERT_EQ(wq_regcomp(&re, "\\(ab*\\)x\\1", 0), 0);
    const std::string t = std::string(100000, 'q') + "abbxabb";
    ASSERT_EQ(wq_regexec(&re, t.c_str(), 1, m, 0), 0);
    EXPECT_EQ(m[0].rm_so, 100000);
    EXPECT_EQ(m[0].rm_eo, 100007);
    wq_regfree(&re);
}

}  // namespace

// Which bytes each subexpression reports, and how the flags change matching, beyond what the
// Spencer lines pin down: the rules documented in dissect.cpp and backtrack.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wqrt_regex.h"

namespace {

struct Case {
    const char* pattern;
    int cflags;
    const char* subject;
    int eflags;
    std::vector<std::pair<int, int>> spans;  // empty: no match expected
};

std::string describe(const Case& c) {
    return std::string(c.pattern) + " on \"" + c.subject + "\"";
}

TEST(RegexSemantics, SubexpressionsAndFlags) {
    const int E = WQ_REG_EXTENDED;
    const Case cases[] = {
        // Each part of a concatenation as long as the rest allows, left to right.
        {"(a|ab)(c|bcd)(d*)", E, "abcd", 0, {{0, 4}, {0, 2}, {2, 3}, {3, 4}}},
        {"(a*)(a*)", E, "aaa", 0, {{0, 3}, {0, 3}, {3, 3}}},
        // Iterations as long as they can be; the last one reports.
        {"(a|aa)*", E, "aaa", 0, {{0, 3}, {2, 3}}},
        {"(ab|a)(bc|c)*", E, "abcbc", 0, {{0, 5}, {0, 2}, {3, 5}}},
        // An operand that can match nothing gets one more, empty, iteration at the end.
        {"(a*)+", E, "aa", 0, {{0, 2}, {2, 2}}},
        // Only the last iteration is dissected.
        {"((a)|b)+", E, "ab", 0, {{0, 2}, {1, 2}, {-1, -1}}},
        // The first alternative that covers the span.
        {"(a|a)(b)", E, "ab", 0, {{0, 2}, {0, 1}, {1, 2}}},
        // Counted copies share the number; the last copy that takes part reports.
        {"(x|y){2,3}z", E, "xyz", 0, {{0, 3}, {1, 2}}},
        // Flags.
        {"a$", E | WQ_REG_NEWLINE, "a\na", WQ_REG_NOTEOL, {{0, 1}}},
        {"a$", E, "a\na", WQ_REG_NOTEOL, {}},
        {"^b", E | WQ_REG_NEWLINE, "b\nb", WQ_REG_NOTBOL, {{2, 3}}},
        {"[^x]+", E | WQ_REG_NEWLINE, "ab\ncd", 0, {{0, 2}}},
        {".+", E, "ab\ncd", 0, {{0, 5}}},
        {"AB[c-d]", E | WQ_REG_ICASE, "xabD", 0, {{1, 4}}},
        {"[[:<:]]b", E, "ab b", 0, {{3, 4}}},
        {"b[[:>:]]", E, "ba b", 0, {{3, 4}}},
        // The edges of the subject are word boundaries only where they are a beginning or end
        // of line: REG_NOTBOL and REG_NOTEOL take them away, as for ^ and $.
        {"[[:<:]]a", E, "ab", WQ_REG_NOTBOL, {}},
        {"a[[:>:]]", E, "ba", WQ_REG_NOTEOL, {}},
        {"([[:<:]])a", E, "ab a", WQ_REG_NOTBOL, {{3, 4}, {3, 3}}},
        {"a([[:>:]])", E, "a ba", WQ_REG_NOTEOL, {{0, 1}, {1, 1}}},
        {"[[:<:]]\\(a\\)\\1", 0, "aa", WQ_REG_NOTBOL, {}},
        {"\\(a\\)\\1[[:>:]]", 0, "aa", WQ_REG_NOTEOL, {}},
        {"[[:<:]]\\(a\\)\\1", 0, "aa aa", WQ_REG_NOTBOL, {{3, 5}, {3, 4}}},
        // Back-references: the latest span of the subexpression, compared without case
        // under REG_ICASE; a subexpression that took no part matches nothing.
        {"\\(a\\)\\1", WQ_REG_ICASE, "xaA", 0, {{1, 3}, {1, 2}}},
        {"\\(a\\)*\\1b", 0, "b", 0, {}},
        {"\\([ab]\\)*c\\1", 0, "abcb", 0, {{0, 4}, {1, 2}}},
        {"\\(a*\\)b\\1$", 0, "aabaaa", 0, {}},
        {"\\(a*\\)b\\1$", 0, "aabaa", 0, {{0, 5}, {0, 2}}},
        // An iteration that matches the empty string is the last one, and reports.
        {"\\(a*\\)*\\1", 0, "b", 0, {{0, 0}, {0, 0}}},
        {"\\(a*\\)*b\\1", 0, "aab", 0, {{0, 3}, {2, 2}}},
        {"\\(\\(a*\\)*\\)\\1b", 0, "aaaaab", 0, {{1, 6}, {1, 3}, {3, 3}}},
        // A back-reference repeats the bytes, not the assertions that held around them.
        {"\\(^a\\)x\\1", 0, "axa", 0, {{0, 3}, {0, 1}}},
        {"\\([[:<:]]a\\)x\\1", 0, "axa", 0, {{0, 3}, {0, 1}}},
    };
    for (const Case& c : cases) {
        wq_regex_t re{};
        ASSERT_EQ(wq_regcomp(&re, c.pattern, c.cflags), 0) << describe(c);
        wq_regmatch_t m[5];
        const int r = wq_regexec(&re, c.subject, 5, m, c.eflags);
        // Without slots a different search runs; it must agree.
        EXPECT_EQ(wq_regexec(&re, c.subject, 0, nullptr, c.eflags), r) << describe(c);
        if (c.spans.empty()) {
            EXPECT_EQ(r, WQ_REG_NOMATCH) << describe(c);
        } else {
            ASSERT_EQ(r, 0) << describe(c);
            for (size_t i = 0; i < c.spans.size(); ++i) {
                EXPECT_EQ(m[i].rm_so, c.spans[i].first) << describe(c) << " slot " << i;
                EXPECT_EQ(m[i].rm_eo, c.spans[i].second) << describe(c) << " slot " << i;
            }
        }
        wq_regfree(&re);
    }
}

// More states than the automata's caches hold: the simulation takes over with the same answer.
TEST(RegexSemantics, LargeAutomataGiveTheSameAnswers) {
    wq_regex_t small{}, large{};
    // "a" twelve bytes before the end needs 2^13 states to recognise; the anchored form is
    // the same language for these subjects and stays small.
    ASSERT_EQ(wq_regcomp(&large, "[ab]*a[ab]{12}$", WQ_REG_EXTENDED), 0);
    ASSERT_EQ(wq_regcomp(&small, "^[ab]*a[ab]{12}$", WQ_REG_EXTENDED), 0);
    unsigned x = 7;
    for (int round = 0; round < 200; ++round) {
        std::string s;
        for (int i = 0; i < 40; ++i) {
            x = x * 1103515245u + 12345u;
            s += (x >> 16) & 1 ? 'a' : 'b';
        }
        wq_regmatch_t a[1], b[1];
        const int ra = wq_regexec(&large, s.c_str(), 1, a, 0);
        const int rb = wq_regexec(&small, s.c_str(), 1, b, 0);
        ASSERT_EQ(ra, rb) << s;
        if (ra == 0) {
            EXPECT_EQ(a[0].rm_so, 0) << s;
            EXPECT_EQ(a[0].rm_eo, b[0].rm_eo) << s;
        }
        EXPECT_EQ(wq_regexec(&large, s.c_str(), 0, nullptr, 0), ra) << s;
    }
    wq_regfree(&large);
    wq_regfree(&small);
}

}  // namespace

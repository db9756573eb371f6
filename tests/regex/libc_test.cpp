// Our engine and the C library's in one process: each keeps its own names and behaviour, and on
// the patterns where POSIX leaves no choice they find the same whole match.
#include <gtest/gtest.h>
#include <regex.h>

#include <algorithm>
#include <random>
#include <string>

#include "wqrt_regex.h"

namespace {

TEST(RegexLibc, BothEnginesLiveSideBySide) {
    wq_regex_t ours{};
    regex_t theirs{};
    // The word-boundary brackets are ours only.
    EXPECT_EQ(wq_regcomp(&ours, "[[:<:]]ab", WQ_REG_EXTENDED), 0);
    EXPECT_NE(regcomp(&theirs, "[[:<:]]ab", REG_EXTENDED), 0);
    wq_regmatch_t m[1];
    EXPECT_EQ(wq_regexec(&ours, "cab ab", 1, m, 0), 0);
    EXPECT_EQ(m[0].rm_so, 4);
    wq_regfree(&ours);
    // And a pattern both accept works in both, through their own entry points.
    ASSERT_EQ(wq_regcomp(&ours, "b+c", WQ_REG_EXTENDED), 0);
    ASSERT_EQ(regcomp(&theirs, "b+c", REG_EXTENDED), 0);
    regmatch_t t[1];
    EXPECT_EQ(regexec(&theirs, "abbc", 1, t, 0), 0);
    EXPECT_EQ(wq_regexec(&ours, "abbc", 1, m, 0), 0);
    EXPECT_EQ(t[0].rm_so, m[0].rm_so);
    EXPECT_EQ(t[0].rm_eo, m[0].rm_eo);
    regfree(&theirs);
    wq_regfree(&ours);
    // Our error texts are the 4.4BSD ones, whatever the C library says.
    char buf[64];
    wq_regerror(WQ_REG_BADRPT, nullptr, buf, sizeof buf);
    EXPECT_STREQ(buf, "repetition-operator operand invalid");
}

// Back-references in basic expressions, where the C library's submatch rules and ours agree:
// every slot the same.
TEST(RegexLibc, BackReferenceSubmatchesAgree) {
    const char* const cases[][2] = {
        {"\\(a*\\)*\\1", "b"},
        {"\\(b*\\)*a\\1", "a"},
        {"\\([ab]*\\)*c\\1", "c"},
        {"\\(^a\\)x\\1", "axa"},
        {"\\(a*\\)\\(a*\\)\\(a*\\)b\\1\\2\\3", "aaaab"},
        {"\\(a*\\)b\\1\\1", "aaaabaa"},
        {"\\(a\\)*x\\1", "aaxa"},
        {"\\(ab*\\)\\1*c", "abbabbc"},
    };
    for (const auto& c : cases) {
        wq_regex_t ours{};
        regex_t theirs{};
        ASSERT_EQ(wq_regcomp(&ours, c[0], 0), 0) << c[0];
        ASSERT_EQ(regcomp(&theirs, c[0], 0), 0) << c[0];
        wq_regmatch_t m[4];
        regmatch_t t[4];
        const int a = wq_regexec(&ours, c[1], 4, m, 0);
        ASSERT_EQ(a, regexec(&theirs, c[1], 4, t, 0)) << c[0] << " on " << c[1];
        for (size_t i = 0; a == 0 && i <= ours.re_nsub; ++i) {
            EXPECT_EQ(m[i].rm_so, t[i].rm_so) << c[0] << " on " << c[1] << " slot " << i;
            EXPECT_EQ(m[i].rm_eo, t[i].rm_eo) << c[0] << " on " << c[1] << " slot " << i;
        }
        wq_regfree(&ours);
        regfree(&theirs);
    }
}

// Random extended expressions over a small alphabet, without back-references and without
// empty alternatives or subexpressions.
class PatternMaker {
  public:
    explicit PatternMaker(unsigned seed) : rng_(seed) {}
    std::string make(int depth) {
        std::string out;
        const int items = pick(1, 3);
        for (int i = 0; i < items; ++i)
            out += piece(depth);
        if (depth > 0 && pick(0, 4) == 0)
            out += "|" + make(depth - 1);
        return out;
    }
    std::string subject() {
        std::string s;
        const int n = pick(0, 14);
        for (int i = 0; i < n; ++i)
            s += "abcA\n"[pick(0, 4)];
        return s;
    }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  private:
    std::string piece(int depth) {
        std::string atom;
        switch (pick(0, depth > 0 ? 7 : 5)) {
            case 0:
            case 1:
                atom = std::string(1, "abc"[pick(0, 2)]);
                break;
            case 2:
                atom = ".";
                break;
            case 3:
                atom = "[ab]";
                break;
            case 4:
                atom = "[^a]";
                break;
            case 5:
                atom = "a";
                break;
            default:
                atom = "(" + make(depth - 1) + ")";
                break;
        }
        switch (pick(0, 9)) {
            case 0:
                return atom + "*";
            case 1:
                return atom + "+";
            case 2:
                return atom + "?";
            case 3: {
                // {0,0} drops the atom, which 4.4BSD then reports as an empty expression.
                const int lo = pick(0, 2);
                const int hi = std::max(1, lo + pick(0, 2));
                return atom + "{" + std::to_string(lo) + "," + std::to_string(hi) + "}";
            }
            default:
                return atom;
        }
    }
    std::mt19937 rng_;
};

TEST(RegexLibc, WholeMatchAgreesWithTheCLibrary) {
    PatternMaker maker(20261206);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string pattern = maker.make(3);
        if (maker.pick(0, 5) == 0)
            pattern = "^" + pattern;
        if (maker.pick(0, 5) == 0)
            pattern += "$";
        const bool newline = maker.pick(0, 2) == 0;
        const bool icase = maker.pick(0, 3) == 0;
        const bool notbol = maker.pick(0, 5) == 0;
        wq_regex_t ours{};
        regex_t theirs{};
        ASSERT_EQ(wq_regcomp(&ours, pattern.c_str(),
                             WQ_REG_EXTENDED | (newline ? WQ_REG_NEWLINE : 0) |
                                 (icase ? WQ_REG_ICASE : 0)),
                  0)
            << pattern;
        ASSERT_EQ(regcomp(&theirs, pattern.c_str(),
                          REG_EXTENDED | (newline ? REG_NEWLINE : 0) | (icase ? REG_ICASE : 0)),
                  0)
            << pattern;
        for (int k = 0; k < 8; ++k) {
            const std::string s = maker.subject();
            wq_regmatch_t m[1];
            regmatch_t t[1];
            const int a = wq_regexec(&ours, s.c_str(), 1, m, notbol ? WQ_REG_NOTBOL : 0);
            const int b = regexec(&theirs, s.c_str(), 1, t, notbol ? REG_NOTBOL : 0);
            // Without slots only the forward search runs; it must agree with the full one.
            ASSERT_EQ(wq_regexec(&ours, s.c_str(), 0, nullptr, notbol ? WQ_REG_NOTBOL : 0), a)
                << pattern << " on \"" << s << "\"";
            ASSERT_EQ(a == 0, b == 0)
                << pattern << " on \"" << s << "\" " << newline << icase << notbol;
            if (a == 0) {
                ASSERT_EQ(m[0].rm_so, t[0].rm_so) << pattern << " on \"" << s << "\"";
                ASSERT_EQ(m[0].rm_eo, t[0].rm_eo) << pattern << " on \"" << s << "\"";
            }
            ++compared;
        }
        wq_regfree(&ours);
        regfree(&theirs);
    }
    EXPECT_EQ(compared, 24000);
}

}  // namespace

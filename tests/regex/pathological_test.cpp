// Patterns that make backtracking engines take exponential time; ours must simply finish.
#include <gtest/gtest.h>

#include <string>

#include "wqrt_regex.h"

namespace {

int run(const char* pattern, const std::string& subject, wq_regmatch_t* m, size_t n,
        int cflags = WQ_REG_EXTENDED) {
    wq_regex_t re{};
    EXPECT_EQ(wq_regcomp(&re, pattern, cflags), 0) << pattern;
    const int r = wq_regexec(&re, subject.c_str(), n, m, 0);
    wq_regfree(&re);
    return r;
}

TEST(RegexPathological, NestedRepetitionsFinish) {
    wq_regmatch_t m[3];
    EXPECT_EQ(run("(a|aa)*b", std::string(100000, 'a'), m, 3), WQ_REG_NOMATCH);
    EXPECT_EQ(run("(x+x+)+y", std::string(50000, 'x'), m, 3), WQ_REG_NOMATCH);
    // With a match, the submatches are worked out on the long subject too.
    ASSERT_EQ(run("(a|aa)*b", std::string(100000, 'a') + "b", m, 2), 0);
    EXPECT_EQ(m[0].rm_so, 0);
    EXPECT_EQ(m[0].rm_eo, 100001);
    EXPECT_EQ(m[1].rm_eo, 100000);
    EXPECT_EQ(m[1].rm_so, 99998);  // each iteration as long as it can be: "aa"
    ASSERT_EQ(run("(x+x+)+y", std::string(50000, 'x') + "y", m, 2), 0);
    EXPECT_EQ(m[0].rm_eo, 50001);
    EXPECT_EQ(m[1].rm_eo, 50000);
}

// Back-references: subexpressions that share a run of a's, references that can only fail
// after every split was tried, many candidate ends per start. Each must be answered, not
// given up on, at these sizes.
TEST(RegexPathological, BackReferenceSearchesFinish) {
    wq_regmatch_t m[4];
    // Only the empty split at the last start leaves the references nothing to repeat.
    for (int n : {160, 4000}) {
        ASSERT_EQ(run("\\(a*\\)\\(a*\\)\\(a*\\)b\\1\\2\\3", std::string(n, 'a') + "b", m, 4, 0), 0)
            << n;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(m[i].rm_so, n) << n << " slot " << i;
            EXPECT_EQ(m[i].rm_eo, i == 0 ? n + 1 : n) << n << " slot " << i;
        }
    }
    // Exponentially many ways to split the a's among iterations.
    ASSERT_EQ(run("\\(\\(a*\\)*\\)\\1b", std::string(41, 'a') + "b", m, 2, 0), 0);
    EXPECT_EQ(m[0].rm_so, 1);
    EXPECT_EQ(m[1].rm_eo, 21);
    EXPECT_EQ(run("\\(\\([ab]a*\\)*b\\)*x\\2c", std::string(60, 'a') + "bxbc", m, 1, 0),
              WQ_REG_NOMATCH);
    // Runs that go on past the last end a match could have.
    const std::string tail = "c" + std::string(40, 'z');
    EXPECT_EQ(run("\\(.*\\)*x\\1c", std::string(100, 'a') + "xd" + tail, m, 1, 0), WQ_REG_NOMATCH);
    ASSERT_EQ(run("\\(.*\\)*x\\1c", std::string(30, 'a') + "xa" + tail, m, 2, 0), 0);
    EXPECT_EQ(m[0].rm_eo, 33);
    EXPECT_EQ(m[1].rm_so, 29);
    // Every start has 501 candidate ends.
    ASSERT_EQ(run("\\(a*\\)b\\1\\1", std::string(1000, 'a') + "b" + std::string(500, 'a'), m, 2, 0),
              0);
    EXPECT_EQ(m[0].rm_so, 750);
    EXPECT_EQ(m[0].rm_eo, 1501);
    EXPECT_EQ(m[1].rm_eo, 1000);
}

}  // namespace

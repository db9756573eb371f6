// Patterns that make backtracking engines take exponential time; ours must simply finish.
#include <gtest/gtest.h>

#include <string>

#include "wqrt_regex.h"

namespace {

int run(const char* pattern, const std::string& subject, wq_regmatch_t* m, size_t n) {
    wq_regex_t re{};
    EXPECT_EQ(wq_regcomp(&re, pattern, WQ_REG_EXTENDED), 0) << pattern;
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

}  // namespace

// Henry Spencer's regression lines, run the way his harness runs them: every line once, and a
// second time as a basic expression when its flags carry "&". Without the file the test is
// skipped and says where it looked.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "wqrt_regex.h"

namespace {

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == '\t')
            ++i;
        if (i == line.size())
            break;
        size_t j = line.find('\t', i);
        if (j == std::string::npos)
            j = line.size();
        std::string f = line.substr(i, j - i);
        fields.push_back(f == "\"\"" ? std::string() : f);
        i = j;
    }
    return fields;
}

// N newline, T tab, S space, Z NUL; the length never changes.
std::string fix(std::string s) {
    for (char& c : s) {
        if (c == 'N')
            c = '\n';
        if (c == 'T')
            c = '\t';
        if (c == 'S')
            c = ' ';
        if (c == 'Z')
            c = '\0';
    }
    return s;
}

bool has(const std::string& flags, char c) {
    return flags.find(c) != std::string::npos;
}

int compileFlags(const std::string& flags) {
    int o = WQ_REG_EXTENDED;
    for (char c : flags) {
        if (c == 'b')
            o &= ~WQ_REG_EXTENDED;
        if (c == 'i')
            o |= WQ_REG_ICASE;
        if (c == 's')
            o |= WQ_REG_NOSUB;
        if (c == 'n')
            o |= WQ_REG_NEWLINE;
        if (c == 'm')
            o = (o & ~WQ_REG_EXTENDED) | WQ_REG_NOSPEC;
        if (c == 'p')
            o |= WQ_REG_PEND;
    }
    return o;
}

int execFlags(const std::string& flags) {
    int o = 0;
    if (has(flags, '^'))
        o |= WQ_REG_NOTBOL;
    if (has(flags, '$'))
        o |= WQ_REG_NOTEOL;
    if (has(flags, '#'))
        o |= WQ_REG_STARTEND;
    return o;
}

// The error number for a name such as "EPAREN", through regerror's REG_ATOI.
int errorNumber(const std::string& name) {
    const std::string full = "REG_" + name;
    wq_regex_t re{};
    re.re_endp = full.c_str();
    char buf[16];
    wq_regerror(WQ_REG_ATOI, &re, buf, sizeof buf);
    return std::atoi(buf);
}

// Empty when the slot is as expected, otherwise what went wrong.
std::string check(const std::string& str, wq_regmatch_t sub, const char* should) {
    const char* at = nullptr;
    if (should != nullptr && std::strcmp(should, "-") == 0)
        should = nullptr;
    if (should != nullptr && should[0] == '@') {
        at = should + 1;
        should = "";
    }
    if (sub.rm_so > sub.rm_eo || (sub.rm_so == -1) != (sub.rm_eo == -1) || sub.rm_so < -1) {
        return "bad offsets " + std::to_string(sub.rm_so) + "," + std::to_string(sub.rm_eo);
    }
    if (sub.rm_so == -1)
        return should == nullptr ? "" : "did not match";
    if (static_cast<size_t>(sub.rm_eo) > str.size())
        return "past end of string";
    const std::string got =
        str.substr(static_cast<size_t>(sub.rm_so), static_cast<size_t>(sub.rm_eo - sub.rm_so));
    if (should == nullptr)
        return "matched `" + got + "'";
    if (got != should)
        return "matched `" + got + "' instead of `" + should + "'";
    if (!got.empty() || at == nullptr)
        return "";
    const size_t len = std::max<size_t>(std::strlen(at), 1);
    if (str.compare(static_cast<size_t>(sub.rm_so), len, at, len) != 0 &&
        !(std::strlen(at) == 0 && static_cast<size_t>(sub.rm_so) == str.size())) {
        return "matched null at `" + str.substr(static_cast<size_t>(sub.rm_so)) + "'";
    }
    return "";
}

// Runs one case; returns an empty string when it passes.
std::string runCase(const std::vector<std::string>& f, int cflags) {
    const std::string& flags = f[1];
    std::string pattern = f[0];
    wq_regex_t re{};
    re.re_endp = (cflags & WQ_REG_PEND) ? pattern.data() + pattern.size() : nullptr;
    pattern = fix(pattern);
    if (cflags & WQ_REG_PEND)
        re.re_endp = pattern.data() + pattern.size();
    int err = wq_regcomp(&re, pattern.c_str(), cflags);
    if (has(flags, 'C')) {
        const int want = errorNumber(f[2]);
        if (err == 0) {
            wq_regfree(&re);
            return "compiled, expected error " + f[2];
        }
        return err == want ? "" : "error " + std::to_string(err) + ", expected " + f[2];
    }
    if (err != 0)
        return "regcomp error " + std::to_string(err);

    const std::string& raw = f[2];
    const std::string subject = fix(raw);
    wq_regmatch_t subs[10];
    for (auto& s : subs)
        s = {-7, -7};
    const int eflags = execFlags(flags);
    if (eflags & WQ_REG_STARTEND) {
        subs[0].rm_so = static_cast<int32_t>(raw.find('(') + 1);
        subs[0].rm_eo = static_cast<int32_t>(raw.find(')'));
    }
    err = wq_regexec(&re, subject.c_str(), 10, subs, eflags);
    wq_regfree(&re);
    const bool expectMatch = f.size() > 3;
    if (!expectMatch)
        return err == WQ_REG_NOMATCH ? "" : "regexec gave " + std::to_string(err);
    if (err != 0)
        return "regexec gave " + std::to_string(err);
    if (!(cflags & WQ_REG_NOSUB)) {
        std::string why = check(raw, subs[0], f[3].c_str());
        if (!why.empty())
            return "whole match: " + why;
    }
    if (f.size() < 5)
        return "";
    std::vector<std::string> should;
    std::stringstream list(f[4]);
    for (std::string item; std::getline(list, item, ',');)
        should.push_back(item);
    if (should.empty())
        should.push_back("");
    for (size_t i = 1; i < 10; ++i) {
        const char* want = i <= should.size() ? should[i - 1].c_str() : nullptr;
        std::string why = check(raw, subs[i], want);
        if (!why.empty())
            return "subexpression " + std::to_string(i) + ": " + why;
    }
    return "";
}

TEST(RegexSpencer, EveryCasePasses) {
    // The regression file lives beside the repository, not in it.
    const char* const path = WQ_SHARED_DIR "/regex/spencer-tests.txt";
    std::ifstream in(path);
    if (!in.good())
        GTEST_SKIP() << "Spencer's regression file not found at " << path << ": skipped";
    int cases = 0, passed = 0, lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = splitFields(line);
        ASSERT_GE(f.size(), 3u) << "line " << lineNo;
        std::vector<int> runs{compileFlags(f[1])};
        if (has(f[1], '&'))
            runs.push_back(compileFlags(f[1]) & ~WQ_REG_EXTENDED);
        for (int cflags : runs) {
            ++cases;
            const std::string why = runCase(f, cflags);
            EXPECT_EQ(why, "") << "line " << lineNo << " (" << line << ") as "
                               << ((cflags & WQ_REG_EXTENDED) ? "ERE" : "BRE");
            if (why.empty())
                ++passed;
        }
    }
    std::printf("Spencer suite: %d/%d cases passed\n", passed, cases);
    EXPECT_EQ(cases, 492);
    EXPECT_EQ(passed, cases);
}

}  // namespace

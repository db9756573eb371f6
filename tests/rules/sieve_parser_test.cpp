// The reader: what each construct becomes, every error message with its line, and the comment
// conventions that carry rule names and switched-off rules.
#include <gtest/gtest.h>

#include <string>

#include "rules_builders.h"

namespace wq::rules {
namespace {

using namespace testing;

struct Failure {
    std::string message;
    uint32_t line;
};

Failure failureOf(const std::string& text) {
    RuleSet rules;
    ParseResult result;
    bool ok = parseScript(text, rules, 7, &result);
    EXPECT_FALSE(ok) << text;
    EXPECT_FALSE(rules.first) << text;
    EXPECT_EQ(result.error, 1u);
    EXPECT_EQ(result.options, 7u);
    return {result.errorMessage, result.line};
}

TEST(SieveParser, EveryErrorMessage) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"{ keep; }", "bad token: keyword expected"},
        {"require [\"fileinto\"];", "invalid command: require"},
        {"keep", "premature end of script: semicolon expected"},
        {"fileinto \"Junk\" keep", "bad token: semicolon expected"},
        {"fileinto", "premature end of script: string argument expected"},
        {"redirect 12;", "bad token: string argument expected"},
        {"notify \"x\";", "bad token: option expected"},
        {"notify :from \"x\";", "unknown notify command option"},
        {"notify :options", "premature end of script: string expected"},
        {"notify :method \"sms\";", "unknown notify method"},
        {"vacation :from \"a\" \"b\";", "unknown vacation command option"},
        {"vacation :days 5 \"b\";", "bad token: string expected"},
        {"vacation :subject", "premature end of script: string expected"},
        {"vacation 5;", "bad token: string expected"},
        {"vacation", "bad token: string expected"},
        {"vacation :subject \"a\"", "premature end of script: semicolon expected"},
        {"if", "Premature end of script: test expected"},
        {"if \"x\" {keep;}", "Bad token: test keyword expected"},
        {"if true", "premature end of script: start of block expected"},
        {"if true keep;", "bad token: start of block expected"},
        {"if true { keep;", "premature end of script inside block"},
        {"if true { keep; @ }", "premature end of script inside block"},
        {"if size", "Premature end of script: size tag expected"},
        {"if size 10 {keep;}", "Bad token: size :under or :over expected"},
        {"if size :above 10 {keep;}", "Unknown tag ':above' in size: :under or :over expected"},
        {"if size :over", "Premature end of script: number expected"},
        {"if size :over \"1\" {keep;}", "Bad token: number expected"},
        {"if address :all", "Premature end of script: address tag expected"},
        {"if address :comparator", "Premature end of script: comparator value expected"},
        {"if address :comparator 1 \"a\" \"b\" {}", "bad token: comparator value string expected"},
        {"if address :over \"a\" \"b\" {}", "Invalid tag in address test: over"},
        {"if header :is", "Premature end of script: header tag expected"},
        {"if header :comparator", "premature end of script: comparator value expected"},
        {"if header :comparator 1 \"a\" \"b\" {}", "bad token: comparator value string expected"},
        {"if header :domain \"a\" \"b\" {}", "invalid tag in header test: domain"},
        {"if allof", "premature end of script: test expected"},
        {"if anyof (true", "premature end of script: comma or close brace expected"},
        {"if anyof (true true) {}", "bad token: comma expected"},
        {"if exists", "premature end of script: string list expected"},
        {"if exists 5 {}", "bad token: string list expected"},
        {"if exists [", "premature end of script inside a string list"},
        {"if exists [\"a\",", "premature end of script inside a string list"},
        {"if exists [] {}", "Bad token: string expected"},
        {"if exists [\"a\", 5] {}", "Bad token: string expected"},
        {"if exists [\"a\"", "premature end of script: comma or close brace expected"},
        {"if exists [\"a\" \"b\"] {}", "bad token: comma expected"},
        {"if exists \"a\" {} elsif", "Premature end of script: test expected"},
        {"if exists \"a\" {} else keep;", "bad token: start of block expected"},
        {"if frobnicate {keep;}", "invalid test keyword: frobnicate"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf(c.text).message, c.message) << c.text;
    }
}

TEST(SieveParser, FirstErrorWinsAndTheLineIsWhereParsingStopped) {
    // The unknown test fails the parse, but the block and the commands after the if are read.
    Failure f = failureOf("if foo\n{\n  bar;\n}\nkeep;\n");
    EXPECT_EQ(f.message, "invalid test keyword: foo");
    EXPECT_EQ(f.line, 3u);
    f = failureOf("if foo\n{\n  keep;\n}\nkeep;\nbar\n");
    EXPECT_EQ(f.message, "invalid test keyword: foo");
    EXPECT_EQ(f.line, 6u);

    // A "# " comment at the very start belongs to a switched-off rule.
    f = failureOf("# hello world\nkeep;\n");
    EXPECT_EQ(f.message, "invalid command: hello");
    EXPECT_EQ(f.line, 1u);

    // A comment line directly after a switched-off rule is read as its code.
    f = failureOf("#!0 Off\n# keep;\n# just a note\nkeep;\n");
    EXPECT_EQ(f.message, "invalid command: just");
    EXPECT_EQ(f.line, 3u);

    // Lines of block comments, marker lines and multi-line strings count; line breaks inside
    // quoted strings do not.
    f = failureOf("/* a\nb */ #!1 x\n#!1 y\nreject \"p\nq\";\nreject text:\nz\n.\n;\nbogus;");
    EXPECT_EQ(f.message, "invalid command: bogus");
    EXPECT_EQ(f.line, 9u);

    // The message is cut to 511 characters.
    f = failureOf("k" + std::string(600, 'x') + ";");
    EXPECT_EQ(f.message.size(), 511u);
    EXPECT_EQ(f.message.substr(0, 18), "invalid command: k");
}

// What each construct reads as, shown in the writer's single-rule form, one line per rule.
TEST(SieveParser, WhatConstructsBecome) {
    const struct {
        const char* text;
        const char* rules;
    } cases[] = {
        {"", ""},
        {"if true {}", "if true  {  }\n"},
        {"if header :contains \"Subject\" \"x\" { fileinto \"Junk\"; }\n"
         "elsif size :over 100K { discard; }\nelse { keep; }\n",
         "if header :contains \"Subject\" \"x\"  {  fileinto \"Junk\";}elsif size :over 102400 "
         "{  discard;}else {  keep;}\n"},
        // Keywords in any case; tags, "not not", the comparator and defaults.
        {"IF NOT NOT ALLOF (Address :DOMAIN :Matches :comparator \"I;Octet\" \"to\" \"*x\", "
         "not header :comparator \"i;ascii-casemap\" \"a\" [\"b\", \"c\"], address \"f\" \"g\") "
         "{ Keep; STOP; }",
         "if allof (address :domain :matches :comparator \"i;octet\" \"to\" \"*x\" , not header "
         ":is \"a\" [\"b\", \"c\"] , address :all :is \"f\" \"g\" )  {  keep;  stop;}\n"},
        // "void", a single test without parentheses, and a test list of one.
        {"if void {keep;} if anyof true {keep;} if anyof (false) {keep;}",
         "if void  {  keep;}\nif anyof (true )  {  keep;}\nif anyof (false )  {  keep;}\n"},
        // Options in any order, the last of a repeated one winning.
        {"vacation :subject \"Away\" \"back soon\"; vacation; "
         "vacation :days \"3\" :subject \"S\" :days \"4\" \"r\";",
         "vacation :subject \"Away\" \"back soon\";\nvacation \"\";\nvacation :days \"4\" "
         ":subject \"S\" \"r\";\n"},
        // The preset message; notify values are taken whatever their token; a notify at the end
        // of the input needs no semicolon.
        {"notify; notify :method \"MAIL\" :options \"ops\" :message \"m\"; "
         "notify :options 12 :message [; notify :options \"x\"",
         "notify :message \"$from$: $subject$\\r\\n$text$\";\n"
         "notify :options \"ops\" :message \"m\";\nnotify :options \"12\" :message \"[\";\n"
         "notify :options \"x\" :message \"$from$: $subject$\\r\\n$text$\";\n"},
        // Escapes: an unknown one stands for its character.
        {"reject \"a\\nb\\rc\\td\\qe\\\\f\\\"g\\'\";",
         "reject \"a\\nb\\rc\\tdqe\\\\f\\\"g\\'\";\n"},
    };
    for (const auto& c : cases) {
        ParseResult result;
        RuleSet rules = parsed(c.text, &result);
        EXPECT_EQ(result.error, 0u) << c.text;
        std::string read;
        for (SieveCommand* r = rules.first; r; r = r->next) {
            read += singleRule(*r) + "\n";
        }
        EXPECT_EQ(read, c.rules) << c.text;
    }

    // Fields of their own: the on/off and editor flags, the vacation days, the comparator.
    RuleSet rules = parsed(
        "keep; vacation; vacation :days \"3\" :days \"4\" \"r\"; "
        "if anyof (address :comparator \"i;octet\" \"a\" \"b\", address \"a\" \"b\") {keep;}");
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules.first->enabled, 1);
    EXPECT_EQ(rules.first->visual, 0u);
    EXPECT_EQ(rules.first->next->text2.str(), "7");
    EXPECT_EQ(rules.first->next->next->text2.str(), "4");
    const SieveTest* address = rules.first->next->next->next->test->children;
    EXPECT_EQ(address->octetComparator, 1u);
    EXPECT_EQ(address->next->octetComparator, 0u);

    // Short texts are cut to 127 characters.
    rules = parsed("vacation :subject \"" + std::string(300, 's') + "\" :days \"" +
                   std::string(200, '9') + "\" \"r\";");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules.first->text1.size(), 127u);
    EXPECT_EQ(rules.first->text2.size(), 127u);
}

TEST(SieveParser, NumbersAndStringLimits) {
    auto limitOf = [](const std::string& number) -> int64_t {
        RuleSet rules = parsed("if size :under " + number + " {keep;}");
        return rules.first && rules.first->test ? int64_t{rules.first->test->sizeLimit} : -1;
    };
    EXPECT_EQ(limitOf("100k"), 102400);
    EXPECT_EQ(limitOf("3M"), 3145728);
    EXPECT_EQ(limitOf("1G"), 1073741824);
    EXPECT_EQ(limitOf("2G"), 2147483648);
    EXPECT_EQ(limitOf("4294967295"), 4294967295);
    EXPECT_EQ(limitOf("5G"), 1073741824);  // modulo 2^32
    EXPECT_EQ(limitOf("4294967297"), 1);
    EXPECT_EQ(limitOf("007"), 7);

    // A quoted string holds 2047 characters, then its closing quote (escapes count as the one
    // character they stand for); at 2047 anything else ends the token and is read as more.
    for (const std::string& body : {std::string(2047, 'a'), std::string(2046, 'a') + "\\\""}) {
        RuleSet rules = parsed("fileinto \"" + body + "\";");
        ASSERT_EQ(rules.size(), 1u) << body.substr(2040);
        EXPECT_EQ(rules.first->argument.size(), 2047u);
    }
    EXPECT_EQ(failureOf("fileinto \"" + std::string(2048, 'a') + "\";").message,
              "bad token: semicolon expected");
    // End of input inside a string: no token.
    EXPECT_EQ(failureOf("fileinto \"abc").message,
              "premature end of script: string argument expected");

    // Multi-line strings: lines with their ends, dot-stuffing left alone, CR before the final
    // dot's line feed allowed.
    ParseResult result;
    RuleSet rules = parsed("reject text: ignored\r\nfirst\r\n..two\n.\r\n;\nkeep;", &result);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules.first->argument.str(), "first\r\n..two\n");
    EXPECT_EQ(result.line, 6u);
    rules = parsed("reject TEXT:\n" + std::string(254, 'l') + "\n.\n;");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(failureOf("reject text:\n" + std::string(255, 'l') + "\n.\n;").message,
              "premature end of script: string argument expected");
    EXPECT_EQ(failureOf("reject text:\nabc\n").message,
              "premature end of script: string argument expected");
    std::string nearly;
    for (int i = 0; i < 2047 / 23; ++i) {
        nearly += std::string(22, 'v') + "\n";  // 89 lines of 23: 2047 characters
    }
    rules = parsed("reject text:\n" + nearly + ".\n;");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules.first->argument.size(), 2047u);
    EXPECT_EQ(failureOf("reject text:\n" + nearly + "x\n.\n;").message,
              "premature end of script: string argument expected");
}

TEST(SieveParser, MarkerLinesAndSwitchedOffRules) {
    RuleSet rules = parsed("#!0 Junk\n# if\n# true\n# {\n# keep;\n# }\n");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules.first->enabled, 0);
    EXPECT_EQ(rules.first->text1.str(), "Junk");
    EXPECT_EQ(rules.first->block->kind, CommandKind::Keep);

    // A marker's digit is overridden by an unprefixed line; names lose trailing CRs and are
    // cut to 127; a marker without a space gives no name; a name goes to the next command at
    // whatever depth; a comment after a switched-on token is a comment.
    rules = parsed(
        "#!0 On\r\r\nkeep;\n#!1"
        "Z\ndiscard; # note\n#!1 " +
        std::string(200, 'n') + "\nif true {\n#!1 ops\nnotify; }\n");
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules.first->enabled, 1);
    EXPECT_EQ(rules.first->text1.str(), "On");
    EXPECT_EQ(rules.first->next->text1.str(), "");
    SieveCommand& third = *rules.first->next->next;
    EXPECT_EQ(third.text1.str(), std::string(127, 'n'));
    EXPECT_EQ(third.block->text1.str(), "ops");

    // Block comments: also from inside a switched-off line, back to state 0 after them; "#"
    // means nothing inside one.
    rules = parsed("#!0 \n# /* x # y\n*/ keep; /** a * / b **/ discard;");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules.first->enabled, 1);

    // A marker longer than 255 characters keeps 255: the name is cut at 127 anyway, and the
    // whole line is consumed.
    rules = parsed("#!1 " + std::string(400, 'q') + "\nkeep;");
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules.first->text1.size(), 127u);
}

TEST(SieveParser, WhereReadingEndsWithoutError) {
    // A stray "}", a bare "#!" line, a character that begins no token, a byte with the high
    // bit set and a NUL each end the script quietly; what follows is not read.
    for (const char* text : {"keep;\n}\ndiscard;", "keep;\n#!\ndiscard;", "keep; @ discard;",
                             "keep; / discard;", "keep; \xE9 discard;"}) {
        RuleSet rules = parsed(text);
        ASSERT_EQ(rules.size(), 1u) << text;
        EXPECT_EQ(rules.first->kind, CommandKind::Keep);
    }
    RuleSet rules;
    EXPECT_TRUE(parseScript(std::string("keep;\0discard;", 14), rules));
    EXPECT_EQ(rules.size(), 1u);
}

TEST(SieveParser, NestingIsBoundedAndLongChainsAreFine) {
    std::string nots;
    for (int i = 0; i < 100000; ++i) {
        nots += "not ";
    }
    EXPECT_EQ(failureOf("if " + nots + "true {keep;}").message, "script nested too deeply");

    std::string blocks;
    for (int i = 0; i < 100000; ++i) {
        blocks += "if true {";
    }
    EXPECT_EQ(failureOf(blocks).message, "script nested too deeply");

    std::string elsifs = "if true {keep;}";
    for (int i = 0; i < 100000; ++i) {
        elsifs += " elsif true {keep;}";
    }
    EXPECT_EQ(failureOf(elsifs).message, "script nested too deeply");

    // Within the limit nesting works, and long chains of siblings are no problem.
    std::string ok;
    for (int i = 0; i < 100; ++i) {
        ok += "if true {";
    }
    ok += "keep;" + std::string(100, '}');
    EXPECT_EQ(parsed(ok).size(), 1u);
    std::string many;
    for (int i = 0; i < 200000; ++i) {
        many += "keep;";
    }
    EXPECT_EQ(parsed(many).size(), 200000u);
}

}  // namespace
}  // namespace wq::rules

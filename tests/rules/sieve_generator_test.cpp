// The writer's exact bytes: typical rules, single-rule mode, and the edges of the format.
#include <gtest/gtest.h>

#include "rules/catalogue.h"
#include "rules_builders.h"
#include "writable.h"

namespace wq::rules {
namespace {

using namespace testing;

SieveCommand* junkRule(std::string name, bool enabled) {
    return ifCommand(std::move(name), enabled,
                     headerTest(MatchType::Contains, {"Subject"}, {"offer"}),
                     commands(action(CommandKind::FileInto, "Junk")));
}

TEST(SieveGenerator, TypicalRules) {
    auto on = junkRule("Junk", true);
    const std::string onText =
        "#!1 Junk\n"
        "if header :contains \"Subject\" \"offer\" \n"
        " {\n"
        "  fileinto \"Junk\";\n"
        "}\n";
    EXPECT_EQ(script(on), onText);

    auto off = junkRule("", false);
    const std::string offText =
        "#!0 \n"
        "# if header :contains \"Subject\" \"offer\" \n"
        "#  {\n"
        "#   fileinto \"Junk\";\n"
        "# }\n";
    EXPECT_EQ(script(off), offText);

    // Unnamed and switched on: no marker line; the first condition's trailing space stands
    // before the comma.
    auto two = ifCommand(
        "", true,
        groupTest(TestKind::AllOf,
                  tests(addressTest(AddressPart::All, MatchType::Contains, {"From"}, {"boss"}),
                        sizeTest(SizeRelation::Over, 102400))),
        commands(action(CommandKind::Redirect, "deputy"), action(CommandKind::Stop)));
    EXPECT_EQ(script(two),
              "if allof (address :all :contains \"From\" \"boss\" , size :over 102400) \n"
              " {\n"
              "  redirect \"deputy\";\n"
              "  stop;\n"
              "}\n");

    auto chained =
        ifCommand("", true, headerTest(MatchType::Is, {"Subject"}, {"a"}),
                  commands(action(CommandKind::Keep)),
                  ifCommand("", true, sizeTest(SizeRelation::Under, 10),
                            commands(action(CommandKind::Discard)), action(CommandKind::Stop)));
    EXPECT_EQ(script(chained),
              "if header :is \"Subject\" \"a\" \n"
              " {\n"
              "  keep;\n"
              "}\n"
              "elsif size :under 10\n"
              " {\n"
              "  discard;\n"
              "}\n"
              "else {\n"
              "  stop;\n"
              "}\n");

    // Two rules follow each other directly.
    on->next = off;
    EXPECT_EQ(script(on), onText + offText);
}

TEST(SieveGenerator, SingleRuleModeIsOneLineWithoutMarkersOrPrefixes) {
    auto on = junkRule("Junk", true);
    EXPECT_EQ(singleRule(*on), "if header :contains \"Subject\" \"offer\"  {  fileinto \"Junk\";}");
    auto off = junkRule("Junk", false);
    EXPECT_EQ(singleRule(*off),
              "if header :contains \"Subject\" \"offer\"  {  fileinto \"Junk\";}");

    auto chained = ifCommand("", true, nullptr, commands(action(CommandKind::Keep)),
                             ifCommand("x", true, sizeTest(SizeRelation::Over, 5),
                                       commands(action(CommandKind::Discard))));
    EXPECT_EQ(singleRule(*chained), "if void  {  keep;}elsif size :over 5 {  discard;}");
}

TEST(SieveGenerator, CatalogueConditionsQuotedStringsAndActions) {
    ASSERT_TRUE(loadCriterionCatalogue(false));
    auto recipients = buildCondition(testArena(), criterionCatalogue()[0]);
    ASSERT_TRUE(recipients);
    recipients->keys = strings({"team"});
    auto rule =
        ifCommand("", true, std::move(recipients),
                  commands(action(CommandKind::Notify, "$from$: $subject$\r\n$text$", "ops"),
                           action(CommandKind::Vacation, "back soon", "Away"),
                           action(CommandKind::Reject, "say \"hi\"")));
    EXPECT_EQ(script(rule),
              "if address :all :contains [\"To\", \"Cc\"] \"team\" \n"
              " {\n"
              "  notify :options \"ops\" :message \"$from$: $subject$\\r\\n$text$\";\n"
              "  vacation :subject \"Away\" \"back soon\";\n"
              "  reject \"say \\\"hi\\\"\";\n"
              "}\n");

    // All six escapes, and the characters around them unchanged.
    auto escapes = action(CommandKind::FileInto, "a'b\"c\\d\re\nf\tg#/*h");
    EXPECT_EQ(singleRule(*escapes), "fileinto \"a\\'b\\\"c\\\\d\\re\\nf\\tg#/*h\";");
}

TEST(SieveGenerator, EdgesOfTheFormat) {
    EXPECT_EQ(script(nullptr), "");

    // No test: "void"; an empty block: the indent, then the closing brace on the same line.
    auto empty = ifCommand("", true, nullptr, commands(action(CommandKind::None)));
    EXPECT_EQ(script(empty), "if void \n {\n  }\n");

    // The message is written even when empty; the days when they are not 7.
    auto notify = action(CommandKind::Notify);
    EXPECT_EQ(singleRule(*notify), "notify :message \"\";");
    auto vacation = action(CommandKind::Vacation);
    EXPECT_EQ(singleRule(*vacation), "vacation \"\";");
    vacation->text2.assign(testArena(), "7");
    EXPECT_EQ(singleRule(*vacation), "vacation \"\";");
    vacation->text2.assign(testArena(), "30");
    EXPECT_EQ(singleRule(*vacation), "vacation :days \"30\" \"\";");

    auto lists = ifCommand(
        "", true,
        groupTest(TestKind::AnyOf,
                  tests(newTest(TestKind::Exists), headerTest(MatchType::Matches, {}, {}),
                        addressTest(AddressPart::Domain, MatchType::Is, {"a", "b", "c"}, {"x"}),
                        sizeTest(SizeRelation::Over, 2147483648u))),
        commands(action(CommandKind::Keep)));
    lists->test->children->negated = 1;
    EXPECT_EQ(script(lists).substr(0, script(lists).find('\n')),
              "if anyof (not exists \"\" , header :matches \"\" \"\" , address :domain :is "
              "[\"a\", \"b\", \"c\"] \"x\" , size :over 2147483648) ");

    // Every test keyword, negation of a group, and the localpart tag.
    auto all = ifCommand(
        "", true,
        groupTest(
            TestKind::AllOf,
            tests(newTest(TestKind::True), newTest(TestKind::False), newTest(TestKind::SpamTest),
                  addressTest(AddressPart::LocalPart, MatchType::Matches, {"To"}, {"x*"}))),
        commands(action(CommandKind::Discard)));
    all->test->negated = 1;
    EXPECT_EQ(singleRule(*all),
              "if not allof (true , false , spamtest , address :localpart :matches \"To\" "
              "\"x*\" )  {  discard;}");

    // A top-level Notify carries its options as the marker line's name.
    auto topNotify = action(CommandKind::Notify, "", "ops");
    EXPECT_EQ(script(topNotify), "#!1 ops\nnotify :options \"ops\" :message \"\";\n");
}

TEST(SieveGenerator, SwitchedOffRulePrefixesEveryLineAndSetsParents) {
    auto inner = ifCommand("", true, newTest(TestKind::True), commands(action(CommandKind::Keep)),
                           chain(commands(action(CommandKind::Stop), action(CommandKind::Stop))));
    SieveCommand* innerPtr = inner;
    auto rule =
        ifCommand("Off", false, headerTest(MatchType::Is, {"Subject"}, {"a"}), commands(inner),
                  ifCommand("", false, nullptr, commands(action(CommandKind::Discard))));
    EXPECT_EQ(script(rule),
              "#!0 Off\n"
              "# if header :is \"Subject\" \"a\" \n"
              "#  {\n"
              "#   if true \n"
              "#    {\n"
              "#     keep;\n"
              "#   }\n"
              "#   else {\n"
              "#     stop;\n"
              "#     stop;\n"
              "#   }\n"
              "# }\n"
              "#!0 \n"
              "# elsif void \n"
              "#  {\n"
              "#   discard;\n"
              "# }\n");
    EXPECT_EQ(innerPtr->parent, rule);
    EXPECT_EQ(innerPtr->block->parent, innerPtr);
    EXPECT_EQ(innerPtr->elsePart->next->parent, innerPtr);
    EXPECT_EQ(rule->elsePart->parent, rule);
    EXPECT_EQ(rule->elsePart->block->parent, rule->elsePart);
}

// Trees the plain format lost, each with its exact text, read back as themselves.
TEST(SieveGenerator, NamesFlagsAndEmptyBlocksReadBack) {
    auto named = [](SieveCommand* c, std::string_view name) {
        c->text1.assign(testArena(), name);
        return c;
    };
    auto octet = headerTest(MatchType::Is, {"Subject"}, {"x"});
    octet->octetComparator = 1;
    auto days = action(CommandKind::Vacation, "r", "a\nb");
    days->text2.assign(testArena(), "14");
    const std::pair<SieveCommand*, std::string> cases[] = {
        // Switched off with an empty block and else part: the closing brace ends the "# " line
        // of the empty command, and the next rule stays a rule.
        {chain(commands(ifCommand("A", false, nullptr, commands(action(CommandKind::None)),
                                  action(CommandKind::None)),
                        junkRule("B", false))),
         "#!0 A\n# if void \n#  {\n#   }\n# else {\n#   }\n#!0 B\n# if header :contains "
         "\"Subject\" \"offer\" \n#  {\n#   fileinto \"Junk\";\n# }\n"},
        // An elsif's marker line has its rule's digit, whatever the elsif's own flag.
        {chain(commands(
             ifCommand(
                 "", false, newTest(TestKind::True), commands(action(CommandKind::Keep)),
                 ifCommand("E", true, nullptr, commands(named(action(CommandKind::Stop), "s")))),
             ifCommand("", true, nullptr, commands(action(CommandKind::Keep)),
                       ifCommand("", false, octet, commands(action(CommandKind::Keep)))))),
         "#!0 \n# if true \n#  {\n#   keep;\n# }\n#!0 E\n# elsif void \n#  {\n#!0 s\n#   stop;\n# "
         "}\nif void \n {\n  keep;\n}\nelsif header :is :comparator \"i;octet\" \"Subject\" \"x\" "
         "\n {\n  keep;\n}\n"},
        // A subject with a line break names a top-level vacation; the tag carries it whole. A
        // name of 127 characters that ends in a carriage return is followed by one more.
        {chain(commands(days, named(action(CommandKind::Keep), std::string(126, 'n') + "\r"))),
         "#!1 a b\nvacation :days \"14\" :subject \"a\\nb\" \"r\";\n#!1 " + std::string(126, 'n') +
             "\r.\nkeep;\n"},
    };
    for (const auto& [tree, text] : cases) {
        EXPECT_EQ(script(tree), text);
        RuleSet back = parsed(text);
        EXPECT_TRUE(sameTree(tree, back.first)) << text;
        EXPECT_EQ(script(back.first), text);
    }

    // Empty commands beside others are not written; empty groups are written as what they mean.
    auto loose = ifCommand(
        "", true, groupTest(TestKind::AnyOf, {}),
        commands(action(CommandKind::None), action(CommandKind::Keep), action(CommandKind::None)));
    loose->test->negated = 1;
    EXPECT_EQ(script(loose), "if not false \n {\n  keep;\n}\n");
}

// An empty string list, which the format cannot carry, comes back as a list of one empty string.
TEST(SieveGenerator, AnEmptyListReadsBackAsOneEmptyString) {
    auto exists =
        ifCommand("", true, newTest(TestKind::Exists), commands(action(CommandKind::Keep)));
    RuleSet back = parsed(script(exists));
    ASSERT_TRUE(back.first);
    EXPECT_EQ(owned(back.first->test->headers), (std::vector<std::string>{""}));
}

}  // namespace
}  // namespace wq::rules

// Records, deep copies, the catalogues and the mapping of tests onto catalogue entries.
#include <gtest/gtest.h>

#include "rules/catalogue.h"
#include "rules_builders.h"

namespace wq::rules {
namespace {

using namespace testing;

TEST(RuleModel, NewRecordsAndFieldLimits) {
    auto command = createCommand();
    ASSERT_TRUE(command);
    EXPECT_EQ(command->kind, CommandKind::None);
    EXPECT_EQ(command->enabled, 0);
    EXPECT_EQ(command->visual, 1u);
    EXPECT_TRUE(command->text1.empty() && command->text2.empty() && command->argument.empty());
    EXPECT_FALSE(command->test || command->block || command->elsePart || command->next ||
                 command->parent);

    auto test = createTest(TestKind::Header);
    ASSERT_TRUE(test);
    EXPECT_EQ(test->kind, TestKind::Header);
    EXPECT_EQ(test->negated, 0);
    EXPECT_EQ(test->matchType, MatchType::Is);
    EXPECT_EQ(test->addressPart, AddressPart::All);
    EXPECT_EQ(test->sizeLimit, 0);

    command->text1 = std::string(500, 'a');
    command->argument = std::string(5000, 'b');
    EXPECT_EQ(command->text1.size(), 127u);
    EXPECT_EQ(command->argument.size(), 2047u);
    command->text2 = std::string("ab\0cd", 5);  // a NUL ends a field
    EXPECT_EQ(command->text2.str(), "ab");
}

TEST(RuleModel, RuleStateFollowsTheTopLevelCommand) {
    RuleSet rules = parsed("#!0 \n# if true { if true { keep; } }\nif true { stop; }");
    ASSERT_EQ(rules.size(), 2u);
    SieveCommand& keep = *rules.first->block->block;
    keep.enabled = 1;
    rules.first->block->enabled = 1;
    EXPECT_FALSE(ruleState(keep));
    rules.first->enabled = 1;
    EXPECT_TRUE(ruleState(keep));
    EXPECT_TRUE(ruleState(*rules.first->next->block));
}

TEST(RuleModel, DeepCopyIsIndependentAndKeepsOrder) {
    RuleSet rules = parsed(
        "#!1 Orig\nif anyof (header \"a\" [\"1\", \"2\"], size :under 9) "
        "{ keep; fileinto \"F\"; } elsif true { stop; } else { discard; }\nkeep;");
    ASSERT_EQ(rules.size(), 2u);
    SieveCommand& original = *rules.first;
    std::string before = script(rules.first.get());

    auto copy = copyCommand(original);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->next);  // the caller links the copy in
    EXPECT_EQ(copy->parent, original.parent);
    EXPECT_EQ(copy->block->parent, copy.get());
    EXPECT_EQ(copy->elsePart->parent, copy.get());
    EXPECT_EQ(copy->elsePart->elsePart->parent, copy->elsePart.get());
    EXPECT_EQ(script(copy.get()), before.substr(0, before.rfind("keep;\n")));

    copy->text1 = "Copy";
    copy->test->children->keys.push_back("3");
    copy->block->next->argument = "G";
    copy->elsePart->block->kind = CommandKind::Keep;
    EXPECT_EQ(script(rules.first.get()), before);

    auto testCopy = copyTest(*original.test);
    ASSERT_TRUE(testCopy);
    EXPECT_FALSE(testCopy->next);
    EXPECT_EQ(testCopy->children->next->sizeLimit, 9);
    EXPECT_EQ(testCopy->children->keys, (StringList{"1", "2"}));
}

TEST(Catalogues, EntriesInOrderWithDisplayTexts) {
    ASSERT_TRUE(loadCatalogues(false));
    const auto& criteria = criterionCatalogue();
    const auto& actions = actionCatalogue();
    ASSERT_EQ(criteria.size(), kCriterionCount);
    ASSERT_EQ(actions.size(), kActionCount);
    EXPECT_EQ(criteria[0].spec, "To|Cc");
    EXPECT_EQ(criteria[0].displayText(),
              "Where the recipient (To or Cc) line [contains] [address]");
    EXPECT_EQ(criteria[6].spec, "Content-Type=multipart/mixed");
    EXPECT_EQ(criteria[8].kind, static_cast<uint32_t>(TestKind::SpamTest));
    EXPECT_EQ(criteria[8].displayText(), "Where message has been detected as spam");
    EXPECT_EQ(criteria[9].kind, static_cast<uint32_t>(TestKind::True));
    EXPECT_EQ(criteria[9].displayText(), "For all messages");
    EXPECT_EQ(actions[0].text, "Move it to the specified folder.");
    EXPECT_EQ(actions[0].displayText(), "Move it to [folder].");
    EXPECT_EQ(actions[6].displayText(), "Send auroreply. [Reply text:]");
    EXPECT_EQ(actions[7].kind, static_cast<uint32_t>(CommandKind::Stop));

    std::string text, spec;
    EXPECT_EQ(findActionKind(*action(CommandKind::FileInto), &text), 0u);
    EXPECT_EQ(text, "Move it to [folder].");
    EXPECT_EQ(findActionKind(*action(CommandKind::Keep), &text, &spec), 3u);
    EXPECT_EQ(text, "Keep in INBOX.");
    EXPECT_EQ(spec, "");
    EXPECT_FALSE(findActionKind(*action(CommandKind::If), &text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(findActionKind(*action(CommandKind::None)));

    // A rebuild loads the same entries again.
    ASSERT_TRUE(loadCriterionCatalogue(true));
    EXPECT_EQ(criterionCatalogue()[5].displayText(), "Where the Subject line [contains] [words]");
}

TEST(Catalogues, FindCriterionKind) {
    auto find = [](const SieveTest& t) { return findCriterionKind(&t); };
    std::string text = "stale", spec;
    EXPECT_EQ(
        findCriterionKind(addressTest(AddressPart::All, MatchType::Is, {"to", "cc"}, {}).get(),
                          &text, &spec),
        0u);
    EXPECT_EQ(text, "Where the recipient (To or Cc) line [contains] [address]");
    EXPECT_EQ(spec, "To|Cc");
    EXPECT_FALSE(find(*addressTest(AddressPart::All, MatchType::Is, {"To", "To"}, {})));
    EXPECT_EQ(find(*addressTest(AddressPart::Domain, MatchType::Is, {"", "FROM", ""}, {"x"})), 1u);
    EXPECT_EQ(find(*addressTest(AddressPart::All, MatchType::Is, {"sender"}, {})), 4u);
    EXPECT_FALSE(find(*addressTest(AddressPart::All, MatchType::Is, {}, {})));
    // Sorted by byte value before the comparison without case: "TO" sorts before "cc".
    EXPECT_FALSE(find(*addressTest(AddressPart::All, MatchType::Is, {"TO", "cc"}, {})));

    EXPECT_EQ(find(*headerTest(MatchType::Is, {"content-type"}, {"MULTIPART/MIXED", "x"})), 6u);
    EXPECT_FALSE(find(*headerTest(MatchType::Is, {"content-type"}, {})));
    auto subject = headerTest(MatchType::Matches, {"Subject"}, {});
    subject->negated = 1;
    EXPECT_EQ(find(*subject), 5u);
    EXPECT_FALSE(find(*headerTest(MatchType::Is, {"From"}, {"x"})));

    EXPECT_EQ(find(*sizeTest(SizeRelation::Under, 1)), 7u);
    EXPECT_EQ(find(SieveTest(TestKind::SpamTest)), 8u);
    EXPECT_EQ(find(SieveTest(TestKind::True)), 9u);
    for (TestKind k : {TestKind::AllOf, TestKind::AnyOf, TestKind::Exists, TestKind::False}) {
        EXPECT_FALSE(find(SieveTest(k)));
    }
    text = "stale";
    EXPECT_FALSE(findCriterionKind(nullptr, &text));
    EXPECT_EQ(text, "");
}

TEST(Catalogues, RecognitionAndBuildingConditions) {
    auto recognised = [](const std::string& text) {
        RuleSet rules = parsed(text);
        EXPECT_TRUE(rules.first) << text;
        return rules.first && isRuleRecognised(*rules.first);
    };
    EXPECT_FALSE(recognised("if allof (size :over 1, exists \"X\") {keep;}"));
    EXPECT_TRUE(recognised("if anyof (true, header \"Subject\" \"x\") {keep;}"));
    EXPECT_TRUE(recognised("if void {keep;}"));
    EXPECT_TRUE(recognised("if not size :over 1 {keep;}"));
    EXPECT_FALSE(recognised("if false {keep;}"));
    EXPECT_FALSE(recognised("if anyof (true, anyof (true)) {keep;}"));
    EXPECT_FALSE(recognised("keep;"));

    ASSERT_TRUE(loadCriterionCatalogue(false));
    const auto& entries = criterionCatalogue();
    std::vector<std::unique_ptr<SieveTest>> conditions;
    for (size_t i : {1u, 6u, 7u}) {
        auto c = buildCondition(entries[i]);
        ASSERT_TRUE(c);
        EXPECT_EQ(findCriterionKind(c.get()), i);
        conditions.push_back(std::move(c));
    }
    EXPECT_EQ(conditions[0]->matchType, MatchType::Contains);
    EXPECT_TRUE(conditions[0]->keys.empty());
    EXPECT_EQ(conditions[1]->headers, StringList{"Content-Type"});
    EXPECT_EQ(conditions[1]->keys, StringList{"multipart/mixed"});
    EXPECT_EQ(conditions[2]->matchType, MatchType::Is);

    auto group = combineConditions(std::move(conditions), TestKind::AnyOf);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->kind, TestKind::AnyOf);
    EXPECT_TRUE(conditionsRecognised(group.get()));
    EXPECT_EQ(group->children->next->next->kind, TestKind::Size);
    EXPECT_FALSE(group->children->next->next->next);

    std::vector<std::unique_ptr<SieveTest>> one;
    one.push_back(buildCondition(entries[9]));
    auto single = combineConditions(std::move(one), TestKind::AllOf);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->kind, TestKind::True);
    EXPECT_FALSE(combineConditions({}, TestKind::AllOf));
}

}  // namespace
}  // namespace wq::rules

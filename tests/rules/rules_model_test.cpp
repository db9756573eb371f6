// Records, deep copies, the catalogues and the mapping of tests onto catalogue entries.
#include <gtest/gtest.h>

#include <cstring>

#include "rules/catalogue.h"
#include "rules_builders.h"

namespace wq::rules {
namespace {

using namespace testing;

TEST(RuleModel, NewRecordsAndFieldLimits) {
    RuleArena arena;
    auto command = createCommand(arena);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->kind, CommandKind::None);
    EXPECT_EQ(command->visual, 1u);  // a new rule is one the editor made
    auto test = createTest(arena, TestKind::Header);
    ASSERT_TRUE(test);
    EXPECT_EQ(test->kind, TestKind::Header);

    command->text1.assign(arena, std::string(500, 'a'));
    command->argument.assign(arena, std::string(5000, 'b'));
    EXPECT_EQ(command->text1.size(), 127u);
    EXPECT_EQ(command->argument.size(), 2047u);
    EXPECT_EQ(command->argument.c_str()[2047], '\0');
    command->text2.assign(arena, std::string("ab\0cd", 5));  // a NUL ends a field
    EXPECT_EQ(command->text2.str(), "ab");
}

TEST(RuleArena, AlignmentGrowthRewindAndMove) {
    RuleArena arena;
    std::string_view hello = arena.copyText("hello");
    EXPECT_EQ(hello.data()[5], '\0');
    auto* wide = static_cast<uint64_t*>(arena.allocate(sizeof(uint64_t), alignof(uint64_t)));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(wide) % alignof(uint64_t), 0u);

    // A large request gets a block of its own from the system, in whole units, usable to its
    // last byte; rewinding past it gives it back and leaves what came before intact.
    const RuleArena::Mark mark = arena.mark();
    const size_t small = arena.bytesHeld();
    const size_t big = 3 << 20;
    auto* block = static_cast<char*>(arena.allocate(big, 1));
    EXPECT_EQ((arena.bytesHeld() - small) % (size_t{2} << 20), 0u);
    std::memset(block, 'x', big);
    arena.rewind(mark);
    EXPECT_EQ(arena.bytesHeld(), small);
    EXPECT_EQ(hello, "hello");

    RuleArena moved(std::move(arena));
    EXPECT_EQ(arena.bytesHeld(), 0u);  // NOLINT: the moved-from arena is empty
    EXPECT_EQ(moved.bytesHeld(), small);
    EXPECT_EQ(hello, "hello");
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
    std::string before = script(rules.first);

    // Into another arena: the copy outlives the tree it was taken from.
    RuleSet other;
    auto copy = copyCommand(other.arena, original);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->next);  // the caller links the copy in
    EXPECT_EQ(copy->parent, original.parent);
    EXPECT_EQ(copy->block->parent, copy);
    EXPECT_EQ(copy->elsePart->parent, copy);
    EXPECT_EQ(copy->elsePart->elsePart->parent, copy->elsePart);
    EXPECT_EQ(script(copy), before.substr(0, before.rfind("keep;\n")));

    copy->text1.assign(other.arena, "Copy");
    copy->test->children->keys = StringList::copyOf(other.arena, {"1", "2", "3"});
    copy->block->next->argument.assign(other.arena, "G");
    copy->elsePart->block->kind = CommandKind::Keep;
    EXPECT_EQ(script(rules.first), before);

    auto testCopy = copyTest(other.arena, *original.test);
    ASSERT_TRUE(testCopy);
    EXPECT_FALSE(testCopy->next);
    EXPECT_EQ(testCopy->children->next->sizeLimit, 9);
    EXPECT_EQ(owned(testCopy->children->keys), (std::vector<std::string>{"1", "2"}));

    rules.clear();
    EXPECT_EQ(script(copy).substr(0, 9), "#!1 Copy\n");
}

// Every entry is found again from what it stands for: the condition built for a criterion, a
// command of an action's kind.
TEST(Catalogues, EveryEntryIsFoundFromWhatItBuilds) {
    ASSERT_TRUE(loadCatalogues(false));
    const auto& criteria = criterionCatalogue();
    ASSERT_EQ(criteria.size(), kCriterionCount);
    for (size_t i = 0; i < criteria.size(); ++i) {
        std::string text, spec;
        EXPECT_EQ(findCriterionKind(buildCondition(testArena(), criteria[i]), &text, &spec), i);
        EXPECT_EQ(text, criteria[i].displayText());
        EXPECT_EQ(spec, criteria[i].spec);
        EXPECT_FALSE(text.empty());
    }
    const auto& actions = actionCatalogue();
    ASSERT_EQ(actions.size(), kActionCount);
    for (size_t i = 0; i < actions.size(); ++i) {
        std::string text = "stale", spec = "stale";
        const auto kind = static_cast<CommandKind>(actions[i].kind);
        EXPECT_EQ(findActionKind(*action(kind), &text, &spec), i);
        EXPECT_EQ(text, actions[i].displayText());
        EXPECT_EQ(spec, "");
    }
    // The lists show an entry's template where it has one.
    EXPECT_EQ(actions[0].text, "Move it to the specified folder.");
    EXPECT_EQ(actions[0].displayText(), "Move it to [folder].");
    std::string text = "stale";
    EXPECT_FALSE(findActionKind(*action(CommandKind::If), &text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(findActionKind(*action(CommandKind::None)));

    // A rebuild loads the same entries again.
    const std::string subject = criteria[5].displayText();
    ASSERT_TRUE(loadCriterionCatalogue(true));
    EXPECT_EQ(criterionCatalogue()[5].displayText(), subject);
}

TEST(Catalogues, FindCriterionKind) {
    // Header names match without case, whatever their order, empty ones left out; the first key
    // counts where the entry names a value; match type and negation play no part.
    auto find = [](const SieveTest& t) { return findCriterionKind(&t); };
    EXPECT_EQ(find(*addressTest(AddressPart::All, MatchType::Is, {"cc", "to"}, {})), 0u);
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
    for (TestKind k : {TestKind::AllOf, TestKind::AnyOf, TestKind::Exists, TestKind::False}) {
        EXPECT_FALSE(find(SieveTest(k)));
    }
    std::string text = "stale";
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
    std::vector<SieveTest*> conditions;
    for (size_t i : {1u, 6u, 7u}) {
        conditions.push_back(buildCondition(testArena(), entries[i]));
        ASSERT_TRUE(conditions.back());
    }
    EXPECT_EQ(conditions[0]->matchType, MatchType::Contains);
    EXPECT_TRUE(conditions[0]->keys.empty());
    EXPECT_EQ(owned(conditions[1]->headers), (std::vector<std::string>{"Content-Type"}));
    EXPECT_EQ(owned(conditions[1]->keys), (std::vector<std::string>{"multipart/mixed"}));
    EXPECT_EQ(conditions[2]->matchType, MatchType::Is);

    auto group = combineConditions(testArena(), conditions, TestKind::AnyOf);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->kind, TestKind::AnyOf);
    EXPECT_TRUE(conditionsRecognised(group));
    EXPECT_EQ(group->children->next->next->kind, TestKind::Size);
    EXPECT_FALSE(group->children->next->next->next);

    std::vector<SieveTest*> one;
    one.push_back(buildCondition(testArena(), entries[9]));
    auto single = combineConditions(testArena(), one, TestKind::AllOf);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->kind, TestKind::True);
    EXPECT_FALSE(combineConditions(testArena(), {}, TestKind::AllOf));
}

}  // namespace
}  // namespace wq::rules

// Property: random rule sets, with every kind of value the reader or the editor can give (long
// and odd texts, sizes of 2G and more, empty blocks and messages, switched-off rules with named
// elsifs, names on nested commands, line breaks in subjects, days, comparators), read back as
// themselves (sameTree in writable.h), and writing what was read gives the same text again.
#include <gtest/gtest.h>

#include <random>

#include "rules_builders.h"
#include "writable.h"

namespace wq::rules {
namespace {

using namespace testing;

class RandomRules {
  public:
    explicit RandomRules(uint32_t seed) : rng_(seed) {}

    SieveCommand* ruleSet() {
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        for (int n = pick(0, 6); n > 0; --n) {
            *tail = rule();
            tail = &(*tail)->next;
        }
        return head;
    }

  private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }

    // Characters that matter to the format: the six escapes, comment starters, braces,
    // quotes, high-bit bytes.
    std::string text(int maxLength, bool markerSafe = false) {
        static const char pool[] = "ab Z09'\"\\\r\n\t#!/*{};:[],()\xE9\x80\xFF-.";
        std::string s;
        int length = chance(3) ? maxLength : pick(0, maxLength < 12 ? maxLength : 12);
        for (int i = 0; i < length; ++i) {
            char c = pool[pick(0, sizeof(pool) - 2)];
            if (markerSafe && (c == '\n' || c == '\r')) {
                c = 'x';
            }
            s += c;
        }
        return s;
    }

    StringList list() {
        std::vector<std::string> texts;
        for (int n = pick(1, 3); n > 0; --n) {
            texts.push_back(text(chance(2) ? 2047 : 20));
        }
        return strings(Strings(texts.begin(), texts.end()));
    }

    SieveTest* test(int depth) {
        if (chance(8)) {
            return nullptr;
        }
        int kind = pick(1, 9);
        if (depth >= 3 && kind <= 2) {
            kind = 5;
        }
        auto t = newTest(static_cast<TestKind>(kind));
        t->negated = chance(30) ? 1 : 0;
        switch (t->kind) {
            case TestKind::AllOf:
            case TestKind::AnyOf: {
                SieveTest** tail = &t->children;
                for (int n = pick(1, 3); n > 0; --n) {
                    SieveTest* child = nullptr;
                    while (!child) {
                        child = test(depth + 1);
                    }
                    *tail = child;
                    tail = &(*tail)->next;
                }
                break;
            }
            case TestKind::Exists:
                t->headers = list();
                break;
            case TestKind::Address:
                t->addressPart = static_cast<AddressPart>(pick(0, 2));
                [[fallthrough]];
            case TestKind::Header:
                t->matchType = static_cast<MatchType>(pick(0, 2));
                t->octetComparator = chance(30) ? 1 : 0;
                t->headers = list();
                t->keys = list();
                break;
            case TestKind::Size:
                t->sizeRelation = static_cast<SizeRelation>(pick(0, 1));
                t->sizeLimit = chance(20) ? UINT32_MAX - static_cast<uint32_t>(pick(0, 1 << 30))
                                          : static_cast<uint32_t>(pick(0, 1 << 30));
                break;
            default:
                break;
        }
        return t;
    }

    // Any command but If. Names are given at every depth; only Notify and Vacation (whose
    // tags carry text1) take any characters, other names none that end a marker line.
    SieveCommand* simple() {
        auto c = testArena().make<SieveCommand>();
        c->kind = static_cast<CommandKind>(pick(1, 8));
        c->enabled = chance(50) ? 1 : 0;
        c->text2.assign(testArena(), chance(50) ? "7" : text(5));
        c->visual = chance(50) ? 1u : 0u;
        const bool tagged = c->kind == CommandKind::Notify || c->kind == CommandKind::Vacation;
        if (tagged || chance(30)) {
            c->text1.assign(testArena(), text(chance(5) ? 127 : 10, !tagged));
        }
        if (c->kind != CommandKind::Keep && c->kind != CommandKind::Discard &&
            c->kind != CommandKind::Stop) {
            c->argument.assign(testArena(), text(chance(2) ? 2047 : 30));
        }
        return c;
    }

    SieveCommand* chainOf(int depth) {
        if (chance(10)) {
            return testArena().make<SieveCommand>();  // an empty block
        }
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        for (int n = pick(1, 3); n > 0; --n) {
            *tail = depth < 4 && chance(25) ? ifCommand(depth) : simple();
            tail = &(*tail)->next;
        }
        return head;
    }

    // An If at `depth`, its own flag whatever its rule's.
    SieveCommand* ifCommand(int depth) {
        auto c = testArena().make<SieveCommand>();
        c->kind = CommandKind::If;
        c->enabled = chance(50) ? 1 : 0;
        if (chance(50)) {
            c->text1.assign(testArena(), text(chance(5) ? 127 : 12, true));
        }
        c->test = test(0);
        c->block = chainOf(depth + 1);
        int elseKind = pick(0, 4);
        if (elseKind == 1 && depth < 6) {
            c->elsePart = ifCommand(depth);
        } else if (elseKind == 2) {
            c->elsePart = chainOf(depth + 1);
            // An else part of one If is an elsif, which elseKind 1 builds.
            if (c->elsePart->kind == CommandKind::If && !c->elsePart->next) {
                c->elsePart->next = simple();
            }
        }
        return c;
    }

    SieveCommand* rule() {
        SieveCommand* r = chance(80) ? ifCommand(0) : simple();
        if (r->kind == CommandKind::If && chance(50)) {
            r->text1.clear();
        }
        return r;
    }

    std::mt19937 rng_;
};

TEST(SieveRoundTrip, RandomRuleSetsSurviveWritingAndReading) {
    for (uint32_t seed = 1; seed <= 3000; ++seed) {
        testArena().clear();
        RandomRules random(seed);
        SieveCommand* original = random.ruleSet();
        std::string first = script(original);
        ASSERT_TRUE(writableRuleSet(original)) << "seed " << seed << "\n" << first;

        RuleSet back;
        ParseResult result;
        ASSERT_TRUE(parseScript(first, back, 0, &result))
            << "seed " << seed << " line " << result.line << ": " << result.errorMessage << "\n"
            << first;
        ASSERT_TRUE(sameTree(original, back.first)) << "seed " << seed << "\n" << first;
        ASSERT_EQ(script(back.first), first) << "seed " << seed;

        // Single-rule mode of every rule reads back as that one rule.
        for (SieveCommand* r = back.first; r; r = r->next) {
            {
                RuleSet one;
                ASSERT_TRUE(parseScript(singleRule(*r), one)) << "seed " << seed;
                ASSERT_EQ(one.size(), 1u);
                std::string again;
                generateCommand(again, *one.first, 0, GenerateMode::SingleRule, false);
                EXPECT_EQ(again, singleRule(*r));
            }
        }
    }
}

}  // namespace
}  // namespace wq::rules

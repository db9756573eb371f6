// Property: for random rule sets inside what the format carries (writable.h), writing, reading
// and writing again gives the same text, and the tree read back equals the original in every
// field the writer writes.
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
            texts.push_back(text(chance(2) ? 2046 : 20));
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
        t->octetComparator = chance(50) ? 1 : 0;  // never written
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
                t->headers = list();
                t->keys = list();
                break;
            case TestKind::Size:
                t->sizeRelation = static_cast<SizeRelation>(pick(0, 1));
                t->sizeLimit = chance(10) ? INT32_MAX : pick(0, 1 << 30);
                break;
            default:
                break;
        }
        return t;
    }

    SieveCommand* simple(bool topLevel) {
        auto c = testArena().make<SieveCommand>();
        c->kind = static_cast<CommandKind>(pick(1, 8));
        c->enabled = chance(50) ? 1 : 0;
        c->text2.assign(testArena(), text(5));  // never written
        c->visual = chance(50) ? 1u : 0u;
        switch (c->kind) {
            case CommandKind::Reject:
            case CommandKind::FileInto:
            case CommandKind::Redirect:
                c->argument.assign(testArena(), text(chance(2) ? 2046 : 30));
                break;
            case CommandKind::Notify:
                c->text1.assign(testArena(), text(chance(5) ? 127 : 10, topLevel));
                c->argument.assign(testArena(), text(20));
                if (c->argument.empty()) {
                    c->argument.assign(testArena(), "m");
                }
                break;
            case CommandKind::Vacation:
                c->text1.assign(testArena(), text(chance(5) ? 127 : 10, topLevel));
                c->argument.assign(testArena(), text(30));
                break;
            default:
                if (topLevel) {
                    c->text1.assign(testArena(), text(10, true));
                }
                break;
        }
        return c;
    }

    SieveCommand* chainOf(int depth, bool ruleOn) {
        if (ruleOn && chance(10)) {
            return testArena().make<SieveCommand>();  // an empty block
        }
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        for (int n = pick(1, 3); n > 0; --n) {
            *tail = depth < 4 && chance(25) ? ifCommand(depth, ruleOn, false) : simple(false);
            tail = &(*tail)->next;
        }
        return head;
    }

    // An If at `depth`; an elsif at depth 0 carries a marker line of its own.
    SieveCommand* ifCommand(int depth, bool ruleOn, bool markerElsif) {
        auto c = testArena().make<SieveCommand>();
        c->kind = CommandKind::If;
        c->enabled = markerElsif ? (ruleOn ? 1 : 0) : (chance(50) ? 1 : 0);
        if (markerElsif || chance(50)) {
            c->text1.assign(testArena(), text(chance(5) ? 127 : 12, true));
        }
        c->test = test(0);
        c->block = chainOf(depth + 1, ruleOn);
        int elseKind = pick(0, 4);
        if (elseKind == 1 && depth < 6) {
            c->elsePart = ifCommand(depth, ruleOn, depth == 0);
        } else if (elseKind == 2) {
            c->elsePart = chainOf(depth + 1, ruleOn);
            // An else part of one If is an elsif, which elseKind 1 builds.
            if (c->elsePart->kind == CommandKind::If && !c->elsePart->next) {
                c->elsePart->next = simple(false);
            }
        }
        return c;
    }

    SieveCommand* rule() {
        bool on = chance(60);
        SieveCommand* r = chance(80) ? ifCommand(0, on, false) : simple(true);
        r->enabled = on ? 1 : 0;
        if (r->kind == CommandKind::If && !chance(50)) {
            r->text1.clear();
        }
        return r;
    }

    std::mt19937 rng_;
};

void expectSameTest(const SieveTest* a, const SieveTest* b) {
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a) {
        return;
    }
    EXPECT_EQ(a->kind, b->kind);
    EXPECT_EQ(a->negated, b->negated);
    switch (a->kind) {
        case TestKind::AllOf:
        case TestKind::AnyOf:
            break;
        case TestKind::Exists:
            EXPECT_EQ(a->headers, b->headers);
            break;
        case TestKind::Address:
            EXPECT_EQ(a->addressPart, b->addressPart);
            [[fallthrough]];
        case TestKind::Header:
            EXPECT_EQ(a->matchType, b->matchType);
            EXPECT_EQ(a->headers, b->headers);
            EXPECT_EQ(a->keys, b->keys);
            break;
        case TestKind::Size:
            EXPECT_EQ(a->sizeRelation, b->sizeRelation);
            EXPECT_EQ(a->sizeLimit, b->sizeLimit);
            break;
        default:
            break;
    }
    const SieveTest* ca = a->children;
    const SieveTest* cb = b->children;
    for (; ca && cb; ca = ca->next, cb = cb->next) {
        expectSameTest(ca, cb);
    }
    EXPECT_EQ(ca == nullptr, cb == nullptr);
}

void expectSameChain(const SieveCommand* a, const SieveCommand* b, const SieveCommand* holderB,
                     unsigned depth);

// At depth 0 the command's flag and text1 are written in its marker line.
void expectSameCommand(const SieveCommand& a, const SieveCommand& b, unsigned depth) {
    EXPECT_EQ(a.kind, b.kind);
    if (depth == 0) {
        EXPECT_EQ(a.enabled, b.enabled);
        EXPECT_EQ(a.text1, b.text1);
    }
    switch (a.kind) {
        case CommandKind::Notify:
        case CommandKind::Vacation:
            EXPECT_EQ(a.text1, b.text1);
            [[fallthrough]];
        case CommandKind::Reject:
        case CommandKind::FileInto:
        case CommandKind::Redirect:
            EXPECT_EQ(a.argument, b.argument);
            break;
        default:
            break;
    }
    if (a.kind != CommandKind::If) {
        return;
    }
    expectSameTest(a.test, b.test);
    expectSameChain(a.block, b.block, &b, depth + 1);
    const SieveCommand* e = a.elsePart;
    if (e && e->kind == CommandKind::If && !e->next) {
        ASSERT_TRUE(b.elsePart);
        EXPECT_FALSE(b.elsePart->next);
        EXPECT_EQ(b.elsePart->parent, &b);
        EXPECT_EQ(e->parent, &a);  // set by the writer
        expectSameCommand(*e, *b.elsePart, depth);
    } else {
        expectSameChain(e, b.elsePart, &b, depth + 1);
    }
}

void expectSameChain(const SieveCommand* a, const SieveCommand* b, const SieveCommand* holderB,
                     unsigned depth) {
    for (; a && b; a = a->next, b = b->next) {
        EXPECT_EQ(b->parent, holderB);
        if (holderB) {
            EXPECT_NE(a->parent, nullptr);  // set by the writer
        }
        expectSameCommand(*a, *b, depth);
    }
    EXPECT_EQ(a == nullptr, b == nullptr);
}

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
        ASSERT_EQ(script(back.first), first) << "seed " << seed;
        expectSameChain(original, back.first, nullptr, 0);
        if (::testing::Test::HasFailure()) {
            FAIL() << "seed " << seed << "\n" << first;
        }

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

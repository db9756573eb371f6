#include "rules/compare.h"

#include <new>

#include "rules/sieve_parser.h"

namespace wq::rules {
namespace {

// What a vacation without :days is read back with.
constexpr std::string_view kDefaultVacationDays = "7";

std::string_view days(const SieveCommand& c) {
    return c.text2.empty() ? kDefaultVacationDays : c.text2.view();
}

bool sameTest(const SieveTest* a, const SieveTest* b, unsigned level) {
    if (!a || !b) {
        return a == b;
    }
    if (level > kMaxNestingDepth || a->kind != b->kind || !a->negated != !b->negated) {
        return false;
    }
    switch (a->kind) {
        case TestKind::AllOf:
        case TestKind::AnyOf: {
            const SieveTest* ca = a->children;
            const SieveTest* cb = b->children;
            for (; ca && cb; ca = ca->next, cb = cb->next) {
                if (!sameTest(ca, cb, level + 1)) {
                    return false;
                }
            }
            return !ca && !cb;
        }
        case TestKind::Exists:
            return a->headers == b->headers;
        case TestKind::Address:
            if (a->addressPart != b->addressPart) {
                return false;
            }
            [[fallthrough]];
        case TestKind::Header:
            return a->matchType == b->matchType && !a->octetComparator == !b->octetComparator &&
                   a->headers == b->headers && a->keys == b->keys;
        case TestKind::Size:
            return a->sizeRelation == b->sizeRelation && a->sizeLimit == b->sizeLimit;
        case TestKind::False:
        case TestKind::True:
        case TestKind::SpamTest:
            return true;
    }
    return false;
}

const SieveCommand* skipEmpty(const SieveCommand* c) {
    while (c && c->kind == CommandKind::None) {
        c = c->next;
    }
    return c;
}

bool sameCommand(const SieveCommand& a, const SieveCommand& b, unsigned level);

// A block or else part.
bool sameChain(const SieveCommand* a, const SieveCommand* b, unsigned level) {
    for (a = skipEmpty(a), b = skipEmpty(b); a && b;
         a = skipEmpty(a->next), b = skipEmpty(b->next)) {
        if (!sameCommand(*a, *b, level + 1)) {
            return false;
        }
    }
    return !a && !b;
}

// text1 is a command's name (in its marker line), a notification's options or a vacation's
// subject.
bool sameCommand(const SieveCommand& a, const SieveCommand& b, unsigned level) {
    if (level > kMaxNestingDepth || a.kind != b.kind || a.text1 != b.text1) {
        return false;
    }
    switch (a.kind) {
        case CommandKind::None:
        case CommandKind::Keep:
        case CommandKind::Discard:
        case CommandKind::Stop:
            return true;
        case CommandKind::Reject:
        case CommandKind::FileInto:
        case CommandKind::Redirect:
        case CommandKind::Notify:
            return a.argument == b.argument;
        case CommandKind::Vacation:
            return days(a) == days(b) && a.argument == b.argument;
        case CommandKind::If:
            break;
    }
    return sameTest(a.test, b.test, level + 1) && sameChain(a.block, b.block, level) &&
           sameChain(a.elsePart, b.elsePart, level);
}

}  // namespace

bool sameRules(const SieveCommand* a, const SieveCommand* b) {
    for (; a && b; a = a->next, b = b->next) {
        if (!a->enabled != !b->enabled || !sameCommand(*a, *b, 0)) {
            return false;
        }
    }
    return !a && !b;
}

bool readsBackAs(std::string_view script, const SieveCommand* first) {
    try {
        RuleSet back;
        return parseScript(script, back) && sameRules(first, back.first);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace wq::rules

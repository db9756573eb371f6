// Which rule trees the script format carries, and what carrying a tree means.
//
// Every tree the reader makes reads back as itself, and so does every tree the editor makes. A
// few trees that neither makes are written as what they mean rather than as themselves:
//   - a None command that is not the only command of a block or else part (written as nothing);
//   - an If without a block (written as an empty block, which reads back as one None);
//   - an AllOf or AnyOf without children (written as "true" or "false");
//   - an empty string list (written as "", which reads back as one empty string);
//   - a name that only a marker line carries (text1 of any command but Notify and Vacation)
//     holding a line feed (written as a space), or shorter than 127 characters and ending in a
//     carriage return (dropped);
//   - a Vacation without days (written without, which reads back as 7 days; sameTree takes
//     the two for the same, since the reader also keeps a script's empty days);
//   - the octet flag of a test other than Address and Header (not written);
//   - a kind outside its enumeration (not written).
// sameTree says what reading back as itself means: every field the script holds is equal. Not
// compared are the visual flag, the parent links and the own flags of commands below the top
// level, which read back as their rule's state.
#pragma once

#include "rules/model.h"

namespace wq::rules::testing {

inline bool writableTest(const SieveTest* test) {
    if (!test) {
        return true;
    }
    if (test->octetComparator && test->kind != TestKind::Address &&
        test->kind != TestKind::Header) {
        return false;
    }
    switch (test->kind) {
        case TestKind::AllOf:
        case TestKind::AnyOf:
            if (!test->children) {
                return false;
            }
            for (const SieveTest* c = test->children; c; c = c->next) {
                if (!writableTest(c)) {
                    return false;
                }
            }
            return true;
        case TestKind::Exists:
            return !test->headers.empty();
        case TestKind::Address:
        case TestKind::Header:
            return !test->headers.empty() && !test->keys.empty();
        case TestKind::False:
        case TestKind::True:
        case TestKind::SpamTest:
        case TestKind::Size:
            return true;
    }
    return false;
}

inline bool writableCommand(const SieveCommand& c);

// A block or else part.
inline bool writableChain(const SieveCommand* first) {
    if (first->kind == CommandKind::None && !first->next) {
        return first->text1.empty();
    }
    for (const SieveCommand* c = first; c; c = c->next) {
        if (!writableCommand(*c)) {
            return false;
        }
    }
    return true;
}

inline bool writableCommand(const SieveCommand& c) {
    std::string_view name = c.text1.view();
    if (c.kind != CommandKind::Notify && c.kind != CommandKind::Vacation &&
        (name.find('\n') != std::string_view::npos ||
         (!name.empty() && name.size() < kMaxPendingName && name.back() == '\r'))) {
        return false;
    }
    if (c.kind == CommandKind::None || c.kind > CommandKind::If) {
        return false;
    }
    if (c.kind != CommandKind::If) {
        return true;
    }
    return writableTest(c.test) && c.block && writableChain(c.block) &&
           (!c.elsePart || writableChain(c.elsePart));
}

inline bool writableRuleSet(const SieveCommand* first) {
    for (const SieveCommand* c = first; c; c = c->next) {
        if (!writableCommand(*c)) {
            return false;
        }
    }
    return true;
}

inline bool sameTest(const SieveTest* a, const SieveTest* b) {
    if (!a || !b) {
        return a == b;
    }
    if (a->kind != b->kind || a->negated != b->negated) {
        return false;
    }
    switch (a->kind) {
        case TestKind::Exists:
            return a->headers == b->headers;
        case TestKind::Address:
        case TestKind::Header:
            return (a->kind == TestKind::Header || a->addressPart == b->addressPart) &&
                   a->matchType == b->matchType && a->octetComparator == b->octetComparator &&
                   a->headers == b->headers && a->keys == b->keys;
        case TestKind::Size:
            return a->sizeRelation == b->sizeRelation && a->sizeLimit == b->sizeLimit;
        case TestKind::AllOf:
        case TestKind::AnyOf:
            break;
        default:
            return true;
    }
    const SieveTest* ca = a->children;
    const SieveTest* cb = b->children;
    for (; ca && cb; ca = ca->next, cb = cb->next) {
        if (!sameTest(ca, cb)) {
            return false;
        }
    }
    return !ca && !cb;
}

inline bool sameChain(const SieveCommand* a, const SieveCommand* b, bool topLevel);

inline bool sameCommand(const SieveCommand& a, const SieveCommand& b, bool topLevel) {
    if (a.kind != b.kind || a.text1 != b.text1 || (topLevel && a.enabled != b.enabled)) {
        return false;
    }
    switch (a.kind) {
        case CommandKind::Vacation:
            if ((a.text2.empty() ? "7" : a.text2.view()) !=
                (b.text2.empty() ? "7" : b.text2.view())) {
                return false;
            }
            [[fallthrough]];
        case CommandKind::Reject:
        case CommandKind::FileInto:
        case CommandKind::Redirect:
        case CommandKind::Notify:
            return a.argument == b.argument;
        case CommandKind::If:
            return sameTest(a.test, b.test) && sameChain(a.block, b.block, false) &&
                   sameChain(a.elsePart, b.elsePart, false);
        default:
            return true;
    }
}

inline bool sameChain(const SieveCommand* a, const SieveCommand* b, bool topLevel) {
    for (; a && b; a = a->next, b = b->next) {
        if (!sameCommand(*a, *b, topLevel)) {
            return false;
        }
    }
    return !a && !b;
}

// Whether the rule sets from `a` and `b` on hold the same rules, as far as a script holds them.
inline bool sameTree(const SieveCommand* a, const SieveCommand* b) {
    return sameChain(a, b, true);
}

}  // namespace wq::rules::testing

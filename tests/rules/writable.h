// Which rule trees the script format can carry faithfully.
//
// The writer's format has a few holes that follow from its definition, and a tree that falls
// into one is not written back as itself:
//   - a quoted string of kMaxTokenText characters or more: the reader ends a string there;
//   - a marker line's name (text1 of a command at depth 0, elsif commands of a top-level rule
//     included) holding a line feed or ending in a carriage return;
//   - an elsif at depth 0 whose own flag differs from its rule's: its marker line's digit is
//     either overridden by the next token or, for "1" in a switched-off rule, turns the rule's
//     following "# " lines into comments;
//   - a None command anywhere but as the only command of a block or else part of a switched-on
//     rule: it writes its prefix and indent but no line end;
//   - a Notify with an empty message: it is written without :message and reads back with the
//     preset message;
//   - a negative size limit: it is written with a "-", which begins no token;
//   - an empty string list: it is written as "" and reads back as a list of one empty string.
// The round-trip property test builds trees outside these holes; the fuzzer checks the fixed
// point only for parsed trees outside them.
#pragma once

#include "rules/limits.h"
#include "rules/model.h"

namespace wq::rules::testing {

inline bool writableList(const StringList& list) {
    if (list.empty()) {
        return false;
    }
    for (std::string_view s : list) {
        if (s.size() >= kMaxTokenText) {
            return false;
        }
    }
    return true;
}

inline bool writableTest(const SieveTest* test) {
    if (!test) {
        return true;
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
            return writableList(test->headers);
        case TestKind::Address:
        case TestKind::Header:
            return writableList(test->headers) && writableList(test->keys);
        case TestKind::Size:
            return test->sizeLimit >= 0;
        case TestKind::False:
        case TestKind::True:
        case TestKind::SpamTest:
            return true;
    }
    return false;
}

inline bool writableMarkerName(const ShortText& name) {
    std::string_view s = name.view();
    return s.find('\n') == std::string_view::npos && (s.empty() || s.back() != '\r');
}

inline bool writableCommand(const SieveCommand& c, unsigned depth, bool ruleOn);

// A block or else part; `depth` is the depth of its commands.
inline bool writableChain(const SieveCommand* first, unsigned depth, bool ruleOn) {
    if (first->kind == CommandKind::None && !first->next) {
        return ruleOn;
    }
    for (const SieveCommand* c = first; c; c = c->next) {
        if (c->kind == CommandKind::None || !writableCommand(*c, depth, ruleOn)) {
            return false;
        }
    }
    return true;
}

inline bool writableCommand(const SieveCommand& c, unsigned depth, bool ruleOn) {
    if (depth == 0 && !writableMarkerName(c.text1)) {
        return false;
    }
    switch (c.kind) {
        case CommandKind::None:
            return false;
        case CommandKind::Keep:
        case CommandKind::Discard:
        case CommandKind::Stop:
            return true;
        case CommandKind::Reject:
        case CommandKind::FileInto:
        case CommandKind::Redirect:
        case CommandKind::Vacation:
            return c.argument.size() < kMaxTokenText;
        case CommandKind::Notify:
            return !c.argument.empty() && c.argument.size() < kMaxTokenText;
        case CommandKind::If:
            break;
        default:
            return false;
    }
    if (!writableTest(c.test) || !c.block || !writableChain(c.block, depth + 1, ruleOn)) {
        return false;
    }
    const SieveCommand* e = c.elsePart;
    if (!e) {
        return true;
    }
    if (e->kind == CommandKind::If && !e->next) {
        if (depth == 0 && (e->enabled != 0) != ruleOn) {
            return false;
        }
        return writableCommand(*e, depth, ruleOn);
    }
    return writableChain(e, depth + 1, ruleOn);
}

inline bool writableRuleSet(const SieveCommand* first) {
    for (const SieveCommand* c = first; c; c = c->next) {
        if (!writableCommand(*c, 0, c->enabled != 0)) {
            return false;
        }
    }
    return true;
}

}  // namespace wq::rules::testing

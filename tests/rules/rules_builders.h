// Small builders for rule trees, so that tests state a rule in one expression. The records are
// made in testArena(), which lives as long as the test program; a test that builds many trees
// clears it between them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/model.h"
#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"

namespace wq::rules::testing {

inline RuleArena& testArena() {
    static RuleArena arena;
    return arena;
}

using Strings = std::vector<std::string_view>;

inline StringList strings(const Strings& items) {
    return StringList::copyOf(testArena(), items.data(), items.size());
}

// A list's strings as owned copies, for comparisons in expectations.
inline std::vector<std::string> owned(const StringList& list) {
    return {list.begin(), list.end()};
}

inline SieveTest* newTest(TestKind kind) {
    return testArena().make<SieveTest>(kind);
}

inline SieveTest* headerTest(MatchType match, const Strings& headers, const Strings& keys) {
    SieveTest* t = newTest(TestKind::Header);
    t->matchType = match;
    t->headers = strings(headers);
    t->keys = strings(keys);
    return t;
}

inline SieveTest* addressTest(AddressPart part, MatchType match, const Strings& headers,
                              const Strings& keys) {
    SieveTest* t = headerTest(match, headers, keys);
    t->kind = TestKind::Address;
    t->addressPart = part;
    return t;
}

inline SieveTest* sizeTest(SizeRelation relation, uint32_t limit) {
    SieveTest* t = newTest(TestKind::Size);
    t->sizeRelation = relation;
    t->sizeLimit = limit;
    return t;
}

inline SieveTest* groupTest(TestKind kind, const std::vector<SieveTest*>& children) {
    SieveTest* t = newTest(kind);
    SieveTest** tail = &t->children;
    for (SieveTest* c : children) {
        *tail = c;
        tail = &c->next;
    }
    return t;
}

inline SieveCommand* action(CommandKind kind, std::string_view argument = {},
                            std::string_view text1 = {}) {
    SieveCommand* c = testArena().make<SieveCommand>();
    c->kind = kind;
    c->enabled = 1;
    c->argument.assign(testArena(), argument);
    c->text1.assign(testArena(), text1);
    return c;
}

inline SieveCommand* chain(const std::vector<SieveCommand*>& commands) {
    SieveCommand* head = nullptr;
    SieveCommand** tail = &head;
    for (SieveCommand* c : commands) {
        *tail = c;
        tail = &c->next;
    }
    return head;
}

template <typename... T>
std::vector<SieveCommand*> commands(T... c) {
    return {c...};
}

template <typename... T>
std::vector<SieveTest*> tests(T... t) {
    return {t...};
}

inline SieveCommand* ifCommand(std::string_view name, bool enabled, SieveTest* test,
                               const std::vector<SieveCommand*>& block,
                               SieveCommand* elsePart = nullptr) {
    SieveCommand* c = testArena().make<SieveCommand>();
    c->kind = CommandKind::If;
    c->enabled = enabled ? 1 : 0;
    c->text1.assign(testArena(), name);
    c->test = test;
    c->block = chain(block);
    c->elsePart = elsePart;
    return c;
}

inline std::string script(SieveCommand* first) {
    std::string out;
    generateScript(out, first);
    return out;
}

inline std::string singleRule(SieveCommand& rule) {
    std::string out;
    generateCommand(out, rule, 0, GenerateMode::SingleRule, false);
    return out;
}

// Parses `text`; an empty rule set when it does not parse.
inline RuleSet parsed(std::string_view text, ParseResult* result = nullptr) {
    RuleSet rules;
    ParseResult local;
    parseScript(text, rules, 0, result ? result : &local);
    return rules;
}

}  // namespace wq::rules::testing

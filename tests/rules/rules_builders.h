// Small builders for rule trees, so that tests state a rule in one expression.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rules/model.h"
#include "rules/sieve_generator.h"
#include "rules/sieve_parser.h"

namespace wq::rules::testing {

inline std::unique_ptr<SieveTest> headerTest(MatchType match, StringList headers, StringList keys) {
    auto t = std::make_unique<SieveTest>(TestKind::Header);
    t->matchType = match;
    t->headers = std::move(headers);
    t->keys = std::move(keys);
    return t;
}

inline std::unique_ptr<SieveTest> addressTest(AddressPart part, MatchType match, StringList headers,
                                              StringList keys) {
    auto t = headerTest(match, std::move(headers), std::move(keys));
    t->kind = TestKind::Address;
    t->addressPart = part;
    return t;
}

inline std::unique_ptr<SieveTest> sizeTest(SizeRelation relation, int32_t limit) {
    auto t = std::make_unique<SieveTest>(TestKind::Size);
    t->sizeRelation = relation;
    t->sizeLimit = limit;
    return t;
}

inline std::unique_ptr<SieveTest> groupTest(TestKind kind,
                                            std::vector<std::unique_ptr<SieveTest>> children) {
    auto t = std::make_unique<SieveTest>(kind);
    std::unique_ptr<SieveTest>* tail = &t->children;
    for (auto& c : children) {
        *tail = std::move(c);
        tail = &(*tail)->next;
    }
    return t;
}

inline std::unique_ptr<SieveCommand> action(CommandKind kind, std::string argument = {},
                                            std::string text1 = {}) {
    auto c = std::make_unique<SieveCommand>();
    c->kind = kind;
    c->enabled = 1;
    c->argument = argument;
    c->text1 = text1;
    return c;
}

inline std::unique_ptr<SieveCommand> chain(std::vector<std::unique_ptr<SieveCommand>> commands) {
    std::unique_ptr<SieveCommand> head;
    std::unique_ptr<SieveCommand>* tail = &head;
    for (auto& c : commands) {
        *tail = std::move(c);
        tail = &(*tail)->next;
    }
    return head;
}

template <typename... T>
std::vector<std::unique_ptr<SieveCommand>> commands(T... c) {
    std::vector<std::unique_ptr<SieveCommand>> v;
    (v.push_back(std::move(c)), ...);
    return v;
}

template <typename... T>
std::vector<std::unique_ptr<SieveTest>> tests(T... t) {
    std::vector<std::unique_ptr<SieveTest>> v;
    (v.push_back(std::move(t)), ...);
    return v;
}

inline std::unique_ptr<SieveCommand> ifCommand(std::string name, bool enabled,
                                               std::unique_ptr<SieveTest> test,
                                               std::vector<std::unique_ptr<SieveCommand>> block,
                                               std::unique_ptr<SieveCommand> elsePart = nullptr) {
    auto c = std::make_unique<SieveCommand>();
    c->kind = CommandKind::If;
    c->enabled = enabled ? 1 : 0;
    c->text1 = name;
    c->test = std::move(test);
    c->block = chain(std::move(block));
    c->elsePart = std::move(elsePart);
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

// Parses `text`, expecting success.
inline RuleSet parsed(const std::string& text, ParseResult* result = nullptr) {
    RuleSet rules;
    ParseResult local;
    bool ok = parseScript(text, rules, 0, result ? result : &local);
    if (!ok) {
        rules.first.reset();
    }
    return rules;
}

}  // namespace wq::rules::testing

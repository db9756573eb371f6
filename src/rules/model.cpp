#include "rules/model.h"

#include <new>
#include <utility>

namespace wq::rules {

// Sibling chains are released one record at a time: each record's next link is detached before
// the record goes, so the destructor never recurses along a chain.
SieveTest::~SieveTest() {
    std::unique_ptr<SieveTest> rest = std::move(next);
    while (rest) {
        rest = std::move(rest->next);
    }
}

SieveCommand::~SieveCommand() {
    std::unique_ptr<SieveCommand> rest = std::move(next);
    while (rest) {
        rest = std::move(rest->next);
    }
}

size_t RuleSet::size() const {
    size_t n = 0;
    for (const SieveCommand* c = first.get(); c; c = c->next.get()) {
        ++n;
    }
    return n;
}

void RuleSet::append(std::unique_ptr<SieveCommand> rule) {
    std::unique_ptr<SieveCommand>* link = &first;
    while (*link) {
        link = &(*link)->next;
    }
    *link = std::move(rule);
}

std::unique_ptr<SieveTest> createTest(TestKind kind) {
    return std::unique_ptr<SieveTest>(new (std::nothrow) SieveTest(kind));
}

std::unique_ptr<SieveCommand> createCommand() {
    return std::unique_ptr<SieveCommand>(new (std::nothrow) SieveCommand());
}

namespace {

// Copies throw std::bad_alloc from the inside (strings, lists, records), or TooDeep for a tree
// nested deeper than any parsed script; the public operations turn either into a null result
// after the owning links have freed the partial copy.
struct TooDeep {};

std::unique_ptr<SieveTest> copyTestChain(const SieveTest* first, unsigned depth);

std::unique_ptr<SieveTest> copyOneTest(const SieveTest& test, unsigned depth) {
    std::unique_ptr<SieveTest> copy(new SieveTest(test.kind));
    copy->negated = test.negated;
    copy->headers = test.headers;
    copy->keys = test.keys;
    copy->octetComparator = test.octetComparator;
    copy->addressPart = test.addressPart;
    copy->matchType = test.matchType;
    copy->sizeRelation = test.sizeRelation;
    copy->sizeLimit = test.sizeLimit;
    if (test.children) {
        if (depth >= kMaxNestingDepth) {
            throw TooDeep{};
        }
        copy->children = copyTestChain(test.children.get(), depth + 1);
    }
    return copy;
}

std::unique_ptr<SieveTest> copyTestChain(const SieveTest* first, unsigned depth) {
    std::unique_ptr<SieveTest> head;
    std::unique_ptr<SieveTest>* tail = &head;
    for (const SieveTest* t = first; t; t = t->next.get()) {
        *tail = copyOneTest(*t, depth);
        tail = &(*tail)->next;
    }
    return head;
}

std::unique_ptr<SieveCommand> copyCommandChain(const SieveCommand* first, SieveCommand* parent,
                                               unsigned depth);

std::unique_ptr<SieveCommand> copyOneCommand(const SieveCommand& command, SieveCommand* parent,
                                             unsigned depth) {
    std::unique_ptr<SieveCommand> copy(new SieveCommand());
    copy->kind = command.kind;
    copy->enabled = command.enabled;
    copy->text1 = command.text1;
    copy->text2 = command.text2;
    copy->argument = command.argument;
    copy->parent = parent;
    copy->visual = command.visual;
    if (command.test) {
        copy->test = copyOneTest(*command.test, depth);
    }
    if (command.block || command.elsePart) {
        if (depth >= kMaxNestingDepth) {
            throw TooDeep{};
        }
        copy->block = copyCommandChain(command.block.get(), copy.get(), depth + 1);
        copy->elsePart = copyCommandChain(command.elsePart.get(), copy.get(), depth + 1);
    }
    return copy;
}

std::unique_ptr<SieveCommand> copyCommandChain(const SieveCommand* first, SieveCommand* parent,
                                               unsigned depth) {
    std::unique_ptr<SieveCommand> head;
    std::unique_ptr<SieveCommand>* tail = &head;
    for (const SieveCommand* c = first; c; c = c->next.get()) {
        *tail = copyOneCommand(*c, parent, depth);
        tail = &(*tail)->next;
    }
    return head;
}

}  // namespace

std::unique_ptr<SieveTest> copyTest(const SieveTest& test) {
    try {
        return copyOneTest(test, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const TooDeep&) {
        return nullptr;
    }
}

std::unique_ptr<SieveCommand> copyCommand(const SieveCommand& command) {
    try {
        return copyOneCommand(command, command.parent, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const TooDeep&) {
        return nullptr;
    }
}

bool ruleState(const SieveCommand& command) {
    const SieveCommand* top = &command;
    while (top->parent) {
        top = top->parent;
    }
    return top->enabled != 0;
}

}  // namespace wq::rules

#include "rules/model.h"

#include <new>

namespace wq::rules {

StringList StringList::ofArenaTexts(RuleArena& arena, const std::string_view* items, size_t count) {
    StringList list;
    if (count == 0) {
        return list;
    }
    auto* views = static_cast<std::string_view*>(
        arena.allocate(count * sizeof(std::string_view), alignof(std::string_view)));
    for (size_t i = 0; i < count; ++i) {
        new (&views[i]) std::string_view(items[i]);
    }
    list.items_ = views;
    list.size_ = static_cast<uint32_t>(count);
    return list;
}

StringList StringList::copyOf(RuleArena& arena, const std::string_view* items, size_t count) {
    StringList list = ofArenaTexts(arena, items, count);
    for (size_t i = 0; i < count; ++i) {
        std::string_view item = items[i].substr(0, items[i].find('\0'));
        list.items_[i] = arena.copyText(item.substr(0, kMaxChars));
    }
    return list;
}

bool operator==(const StringList& a, const StringList& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

size_t RuleSet::size() const {
    size_t n = 0;
    for (const SieveCommand* c = first; c; c = c->next) {
        ++n;
    }
    return n;
}

void RuleSet::append(SieveCommand* rule) {
    SieveCommand** link = &first;
    while (*link) {
        link = &(*link)->next;
    }
    *link = rule;
}

SieveTest* createTest(RuleArena& arena, TestKind kind) {
    try {
        return arena.make<SieveTest>(kind);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SieveCommand* createCommand(RuleArena& arena) {
    try {
        return arena.make<SieveCommand>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

// Copies throw std::bad_alloc from the arena, or TooDeep for a tree nested deeper than any
// parsed script; the public operations turn either into a null result after rewinding the arena
// over the partial copy.
struct TooDeep {};

class TreeCopier {
  public:
    explicit TreeCopier(RuleArena& arena) : arena_(arena) {}

    SieveTest* test(const SieveTest& from, unsigned depth) {
        SieveTest* copy = arena_.make<SieveTest>(from.kind);
        copy->negated = from.negated;
        copy->headers = list(from.headers);
        copy->keys = list(from.keys);
        copy->octetComparator = from.octetComparator;
        copy->addressPart = from.addressPart;
        copy->matchType = from.matchType;
        copy->sizeRelation = from.sizeRelation;
        copy->sizeLimit = from.sizeLimit;
        if (from.children) {
            if (depth >= kMaxNestingDepth) {
                throw TooDeep{};
            }
            SieveTest** tail = &copy->children;
            for (const SieveTest* t = from.children; t; t = t->next) {
                *tail = test(*t, depth + 1);
                tail = &(*tail)->next;
            }
        }
        return copy;
    }

    SieveCommand* command(const SieveCommand& from, SieveCommand* parent, unsigned depth) {
        SieveCommand* copy = arena_.make<SieveCommand>();
        copy->kind = from.kind;
        copy->enabled = from.enabled;
        copy->text1.assign(arena_, from.text1);
        copy->text2.assign(arena_, from.text2);
        copy->argument.assign(arena_, from.argument);
        copy->parent = parent;
        copy->visual = from.visual;
        if (from.test) {
            copy->test = test(*from.test, depth);
        }
        if (from.block || from.elsePart) {
            if (depth >= kMaxNestingDepth) {
                throw TooDeep{};
            }
            copy->block = chain(from.block, copy, depth + 1);
            copy->elsePart = chain(from.elsePart, copy, depth + 1);
        }
        return copy;
    }

  private:
    StringList list(const StringList& from) {
        return StringList::copyOf(arena_, from.begin(), from.size());
    }

    SieveCommand* chain(const SieveCommand* first, SieveCommand* parent, unsigned depth) {
        SieveCommand* head = nullptr;
        SieveCommand** tail = &head;
        for (const SieveCommand* c = first; c; c = c->next) {
            *tail = command(*c, parent, depth);
            tail = &(*tail)->next;
        }
        return head;
    }

    RuleArena& arena_;
};

template <typename Copy>
auto copyOrNothing(RuleArena& arena, Copy copy) -> decltype(copy()) {
    const RuleArena::Mark mark = arena.mark();
    try {
        return copy();
    } catch (const std::bad_alloc&) {
    } catch (const TooDeep&) {
    }
    arena.rewind(mark);
    return nullptr;
}

}  // namespace

SieveTest* copyTest(RuleArena& arena, const SieveTest& test) {
    return copyOrNothing(arena, [&] { return TreeCopier(arena).test(test, 0); });
}

SieveCommand* copyCommand(RuleArena& arena, const SieveCommand& command) {
    return copyOrNothing(arena,
                         [&] { return TreeCopier(arena).command(command, command.parent, 0); });
}

bool ruleState(const SieveCommand& command) {
    const SieveCommand* top = &command;
    while (top->parent) {
        top = top->parent;
    }
    return top->enabled != 0;
}

}  // namespace wq::rules

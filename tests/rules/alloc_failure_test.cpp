// Running out of memory: a deep copy yields null and gives back its partial copy; the reader
// fails the parse, without a message of its own, and gives back what it built. Run under the
// sanitizer build to see that nothing leaks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "rules_builders.h"

namespace {
// While armed, the allocation numbered `failAt` (counting from 0) fails.
long allocations = 0;
long failAt = -1;
bool armed = false;

void* allocate(std::size_t size) {
    if (armed && allocations++ == failAt) {
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
// The replacements pair malloc with free; GCC cannot see that through the sized forms.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace wq::rules {
namespace {

using namespace testing;

std::string longScript() {
    std::string s;
    for (int i = 0; i < 3; ++i) {
        s += "#!1 Rule with a name long enough to leave the small-string buffer\n"
             "if anyof (header :contains \"Subject\" [\"a key long enough to allocate storage\", "
             "\"another key long enough to allocate storage\"], size :over 10K) {\n"
             "  fileinto \"a folder name long enough to allocate storage\";\n"
             "  if true { stop; } elsif exists \"X\" { keep; } else { discard; }\n"
             "}\n";
    }
    return s;
}

// Leaves `arena` with a full last block, so that its next record needs a new one.
void fillToTheLastByte(RuleArena& arena) {
    const size_t held = arena.bytesHeld();
    while (arena.bytesHeld() == held) {
        arena.allocate(1, 1);
    }
    arena.allocate(arena.bytesHeld() - held - 1, 1);
}

TEST(AllocationFailure, DeepCopyYieldsNullAndTheParseFails) {
    const std::string text = longScript();
    RuleSet rules = parsed(text);
    ASSERT_EQ(rules.size(), 3u);
    const std::string written = script(rules.first);

    // Copies into a fresh arena, and into the tree's own arena once its first block is full:
    // a failed copy gives back only what it had taken, so the tree itself stays whole.
    for (int intoOwn = 0; intoOwn < 2; ++intoOwn) {
        int failures = 0;
        for (long n = 0;; ++n) {
            RuleArena fresh;
            RuleArena& into = intoOwn ? rules.arena : fresh;
            if (intoOwn) {
                fillToTheLastByte(into);
            }
            allocations = 0;
            failAt = n;
            armed = true;
            SieveCommand* copy = copyCommand(into, *rules.first);
            armed = false;
            EXPECT_EQ(script(rules.first), written);
            if (copy) {
                EXPECT_EQ(script(copy), written.substr(0, written.find("#!1", 1)));
                break;
            }
            ++failures;
        }
        EXPECT_GE(failures, 1);
    }

    int failures = 0;
    for (long n = 0;; ++n) {
        RuleSet parsedRules;
        ParseResult result;
        allocations = 0;
        failAt = n;
        armed = true;
        bool ok = parseScript(text, parsedRules, 0, &result);
        armed = false;
        if (ok) {
            EXPECT_EQ(parsedRules.size(), 3u);
            break;
        }
        ++failures;
        EXPECT_FALSE(parsedRules.first);
        EXPECT_EQ(parsedRules.arena.bytesHeld(), 0u);
        EXPECT_EQ(result.error, 1u);
        EXPECT_EQ(result.errorMessage, "");
    }
    EXPECT_GE(failures, 3);
}

}  // namespace
}  // namespace wq::rules

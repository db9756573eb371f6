#include "rules/arena.h"

#include <cstring>

#include "platform/memory.h"

namespace wq::rules {
namespace {

// The first block of an arena with no size hint: a typical rule set of a few dozen rules.
constexpr size_t kFirstBlock = 8 * 1024;
// From this size on, blocks come from the system's large-block allocator in whole units.
constexpr size_t kLargeFrom = platform::kLargeBlockUnit / 2;

size_t roundUp(size_t n, size_t unit) {
    return (n + unit - 1) / unit * unit;
}

}  // namespace

RuleArena::RuleArena(RuleArena&& other) noexcept
    : blocks_(std::move(other.blocks_)), used_(other.used_), nextBlock_(other.nextBlock_) {
    other.blocks_.clear();
    other.used_ = 0;
    other.nextBlock_ = 0;
}

RuleArena& RuleArena::operator=(RuleArena&& other) noexcept {
    if (this != &other) {
        release(0);
        blocks_ = std::move(other.blocks_);
        used_ = other.used_;
        nextBlock_ = other.nextBlock_;
        other.blocks_.clear();
        other.used_ = 0;
        other.nextBlock_ = 0;
    }
    return *this;
}

std::string_view RuleArena::copyText(std::string_view text) {
    auto* copy = static_cast<char*>(allocate(text.size() + 1, 1));
    if (!text.empty()) {
        std::memcpy(copy, text.data(), text.size());
    }
    copy[text.size()] = '\0';
    return {copy, text.size()};
}

// Each block is at least twice the one before, so that a growing tree needs few blocks and the
// arena's bookkeeping stays logarithmic in its size.
void* RuleArena::allocateInNewBlock(size_t atLeast) {
    size_t size = blocks_.empty() ? kFirstBlock : blocks_.back().size * 2;
    if (nextBlock_ > size) {
        size = nextBlock_;
    }
    if (atLeast > size) {
        size = atLeast;
    }
    nextBlock_ = 0;
    blocks_.reserve(blocks_.size() + 1);  // may throw before anything is taken
    Block block{nullptr, size, false};
    if (size >= kLargeFrom) {
        block.size = roundUp(size, platform::kLargeBlockUnit);
        block.data = static_cast<std::byte*>(platform::AllocateLargeBlock(block.size));
        block.large = true;
    } else {
        block.data = static_cast<std::byte*>(::operator new(size, std::nothrow));
    }
    if (!block.data) {
        throw std::bad_alloc();
    }
    blocks_.push_back(block);
    markUnusable(block.data, block.size);
    markUsable(block.data, atLeast);
    used_ = atLeast;
    return block.data;
}

void RuleArena::rewind(Mark mark) {
    if (mark.blocks > blocks_.size() || (mark.blocks == blocks_.size() && mark.used > used_)) {
        return;  // not a mark of this arena's past
    }
    release(mark.blocks);
    if (mark.blocks == 0) {
        return;
    }
    const Block& last = blocks_.back();
    markUnusable(last.data + mark.used, last.size - mark.used);
    used_ = mark.used;
}

void RuleArena::release(size_t keepBlocks) {
    while (blocks_.size() > keepBlocks) {
        Block& block = blocks_.back();
        markUsable(block.data, block.size);
        if (block.large) {
            platform::FreeLargeBlock(block.data, block.size);
        } else {
            ::operator delete(block.data);
        }
        blocks_.pop_back();
    }
    if (keepBlocks == 0) {
        used_ = 0;
    }
}

size_t RuleArena::bytesHeld() const {
    size_t n = 0;
    for (const Block& block : blocks_) {
        n += block.size;
    }
    return n;
}

}  // namespace wq::rules

// The memory of one rule tree. Records and their texts are carved one after another out of a few
// large blocks and given back all at once when the arena goes, the way a parse tree lives and
// dies as a whole: there is no freeing of single records, a record that is unlinked simply stays
// until its tree is released. This keeps a tree of thousands of rules in a few contiguous
// blocks, with no per-record allocation and nothing to leak.
#pragma once

#include <cstddef>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// In sanitizer builds the arena tells AddressSanitizer which of its bytes are handed out, so that
// a read past the end of one record into the next free space is caught as it would be on the
// heap.
#if defined(__SANITIZE_ADDRESS__)
#define WQ_ARENA_POISONING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WQ_ARENA_POISONING 1
#endif
#endif
#ifdef WQ_ARENA_POISONING
#include <sanitizer/asan_interface.h>
#endif

namespace wq::rules {

class RuleArena {
  public:
    RuleArena() = default;
    RuleArena(const RuleArena&) = delete;
    RuleArena& operator=(const RuleArena&) = delete;
    RuleArena(RuleArena&& other) noexcept;
    RuleArena& operator=(RuleArena&& other) noexcept;
    ~RuleArena() { release(0); }

    // Makes the next block at least `bytes` large, so that a tree of about that size fits in one
    // block. A hint: nothing is allocated yet.
    void reserve(size_t bytes) { nextBlock_ = bytes > nextBlock_ ? bytes : nextBlock_; }

    // `size` bytes aligned to `align` (a power of two no larger than the alignment of
    // std::max_align_t). Throws std::bad_alloc when the system has no memory to give.
    void* allocate(size_t size, size_t align) {
        const size_t at = (used_ + align - 1) & ~(align - 1);
        if (!blocks_.empty() && at <= blocks_.back().size && size <= blocks_.back().size - at) {
            used_ = at + size;
            markUsable(blocks_.back().data + at, size);
            return blocks_.back().data + at;
        }
        return allocateInNewBlock(size);
    }

    // A new T in the arena. Records must not need a destructor: the arena runs none.
    template <typename T, typename... Args>
    T* make(Args&&... args) {
        static_assert(std::is_trivially_destructible_v<T>);
        return new (allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
    }

    // A NUL-terminated copy of `text`, as a view of the copy without the NUL.
    std::string_view copyText(std::string_view text);

    // A point to return to: rewind() gives back everything allocated after mark().
    struct Mark {
        size_t blocks = 0;
        size_t used = 0;
    };
    Mark mark() const { return {blocks_.size(), used_}; }
    void rewind(Mark mark);
    // Gives back everything.
    void clear() { release(0); }

    // Bytes held in blocks, for measurements.
    size_t bytesHeld() const;

  private:
    struct Block {
        std::byte* data;
        size_t size;
        bool large;  // from the system's large-block allocator
    };

    void* allocateInNewBlock(size_t size);

#ifdef WQ_ARENA_POISONING
    static void markUsable(void* p, size_t n) {
        ASAN_UNPOISON_MEMORY_REGION(p, n);
    }
    static void markUnusable(void* p, size_t n) {
        ASAN_POISON_MEMORY_REGION(p, n);
    }
#else
    static void markUsable(void*, size_t) {}
    static void markUnusable(void*, size_t) {}
#endif
    void release(size_t keepBlocks);

    std::vector<Block> blocks_;
    size_t used_ = 0;  // bytes used in the last block
    size_t nextBlock_ = 0;
};

}  // namespace wq::rules

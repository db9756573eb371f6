#include <sys/mman.h>

#include <cstdint>

#include "platform/memory.h"

namespace wq::platform {

void* AllocateLargeBlock(size_t size) {
    // Map one unit more than asked, then cut the mapping down to an aligned block so that the
    // kernel can back it with huge pages.
    const size_t mapped = size + kLargeBlockUnit;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargeBlockUnit - 1) & ~(uintptr_t{kLargeBlockUnit} - 1);
    const size_t head = aligned - start;
    if (head > 0) {
        munmap(raw, head);
    }
    const size_t tail = mapped - head - size;
    if (tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(block, size, MADV_HUGEPAGE);  // a hint: without huge pages the block still works
#endif
    return block;
}

void FreeLargeBlock(void* block, size_t size) {
    if (block) {
        munmap(block, size);
    }
}

}  // namespace wq::platform

#include <windows.h>

#include "platform/memory.h"

namespace wq::platform {

void* AllocateLargeBlock(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLargeBlock(void* block, size_t) {
    if (block) {
        VirtualFree(block, 0, MEM_RELEASE);
    }
}

}  // namespace wq::platform

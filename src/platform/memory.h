// Large blocks of memory straight from the system, for allocators that carve many small records
// out of a few blocks and release them all together.
//
// On Linux the blocks are aligned to 2 MiB and offered to the kernel as transparent huge pages:
// a tree of a few megabytes then costs a handful of page faults instead of a thousand. Windows
// commits the pages with VirtualAlloc.
#pragma once

#include <cstddef>

namespace wq::platform {

// The unit of large blocks: sizes passed below are multiples of it.
inline constexpr size_t kLargeBlockUnit = size_t{2} << 20;

// A zero-filled block of `size` bytes, or null when the system has no memory to give.
void* AllocateLargeBlock(size_t size);
// Gives back a block from AllocateLargeBlock with the size it was asked for.
void FreeLargeBlock(void* block, size_t size);

}  // namespace wq::platform

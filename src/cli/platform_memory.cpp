#include "cli/platform_memory.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumenpull {

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Blocks up to 1 GiB come from the heap rather than from a mapping of
    // their own, and up to 1 GiB of free heap stays with the process. A
    // library that refuses a value keeps its default: only speed differs.
    constexpr int kLargeBlock = 1 << 30;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock);
    mallopt(M_TRIM_THRESHOLD, kLargeBlock);
#endif
}

void returnLargeBlocksToTheSystem() {
#if defined(__GLIBC__)
    // Blocks from 4 MiB on get mappings of their own again, returned when
    // freed, and at most 8 MiB of free heap stays with each worker's heap.
    constexpr int kLargeBlock = 4 << 20;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock);
    mallopt(M_TRIM_THRESHOLD, 2 * kLargeBlock);
#endif
}

}  // namespace lumenpull

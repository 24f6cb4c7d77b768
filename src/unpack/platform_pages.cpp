#include "unpack/platform_pages.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lumenpull {

#if defined(__linux__) && defined(MADV_HUGEPAGE)

void adviseLargePages(std::span<uint8_t> bytes) {
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data());
    const std::uintptr_t end = begin + bytes.size();
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = end & ~(kLargePage - 1);
    if (first >= last) return;
    // A refusal (large pages switched off, an old kernel) leaves the block as it is.
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

#else

void adviseLargePages(std::span<uint8_t>) {}

#endif

}  // namespace lumenpull

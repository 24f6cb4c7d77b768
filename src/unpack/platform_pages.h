#pragma once

#include <cstdint>
#include <span>

namespace lumenpull {

// Asks the system to back `bytes`, a block not yet written, with large pages
// where it can (2 MiB instead of 4 KiB on x86-64 Linux): a block of tens of
// megabytes then faults in a few dozen times instead of thousands, and
// takes fewer address-translation misses when it is read. Only the whole
// large pages inside the block are asked for. Does nothing where the system
// has no such request, or refuses it: only speed differs.
void adviseLargePages(std::span<uint8_t> bytes);

}  // namespace lumenpull

#pragma once

#include <algorithm>
#include <cstddef>

#include "writers/repeat_bits.h"

namespace lumenpull {

// Splits a buffer of pixels into packets by the packet policy both run-length
// encoders follow (the TGA and Radiance formats accept any split into
// packets of their sizes; this one is the encoders' own), stated step by
// step for each row of the bits (see RepeatBits) on its own: from the row's
// first pixel, the pixels before the first run of at least MinRun equal
// pixels form a raw packet, and the run (up to MaxPacket pixels) a run
// packet; with no such run beginning within MaxPacket pixels, MaxPacket
// pixels (or what is left of the row) are raw; then the same from the pixel
// after the packet. So every block of MinRun or more equal pixels becomes
// run packets of MaxPacket pixels and a last one of the rest, unless fewer
// than MinRun are left over (they begin the next raw packet), and the pixels
// between blocks raw packets of at most MaxPacket; no packet holds pixels of
// two rows. (A run that would begin just at a raw packet's limit begins the
// next packet instead, which gives the same packets.) Calls sink.raw(first,
// count), with count 0 meaning no packet, and sink.run(first, count) in
// order, and returns the sink. (It works on its own copy: a sink that writes
// bytes through a pointer would otherwise have its members reloaded after
// every byte it stores, since such stores may alias anything.) SeveralRows
// is false for bits of one row, which then go without the row checks.
// Always inlined, as forEachBlock is: an encoder that takes both forms
// would otherwise call each.
template <std::size_t MaxPacket, std::size_t MinRun, bool SeveralRows = false, std::size_t Bytes, typename Sink>
[[gnu::always_inline]] inline Sink forEachPacket(const RepeatBits<Bytes>& bits, Sink sink) {
    static_assert(MinRun >= 2 && MinRun <= MaxPacket);
    std::size_t i = 0;  // the first pixel not yet in a packet
    // Blocks never cross a row end (the bits say so), but the raw pixels
    // before a block may begin in an earlier row: those rows are finished
    // first, their pixels from i on in raw packets.
    const std::size_t rowPixels = bits.rowPixels();
    std::size_t rowEnd = rowPixels;  // of the row that holds pixel i
    const auto finishRowsBefore = [&](std::size_t pixel) {
        while (pixel >= rowEnd) {
            while (rowEnd - i > MaxPacket) {
                sink.raw(i, MaxPacket);
                i += MaxPacket;
            }
            if (rowEnd != i) sink.raw(i, rowEnd - i);
            i = rowEnd;
            rowEnd += rowPixels;
        }
    };
    // A block within a word of 64 pixels, and the pixels between it and the
    // block before (with fewer than MinRun that run left over), each fit in
    // one packet: no limits to test, only the row end.
    static_assert(MaxPacket >= 64 + MinRun);
    const auto inWord = [&](std::size_t begin, std::size_t end) {
        if constexpr (SeveralRows) {
            if (begin >= rowEnd) [[unlikely]]
                finishRowsBefore(begin);
        }
        sink.raw(i, begin - i);
        sink.run(begin, end - begin);
        i = end;
    };
    // Blocks shorter than a run stay among the raw pixels: only the others are visited.
    bits.template forEachBlock<MinRun>(
        [&](std::size_t begin, std::size_t end) {
            // The usual case, short pixels and a short run in the same row (in
            // block-coded pictures nearly every block), without the loops below.
            if (begin - i <= MaxPacket && end - begin <= MaxPacket && (!SeveralRows || begin < rowEnd)) [[likely]] {
                sink.raw(i, begin - i);
                sink.run(begin, end - begin);
                i = end;
                return;
            }
            if constexpr (SeveralRows) finishRowsBefore(begin);
            while (begin - i > MaxPacket) {
                sink.raw(i, MaxPacket);
                i += MaxPacket;
            }
            sink.raw(i, begin - i);
            std::size_t r = begin;
            while (end - r > MaxPacket) {
                sink.run(r, MaxPacket);
                r += MaxPacket;
            }
            if (end - r >= MinRun) {
                sink.run(r, end - r);
                i = end;
            } else {
                i = r;
            }
        },
        inWord);
    // The rest of the last row with a block, and the rows after it.
    const std::size_t n = bits.size();
    if constexpr (SeveralRows) {
        if (n != 0) finishRowsBefore(n - 1);
    }
    while (i < n) {
        const std::size_t count = std::min(MaxPacket, n - i);
        sink.raw(i, count);
        i += count;
    }
    return sink;
}

}  // namespace lumenpull

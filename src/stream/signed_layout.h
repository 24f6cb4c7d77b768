#pragma once

#include <cstdint>

namespace lumenpull {

// Where the payload bytes of a signed container sit in the file: a header of
// `dataStart` bytes, a record of `signatureSize` bytes, then blocks of
// `blockSize` payload bytes, each followed by a record; the last block may be
// short. Every position and product is 64-bit, so containers beyond 4 GiB map
// exactly. A layout with `blockSize` 0 holds no payload.
struct SignedLayout {
    uint64_t dataStart = 0;
    uint32_t blockSize = 0;
    uint32_t signatureSize = 0;
    uint64_t fileSize = 0;

    uint64_t Stride() const { return uint64_t{blockSize} + signatureSize; }
    uint64_t PayloadStart() const { return dataStart + signatureSize; }

    // Payload bytes the file holds: every full stride counts as a block, and
    // trailing bytes beyond one record's worth count as a short last block.
    uint64_t PayloadSize() const;

    // Raw position of payload byte x: past the record before x when x starts
    // a block. RawOf(PayloadSize()) is where the payload ends (the start of
    // the final record when the last block is short).
    uint64_t RawOf(uint64_t x) const;

    // Payload position of a raw position, counting a position inside a
    // record as the start of the next block, capped at PayloadSize().
    uint64_t PayloadOf(uint64_t raw) const;

    // Raw start of record j: the header's own record for j 0, the record
    // after block j - 1 otherwise. No boundary lies beyond the end of the
    // payload: the record after a short last block, and every record number
    // past the last block, map to RawOf(PayloadSize()).
    uint64_t Boundary(uint64_t j) const;

    // True when Boundary(j) is the end of the payload rather than a record
    // with payload behind it.
    bool IsEndBoundary(uint64_t j) const;
};

}  // namespace lumenpull

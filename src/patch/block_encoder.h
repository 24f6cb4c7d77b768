#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "decode/eight_bit_rows.h"

namespace lumenpull {

// Sixteen texels of a 4x4 block in the byte order the band decoders of
// `kind` give (blue, green, red, alpha for BC3; blue, green, red for the
// others), texel k in row k / 4 and column k mod 4. Texels whose bit is
// clear in `mask` lie outside the picture and do not count.
struct BlockTarget {
    std::array<uint8_t, 64> texels{};
    uint32_t bytesPerTexel = 4;
    int mask = 0xFFFF;
};

// Encodes one block of a block-coded kind (Bc1: 8 bytes; Bc3, Bc3TwoChannel,
// Bc5: 16 bytes) so that this tool's decoder gives back what the encoder
// chose: the colour block of a BC3 block is always in four-colour form.
void encodeBlock(RowKind kind, const BlockTarget& target, std::span<uint8_t> block);

// Bytes of one stored block of a block-coded kind.
uint32_t blockBytesOf(RowKind kind);

// Rewrites an 8-byte colour block so that its first endpoint is above the
// second or, with equal endpoints, every index is 0: the four-colour palette
// it was made for, which the decoder otherwise reads as three colours.
void keepFourColours(std::span<uint8_t, 8> block);

}  // namespace lumenpull

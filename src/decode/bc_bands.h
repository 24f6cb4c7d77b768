#pragma once

#include <cstdint>
#include <span>

namespace lumenpull {

// Band routines of the block formats. A band is four pixel rows of width
// pixels each, row after row in the destination, which must hold all four
// rows. Block i covers band columns 4i to 4i + 3; the width mod 4 columns
// that no block covers are set to zero. Stored bytes missing at the end of
// the source read as zero.

// 8-byte BC1 blocks to blue, green, red (three-colour black stays black).
void decodeBc1Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
// 16-byte BC3 blocks (alpha block, then colour block) to blue, green, red,
// alpha. The colour block keeps the three-colour rule when c0 <= c1.
void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
// BC3 blocks written as 255, alpha, red.
void decodeBc3TwoChannelBand(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
// 16-byte BC5 blocks (first channel block, second channel block) written as
// 255, second channel, first channel.
void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
// The undecoded 8-bit block format: the band's width × 4 stored bytes are
// copied to the start of the band (width × 16 bytes); the rest is zero.
void copyBlock8Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);

// The routines above as the baseline instruction set computes them, where
// they may take faster instructions the processor has; for comparing the two.
namespace baseline {
void decodeBc1Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
void decodeBc3Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
void decodeBc5Band(std::span<const uint8_t> source, std::span<uint8_t> band, uint32_t width);
}  // namespace baseline

}  // namespace lumenpull

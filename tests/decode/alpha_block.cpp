#include "alpha_block.h"

#include <stdexcept>

namespace lumenpull {

void decodeAlphaBlock(std::span<const uint8_t, 8> block, std::span<uint8_t> destination, std::size_t offset,
                      std::size_t stride) {
    if (destination.size() <= offset + 15 * stride) {
        throw std::invalid_argument("destination buffer smaller than the decoded block");
    }
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint32_t values[8] = {a0, a1};
    if (a0 > a1) {
        for (uint32_t j = 1; j <= 6; ++j) values[1 + j] = ((7 - j) * a0 + j * a1) / 7;
    } else {
        for (uint32_t j = 1; j <= 4; ++j) values[1 + j] = ((5 - j) * a0 + j * a1) / 5;
        values[6] = 0;
        values[7] = 255;
    }

    uint64_t codes = 0;
    for (unsigned b = 0; b < 6; ++b) codes |= uint64_t{block[2 + b]} << (8 * b);
    for (unsigned k = 0; k < 16; ++k) {
        destination[offset + k * stride] = static_cast<uint8_t>(values[(codes >> (3 * k)) & 7]);
    }
}

}  // namespace lumenpull

#include "api/stored_levels.h"

#include <algorithm>

#include "bytes/little_endian.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr uint32_t kFourCcFlag = 0x4;
constexpr uint32_t kFloatRgba = 116;  // the legacy number of 32-bit float red, green, blue, alpha

std::string fourCcText(uint32_t code) {
    std::string text(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) text[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return text;
}

}  // namespace

StoredLevels splitDdsFile(const std::vector<uint8_t>& file) {
    if (file.size() < kHeaderBytes) throw Error("DDS writer: header missing");
    const uint8_t* header = file.data();
    const uint32_t height = loadLittleEndian32(header + 12);
    const uint32_t width = loadLittleEndian32(header + 16);
    const uint32_t levels = std::max(loadLittleEndian32(header + 28), 1u);
    const uint32_t pixelFlags = loadLittleEndian32(header + 80);
    const uint32_t fourCc = loadLittleEndian32(header + 84);
    const uint32_t bitCount = loadLittleEndian32(header + 88);

    StoredLevels stored;
    uint32_t blockBytes = 0;  // block-coded levels: bytes of one 4 x 4 block
    uint32_t pixelBytes = bitCount / 8;
    if (pixelFlags & kFourCcFlag) {
        if (fourCc == kFloatRgba) {
            stored.format = "RGBA32F";
            pixelBytes = 16;
        } else {
            stored.format = fourCcText(fourCc);
            blockBytes = stored.format == "DXT1" ? 8 : 16;
        }
    } else {
        stored.format = bitCount == 8 ? "L8" : bitCount == 24 ? "R8G8B8" : "A8R8G8B8";
    }

    std::size_t at = kHeaderBytes;
    for (uint32_t level = 0; level < levels; ++level) {
        StoredLevel& out = stored.levels.emplace_back();
        out.width = std::max(width >> level, 1u);
        out.height = std::max(height >> level, 1u);
        const uint64_t bytes = blockBytes != 0
                                   ? ((uint64_t{out.width} + 3) / 4) * ((uint64_t{out.height} + 3) / 4) * blockBytes
                                   : uint64_t{out.width} * out.height * pixelBytes;
        if (bytes > file.size() - at) throw Error("DDS writer: level missing");
        out.bytes.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                         file.begin() + static_cast<std::ptrdiff_t>(at + bytes));
        at += static_cast<std::size_t>(bytes);
    }
    return stored;
}

}  // namespace lumenpull

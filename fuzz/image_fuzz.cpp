// Any pixel data with any width, height, stored format code, format version,
// flags, image count and layout word goes through the code tables, the
// unpacking (inflation, plane decoding, largest-image extraction) and the
// TGA or Radiance writer, which write into a scratch directory. Besides
// memory errors it checks that unpacking never grows the data beyond what
// the dimensions allow and that no image file is larger than an
// uncompressed image of its dimensions (the writers fall back to plain
// pixels when packing does not pay).
//
// Input: a header of 11 to 15 bytes (see readHeader), then the stored pixel
// data.

#include <algorithm>
#include <filesystem>
#include <vector>

#include "fuzz_support.h"
#include "pixels/pixel_format.h"
#include "writers/radiance_writer.h"
#include "pixels/texture_image.h"
#include "writers/tga_writer.h"
#include "unpack/pixel_unpacking.h"
#include "lumenpull/error.h"

namespace lumenpull::fuzz {
namespace {

// The writers write only what the pixel data fills, so any dimensions go to
// them; inflated data beyond this size and larger image counts are only
// unpacked, so that one input stays fast.
constexpr size_t kMaxWrittenData = size_t{4} << 20;
constexpr int32_t kMaxWrittenImages = 8;

struct Header {
    int32_t width;
    int32_t height;
    uint32_t storedCode;
    uint32_t formatVersion;
    uint32_t flags;
    uint32_t imageCount;
    uint16_t layoutWord;
    bool noCompression;
};

// Image counts the driver can hand on: faces, frames (any stored 32-bit
// value, negative ones included) or 1.
uint32_t imageCountFrom(uint8_t code) {
    switch (code % 16) {
        case 9: return 0xFFFFFFFFu;
        case 10: return 0x80000000u;
        case 11: return 1000000;
        case 12: return 6;
        default: return code % 16 <= 8 ? code % 16 : 1;
    }
}

Header readHeader(InputReader& in) {
    Header h{};
    // Width and height: the writers use the low 16 bits, the unpacking the
    // whole stored 32-bit value; the high half is mostly 0.
    const uint16_t wideBits = in.u16();
    const uint16_t tallBits = in.u16();
    const uint8_t highSelect = in.u8();
    h.width = static_cast<int32_t>(wideBits | (highSelect & 1 ? uint32_t{in.u8()} << 24 | 0x10000u : 0));
    h.height = static_cast<int32_t>(tallBits | (highSelect & 2 ? uint32_t{in.u8()} << 24 | 0x10000u : 0));
    h.storedCode = in.u8();
    if (highSelect & 4) h.storedCode |= uint32_t{in.u8()} << 24;  // codes beyond the tables, negative ones
    h.formatVersion = highSelect & 8 ? 12 : 9;                    // current or legacy numbering
    h.flags = in.u32();
    h.imageCount = imageCountFrom(in.u8());
    const uint8_t layout = in.u8();
    h.layoutWord = layout % 3 == 0 ? 0 : layout % 3 == 1 ? 0x0100 : static_cast<uint16_t>(layout << 8 | layout);
    h.noCompression = (highSelect & 16) != 0;
    return h;
}

// Checks every file against the largest size an image of its dimensions may
// take, and all of them together against what the pixel data can fill: at
// most 9 output bytes per stored byte, plus per file its header and one
// partly filled band of 4 rows. (4-bit blocks give 24-bit pixels, 6 bytes a
// stored byte; but a band 3 pixels wide is measured as 4 stored bytes and
// decodes a whole 8-byte block into 36 bytes.)
void checkFileSizes(const std::filesystem::path& dir, uint64_t largestAllowed, uint64_t perFile, size_t dataLength,
                    const char* note) {
    uint64_t total = 0;
    uint64_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const uint64_t size = entry.file_size();
        FUZZ_CHECK(size <= largestAllowed, note);
        total += size;
        ++files;
    }
    FUZZ_CHECK(files <= std::max<size_t>(dataLength, 1), "no more files than bytes of data");
    FUZZ_CHECK(total <= 9 * uint64_t{dataLength} + files * perFile, "output bounded by the pixel data");
}

void run(std::span<const uint8_t> data) {
    InputReader in(data);
    const Header h = readHeader(in);
    const auto stored = normaliseStoredFormat(h.storedCode, h.formatVersion);
    if (!stored) return;  // the driver refuses the code

    UnpackParameters p;
    p.width = h.width;
    p.height = h.height;
    p.textureFlags = h.flags;
    p.pixelFormat = stored->canonical;
    p.bitsPerPixel = stored->bitsPerPixel;
    p.imageCount = h.imageCount;
    p.layoutWord = h.layoutWord;

    const auto rest = in.rest();
    const size_t storedLength = rest.size();
    BufferPool buffers;
    const UnpackedPixels unpacked = unpackedPixels(std::vector<uint8_t>(rest.begin(), rest.end()), p, buffers);
    const std::span<const uint8_t> pixels = unpacked.images();
    // Inflation is bounded by the capacity, plane decoding at most
    // quadruples, extraction only shrinks.
    const uint64_t bound = std::max<uint64_t>(inflationCapacity(p), storedLength) * 4 + 16;
    FUZZ_CHECK(pixels.size() <= bound, "unpacking stays within the capacity");

    const int32_t imageCount = static_cast<int32_t>(h.imageCount);
    const uint64_t width = static_cast<uint16_t>(h.width);
    const uint64_t height = static_cast<uint16_t>(h.height);
    if (imageCount > kMaxWrittenImages || pixels.size() > kMaxWrittenData) return;
    TextureImage texture;
    texture.width = h.width;
    texture.height = h.height;
    texture.textureFlags = h.flags;
    texture.pixelFormat = stored->canonical;
    texture.imageCount = imageCount;
    texture.pixelData = pixels;

    const auto& dir = scratch();
    dir.clear();
    const std::string name = dir.file("tex");
    try {
        if (stored->canonical == PixelFormat::Hdr32) {
            writeRadiance(name, texture, (h.layoutWord & 1) != 0, h.noCompression);
            // Header lines, then per row at most a scanline header and the flat pixels.
            checkFileSizes(dir.path(), 128 + height * 4 + width * height * 4, 128 + height * 4 + width * 16,
                           pixels.size(), "a Radiance file is no larger than its flat form");
        } else {
            writeTga(name, texture, stored->bitsPerPixel, h.noCompression);
            checkFileSizes(dir.path(), 18 + width * height * 4, 18 + width * 16 * 4, pixels.size(),
                           "a TGA file is no larger than its uncompressed form");
        }
    } catch (const lumenpull::Error&) {
        // A one-line error for the driver to print (format without TGA output).
    }
    dir.clear();
}

}  // namespace
}  // namespace lumenpull::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lumenpull::fuzz::run(std::span<const uint8_t>(data, size));
    return 0;
}

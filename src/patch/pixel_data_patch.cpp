#include "patch/pixel_data_patch.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "lumenpull/error.h"
#include "patch/block_encoder.h"
#include "patch/mip_halving.h"
#include "patch/plane_encoding.h"
#include "pixels/texture_flags.h"
#include "unpack/buffer_pool.h"
#include "unpack/inflation.h"
#include "unpack/largest_images.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"
#include "unpack/planes.h"

namespace lumenpull {
namespace {

constexpr uint8_t kZlibMarker = 0x78;

std::string sizeText(uint32_t width, uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

// Where the zlib stream starts in stored bytes that inflated: after four
// bytes when byte 4 is the marker (the last byte for shorter data).
size_t zlibStart(std::span<const uint8_t> stored) {
    const size_t probe = stored.size() > 4 ? 4 : stored.size() - 1;
    return stored[probe] == kZlibMarker ? 4 : 0;
}

// The bytes compressed again, at zlib's fastest level: on pixel data it is
// six times as fast as the best one for a quarter more bytes, and a whole
// game's edited textures are to go back in a minute. Data whose stream
// starts at byte 0 must not get the marker at byte 4, or the reader would
// look for the stream there: another level gives other bytes.
std::vector<uint8_t> compressed(std::span<const uint8_t> raw, size_t start) {
    uLongf bound = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(bound);
    for (int level = Z_BEST_SPEED; level <= Z_BEST_COMPRESSION; ++level) {
        uLongf length = bound;
        if (compress2(out.data(), &length, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK) {
            throw Error("zlib could not compress the pixel data");
        }
        if (start == 0 && length > 4 && out[4] == kZlibMarker) continue;
        out.resize(length);
        return out;
    }
    throw Error("zlib gives no stream the reader would find at the start of the pixel data");
}

std::string ddsFormatOf(const StoredForm& form) {
    if (form.highDynamicRange) return "RGBA32F";
    switch (form.kind) {
        case RowKind::Bc1: return "DXT1";
        case RowKind::Bc3:
        case RowKind::Bc3TwoChannel: return "DXT5";
        case RowKind::Bc5: return "ATI2";
        default: break;
    }
    return form.depth == 8 ? "L8" : form.depth == 24 ? "R8G8B8" : "A8R8G8B8";
}

// A level of a DDS file of decoded rows as an image.
Image imageOfRows(const StoredForm& form, const StoredLevel& level) {
    Image image;
    image.shape = {level.width, level.height, form.layout()};
    const uint64_t pixels = uint64_t{level.width} * level.height;
    if (form.highDynamicRange) {
        if (level.bytes.size() != pixels * 16) throw Error("DDS level of the wrong size");
        const auto count = static_cast<size_t>(pixels);  // the level's bytes hold them: it fits
        image.floats.resize(count * 3);
        for (size_t i = 0; i < count; ++i) std::memcpy(&image.floats[3 * i], &level.bytes[16 * i], 12);
        return image;
    }
    const uint32_t channels = image.shape.channels();
    if (level.bytes.size() != pixels * channels) throw Error("DDS level of the wrong size");
    image.bytes = level.bytes;
    if (channels >= 3) {
        const auto count = static_cast<size_t>(pixels);
        for (size_t i = 0; i < count; ++i) std::swap(image.bytes[i * channels], image.bytes[i * channels + 2]);
    }
    return image;
}

void requireShape(const StoredForm& form, const Image& image, uint32_t width, uint32_t height) {
    if (image.shape.width != width || image.shape.height != height) {
        throw Error("Image size " + sizeText(image.shape.width, image.shape.height) + " does not match the texture's " +
                    sizeText(width, height));
    }
    if (image.shape.layout != form.layout()) {
        throw Error("Image has " + std::to_string(image.shape.channels()) + " channel(s), the texture " +
                    std::to_string(ImageShape{1, 1, form.layout()}.channels()));
    }
    const size_t values = static_cast<size_t>(image.shape.values());
    if ((form.highDynamicRange ? image.floats.size() : image.bytes.size()) != values) {
        throw Error("Image pixel buffer does not hold " + sizeText(width, height) + " pixels");
    }
}

// Puts one replacement into the block of its face or frame: the largest
// image at `image`, then `chainLevels` - 1 smaller levels.
void placeReplacement(const StoredForm& form, uint32_t width, uint32_t height, uint32_t chainLevels,
                      const ReplacementImage& replacement, std::span<uint8_t> face) {
    const LevelGeometry largest = levelGeometry(form, width, height, 0);
    const std::span<uint8_t> image = face.first(static_cast<size_t>(largest.bytes));
    const std::vector<uint8_t> before(image.begin(), image.end());
    const StoredLevels* stored = replacement.stored ? &*replacement.stored : nullptr;
    Image picture;
    if (stored != nullptr) {
        if (stored->format != ddsFormatOf(form)) {
            throw Error("DDS format " + stored->format + " does not match the texture's " + ddsFormatOf(form));
        }
        if (stored->levels.empty()) throw Error("DDS file without levels");
        const StoredLevel& first = stored->levels.front();
        if (first.width != width || first.height != height) {
            throw Error("Image size " + sizeText(first.width, first.height) + " does not match the texture's " +
                        sizeText(width, height));
        }
        if (form.blocks) {
            // Whole bands of blocks, as they are; a partial band the stored image does not hold stays out.
            const size_t bands = size_t{largest.bands} * largest.blocksPerBand * blockBytesOf(form.kind);
            if (first.bytes.size() < bands) throw Error("DDS level of the wrong size");
            std::memcpy(image.data(), first.bytes.data(), bands);
            picture = decodeLevel(form, largest, image);
        } else {
            picture = imageOfRows(form, first);
        }
    } else {
        picture = replacement.pixels;
    }
    requireShape(form, picture, width, height);
    if (!(stored != nullptr && form.blocks)) encodeLevel(form, largest, picture, image);

    // The chain follows an unchanged largest image only when the stored levels say otherwise.
    const bool storedChain = stored != nullptr && stored->levels.size() >= chainLevels;
    if (chainLevels <= 1 || (!storedChain && std::equal(before.begin(), before.end(), image.begin()))) return;
    uint64_t at = largest.bytes;
    for (uint32_t l = 1; l < chainLevels; ++l) {
        const LevelGeometry level = levelGeometry(form, width, height, l);
        const std::span<uint8_t> bytes = face.subspan(static_cast<size_t>(at), static_cast<size_t>(level.bytes));
        at += level.bytes;
        if (storedChain && form.blocks) {
            const StoredLevel& given = stored->levels[l];
            if (given.bytes.size() != level.bytes) throw Error("DDS level of the wrong size");
            std::memcpy(bytes.data(), given.bytes.data(), bytes.size());
            picture = decodeLevel(form, level, bytes);
            continue;
        }
        picture = storedChain ? imageOfRows(form, stored->levels[l]) : halved(picture);
        requireShape(form, picture, level.width, level.height);
        encodeLevel(form, level, picture, bytes);
    }
}

}  // namespace

std::vector<uint8_t> patchedPixelData(std::span<const uint8_t> stored, const UnpackParameters& p,
                                      const StoredForm& form, std::span<const ReplacementImage> images) {
    BufferPool buffers;
    // Step one: the zlib stream, inflated.
    const std::optional<InflatedData> inflated = inflatedPixelData(stored, p, buffers);
    std::vector<uint8_t> packed = inflated ? std::vector<uint8_t>(inflated->bytes.begin(), inflated->bytes.end())
                                           : std::vector<uint8_t>(stored.begin(), stored.end());
    // Step two: the planes, decoded.
    const bool planes = (p.textureFlags & PlaneCoded) != 0 && !packed.empty();
    std::optional<PlaneLayout> planeLayout;
    std::vector<uint8_t> data;
    if (planes) {
        planeLayout = planeLayoutFor(p.pixelFormat, packed.size());
        data.resize(planeLayout->decodedSize);
        decodePlaneElements(packed, *planeLayout, data);
    } else {
        data = packed;
    }

    // Step three: where the largest images lie.
    const uint32_t width = static_cast<uint16_t>(p.width);
    const uint32_t height = static_cast<uint16_t>(p.height);
    const LevelGeometry largest = levelGeometry(form, width, height, 0);
    if (largestImageSize(p) != largest.bytes) throw Error("Texture size " + sizeText(width, height) + " not supported");
    const std::optional<LargestImages> found = largestImagesIn(data.size(), p);
    const uint64_t stride = found ? found->stride : largest.bytes;
    const uint64_t offset = found ? found->offset : 0;
    const uint32_t chainLevels = found ? storedMipLevels(data.size(), p) : 1;
    for (const ReplacementImage& replacement : images) {
        const auto index = static_cast<uint64_t>(replacement.index);
        const uint64_t start = offset + index * stride;
        const uint64_t faceBytes = chainLevels > 1 ? stride : largest.bytes;
        if (replacement.index < 0 || index >= p.imageCount || largest.bytes == 0 || start + faceBytes > data.size()) {
            throw Error("Texture has no image " + std::to_string(replacement.index));
        }
        placeReplacement(form, width, height, chainLevels, replacement,
                         std::span<uint8_t>(data).subspan(static_cast<size_t>(start), static_cast<size_t>(faceBytes)));
    }

    // Packed again as it was. Data that did not change keeps its stored
    // bytes, whatever zlib would make of it now.
    if (planes) {
        encodePlaneElements(data, *planeLayout, packed);
    } else {
        packed = std::move(data);
    }
    std::vector<uint8_t> result;
    if (inflated && std::equal(packed.begin(), packed.end(), inflated->bytes.begin(), inflated->bytes.end())) {
        result.assign(stored.begin(), stored.end());
    } else if (inflated) {
        const size_t start = zlibStart(stored);
        result.assign(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(start));
        const std::vector<uint8_t> stream = compressed(packed, start);
        result.insert(result.end(), stream.begin(), stream.end());
    } else {
        result = std::move(packed);
    }

    // The reader must find the data as it was packed, or the file would read differently.
    const UnpackFindings before = unpackedPixels(stored, p, buffers).findings();
    const UnpackFindings after = unpackedPixels(std::span<const uint8_t>(result), p, buffers).findings();
    if (before.inflated != after.inflated || before.planes != after.planes || before.mips != after.mips) {
        throw Error("The new pixel data would not read back in the form the texture has");
    }
    return result;
}

}  // namespace lumenpull

// Writes images with the real TGA and Radiance writers for the reader
// interop test (check_image_readers.py), together with the pixels each file
// must decode to, in the order the readers hand them back.
//
//   image_interop_fixtures images <dir>
//       Writes the fixture images and <dir>/manifest.txt, one line per image:
//       reader image expected width height channels form
//       (reader: tga for a TGA file that Pillow, OpenCV and ImageMagick read,
//       opencv for a Radiance file, png for a PNG file that both Pillow and
//       OpenCV read; expected: raw uint8 pixels in
//       R, G, B[, A] or grey order, or float32 R, G, B for Radiance files;
//       form: the TGA image type, rle / flat for Radiance files, - for PNG).
//       Every 8-bit picture is written as a PNG file too, which must hold the
//       same pixels as its TGA file.
//   image_interop_fixtures dds <dir>
//       Writes DDS files, each beside the uncompressed TGA (or, for high
//       dynamic range, Radiance) file of the same texture, and
//       <dir>/dds_manifest.txt, one line per file:
//       kind name width height faces levels
//       (kind: bc1, bc3, bc3two, bc5, rgb, rgba, grey, float).
//   image_interop_fixtures exr <dir>
//       Writes OpenEXR files beside the Radiance files of the same textures,
//       with the decoded floats, and <dir>/exr_manifest.txt: name width height.
//   image_interop_fixtures blocks <format> <flags> <width> <height> <blocks> <name>
//       Writes <name>.tga uncompressed from the stored block data in the file
//       <blocks>, for comparison with another block decoder.

#include "../texture_fixture.h"
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "decode/bc_bands.h"
#include "writers/dds_writer.h"
#include "writers/exr_writer.h"
#include "decode/hdr_row.h"
#include "pixels/mip_levels.h"
#include "pixels/pixel_format.h"
#include "writers/png_writer.h"
#include "pixels/texture_flags.h"
#include "writers/radiance_writer.h"
#include "pixels/texture_image.h"
#include "writers/tga_writer.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

void writeBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::string("cannot write ") + path;
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::string("cannot read ") + path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using test::textureImage;

// Pixel identities row by row, each row of a different make: equal pixels
// (runs longer than a packet), all different, pairs, triples, few values at
// random, and a long run followed by noise. Equal identities become equal
// stored pixels.
std::vector<uint32_t> pixelIds(uint32_t width, uint32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint32_t> ids;
    uint32_t fresh = 1000;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            switch (y % 6) {
                case 0: ids.push_back(y); break;
                case 1: ids.push_back(fresh++); break;
                case 2: ids.push_back(100 + y * 1000 + x / 2); break;
                case 3: ids.push_back(100 + y * 1000 + x / 3); break;
                case 4: ids.push_back(static_cast<uint32_t>(random() % 3)); break;
                default: ids.push_back(x < 200 ? 7 : fresh++); break;
            }
        }
    }
    return ids;
}

// Stored pixels of bytesPerPixel bytes for the identities.
Bytes storedPixels(const std::vector<uint32_t>& ids, std::size_t bytesPerPixel, uint32_t seed) {
    Bytes stored;
    for (uint32_t id : ids) {
        std::mt19937 random(id * 7919u + seed);
        for (std::size_t b = 0; b < bytesPerPixel; ++b) stored.push_back(static_cast<uint8_t>(random()));
    }
    return stored;
}

class FixtureSet {
public:
    explicit FixtureSet(std::string dir) : dir_(std::move(dir)), manifest_(dir_ + "/manifest.txt") {}

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    void add(const std::string& reader, const std::string& image, std::span<const uint8_t> expected, uint32_t width,
             uint32_t height, int channels, const std::string& form) {
        const std::string expectedName = image + ".expected";
        writeBytes(path(expectedName), expected);
        manifest_ << reader << ' ' << image << ' ' << expectedName << ' ' << width << ' ' << height << ' ' << channels
                  << ' ' << form << '\n';
    }

private:
    std::string dir_;
    std::ofstream manifest_;
};

// Expected reader pixels of an uncompressed TGA source: R, G, B[, A] or grey.
enum class Expect { Grey, Rgb, RgbTwoChannel, Rgba };

Bytes expectedFromStored(const Bytes& stored, std::size_t pixels, std::size_t bytesPerPixel, Expect expect) {
    Bytes out;
    for (std::size_t i = 0; i < pixels; ++i) {
        uint8_t s[4] = {0, 0, 0, 0};
        for (std::size_t b = 0; b < bytesPerPixel; ++b) {
            const std::size_t at = i * bytesPerPixel + b;
            s[b] = at < stored.size() ? stored[at] : 0;
        }
        switch (expect) {
            case Expect::Grey: out.push_back(s[0]); break;
            case Expect::Rgb: out.insert(out.end(), {s[2], s[1], s[0]}); break;
            case Expect::RgbTwoChannel: out.insert(out.end(), {s[2], s[1], 255}); break;
            case Expect::Rgba: out.insert(out.end(), {s[2], s[1], s[0], s[3]}); break;
        }
    }
    return out;
}

void addPlainTga(FixtureSet& set, const std::string& name, int32_t format, uint8_t sourceBits, uint32_t flags,
                 Expect expect, bool noCompression, const char* form, uint32_t width = 300, uint32_t height = 12) {
    const std::size_t bytesPerPixel = sourceBits / 8;
    const Bytes stored = storedPixels(pixelIds(width, height, 3), bytesPerPixel, 11);
    const TextureImage texture = textureImage(format, width, height, stored, 1, flags);
    writeTga(set.path(name), texture, sourceBits, noCompression);
    writePng(set.path(name), texture, sourceBits);
    const int channels = expect == Expect::Grey ? 1 : expect == Expect::Rgba ? 4 : 3;
    const Bytes expected = expectedFromStored(stored, std::size_t{width} * height, bytesPerPixel, expect);
    set.add("tga", name + ".tga", expected, width, height, channels, form);
    set.add("png", name + ".png", expected, width, height, channels, "-");
}

// Block data of three kinds of band, in turn: one solid colour throughout
// (packed across the band it would be runs from each pixel row into the
// next), groups of solid blocks between random ones, and random blocks only.
Bytes blockData(uint32_t width, uint32_t height, std::size_t blockBytes, uint32_t seed) {
    std::mt19937 random(seed);
    const auto randomBlock = [&] {
        Bytes block(blockBytes);
        for (auto& b : block) b = static_cast<uint8_t>(random());
        return block;
    };
    // Indices or codes all zero: every texel takes the first endpoint.
    const auto solidBlock = [&] {
        Bytes block = randomBlock();
        for (std::size_t half = 0; half < blockBytes; half += 8) {
            const std::size_t firstIndexByte = blockBytes == 8 ? 4 : 2;
            std::memset(&block[half + firstIndexByte], 0, 8 - firstIndexByte);
        }
        return block;
    };
    Bytes data;
    const uint32_t blocksPerBand = width / 4;
    for (uint32_t band = 0; band < height / 4; ++band) {
        Bytes solid = solidBlock();
        for (uint32_t i = 0; i < blocksPerBand; ++i) {
            Bytes block;
            switch (band % 3) {
                case 0: block = solid; break;
                case 1:
                    if (i % 23 == 0) solid = solidBlock();
                    block = i % 23 < 17 ? solid : randomBlock();
                    break;
                default: block = randomBlock(); break;
            }
            data.insert(data.end(), block.begin(), block.end());
        }
    }
    return data;
}

using BandDecoder = void (*)(std::span<const uint8_t>, std::span<uint8_t>, uint32_t);

// Expected reader pixels of a block image: the decoded bands in R, G, B[, A]
// order; pixels no block covers are zero.
Bytes expectedFromBands(const Bytes& data, uint32_t width, uint32_t height, std::size_t bandSourceBytes,
                        BandDecoder decode, int channels) {
    Bytes image(std::size_t{width} * height * channels, 0);
    Bytes band(std::size_t{width} * 4 * channels);
    for (uint32_t b = 0; b < height / 4; ++b) {
        const std::size_t offset = b * bandSourceBytes;
        decode(std::span<const uint8_t>(data).subspan(std::min(offset, data.size())), band, width);
        for (uint32_t y = 0; y < 4; ++y) {
            for (uint32_t x = 0; x < width / 4 * 4; ++x) {
                const uint8_t* in = &band[(std::size_t{y} * width + x) * channels];
                uint8_t* out = &image[((std::size_t{b} * 4 + y) * width + x) * channels];
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (channels == 4) out[3] = in[3];
            }
        }
    }
    return image;
}

void addBlockTga(FixtureSet& set, const std::string& name, int32_t format, uint32_t flags, BandDecoder decode,
                 std::size_t blockBytes, int channels, bool noCompression, const char* form, uint32_t width = 260,
                 uint32_t height = 12) {
    const Bytes data = blockData(width, height, blockBytes, 5);
    const uint8_t sourceBits = blockBytes == 8 ? 4 : 8;
    const TextureImage texture = textureImage(format, width, height, data, 1, flags);
    writeTga(set.path(name), texture, sourceBits, noCompression);
    writePng(set.path(name), texture, sourceBits);
    const std::size_t bandSourceBytes = std::size_t{width} * sourceBits / 8 * 4;
    const Bytes expected = expectedFromBands(data, width, height, bandSourceBytes, decode, channels);
    set.add("tga", name + ".tga", expected, width, height, channels, form);
    set.add("png", name + ".png", expected, width, height, channels, "-");
}

// The 8-bit block format is not decoded: its bytes land in the band as 32-bit pixels.
void addBlock8Tga(FixtureSet& set) {
    const uint32_t width = 260;
    const uint32_t height = 8;
    const Bytes data = blockData(width, height, 16, 8);
    writeTga(set.path("block8_rle"), textureImage(11, width, height, data), 8, false);
    Bytes expected(std::size_t{width} * height * 4, 0);
    for (uint32_t b = 0; b < height / 4; ++b) {
        const std::size_t rowStart = std::size_t{b} * width * 16;  // output bytes of a band
        for (std::size_t i = 0; i < width * 4u; i += 4) {
            const uint8_t* s = &data[b * width * 4 + i];
            uint8_t* out = &expected[rowStart + i];
            out[0] = s[2];
            out[1] = s[1];
            out[2] = s[0];
            out[3] = s[3];
        }
    }
    set.add("tga", "block8_rle.tga", expected, width, height, 4, "10");
}

Bytes floatBytes(const std::vector<float>& values) {
    Bytes bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

void addRadiance(FixtureSet& set, const std::string& name, uint32_t width, uint32_t height, const Bytes& stored,
                 bool sharedExponent, bool noCompression, const char* form) {
    writeRadiance(set.path(name), textureImage(12, width, height, stored), sharedExponent, noCompression);
    std::vector<float> expected;
    std::vector<LinearRgb> row(width);
    const HdrRowDecoder decoder(sharedExponent);
    for (uint32_t y = 0; y < height; ++y) {
        const std::size_t offset = std::size_t{y} * width * 4;
        decoder.decodeRow(std::span<const uint8_t>(stored).subspan(std::min(offset, stored.size())), row, width);
        for (const LinearRgb& p : row) {
            expected.insert(expected.end(),
                            {static_cast<float>(p.red), static_cast<float>(p.green), static_cast<float>(p.blue)});
        }
    }
    set.add("opencv", name + ".hdr", floatBytes(expected), width, height, 3, form);
}

// Stored high-dynamic-range pixels over the whole exponent range, with the
// same row makes as the TGA fixtures so that scanlines hold runs.
Bytes hdrPixels(uint32_t width, uint32_t height, bool sharedExponent, uint32_t seed) {
    Bytes stored = storedPixels(pixelIds(width, height, seed), 4, seed);
    if (!sharedExponent) {
        // Keep exponent bytes where the values stay in a sensible range for a float reader.
        for (std::size_t i = 3; i < stored.size(); i += 4) stored[i] = static_cast<uint8_t>(64 + stored[i] % 160);
    }
    return stored;
}

void writeImageFixtures(const std::string& dir) {
    FixtureSet set(dir);
    // Greyscale, 24-bit and 32-bit TGA files, run-length packed and plain.
    addPlainTga(set, "grey_rle", 7, 32, 0, Expect::Grey, false, "11");
    addPlainTga(set, "grey_flat", 7, 32, 0, Expect::Grey, true, "3");
    addPlainTga(set, "grey_legacy24_rle", 7, 24, 0, Expect::Grey, false, "11");
    addPlainTga(set, "rgb_rle", 2, 32, 0, Expect::Rgb, false, "10");
    addPlainTga(set, "rgb_flat", 4, 32, 0, Expect::Rgb, true, "2");
    addPlainTga(set, "rgb_two_channel_rle", 2, 32, TwoChannel, Expect::RgbTwoChannel, false, "10");
    addPlainTga(set, "rgb_legacy24_rle", 2, 24, 0, Expect::Rgb, false, "10");
    addPlainTga(set, "rgb_legacy24_two_channel_rle", 2, 24, TwoChannel, Expect::RgbTwoChannel, false, "10");
    addPlainTga(set, "rgba_rle", 3, 32, 0, Expect::Rgba, false, "10");
    addPlainTga(set, "rgba_flat", 8, 32, 0, Expect::Rgba, true, "2");

    // Noise packs larger than plain: the writer falls back to a plain file.
    {
        Bytes stored;
        std::mt19937 random(4);
        for (int i = 0; i < 64 * 16 * 4; ++i) stored.push_back(static_cast<uint8_t>(random()));
        writeTga(set.path("rgba_fallback"), textureImage(5, 64, 16, stored), 32, false);
        set.add("tga", "rgba_fallback.tga", expectedFromStored(stored, 64 * 16, 4, Expect::Rgba), 64, 16, 4, "2");
    }
    // Several images of one texture, each from its own part of the data.
    {
        const Bytes stored = storedPixels(pixelIds(130, 6 * 3, 2), 4, 2);
        writeTga(set.path("frames"), textureImage(6, 130, 6, stored, 3), 32, false);
        writePng(set.path("frames"), textureImage(6, 130, 6, stored, 3), 32);
        for (int i = 0; i < 3; ++i) {
            const Bytes image(stored.begin() + i * 130 * 6 * 4, stored.begin() + (i + 1) * 130 * 6 * 4);
            char name[32];
            std::snprintf(name, sizeof name, "frames_%02d", i);
            const Bytes expected = expectedFromStored(image, 130 * 6, 4, Expect::Rgba);
            set.add("tga", std::string(name) + ".tga", expected, 130, 6, 4, "10");
            set.add("png", std::string(name) + ".png", expected, 130, 6, 4, "-");
        }
    }
    // Six faces of a cube, 24-bit from two-channel data.
    {
        const Bytes stored = storedPixels(pixelIds(7, 6 * 5, 9), 4, 9);
        writePng(set.path("faces"), textureImage(2, 7, 5, stored, 6, TwoChannel), 32);
        for (int i = 0; i < 6; ++i) {
            const Bytes image(stored.begin() + i * 7 * 5 * 4, stored.begin() + (i + 1) * 7 * 5 * 4);
            char name[32];
            std::snprintf(name, sizeof name, "faces_%02d.png", i);
            set.add("png", name, expectedFromStored(image, 7 * 5, 4, Expect::RgbTwoChannel), 7, 5, 3, "-");
        }
    }
    // Pixel data that ends early: the missing pixels are zero.
    {
        const Bytes stored = storedPixels(pixelIds(40, 3, 6), 4, 6);
        const Bytes cut(stored.begin(), stored.begin() + 40 * 4 + 37);
        writeTga(set.path("short_data"), textureImage(2, 40, 4, cut), 32, false);
        writePng(set.path("short_data"), textureImage(2, 40, 4, cut), 32);
        // Rows 2 and 3 start past the end of the data and are left out; the
        // rest of row 1 reads as zeros.
        const Bytes expected = expectedFromStored(cut, 40 * 2, 4, Expect::Rgb);
        set.add("tga", "short_data.tga", expected, 40, 2, 3, "10");
        set.add("png", "short_data.png", expected, 40, 2, 3, "-");
    }

    // Block formats, decoded a band of four rows at a time: the packets end
    // with every pixel row all the same.
    addBlockTga(set, "bc1_rle", 9, 0, decodeBc1Band, 8, 3, false, "10");
    addBlockTga(set, "bc3_rle", 10, 0, decodeBc3Band, 16, 4, false, "10");
    addBlockTga(set, "bc3_two_channel_rle", 10, TwoChannel, decodeBc3TwoChannelBand, 16, 3, false, "10");
    addBlockTga(set, "bc5_rle", 15, 0, decodeBc5Band, 16, 3, false, "10");
    addBlock8Tga(set);
    // Narrow bands: a whole band is shorter than a packet.
    addBlockTga(set, "bc1_narrow_rle", 9, 0, decodeBc1Band, 8, 3, false, "10", 16, 24);
    addBlockTga(set, "bc5_narrow_rle", 15, 0, decodeBc5Band, 16, 3, false, "10", 8, 12);
    // Sizes that are not a multiple of 4: zeros where no block reaches.
    addBlockTga(set, "bc1_odd_flat", 9, 0, decodeBc1Band, 8, 3, true, "2", 10, 7);
    addBlockTga(set, "bc3_odd_rle", 10, 0, decodeBc3Band, 16, 4, false, "10", 14, 6);
    addBlockTga(set, "bc1_6x5_flat", 9, 0, decodeBc1Band, 8, 3, true, "2", 6, 5);
    // Odd and extreme sizes.
    addPlainTga(set, "rgba_1x1", 3, 32, 0, Expect::Rgba, true, "2", 1, 1);
    addPlainTga(set, "grey_3x5", 7, 32, 0, Expect::Grey, true, "3", 3, 5);
    addPlainTga(set, "rgb_3x5", 2, 32, 0, Expect::Rgb, true, "2", 3, 5);
    addPlainTga(set, "rgb_4096x1", 2, 32, 0, Expect::Rgb, false, "10", 4096, 1);

    // Radiance files, both source encodings, run-length and flat.
    addRadiance(set, "hdr_bytes_rle", 300, 12, hdrPixels(300, 12, false, 21), false, false, "rle");
    addRadiance(set, "hdr_bytes_flat", 300, 12, hdrPixels(300, 12, false, 21), false, true, "flat");
    addRadiance(set, "hdr_shared_rle", 300, 12, hdrPixels(300, 12, true, 22), true, false, "rle");
    addRadiance(set, "hdr_shared_flat", 300, 12, hdrPixels(300, 12, true, 22), true, true, "flat");
    // Widths a run-length scanline cannot describe are written flat.
    {
        Bytes uniform;
        for (int i = 0; i < 5 * 4; ++i) uniform.insert(uniform.end(), {10, 20, 30, 140});
        addRadiance(set, "hdr_width5", 5, 4, uniform, false, false, "flat");
    }
    addRadiance(set, "hdr_wide", 32768, 2, hdrPixels(32768, 2, true, 23), true, false, "flat");
    addRadiance(set, "hdr_widest_rle", 32767, 2, hdrPixels(32767, 2, true, 23), true, false, "rle");
    // Noise whose run-length rows come out larger: written again flat.
    {
        Bytes noise;
        std::mt19937 random(24);
        for (int i = 0; i < 16 * 8 * 4; ++i) noise.push_back(static_cast<uint8_t>(random()));
        addRadiance(set, "hdr_noise", 16, 8, noise, true, false, "flat");
    }
    // Flat rows that begin with a pixel encoding as 2, 2, 127, e, the start
    // of a scanline header to a reader of this width.
    {
        Bytes stored = hdrPixels(16, 4, true, 25);
        const uint32_t word = 5u | 5u << 9 | 257u << 18 | 16u << 27;  // 5/256, 5/256, 257/256
        for (std::size_t row = 0; row < 4; ++row) {
            for (std::size_t b = 0; b < 4; ++b) stored[row * 16 * 4 + b] = static_cast<uint8_t>(word >> (8 * b));
        }
        addRadiance(set, "hdr_flat_rows_like_scanlines", 16, 4, stored, true, true, "flat");
    }
}

// Random 4 x 4 blocks; every eighth has equal colour endpoints (and, with
// alpha, equal alpha endpoints), so the rarer decoding rules occur.
Bytes randomBlocks(std::size_t count, std::size_t blockBytes, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes data(count * blockBytes);
    for (auto& b : data) b = static_cast<uint8_t>(random());
    for (std::size_t i = 0; i < count; i += 8) {
        uint8_t* colour = &data[i * blockBytes + blockBytes - 8];
        colour[2] = colour[0];
        colour[3] = colour[1];
        if (blockBytes == 16) data[i * blockBytes + 1] = data[i * blockBytes];
    }
    return data;
}

class DdsFixtures {
public:
    explicit DdsFixtures(std::string dir) : dir_(std::move(dir)), manifest_(dir_ + "/dds_manifest.txt") {}

    // One texture as a DDS file and as the file the default run writes
    // (uncompressed, the largest image of the first face or frame).
    void add(const std::string& kind, const std::string& name, int32_t format, uint8_t bits, uint32_t flags,
             uint32_t width, uint32_t height, const Bytes& data, int32_t count = 1, uint32_t levels = 1) {
        const TextureImage t = textureImage(format, int32_t(width), int32_t(height), data, count, flags);
        writeDds(dir_ + "/" + name, t, bits, false, levels);
        // The largest image of every face, for the files the default run writes.
        const bool cube = (flags & 2) != 0;
        const uint32_t faces = cube ? uint32_t(count) : 1;
        uint64_t faceBytes = 0;
        for (uint32_t level = 0; level < levels; ++level) faceBytes += storedLevelBytes(width, height, bits, level);
        const uint64_t imageBytes = storedLevelBytes(width, height, bits, 0);
        Bytes largest;
        for (uint32_t face = 0; face < faces; ++face) {
            const auto start = data.begin() + std::ptrdiff_t(std::min<uint64_t>(face * faceBytes, data.size()));
            largest.insert(largest.end(), start,
                           start + std::ptrdiff_t(std::min<uint64_t>(imageBytes, data.end() - start)));
        }
        const TextureImage first =
            textureImage(format, int32_t(width), int32_t(height), largest, int32_t(faces), flags);
        if (format == 12) {
            writeRadiance(dir_ + "/" + name, first, false, true);
        } else {
            writeTga(dir_ + "/" + name, first, bits, true);
        }
        manifest_ << kind << ' ' << name << ' ' << width << ' ' << height << ' ' << (cube ? count : 1) << ' ' << levels
                  << '\n';
    }

private:
    std::string dir_;
    std::ofstream manifest_;
};

void writeDdsFixtures(const std::string& dir) {
    DdsFixtures set(dir);
    const auto blocks = [](uint32_t width, uint32_t height, std::size_t blockBytes, uint32_t seed) {
        return randomBlocks(std::size_t{(width + 3) / 4} * ((height + 3) / 4), blockBytes, seed);
    };
    // Block formats, whole blocks.
    set.add("bc1", "bc1", 9, 4, 0, 128, 64, blocks(128, 64, 8, 1));
    set.add("bc3", "bc3", 10, 8, 0, 128, 64, blocks(128, 64, 16, 2));
    set.add("bc3two", "bc3_two_channel", 10, 8, TwoChannel, 128, 64, blocks(128, 64, 16, 3));
    set.add("bc5", "bc5", 15, 8, 0, 128, 64, blocks(128, 64, 16, 4));
    // Odd sizes and one-pixel-wide bands: blocks counted rounded up, the uncovered ones zero.
    set.add("bc1", "bc1_10x7", 9, 4, 0, 10, 7, blocks(10, 7, 8, 5));
    set.add("bc3", "bc3_3x5", 10, 8, 0, 3, 5, blocks(3, 5, 16, 6));
    set.add("bc1", "bc1_1x8", 9, 4, 0, 1, 8, blocks(1, 8, 8, 7));
    set.add("bc5", "bc5_1x1", 15, 8, 0, 1, 1, blocks(1, 1, 16, 8));
    set.add("bc3", "bc3_6x13", 10, 8, 0, 6, 13, blocks(6, 13, 16, 9));
    // Pixel data that ends early: the image ends with the last band begun.
    {
        Bytes cut = blocks(16, 16, 8, 10);
        cut.resize(cut.size() / 2 + 3);
        set.add("bc1", "bc1_short", 9, 4, 0, 16, 16, cut);
    }
    // Uncompressed: the TGA's pixels.
    set.add("rgb", "rgb_3x5", 2, 32, 0, 3, 5, storedPixels(pixelIds(3, 5, 1), 4, 1));
    set.add("rgb", "rgb_legacy24", 4, 24, 0, 7, 3, storedPixels(pixelIds(7, 3, 2), 3, 2));
    set.add("rgb", "rgb_two_channel", 2, 32, TwoChannel, 9, 4, storedPixels(pixelIds(9, 4, 3), 4, 3));
    set.add("rgba", "rgba_1x1", 3, 32, 0, 1, 1, storedPixels(pixelIds(1, 1, 4), 4, 4));
    set.add("rgba", "rgba_300x12", 5, 32, 0, 300, 12, storedPixels(pixelIds(300, 12, 5), 4, 5));
    set.add("grey", "grey_13x7", 7, 32, 0, 13, 7, storedPixels(pixelIds(13, 7, 6), 4, 6));
    set.add("float", "float_5x3", 12, 32, 0, 5, 3, hdrPixels(5, 3, false, 7));
    // A cube map of six different faces, and full chains.
    set.add("bc1", "bc1_cube", 9, 4, 2, 16, 16, blocks(16, 16 * 6, 8, 11), 6);
    {
        // BC3 16 x 16: levels of 256, 64, 16, 16 and 16 bytes.
        set.add("bc3", "bc3_chain", 10, 8, 0, 16, 16, randomBlocks(16 + 4 + 1 + 1 + 1, 16, 12), 1, 5);
        // RGBA 4 x 4: 64, 16 and 4 bytes, as a cube.
        set.add("rgba", "rgba_cube_chain", 3, 32, 2, 4, 4, storedPixels(pixelIds(21, 6, 8), 4, 8), 6, 3);
        // A non-square chain: 8 x 2, 4 x 1, 2 x 1, 1 x 1.
        set.add("rgb", "rgb_chain_8x2", 2, 32, 0, 8, 2, storedPixels(pixelIds(16 + 4 + 2 + 1, 1, 9), 4, 9), 1, 4);
    }
}

void writeExrFixtures(const std::string& dir) {
    std::ofstream manifest(dir + "/exr_manifest.txt");
    struct Case {
        const char* name;
        uint32_t width, height;
        bool sharedExponent;
    };
    const Case cases[] = {{"bytes", 300, 12, false},
                          {"shared", 300, 12, true},
                          {"one", 1, 1, false},
                          {"odd", 3, 5, true},
                          {"narrow", 1, 40, false}};
    for (const Case& c : cases) {
        const Bytes stored = hdrPixels(c.width, c.height, c.sharedExponent, c.width + c.height);
        const TextureImage t = textureImage(12, int32_t(c.width), int32_t(c.height), stored);
        writeExr(dir + "/" + c.name, t, c.sharedExponent);
        writeRadiance(dir + "/" + c.name, t, c.sharedExponent, false);
        std::vector<float> expected;
        std::vector<LinearRgb> row(c.width);
        for (uint32_t y = 0; y < c.height; ++y) {
            HdrRowDecoder(c.sharedExponent)
                .decodeRow(std::span<const uint8_t>(stored).subspan(std::size_t{y} * c.width * 4), row, c.width);
            for (const LinearRgb& p : row) {
                expected.insert(expected.end(),
                                {static_cast<float>(p.red), static_cast<float>(p.green), static_cast<float>(p.blue)});
            }
        }
        writeBytes(dir + "/" + c.name + ".expected", floatBytes(expected));
        manifest << c.name << ' ' << c.width << ' ' << c.height << '\n';
    }
}

int run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "images" && argc == 3) {
        writeImageFixtures(argv[2]);
        return 0;
    }
    if (mode == "dds" && argc == 3) {
        writeDdsFixtures(argv[2]);
        return 0;
    }
    if (mode == "exr" && argc == 3) {
        writeExrFixtures(argv[2]);
        return 0;
    }
    if (mode == "blocks" && argc == 8) {
        const int32_t format = std::stoi(argv[2]);
        const uint32_t flags = static_cast<uint32_t>(std::stoul(argv[3]));
        const Bytes data = readBytes(argv[6]);
        const uint8_t sourceBits = format == static_cast<int32_t>(PixelFormat::Bc1) ? 4 : 8;
        writeTga(argv[7], textureImage(format, std::stoi(argv[4]), std::stoi(argv[5]), data, 1, flags), sourceBits,
                 true);
        return 0;
    }
    std::fprintf(stderr, "usage: %s images <dir> | blocks <format> <flags> <width> <height> <blocks> <name>\n",
                 argv[0]);
    return 2;
}

}  // namespace
}  // namespace lumenpull

int main(int argc, char** argv) {
    try {
        return lumenpull::run(argc, argv);
    } catch (const lumenpull::Error& caught) {
        const std::string error = caught.what();
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
}

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <numeric>
#include <random>

#include "pixels/texture_flags.h"
#include "support/pixel_data_writer.h"
#include "unpack/inflation.h"
#include "unpack/planes.h"
#include "unpack_steps.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace lumenpull::test;

UnpackParameters rgba(int32_t width, int32_t height, uint32_t images = 1) {
    UnpackParameters p;
    p.width = width;
    p.height = height;
    p.pixelFormat = PixelFormat::Rgba8;
    p.bitsPerPixel = 32;
    p.imageCount = images;
    return p;
}

Bytes sequence(size_t size, uint8_t first = 0) {
    Bytes bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- inflation ----------------------------------------------------------------

struct MarkerCase {
    const char* name;
    Bytes data;
    Bytes payload;  // what it inflates to; empty when it must stay as it is
};

// A stream without a prefix whose byte 4 is the marker: one stored block of
// 0x7800 bytes, whose length's high byte is byte 4.
MarkerCase storedStreamWithMarkerAtByte4() {
    const Bytes payload = sequence(0x7800);
    Bytes stream = {0x78, 0x01, 0x01, 0x00, 0x78, 0xFF, 0x87};
    stream.insert(stream.end(), payload.begin(), payload.end());
    const uLong adler = adler32(adler32(0, nullptr, 0), payload.data(), static_cast<uInt>(payload.size()));
    for (int shift = 24; shift >= 0; shift -= 8) {
        stream.push_back(static_cast<uint8_t>(adler >> shift));
    }
    return {"stream with the marker at byte 4 too", stream, payload};
}

// 128 × 128 RGBA gives a capacity of 96 KiB, plenty for these payloads.
std::vector<MarkerCase> markerCases() {
    const Bytes payload = sequence(100, 1);
    const Bytes stream = compressZlib(payload);
    Bytes damaged = stream;
    damaged[damaged.size() / 2] ^= 0x55;
    Bytes truncated(stream.begin(), stream.end() - 5);
    // A valid zlib stream with a 256-byte window starts with 0x08, not the marker.
    Bytes smallWindow = stream;
    smallWindow[0] = 0x08;
    smallWindow[1] = 0x1D;
    Bytes rawWithByte0 = sequence(32);
    rawWithByte0[0] = 0x78;
    Bytes rawWithByte4 = sequence(32);
    rawWithByte4[4] = 0x78;
    return {
        {"stream at offset 0", stream, payload},
        {"stream after a size prefix", compressZlib(payload, true), payload},
        // Byte 4 decides first: a prefix that itself starts with the marker is skipped.
        {"stream after a prefix starting with the marker", concat({0x78, 0x9C, 0x00, 0xFF}, stream), payload},
        // Tried from offset 4 first, which fails, then from offset 0.
        storedStreamWithMarkerAtByte4(),
        {"raw data with the marker at byte 0", rawWithByte0, {}},
        {"raw data with the marker at byte 4", rawWithByte4, {}},
        {"raw data with the marker at bytes 0 and 4", Bytes(32, 0x78), {}},
        {"damaged stream", damaged, {}},
        {"truncated stream", truncated, {}},
        {"zlib stream without the marker", smallWindow, {}},
        {"five bytes ending in the marker", {1, 2, 3, 4, 0x78}, {}},
        {"four bytes ending in the marker", {0x78, 0x9C, 0x00, 0x78}, {}},
        {"three bytes ending in the marker", {0x78, 0x9C, 0x78}, {}},
        {"one marker byte", {0x78}, {}},
        {"three bytes starting with the marker", {0x78, 0x9C, 0x01}, {}},
        {"empty", {}, {}},
    };
}

TEST(Inflation, MarkerTestAndFailuresKeepTheDataExactly) {
    for (const auto& c : markerCases()) {
        SCOPED_TRACE(c.name);
        Bytes data = c.data;
        EXPECT_EQ(inflatePixelData(data, rgba(128, 128)), !c.payload.empty());
        EXPECT_EQ(data, c.payload.empty() ? c.data : c.payload);
    }
}

// The capacity is 1.5 times the largest images: 4 × 4 × 4 bytes × 1.5 = 96.
TEST(Inflation, StreamLargerThanTheCapacityStaysCompressed) {
    const auto p = rgba(4, 4);
    ASSERT_EQ(inflationCapacity(p), 96u);
    for (const bool prefix : {false, true}) {
        Bytes fits = compressZlib(sequence(96), prefix);
        EXPECT_TRUE(inflatePixelData(fits, p));
        EXPECT_EQ(fits, sequence(96));

        const Bytes tooLarge = compressZlib(sequence(97), prefix);
        Bytes data = tooLarge;
        EXPECT_FALSE(inflatePixelData(data, p));
        EXPECT_EQ(data, tooLarge);
    }
}

struct CapacityCase {
    int32_t width, height;
    uint8_t bits;
    uint32_t images;
    uint32_t imageSize, capacity;
};

TEST(Inflation, CapacityAndImageSizeFollowTheStored32BitProduct) {
    const CapacityCase cases[] = {
        {4, 4, 32, 1, 64, 96},
        {4, 4, 32, 6, 64, 576},
        {8, 8, 4, 1, 32, 48},  // half a byte per pixel
        {3, 3, 4, 1, 4, 6},    // 4.5 truncates to 4; 6.75 to 6
        {16, 16, 24, 3, 768, 3456},
        {4, 4, 32, 0, 64, 0},                // no frames
        {65536, 65537, 8, 1, 65536, 98304},  // the product wraps to 65536
        {65535, 65535, 32, 6, 0, 0},         // wraps negative: nothing fits
        {-4, 4, 32, 1, 0, 0},
        {65535, 32767, 32, 6, UINT32_MAX, UINT32_MAX},  // too large for 32 bits: saturates
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " b" << int(c.bits) << " N" << c.images);
        UnpackParameters p = rgba(c.width, c.height, c.images);
        p.bitsPerPixel = c.bits;
        EXPECT_EQ(largestImageSize(p), c.imageSize);
        EXPECT_EQ(inflationCapacity(p), c.capacity);
    }
}

TEST(Inflation, BufferIsBoundedByWhatTheSourceCanInflateTo) {
    EXPECT_EQ(inflationBufferSize(UINT32_MAX, 20), 20u * 1032);
    EXPECT_EQ(inflationBufferSize(96, 20), 96u);
    EXPECT_EQ(inflationBufferSize(0, 20), 0u);
    EXPECT_EQ(inflationBufferSize(UINT32_MAX, SIZE_MAX), UINT32_MAX);
}

// Zeros compress at close to deflate's best ratio, so the bound on the buffer
// is tight here: it must still let the whole stream through, and the outcome
// must be decided by the capacity alone.
TEST(Inflation, BoundedBufferNeverChangesTheOutcome) {
    const Bytes zeros(4 << 20);
    const Bytes stream = compressZlib(zeros);
    ASSERT_GT(zeros.size(), stream.size() * 1000);  // near the 1032 limit

    // 1024 × 1024 × 4 bytes × 1.5 is 6 MiB; the buffer is only about 4 MiB.
    Bytes data = stream;
    EXPECT_TRUE(inflatePixelData(data, rgba(1024, 1024)));
    EXPECT_EQ(data, zeros);

    // A hostile cube: capacity 4 GiB, buffer a few MiB, same bytes.
    data = stream;
    EXPECT_TRUE(inflatePixelData(data, rgba(65535, 32767, 6)));
    EXPECT_EQ(data, zeros);

    // One byte per pixel: 2796203 × 1.5 truncates to exactly 4 MiB, which
    // fits; one pixel less gives a capacity one byte short.
    UnpackParameters exact = rgba(2796203, 1);
    exact.bitsPerPixel = 8;
    ASSERT_EQ(inflationCapacity(exact), zeros.size());
    data = stream;
    EXPECT_TRUE(inflatePixelData(data, exact));
    EXPECT_EQ(data, zeros);
    exact.width = 2796202;
    data = stream;
    EXPECT_FALSE(inflatePixelData(data, exact));
    EXPECT_EQ(data, stream);
}

// AddressSanitizer reserves terabytes of address space for its shadow, so a
// cap on it cannot be tested there: GCC says so with __SANITIZE_ADDRESS__,
// clang with __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMENPULL_ADDRESS_SANITIZER 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(LUMENPULL_ADDRESS_SANITIZER)
// With the address space capped far below the 4 GiB that the dimensions
// alone would ask for, a few bytes of zlib data still inflate.
// (The 32-bit build's emulator ignores the cap; there the whole address
// space is below 4 GiB, which makes the same point.)
void inflateWithLittleAddressSpace(const Bytes& stream, const UnpackParameters& p, const Bytes& expected) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 512u << 20;
    setrlimit(RLIMIT_AS, &limit);
    Bytes data = stream;
    const bool inflated = inflatePixelData(data, p);
    std::exit(inflated && data == expected ? 0 : 1);
}

// The death test's style: natively the child re-executes this program
// ("threadsafe"). A cross-built program runs under its emulator, and a
// re-execution of it would need the system to start foreign executables by
// itself (binfmt), which a fresh machine may not do ("Exec format error");
// there the child is forked and runs on at once ("fast"), which the
// emulator handles itself.
#ifdef LUMENPULL_EXE_EMULATOR
constexpr const char* kDeathTestStyle = "fast";
#else
constexpr const char* kDeathTestStyle = "threadsafe";
#endif

TEST(InflationDeathTest, HostileDimensionsNeedNoLargeBuffer) {
    GTEST_FLAG_SET(death_test_style, kDeathTestStyle);
    const auto hostileCube = rgba(65535, 32767, 6);
    ASSERT_EQ(inflationCapacity(hostileCube), UINT32_MAX);
    EXPECT_EXIT(inflateWithLittleAddressSpace(compressZlib(sequence(200)), hostileCube, sequence(200)),
                ::testing::ExitedWithCode(0), "");
}
#endif

// --- plane decoding -------------------------------------------------------------

struct PlaneCase {
    const char* name;
    int32_t format;
    Bytes source;
    Bytes decoded;
};

TEST(PlaneDecoding, EveryKind) {
    const PlaneCase cases[] = {
        {"colour, 3 bytes become 4", 2, {10, 5, 20, 1, 30, 2}, {30, 20, 10, 0, 32, 21, 15, 0}},
        {"colour with a trailing byte", 4, {10, 5, 20, 1, 30, 2, 99}, {30, 20, 10, 0, 32, 21, 15, 0}},
        {"colour, alpha from 255", 3, {1, 1, 2, 2, 3, 3, 0, 0}, {3, 2, 1, 255, 6, 4, 2, 255}},
        {"colour, alpha wraps", 12, {1, 1, 2, 2, 3, 3, 1, 9}, {3, 2, 1, 0, 6, 4, 2, 9}},
        {"colour, left-over bytes are 0", 5, {1, 2, 3, 4, 5, 6, 7}, {3, 2, 1, 3, 0, 0, 0}},
        {"colour without alpha, fourth plane unused", 11, {1, 1, 2, 2, 3, 3, 7, 7}, {3, 2, 1, 0, 6, 4, 2, 0}},
        {"unlisted format as 11", 13, {1, 1, 2, 2, 3, 3, 7, 7}, {3, 2, 1, 0, 6, 4, 2, 0}},
        {"grey with alpha", 6, {5, 3, 1, 2}, {5, 5, 5, 0, 8, 8, 8, 2}},
        {"grey, sums wrap", 7, {200, 100}, {200, 200, 200, 0, 44, 44, 44, 0}},
        {"alpha only", 8, {1, 4}, {0, 0, 0, 0, 0, 0, 0, 4}},
        {"BC1, endpoint sums wrap at 16 bits",
         9,
         {0x00, 0x01, 0xFF, 0xFF, 0x34, 0x12, 0x01, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
         {0x00, 0x01, 0x34, 0x12, 1, 2, 3, 4, 0xFF, 0x00, 0x35, 0x12, 5, 6, 7, 8}},
        {"BC3, alpha halves first", 10,
         concat(concat({1, 0, 2, 0, 3, 0, 4, 0}, {11, 12, 13, 14, 21, 22, 23, 24}), sequence(16, 100)),
         concat(concat(sequence(8, 100), {1, 0, 3, 0, 11, 12, 13, 14}),
                concat(sequence(8, 108), {3, 0, 7, 0, 21, 22, 23, 24}))},
        {"BC5 as BC3",
         15,
         {2, 0, 3, 0, 9, 9, 9, 9, 1, 2, 3, 4, 5, 6, 7, 8},
         {1, 2, 3, 4, 5, 6, 7, 8, 2, 0, 3, 0, 9, 9, 9, 9}},
        {"BC1, partial block stays 0", 9, {1, 0, 2, 0, 3, 3, 3, 3, 9}, {1, 0, 2, 0, 3, 3, 3, 3, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UnpackParameters p = rgba(1, 1);
        p.pixelFormat = static_cast<PixelFormat>(c.format);
        p.textureFlags = PlaneCoded | 0x2;
        Bytes data = c.source;
        decodePlanes(data, p);
        EXPECT_EQ(data, c.decoded);
    }
}

TEST(PlaneDecoding, OnlyWhenFlaggedAndNotEmpty) {
    UnpackParameters p = rgba(1, 1);
    p.textureFlags = ~PlaneCoded;
    Bytes data = sequence(8);
    decodePlanes(data, p);
    EXPECT_EQ(data, sequence(8));

    p.textureFlags = PlaneCoded;
    Bytes empty;
    decodePlanes(empty, p);
    EXPECT_TRUE(empty.empty());
}

// A source shorter than its planes reads the missing bytes as 0, and a
// destination smaller than the layout is never written past.
TEST(PlaneDecoding, ShortSourceAndDestinationStayInBounds) {
    PlaneLayout layout = planeLayoutFor(PixelFormat::Rgba8, 16);  // 4 pixels, 4 planes of 4 bytes
    const Bytes source = {1, 1, 1, 1, 2, 2};                      // red plane and half the green one
    Bytes decoded(16, 0xEE);
    decodePlaneElements(source, layout, decoded);
    EXPECT_EQ(decoded, Bytes({0, 2, 1, 255, 0, 4, 2, 255, 0, 4, 3, 255, 0, 4, 4, 255}));

    layout = planeLayoutFor(PixelFormat::Bc3, 32);  // 2 blocks
    Bytes small(20, 0xEE);
    decodePlaneElements(Bytes{5}, layout, std::span<uint8_t>(small).first(16));
    EXPECT_EQ(Bytes(small.begin(), small.begin() + 16), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(small.begin() + 16, small.end()), Bytes(4, 0xEE));
}

// Plane coding from the test writer is the exact inverse of the decoding:
// encoding what any source decodes to gives the source back.
// Where size_t has 32 bits, a gigabyte of grey planes decodes to more bytes
// than it can count: refused as the allocation would be, never wrapped round
// to a short buffer.
TEST(PlaneDecoding, DecodedSizesBeyondSizeTAreRefused) {
    const struct {
        PixelFormat format;
        size_t fits;  // the longest source whose decoded size fits
        size_t decoded;
    } cases[] = {
        {PixelFormat::Rgb8, SIZE_MAX / 4 * 3 + 2, SIZE_MAX / 4 * 4},
        {PixelFormat::Rgba8C, SIZE_MAX / 2, SIZE_MAX / 2 * 2},
        {PixelFormat::Grey8, SIZE_MAX / 4, SIZE_MAX / 4 * 4},
        {PixelFormat::Rgba8D, SIZE_MAX / 4, SIZE_MAX / 4 * 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        EXPECT_EQ(planeLayoutFor(c.format, c.fits).decodedSize, c.decoded);
        EXPECT_THROW(planeLayoutFor(c.format, c.fits + 1), std::bad_alloc);
    }
}

TEST(PlaneDecoding, RoundTripsThroughTheEncoder) {
    std::mt19937 random(7);
    for (const int32_t format : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15}) {
        SCOPED_TRACE(format);
        // Source bytes per pixel or block.
        const size_t unit = 48 / planeLayoutFor(static_cast<PixelFormat>(format), 48).elements;
        Bytes source(unit * 37);
        for (auto& byte : source) {
            byte = static_cast<uint8_t>(random());
        }
        if (format == 11) {
            // The unused fourth plane. (The assertion also lets GCC 12 at -O3
            // see that the bytes are there; it warns about the fill otherwise.)
            ASSERT_GE(source.size(), 37u);
            std::fill(source.end() - 37, source.end(), 0);
        }
        UnpackParameters p = rgba(1, 1);
        p.pixelFormat = static_cast<PixelFormat>(format);
        p.textureFlags = PlaneCoded;
        Bytes decoded = source;
        decodePlanes(decoded, p);
        EXPECT_EQ(encodePlanes(decoded, format), source);
    }
}

// --- largest-image extraction ---------------------------------------------------

TEST(Extraction, LayoutWordPicksTheEndOfEachBlock) {
    // 4 × 4 RGBA: levels of 64, 16 and 4 bytes.
    const Bytes data = sequence(84);
    UnpackParameters p = rgba(4, 4);
    Bytes first = data;
    extractLargestImages(first, p);
    EXPECT_EQ(first, sequence(64));

    p.layoutWord = 0x0100;
    Bytes last = data;
    extractLargestImages(last, p);
    EXPECT_EQ(last, sequence(64, 20));
}

TEST(Extraction, FacesAndFramesWithBothLayoutWords) {
    for (const uint32_t images : {1u, 3u, 6u}) {
        for (const uint16_t layoutWord : {uint16_t{0}, uint16_t{0x0100}}) {
            SCOPED_TRACE(::testing::Message() << images << " images, layout " << layoutWord);
            const Bytes largest = sequence(64 * images, 1);
            Bytes data = buildMipChain(largest, images, smallerMipLevelsSize(4, 4, 32), layoutWord);
            ASSERT_EQ(data.size(), 84u * images);
            UnpackParameters p = rgba(4, 4, images);
            p.layoutWord = layoutWord;
            extractLargestImages(data, p);
            EXPECT_EQ(data, largest);
        }
    }
}

struct UnchangedCase {
    const char* name;
    uint32_t images;
    size_t length;
};

// Each of these leaves the data exactly as it is: no smaller levels to drop,
// too few bytes for the largest images (the writers then write what exists
// and fill the rest with zeros), or no images at all.
TEST(Extraction, LeavesDataWithoutWholeLevelsUnchanged) {
    const UnchangedCase cases[] = {
        {"exactly the largest images", 6, 6 * 64},
        {"fewer extra bytes than images", 6, 6 * 64 + 5},
        {"one byte short", 1, 63},
        {"one face short", 6, 5 * 64 + 40},
        {"far too short for a large image count", 0x40000001, 1000},
        {"no frames", 0, 84},
        {"no frames, no data", 0, 0},
    };
    for (const auto& c : cases) {
        for (const uint16_t layoutWord : {uint16_t{0}, uint16_t{0x0100}}) {
            SCOPED_TRACE(c.name);
            UnpackParameters p = rgba(4, 4, c.images);
            p.layoutWord = layoutWord;
            Bytes data = sequence(c.length);
            extractLargestImages(data, p);
            EXPECT_EQ(data, sequence(c.length));
        }
    }
}

// --- the three steps together ------------------------------------------------------

struct StoredTexture {
    const char* name;
    int32_t format;
    uint8_t bits;
    Bytes image;  // the stored largest image of one face or frame
};

// Pixels as plane decoding gives them for formats without alpha: the fourth
// byte 0, and for grey the grey byte in blue, green and red.
Bytes withoutAlpha(Bytes stored, bool grey) {
    for (size_t i = 0; i < stored.size(); i += 4) {
        if (grey) {
            stored[i + 1] = stored[i + 2] = stored[i];
        }
        stored[i + 3] = 0;
    }
    return stored;
}

std::vector<StoredTexture> storedTextures() {
    // Large enough that even block formats' 4 × 4 smallest levels fit in one
    // and a half times the largest image.
    const auto wheel = makeColourWheel(32, 16);
    const auto board = makeCheckerboard(32, 16, 4);
    return {
        {"RGBA", 3, 32, storeBgra(wheel)},
        {"RGB", 2, 32, withoutAlpha(storeBgra(board), false)},
        {"grey", 7, 32, withoutAlpha(storeGrey(board, 4), true)},
        {"BC1", 9, 4, encodeBc1(board)},
        {"BC3", 10, 8, encodeBc3(wheel)},
        {"BC5", 15, 8, encodeBc5(makeGradient(32, 16))},
    };
}

TEST(Unpacking, CompressedPlaneCodedMipChainsGiveTheLargestImages) {
    for (const auto& texture : storedTextures()) {
        for (const uint32_t images : {1u, 6u}) {
            for (const uint16_t layoutWord : {uint16_t{0}, uint16_t{0x0100}}) {
                for (const bool planes : {false, true}) {
                    for (const bool prefix : {false, true}) {
                        SCOPED_TRACE(::testing::Message()
                                     << texture.name << ", " << images << " images, layout " << layoutWord
                                     << ", planes " << planes << ", prefix " << prefix);
                        Bytes largest;
                        for (uint32_t k = 0; k < images; ++k) {
                            largest = concat(largest, texture.image);
                        }
                        Bytes stored =
                            buildMipChain(largest, images, smallerMipLevelsSize(32, 16, texture.bits), layoutWord);
                        if (planes) {
                            stored = encodePlanes(stored, texture.format);
                        }
                        stored = compressZlib(stored, prefix);

                        UnpackParameters p;
                        p.width = 32;
                        p.height = 16;
                        p.pixelFormat = static_cast<PixelFormat>(texture.format);
                        p.bitsPerPixel = texture.bits;
                        p.imageCount = images;
                        p.layoutWord = layoutWord;
                        p.textureFlags = planes ? PlaneCoded : 0;
                        unpackPixelData(stored, p);
                        EXPECT_EQ(stored, largest);
                    }
                }
            }
        }
    }
}

// Plane-coded data with smaller levels is decoded only where the largest
// images lie; the result must be exactly that of decoding everything and
// then dropping the smaller levels, for every kind, shape and data length
// (short data included, and images that do not end on a whole element).
TEST(Unpacking, DecodingOnlyTheLargestImagesMatchesDecodingEverything) {
    std::mt19937 random(31);
    const std::array<std::pair<int32_t, uint8_t>, 12> formats = {
        {{2, 32}, {3, 32}, {4, 32}, {5, 32}, {6, 32}, {7, 32}, {8, 32}, {9, 4}, {10, 8}, {11, 32}, {12, 32}, {15, 8}}};
    for (const auto& [format, bits] : formats) {
        for (int round = 0; round < 60; ++round) {
            UnpackParameters p;
            p.width = static_cast<int32_t>(random() % 9 + 1);
            p.height = static_cast<int32_t>(random() % 9 + 1);
            p.pixelFormat = static_cast<PixelFormat>(format);
            p.bitsPerPixel = bits;
            p.imageCount = static_cast<uint32_t>(random() % 3 == 0 ? 6 : random() % 3 + 1);
            p.layoutWord = random() % 2 ? 0 : 0x0100;
            p.textureFlags = PlaneCoded;
            const size_t images = largestImageSize(p) * p.imageCount;
            Bytes stored(images * (random() % 3 + 1) / 2 + random() % 40);
            for (auto& b : stored) b = static_cast<uint8_t>(random());
            SCOPED_TRACE(::testing::Message()
                         << "format " << format << ", " << p.width << " x " << p.height << ", " << p.imageCount
                         << " images, layout " << p.layoutWord << ", " << stored.size() << " bytes");
            Bytes expected = stored;
            decodePlanes(expected, p);
            extractLargestImages(expected, p);
            Bytes unpacked = stored;
            unpackPixelData(unpacked, p);
            ASSERT_EQ(unpacked, expected);
        }
    }
}

TEST(Unpacking, AnimationWithoutFramesKeepsItsData) {
    const Bytes stored = compressZlib(sequence(84));
    Bytes data = stored;
    unpackPixelData(data, rgba(4, 4, 0));
    EXPECT_EQ(data, stored);  // nothing fits a capacity of 0, nothing is extracted
}

// --- the block encoders of the test writer -------------------------------------------

// A minimal decoding of one colour block (four-colour mode, which the
// encoders use) and one single-channel block (eight-value mode).
std::array<std::array<int, 3>, 16> decodeColourBlock(const uint8_t* block) {
    const auto expand = [](int c) {
        const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
        return std::array<int, 3>{r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
    };
    const int c0 = block[0] | block[1] << 8;
    const int c1 = block[2] | block[3] << 8;
    EXPECT_GE(c0, c1);
    std::array<std::array<int, 3>, 4> palette{expand(c0), expand(c1)};
    for (int c = 0; c < 3; ++c) {
        palette[2][c] = (2 * palette[0][c] + palette[1][c]) / 3;
        palette[3][c] = (palette[0][c] + 2 * palette[1][c]) / 3;
    }
    const uint32_t indices = block[4] | block[5] << 8 | block[6] << 16 | uint32_t{block[7]} << 24;
    std::array<std::array<int, 3>, 16> texels{};
    for (int k = 0; k < 16; ++k) {
        texels[k] = palette[(indices >> (2 * k)) & 3];
    }
    return texels;
}

std::array<int, 16> decodeChannelBlock(const uint8_t* block) {
    const int a0 = block[0];
    const int a1 = block[1];
    EXPECT_GE(a0, a1);
    std::array<int, 8> values{a0, a1};
    for (int j = 1; j <= 6; ++j) {
        values[j + 1] = ((7 - j) * a0 + j * a1) / 7;
    }
    uint64_t codes = 0;
    for (int i = 0; i < 6; ++i) {
        codes |= uint64_t{block[2 + i]} << (8 * i);
    }
    std::array<int, 16> texels{};
    for (int k = 0; k < 16; ++k) {
        texels[k] = values[(codes >> (3 * k)) & 7];
    }
    return texels;
}

// Decodes every block of an encoded picture and returns the largest error of
// any channel against the picture.
int largestBlockError(const RgbaImage& image, const Bytes& blocks, size_t blockSize,
                      const std::vector<std::pair<int, int>>& channelBlocks, bool colourBlockAt8) {
    EXPECT_EQ(blocks.size(), size_t(image.width / 4) * (image.height / 4) * blockSize);
    int worst = 0;
    size_t offset = 0;
    for (int32_t by = 0; by < image.height / 4; ++by) {
        for (int32_t bx = 0; bx < image.width / 4; ++bx, offset += blockSize) {
            const uint8_t* block = &blocks[offset];
            for (int k = 0; k < 16; ++k) {
                const uint8_t* pixel = image.at(bx * 4 + k % 4, by * 4 + k / 4);
                if (blockSize == 8 || colourBlockAt8) {
                    const auto colour = decodeColourBlock(block + (blockSize == 8 ? 0 : 8))[k];
                    for (int c = 0; c < 3; ++c) {
                        worst = std::max(worst, std::abs(colour[c] - pixel[c]));
                    }
                }
                for (const auto& [at, channel] : channelBlocks) {
                    worst = std::max(worst, std::abs(decodeChannelBlock(block + at)[k] - pixel[channel]));
                }
            }
        }
    }
    return worst;
}

// Every pixel one of two colours, the one no smaller than the other in every
// channel: such blocks encode exactly but for the 5- and 6-bit endpoints, so
// any texel or block out of place shows.
RgbaImage twoTonePicture() {
    std::mt19937 random(11);
    RgbaImage image(32, 16);
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        const bool light = random() & 1;
        const std::array<uint8_t, 4> tone =
            light ? std::array<uint8_t, 4>{255, 192, 64, 255} : std::array<uint8_t, 4>{32, 16, 0, 0};
        std::copy(tone.begin(), tone.end(), image.rgba.begin() + i);
    }
    return image;
}

TEST(BlockEncoders, ProduceBlocksInStoredOrder) {
    const auto picture = twoTonePicture();
    EXPECT_LE(largestBlockError(picture, encodeBc1(picture), 8, {}, false), 3);
    EXPECT_LE(largestBlockError(picture, encodeBc3(picture), 16, {{0, 3}}, true), 3);
    EXPECT_EQ(largestBlockError(picture, encodeBc5(picture), 16, {{0, 0}, {8, 1}}, false), 0);
    EXPECT_THROW(encodeBc1(makeGradient(6, 4)), std::invalid_argument);
}

}  // namespace
}  // namespace lumenpull

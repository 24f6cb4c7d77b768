#include "unpack/buffer_pool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "pixels/texture_flags.h"
#include "support/pixel_data_writer.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

// A pool after a few requests: which storage served each, and what it keeps.
TEST(BufferPool, ARequestGetsTheSmallestKeptBlockLargeEnoughOrDropsThemAll) {
    struct Step {
        std::size_t take;       // a block of this size is taken (0: every block held is given back) ...
        bool giveBack;          // ... and given back at once, or held to the end of the case
        std::size_t capacity;   // the capacity it came with
        uint64_t reused, made;  // the pool's counts after the step
        std::size_t kept;       // the bytes it keeps after the step
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"the same size again reuses the block",
         {{100, true, 100, 0, 1, 100}, {100, true, 100, 1, 1, 100}, {100, true, 100, 2, 1, 100}}},
        {"a smaller request takes a larger block", {{100, true, 100, 0, 1, 100}, {40, true, 100, 1, 1, 100}}},
        {"of two kept blocks the smaller one that fits",
         {{100, false, 100, 0, 1, 0},
          {60, false, 60, 0, 2, 0},
          {0, true, 0, 0, 2, 160},
          {50, true, 60, 1, 2, 160},
          {80, true, 100, 2, 2, 160}}},
        {"a larger request drops every kept block",
         {{100, true, 100, 0, 1, 100},
          {60, false, 100, 1, 1, 0},
          {30, true, 30, 1, 2, 30},
          {200, true, 200, 1, 3, 200}}},
        {"blocks in use stay out of it",
         {{100, false, 100, 0, 1, 0}, {50, true, 50, 0, 2, 50}, {80, true, 80, 0, 3, 80}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BufferPool pool;
        std::vector<ByteBlock> held;
        for (const Step& step : c.steps) {
            if (step.take == 0) {
                for (ByteBlock& block : held) pool.keep(std::move(block));
                held.clear();
                EXPECT_EQ(pool.keptBytes(), step.kept);
                continue;
            }
            ByteBlock block = pool.block(step.take);
            EXPECT_EQ(block.capacity(), step.capacity) << "take " << step.take;
            std::memset(block.first(step.take).data(), 0xA5, step.take);
            if (step.giveBack) {
                pool.keep(std::move(block));
            } else {
                held.push_back(std::move(block));
            }
            EXPECT_EQ(pool.reused(), step.reused) << "take " << step.take;
            EXPECT_EQ(pool.made(), step.made) << "take " << step.take;
            EXPECT_EQ(pool.keptBytes(), step.kept) << "take " << step.take;
        }
    }
}

// The stored bytes' vector goes round: kept, handed out as the next
// texture's room (emptied, its capacity kept), and taken as a block once its
// bytes are done with; a room is the largest kept vector.
TEST(BufferPool, AStoredBytesVectorServesAsRoomAndAsBlock) {
    BufferPool pool;
    EXPECT_EQ(pool.storedRoom().capacity(), 0u);  // nothing kept: no room

    pool.keep(Bytes(300, 1));
    pool.keep(Bytes(500, 2));
    Bytes room = pool.storedRoom();
    EXPECT_TRUE(room.empty());
    EXPECT_EQ(room.capacity(), 500u);
    EXPECT_EQ(pool.keptBytes(), 300u);
    EXPECT_EQ(pool.reused(), 1u);

    // A block from the vector kept: its first bytes are writable, none made.
    ByteBlock block = pool.block(200);
    EXPECT_TRUE(block.holdsVector());
    EXPECT_EQ(block.capacity(), 300u);
    EXPECT_EQ(block.first(300).size(), 300u);
    EXPECT_EQ(pool.made(), 0u);
    pool.keep(std::move(block));
    pool.keep(std::move(room));
    EXPECT_EQ(pool.keptBytes(), 800u);

    // Made blocks are no room for stored bytes.
    BufferPool madeOnly;
    madeOnly.keep(madeOnly.block(1000));
    EXPECT_EQ(madeOnly.storedRoom().capacity(), 0u);
    EXPECT_EQ(madeOnly.keptBytes(), 1000u);
}

UnpackParameters texture(int32_t format, uint8_t bits, int32_t side, uint32_t flags, uint32_t images = 1) {
    UnpackParameters p;
    p.width = side;
    p.height = side;
    p.pixelFormat = static_cast<PixelFormat>(format);
    p.bitsPerPixel = bits;
    p.textureFlags = flags;
    p.imageCount = images;
    return p;
}

Bytes noise(std::size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
}

struct Texture {
    std::string name;
    UnpackParameters p;
    Bytes stored;
};

// Textures whose unpacking leaves parts of a buffer unwritten, or reads
// back what a step wrote: short data, partial elements, zlib streams of
// every kind of content, plane-coded data, mip chains, a stream that fails.
std::vector<Texture> mixedTextures() {
    const UnpackParameters rgba16 = texture(3, 32, 16, 0);
    const UnpackParameters planes16 = texture(3, 32, 16, PlaneCoded);
    const UnpackParameters bc3Planes = texture(10, 8, 16, PlaneCoded);
    const Bytes image = noise(16 * 16 * 4, 1);
    const Bytes withMips = test::buildMipChain(image, 1, test::smallerMipLevelsSize(16, 16, 32), 0);
    Bytes notZlib = noise(300, 2);
    notZlib[0] = 0x78;
    return {
        {"large noise, zlib", texture(3, 32, 64, 0), test::compressZlib(noise(64 * 64 * 4 * 2, 3))},
        {"short, zlib", rgba16, test::compressZlib(noise(100, 4))},
        {"short, plain", rgba16, noise(99, 5)},
        {"mips, zlib", rgba16, test::compressZlib(withMips)},
        {"planes with a partial element", planes16, test::encodePlanes(noise(16 * 16 * 4 - 6, 6), 3)},
        {"planes with mips, zlib", planes16, test::compressZlib(test::encodePlanes(withMips, 3))},
        {"block planes, short", bc3Planes, test::encodePlanes(noise(200, 7), 10)},
        {"marker but no stream", rgba16, notZlib},
        {"large noise again, zlib with a prefix", texture(3, 32, 64, 0, 2),
         test::compressZlib(noise(64 * 64 * 4 * 3, 8), true)},
        {"cube faces, plain", texture(7, 32, 16, 0, 6), noise(16 * 16 * 4 * 6 + 7, 9)},
    };
}

// Buffers handed on from earlier textures hold those textures' bytes: the
// images must come out as they do from buffers made for them, in whatever
// order the textures come, through both ways of unpacking.
TEST(BufferPool, ReusedBuffersNeverShowEarlierBytes) {
    const std::vector<Texture> textures = mixedTextures();
    for (const bool mipChains : {false, true}) {
        for (const bool backwards : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << (mipChains ? "with mip chains" : "largest images") << (backwards ? ", backwards" : ""));
            BufferPool shared;
            for (std::size_t k = 0; k < textures.size(); ++k) {
                const Texture& t = textures[backwards ? textures.size() - 1 - k : k];
                SCOPED_TRACE(t.name);
                BufferPool fresh;
                const auto unpack = [&](BufferPool& pool, Bytes stored) {
                    return mipChains ? unpackedWithMipChain(std::move(stored), t.p, pool)
                                     : UnpackedLevels{unpackedPixels(std::move(stored), t.p, pool), 1};
                };
                // The stored bytes are read into the pool's room, as the converter does.
                Bytes room = shared.storedRoom();
                room.assign(t.stored.begin(), t.stored.end());
                UnpackedLevels reused = unpack(shared, std::move(room));
                UnpackedLevels expected = unpack(fresh, t.stored);
                EXPECT_EQ(reused.levels, expected.levels);
                const auto images = reused.pixels.images();
                ASSERT_EQ(Bytes(images.begin(), images.end()),
                          Bytes(expected.pixels.images().begin(), expected.pixels.images().end()));
                reused.pixels.returnBuffers(shared);
            }
            EXPECT_GT(shared.reused(), textures.size() / 2);
        }
    }
}

}  // namespace
}  // namespace lumenpull

#include "writers/png_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image_test_support.h"
#include "support/image_reader.h"
#include "support/temp_dir.h"
#include "texture_fixture.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

uint32_t bigEndian(const Bytes& b, std::size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | uint32_t{b[at + 3]};
}

// The PNG checksum, bit by bit: nothing shared with the writer's own.
uint32_t crc32(const uint8_t* data, std::size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

struct Chunk {
    std::string type;
    Bytes data;
};

// The chunks of a PNG file, each length and checksum checked on the way.
std::vector<Chunk> readChunks(const Bytes& file) {
    static const Bytes signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<Chunk> chunks;
    EXPECT_TRUE(file.size() >= 8 && Bytes(file.begin(), file.begin() + 8) == signature);
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const uint32_t length = bigEndian(file, at);
        if (at + 12 + length > file.size()) {
            ADD_FAILURE() << "chunk at " << at << " of " << length << " bytes runs past the end";
            return chunks;
        }
        Chunk chunk{std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                file.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                    Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length))};
        EXPECT_EQ(bigEndian(file, at + 8 + length), crc32(file.data() + at + 4, 4 + std::size_t{length}))
            << chunk.type << " chunk at " << at;
        chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size()) << "bytes after the last whole chunk";
    return chunks;
}

// Every length and checksum stored beside the data: the header's fields,
// the compressed stream cut into IDAT chunks of 1 MiB and a last one of the
// rest (never an empty one), each chunk's checksum, and an independent
// reader getting the pixels back.
TEST(PngWriterTest, ChunkLengthsChecksumsAndHeaderFields) {
    struct Case {
        const char* name;
        int32_t format;
        int32_t width, height;
        uint8_t colourType;
        std::size_t minimumIdatChunks;
    };
    const Case cases[] = {
        {"grey, one pixel", 7, 1, 1, 0, 1},
        {"RGB 7 x 3", 2, 7, 3, 2, 1},
        {"RGBA noise, a stream over several IDAT chunks", 3, 1024, 768, 6, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto pixels = static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height);
        const Bytes stored = test::noiseBytes(4 * pixels, 31);
        ASSERT_EQ(writePng(dir / "t", test::textureImage(c.format, c.width, c.height, stored), 32), 1);
        const std::vector<Chunk> chunks = readChunks(test::readFileBytes(dir / "t.png"));
        ASSERT_GE(chunks.size(), 3u);

        ASSERT_EQ(chunks.front().type, "IHDR");
        const Bytes& header = chunks.front().data;
        ASSERT_EQ(header.size(), 13u);
        EXPECT_EQ(bigEndian(header, 0), static_cast<uint32_t>(c.width));
        EXPECT_EQ(bigEndian(header, 4), static_cast<uint32_t>(c.height));
        // 8 bits per sample, the colour type, deflate, adaptive filtering, no interlacing.
        EXPECT_EQ(Bytes(header.begin() + 8, header.end()), (Bytes{8, c.colourType, 0, 0, 0}));

        EXPECT_EQ(chunks.back().type, "IEND");
        EXPECT_TRUE(chunks.back().data.empty());
        const std::size_t idat = chunks.size() - 2;
        EXPECT_GE(idat, c.minimumIdatChunks);
        for (std::size_t i = 1; i <= idat; ++i) {
            EXPECT_EQ(chunks[i].type, "IDAT") << "chunk " << i;
            if (i < idat) {
                EXPECT_EQ(chunks[i].data.size(), std::size_t{1} << 20) << "chunk " << i;
            } else {
                EXPECT_GE(chunks[i].data.size(), 1u);
                EXPECT_LE(chunks[i].data.size(), std::size_t{1} << 20);
            }
        }

        const test::ReadImage read = test::readWithPillow(dir / "t.png");
        EXPECT_EQ(read.width, c.width);
        EXPECT_EQ(read.height, c.height);
        Bytes expected;
        for (std::size_t i = 0; i < pixels; ++i) {
            const uint8_t* p = &stored[4 * i];  // stored blue, green, red, alpha; grey takes the first byte
            if (c.format == 7) {
                expected.insert(expected.end(), {p[0], p[0], p[0], 255});
            } else {
                expected.insert(expected.end(), {p[2], p[1], p[0], c.format == 3 ? p[3] : uint8_t{255}});
            }
        }
        EXPECT_TRUE(read.rgba == expected) << "pixels differ";
    }
}

}  // namespace
}  // namespace lumenpull

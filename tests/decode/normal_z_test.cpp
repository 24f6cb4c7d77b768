#include "decode/normal_z.h"

#include <gtest/gtest.h>

#include <vector>

#include "decode/eight_bit_rows.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

// Red and green are X and Y from 0..255 onto -1..1; 128 is just above 0.
TEST(NormalZTest, KnownVectors) {
    struct Case {
        uint8_t red, green, blue;
    };
    const Case cases[] = {
        {128, 128, 255}, {127, 127, 255},                   // flat
        {255, 128, 128}, {0, 128, 128},   {128, 0, 128},    // lying in the surface: z = 0
        {218, 128, 217}, {37, 128, 217},  {128, 218, 217},  // 45 degrees towards +X, -X, +Y
        {191, 191, 218}, {64, 64, 218},                     // 45 degrees along a diagonal
        {255, 255, 128}, {0, 0, 128},                       // longer than 1: clamped to z = 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reconstructedZ(c.red, c.green), c.blue) << int{c.red} << ", " << int{c.green};
    }
}

// Every two-channel row kind gets Z as blue; rows of other kinds, and rows
// decoded without the request, keep what they had.
TEST(NormalZTest, RowsOfTwoChannelKindsOnly) {
    // A BC5 block whose first channel is 218 and second 128 everywhere.
    Bytes bc5(16, 0);
    bc5[0] = 218;
    bc5[8] = 128;
    Bytes bc5Flat;
    Bytes bc5Normal;
    for (int i = 0; i < 16; ++i) {
        bc5Flat.insert(bc5Flat.end(), {255, 128, 218});
        bc5Normal.insert(bc5Normal.end(), {217, 128, 218});
    }
    struct Case {
        const char* name;
        PixelFormat format;
        uint32_t flags;
        uint8_t bits;
        uint32_t width;
        Bytes stored;
        Bytes plain;   // decoded without --normal-z
        Bytes normal;  // with it
    };
    const Case cases[] = {
        {"32-bit two-channel",
         PixelFormat::Rgb8,
         TwoChannel,
         32,
         2,
         {9, 128, 128, 0, 9, 128, 218, 7},
         {255, 128, 128, 255, 128, 218},
         {255, 128, 128, 217, 128, 218}},
        {"24-bit two-channel",
         PixelFormat::Rgb8,
         TwoChannel,
         24,
         2,
         {9, 128, 128, 9, 128, 218},
         {255, 128, 128, 255, 128, 218},
         {255, 128, 128, 217, 128, 218}},
        {"BC5", PixelFormat::Bc5, 0, 8, 4, bc5, bc5Flat, bc5Normal},
        {"colour",
         PixelFormat::Rgb8,
         0,
         32,
         2,
         {9, 128, 128, 0, 9, 128, 218, 7},
         {9, 128, 128, 9, 128, 218},
         {9, 128, 128, 9, 128, 218}},
    };
    for (const Case& c : cases) {
        for (const bool normalZ : {false, true}) {
            TextureImage texture;
            texture.width = static_cast<int32_t>(c.width);
            texture.height = 4;
            texture.textureFlags = c.flags;
            texture.pixelFormat = c.format;
            texture.normalZ = normalZ;
            const RowLayout layout = rowLayout(texture, c.bits);
            Bytes row(c.plain.size() + 1, 0xEE);
            convertRow(layout, c.stored, std::span<uint8_t>(row).first(c.plain.size()), c.width);
            EXPECT_EQ(Bytes(row.begin(), row.end() - 1), normalZ ? c.normal : c.plain) << c.name << " " << normalZ;
            EXPECT_EQ(row.back(), 0xEE) << c.name;
        }
    }
}

}  // namespace
}  // namespace lumenpull

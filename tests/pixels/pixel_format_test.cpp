#include "pixels/pixel_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>

namespace lumenpull {
namespace {

// Stored code -> canonical value and stored bits per pixel.
struct Expected {
    int32_t canonical;
    uint8_t bitsPerPixel;
};
using Table = std::map<uint32_t, Expected>;

void expectTable(uint32_t formatVersion, const Table& accepted) {
    for (uint32_t code = 0; code <= 20; ++code) {
        const auto result = normaliseStoredFormat(code, formatVersion);
        const auto expected = accepted.find(code);
        if (expected == accepted.end()) {
            EXPECT_FALSE(result.has_value()) << "code " << code << " version " << formatVersion;
            continue;
        }
        ASSERT_TRUE(result.has_value()) << "code " << code << " version " << formatVersion;
        EXPECT_EQ(static_cast<int32_t>(result->canonical), expected->second.canonical) << "code " << code;
        EXPECT_EQ(result->bitsPerPixel, expected->second.bitsPerPixel) << "code " << code;
    }
    // Codes are unsigned: what a signed field would call -1 is rejected too.
    EXPECT_FALSE(normaliseStoredFormat(0xFFFFFFFFu, formatVersion).has_value());
}

TEST(PixelFormatTest, CurrentFilesStoreTheCanonicalValue) {
    const Table current = {{2, {2, 32}}, {3, {3, 32}}, {4, {4, 32}},  {5, {5, 32}},   {6, {6, 32}}, {7, {7, 32}},
                           {8, {8, 32}}, {9, {9, 4}},  {10, {10, 8}}, {12, {12, 32}}, {15, {15, 8}}};
    expectTable(10, current);
    expectTable(200, current);
}

TEST(PixelFormatTest, LegacyFilesUseTheirOwnNumbering) {
    const Table legacy = {{0, {2, 24}}, {1, {3, 32}}, {2, {4, 24}}, {3, {5, 32}}, {4, {5, 32}},  {5, {6, 32}},
                          {6, {7, 24}}, {7, {9, 4}},  {8, {11, 8}}, {9, {10, 8}}, {11, {8, 32}}, {12, {12, 32}}};
    expectTable(9, legacy);
    expectTable(0, legacy);
}

}  // namespace
}  // namespace lumenpull

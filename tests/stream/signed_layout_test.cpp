#include <gtest/gtest.h>

#include "stream/signed_layout.h"

namespace lumenpull {
namespace {

// The worked example: block size 16, signature size 4, a 40-byte payload
// behind a 75-byte header; the file is 75 + 56 bytes.
constexpr SignedLayout kSmall{75, 16, 4, 131};

TEST(SignedLayout, MapsPayloadPositionsAroundTheRecords) {
    EXPECT_EQ(kSmall.PayloadSize(), 40u);
    EXPECT_EQ(kSmall.RawOf(0), 79u);
    EXPECT_EQ(kSmall.RawOf(15), 94u);
    EXPECT_EQ(kSmall.RawOf(16), 99u);   // past the record after block 0
    EXPECT_EQ(kSmall.RawOf(40), 127u);  // the start of the final record
    EXPECT_EQ(kSmall.PayloadOf(75), 0u);
    EXPECT_EQ(kSmall.PayloadOf(96), 16u);  // inside a record: the next block's start
    EXPECT_EQ(kSmall.PayloadOf(131), 40u);

    EXPECT_EQ(kSmall.Boundary(0), 75u);
    EXPECT_EQ(kSmall.Boundary(1), 95u);
    EXPECT_EQ(kSmall.Boundary(2), 115u);
    // Block 2 is short: its record is the final one, where the payload ends.
    EXPECT_EQ(kSmall.Boundary(3), 127u);
    EXPECT_EQ(kSmall.Boundary(4), 127u);
    EXPECT_FALSE(kSmall.IsEndBoundary(2));
    EXPECT_TRUE(kSmall.IsEndBoundary(3));
    EXPECT_TRUE(kSmall.IsEndBoundary(4));
}

TEST(SignedLayout, PayloadSizeCountsFullShortAndMissingBlocks) {
    struct Case {
        uint64_t fileSize;
        uint64_t payload;
    };
    // dataStart 10, block 16, record 4: payload starts at 14, strides of 20.
    const Case cases[] = {
        {10, 0},  {13, 0},  {14, 0},   // header, partial or whole first record
        {18, 0},  {19, 1},             // a byte of data needs its record after it
        {34, 16}, {33, 15}, {36, 16},  // a full block; a cut-off record adds nothing
        {39, 17}, {54, 32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ((SignedLayout{10, 16, 4, c.fileSize}.PayloadSize()), c.payload) << c.fileSize;
    }
    EXPECT_EQ((SignedLayout{10, 0, 4, 1000}.PayloadSize()), 0u);
}

// Containers beyond 4 GiB: a stride product formed in 32 bits would wrap at
// block 65281 for the default sizes (65281 * 65792 > 2^32).
TEST(SignedLayout, PositionsBeyondFourGiBUseSixtyFourBitProducts) {
    constexpr uint64_t stride = 65536 + 256;
    constexpr uint64_t blocks = 100000;  // about 6.1 GiB of payload
    constexpr SignedLayout big{75, 65536, 256, 75 + 256 + blocks * stride};
    EXPECT_EQ(big.PayloadSize(), blocks * 65536);

    const uint64_t x = 70000 * 65536ull + 123;
    EXPECT_EQ(big.RawOf(x), 75 + 256 + 70000 * stride + 123);
    EXPECT_GT(big.RawOf(x), uint64_t{1} << 32);
    EXPECT_EQ(big.PayloadOf(big.RawOf(x)), x);
    EXPECT_EQ(big.Boundary(70000), 75 + 70000 * stride);
    EXPECT_NE(big.Boundary(70000), 75 + static_cast<uint32_t>(70000 * stride));
    EXPECT_EQ(big.Boundary(blocks), big.fileSize - 256);
    EXPECT_FALSE(big.IsEndBoundary(blocks));
    EXPECT_TRUE(big.IsEndBoundary(blocks + 1));
    EXPECT_EQ(big.RawOf(big.PayloadSize()), big.fileSize);

    // Largest sizes: the stride itself does not fit 32 bits.
    constexpr SignedLayout wide{100, 0xFFFFFFFF, 0xFFFFFFFF, 100 + 0xFFFFFFFFull * 4 + 5};
    EXPECT_EQ(wide.Stride(), 0x1FFFFFFFEull);
    EXPECT_EQ(wide.PayloadSize(), 0xFFFFFFFFull + 5);
    EXPECT_EQ(wide.RawOf(0xFFFFFFFFull + 2), 100 + 0xFFFFFFFFull * 3 + 2);
}

}  // namespace
}  // namespace lumenpull

#include "output/duplicate_images.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

ImageDigest digestOf(const Bytes& bytes) {
    ImageDigester digester;
    digester.add(bytes);
    return digester.digest();
}

// The digest does not depend on how the bytes arrive, and tells sizes and
// bytes apart.
TEST(ImageDigest, SameBytesInAnyPiecesSameDigest) {
    Bytes bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    for (const std::size_t piece : {1u, 3u, 8u, 13u, 100u}) {
        ImageDigester digester;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            digester.add(std::span<const uint8_t>(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        }
        EXPECT_EQ(digester.digest(), digestOf(bytes)) << piece;
    }
    Bytes other = bytes;
    other[57] ^= 1;
    EXPECT_NE(digestOf(other), digestOf(bytes));
    EXPECT_NE(digestOf(Bytes(bytes.begin(), bytes.end() - 1)), digestOf(bytes));
    EXPECT_NE(digestOf(Bytes{0}), digestOf(Bytes{}));
}

TEST(DuplicateImages, DecidedOnTheBytesNotTheDigest) {
    test::TempDir dir;
    const Bytes picture = {1, 2, 3, 4};
    dir.writeFile("a.tga", picture);
    dir.writeFile("twin.tmp", picture);
    dir.writeFile("impostor.tmp", Bytes{9, 9, 9, 9});
    DuplicateImages images;
    images.placed(dir / "a.tga", digestOf(picture));
    EXPECT_EQ(images.earlierEqual(dir / "b.tga", dir / "twin.tmp", digestOf(picture)), dir / "a.tga");
    // Other bytes under the same digest (as a collision would give): not the same.
    EXPECT_EQ(images.earlierEqual(dir / "b.tga", dir / "impostor.tmp", digestOf(picture)), std::nullopt);
    // Another type is another image, whatever its bytes.
    EXPECT_EQ(images.earlierEqual(dir / "b.png", dir / "twin.tmp", digestOf(picture)), std::nullopt);
    // A name that now holds other bytes is no longer a first image.
    dir.writeFile("a.tga", Bytes{5, 6});
    images.placed(dir / "a.tga", digestOf(Bytes{5, 6}));
    EXPECT_EQ(images.earlierEqual(dir / "b.tga", dir / "twin.tmp", digestOf(picture)), std::nullopt);
}

// The first image put in place stays the one named, also once later equal
// images have been added.
TEST(DuplicateImages, TheFirstStaysFirst) {
    test::TempDir dir;
    const Bytes picture = {7, 7};
    for (const char* name : {"1.tga", "2.tga", "new.tmp"}) dir.writeFile(name, picture);
    DuplicateImages images;
    images.placed(dir / "1.tga", digestOf(picture));
    images.placed(dir / "2.tga", digestOf(picture));
    EXPECT_EQ(images.earlierEqual(dir / "3.tga", dir / "new.tmp", digestOf(picture)), dir / "1.tga");
}

}  // namespace
}  // namespace lumenpull

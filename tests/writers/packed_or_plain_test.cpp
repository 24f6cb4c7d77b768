#include "writers/packed_or_plain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The packed attempt and the plain rewrite share one temporary file: while
// either is written, the previous image stays whole under its name, and the
// result reaches the name once, holding only what the successful form wrote.
TEST(PackedOrPlainTest, EachFormReplacesThePreviousImageOnceAndWhole) {
    struct Case {
        const char* name;
        bool pack;
        bool packingPays;
        std::size_t abandoned;  // packed bytes written before packing stops paying
        std::size_t plainSize;
    };
    const Bytes packedBytes{'P', 'P', 'P', 'P', 'P', 'P'};
    const std::vector<Case> cases{
        {"packed", true, true, 0, 4},
        // More than the buffer holds: the abandoned bytes reach the file itself.
        {"plain after packing stopped paying", true, false, 300000, 4},
        {"plain after packing stopped paying, still buffered", true, false, 100, 4},
        {"plain longer than the abandoned bytes", true, false, 300000, 400000},
        {"plain without packing", false, false, 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Bytes previous(10, 'o');
        dir.writeFile("image.tga", previous);
        const std::string path = dir / "image.tga";
        Bytes plainBytes(c.plainSize, 'f');
        plainBytes.back() = 't';
        const Bytes& expected = c.packingPays ? packedBytes : plainBytes;
        std::vector<std::vector<std::string>> seen;  // the folder while each form writes
        ImageOutput output;
        writePackedOrPlain(
            output, path, c.pack,
            [&](OutputFile& file) {
                file.write(packedBytes);
                if (!c.packingPays) file.write(Bytes(c.abandoned, 'P'));
                seen.push_back(namesIn(dir.path()));
                EXPECT_EQ(test::readFileBytes(path), previous);
                return c.packingPays;
            },
            [&](OutputFile& file) {
                seen.push_back(namesIn(dir.path()));
                EXPECT_EQ(test::readFileBytes(path), previous);
                file.write(plainBytes);
            });
        EXPECT_EQ(test::readFileBytes(path), expected);
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"image.tga"});
        for (const auto& names : seen) {
            ASSERT_EQ(names.size(), 2u);  // the image and one temporary file
            EXPECT_EQ(names, seen.front());
        }
    }
}

}  // namespace
}  // namespace lumenpull

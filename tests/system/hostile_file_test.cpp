// Files whose texture dimensions or image counts promise far more than their
// pixel data holds, converted by the real executable: they give only the
// images (and rows) the data reaches, never gigabytes of zeros or billions
// of files.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace lumenpull::test;

struct HostileCase {
    const char* name;
    TextureClass kind;
    int32_t width, height;
    uint32_t flags;
    int32_t frames;
    size_t dataBytes;
    const char* summary;
    int files;
};

TEST(HostileFileTest, OutputIsBoundedByThePixelData) {
    const HostileCase cases[] = {
        {"huge", TextureClass::Static, 65535, 32767, 0, 1, 16, "1 texture(s) converted into 1 image(s)", 1},
        {"cube", TextureClass::Static, 65535, 32767, 0x2, 1, 16, "1 texture(s) converted into 1 image(s)", 1},
        // 65535 x 65535 wraps to a negative 32-bit pixel count: images of no
        // bytes to pick out, so the data goes to the writer as it is, which
        // writes the one row it reaches.
        {"wrapped", TextureClass::Static, 65535, 65535, 0x2, 1, 16, "1 texture(s) converted into 1 image(s)", 1},
        {"frames", TextureClass::Anim, 4, 4, 0, 100000, 64 * 2, "1 texture(s) converted into 2 image(s)", 2},
        {"faces", TextureClass::Static, 4, 4, 0x2, 1, 64 * 2 + 1, "1 texture(s) converted into 3 image(s)", 3},
    };
    for (const HostileCase& c : cases) {
        TempDir dir;
        ResourceBuilder file;
        file.addStandardTypes();
        TextureFields t;
        t.width = c.width;
        t.height = c.height;
        t.flags = c.flags;
        t.format = 3;
        t.frameCount = c.frames;
        t.pixels = Bytes(c.dataBytes, 0x41);
        file.addTexture(c.kind, t);
        dir.writeFile("in.tex", file.payload());

        const ToolRun run = runLumenpull({dir / "in.tex"});
        EXPECT_EQ(run.output, dir / "in.tex" + ": " + c.summary + "\n") << c.name;
        int files = 0;
        uintmax_t bytes = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().extension() != ".tga") continue;
            ++files;
            bytes += entry.file_size();
        }
        EXPECT_EQ(files, c.files) << c.name;
        EXPECT_LT(bytes, 1u << 20) << c.name;
    }
}

// A zero width or height gives a header-only file for every image the data
// reaches, an image of no bytes counting as one byte of data, whatever the
// amount of data (extra bytes are not taken for smaller mip levels).
TEST(HostileFileTest, ZeroSizedImagesGiveHeaderOnlyFiles) {
    struct Case {
        size_t dataBytes;
        uint32_t flags;
        int files;
    };
    const Case cases[] = {
        {1, 0, 1}, {5, 0, 1}, {6, 0, 1}, {100, 0, 1}, {1, 0x2, 1}, {5, 0x2, 5}, {6, 0x2, 6}, {100, 0x2, 6},
    };
    for (const auto& [width, height] : {std::pair{0, 4}, std::pair{4, 0}}) {
        for (const Case& c : cases) {
            TempDir dir;
            ResourceBuilder file;
            file.addStandardTypes();
            file.addStaticTexture(width, height, c.flags, 3, Bytes(c.dataBytes, 0x41));
            dir.writeFile("in.tex", file.payload());
            const std::string what = std::to_string(width) + "x" + std::to_string(height) + ", " +
                                     std::to_string(c.dataBytes) + " bytes, flags " + std::to_string(c.flags);

            EXPECT_EQ(runLumenpull({dir / "in.tex"}).output,
                      dir / "in.tex" + ": 1 texture(s) converted into " + std::to_string(c.files) + " image(s)\n")
                << what;
            int files = 0;
            for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                if (entry.path().extension() != ".tga") continue;
                ++files;
                EXPECT_EQ(entry.file_size(), 18u) << what;
            }
            EXPECT_EQ(files, c.files) << what;
        }
    }
}

// Dimensions that promise 4 GiB and more, with enough zlib data that its
// inflation could reach that much: the buffer is reserved at the full
// capacity. Where size_t has 32 bits that many bytes cannot be had, and the
// file ends with the allocation error rather than with a buffer that wrapped
// round to a few bytes.
TEST(HostileFileTest, InflationBufferOfFourGiB) {
    TempDir dir;
    Bytes noise(9u << 19);  // 4.5 MiB that do not compress
    std::mt19937 random(7);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    ResourceBuilder file;
    file.addStandardTypes();
    TextureFields t;
    t.width = 65535;
    t.height = 32767;
    t.flags = 0x2;
    t.format = 3;
    t.pixels = compressZlib(noise);
    file.addTexture(TextureClass::Static, t);
    dir.writeFile("in.tex", file.payload());

    const ToolRun run = runLumenpull({dir / "in.tex"});
    int images = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        images += entry.path().extension() == ".tga" ? 1 : 0;
    }
    if constexpr (sizeof(size_t) < 8) {
        EXPECT_EQ(run.output, dir / "in.tex" + ": std::bad_alloc\n");
        EXPECT_EQ(images, 0);
    } else {
        EXPECT_EQ(run.output, dir / "in.tex" + ": 1 texture(s) converted into 1 image(s)\n");
        EXPECT_EQ(images, 1);
    }
}

}  // namespace
}  // namespace lumenpull

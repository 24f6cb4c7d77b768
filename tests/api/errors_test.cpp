// Files the library cannot read throw lumenpull::Error with the text the
// tool reports for them; damaged and cut-off files never do worse.

#include <gtest/gtest.h>

#include <sstream>

#include "api_samples.h"
#include "lumenpull/lumenpull.h"
#include "support/container_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"

namespace lumenpull {
namespace {

// What the tool reports for `name` (in `dir`) after "name: ", without the
// listing's lines.
std::string toolOutcome(const test::TempDir& dir, const std::string& name) {
    const std::string output = test::runLumenpull({"-l", name}, dir.path().string()).output;
    const std::string first = output.substr(0, output.find('\n'));
    return first.substr(name.size() + 2);
}

// What the library makes of `bytes`: its error text, or the outcome the
// tool prints for a file it reads ("N texture(s)", ...).
std::string libraryOutcome(const std::vector<uint8_t>& bytes) {
    try {
        const Resource resource = Resource::fromMemory(bytes);
        if (resource.rejection()) return *resource.rejection();
        if (resource.textureObjects() == 0) return "no textures found";
        return std::to_string(resource.textureObjects()) + " texture(s)";
    } catch (const Error& error) {
        return error.what();
    } catch (const std::exception& error) {
        // A standard exception travels unchanged; the tool prints its text.
        return error.what();
    }
}

// Everything the library can be asked for of every texture: throws nothing
// but lumenpull::Error.
void useEverything(const Resource& resource) {
    for (const Texture& texture : resource.textures()) {
        for (const FileType type : {FileType::Tga, FileType::Png, FileType::Hdr, FileType::Dds, FileType::Exr}) {
            try {
                texture.packing();
                const int32_t images = texture.availableImages();
                for (int32_t i = 0; i < images; ++i) {
                    texture.image(i);
                    texture.encode(i, type);
                    if (type == FileType::Dds) texture.storedLevels(i);
                }
            } catch (const Error&) {
                // A picture the type cannot hold: reported, as by the tool.
            }
        }
    }
}

// The largest size a file can state with two rows of data: an image takes
// the rows the data holds, never room for the whole stated picture (tens
// of gigabytes here).
TEST(ApiErrors, AHugeTextureWithTwoRowsOfDataDecodesToTwoRows) {
    constexpr int32_t kSide = 65535;
    test::ResourceBuilder file(11);
    file.addStandardTypes();
    file.addStaticTexture(kSide, kSide, 0, 12, std::vector<uint8_t>(kSide * 4 * 2, 0x80));
    file.addStaticTexture(kSide, kSide, 0, 3, std::vector<uint8_t>(kSide * 4 * 2, 0x80));
    const Resource resource = Resource::fromMemory(test::wrapPayload(test::ContainerKind::Plain, file.payload()));
    ASSERT_EQ(resource.textures().size(), 2u);
    for (const Texture& texture : resource.textures()) {
        const Image image = texture.image(0);
        EXPECT_EQ(image.shape.width, uint32_t{kSide});
        EXPECT_EQ(image.shape.height, 2u);
        EXPECT_EQ(image.bytes.size() + image.floats.size(), image.shape.values());
        EXPECT_EQ(texture.images().at(0).shape.height, 2u);
    }
}

TEST(ApiErrors, MessagesAreTheToolsReports) {
    const test::TempDir dir;
    dir.writeFile("text.tex", std::string("not a resource file"));
    dir.writeFile("empty.tex", std::string());
    for (const std::string name : {"text.tex", "empty.tex", "missing.tex"}) {
        SCOPED_TRACE(name);
        try {
            Resource::open(dir / name);
            ADD_FAILURE() << "opened";
        } catch (const Error& error) {
            // The tool names the path as given; so does the library.
            std::string expected = toolOutcome(dir, name);
            if (const auto at = expected.find(name); at != std::string::npos)
                expected.replace(at, name.size(), dir / name);
            EXPECT_EQ(error.what(), expected);
        }
        // An Error is a std::runtime_error for callers that catch those.
        EXPECT_THROW(Resource::open(dir / name), std::runtime_error);
    }
}

// Every sample cut off at many lengths, and with bytes overwritten: the
// library's outcome is the tool's, and using what it opened throws nothing
// but lumenpull::Error (a crash fails the whole test program).
TEST(ApiErrors, CutAndDamagedFilesGiveTheToolsOutcome) {
    const test::TempDir dir;
    int compared = 0;
    for (const std::string& name : test::writeApiSamples(dir)) {
        const std::vector<uint8_t> whole = test::readFileBytes(dir / name);
        std::vector<std::vector<uint8_t>> variants;
        for (std::size_t length = 0; length < whole.size(); length += 1 + length / 8) {
            variants.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        }
        for (std::size_t at = 8; at < whole.size(); at += 17) {
            std::vector<uint8_t> damaged = whole;
            damaged[at] = static_cast<uint8_t>(damaged[at] ^ 0xA5);
            variants.push_back(std::move(damaged));
        }
        for (std::size_t v = 0; v < variants.size(); ++v) {
            const std::string outcome = libraryOutcome(variants[v]);
            try {
                useEverything(Resource::fromMemory(variants[v]));
            } catch (const std::exception&) {
                // Not opened: the outcome above says why.
            }
            // Against the tool for a sample of them (each is a process start).
            if (v % 11 == 0) {
                SCOPED_TRACE(name + " variant " + std::to_string(v));
                dir.writeFile("variant.tex", variants[v]);
                EXPECT_EQ(outcome, toolOutcome(dir, "variant.tex"));
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
}  // namespace lumenpull

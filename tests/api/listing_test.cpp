// The library's texture list against the tool's listing (-l) of the same
// files, from a path and from memory alike.

#include <gtest/gtest.h>

#include <sstream>

#include "api_samples.h"
#include "lumenpull/lumenpull.h"
#include "support/run_tool.h"

namespace lumenpull {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The listing's columns but the names, from the library's fields.
std::string listingColumns(const Texture& texture) {
    const TextureInfo& info = texture.info();
    std::string number = info.number ? std::to_string(*info.number) : "-";
    if (info.withoutPixels) number = "skip";
    std::string images = "1";
    if (info.arrangement == ImageArrangement::Cube) images = "cube";
    if (info.arrangement == ImageArrangement::Frames) {
        images = std::to_string(info.imageCount) + (info.imageCount == 1 ? " frame" : " frames");
    }
    std::string data = info.withoutPixels ? "no pixel data" : std::to_string(info.storedBytes) + " bytes";
    if (!info.withoutPixels && !info.rejected) {
        const Packing packing = texture.packing();
        if (packing.zlib) data += " zlib";
        if (packing.planes) data += " planes";
        if (packing.mips == Packing::Mips::LargestFirst) data += " mips-first";
        if (packing.mips == Packing::Mips::LargestLast) data += " mips-last";
        if (packing.shortData) data += " short";
    }
    return "\t" + number + "\t" + info.typeName + "\t" + std::to_string(info.width) + "x" +
           std::to_string(info.height) + "\t" + info.formatName + " (" + std::to_string(info.storedCode) + ")\t" +
           images + "\t" + data;
}

// The tool's listing line without its last column (the output names).
std::string withoutNames(const std::string& line) { return line.substr(0, line.rfind('\t')); }

std::string outcome(const Resource& resource) {
    if (resource.rejection()) return *resource.rejection();
    if (resource.textureObjects() == 0) return "no textures found";
    return std::to_string(resource.textureObjects()) + " texture(s)";
}

TEST(ApiTextureList, FieldsAreWhatTheToolListsFromAPathAndFromMemory) {
    const test::TempDir dir;
    for (const std::string& name : test::writeApiSamples(dir)) {
        SCOPED_TRACE(name);
        const test::ToolRun run = test::runLumenpull({"-l", name}, dir.path().string());
        const std::vector<std::string> listed = lines(run.output);
        ASSERT_FALSE(listed.empty());

        const Resource fromPath = Resource::open(dir / name);
        const Resource fromMemory = Resource::fromMemory(test::readFileBytes(dir / name));
        for (const Resource* resource : {&fromPath, &fromMemory}) {
            EXPECT_EQ(listed[0], name + ": " + outcome(*resource));
            const auto textures = resource->textures();
            ASSERT_EQ(textures.size() + 1, listed.size());
            for (std::size_t i = 0; i < textures.size(); ++i) {
                EXPECT_EQ(listingColumns(textures[i]), withoutNames(listed[i + 1]));
            }
        }
    }
}

}  // namespace
}  // namespace lumenpull

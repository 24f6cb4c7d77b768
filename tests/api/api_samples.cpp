#include "api_samples.h"

#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"

namespace lumenpull::test {
namespace {

constexpr uint32_t kSixFaces = 0x2;
constexpr uint32_t kTwoChannel = 0x80;
constexpr uint32_t kPlanes = 0x200;

std::vector<uint8_t> repeated(const std::vector<uint8_t>& image, int times) {
    std::vector<uint8_t> all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), image.begin(), image.end());
    return all;
}

// Stored HDR pixels: a different exponent and mantissas for every pixel.
std::vector<uint8_t> hdrPixels(int32_t width, int32_t height) {
    std::vector<uint8_t> bytes;
    for (int32_t i = 0; i < width * height; ++i) {
        bytes.push_back(static_cast<uint8_t>(i * 7));
        bytes.push_back(static_cast<uint8_t>(255 - i * 3));
        bytes.push_back(static_cast<uint8_t>(i * 13 + 5));
        bytes.push_back(static_cast<uint8_t>(120 + i % 16));
    }
    return bytes;
}

}  // namespace

std::vector<std::string> writeApiSamples(const TempDir& dir) {
    std::vector<std::string> names;
    const auto save = [&](const std::string& name, const ResourceBuilder& file, ContainerKind kind) {
        dir.writeFile(name, wrapPayload(kind, file.payload()));
        names.push_back(name);
    };
    const auto picture = makeGradient(8, 4);
    const auto bgra = storeBgra(picture);
    const auto wheel = makeColourWheel(8, 8);

    // Every 8-bit format of a current file in one file: numbered textures.
    ResourceBuilder formats(11);
    formats.addStandardTypes();
    formats.addStaticTexture(8, 4, 0, 2, bgra);
    formats.addStaticTexture(8, 4, kTwoChannel, 2, bgra);
    formats.addStaticTexture(8, 4, 0, 3, bgra);
    formats.addStaticTexture(8, 4, 0, 4, bgra);
    formats.addStaticTexture(8, 4, 0, 5, bgra);
    formats.addStaticTexture(8, 4, 0, 6, bgra);
    formats.addStaticTexture(8, 4, 0, 7, storeGrey(picture, 4));
    formats.addStaticTexture(8, 4, 0, 8, bgra);
    formats.addStaticTexture(8, 8, 0, 9, encodeBc1(wheel));
    formats.addStaticTexture(8, 8, 0, 10, encodeBc3(wheel));
    formats.addStaticTexture(8, 8, kTwoChannel, 10, encodeBc3(wheel));
    formats.addStaticTexture(8, 8, 0, 11, encodeBc3(wheel));
    formats.addStaticTexture(8, 8, 0, 15, encodeBc5(wheel));
    save("formats.tex", formats, ContainerKind::Plain);

    // Odd sizes: a BC1 picture 6 x 7 (bands and blocks cut), a 5 x 3 grey one.
    ResourceBuilder odd(11);
    odd.addStandardTypes();
    odd.addStaticTexture(6, 7, 0, 9, encodeBc1(makeCheckerboard(8, 8, 2)));
    odd.addStaticTexture(5, 3, 0, 7, std::vector<uint8_t>(60, 0x5A));
    save("odd.rsc", odd, ContainerKind::Work);

    // A cube with mip levels, zlib-compressed, largest images last.
    ResourceBuilder cube(11);
    cube.addStandardTypes();
    TextureFields faces = textureFields(8, 4, 3);
    faces.flags = kSixFaces;
    faces.trailing = TrailingPixels{
        0x0100, compressZlib(buildMipChain(repeated(bgra, 6), 6, smallerMipLevelsSize(8, 4, 32), 0x0100)),
        std::nullopt};
    cube.addTexture(TextureClass::Static, faces);
    save("cube.tex", cube, ContainerKind::Signed);

    // A BC1 cube with its chain first: DDS keeps the chain.
    ResourceBuilder chainCube(11);
    chainCube.addStandardTypes();
    TextureFields chainFaces = textureFields(8, 8, 9);
    chainFaces.flags = kSixFaces;
    chainFaces.pixels = buildMipChain(repeated(encodeBc1(wheel), 6), 6, smallerMipLevelsSize(8, 8, 4), 0);
    chainCube.addTexture(TextureClass::Static, chainFaces);
    save("chain_cube.tex", chainCube, ContainerKind::Plain);

    // Frames, a texture without pixels, HDR of both encodings and
    // plane-coded BC3 with its levels first.
    ResourceBuilder set(11);
    set.addStandardTypes();
    TextureFields frames = textureFields(8, 4, 5, repeated(bgra, 3));
    frames.frameCount = 3;
    set.addTexture(TextureClass::Anim, frames);
    set.addTexture(TextureClass::Color, textureFields(8, 4, 9));
    set.addStaticTexture(4, 3, 0, 12, hdrPixels(4, 3));
    TextureFields shared = textureFields(4, 3, 12);
    shared.trailing = TrailingPixels{0x0100, hdrPixels(4, 3), std::nullopt};
    set.addTexture(TextureClass::Static, shared);
    std::vector<uint8_t> chain = encodeBc3(wheel);
    chain.resize(chain.size() + smallerMipLevelsSize(8, 8, 8), 0);
    TextureFields planes = textureFields(8, 8, 10, encodePlanes(chain, 10));
    planes.flags = kPlanes;
    set.addTexture(TextureClass::DynamicLightStatic, planes);
    save("set.rsc", set, ContainerKind::Work);

    // Data for two and a half of six faces, and an HDR image cut short.
    ResourceBuilder cut(11);
    cut.addStandardTypes();
    TextureFields shortFaces = textureFields(8, 4, 3, repeated(bgra, 2));
    shortFaces.pixels.resize(shortFaces.pixels.size() + bgra.size() / 2, 7);
    shortFaces.flags = kSixFaces;
    cut.addTexture(TextureClass::Static, shortFaces);
    std::vector<uint8_t> shortHdr = hdrPixels(4, 3);
    shortHdr.resize(20);
    cut.addStaticTexture(4, 3, 0, 12, shortHdr);
    save("short.tex", cut, ContainerKind::Signed);

    // The second texture's code is rejected: the walk ends there.
    ResourceBuilder rejected(11);
    rejected.addStandardTypes();
    rejected.addStaticTexture(8, 4, 0, 3, bgra);
    rejected.addStaticTexture(8, 4, 0, 13, bgra);
    rejected.addStaticTexture(8, 4, 0, 3, bgra);
    save("rejected.tex", rejected, ContainerKind::Plain);

    // A legacy file (24-bit pixels), and one single texture.
    ResourceBuilder legacy(9);
    legacy.addStandardTypes();
    legacy.addStaticTexture(8, 4, 0, 0, storeBgr(picture));
    save("legacy.tex", legacy, ContainerKind::Plain);

    // No texture at all.
    ResourceBuilder empty(11);
    empty.addStandardTypes();
    save("empty.tex", empty, ContainerKind::Plain);
    return names;
}

}  // namespace lumenpull::test

// Writes the bundled sample resource files into a folder: one file per kind
// of output the converter produces, each holding a recognisable picture so
// that orientation and channel order can be checked at a glance (the red
// marker of the checkerboard sits in the top-left corner; the gradient grows
// red to the right and green downwards; the colour wheel has red to the right).

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "pixels/texture_flags.h"
#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"

namespace {

using namespace lumenpull::test;

using lumenpull::PlaneCoded;
using lumenpull::SixFaces;
using lumenpull::TwoChannel;

void save(const std::filesystem::path& folder, const std::string& name, ContainerKind kind,
          const ResourceBuilder& file) {
    const std::vector<uint8_t> bytes = wrapPayload(kind, file.payload());
    std::filesystem::create_directories((folder / name).parent_path());
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::printf("%s (%s container, %zu bytes)\n", name.c_str(), containerKindName(kind).c_str(), bytes.size());
}

ResourceBuilder newFile(uint32_t formatVersion = 11) {
    ResourceBuilder file(formatVersion);
    file.addStandardTypes();
    return file;
}

TextureFields texture(int32_t width, int32_t height, int32_t format, uint32_t flags = 0) {
    TextureFields desc;
    desc.width = width;
    desc.height = height;
    desc.format = format;
    desc.flags = flags;
    return desc;
}

// A picture with its smaller mip levels behind it, zlib-compressed.
std::vector<uint8_t> compressedWithMips(const std::vector<uint8_t>& largest, int32_t width, int32_t height,
                                        int bitsPerPixel, uint16_t layoutWord, uint32_t images = 1) {
    const auto chain = buildMipChain(largest, images, smallerMipLevelsSize(width, height, bitsPerPixel), layoutWord);
    return compressZlib(chain);
}

// A sky: blue at the top, bright near the horizon and a sun far brighter than
// 1.0 in the upper right, stored with one exponent byte per pixel.
std::vector<uint8_t> skyExponentBytes(int32_t width, int32_t height) {
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double dx = x - width * 0.75, dy = y - height * 0.25;
            const bool sun = dx * dx + dy * dy < (width / 10.0) * (width / 10.0);
            const uint8_t exponent = sun ? 160 : 128;  // the sun is about 16 times brighter
            const auto t = static_cast<uint8_t>(255 * y / std::max(1, height - 1));
            pixels.insert(pixels.end(), {static_cast<uint8_t>(sun ? 200 : 255 - t / 2),     // blue
                                         static_cast<uint8_t>(sun ? 230 : 120 + t / 3),     // green
                                         static_cast<uint8_t>(sun ? 255 : 60 + t * 3 / 4),  // red
                                         exponent});
        }
    }
    return pixels;
}

// The same kind of sky in the shared-exponent encoding: 9-bit mantissas for
// red, green and blue and a 5-bit exponent in one little-endian word.
std::vector<uint8_t> skySharedExponent(int32_t width, int32_t height) {
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double dx = x - width * 0.25, dy = y - height * 0.25;
            const bool sun = dx * dx + dy * dy < (width / 10.0) * (width / 10.0);
            const uint32_t t = static_cast<uint32_t>(511 * y / std::max(1, height - 1));
            const uint32_t red = sun ? 511 : 120 + t / 2, green = sun ? 480 : 240 + t / 4,
                           blue = sun ? 400 : 511 - t / 2;
            const uint32_t exponent = sun ? 19 : 15;  // 15: mantissa / 512
            const uint32_t word = red | green << 9 | blue << 18 | exponent << 27;
            pixels.insert(pixels.end(), {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                                         static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)});
        }
    }
    return pixels;
}

// Grey as plane decoding gives it: the value in blue, green and red, 0 after.
std::vector<uint8_t> greyPixels(const RgbaImage& image) {
    std::vector<uint8_t> pixels = storeGrey(image, 4);
    for (size_t i = 0; i < pixels.size(); i += 4) pixels[i + 1] = pixels[i + 2] = pixels[i];
    return pixels;
}

// Tints a picture for one face or frame, so the images of a texture differ.
RgbaImage tinted(RgbaImage image, int index) {
    static const uint8_t tints[6][3] = {{255, 64, 64},  {64, 255, 64},  {64, 64, 255},
                                        {255, 255, 64}, {64, 255, 255}, {255, 64, 255}};
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        for (int c = 0; c < 3; ++c)
            image.rgba[i + c] = static_cast<uint8_t>(image.rgba[i + c] * tints[index % 6][c] / 255);
    }
    return image;
}

void writeSamples(const std::filesystem::path& folder) {
    const int32_t size = 128;
    const RgbaImage gradient = makeGradient(size, size);
    const RgbaImage wheel = makeColourWheel(size, size);
    const RgbaImage checker = makeCheckerboard(size, size, 16);

    {  // 24-bit colour from 32-bit stored pixels, inline and uncompressed.
        ResourceBuilder file = newFile();
        file.addStaticTexture(size, size, 0, 2, storeBgra(gradient));
        save(folder, "colour/gradient_rgb.tex", ContainerKind::Plain, file);
    }
    {  // 32-bit colour with alpha, zlib-compressed with its mip chain.
        ResourceBuilder file = newFile();
        TextureFields desc = texture(size, size, 3);
        desc.pixels = compressedWithMips(storeBgra(wheel), size, size, 32, 0);
        file.addTexture(TextureClass::Static, desc);
        save(folder, "colour/wheel_rgba.tex", ContainerKind::Signed, file);
    }
    {  // 8-bit grey from delta-coded planes.
        ResourceBuilder file = newFile();
        TextureFields desc = texture(size, size, 7, PlaneCoded);
        desc.pixels = encodePlanes(greyPixels(checker), 7);
        file.addTexture(TextureClass::DynamicLightStatic, desc);
        save(folder, "grey/checker_grey.tex", ContainerKind::Work, file);
    }
    {  // Two-channel colour: only red and green carry data, blue is 255.
        ResourceBuilder file = newFile();
        file.addStaticTexture(size, size, TwoChannel, 2, storeBgra(gradient));
        save(folder, "colour/gradient_two_channel.tex", ContainerKind::Plain, file);
    }
    {  // Block formats: BC1 with mips, BC3 plane-coded, BC5 two-channel.
        ResourceBuilder file = newFile();
        TextureFields bc1 = texture(size, size, 9);
        bc1.pixels = compressedWithMips(encodeBc1(checker), size, size, 4, 0);
        file.addTexture(TextureClass::Static, bc1);
        save(folder, "blocks/checker_bc1.tex", ContainerKind::Plain, file);

        ResourceBuilder bc3File = newFile();
        TextureFields bc3 = texture(size, size, 10, PlaneCoded);
        bc3.pixels = compressZlib(encodePlanes(encodeBc3(wheel), 10));
        bc3File.addTexture(TextureClass::Static, bc3);
        save(folder, "blocks/wheel_bc3.tex", ContainerKind::Signed, bc3File);

        ResourceBuilder bc5File = newFile();
        bc5File.addStaticTexture(size, size, 0, 15, encodeBc5(gradient));
        save(folder, "blocks/gradient_bc5.tex", ContainerKind::Work, bc5File);
    }
    {  // A cube map: six tinted faces, each with its mips stored largest last
       // behind the body (layout word 0x0100).
        ResourceBuilder file = newFile();
        std::vector<uint8_t> faces;
        for (int face = 0; face < 6; ++face) {
            const auto stored = storeBgra(tinted(checker, face));
            faces.insert(faces.end(), stored.begin(), stored.end());
        }
        TextureFields desc = texture(size, size, 3, SixFaces);
        desc.trailing = TrailingPixels{0x0100, compressedWithMips(faces, size, size, 32, 0x0100, 6), std::nullopt};
        file.addTexture(TextureClass::Static, desc);
        save(folder, "cube/checker_cube.tex", ContainerKind::Signed, file);
    }
    {  // An animation of four frames of the colour wheel in changing tints.
        ResourceBuilder file = newFile();
        std::vector<uint8_t> frames;
        for (int frame = 0; frame < 4; ++frame) {
            const auto stored = storeBgra(tinted(wheel, frame));
            frames.insert(frames.end(), stored.begin(), stored.end());
        }
        TextureFields desc = texture(size, size, 5);
        desc.frameCount = 4;
        desc.pixels = compressZlib(frames);
        file.addTexture(TextureClass::Anim, desc);
        save(folder, "anim/wheel_frames.tex", ContainerKind::Plain, file);
    }
    {  // High dynamic range in both encodings.
        ResourceBuilder file = newFile();
        file.addStaticTexture(256, 128, 0, 12, skyExponentBytes(256, 128));
        save(folder, "hdr/sky_exponent_byte.tex", ContainerKind::Plain, file);

        ResourceBuilder shared = newFile();
        TextureFields desc = texture(256, 128, 12);
        desc.trailing = TrailingPixels{0x0100, skySharedExponent(256, 128), std::nullopt};
        shared.addTexture(TextureClass::Static, desc);
        save(folder, "hdr/sky_shared_exponent.tex", ContainerKind::Work, shared);
    }
    {  // A legacy file (meta-data version 9, older layouts): stored code 0 is
       // 24-bit colour stored as 3 bytes per pixel; code 6 is grey in 3 bytes.
        StandardTypeOptions options;
        options.versions.baseTexture = 8;
        options.versions.staticTexture = 4;
        options.versions.resource = 6;
        ResourceBuilder file(9);
        file.addStandardTypes(options);
        file.addStaticTexture(size, size, 0, 0, storeBgr(wheel));
        file.addStaticTexture(size, size, 0, 6, storeGrey(gradient, 3));
        save(folder, "legacy/wheel_and_gradient.rsc", ContainerKind::Plain, file);
    }
    {  // Several textures in one file, numbered in the order of their bodies.
        ResourceBuilder file = newFile();
        file.addStaticTexture(size, size, 0, 2, storeBgra(checker));
        file.addStaticTexture(size, size, 0, 3, storeBgra(wheel));
        file.addTexture(TextureClass::Color, texture(size, size, 9));  // no pixel data: skipped
        file.addStaticTexture(size, size, 0, 7, storeGrey(gradient, 4));
        save(folder, "multi/three_pictures.rsc", ContainerKind::Plain, file);
    }
}

}  // namespace

namespace {

constexpr const char* kUsage =
    "usage: make_samples <folder>\n"
    "writes one sample resource file of every kind below <folder> (created as needed)\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string_view argument = argc == 2 ? argv[1] : "";
    if (argument == "-h" || argument == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // Anything else that looks like a key is one, not a folder to fill (a
    // folder of that name is still reached as ./-name).
    if (argc != 2 || argument.empty() || argument.front() == '-') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    writeSamples(argv[1]);
    return 0;
}

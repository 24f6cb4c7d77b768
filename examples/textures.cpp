// Lists the textures of a resource file, decodes every image and, given an
// output folder, writes each texture's first image there as PNG (8-bit) or
// OpenEXR (high dynamic range).
//
//   textures <resource file> [<output folder>]

#include <lumenpull/lumenpull.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* arrangementName(lumenpull::ImageArrangement arrangement) {
    switch (arrangement) {
        case lumenpull::ImageArrangement::Single: return "single";
        case lumenpull::ImageArrangement::Cube: return "cube";
        case lumenpull::ImageArrangement::Frames: return "frames";
    }
    return "?";
}

// The first pixel's values, as a check that something was decoded.
std::string firstPixel(const lumenpull::Image& image) {
    std::string text;
    const uint32_t channels = image.shape.channels();
    for (uint32_t c = 0; c < channels && image.shape.width * image.shape.height != 0; ++c) {
        if (!text.empty()) text += ",";
        text += image.floats.empty() ? std::to_string(image.bytes[c]) : std::to_string(image.floats[c]);
    }
    return "(" + text + ")";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <resource file> [<output folder>]\n", argv[0]);
        return 2;
    }
    try {
        const lumenpull::Resource resource = lumenpull::Resource::open(argv[1]);
        std::printf("%s: %llu texture object(s)\n", argv[1],
                    static_cast<unsigned long long>(resource.textureObjects()));
        for (const lumenpull::Texture& texture : resource.textures()) {
            const lumenpull::TextureInfo& info = texture.info();
            std::printf("  %s %dx%d %s (%u) %s x%d, %llu bytes", info.typeName.c_str(), info.width, info.height,
                        info.formatName.c_str(), info.storedCode, arrangementName(info.arrangement), info.imageCount,
                        static_cast<unsigned long long>(info.storedBytes));
            if (info.rejected || info.withoutPixels) {
                std::printf(", %s\n", info.rejected ? "rejected" : "no pixel data");
                continue;
            }
            const lumenpull::Packing packing = texture.packing();
            std::printf("%s%s\n", packing.zlib ? ", zlib" : "", packing.planes ? ", planes" : "");
            // Every face or frame, decoded from one unpacking of the data.
            const std::vector<lumenpull::Image> images = texture.images();
            for (std::size_t i = 0; i < images.size(); ++i) {
                std::printf("    image %zu: %ux%u, first pixel %s\n", i, images[i].shape.width, images[i].shape.height,
                            firstPixel(images[i]).c_str());
            }
            if (argc == 3 && !images.empty()) {
                const bool hdr = info.highDynamicRange;
                const std::string path = std::string(argv[2]) + "/" + info.typeName + "_" +
                                         std::to_string(info.number.value_or(0)) + (hdr ? ".exr" : ".png");
                texture.write(0, hdr ? lumenpull::FileType::Exr : lumenpull::FileType::Png, path);
                std::printf("    wrote %s\n", path.c_str());
            }
        }
        if (const auto rejection = resource.rejection()) std::printf("%s\n", rejection->c_str());
    } catch (const lumenpull::Error& error) {
        // The message the command-line tool prints for the same file.
        std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}

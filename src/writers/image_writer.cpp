#include "writers/image_writer.h"

#include <array>

#include "writers/dds_writer.h"
#include "writers/exr_writer.h"
#include "writers/png_writer.h"
#include "writers/radiance_writer.h"
#include "writers/tga_writer.h"

namespace lumenpull {
namespace {

using Request = ImageRequest;

constexpr std::array kWriters{
    ImageWriter{ImageType::Tga, "tga", true, false,
                [](const std::string& name, const TextureImage& texture, const Request& r, ImageOutput& output) {
                    return writeTga(name, texture, r.sourceBitsPerPixel, r.uncompressed, output);
                },
                [](const std::string& name, const TextureImage& texture, const Request& r, const ImageOutput& output,
                   ImageFiles& files) { listTgaFiles(name, texture, r.sourceBitsPerPixel, output, files); }},
    ImageWriter{ImageType::Png, "png", true, false,
                [](const std::string& name, const TextureImage& texture, const Request& r, ImageOutput& output) {
                    return writePng(name, texture, r.sourceBitsPerPixel, output);
                },
                [](const std::string& name, const TextureImage& texture, const Request& r, const ImageOutput& output,
                   ImageFiles& files) { listPngFiles(name, texture, r.sourceBitsPerPixel, output, files); }},
    ImageWriter{ImageType::Hdr, "hdr", false, true,
                [](const std::string& name, const TextureImage& texture, const Request& r, ImageOutput& output) {
                    return writeRadiance(name, texture, r.sharedExponent, r.uncompressed, output);
                },
                [](const std::string& name, const TextureImage& texture, const Request&, const ImageOutput& output,
                   ImageFiles& files) { listRadianceFiles(name, texture, output, files); }},
    ImageWriter{
        ImageType::Dds, "dds", true, true,
        [](const std::string& name, const TextureImage& texture, const Request& r, ImageOutput& output) {
            return writeDds(name, texture, r.sourceBitsPerPixel, r.sharedExponent, r.mipLevels, output);
        },
        [](const std::string& name, const TextureImage& texture, const Request& r, const ImageOutput& output,
           ImageFiles& files) { listDdsFiles(name, texture, r.sourceBitsPerPixel, r.mipLevels, output, files); }},
    ImageWriter{ImageType::Exr, "exr", false, true,
                [](const std::string& name, const TextureImage& texture, const Request& r, ImageOutput& output) {
                    return writeExr(name, texture, r.sharedExponent, output);
                },
                [](const std::string& name, const TextureImage& texture, const Request&, const ImageOutput& output,
                   ImageFiles& files) { listExrFiles(name, texture, output, files); }},
};

}  // namespace

std::span<const ImageWriter> imageWriters() { return kWriters; }

const ImageWriter& imageWriter(ImageType type) {
    for (const ImageWriter& writer : kWriters) {
        if (writer.type == type) return writer;
    }
    return kWriters.front();  // every enumerator has its row
}

}  // namespace lumenpull

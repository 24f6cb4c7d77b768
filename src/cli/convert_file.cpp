#include "cli/convert_file.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>

#include "bytes/little_endian.h"
#include "cli/output_naming.h"
#include "cli/platform_files.h"
#include "image/dds_writer.h"
#ifdef LUMENPULL_EXR
#include "image/exr_writer.h"
#endif
#include "image/output_file.h"
#include "image/pixel_format.h"
#include "image/png_writer.h"
#include "image/radiance_writer.h"
#include "image/texture_flags.h"
#include "image/texture_image.h"
#include "image/tga_writer.h"
#include "resource/object_walk.h"
#include "resource/read_word.h"
#include "resource/resource_file.h"
#include "stream/open_stream.h"
#include "stream/stream_errors.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"

namespace lumenpull {
namespace {

constexpr uint16_t kLargestFirst = 0x0000;
constexpr uint16_t kLargestLast = 0x0100;

// A body whose inline pixel array is empty may be followed by a pixel block:
// a layout word of 0x0000 or 0x0100, an i32 byte count and the bytes. Any
// other word means there is no block, and it is only peeked. Returns the word
// when a block was read, 0 otherwise.
uint16_t readTrailingPixelBlock(Stream& stream, std::vector<uint8_t>& pixelData) {
    uint8_t word[2];
    stream.Peek(word, 2);
    const uint16_t layoutWord = loadLittleEndian16(word);
    if (layoutWord != kLargestFirst && layoutWord != kLargestLast) return 0;
    stream.Skip(2);
    const int32_t size = ReadInt32(stream);
    // A negative size is taken as no pixel data; the block's eight bytes are consumed.
    if (size > 0) {
        if (static_cast<uint64_t>(size) > stream.PayloadBytesLeft()) ThrowErrorReading();
        pixelData.resize(static_cast<size_t>(size));
        stream.Read(pixelData.data(), static_cast<uint32_t>(size));
    }
    return layoutWord;
}

// Six faces for a cube; the frame count for a type named exactly
// CAnimTexture (a differently named descendant has one image); one otherwise.
// A negative frame count gives no images.
int32_t imageCountOf(const CBaseTexture& texture, const DataType& type) {
    if (texture.textureFlags & SixFaces) return 6;
    if (type.name == "CAnimTexture") {
        if (const auto* anim = dynamic_cast<const CAnimTexture*>(&texture)) return std::max(anim->frameCount, 0);
    }
    return 1;
}

class FileConversion {
public:
    FileConversion(const std::string& path, const std::string& input, const ToolOptions& options)
        : path_(path), input_(input), options_(options) {}

    // The outcome text that ends the file's line. Everything made for the
    // file is released on every path; images written before a failure stay.
    std::string run(ImageOutput& output) {
        std::unique_ptr<Stream> stream;
        try {
            stream = OpenStream(path_, "r", 1, true, true);
        } catch (const std::string& text) {
            return "error opening reading stream: " + text;
        } catch (const std::exception& error) {
            return error.what();
        }
        ResourceFile file;
        try {
            file.ReadMetaData(*stream, ReadDepth::Full);
        } catch (const std::string& text) {
            return "error reading meta data: " + text;
        } catch (const std::exception& error) {
            return error.what();
        }
        try {
            return convertObjects(*stream, file, output);
        } catch (const std::string& text) {
            return text;
        } catch (const std::exception& error) {
            return error.what();
        }
    }

private:
    std::string convertObjects(Stream& stream, ResourceFile& file, ImageOutput& output) {
        ObjectWalk walk(file, stream);
        const uint64_t texturesFound = walk.MakeObjects();
        if (texturesFound == 0) return "no textures found";

        // The bodies, and the images of every texture with pixels.
        base_ = imageBase(input_, path_, options_.outputFolder, options_.noBig);
        numbered_ = texturesFound > 1;
        while (const std::optional<BodyRecord> body = walk.NextBody()) {
            CBaseTexture* texture = body->texture();
            if (texture == nullptr) continue;
            uint16_t layoutWord = 0;
            if (texture->pixelData.empty()) layoutWord = readTrailingPixelBlock(stream, texture->pixelData);
            if (texture->pixelData.empty()) continue;
            if (auto rejected = writeImages(*texture, *body->type, file.FormatVersion(), layoutWord, output)) {
                return *rejected;
            }
        }
        return std::to_string(texturesFound) + " texture(s) converted into " + std::to_string(imagesWritten_) +
               " image(s)";
    }

    // Normalises, unpacks and writes one texture, then frees its pixels.
    // Returns the outcome text when its stored format code is rejected.
    std::optional<std::string> writeImages(CBaseTexture& texture, const DataType& type, uint32_t formatVersion,
                                           uint16_t layoutWord, ImageOutput& output) {
        const int32_t imageCount = imageCountOf(texture, type);
        const auto format = normaliseStoredFormat(static_cast<uint32_t>(texture.pixelFormat), formatVersion);
        if (!format) return "Invalid texture format " + std::to_string(static_cast<uint32_t>(texture.pixelFormat));
        texture.pixelFormat = format->canonical;

        UnpackParameters unpack;
        unpack.width = texture.width;
        unpack.height = texture.height;
        unpack.textureFlags = texture.textureFlags;
        unpack.pixelFormat = static_cast<PixelFormat>(format->canonical);
        unpack.bitsPerPixel = format->bitsPerPixel;
        unpack.imageCount = static_cast<uint32_t>(imageCount);
        unpack.layoutWord = layoutWord;
        const bool highDynamicRange = format->canonical == static_cast<int32_t>(PixelFormat::Hdr32);
        const ImageType imageType =
            options_.types.forKind(highDynamicRange ? ImageKind::HighDynamicRange : ImageKind::EightBit);
        // DDS files carry a standard mip chain where there is one; every other type the largest images.
        const UnpackedLevels unpacked = imageType == ImageType::Dds
                                            ? unpackedWithMipChain(std::move(texture.pixelData), unpack)
                                            : UnpackedLevels{unpackedPixels(std::move(texture.pixelData), unpack), 1};
        std::vector<uint8_t>().swap(texture.pixelData);  // the stored bytes are unpacked's now, freed once written

        texture.imageCount = imageCount;
        const std::string imageName = textureImageName(base_.name, numbered_, textureIndex_++);
        const TextureImage image{texture.width,       texture.height,     texture.textureFlags,
                                 texture.pixelFormat, texture.imageCount, unpacked.pixels.images()};
        // Made when the first image of the file is due, so a file without
        // any leaves no empty folder behind.
        if (!base_.folder.empty() && !folderMade_) {
            if (!makeFolders(base_.folder)) throw std::string("Error creating output folder");
            folderMade_ = true;
        }
        // The writers leave out images the pixel data does not reach, so the
        // count is what they wrote (the image count for well-formed data).
        const bool sharedExponent = layoutWord != 0;
        switch (imageType) {
            case ImageType::Hdr:
                imagesWritten_ += writeRadiance(imageName, image, sharedExponent, options_.uncompressed, output);
                break;
            case ImageType::Png: imagesWritten_ += writePng(imageName, image, format->bitsPerPixel, output); break;
            case ImageType::Tga:
                imagesWritten_ += writeTga(imageName, image, format->bitsPerPixel, options_.uncompressed, output);
                break;
            case ImageType::Dds:
                imagesWritten_ += writeDds(imageName, image, format->bitsPerPixel, sharedExponent, unpacked.levels, output);
                break;
            case ImageType::Exr:
#ifdef LUMENPULL_EXR
                imagesWritten_ += writeExr(imageName, image, sharedExponent, output);
                break;
#else
                throw std::string("This build has no OpenEXR output");
#endif
        }
        return std::nullopt;
    }

    const std::string& path_;
    const std::string& input_;
    const ToolOptions& options_;
    ImageBase base_;
    bool folderMade_ = false;
    bool numbered_ = false;
    uint64_t textureIndex_ = 0;  // counts only the textures that reach a writer
    int64_t imagesWritten_ = 0;
};

}  // namespace

std::string convertedOutcome(const std::string& path, const std::string& input, const ToolOptions& options,
                             ImageOutput& output) {
    return FileConversion(path, input, options).run(output);
}

void convertFile(const std::string& path, const std::string& input, const ToolOptions& options, std::ostream& out) {
    // The line is begun before the file is opened and ended by one outcome.
    out << path << ": " << std::flush;
    ImageOutput output(path);
    out << convertedOutcome(path, input, options, output) << std::endl;
}

}  // namespace lumenpull

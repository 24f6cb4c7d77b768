#include "cli/convert_file.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/output_naming.h"
#include "cli/plain_report.h"
#include "cli/platform_files.h"
#include "cli/texture_walk.h"
#include "image/dds_writer.h"
#include "image/exr_writer.h"
#include "image/output_file.h"
#include "image/pixel_format.h"
#include "image/png_writer.h"
#include "image/radiance_writer.h"
#include "image/texture_flags.h"
#include "image/texture_image.h"
#include "image/tga_writer.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/open_stream.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"

namespace lumenpull {
namespace {

// Lists the files the writer of `type` writes for a texture, named and
// counted as it does, in `files`; throws what the writer throws there.
void listFiles(ImageType type, const std::string& imageName, const TextureImage& image, uint8_t bitsPerPixel,
               uint32_t mipLevels, const ImageOutput& output, ImageFiles& files) {
    switch (type) {
        case ImageType::Tga: listTgaFiles(imageName, image, bitsPerPixel, output, files); break;
        case ImageType::Png: listPngFiles(imageName, image, bitsPerPixel, output, files); break;
        case ImageType::Hdr: listRadianceFiles(imageName, image, output, files); break;
        case ImageType::Dds: listDdsFiles(imageName, image, bitsPerPixel, mipLevels, output, files); break;
        case ImageType::Exr: listExrFiles(imageName, image, output, files); break;
    }
}

class FileConversion {
public:
    FileConversion(const std::string& path, const std::string& input, const ToolOptions& options)
        : input_(input), options_(options) {
        report_.path = path;
    }

    // Everything the file came to, but the images put in place (see
    // addPlacedImages). Everything made for the file is released on every
    // path; images written before a failure stay.
    FileReport run(ImageOutput& output) {
        const std::string& path = report_.path;
        std::unique_ptr<Stream> stream;
        try {
            stream = OpenStream(path, "r", 1, true, true);
        } catch (const std::string& text) {
            return failed("error opening reading stream: " + text);
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        ResourceFile file;
        try {
            file.ReadMetaData(*stream, ReadDepth::Full);
        } catch (const std::string& text) {
            return failed("error reading meta data: " + text);
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        try {
            convertObjects(*stream, file, output);
        } catch (const std::string& text) {
            return failed(text);
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        return std::move(report_);
    }

private:
    FileReport failed(std::string text) {
        report_.outcome = std::move(text);
        report_.failed = true;
        return std::move(report_);
    }

    void convertObjects(Stream& stream, ResourceFile& file, ImageOutput& output) {
        ObjectWalk walk(file, stream);
        const uint64_t texturesFound = walk.MakeObjects();
        report_.textures = texturesFound;
        if (texturesFound == 0) {
            report_.outcome = "no textures found";
            return;
        }

        // The bodies, and the images of every texture with pixels.
        base_ = imageBase(input_, report_.path, options_.outputFolder, options_.noBig);
        numbered_ = texturesFound > 1;
        while (const std::optional<BodyRecord> body = walk.NextBody()) {
            CBaseTexture* texture = body->texture();
            if (texture == nullptr) continue;
            uint16_t layoutWord = 0;
            if (texture->pixelData.empty()) layoutWord = readTrailingPixelBlock(stream, texture->pixelData);
            if (texture->pixelData.empty()) {
                if (options_.listOnly) report_.rows.push_back(skippedRow(*texture, *body->type, file.FormatVersion()));
                continue;
            }
            if (auto rejected = convertTexture(*texture, *body->type, file.FormatVersion(), layoutWord, output)) {
                report_.outcome = *rejected;
                report_.failed = true;
                return;
            }
        }
        report_.outcome = std::to_string(texturesFound) + " texture(s)";
        if (!options_.listOnly) report_.outcome += " converted into " + std::to_string(imagesWritten_) + " image(s)";
    }

    // What a listing knows of a texture before its pixels are looked at.
    static TextureRow describedRow(const CBaseTexture& texture, const DataType& type) {
        TextureRow row;
        row.typeName = type.name.str();
        row.width = texture.width;
        row.height = texture.height;
        row.storedCode = static_cast<uint32_t>(texture.pixelFormat);
        row.twoChannel = (texture.textureFlags & TwoChannel) != 0;
        row.imageCount = imageCountOf(texture, type);
        if (texture.textureFlags & SixFaces) {
            row.images = TextureRow::Images::Cube;
        } else if (type.name == "CAnimTexture") {
            row.images = TextureRow::Images::Frames;
        }
        return row;
    }

    // A texture without pixel data, which the conversion passes over
    // without looking at its format code.
    static TextureRow skippedRow(const CBaseTexture& texture, const DataType& type, uint32_t formatVersion) {
        TextureRow row = describedRow(texture, type);
        row.skipped = true;
        if (const auto format = normaliseStoredFormat(row.storedCode, formatVersion)) {
            row.canonicalFormat = format->canonical;
        }
        return row;
    }

    // Normalises, unpacks and writes (or lists) one texture, then frees its
    // pixels. Returns the outcome text when its stored format code is rejected.
    std::optional<std::string> convertTexture(CBaseTexture& texture, const DataType& type, uint32_t formatVersion,
                                              uint16_t layoutWord, ImageOutput& output) {
        TextureRow row = describedRow(texture, type);
        row.storedBytes = texture.pixelData.size();
        const int32_t imageCount = row.imageCount;
        const auto format = normaliseStoredFormat(row.storedCode, formatVersion);
        if (!format) {
            std::string outcome = "Invalid texture format " + std::to_string(row.storedCode);
            if (options_.listOnly) report_.rows.push_back(std::move(row));
            return outcome;
        }
        texture.pixelFormat = format->canonical;
        row.canonicalFormat = format->canonical;

        const UnpackParameters unpack = unpackParameters(texture, *format, imageCount, layoutWord);
        const bool highDynamicRange = format->canonical == static_cast<int32_t>(PixelFormat::Hdr32);
        const ImageType imageType =
            options_.types.forKind(highDynamicRange ? ImageKind::HighDynamicRange : ImageKind::EightBit);
        // DDS files carry a standard mip chain where there is one; every other type the largest images.
        const UnpackedLevels unpacked = imageType == ImageType::Dds
                                            ? unpackedWithMipChain(std::move(texture.pixelData), unpack)
                                            : UnpackedLevels{unpackedPixels(std::move(texture.pixelData), unpack), 1};
        std::vector<uint8_t>().swap(texture.pixelData);  // the stored bytes are unpacked's now, freed once written
        row.findings = unpacked.pixels.findings();

        texture.imageCount = imageCount;
        if (numbered_) row.number = textureIndex_++;
        const std::string imageName = textureImageName(base_.name, row.number.has_value(), row.number.value_or(0));
        const TextureImage image{texture.width,       texture.height,     texture.textureFlags,
                                 texture.pixelFormat, texture.imageCount, unpacked.pixels.images()};
        const bool sharedExponent = layoutWord != 0;
        if (options_.listOnly) {
            // In the list before its files are: should naming them fail as
            // writing them would, the names up to there stay with it.
            TextureRow& listed = report_.rows.emplace_back(std::move(row));
            listFiles(imageType, imageName, image, format->bitsPerPixel, unpacked.levels, output, listed.output);
            report_.images += listed.output.images;
            return std::nullopt;
        }
        // Made when the first image of the file is due, so a file without
        // any leaves no empty folder behind.
        if (!base_.folder.empty() && !folderMade_) {
            if (!makeFolders(base_.folder)) throw std::string("Error creating output folder");
            folderMade_ = true;
        }
        // The writers leave out images the pixel data does not reach, so the
        // count is what they wrote (the image count for well-formed data).
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
            case ImageType::Exr: imagesWritten_ += writeExr(imageName, image, sharedExponent, output); break;
        }
        return std::nullopt;
    }

    const std::string& input_;
    const ToolOptions& options_;
    FileReport report_;
    ImageBase base_;
    bool folderMade_ = false;
    bool numbered_ = false;
    uint64_t textureIndex_ = 0;  // counts only the textures that reach a writer
    int64_t imagesWritten_ = 0;
};

}  // namespace

FileReport convertedReport(const std::string& path, const std::string& input, const ToolOptions& options,
                           ImageOutput& output) {
    return FileConversion(path, input, options).run(output);
}

void addPlacedImages(FileReport& report, ImageOutput& output) {
    try {
        output.commitFinished();
    } catch (const std::string& text) {
        report.outcome = text;
        report.failed = true;
    } catch (const std::exception& error) {
        report.outcome = error.what();
        report.failed = true;
    }
    const std::vector<std::string>& placed = output.placedFiles();
    report.written.insert(report.written.end(), placed.begin(), placed.end());
    report.images += output.placedImages();
}

void convertFile(const std::string& path, const std::string& input, const ToolOptions& options, std::ostream& out) {
    // The line is begun before the file is opened and ended by one outcome.
    out << plainReportStart(path) << std::flush;
    ImageOutput output(path);
    FileReport report = convertedReport(path, input, options, output);
    addPlacedImages(report, output);
    out << plainReportEnd(report) << std::flush;
}

}  // namespace lumenpull

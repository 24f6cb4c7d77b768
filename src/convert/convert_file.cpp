#include "convert/convert_file.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "bytes/little_endian.h"
#include "convert/import_file.h"
#include "convert/described_row.h"
#include "convert/output_naming.h"
#include "convert/root_folder.h"
#include "patch/texture_walk.h"
#include "output/folders.h"
#include "writers/image_writer.h"
#include "output/output_file.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_format_name.h"
#include "pixels/texture_flags.h"
#include "pixels/texture_image.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/open_stream.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

class FileConversion {
public:
    FileConversion(const std::string& path, const std::string& input, const ToolOptions& options, BufferPool& buffers)
        : input_(input), options_(options), buffers_(buffers) {
        report_.path = path;
    }

    // Everything the file came to, but the images put in place (see
    // addPlacedImages). Everything made for the file is released on every
    // path; images written before a failure stay.
    FileReport run(ImageOutput& output) {
        const std::string& path = report_.path;
        if (options_.root) {
            // Refused before it is opened: outside the root the file has no
            // place below the output folder. A path that is the root itself
            // has no name there either.
            belowRoot_ = pathBelowRoot(path, *options_.root);
            if (!belowRoot_ || belowRoot_->empty()) return failed("not below --root " + options_.root->given);
        }
        std::unique_ptr<Stream> stream;
        try {
            stream = OpenStream(path, "r", 1, true, true);
        } catch (const Error& error) {
            return failed(std::string("error opening reading stream: ") + error.what());
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        report_.bytesRead = stream->Size();
        ResourceFile file;
        try {
            file.ReadMetaData(*stream, ReadDepth::Full);
        } catch (const Error& error) {
            return failed(std::string("error reading meta data: ") + error.what());
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        try {
            convertObjects(*stream, file, output);
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        return std::move(report_);
    }

private:
    FileReport failed(std::string text) {
        report_.failureKind = failureKindOf(text);
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
        base_ = belowRoot_ ? mirroredImageBase(*belowRoot_, *options_.outputFolder, options_.noBig)
                           : imageBase(input_, report_.path, options_.outputFolder, options_.noBig);
        numbered_ = texturesFound > 1;
        if (options_.selection.active()) {
            // Names are chosen by where an output folder puts them, whatever
            // the run's own output folder: the same keys choose the same
            // textures beside the inputs, below -o and with --root.
            selectionBase_ =
                mirroredBaseName(belowRoot_ ? *belowRoot_ : mirroredPath(input_, report_.path), options_.noBig);
        }
        for (;;) {
            // A texture's stored bytes go into the pool's vector, and back
            // there once unpacked; a body that is no texture leaves it.
            std::vector<uint8_t> storedRoom = buffers_.storedRoom();
            const std::optional<BodyRecord> body = walk.NextBody(storedRoom);
            buffers_.keep(std::move(storedRoom));
            if (!body) break;
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
                report_.failureKind = FailureKind::Unsupported;
                return;
            }
        }
        report_.outcome = std::to_string(texturesFound) + " texture(s)";
        if (!options_.listOnly) report_.outcome += " converted into " + std::to_string(imagesWritten_) + " image(s)";
        if (report_.notChosen != 0) report_.outcome += ", " + std::to_string(report_.notChosen) + " not chosen";
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
        texture.pixelFormat = static_cast<int32_t>(format->canonical);
        row.canonicalFormat = format->canonical;

        // Numbered whether chosen or not, so that a chosen texture's name is
        // the one it has without a selection.
        if (numbered_) row.number = textureIndex_++;
        if (!chosen(row)) {
            row.notChosen = true;
            ++report_.notChosen;
            // Not unpacked for a conversion; a listing still shows what the
            // stored bytes hold.
            if (!options_.listOnly) {
                buffers_.keep(std::move(texture.pixelData));
                return std::nullopt;
            }
        }

        const UnpackParameters unpack = unpackParameters(texture, *format, imageCount, layoutWord);
        const bool highDynamicRange = format->canonical == PixelFormat::Hdr32;
        const ImageType imageType =
            options_.types.forKind(highDynamicRange ? ImageKind::HighDynamicRange : ImageKind::EightBit);
        // DDS files carry a standard mip chain where there is one; every other type the largest images.
        UnpackedLevels unpacked =
            imageType == ImageType::Dds
                ? unpackedWithMipChain(std::move(texture.pixelData), unpack, buffers_)
                : UnpackedLevels{unpackedPixels(std::move(texture.pixelData), unpack, buffers_), 1};
        std::vector<uint8_t>().swap(texture.pixelData);  // the stored bytes are unpacked's now, freed once written
        row.findings = unpacked.pixels.findings();

        texture.imageCount = imageCount;
        if (row.notChosen) {
            report_.rows.push_back(std::move(row));
            unpacked.pixels.returnBuffers(buffers_);
            return std::nullopt;
        }
        const std::string imageName = textureImageName(base_.name, row.number.has_value(), row.number.value_or(0));
        TextureImage image{texture.width,     texture.height,     texture.textureFlags,
                           format->canonical, texture.imageCount, unpacked.pixels.images()};
        image.normalZ = options_.normalZ;
        ImageRequest request;
        request.sourceBitsPerPixel = format->bitsPerPixel;
        request.sharedExponent = layoutWord != 0;
        request.uncompressed = options_.uncompressed;
        request.mipLevels = unpacked.levels;
        if (options_.listOnly) {
            // In the list before its files are: should naming them fail as
            // writing them would, the names up to there stay with it.
            TextureRow& listed = report_.rows.emplace_back(std::move(row));
            imageWriter(imageType).list(imageName, image, request, output, listed.output);
            report_.images += listed.output.images;
            unpacked.pixels.returnBuffers(buffers_);
            return std::nullopt;
        }
        // Made when the first image of the file is due, so a file without
        // any leaves no empty folder behind.
        if (!base_.folder.empty() && !folderMade_) {
            if (!makeFolders(base_.folder)) throw Error("Error creating output folder");
            folderMade_ = true;
        }
        // The writers leave out images the pixel data does not reach, so the
        // count is what they wrote (the image count for well-formed data).
        imagesWritten_ += imageWriter(imageType).write(imageName, image, request, output);
        unpacked.pixels.returnBuffers(buffers_);
        return std::nullopt;
    }

    // Whether the selection keys choose this texture (every texture without them).
    bool chosen(const TextureRow& row) const {
        const TextureSelection& selection = options_.selection;
        if (!selection.active()) return true;
        const auto layout = row.images == TextureRow::Images::Cube     ? TextureSelection::Layout::Cube
                            : row.images == TextureRow::Images::Frames ? TextureSelection::Layout::Frames
                                                                       : TextureSelection::Layout::Single;
        return selection.chooses(textureImageName(selectionBase_, row.number.has_value(), row.number.value_or(0)),
                                 pixelFormatName(*row.canonicalFormat, row.twoChannel), layout, row.width, row.height);
    }

    const std::string& input_;
    const ToolOptions& options_;
    BufferPool& buffers_;
    FileReport report_;
    std::optional<std::string> belowRoot_;  // with --root: the path's names below it
    ImageBase base_;
    std::string selectionBase_;  // with a selection: the name patterns are matched against, without number
    bool folderMade_ = false;
    bool numbered_ = false;
    uint64_t textureIndex_ = 0;  // counts only the textures that reach a writer
    int64_t imagesWritten_ = 0;
};

}  // namespace

FileReport convertedReport(const std::string& path, const std::string& input, const ToolOptions& options,
                           ImageOutput& output, BufferPool& buffers) {
    if (options.importFolder) return importedReport(path, input, options, output, buffers);
    return FileConversion(path, input, options, buffers).run(output);
}

void addPlacedImages(FileReport& report, ImageOutput& output) {
    try {
        output.putFinishedInPlace();
    } catch (const std::exception& error) {
        report.outcome = error.what();
        report.failed = true;
        report.failureKind = FailureKind::Io;
    }
    const std::vector<std::string>& placed = output.placedFiles();
    report.written.insert(report.written.end(), placed.begin(), placed.end());
    const std::vector<std::string>& sameAs = output.placedSameAs();
    report.sameAs.insert(report.sameAs.end(), sameAs.begin(), sameAs.end());
    report.images += output.placedImages();
}

}  // namespace lumenpull

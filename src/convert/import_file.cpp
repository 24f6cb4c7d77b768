#include "convert/import_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "convert/described_row.h"
#include "convert/output_naming.h"
#include "convert/root_folder.h"
#include "patch/texture_walk.h"
#include "lumenpull/error.h"
#include "output/folders.h"
#include "output/output_file.h"
#include "patch/resource_patch.h"
#include "pictures/picture.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "pixels/texture_image.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/open_stream.h"
#include "unpack/mip_chain.h"
#include "unpack/pixel_unpacking.h"
#include "writers/image_writer.h"

namespace lumenpull {
namespace {

// The types a picture of one kind may be given in, in the order they are
// looked for: the one -t chose, then every other type that serves the kind.
std::vector<ImageType> lookupOrder(const ImageTypes& types, bool highDynamicRange) {
    std::vector<ImageType> order{types.forKind(highDynamicRange ? ImageKind::HighDynamicRange : ImageKind::EightBit)};
    for (const ImageType type : {ImageType::Tga, ImageType::Png, ImageType::Dds, ImageType::Hdr, ImageType::Exr}) {
        const ImageWriter& writer = imageWriter(type);
        if ((highDynamicRange ? writer.highDynamicRange : writer.eightBit) && type != order.front()) {
            order.push_back(type);
        }
    }
    return order;
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Whether anything is there to read under the name: a name that cannot be
// opened for another reason than its absence is read, and fails there.
bool pictureThere(const std::string& path) {
    const std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    return file || errno != ENOENT;
}

std::vector<uint8_t> wholeFile(const std::string& path) {
    const std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw Error(std::string("error opening reading stream: ") + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, file.get())) != 0;) {
        bytes.insert(bytes.end(), piece, piece + got);
    }
    if (std::ferror(file.get())) throw Error("Error reading the resource file");
    return bytes;
}

bool samePixels(const Image& a, const Image& b) {
    return a.shape.width == b.shape.width && a.shape.height == b.shape.height && a.shape.layout == b.shape.layout &&
           a.bytes == b.bytes && a.floats.size() == b.floats.size() &&
           (a.floats.empty() || std::memcmp(a.floats.data(), b.floats.data(), a.floats.size() * sizeof(float)) == 0);
}

bool sameLevels(const StoredLevels& a, const StoredLevels& b) {
    if (a.format != b.format || a.levels.size() != b.levels.size()) return false;
    for (std::size_t i = 0; i < a.levels.size(); ++i) {
        if (a.levels[i].width != b.levels[i].width || a.levels[i].height != b.levels[i].height ||
            a.levels[i].bytes != b.levels[i].bytes) {
            return false;
        }
    }
    return true;
}

std::string sizeText(const ImageShape& shape) {
    return std::to_string(shape.width) + "x" + std::to_string(shape.height);
}

// The edited picture chosen for one image.
struct Edited {
    std::string name;
    ReplacementImage image;
};

enum class TextureState { Replace, Same, NoImage };

const char* stateText(TextureState state) {
    switch (state) {
        case TextureState::Replace: return "replace";
        case TextureState::Same: return "same";
        case TextureState::NoImage: return "no image";
    }
    return "";
}

class FileImport {
public:
    FileImport(const std::string& path, const std::string& input, const ToolOptions& options, BufferPool& buffers)
        : input_(input), options_(options), buffers_(buffers) {
        report_.path = path;
        report_.imported = true;
    }

    FileReport run(ImageOutput& output) {
        const std::string& path = report_.path;
        if (options_.root) {
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
        ResourceFile file;
        try {
            file.ReadMetaData(*stream, ReadDepth::Full);
        } catch (const Error& error) {
            return failed(std::string("error reading meta data: ") + error.what());
        } catch (const std::exception& error) {
            return failed(error.what());
        }
        try {
            importObjects(*stream, file);
            if (!report_.failed && !options_.listOnly && !replacements_.empty()) writePatched(output);
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
        report_.replaced.clear();
        return std::move(report_);
    }

    void importObjects(Stream& stream, ResourceFile& file) {
        ObjectWalk walk(file, stream);
        const uint64_t texturesFound = walk.MakeObjects();
        report_.textures = texturesFound;
        if (texturesFound == 0) {
            report_.outcome = "no textures found";
            return;
        }
        // The edited pictures carry the names a conversion into the import folder gives.
        base_ = belowRoot_ ? mirroredImageBase(*belowRoot_, *options_.importFolder, options_.noBig)
                           : imageBase(input_, report_.path, options_.importFolder, options_.noBig);
        numbered_ = texturesFound > 1;
        std::size_t position = 0;  // in file order, every texture counted
        for (;;) {
            std::vector<uint8_t> storedRoom = buffers_.storedRoom();
            const std::optional<BodyRecord> body = walk.NextBody(storedRoom);
            buffers_.keep(std::move(storedRoom));
            if (!body) break;
            CBaseTexture* texture = body->texture();
            if (texture == nullptr) continue;
            const std::size_t texturePosition = position++;
            uint16_t layoutWord = 0;
            if (texture->pixelData.empty()) layoutWord = readTrailingPixelBlock(stream, texture->pixelData);
            TextureRow row = describedRow(*texture, *body->type);
            if (texture->pixelData.empty()) {
                row.skipped = true;
                if (const auto format = normaliseStoredFormat(row.storedCode, file.FormatVersion())) {
                    row.canonicalFormat = format->canonical;
                }
                row.importState = "no pixel data";
                if (options_.listOnly) report_.rows.push_back(std::move(row));
                continue;
            }
            row.storedBytes = texture->pixelData.size();
            const auto format = normaliseStoredFormat(row.storedCode, file.FormatVersion());
            if (!format) {
                // As a conversion does: the file ends here.
                const std::string outcome = "Invalid texture format " + std::to_string(row.storedCode);
                if (options_.listOnly) {
                    row.importState = outcome;
                    report_.rows.push_back(std::move(row));
                }
                report_.outcome = outcome;
                report_.failed = true;
                report_.failureKind = FailureKind::Unsupported;
                return;
            }
            row.canonicalFormat = format->canonical;
            if (numbered_) row.number = textureIndex_++;
            TextureReplacement replacement;
            replacement.texture = texturePosition;
            try {
                const TextureState state = importTexture(*texture, *format, layoutWord, row, replacement);
                row.importState = stateText(state);
                if (state == TextureState::Replace) {
                    report_.replaced.push_back(row.number.value_or(0));
                    replacements_.push_back(std::move(replacement));
                }
            } catch (const Error& error) {
                // A listing tells, texture by texture, why; an import stops the file.
                if (!options_.listOnly) throw;
                row.importState = error.what();
            }
            if (options_.listOnly) report_.rows.push_back(std::move(row));
        }
        report_.outcome = options_.listOnly ? std::to_string(texturesFound) + " texture(s), " +
                                                  std::to_string(replacements_.size()) + " to replace"
                                            : std::to_string(replacements_.size()) + " texture(s) replaced";
    }

    // Looks up every image of the texture in every type, compares each
    // edited picture with what a conversion of that type writes now, and
    // gathers the images that changed into `replacement`.
    TextureState importTexture(CBaseTexture& texture, const StoredFormat& format, uint16_t layoutWord, TextureRow& row,
                               TextureReplacement& replacement) {
        const int32_t imageCount = row.imageCount;
        texture.pixelFormat = static_cast<int32_t>(format.canonical);
        texture.imageCount = imageCount;
        const UnpackParameters unpack = unpackParameters(texture, format, imageCount, layoutWord);
        const bool highDynamicRange = format.canonical == PixelFormat::Hdr32;
        const std::string imageName = textureImageName(base_.name, row.number.has_value(), row.number.value_or(0));

        std::map<int32_t, Edited> chosen;  // by image, the first changed picture in lookup order
        bool anyFound = false;
        const std::vector<ImageType> order = lookupOrder(options_.types, highDynamicRange);
        for (const ImageType type : order) {
            const bool dds = type == ImageType::Dds;
            UnpackedLevels unpacked =
                dds ? unpackedWithMipChain(texture.pixelData, unpack, buffers_)
                    : UnpackedLevels{unpackedPixels(std::span<const uint8_t>(texture.pixelData), unpack, buffers_), 1};
            const TextureImage image{texture.width,    texture.height,     texture.textureFlags,
                                     format.canonical, texture.imageCount, unpacked.pixels.images()};
            ImageRequest request;
            request.sourceBitsPerPixel = format.bitsPerPixel;
            request.sharedExponent = layoutWord != 0;
            request.mipLevels = unpacked.levels;
            const ImageWriter& writer = imageWriter(type);
            ImageFiles files;
            try {
                writer.list(imageName, image, request, ImageOutput(), files);
            } catch (const Error&) {
                // A type this texture has no output in holds none of its pictures.
                unpacked.pixels.returnBuffers(buffers_);
                continue;
            }
            if (type == order.front()) {
                row.output = files;
                row.findings = unpacked.pixels.findings();
            }
            bool anyHere = false;
            for (const std::string& name : files.names) anyHere = anyHere || pictureThere(name);
            if (!anyHere) {
                unpacked.pixels.returnBuffers(buffers_);
                continue;
            }
            anyFound = true;
            // What a conversion writes now, in memory, to compare with.
            ImageOutput now({}, ImageOutput::Placing::InMemory);
            writer.write(imageName, image, request, now);
            unpacked.pixels.returnBuffers(buffers_);
            int32_t first = 0;  // the first image the file holds
            for (MemoryFile& current : now.memoryFiles()) {
                const int32_t images = current.images;
                if (pictureThere(current.name)) compare(current, first, dds, chosen);
                first += images;
            }
        }
        if (chosen.empty()) return anyFound ? TextureState::Same : TextureState::NoImage;
        for (auto& [index, edited] : chosen) replacement.images.push_back(std::move(edited.image));
        return TextureState::Replace;
    }

    // Reads one edited picture and notes each of its images that differs
    // from what a conversion writes now.
    static void compare(const MemoryFile& current, int32_t first, bool dds, std::map<int32_t, Edited>& chosen) {
        Picture edited;
        try {
            edited = readPictureFile(current.name);
        } catch (const Error& error) {
            throw Error(current.name + ": " + error.what());
        }
        const Picture written = readPicture(current.bytes, current.name);
        if (edited.images.size() != written.images.size()) {
            throw Error(current.name + ": " + std::to_string(edited.images.size()) + " image(s) where " +
                        std::to_string(written.images.size()) + " belong");
        }
        for (std::size_t j = 0; j < edited.images.size(); ++j) {
            Image& image = edited.images[j];
            const Image& was = written.images[j];
            if (image.shape.width != was.shape.width || image.shape.height != was.shape.height) {
                throw Error("Image size " + sizeText(image.shape) + " does not match the texture's " +
                            sizeText(was.shape) + ": " + current.name);
            }
            if (image.shape.layout != was.shape.layout) {
                throw Error("Image has " + std::to_string(layoutChannels(image.shape.layout)) +
                            " channel(s) where the texture's have " + std::to_string(layoutChannels(was.shape.layout)) +
                            ": " + current.name);
            }
            // A DDS file of the format a conversion writes keeps its levels
            // as they are; one of another format gives its pixels only.
            const bool levels = dds && edited.stored[j].format == written.stored[j].format;
            const bool changed =
                !samePixels(image, was) || (levels && !sameLevels(edited.stored[j], written.stored[j]));
            if (!changed) continue;
            const int32_t index = first + static_cast<int32_t>(j);
            const auto earlier = chosen.find(index);
            if (earlier != chosen.end()) {
                if (!samePixels(earlier->second.image.pixels, image)) {
                    throw Error("Two different edited files for one image: " + earlier->second.name + " and " +
                                current.name);
                }
                continue;
            }
            Edited pick;
            pick.name = current.name;
            pick.image.index = index;
            pick.image.pixels = std::move(image);
            if (levels) pick.image.stored = std::move(edited.stored[j]);
            chosen.emplace(index, std::move(pick));
        }
    }

    // The whole file again with the new pixels, to its mirrored place below
    // the output folder; put in place as images are.
    void writePatched(ImageOutput& output) {
        const std::vector<uint8_t> patched = patchResource(wholeFile(report_.path), replacements_);
        const ImageBase place = belowRoot_
                                    ? mirroredFilePlace(*belowRoot_, *options_.outputFolder)
                                    : mirroredFilePlace(mirroredPath(input_, report_.path), *options_.outputFolder);
        if (!makeFolders(place.folder)) throw Error("Error creating output folder");
        OutputFile file(output, place.name);
        file.write(patched);
        file.finish(0);
    }

    const std::string& input_;
    const ToolOptions& options_;
    BufferPool& buffers_;
    FileReport report_;
    std::optional<std::string> belowRoot_;
    ImageBase base_;
    bool numbered_ = false;
    uint64_t textureIndex_ = 0;  // counts only the textures that reach a writer, as in a conversion
    std::vector<TextureReplacement> replacements_;
};

}  // namespace

FileReport importedReport(const std::string& path, const std::string& input, const ToolOptions& options,
                          ImageOutput& output, BufferPool& buffers) {
    return FileImport(path, input, options, buffers).run(output);
}

}  // namespace lumenpull

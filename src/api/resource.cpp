#include "lumenpull/resource.h"

#include <functional>
#include <optional>

#include "api/resource_data.h"
#include "patch/texture_walk.h"
#include "pixels/pixel_format.h"
#include "pixels/pixel_format_name.h"
#include "pixels/texture_flags.h"
#include "lumenpull/error.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/memory_input.h"
#include "stream/open_stream.h"

namespace lumenpull {
namespace {

// What a listing shows of a texture before its pixels are looked at.
TextureInfo describedTexture(const CBaseTexture& texture, const DataType& type) {
    TextureInfo info;
    info.typeName = type.name.str();
    info.width = texture.width;
    info.height = texture.height;
    info.storedCode = static_cast<uint32_t>(texture.pixelFormat);
    info.twoChannel = (texture.textureFlags & TwoChannel) != 0;
    info.imageCount = imageCountOf(texture, type);
    info.storedBytes = texture.pixelData.size();
    if (texture.textureFlags & SixFaces) {
        info.arrangement = ImageArrangement::Cube;
    } else if (type.name == "CAnimTexture") {
        info.arrangement = ImageArrangement::Frames;
    }
    return info;
}

// Walks the bodies as the conversion does: every texture with a body is
// kept, and a rejected format code ends the walk.
void readTextures(Stream& stream, ResourceFile& file, detail::ResourceData& data) {
    ObjectWalk walk(file, stream);
    data.textureObjects = walk.MakeObjects();
    if (data.textureObjects == 0) return;
    const bool numbered = data.textureObjects > 1;
    uint64_t number = 0;  // counts only the textures that get images
    while (const std::optional<BodyRecord> body = walk.NextBody()) {
        CBaseTexture* texture = body->texture();
        if (texture == nullptr) continue;
        uint16_t layoutWord = 0;
        if (texture->pixelData.empty()) layoutWord = readTrailingPixelBlock(stream, texture->pixelData);
        detail::TextureData& kept = data.textures.emplace_back();
        kept.info = describedTexture(*texture, *body->type);
        const auto format = normaliseStoredFormat(kept.info.storedCode, file.FormatVersion());
        if (texture->pixelData.empty()) {
            kept.info.withoutPixels = true;
            kept.info.formatName = format ? pixelFormatName(format->canonical, kept.info.twoChannel) : "unknown";
            continue;
        }
        if (!format) {
            kept.info.rejected = true;
            kept.info.formatName = "rejected";
            data.rejection = "Invalid texture format " + std::to_string(kept.info.storedCode);
            return;
        }
        kept.info.formatName = pixelFormatName(format->canonical, kept.info.twoChannel);
        if (numbered) kept.info.number = number++;
        kept.canonicalFormat = format->canonical;
        kept.info.highDynamicRange = format->canonical == static_cast<int32_t>(PixelFormat::Hdr32);
        kept.sharedExponent = layoutWord != 0;
        kept.unpack = unpackParameters(*texture, *format, kept.info.imageCount, layoutWord);
        kept.stored = std::move(texture->pixelData);
    }
}

std::unique_ptr<detail::ResourceData> readResource(const std::function<std::unique_ptr<Stream>()>& open) {
    std::unique_ptr<Stream> stream;
    try {
        stream = open();
    } catch (const Error& error) {
        throw Error(std::string("error opening reading stream: ") + error.what());
    }
    ResourceFile file;
    try {
        file.ReadMetaData(*stream, ReadDepth::Full);
    } catch (const Error& error) {
        throw Error(std::string("error reading meta data: ") + error.what());
    }
    auto data = std::make_unique<detail::ResourceData>();
    readTextures(*stream, file, *data);
    data->handles.reserve(data->textures.size());
    for (const detail::TextureData& texture : data->textures) data->handles.emplace_back(texture);
    return data;
}

}  // namespace

Resource::Resource(std::unique_ptr<detail::ResourceData> data) : data_(std::move(data)) {}
Resource::Resource(Resource&&) noexcept = default;
Resource& Resource::operator=(Resource&&) noexcept = default;
Resource::~Resource() = default;

Resource Resource::open(const std::string& path) {
    return Resource(readResource([&] { return OpenStream(path, "r", 1, true, true); }));
}

Resource Resource::fromMemory(std::vector<uint8_t> bytes) {
    return Resource(readResource([&] { return OpenInputStream(memoryInputFile(std::move(bytes)), true); }));
}

Resource Resource::fromMemory(std::span<const uint8_t> bytes) {
    return fromMemory(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::span<const Texture> Resource::textures() const { return data_->handles; }

uint64_t Resource::textureObjects() const { return data_->textureObjects; }

std::optional<std::string> Resource::rejection() const { return data_->rejection; }

}  // namespace lumenpull

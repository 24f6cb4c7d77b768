#include "patch/resource_patch.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "patch/texture_walk.h"
#include "lumenpull/error.h"
#include "patch/container_payload.h"
#include "patch/pixel_data_patch.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_flags.h"
#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "stream/memory_input.h"

namespace lumenpull {
namespace {

// A plain stream over the payload that notes where each read lands, so that
// the pixel bytes a texture reader read, and the count in front of them,
// can be found again in the payload.
class NotingStream : public Stream {
public:
    struct NotedRead {
        uint64_t position;
        uint32_t count;
        const void* buffer;
    };

    explicit NotingStream(std::vector<uint8_t> payload) { Stream::Open(memoryInputFile(std::move(payload))); }

    void Read(void* buffer, uint32_t count) override {
        reads_.push_back({Tell(), count, buffer});
        Stream::Read(buffer, count);
    }

    void forget() { reads_.clear(); }

    // Where the bytes now in `pixels` were read, and where their 32-bit count was.
    std::optional<std::pair<uint64_t, uint64_t>> placeOf(const std::vector<uint8_t>& pixels) const {
        for (size_t i = 1; i < reads_.size(); ++i) {
            if (reads_[i].buffer == pixels.data() && reads_[i].count == pixels.size() && reads_[i - 1].count == 4) {
                return std::make_pair(reads_[i - 1].position, reads_[i].position);
            }
        }
        return std::nullopt;
    }

private:
    std::vector<NotedRead> reads_;
};

// One texture's pixel data in the payload and what replaces it.
struct Splice {
    uint64_t countAt = 0;  // the i32 byte count in front of the data
    uint64_t dataAt = 0;
    uint64_t oldBytes = 0;
    std::vector<uint8_t> bytes;
};

std::vector<Splice> splicesFor(std::vector<uint8_t> payload,
                               const std::map<size_t, const TextureReplacement*>& wanted) {
    NotingStream stream(std::move(payload));
    ResourceFile file;
    try {
        file.ReadMetaData(stream, ReadDepth::Full);
    } catch (const Error& error) {
        throw Error(std::string("error reading meta data: ") + error.what());
    }
    ObjectWalk walk(file, stream);
    walk.MakeObjects();
    std::vector<Splice> splices;
    size_t number = 0;
    for (;;) {
        stream.forget();
        const std::optional<BodyRecord> body = walk.NextBody();
        if (!body) break;
        CBaseTexture* texture = body->texture();
        if (texture == nullptr) continue;
        uint16_t layoutWord = 0;
        if (texture->pixelData.empty()) {
            stream.forget();
            layoutWord = readTrailingPixelBlock(stream, texture->pixelData);
        }
        const size_t index = number++;
        const auto storedCode = static_cast<uint32_t>(texture->pixelFormat);
        const auto format = normaliseStoredFormat(storedCode, file.FormatVersion());
        const bool rejected = !texture->pixelData.empty() && !format;
        const auto replacement = wanted.find(index);
        if (replacement == wanted.end()) {
            // The readers end a file at a texture whose format they reject.
            if (rejected) break;
            std::vector<uint8_t>().swap(texture->pixelData);
            continue;
        }
        if (rejected) {
            throw Error("Texture " + std::to_string(index) + ": invalid texture format " + std::to_string(storedCode));
        }
        if (texture->pixelData.empty()) throw Error("Texture " + std::to_string(index) + " has no pixel data");
        const auto place = stream.placeOf(texture->pixelData);
        if (!place) throw Error("Texture " + std::to_string(index) + ": pixel data not found in the file");
        const int32_t imageCount = imageCountOf(*texture, *body->type);
        const UnpackParameters unpack = unpackParameters(*texture, *format, imageCount, layoutWord);
        const StoredForm form = storedFormOf(format->canonical, (texture->textureFlags & TwoChannel) != 0,
                                             format->bitsPerPixel, layoutWord != 0);
        Splice& splice = splices.emplace_back();
        splice.countAt = place->first;
        splice.dataAt = place->second;
        splice.oldBytes = texture->pixelData.size();
        try {
            splice.bytes = patchedPixelData(texture->pixelData, unpack, form, replacement->second->images);
        } catch (const Error& error) {
            throw Error("Texture " + std::to_string(index) + ": " + error.what());
        }
        if (splice.bytes.size() > static_cast<size_t>(INT32_MAX)) {
            throw Error("Texture " + std::to_string(index) + ": new pixel data too large for the file");
        }
        std::vector<uint8_t>().swap(texture->pixelData);
    }
    for (const auto& [index, replacement] : wanted) {
        if (index >= number) throw Error("No texture " + std::to_string(index) + " in the file");
    }
    return splices;
}

}  // namespace

std::vector<uint8_t> patchResource(std::span<const uint8_t> file, std::span<const TextureReplacement> replacements) {
    std::map<size_t, const TextureReplacement*> wanted;
    for (const TextureReplacement& replacement : replacements) {
        if (!wanted.emplace(replacement.texture, &replacement).second) {
            throw Error("Texture " + std::to_string(replacement.texture) + " given twice");
        }
    }
    const ContainerPayload container = containerPayload(file);
    std::vector<Splice> splices = splicesFor(container.payload, wanted);
    std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.dataAt < b.dataAt; });

    const std::vector<uint8_t>& old = container.payload;
    std::vector<uint8_t> payload;
    uint64_t copied = 0;
    const auto copyUpTo = [&](uint64_t end) {
        payload.insert(payload.end(), old.begin() + static_cast<std::ptrdiff_t>(copied),
                       old.begin() + static_cast<std::ptrdiff_t>(end));
        copied = end;
    };
    for (const Splice& splice : splices) {
        copyUpTo(splice.countAt);
        const auto count = static_cast<uint32_t>(splice.bytes.size());
        for (int shift = 0; shift < 32; shift += 8) payload.push_back(static_cast<uint8_t>(count >> shift));
        copied += 4;
        copyUpTo(splice.dataAt);
        payload.insert(payload.end(), splice.bytes.begin(), splice.bytes.end());
        copied += splice.oldBytes;
    }
    copyUpTo(old.size());
    return wrappedPayload(file, container, payload);
}

}  // namespace lumenpull

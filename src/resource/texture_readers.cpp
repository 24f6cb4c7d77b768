#include <algorithm>
#include <string>

#include "resource/read_word.h"
#include "resource/resource_file.h"
#include "stream/stream_errors.h"
#include "stream/tag.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

[[noreturn]] void ThrowFormat(const char* message, uint32_t version) { throw Error(message + std::to_string(version)); }

// The type of a base-class part of a body, found by name along the base chain.
const DataType& RequireAncestor(const DataType& type, const char* name) {
    const DataType* ancestor = type.FindAncestor(name);
    if (ancestor == nullptr) throw Error("Data type " + std::to_string(type.index) + " has no ancestor " + name);
    return *ancestor;
}

// The data type of the mips, the element type of the base texture's mip array.
const DataType& MipElementType(const DataType& baseTextureType) {
    static constexpr const char* kMipArray = "CStaticArray<CPlatformMip>";
    const DataType* arrayType = baseTextureType.FindMemberType(kMipArray);
    if (arrayType == nullptr)
        throw Error("Data type " + std::to_string(baseTextureType.index) + " has no member of type " + kMipArray);
    if (arrayType->base == nullptr) throw Error("Missing base of " + DataTypeLabel(*arrayType));
    if (!arrayType->base->declared) throw Error("Undeclared " + DataTypeLabel(*arrayType->base));
    return *arrayType->base;
}

// A counted array is refused before anything is allocated for it when the
// rest of the file cannot hold it; reading it would fail the same way.
void RequireBytesLeft(Stream& stream, uint64_t bytes) {
    if (bytes > stream.RawBytesLeft()) ThrowErrorReading();
}

void ReadWords(Stream& stream, int32_t* words, size_t count) {
    for (size_t i = 0; i < count; ++i) words[i] = ReadInt32(stream);
}

template <size_t N>
void ReadWords(Stream& stream, std::array<int32_t, N>& words) {
    ReadWords(stream, words.data(), N);
}

void ReadPixelBytes(Stream& stream, std::vector<uint8_t>& pixels) {
    stream.ExpectTag(MakeTag("STAR"));
    const int32_t count = ReadInt32(stream);
    pixels.clear();
    if (count <= 0) return;
    RequireBytesLeft(stream, static_cast<uint64_t>(count));
    // A vector too small for the bytes (one kept from an earlier texture)
    // gives up its storage before the larger one is made, not after.
    if (pixels.capacity() < static_cast<size_t>(count)) std::vector<uint8_t>().swap(pixels);
    pixels.resize(static_cast<size_t>(count));
    stream.Read(pixels.data(), static_cast<uint32_t>(count));
}

void ReadWordArray(Stream& stream, std::vector<int32_t>& words) {
    stream.ExpectTag(MakeTag("STAR"));
    const int32_t count = ReadInt32(stream);
    words.clear();
    if (count <= 0) return;
    RequireBytesLeft(stream, uint64_t{4} * static_cast<uint64_t>(count));
    words.resize(static_cast<size_t>(count));
    ReadWords(stream, words.data(), words.size());
}

}  // namespace

CObject* ResourceFile::ReadObjectRef(Stream& stream) {
    const int32_t index = ReadInt32(stream);
    if (index == -1) return nullptr;
    return ObjectAt(index);
}

const CountedString& ResourceFile::ReadIdentRef(Stream& stream) { return Ident(ReadInt32(stream)); }

void ResourceFile::ReadResource(Stream& stream, const DataType& resourceType, CResource& object) {
    object.firstRef = {};
    object.secondRef = {};
    object.customData = {};
    const uint32_t v = resourceType.version;
    if (v <= 2) ThrowFormat("Invalid CResource format ", v);
    if (v >= 7) object.firstRef.object = ReadObjectRef(stream);
    object.resourceWord = ReadInt32(stream);
    if (v >= 4 && v <= 7) object.extraWord = ReadInt32(stream);
    object.name = ReadIdentRef(stream);
    if (v <= 6) object.firstRef.object = ReadObjectRef(stream);
    if (v >= 5) object.secondRef.object = ReadObjectRef(stream);
    if (resourceType.FindMemberType("CResourceCustomData*") != nullptr) {
        object.customData.object = ReadObjectRef(stream);
    }
}

void ResourceFile::ReadBaseTexture(Stream& stream, const DataType& baseTextureType, CBaseTexture& object) {
    const DataType& resourceType = RequireAncestor(RequireAncestor(baseTextureType, "CTexture"), "CResource");
    ReadResource(stream, resourceType, object);

    object.textureRefA = {};
    object.textureRefB = {};
    object.textureRefC = {};
    object.textureRefD = {};
    const uint32_t v = baseTextureType.version;
    if (v <= 4) ThrowFormat("Invalid CBaseTexture format ", v);
    object.width = ReadInt32(stream);
    object.height = ReadInt32(stream);
    object.textureFlags = ReadUint32(stream);
    if (v <= 5) {
        object.imageCount = ReadInt32(stream);
        object.pixelFormat = ReadInt32(stream);
        object.legacyWord = ReadInt32(stream);
    } else {
        object.pixelFormat = ReadInt32(stream);
        if (v <= 8) object.imageCount = ReadInt32(stream);
    }
    ReadPixelBytes(stream, object.pixelData);
    if (v <= 5) ReadWordArray(stream, object.wordArray);
    ReadWords(stream, object.pixelWords);
    if (v >= 26) {
        if (v >= 35) object.word35A = ReadInt32(stream);
        ReadWords(stream, object.words26);
    }
    if (v >= 13) {
        object.mipWord = ReadInt32(stream);
        if (v >= 35) object.word35B = ReadInt32(stream);
        stream.ExpectTag(MakeTag("STAR"));
        const int32_t mipCount = ReadInt32(stream);
        object.mips.clear();
        if (mipCount > 0) {
            const uint32_t mipVersion = MipElementType(baseTextureType).version;
            if (mipVersion <= 2) ThrowFormat("Invalid CPlatformMip format ", mipVersion);
            RequireBytesLeft(stream, uint64_t{12} * static_cast<uint64_t>(mipCount));
            object.mips.resize(static_cast<size_t>(mipCount));
            for (CPlatformMip& mip : object.mips) {
                mip.mipWordA = ReadInt32(stream);
                mip.mipWordB = ReadInt32(stream);
                mip.mipWordC = ReadInt32(stream);
            }
        }
    }
    if (v >= 14) object.textureRefA.object = ReadObjectRef(stream);
    if (v >= 26) object.textureRefB.object = ReadObjectRef(stream);
    if (v >= 35) {
        object.textureRefC.object = ReadObjectRef(stream);
        object.textureRefD.object = ReadObjectRef(stream);
        object.word35C = ReadInt32(stream);
    }
}

void ResourceFile::ReadStaticTexture(Stream& stream, const DataType& type, CStaticTexture& object) {
    ReadBaseTexture(stream, RequireAncestor(type, "CBaseTexture"), object);
    object.staticRefA = {};
    object.staticRefB = {};
    object.staticRefC = {};
    object.staticRefD = {};
    const uint32_t v = type.version;
    if (v == 0) ThrowFormat("Invalid CStaticTexture format ", v);
    if (v <= 2) return;
    object.staticName = ReadIdentRef(stream);
    if (v <= 5) {
        stream.Read(object.keptBytes16.data(), 16);
        if (v == 3) stream.Read(object.keptBytes8.data(), 8);
        return;
    }
    if (v <= 10) {
        object.staticRefA.object = ReadObjectRef(stream);
        return;
    }
    object.staticRefB.object = ReadObjectRef(stream);
    object.staticRefC.object = ReadObjectRef(stream);
    object.staticRefD.object = ReadObjectRef(stream);
    object.staticWord = ReadInt32(stream);
}

void ResourceFile::ReadDynamicLightStaticTexture(Stream& stream, const DataType& type,
                                                 CDynamicLightStaticTexture& object) {
    ReadStaticTexture(stream, RequireAncestor(type, "CStaticTexture"), object);
    const uint32_t v = type.version;
    if (v == 0) ThrowFormat("Invalid CDynamicLightStaticTexture format ", v);
    object.dynamicWord = ReadInt32(stream);
}

void ResourceFile::ReadColorTexture(Stream& stream, const DataType& type, CColorTexture& object) {
    ReadBaseTexture(stream, RequireAncestor(type, "CBaseTexture"), object);
    object.colorRef = {};
    const uint32_t v = type.version;
    if (v <= 1) ThrowFormat("Invalid CColorTexture format ", v);
    // Here 0, not -1, means no object.
    const int32_t index = ReadInt32(stream);
    if (index != 0) object.colorRef.object = ObjectAt(index);
    ReadWords(stream, object.colorWords);
    if (v >= 3) ReadWords(stream, object.colorWords3);
}

void ResourceFile::ReadAnimTexture(Stream& stream, const DataType& type, CAnimTexture& object) {
    ReadBaseTexture(stream, RequireAncestor(type, "CBaseTexture"), object);
    const uint32_t v = type.version;
    if (v <= 1) ThrowFormat("Invalid CAnimTexture format ", v);
    object.frameCount = ReadInt32(stream);
    object.animWord = ReadInt32(stream);
}

}  // namespace lumenpull

#include <algorithm>
#include <string>
#include <typeinfo>

#include "resource/resource_file.h"
#include "stream/stream_errors.h"
#include "lumenpull/error.h"

namespace lumenpull {

namespace {

// The object a body is read into must be of exactly the class its kind makes;
// a body whose type names another class than the one its object was made for
// is refused rather than read into the wrong fields.
template <typename T>
T& ObjectFor(CObject& object, const DataType& type) {
    if (typeid(object) != typeid(T)) {
        throw Error("Body of " + DataTypeLabel(type) + " does not match the object made for it");
    }
    return static_cast<T&>(object);
}

}  // namespace

void ResourceFile::ReadRawBody(Stream& stream, const DataType& type, CUnknownObject& object) {
    const int32_t size = type.StoredSize(stream, std::max(DataType::kDefaultNestingLimit, typeEntries_ + 1));
    // Refused before the buffer is made when the file cannot hold the body.
    if (static_cast<uint64_t>(size) > stream.RawBytesLeft()) ThrowErrorReading();
    object.data.assign(static_cast<size_t>(size), 0);
    object.size = 0;
    stream.Read(object.data.data(), static_cast<uint32_t>(size));
    object.size = size;
}

void ResourceFile::ReadTextureBody(Stream& stream, const DataType& type, CObject& object, TextureKind kind) {
    switch (kind) {
        case TextureKind::DynamicLightStatic:
            ReadDynamicLightStaticTexture(stream, type, ObjectFor<CDynamicLightStaticTexture>(object, type));
            return;
        case TextureKind::Anim: ReadAnimTexture(stream, type, ObjectFor<CAnimTexture>(object, type)); return;
        case TextureKind::Color: ReadColorTexture(stream, type, ObjectFor<CColorTexture>(object, type)); return;
        case TextureKind::Static: ReadStaticTexture(stream, type, ObjectFor<CStaticTexture>(object, type)); return;
        case TextureKind::None: ReadRawBody(stream, type, ObjectFor<CUnknownObject>(object, type)); return;
    }
}

void ResourceFile::ReadObjectBody(Stream& stream, const DataType& type, CObject* object) {
    if (type.typeClass == DataTypeClass::External) return;  // it lives in another file
    if (object == nullptr) throw Error("Body of " + DataTypeLabel(type) + " has no object");
    ReadTextureBody(stream, type, *object, textureKindOf(type));
}

}  // namespace lumenpull

#include "resource/object_walk.h"

#include "resource/texture_kind.h"

namespace lumenpull {

CBaseTexture* BodyRecord::texture() const {
    if (type->typeClass == DataTypeClass::External) return nullptr;
    return asTexture(object);
}

uint64_t ObjectWalk::MakeObjects() {
    uint64_t textures = 0;
    for (const DataType* type = file_.NextObjectType(stream_); !file_.TypesDone();
         type = file_.NextObjectType(stream_)) {
        const TextureKind kind = textureKindOf(*type);
        if (kind != TextureKind::None) ++textures;
        file_.RegisterObject(makeObject(kind));
    }
    return textures;
}

std::optional<BodyRecord> ObjectWalk::NextBody() {
    std::vector<uint8_t> noRoom;
    return NextBody(noRoom);
}

std::optional<BodyRecord> ObjectWalk::NextBody(std::vector<uint8_t>& pixelRoom) {
    BodyRecord record;
    record.object = file_.NextObject(stream_, record.type);
    if (file_.ObjectsDone()) return std::nullopt;
    if (CBaseTexture* texture = record.texture(); texture != nullptr && texture->pixelData.empty()) {
        texture->pixelData.swap(pixelRoom);
        texture->pixelData.clear();
    }
    file_.ReadObjectBody(stream_, *record.type, record.object);
    return record;
}

}  // namespace lumenpull

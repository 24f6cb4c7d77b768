#include "resource/texture_kind.h"

namespace lumenpull {

TextureKind textureKindOf(const DataType& type) {
    if (type.IsKindOf("CDynamicLightStaticTexture")) return TextureKind::DynamicLightStatic;
    if (type.IsKindOf("CAnimTexture")) return TextureKind::Anim;
    if (type.IsKindOf("CColorTexture")) return TextureKind::Color;
    if (type.IsKindOf("CStaticTexture")) return TextureKind::Static;
    return TextureKind::None;
}

std::unique_ptr<CObject> makeObject(TextureKind kind) {
    switch (kind) {
        case TextureKind::DynamicLightStatic: return std::make_unique<CDynamicLightStaticTexture>();
        case TextureKind::Anim: return std::make_unique<CAnimTexture>();
        case TextureKind::Color: return std::make_unique<CColorTexture>();
        case TextureKind::Static: return std::make_unique<CStaticTexture>();
        case TextureKind::None: break;
    }
    return std::make_unique<CUnknownObject>();
}

CBaseTexture* asTexture(CObject* object) { return dynamic_cast<CBaseTexture*>(object); }
const CBaseTexture* asTexture(const CObject* object) { return dynamic_cast<const CBaseTexture*>(object); }

}  // namespace lumenpull

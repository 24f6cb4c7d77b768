#pragma once

#include <memory>

#include "resource/data_type.h"
#include "resource/objects.h"

namespace lumenpull {

// The texture class that an object of a data type is made and read as.
enum class TextureKind { DynamicLightStatic, Anim, Color, Static, None };

// Tests the kinds in the order CDynamicLightStaticTexture, CAnimTexture,
// CColorTexture, CStaticTexture: a dynamic-light texture is also a static one.
TextureKind textureKindOf(const DataType& type);

// A new, empty object of the kind's class; a CUnknownObject for None.
std::unique_ptr<CObject> makeObject(TextureKind kind);

// The texture part of an object, or null when it is no texture.
CBaseTexture* asTexture(CObject* object);
const CBaseTexture* asTexture(const CObject* object);

}  // namespace lumenpull

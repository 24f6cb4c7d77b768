#include "convert/described_row.h"

#include "patch/texture_walk.h"
#include "pixels/texture_flags.h"

namespace lumenpull {

TextureRow describedRow(const CBaseTexture& texture, const DataType& type) {
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

}  // namespace lumenpull

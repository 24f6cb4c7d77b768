#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "writers/image_writer.h"

namespace lumenpull {

// The two kinds of picture a texture becomes: 8-bit grey or colour, and
// high-dynamic-range (canonical format 12).
enum class ImageKind { EightBit, HighDynamicRange };

// The type chosen for each kind of picture: TGA and Radiance unless -t says
// otherwise.
struct ImageTypes {
    ImageType eightBit = ImageType::Tga;
    ImageType highDynamicRange = ImageType::Hdr;

    ImageType forKind(ImageKind kind) const { return kind == ImageKind::EightBit ? eightBit : highDynamicRange; }
    bool operator==(const ImageTypes&) const = default;
};

// Reads a -t list: type names separated by spaces, each setting the type of
// the kinds it serves; kinds it does not name keep their default, so the
// last list wins as a whole. A type that serves both kinds (dds) takes only
// the kinds no other listed type names, so "dds exr" writes DDS and EXR.
// Returns the argument error line for a name that is no type, for a kind
// named twice, or for a list that names none.
std::optional<std::string> parseImageTypes(const std::string& list, ImageTypes& types);

// The file name extension of a type, without the dot: "tga", "png", "hdr",
// "dds", "exr".
std::string_view extensionOf(ImageType type);

}  // namespace lumenpull

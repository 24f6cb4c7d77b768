#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/output_types.h"
#include "convert/path_style.h"

namespace lumenpull {

// Where the images of one input file go. Conversion and listing both take
// their names from here, so a listing shows exactly what a conversion writes.
struct ImageBase {
    // The images' path without extension; texture and image numbers and
    // the extension are added to it.
    std::string name;
    // With an output folder: the folder `name` lies in, which is created
    // before the first image is written. Empty beside the input.
    std::string folder;
};

// The base name of the images of `path`, a file that discovery found from
// the command-line input `input` (the input itself, or an entry below it).
// Without an output folder: the path up to its last dot, or with noBig up to
// the first "--Big" of its file name (a folder named "pack--Big" is an
// ordinary folder), so the images land beside the input. With one: the same
// cut applied to the path's part below the parent of the input (see
// mirroredPath), under the output folder.
ImageBase imageBase(const std::string& input, const std::string& path, const std::optional<std::string>& outputFolder,
                    bool noBig, PathStyle style = kNativePathStyle);

// The base name of images placed at `mirrored`, a relative path of names
// (none of them empty, "." or ".."), below `outputFolder`, cut as imageBase
// cuts it. imageBase gives it the part below the input's parent; with
// --root it is the part below the root.
ImageBase mirroredImageBase(const std::string& mirrored, const std::string& outputFolder, bool noBig,
                            PathStyle style = kNativePathStyle);

// Where a file placed at `mirrored` (as for mirroredImageBase) goes below
// `outputFolder` under its own name, extension and all, and the folder that
// holds it: a patched resource file mirrors its input as images do.
ImageBase mirroredFilePlace(const std::string& mirrored, const std::string& outputFolder,
                            PathStyle style = kNativePathStyle);

// `mirrored` (see mirroredPath) cut before its extension as imageBase cuts
// it: the images' path below an output folder, without texture number.
std::string mirroredBaseName(const std::string& mirrored, bool noBig, PathStyle style = kNativePathStyle);

// The part of `path` below the parent of the command-line input: the
// input's own last name, then what discovery appended below it. An input
// that names no folder of its own (".", "..", a root, a path ending in "/."
// or "/..") contributes no name; trailing separators change nothing. No
// part of the result is empty, "." or "..", so nothing placed under a folder
// with it can leave that folder.
std::string mirroredPath(const std::string& input, const std::string& path, PathStyle style = kNativePathStyle);

// The name of the k-th written texture of a file: the base name itself when
// the file has a single texture, "<base>_<k>" when it has several.
std::string textureImageName(const std::string& base, bool numbered, uint64_t index);

// The file names the images of one texture get as `type`: "<name>.<ext>",
// or "<name>_NN.<ext>" for each of several images.
std::vector<std::string> imageFileNames(const std::string& textureName, int32_t imageCount, ImageType type);

}  // namespace lumenpull

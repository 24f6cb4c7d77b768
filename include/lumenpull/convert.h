#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lumenpull/image.h"
#include "lumenpull/texture.h"

namespace lumenpull {

// What the tool's keys choose for a conversion.
struct ConvertOptions {
    std::optional<std::string> outputFolder;    // -o: images below it; beside each input without
    FileType eightBit = FileType::Tga;          // -t: Tga, Png or Dds
    FileType highDynamicRange = FileType::Hdr;  // -t: Hdr, Exr or Dds
    bool uncompressed = false;                  // -u
    bool noBig = false;                         // --nobig
    bool listOnly = false;                      // -l: look at every texture, write nothing
    unsigned jobs = 1;                          // -j: files converted at once (at least 1)
};

// Sets the two output types from a list as the tool's -t reads it ("png",
// "dds exr"): each type sets the kinds it serves, and dds only the kinds no
// other listed type names. Throws lumenpull::Error with the tool's argument
// error ("Unknown output type 'gif'", "Two output types for one kind of
// texture", "No output types given") and leaves `options` unchanged then.
void setOutputTypes(ConvertOptions& options, const std::string& list);

// A texture as a listing shows it, with the files a conversion writes for it.
struct ListedTexture {
    TextureInfo info;
    Packing packing;
    std::vector<std::string> files;
};

// What one file's conversion came to: the tool's report line and its parts.
struct FileResult {
    std::string path;
    std::string outcome;  // the report text after "path: "
    bool failed = false;  // the outcome is an error message
    // When failed, what sort of fault, as the JSON report's "kind" names it:
    // "not-a-resource-file", "truncated", "damaged", "unsupported" or "io".
    std::string failureKind;
    uint64_t textures = 0;              // texture objects found
    int64_t images = 0;                 // images written (listing: that would be written)
    std::vector<std::string> written;   // files written, in order
    std::vector<ListedTexture> listed;  // listOnly: every texture looked at
};

// Converts (or lists) each file of `paths` exactly as the tool converts it
// given the same files and keys: the same images, names and outcomes,
// which come back in the order of `paths`. A file's failure is in its
// result, never thrown; options the tool would refuse throw lumenpull::Error.
std::vector<FileResult> convert(const std::vector<std::string>& paths, const ConvertOptions& options = {});

}  // namespace lumenpull

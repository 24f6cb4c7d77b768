#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/failure_kind.h"
#include "pixels/pixel_format.h"
#include "output/output_file.h"
#include "unpack/pixel_unpacking.h"

namespace lumenpull {

// One texture as the conversion met it, for a listing.
struct TextureRow {
    enum class Images { Single, Cube, Frames };

    std::string typeName;  // the stored type's own name
    int32_t width = 0;
    int32_t height = 0;
    uint32_t storedCode = 0;                     // pixel format code as stored
    std::optional<PixelFormat> canonicalFormat;  // empty: the code is rejected (or unknown, when skipped)
    bool twoChannel = false;
    Images images = Images::Single;
    int32_t imageCount = 1;
    bool skipped = false;            // no pixel data: no images, no number
    bool notChosen = false;          // passed over by the selection: numbered, no images
    std::optional<uint64_t> number;  // the texture's number in output names, when numbered
    uint64_t storedBytes = 0;
    UnpackFindings findings;
    ImageFiles output;        // the files a conversion writes for it
    std::string importState;  // importing: "replace", "same", "no image" or why it cannot be replaced

    bool rejected() const { return !skipped && !canonicalFormat; }
};

// Everything one file's conversion (or listing) came to. Reporters turn it
// into the plain line, a JSON object or the run's totals.
struct FileReport {
    std::string path;
    std::string outcome;                             // the report text after "path: "
    bool failed = false;                             // the outcome is an error text
    FailureKind failureKind = FailureKind::Damaged;  // when failed: what sort of fault
    uint64_t textures = 0;                           // texture objects found
    int64_t images = 0;                              // images written (listed: that would be written)
    std::vector<std::string> written;                // files written, in order (listed: none)
    std::vector<std::string> sameAs;                 // with --dedup, for each written file: the earlier file it
                                                     // is a link to (or a copy of), empty when it is none
    uint64_t notChosen = 0;                          // textures with pixel data the selection passed over
    uint64_t bytesRead = 0;                          // the input file's size, once it is opened
    std::vector<TextureRow> rows;                    // filled when listing
    bool imported = false;                           // an import's report
    std::vector<uint64_t> replaced;                  // importing: the textures replaced (listing: to replace)
};

}  // namespace lumenpull

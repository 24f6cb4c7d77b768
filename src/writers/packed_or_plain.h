#pragma once

#include <cstdint>
#include <string>

#include "output/output_file.h"

namespace lumenpull {

// The running size of an image's packed pixel data against its plain size.
class PackingBudget {
public:
    explicit PackingBudget(uint64_t plainBytes) : plainBytes_(plainBytes) {}

    // Counts `bytes` more packed bytes; true while the packed data is still
    // no larger than the plain data.
    bool add(uint64_t bytes) {
        packedBytes_ += bytes;
        return packedBytes_ <= plainBytes_;
    }

private:
    uint64_t plainBytes_;
    uint64_t packedBytes_ = 0;
};

// Writes one image file packed, unless packing is off or stops paying, and
// then plain. `writePacked(file)` writes the header and packs the rows
// straight into the file as they are decoded, and returns false as soon as
// the packed data passes the plain size (see PackingBudget). As that size
// only grows, the image is then plain for certain: the file is emptied
// (still the same temporary file, see OutputFile::restart) and
// `writePlain(file)` decodes and writes it again plain. The file is the same
// as packing every row, comparing and writing the smaller form; images that
// pack are written once, from one pass, with one row of packets in memory.
// Either way the image reaches its final name once, complete, through
// `output`.
template <typename WritePacked, typename WritePlain>
void writePackedOrPlain(ImageOutput& output, const std::string& path, bool pack, WritePacked&& writePacked,
                        WritePlain&& writePlain) {
    OutputFile file(output, path);
    if (!pack || !writePacked(file)) {
        if (pack) file.restart();
        writePlain(file);
    }
    file.finish();
}

}  // namespace lumenpull

#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "unpack/buffer_pool.h"
#include "unpack/byte_block.h"
#include "unpack/unpack_parameters.h"

namespace lumenpull {

// What the unpacking found a texture's stored bytes to be: what a listing
// shows, and exactly what the conversion did to them.
struct UnpackFindings {
    enum class Mips { None, LargestFirst, LargestLast };
    bool inflated = false;   // zlib data, inflated
    bool planes = false;     // delta-coded planes, decoded
    Mips mips = Mips::None;  // smaller mip levels found, the largest image at this end of each block
    bool shortData = false;  // fewer bytes than the image count's largest images need
};

// What the last step finds in `length` bytes of inflated and plane-decoded
// data: smaller mip levels beside the largest images, or too few bytes for them.
void findImages(UnpackFindings& findings, uint64_t length, const UnpackParameters& p);

// The first step of unpacking: the bytes the later steps work on. When zlib
// takes the stored bytes they are inflated into `made`, a block from
// `buffers` (and `stored` goes back there); otherwise `data` views the
// stored bytes. Notes the outcome in `findings`.
struct FirstStep {
    ByteBlock made;
    std::span<uint8_t> data;
};
FirstStep inflatedOrStored(std::vector<uint8_t>& stored, const UnpackParameters& p, UnpackFindings& findings,
                           BufferPool& buffers);

// A texture's plain images, one after another, and the buffer they lie in:
// the stored bytes, zlib's output or the decoded planes. Nothing is copied
// to make them: smaller mip levels are dropped by moving the largest images
// together inside that buffer, so only pages the steps write are touched.
class UnpackedPixels {
public:
    UnpackedPixels(std::vector<uint8_t> stored, ByteBlock made, std::span<uint8_t> images,
                   const UnpackFindings& findings)
        : stored_(std::move(stored)), made_(std::move(made)), images_(images), findings_(findings) {}

    std::span<const uint8_t> images() const { return images_; }
    const UnpackFindings& findings() const { return findings_; }

    // Hands the buffers to `buffers` for the next texture; the images are
    // gone then.
    void returnBuffers(BufferPool& buffers);

private:
    // Moving either owner keeps its bytes where they are, so the view stays valid.
    std::vector<uint8_t> stored_;
    ByteBlock made_;
    std::span<uint8_t> images_;
    UnpackFindings findings_;
};

// Turns a texture's stored pixel data into its plain images, in three steps
// in this order: inflates zlib data (inflation.h), decodes delta-coded planes
// (planes.h) and keeps only the largest image of every face or frame
// (largest_images.h). Prints nothing. The buffers it makes come from
// `buffers`, and those it is done with go back there.
UnpackedPixels unpackedPixels(std::vector<uint8_t> stored, const UnpackParameters& p, BufferPool& buffers);
// The same from stored bytes the caller keeps (copied first: the steps work
// in place).
UnpackedPixels unpackedPixels(std::span<const uint8_t> stored, const UnpackParameters& p, BufferPool& buffers);

}  // namespace lumenpull

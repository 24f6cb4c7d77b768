#pragma once

#include <cstdint>
#include <span>

#include "pictures/picture.h"

namespace lumenpull {

// One reader per picture type; readPicture picks one by extension.
Picture readTga(std::span<const uint8_t> file);
Picture readPng(std::span<const uint8_t> file);
Picture readDds(std::span<const uint8_t> file);
Picture readRadiance(std::span<const uint8_t> file);
Picture readExr(std::span<const uint8_t> file);

// Throws unless a picture of `width` × `height` pixels of `bytesPerPixel`
// decoded bytes can come out of `fileBytes` bytes of a file whose coding
// turns one stored byte into at most `ratio` decoded ones: a hostile header
// then cannot make the reader allocate far more than the file justifies.
void checkDecodedSize(uint64_t width, uint64_t height, uint64_t bytesPerPixel, uint64_t fileBytes, uint64_t ratio,
                      const char* type);

}  // namespace lumenpull

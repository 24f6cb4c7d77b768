#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lumenpull {

// A resource file taken apart into the container around its payload and
// the payload itself, so that the payload can change and be put back into
// a container of the same kind.
struct ContainerPayload {
    enum class Kind { Plain, Work, Signed };
    Kind kind = Kind::Plain;
    std::vector<uint8_t> payload;
    // Signed containers: where the header ends and how the payload is cut.
    uint64_t dataStart = 0;
    uint32_t blockSize = 0;
    uint32_t signatureSize = 0;
};

// Reads the container as the tool does (a signed one must name the
// editor's sign key); throws what the reader throws.
ContainerPayload containerPayload(std::span<const uint8_t> file);

// The file again around `payload`: the same container kind and header; a
// signed container cut into blocks of its block size again, each followed
// by a signature record, the old record where its block is unchanged and
// zeros where it is not (a signature cannot be made here).
std::vector<uint8_t> wrappedPayload(std::span<const uint8_t> file, const ContainerPayload& old,
                                    std::span<const uint8_t> payload);

}  // namespace lumenpull

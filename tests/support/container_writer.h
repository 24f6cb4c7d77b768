#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumenpull::test {

// Everything a signed container's header holds. The defaults are those of a
// container signed with the editor's key.
struct SignedHeader {
    uint32_t version = 5;
    uint32_t blockSize = 65536;
    uint32_t signatureSize = 256;
    uint32_t headerValueA = 4, headerValueB = 0;
    std::string headerText;  // any text
    std::string signKey = "Signkey.EditorSignature";
};

// The byte every signature record is filled with (records are never read).
constexpr uint8_t kSignatureFill = 0xA5;

// A work-stream container: the 20-byte header, then the payload.
std::vector<uint8_t> wrapWorkStream(std::span<const uint8_t> payload, uint32_t gapParam = 0);

// A signed container: header, a record, then the payload in blocks of
// `blockSize` bytes, each followed by a record. A block size of 0 cannot cut
// the payload: the payload then follows the first record whole.
std::vector<uint8_t> wrapSigned(std::span<const uint8_t> payload, const SignedHeader& header = {});

// Only the header of a signed container (for hand-made hostile files).
std::vector<uint8_t> signedHeaderBytes(const SignedHeader& header);

enum class ContainerKind { Plain, Work, Signed };

// Plain returns the payload itself; the others wrap it with default headers.
std::vector<uint8_t> wrapPayload(ContainerKind kind, std::span<const uint8_t> payload);

// "Plain", "Work", "Signed" (for test names).
std::string containerKindName(ContainerKind kind);

}  // namespace lumenpull::test

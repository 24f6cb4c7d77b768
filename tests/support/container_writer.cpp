#include "support/container_writer.h"

#include <algorithm>

namespace lumenpull::test {

namespace {

void appendTag(std::vector<uint8_t>& out, const char (&letters)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(letters[i]));
}

void appendRecord(std::vector<uint8_t>& out, uint32_t size) { out.insert(out.end(), size, kSignatureFill); }

void appendU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendCountedString(std::vector<uint8_t>& out, const std::string& text) {
    appendU32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::vector<uint8_t> wrapWorkStream(std::span<const uint8_t> payload, uint32_t gapParam) {
    std::vector<uint8_t> out;
    appendTag(out, "WRKS");
    appendTag(out, "TRM1");
    appendU32(out, 0x6C720D60u);
    appendU32(out, 0);  // never interpreted
    appendU32(out, gapParam);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> signedHeaderBytes(const SignedHeader& header) {
    std::vector<uint8_t> out;
    appendTag(out, "SIGS");
    appendTag(out, "TRM1");
    appendTag(out, "2GIS");
    appendU32(out, header.version);
    appendU32(out, header.blockSize);
    appendU32(out, header.headerValueA);
    appendU32(out, 0);  // never interpreted
    appendU32(out, header.headerValueB);
    appendU32(out, 0);  // never interpreted (8 bytes)
    appendU32(out, 0);
    appendCountedString(out, header.headerText);
    appendU32(out, header.signatureSize);
    appendCountedString(out, header.signKey);
    return out;
}

std::vector<uint8_t> wrapSigned(std::span<const uint8_t> payload, const SignedHeader& header) {
    std::vector<uint8_t> out = signedHeaderBytes(header);
    appendRecord(out, header.signatureSize);
    if (header.blockSize == 0) {
        out.insert(out.end(), payload.begin(), payload.end());
        return out;
    }
    for (size_t at = 0; at < payload.size(); at += header.blockSize) {
        const size_t length = std::min<size_t>(header.blockSize, payload.size() - at);
        out.insert(out.end(), payload.begin() + static_cast<std::ptrdiff_t>(at),
                   payload.begin() + static_cast<std::ptrdiff_t>(at + length));
        appendRecord(out, header.signatureSize);
    }
    return out;
}

std::vector<uint8_t> wrapPayload(ContainerKind kind, std::span<const uint8_t> payload) {
    switch (kind) {
        case ContainerKind::Work: return wrapWorkStream(payload);
        case ContainerKind::Signed: return wrapSigned(payload);
        case ContainerKind::Plain: break;
    }
    return std::vector<uint8_t>(payload.begin(), payload.end());
}

std::string containerKindName(ContainerKind kind) {
    switch (kind) {
        case ContainerKind::Work: return "Work";
        case ContainerKind::Signed: return "Signed";
        case ContainerKind::Plain: break;
    }
    return "Plain";
}

}  // namespace lumenpull::test

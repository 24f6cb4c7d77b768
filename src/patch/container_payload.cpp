#include "patch/container_payload.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "lumenpull/error.h"
#include "stream/memory_input.h"
#include "stream/open_stream.h"
#include "stream/signed_layout.h"
#include "stream/signed_stream.h"
#include "stream/work_stream.h"

namespace lumenpull {

ContainerPayload containerPayload(std::span<const uint8_t> file) {
    ContainerPayload result;
    std::unique_ptr<Stream> stream;
    try {
        stream = OpenInputStream(memoryInputFile(std::vector<uint8_t>(file.begin(), file.end())), true);
    } catch (const Error& error) {
        throw Error(std::string("error opening reading stream: ") + error.what());
    }
    if (const auto* signedStream = dynamic_cast<const SignedStream*>(stream.get())) {
        result.kind = ContainerPayload::Kind::Signed;
        result.dataStart = signedStream->DataStart();
        result.blockSize = signedStream->BlockSize();
        result.signatureSize = signedStream->SignatureSize();
    } else if (dynamic_cast<const WorkStream*>(stream.get()) != nullptr) {
        result.kind = ContainerPayload::Kind::Work;
    }
    result.payload.resize(static_cast<size_t>(stream->PayloadBytesLeft()));
    for (size_t at = 0; at < result.payload.size();) {
        const auto count =
            static_cast<uint32_t>(std::min<size_t>(result.payload.size() - at, std::numeric_limits<uint32_t>::max()));
        stream->Read(result.payload.data() + at, count);
        at += count;
    }
    return result;
}

std::vector<uint8_t> wrappedPayload(std::span<const uint8_t> file, const ContainerPayload& old,
                                    std::span<const uint8_t> payload) {
    std::vector<uint8_t> out;
    if (old.kind == ContainerPayload::Kind::Plain) return std::vector<uint8_t>(payload.begin(), payload.end());
    if (old.kind == ContainerPayload::Kind::Work) {
        const size_t header = static_cast<size_t>(WorkStream::kHeaderSize);
        out.reserve(header + payload.size());
        out.assign(file.begin(), file.begin() + header);
        out.insert(out.end(), payload.begin(), payload.end());
        return out;
    }
    const SignedLayout layout{old.dataStart, old.blockSize, old.signatureSize, file.size()};
    const size_t signature = old.signatureSize;
    // The old record that starts at `rawStart`, when the file holds all of it.
    const auto oldRecord = [&](uint64_t rawStart) -> std::span<const uint8_t> {
        if (rawStart > file.size() || file.size() - rawStart < signature) return {};
        return file.subspan(static_cast<size_t>(rawStart), signature);
    };
    const auto appendRecord = [&](std::span<const uint8_t> record) {
        if (record.size() == signature) {
            out.insert(out.end(), record.begin(), record.end());
        } else {
            out.insert(out.end(), signature, 0);
        }
    };
    out.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(old.dataStart));
    appendRecord(oldRecord(old.dataStart));
    const size_t block = old.blockSize;
    for (size_t at = 0; at < payload.size(); at += block) {
        const size_t length = std::min(block, payload.size() - at);
        const std::span<const uint8_t> now = payload.subspan(at, length);
        out.insert(out.end(), now.begin(), now.end());
        std::span<const uint8_t> record;
        if (at + length <= old.payload.size() && (length == block || at + length == old.payload.size()) &&
            std::equal(now.begin(), now.end(), old.payload.begin() + static_cast<std::ptrdiff_t>(at))) {
            record = oldRecord(layout.RawOf(at) + length);
        }
        appendRecord(record);
    }
    return out;
}

}  // namespace lumenpull

#include "stream/open_stream.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "bytes/little_endian.h"
#include "stream/file_buffer.h"
#include "stream/platform_input.h"
#include "stream/signed_stream.h"
#include "stream/stream_errors.h"
#include "stream/tag.h"
#include "stream/work_stream.h"

namespace lumenpull {

namespace {

enum class FileKind { Plain, Work, Signed };

FileKind sniff(const std::string& path) {
    // Opened and checked like every input, so a FIFO or device cannot hold the run up here.
    const int descriptor = openRegularFile(path);
    FileBuffer probe(descriptor, std::ios_base::in | std::ios_base::binary);
    if (!probe.is_open()) {
        const int error = errno;
        closeDescriptor(descriptor);
        ThrowErrorOpening(path, std::strerror(error));
    }
    unsigned char head[8] = {};
    if (probe.sgetn(reinterpret_cast<char*>(head), sizeof head) != static_cast<std::streamsize>(sizeof head)) {
        return FileKind::Plain;
    }
    const uint32_t first = loadLittleEndian32(head);
    const uint32_t second = loadLittleEndian32(head + 4);
    if (second != MakeTag("TRM1")) return FileKind::Plain;
    if (first == MakeTag("SIGS")) return FileKind::Signed;
    if (first == MakeTag("WRKS")) return FileKind::Work;
    return FileKind::Plain;
}

}  // namespace

std::unique_ptr<Stream> OpenStream(const std::string& path, const char* mode, int32_t writeKind, bool verify,
                                   bool signOnWrite) {
    const char kind = mode != nullptr ? mode[0] : 0;
    if (kind == 'w') {
        if (signOnWrite && writeKind != 1) {
            auto stream = std::make_unique<SignedStream>();
            stream->Open(path, mode, false);
            return stream;
        }
        auto stream = std::make_unique<Stream>();
        stream->Open(path, mode);
        return stream;
    }
    if (kind != 'r') ThrowInvalidMode();

    // On a failed Open the half-opened object goes out of scope here, which
    // closes its file, and the error travels on unchanged.
    switch (sniff(path)) {
    case FileKind::Signed: {
        auto stream = std::make_unique<SignedStream>();
        stream->Open(path, mode, verify);
        return stream;
    }
    case FileKind::Work: {
        auto stream = std::make_unique<WorkStream>();
        stream->Open(path, mode);
        return stream;
    }
    case FileKind::Plain: break;
    }
    auto stream = std::make_unique<Stream>();
    stream->Open(path, mode);
    return stream;
}

}  // namespace lumenpull

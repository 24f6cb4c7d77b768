#include "stream/open_stream.h"

#include "bytes/little_endian.h"
#include "stream/file_buffer.h"
#include "stream/input_file.h"
#include "stream/signed_stream.h"
#include "stream/stream_errors.h"
#include "stream/tag.h"
#include "stream/work_stream.h"

namespace lumenpull {

namespace {

enum class FileKind { Plain, Work, Signed };

// The kind of an opened file by its first eight bytes, which are looked at
// without being consumed: the stream then reads the file from its start.
FileKind sniff(InputFile& input) {
    unsigned char head[8] = {};
    if (input.size < sizeof head) return FileKind::Plain;
    if (input.buffer->peekBuffered(head, sizeof head) != sizeof head) {
        // The first read came up short: read the bytes, then go back.
        FileBuffer& file = *input.buffer;
        const bool read =
            file.sgetn(reinterpret_cast<char*>(head), sizeof head) == static_cast<std::streamsize>(sizeof head);
        file.pubseekpos(0, std::ios_base::in);
        if (!read) return FileKind::Plain;
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

    // Opened once, and checked like every input, so a FIFO or device cannot
    // hold the run up.
    return OpenInputStream(openInputFile(path), verify);
}

std::unique_ptr<Stream> OpenInputStream(InputFile input, bool verify) {
    // On a failed Open the half-opened object goes out of scope here, which
    // closes its file, and the error travels on unchanged.
    switch (sniff(input)) {
        case FileKind::Signed: {
            auto stream = std::make_unique<SignedStream>();
            stream->Open(std::move(input), verify);
            return stream;
        }
        case FileKind::Work: {
            auto stream = std::make_unique<WorkStream>();
            stream->Open(std::move(input));
            return stream;
        }
        case FileKind::Plain: break;
    }
    auto stream = std::make_unique<Stream>();
    stream->Open(std::move(input));
    return stream;
}

}  // namespace lumenpull

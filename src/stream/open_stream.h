#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "stream/input_file.h"
#include "stream/stream.h"

namespace lumenpull {

// Opens `path` as the stream its first eight bytes call for: "SIGS" "TRM1" a
// signed container, "WRKS" "TRM1" a work stream, anything else (shorter files
// included) a plain stream. `verify` asks a signed container for the editor's
// sign key. In mode 'w' a signed stream is made when `signOnWrite` is set and
// `writeKind` is not 1, a plain one otherwise. The caller owns the result.
std::unique_ptr<Stream> OpenStream(const std::string& path, const char* mode, int32_t writeKind, bool verify,
                                   bool signOnWrite);

// Reads an input already opened (a file, or bytes in memory) as the stream
// its first eight bytes call for, as OpenStream does in mode 'r'.
std::unique_ptr<Stream> OpenInputStream(InputFile input, bool verify);

}  // namespace lumenpull

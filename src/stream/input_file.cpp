#include "stream/input_file.h"

#include <cerrno>
#include <cstring>

#include "stream/platform_input.h"
#include "stream/stream_errors.h"

namespace lumenpull {

InputFile openInputFile(const std::string& path) {
    // Opened without waiting and checked to be a regular file first.
    InputFile input;
    const int descriptor = openRegularFile(path, input.size);
    input.buffer = std::make_unique<FileBuffer>(descriptor, std::ios_base::in | std::ios_base::binary);
    if (!input.buffer->is_open()) {
        const int error = errno;
        closeDescriptor(descriptor);
        ThrowErrorOpening(path, std::strerror(error));
    }
    return input;
}

}  // namespace lumenpull

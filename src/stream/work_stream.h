#pragma once

#include <cstdint>
#include <string>

#include "stream/stream.h"

namespace lumenpull {

// A work-stream container: a 20-byte header, then the payload, which runs
// contiguously to the end of the file. Payload position p is raw position
// p + 20; positions inside the header are out of reach once it is read.
class WorkStream : public Stream {
public:
    static constexpr uint64_t kHeaderSize = 20;

    WorkStream() = default;

    // Only mode 'r' exists for this container.
    void Open(const std::string& path, const char* mode);
    // Reads the container in a file already opened.
    void Open(InputFile file);

    void Seek(const int64_t& offset, SeekOrigin origin) override;

    // The header's last field; stored, never interpreted.
    uint32_t GapParam() const { return gapParam_; }
    bool IsActive() const { return active_; }

private:
    void StartReading();

    uint32_t gapParam_ = 0;
    bool active_ = false;
};

}  // namespace lumenpull

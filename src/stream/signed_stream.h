#pragma once

#include <cstdint>
#include <string>

#include "stream/signed_layout.h"
#include "stream/stream.h"

namespace lumenpull {

// A signed container: a header, then the payload cut into blocks, each block
// followed by a signature record. Reads and seeks see only the payload; the
// records are stepped over, never checked. Verification means only that the
// header names the editor's sign key.
class SignedStream : public Stream {
public:
    SignedStream() = default;

    // 'r' reads the header (and with `verify` checks the key name); 'w'
    // creates the file and writes payload bytes straight into it, without
    // header or records.
    void Open(const std::string& path, const char* mode, bool verify);
    // Reads the container in a file already opened, as mode 'r' does.
    void Open(InputFile file, bool verify);

    void Close() override;
    void Seek(const int64_t& offset, SeekOrigin origin) override;
    void Read(void* buffer, uint32_t count) override;
    uint64_t PayloadBytesLeft() const override;

    uint32_t BlockSize() const { return layout_.blockSize; }
    uint32_t SignatureSize() const { return layout_.signatureSize; }
    uint32_t HeaderValueA() const { return headerValueA_; }
    uint32_t HeaderValueB() const { return headerValueB_; }
    uint64_t DataStart() const { return layout_.dataStart; }
    uint64_t PayloadSize() const { return payloadSize_; }
    // Number of the next signature record to step over.
    uint64_t BlockIndex() const { return blockIndex_; }
    bool IsActive() const { return active_; }

protected:
    uint64_t PeekState() const override { return blockIndex_; }
    void RestorePeekState(uint64_t rawPosition, uint64_t state) override;

private:
    void Reset();
    void ReadHeader(bool verify);
    void StartReading(bool verify);
    void SetBlockIndex(uint64_t j);
    void ReadAcrossRecords(uint8_t* out, uint32_t count);
    void StepOverRecord();
    // Goes to payload position x. A forward move that ends the payload inside
    // a short last block also steps over the final record, as a read does.
    void MoveToPayload(uint64_t x, bool forward);

    SignedLayout layout_;
    uint64_t payloadSize_ = 0;
    uint32_t headerValueA_ = 4;
    uint32_t headerValueB_ = 0;
    uint64_t blockIndex_ = 0;
    // Cached Boundary(blockIndex_); 0 while inactive or writing, so that the
    // in-block fast path of Read never applies then.
    uint64_t boundary_ = 0;
    bool boundaryIsEnd_ = false;
    bool active_ = false;
};

}  // namespace lumenpull

#include <gtest/gtest.h>

#include <array>

#include "stream/signed_stream.h"
#include "stream_test_helpers.h"
#include "support/container_writer.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::countingBytes;
using test::SignedHeader;
using test::TempDir;
using test::thrownText;
using test::writeTemp;

SignedHeader smallBlocks(uint32_t blockSize = 16, uint32_t signatureSize = 4) {
    SignedHeader header;
    header.blockSize = blockSize;
    header.signatureSize = signatureSize;
    return header;
}

// Block size 16, signature size 4, payload 0..39: header (D bytes), record,
// 16 bytes, record, 16 bytes, record, 8 bytes, final record.
class SignedWorkedExample : public ::testing::Test {
protected:
    void SetUp() override {
        path = writeTemp(dir, "signed.rsc", test::wrapSigned(payload, smallBlocks()));
        stream.Open(path, "r", true);
        D = stream.DataStart();
    }

    std::vector<uint8_t> read(uint32_t count) {
        std::vector<uint8_t> bytes(count);
        stream.Read(bytes.data(), count);
        return bytes;
    }

    void expectAt(uint64_t raw, uint64_t blockIndex) {
        EXPECT_EQ(stream.Tell(), raw);
        EXPECT_EQ(stream.BlockIndex(), blockIndex);
    }

    TempDir dir;
    std::string path;
    const std::vector<uint8_t> payload = countingBytes(40);
    SignedStream stream;
    uint64_t D = 0;
};

TEST_F(SignedWorkedExample, HeaderIsReadAndThePositionWaitsBeforeTheFirstRecord) {
    EXPECT_EQ(D, 75u);  // empty header text and the editor key
    EXPECT_EQ(stream.Size(), D + 56);
    EXPECT_EQ(stream.BlockSize(), 16u);
    EXPECT_EQ(stream.SignatureSize(), 4u);
    EXPECT_EQ(stream.HeaderValueA(), 4u);
    EXPECT_EQ(stream.PayloadSize(), 40u);
    EXPECT_EQ(stream.PayloadBytesLeft(), 40u);
    expectAt(D, 0);
}

TEST_F(SignedWorkedExample, OneReadJoinsTheBlocksAndEndsPastTheFinalRecord) {
    EXPECT_EQ(read(40), payload);
    expectAt(D + 56, 4);
    EXPECT_EQ(stream.PayloadBytesLeft(), 0u);
    EXPECT_EQ(thrownText([&] { read(1); }), "Error reading");
}

TEST_F(SignedWorkedExample, ForwardAndBackwardSkipsLandOnTheSamePayloadPositions) {
    stream.Skip(20);
    expectAt(D + 28, 2);
    EXPECT_EQ(read(1), std::vector<uint8_t>{20});

    stream.Seek(0, SeekOrigin::Begin);
    expectAt(D + 4, 1);
    read(14);
    expectAt(D + 18, 1);
    stream.Skip(4);
    expectAt(D + 26, 2);
    stream.Skip(-4);
    expectAt(D + 18, 1);
    EXPECT_EQ(read(4), (std::vector<uint8_t>{14, 15, 16, 17}));

    // A skip to a block's end steps over the record, as a read does; back
    // across two records ends where a forward move to that position would.
    stream.Seek(0, SeekOrigin::Begin);
    stream.Skip(32);
    expectAt(D + 44, 3);
    stream.Skip(-31);
    expectAt(D + 5, 1);
    stream.Skip(39);
    expectAt(D + 56, 4);  // the end of the payload, past the final record
    EXPECT_EQ(thrownText([&] { stream.Skip(1); }), "Seek offset out of range");
    expectAt(D + 56, 4);
}

TEST_F(SignedWorkedExample, SeeksFromBeginAndEndMapPayloadOffsets) {
    stream.Seek(0, SeekOrigin::End);
    expectAt(D + 52, 3);
    EXPECT_EQ(thrownText([&] { read(1); }), "Error reading");

    SignedStream other;
    other.Open(path, "r", true);
    other.Seek(20, SeekOrigin::Begin);  // across the first block's record
    EXPECT_EQ(other.Tell(), D + 28);
    EXPECT_EQ(other.BlockIndex(), 2u);
    uint8_t byte = 0;
    other.Read(&byte, 1);
    EXPECT_EQ(byte, 20);
    other.Seek(9, SeekOrigin::End);  // payload byte 31
    other.Read(&byte, 1);
    EXPECT_EQ(byte, 31);
    for (const auto& seek : {std::pair{int64_t{41}, SeekOrigin::Begin},
                             {-1, SeekOrigin::Begin},
                             {41, SeekOrigin::End},
                             {-1, SeekOrigin::End},
                             {-33, SeekOrigin::Current}}) {
        EXPECT_EQ(thrownText([&] { other.Seek(seek.first, seek.second); }), "Seek offset out of range");
    }
    EXPECT_EQ(other.Tell(), D + 44);  // unchanged by the refused seeks
}

TEST_F(SignedWorkedExample, PeekAcrossARecordRestoresPositionAndBlockIndex) {
    read(15);
    expectAt(D + 19, 1);
    std::array<uint8_t, 2> peeked{};
    stream.Peek(peeked.data(), 2);
    EXPECT_EQ(peeked, (std::array<uint8_t, 2>{15, 16}));
    expectAt(D + 19, 1);
    EXPECT_EQ(read(2), (std::vector<uint8_t>{15, 16}));
    expectAt(D + 25, 2);
}

TEST_F(SignedWorkedExample, CloseDropsTheContainerView) {
    stream.Close();
    EXPECT_FALSE(stream.IsActive());
    EXPECT_EQ(thrownText([&] { read(1); }), "Operation on closed stream");
    EXPECT_EQ(thrownText([&] { stream.Skip(1); }), "Operation on closed stream");
    EXPECT_EQ(thrownText([&] { stream.Write("x", 1); }), "Operation on closed stream");
    stream.Close();
}

TEST(SignedStreamEnd, ALongLastBlockNeverYieldsItsRecordAsPayload) {
    // Last block of 14 bytes: its computed boundary would lie inside the
    // final record.
    TempDir dir;
    SignedStream stream;
    stream.Open(writeTemp(dir, "s.rsc", test::wrapSigned(countingBytes(46), smallBlocks())), "r", true);
    std::vector<uint8_t> bytes(46);
    stream.Read(bytes.data(), 46);
    EXPECT_EQ(bytes, countingBytes(46));
    EXPECT_EQ(stream.Tell(), stream.Size());
    EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 1); }), "Error reading");

    stream.Seek(2, SeekOrigin::End);
    EXPECT_EQ(thrownText([&] { stream.Skip(3); }), "Seek offset out of range");
    EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 3); }), "Error reading");
}

TEST(SignedStreamEnd, RecordsOfNoBytesEndThePayloadWithoutLooping) {
    TempDir dir;
    for (size_t length : {0u, 16u, 40u}) {
        SCOPED_TRACE(length);
        SignedStream stream;
        stream.Open(writeTemp(dir, "s.rsc", test::wrapSigned(countingBytes(length), smallBlocks(16, 0))), "r", true);
        std::vector<uint8_t> bytes(length + 1);
        stream.Read(bytes.data(), static_cast<uint32_t>(length));
        EXPECT_EQ(stream.Tell(), stream.Size());
        EXPECT_EQ(thrownText([&] { stream.Skip(1); }), "Seek offset out of range");
        EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 1); }), "Error reading");
    }
}

TEST(SignedStreamOpen, RefusesBadModesHeadersAndKeys) {
    TempDir dir;
    SignedStream stream;
    const std::string absent = dir / "absent.rsc";
    EXPECT_EQ(thrownText([&] { stream.Open(absent, "x", true); }), "Invalid stream mode, must be 'r' or 'w'");
    EXPECT_EQ(thrownText([&] { stream.Open(absent, "r", true); }),
              "Error opening file " + absent + ": No such file or directory");

    SignedHeader oldVersion;
    oldVersion.version = 4;
    EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "v.rsc", test::wrapSigned({}, oldVersion)), "r", true); }),
              "Invalid signed stream version 4");
    oldVersion.version = 0xFFFFFFFF;
    EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "v.rsc", test::wrapSigned({}, oldVersion)), "r", true); }),
              "Invalid signed stream version 4294967295");

    auto wrongThird = test::wrapSigned({});
    wrongThird[8] = 'X';
    EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "t.rsc", wrongThird), "r", true); }),
              "Expected '1397311282' but found '1397311320'");
    EXPECT_FALSE(stream.IsActive());
    EXPECT_FALSE(stream.IsOpen());  // a failed open leaves no file open

    for (const std::string key : {"", "Signkey.Other", "Signkey.EditorSignatur"}) {
        SCOPED_TRACE(key);
        SignedHeader header;
        header.signKey = key;
        const std::string path = writeTemp(dir, "k.rsc", test::wrapSigned(countingBytes(3), header));
        EXPECT_EQ(thrownText([&] { stream.Open(path, "r", true); }),
                  "Only editor sign key is available for verification");
        stream.Open(path, "r", false);
        uint8_t bytes[3] = {};
        stream.Read(bytes, 3);
        EXPECT_EQ(bytes[2], 2);
    }

    SignedHeader noBlocks;
    noBlocks.blockSize = 0;
    EXPECT_EQ(thrownText([&] {
                  stream.Open(writeTemp(dir, "z.rsc", test::wrapSigned(countingBytes(8), noBlocks)), "r", false);
              }),
              "Invalid signed stream block size 0");
    EXPECT_FALSE(stream.IsActive());
    EXPECT_FALSE(stream.IsOpen());
}

TEST(SignedStreamOpen, AHeaderCutShortIsAReadError) {
    TempDir dir;
    SignedHeader header;
    header.headerText = "made by a test";
    const auto full = test::signedHeaderBytes(header);
    for (size_t cut = 0; cut < full.size(); cut += 3) {
        SCOPED_TRACE(cut);
        SignedStream stream;
        const std::vector<uint8_t> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "cut.rsc", bytes), "r", true); }), "Error reading");
    }
}

// Headers made to hang, crash or exhaust memory: each ends in a clear error at
// open or on the first access beyond what the file holds.
TEST(SignedStreamHostile, AbsurdSizesAreRefusedWithoutAllocatingOrLooping) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const char* openError;  // nullptr: opens
    };
    auto withSizes = [](uint32_t blockSize, uint32_t signatureSize) {
        SignedHeader header;
        header.blockSize = blockSize;
        header.signatureSize = signatureSize;
        auto bytes = test::signedHeaderBytes(header);
        bytes.resize(bytes.size() + 64, 0x11);  // a little data, far less than one record
        return bytes;
    };
    auto withTextLength = [](size_t at) {
        auto bytes = test::signedHeaderBytes({});
        for (size_t i = 0; i < 4; ++i) bytes[at + i] = 0xFF;
        return bytes;
    };
    const Case cases[] = {
        {"huge signature size", withSizes(16, 0xFFFFFFFF), nullptr},
        {"huge block and signature sizes", withSizes(0xFFFFFFFF, 0xFFFFFFFF), nullptr},
        {"block size 1, no records", withSizes(1, 0), nullptr},
        {"huge header text", withTextLength(40), "Error reading"},
        {"huge key name", withTextLength(48), "Error reading"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignedStream stream;
        const std::string path = writeTemp(dir, "hostile.rsc", c.file);
        if (c.openError != nullptr) {
            EXPECT_EQ(thrownText([&] { stream.Open(path, "r", true); }), c.openError);
            continue;
        }
        stream.Open(path, "r", true);
        EXPECT_LE(stream.PayloadBytesLeft(), stream.Size());
        std::vector<uint8_t> bytes(128);
        EXPECT_EQ(thrownText([&] { stream.Skip(1 << 30); }), "Seek offset out of range");
        EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 128); }), "Error reading");
    }
}

TEST(SignedStreamWrite, WritesPayloadBytesWithoutHeaderOrRecords) {
    TempDir dir;
    const std::string path = dir / "out.rsc";
    {
        SignedStream stream;
        stream.Open(path, "w", false);
        EXPECT_TRUE(stream.IsActive());
        EXPECT_EQ(stream.BlockSize(), 65536u);
        EXPECT_EQ(stream.SignatureSize(), 256u);
        EXPECT_EQ(stream.DataStart(), 75u);
        EXPECT_EQ(stream.HeaderValueA(), 4u);
        stream.Write("abc", 3);
        stream.Write("de", 2);
        EXPECT_EQ(stream.Tell(), 5u);
        uint8_t byte = 0;
        stream.Read(&byte, 0);  // nothing to do
        EXPECT_EQ(thrownText([&] { stream.Read(&byte, 1); }), "Invalid mode to perform this operation");
    }
    EXPECT_EQ(test::readFileBytes(path), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e'}));

    SignedStream reader;
    reader.Open(writeTemp(dir, "in.rsc", test::wrapSigned(countingBytes(4))), "r", true);
    EXPECT_EQ(thrownText([&] { reader.Write("x", 1); }), "Invalid mode to perform this operation");
}

}  // namespace
}  // namespace lumenpull

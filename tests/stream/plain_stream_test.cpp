#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "stream/stream.h"
#include "stream/tag.h"
#include "stream_test_helpers.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::countingBytes;
using test::TempDir;
using test::thrownText;
using test::writeTemp;

class PlainStream : public ::testing::Test {
protected:
    // A 10-byte file 0..9, opened for reading.
    void SetUp() override { stream.Open(writeTemp(dir, "ten.bin", countingBytes(10)), "r"); }

    TempDir dir;
    Stream stream;
};

TEST_F(PlainStream, OpenMeasuresSizeAndReadsExactCounts) {
    EXPECT_EQ(stream.Size(), 10u);
    std::array<uint8_t, 10> bytes{};
    stream.Read(bytes.data(), 4);
    EXPECT_EQ(stream.Tell(), 4u);
    stream.Read(bytes.data() + 4, 6);  // ends exactly at the end of the file
    EXPECT_EQ(bytes, (std::array<uint8_t, 10>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(stream.Tell(), 10u);
}

TEST_F(PlainStream, AFailedReadFailsEveryLaterReadUntilReopened) {
    std::array<uint8_t, 16> bytes{};
    stream.Skip(8);
    EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 4); }), "Error reading");
    // The two bytes that were there were delivered and consumed.
    EXPECT_EQ(bytes[0], 8);
    EXPECT_EQ(bytes[1], 9);
    EXPECT_EQ(stream.Tell(), 10u);

    stream.Seek(0, SeekOrigin::Begin);  // moving does not heal the stream
    EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 1); }), "Error reading");
    EXPECT_EQ(thrownText([&] { stream.Read(bytes.data(), 0); }), "Error reading");
    EXPECT_EQ(thrownText([&] { stream.Peek(bytes.data(), 1); }), "Error reading");
    EXPECT_EQ(thrownText([&] { stream.ExpectTag(0); }), "Error reading");

    stream.Open(dir / "ten.bin", "r");
    stream.Read(bytes.data(), 10);
    EXPECT_EQ(bytes[9], 9);
}

TEST_F(PlainStream, SeekKeepsWithinTheFileAndLeavesThePositionOnError) {
    struct Case {
        int64_t offset;
        SeekOrigin origin;
        int64_t expected;  // -1: out of range
    };
    const Case cases[] = {
        {10, SeekOrigin::Begin, 10},
        {11, SeekOrigin::Begin, -1},
        {-1, SeekOrigin::Begin, -1},
        {0, SeekOrigin::End, 10},
        {1, SeekOrigin::End, -1},
        {-10, SeekOrigin::End, 0},
        {-11, SeekOrigin::End, -1},
        {3, SeekOrigin::Current, 6},
        {7, SeekOrigin::Current, 10},
        {8, SeekOrigin::Current, -1},
        {-3, SeekOrigin::Current, 0},
        {-4, SeekOrigin::Current, -1},
        {INT64_MIN, SeekOrigin::Current, -1},
        {INT64_MAX, SeekOrigin::Current, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " origin " << static_cast<int>(c.origin));
        stream.Seek(3, SeekOrigin::Begin);
        if (c.expected < 0) {
            EXPECT_EQ(thrownText([&] { stream.Seek(c.offset, c.origin); }), "Seek offset out of range");
            EXPECT_EQ(stream.Tell(), 3u);
        } else {
            stream.Seek(c.offset, c.origin);
            EXPECT_EQ(stream.Tell(), static_cast<uint64_t>(c.expected));
        }
    }
    // The position really moved: the next byte read is the one there.
    stream.Seek(-3, SeekOrigin::End);
    uint8_t byte = 0;
    stream.Read(&byte, 1);
    EXPECT_EQ(byte, 7);
}

TEST_F(PlainStream, PeekLeavesThePositionAndSkipMovesOn) {
    std::array<uint8_t, 3> peeked{}, read{};
    stream.Skip(5);
    stream.Peek(peeked.data(), 3);
    EXPECT_EQ(stream.Tell(), 5u);
    stream.Read(read.data(), 3);
    EXPECT_EQ(peeked, read);
    EXPECT_EQ(read, (std::array<uint8_t, 3>{5, 6, 7}));
}

TEST_F(PlainStream, ClosedStreamRefusesEveryOperation) {
    stream.Close();
    stream.Close();  // harmless
    uint8_t byte = 0;
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [&] { stream.Read(&byte, 1); }, [&] { stream.Write(&byte, 1); },
             [&] { stream.Seek(0, SeekOrigin::Begin); }, [&] { stream.Tell(); }, [&] { stream.Peek(&byte, 1); },
             [&] { stream.Skip(1); }}) {
        EXPECT_EQ(thrownText(call), "Operation on closed stream");
    }
}

TEST(PlainStreamOpen, RefusesBadModesMissingFilesAndDirectories) {
    TempDir dir;
    Stream stream;
    const std::string path = dir / "absent.bin";
    EXPECT_EQ(thrownText([&] { stream.Open(path, "x"); }), "Invalid stream mode, must be 'r' or 'w'");
    EXPECT_FALSE(std::filesystem::exists(path));  // nothing touched
    EXPECT_EQ(thrownText([&] { stream.Open(path, "r"); }),
              "Error opening file " + path + ": No such file or directory");
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Mode(), 0);
    dir.makeDir("folder");
    EXPECT_EQ(thrownText([&] { stream.Open(dir / "folder", "r"); }),
              "Error opening file " + (dir / "folder") + ": Is a directory");
    EXPECT_EQ(thrownText([&] { stream.Open(dir / "folder", "w"); }),
              "Error opening file " + (dir / "folder") + ": Is a directory");
}

TEST(PlainStreamOpen, ReopeningClosesThePreviousFileAndClearsTheFailure) {
    TempDir dir;
    Stream stream;
    stream.Open(writeTemp(dir, "a.bin", {1}), "r");
    uint8_t bytes[2] = {};
    EXPECT_EQ(thrownText([&] { stream.Read(bytes, 2); }), "Error reading");
    stream.Open(writeTemp(dir, "b.bin", {7, 8}), "r");
    stream.Read(bytes, 2);
    EXPECT_EQ(bytes[1], 8);
}

TEST(PlainStreamWrite, WritesExactlyTheGivenBytesAndRefusesToRead) {
    TempDir dir;
    const std::string path = writeTemp(dir, "out.bin", countingBytes(64));  // truncated on open
    {
        Stream stream;
        stream.Open(path, "w");
        EXPECT_EQ(stream.Size(), 0u);
        const uint8_t bytes[] = {'a', 'b', 'c', 'd'};
        stream.Write(bytes, 4);
        EXPECT_EQ(stream.Tell(), 4u);
        stream.Seek(1, SeekOrigin::Begin);  // no range check while writing
        stream.Write(bytes, 1);
        uint8_t byte = 0;
        EXPECT_EQ(thrownText([&] { stream.Read(&byte, 1); }), "Invalid mode to perform this operation");
    }
    EXPECT_EQ(test::readFileBytes(path), (std::vector<uint8_t>{'a', 'a', 'c', 'd'}));

    Stream reader;
    reader.Open(path, "r");
    EXPECT_EQ(thrownText([&] { reader.Write("x", 1); }), "Invalid mode to perform this operation");
}

// A move of 4 GiB and more is never taken for a hop within the bytes the file
// buffer already holds, whatever the width of size_t.
TEST(PlainStreamLarge, MovesBeyondFourGiBLandWhereTheyAim) {
    TempDir dir;
    const uint64_t far = (uint64_t{1} << 32) + 4;
    dir.writeSparseFile("big.bin", far + 4, {{0, "HEAD"}, {far, "TAIL"}});
    Stream stream;
    stream.Open(dir / "big.bin", "r");
    ASSERT_EQ(stream.Size(), far + 4);
    const auto read = [&stream](uint32_t count) {
        std::string bytes(count, '\0');
        stream.Read(bytes.data(), count);
        return bytes;
    };
    EXPECT_EQ(read(4), "HEAD");
    stream.Seek(static_cast<int64_t>(far), SeekOrigin::Begin);
    EXPECT_EQ(read(4), "TAIL");
    stream.Seek(0, SeekOrigin::Begin);
    EXPECT_EQ(read(4), "HEAD");
    stream.Skip(static_cast<int64_t>(far - 2));  // 4 GiB and 2 bytes
    EXPECT_EQ(stream.Tell(), far + 2);
    EXPECT_EQ(read(2), "IL");
}

TEST(ExpectTag, ComparesTheWholeLittleEndianWord) {
    TempDir dir;
    Stream stream;
    stream.Open(writeTemp(dir, "tags.bin", {'M', 'E', 'T', 'A', 'M', 'S', 'G', 'S'}), "r");
    stream.ExpectTag(MakeTag("META"));
    EXPECT_EQ(thrownText([&] { stream.ExpectTag(1096041805); }), "Expected '1096041805' but found '1397183309'");
    // Unsigned decimal even for values with the top bit set.
    stream.Seek(0, SeekOrigin::Begin);
    EXPECT_EQ(thrownText([&] { stream.ExpectTag(0xFFFFFFFFu); }), "Expected '4294967295' but found '1096041805'");
}

TEST(ReadString, ReadsLengthAndBytesAndTerminates) {
    TempDir dir;
    Stream stream;
    stream.Open(writeTemp(dir, "s.bin", {3, 0, 0, 0, 'A', 'B', 'C', 0, 0, 0, 0, 9}), "r");
    CountedString text("previous");
    ReadString(stream, text);
    ASSERT_EQ(text.Length(), 3u);
    EXPECT_EQ(std::memcmp(text.text.get(), "ABC", 4), 0);  // includes the NUL
    ReadString(stream, text);
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(text.text, nullptr);
    EXPECT_EQ(stream.Tell(), 11u);  // the empty string consumed its length only
}

TEST(ReadString, RefusesALengthBeyondTheBytesLeftWithoutReadingOn) {
    TempDir dir;
    Stream stream;
    // Claims 4 bytes where 3 are left; then a length of 0xFFFFFFFF.
    stream.Open(writeTemp(dir, "s.bin", {4, 0, 0, 0, 'A', 'B', 'C'}), "r");
    CountedString text("previous");
    EXPECT_EQ(thrownText([&] { ReadString(stream, text); }), "Error reading");
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(stream.Tell(), 4u);
    uint8_t byte = 0;
    EXPECT_EQ(thrownText([&] { stream.Read(&byte, 1); }), "Error reading");  // failed like any short read

    stream.Open(writeTemp(dir, "huge.bin", {0xFF, 0xFF, 0xFF, 0xFF, 'A'}), "r");
    EXPECT_EQ(thrownText([&] { ReadString(stream, text); }), "Error reading");
    EXPECT_EQ(text.text, nullptr);
}

TEST(ReadString, ALengthThatExactlyFitsIsRead) {
    TempDir dir;
    Stream stream;
    stream.Open(writeTemp(dir, "s.bin", {2, 0, 0, 0, 'h', 'i'}), "r");
    CountedString text;
    ReadString(stream, text);
    EXPECT_EQ(text, "hi");
}

}  // namespace
}  // namespace lumenpull

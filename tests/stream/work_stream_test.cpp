#include <gtest/gtest.h>

#include <array>

#include "stream/work_stream.h"
#include "stream_test_helpers.h"
#include "support/container_writer.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::countingBytes;
using test::TempDir;
using test::thrownText;
using test::writeTemp;

class WorkStreamTest : public ::testing::Test {
protected:
    // A work stream around the 10 payload bytes 0..9 (file size 30).
    void SetUp() override {
        path = writeTemp(dir, "work.rsc", test::wrapWorkStream(countingBytes(10), 77));
        stream.Open(path, "r");
    }

    uint8_t readByte() {
        uint8_t byte = 0;
        stream.Read(&byte, 1);
        return byte;
    }

    TempDir dir;
    std::string path;
    WorkStream stream;
};

TEST_F(WorkStreamTest, PayloadStartsAtFileByteTwenty) {
    EXPECT_TRUE(stream.IsActive());
    EXPECT_EQ(stream.GapParam(), 77u);
    EXPECT_EQ(stream.Tell(), 20u);
    EXPECT_EQ(stream.PayloadBytesLeft(), 10u);
    std::array<uint8_t, 4> bytes{};
    stream.Skip(3);
    stream.Seek(0, SeekOrigin::Begin);
    stream.Read(bytes.data(), 4);
    EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0, 1, 2, 3}));
    std::array<uint8_t, 7> tooMany{};
    EXPECT_EQ(thrownText([&] { stream.Read(tooMany.data(), 7); }), "Error reading");
}

TEST_F(WorkStreamTest, SeeksStayInsideThePayload) {
    stream.Seek(4, SeekOrigin::End);  // counts back from the end of the file
    EXPECT_EQ(stream.Tell(), 26u);
    EXPECT_EQ(readByte(), 6);
    stream.Seek(10, SeekOrigin::Begin);
    EXPECT_EQ(stream.Tell(), 30u);
    stream.Seek(10, SeekOrigin::End);
    EXPECT_EQ(stream.Tell(), 20u);

    struct Case {
        int64_t offset;
        SeekOrigin origin;
    };
    const Case refused[] = {
        {11, SeekOrigin::Begin}, {-1, SeekOrigin::Begin},  {-20, SeekOrigin::Begin},  {-1, SeekOrigin::End},
        {11, SeekOrigin::End},   {8, SeekOrigin::Current}, {-6, SeekOrigin::Current}, {INT64_MIN, SeekOrigin::Current},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(::testing::Message() << "offset " << c.offset << " origin " << static_cast<int>(c.origin));
        stream.Seek(5, SeekOrigin::Begin);
        EXPECT_EQ(thrownText([&] { stream.Seek(c.offset, c.origin); }), "Seek offset out of range");
        EXPECT_EQ(stream.Tell(), 25u);
    }
    stream.Skip(-5);
    EXPECT_EQ(readByte(), 0);
}

TEST_F(WorkStreamTest, PeekThenReadYieldTheSameBytes) {
    stream.Skip(2);
    std::array<uint8_t, 2> peeked{}, read{};
    stream.Peek(peeked.data(), 2);
    EXPECT_EQ(stream.Tell(), 22u);
    stream.Read(read.data(), 2);
    EXPECT_EQ(peeked, read);
    EXPECT_EQ(read[0], 2);
}

TEST_F(WorkStreamTest, IsReadOnlyAndClosesLikeAPlainStream) {
    EXPECT_EQ(thrownText([&] { stream.Write("x", 1); }), "Invalid mode to perform this operation");
    stream.Close();
    stream.Close();
    EXPECT_EQ(thrownText([&] { readByte(); }), "Operation on closed stream");
    EXPECT_EQ(thrownText([&] { stream.Skip(1); }), "Operation on closed stream");
}

TEST(WorkStreamOpen, RefusesOtherModesMissingFilesAndBadHeaders) {
    TempDir dir;
    WorkStream stream;
    const std::string good = writeTemp(dir, "good.rsc", test::wrapWorkStream({}));
    EXPECT_EQ(thrownText([&] { stream.Open(good, "w"); }), "Invalid stream mode, must be 'r'");
    EXPECT_EQ(thrownText([&] { stream.Open(dir / "absent", "r"); }),
              "Error opening file " + (dir / "absent") + ": No such file or directory");

    EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "s.rsc", test::wrapSigned({})), "r"); }),
              "Expected '1397445207' but found '1397180755'");
    auto header = test::wrapWorkStream({});
    auto wrongThird = header;
    wrongThird[8] = 0x61;
    EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "t.rsc", wrongThird), "r"); }),
              "Expected '1819413856' but found '1819413857'");
    for (size_t cut : {4u, 12u, 14u, 19u}) {
        SCOPED_TRACE(cut);
        const std::vector<uint8_t> shortHeader(header.begin(), header.begin() + cut);
        EXPECT_EQ(thrownText([&] { stream.Open(writeTemp(dir, "short.rsc", shortHeader), "r"); }), "Error reading");
        EXPECT_FALSE(stream.IsOpen());
    }

    // The header alone is a work stream with an empty payload.
    stream.Open(good, "r");
    uint8_t byte = 0;
    EXPECT_EQ(thrownText([&] { stream.Read(&byte, 1); }), "Error reading");
}

}  // namespace
}  // namespace lumenpull

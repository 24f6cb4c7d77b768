#include <sys/stat.h>

#include <gtest/gtest.h>

#include "stream/open_stream.h"
#include "stream/signed_stream.h"
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

enum class Made { Plain, Work, Signed };

Made kindOf(const Stream& stream) {
    if (dynamic_cast<const SignedStream*>(&stream) != nullptr) return Made::Signed;
    if (dynamic_cast<const WorkStream*>(&stream) != nullptr) return Made::Work;
    return Made::Plain;
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(OpenStream, SniffsTheFirstEightBytes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        Made kind;
        uint64_t openPosition;
    };
    const auto payload = countingBytes(12);
    const Case cases[] = {
        {"signed", test::wrapSigned(payload), Made::Signed, 75},
        {"work", test::wrapWorkStream(payload), Made::Work, 20},
        {"plain", payload, Made::Plain, 0},
        {"SIGS then other bytes", bytesOf("SIGSTRM2........"), Made::Plain, 0},
        {"WRKS then other bytes", bytesOf("WRKSXXXX........"), Made::Plain, 0},
        {"TRM1 first", bytesOf("TRM1SIGS........"), Made::Plain, 0},
        {"seven bytes of a tag pair", bytesOf("SIGSTRM"), Made::Plain, 0},
        {"four bytes", bytesOf("WRKS"), Made::Plain, 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto stream = OpenStream(writeTemp(dir, "in.rsc", c.file), "r", 1, true, true);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(kindOf(*stream), c.kind);
        EXPECT_EQ(stream->Tell(), c.openPosition);
        EXPECT_EQ(stream->Size(), c.file.size());
    }
}

TEST(OpenStream, AnEmptyFileIsAPlainStreamWithNothingToRead) {
    TempDir dir;
    const auto stream = OpenStream(writeTemp(dir, "empty.tex", {}), "r", 1, true, true);
    EXPECT_EQ(kindOf(*stream), Made::Plain);
    EXPECT_EQ(stream->Size(), 0u);
    uint8_t byte = 0;
    EXPECT_EQ(thrownText([&] { stream->Read(&byte, 1); }), "Error reading");
}

TEST(OpenStream, ReportsModeAndOpeningErrors) {
    TempDir dir;
    const std::string absent = dir / "absent.tex";
    EXPECT_EQ(thrownText([&] { OpenStream(absent, "x", 1, true, true); }), "Invalid mode to perform this operation");
    EXPECT_EQ(thrownText([&] { OpenStream(absent, "", 1, true, true); }), "Invalid mode to perform this operation");
    EXPECT_FALSE(std::filesystem::exists(absent));
    EXPECT_EQ(thrownText([&] { OpenStream(absent, "r", 1, true, true); }),
              "Error opening file " + absent + ": No such file or directory");
    const std::string relative = "no/such/dir/file.rsc";
    EXPECT_EQ(thrownText([&] { OpenStream(relative, "r", 1, true, true); }),
              "Error opening file " + relative + ": No such file or directory");
    dir.makeDir("folder.tex");
    EXPECT_EQ(thrownText([&] { OpenStream(dir / "folder.tex", "r", 1, true, true); }),
              "Error opening file " + (dir / "folder.tex") + ": Is a directory");
    // Anything but a regular file is refused at once; a FIFO without a writer
    // would otherwise wait forever.
    const std::string fifo = dir / "pipe.tex";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        EXPECT_EQ(thrownText([&] { OpenStream(path, "r", 1, true, true); }),
                  "Error opening file " + path + ": Not a regular file");
    }
}

TEST(OpenStream, PassesTheErrorsOfTheChosenOpenOn) {
    TempDir dir;
    test::SignedHeader otherKey;
    otherKey.signKey = "Signkey.Someone";
    const std::string path = writeTemp(dir, "k.rsc", test::wrapSigned(countingBytes(4), otherKey));
    EXPECT_EQ(thrownText([&] { OpenStream(path, "r", 1, true, true); }),
              "Only editor sign key is available for verification");
    EXPECT_EQ(kindOf(*OpenStream(path, "r", 1, false, true)), Made::Signed);

    auto badWork = test::wrapWorkStream(countingBytes(4));
    badWork[10] = 0;
    EXPECT_EQ(thrownText([&] { OpenStream(writeTemp(dir, "w.rsc", badWork), "r", 1, true, true); }),
              "Expected '1819413856' but found '1811942752'");
}

TEST(OpenStream, WriteModeMakesASignedStreamOnlyWhenAskedTo) {
    TempDir dir;
    struct Case {
        int32_t writeKind;
        bool signOnWrite;
        Made kind;
    };
    for (const Case c : {Case{1, true, Made::Plain}, Case{2, true, Made::Signed}, Case{0, true, Made::Signed},
                         Case{2, false, Made::Plain}}) {
        SCOPED_TRACE(::testing::Message() << c.writeKind << " " << c.signOnWrite);
        const std::string path = dir / "out.bin";
        {
            const auto stream = OpenStream(path, "w", c.writeKind, true, c.signOnWrite);
            EXPECT_EQ(kindOf(*stream), c.kind);
            stream->Write("data", 4);
        }
        EXPECT_EQ(test::readFileBytes(path), bytesOf("data"));
    }
}

}  // namespace
}  // namespace lumenpull

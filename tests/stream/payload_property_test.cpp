// The property every reader relies on: whatever the container, reading,
// peeking and skipping through the stream yields exactly the payload's bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "stream/open_stream.h"
#include "stream_test_helpers.h"
#include "support/container_writer.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::ContainerKind;
using test::TempDir;
using test::thrownText;

struct PayloadCase {
    ContainerKind kind;
    uint32_t blockSize;      // signed only
    uint32_t signatureSize;  // signed only
    size_t payloadLength;
};

void PrintTo(const PayloadCase& c, std::ostream* out) {
    *out << test::containerKindName(c.kind) << " block " << c.blockSize << " record " << c.signatureSize << " payload "
         << c.payloadLength;
}

std::vector<uint8_t> wrap(const PayloadCase& c, const std::vector<uint8_t>& payload) {
    if (c.kind != ContainerKind::Signed) return test::wrapPayload(c.kind, payload);
    test::SignedHeader header;
    header.blockSize = c.blockSize;
    header.signatureSize = c.signatureSize;
    header.headerText = "property";
    return test::wrapSigned(payload, header);
}

// One step of an access pattern; counts are clipped to stay within the payload.
struct Step {
    enum Kind { Read, Peek, Skip } kind;
    int64_t count;
};
using Pattern = std::function<Step(uint32_t turn)>;

uint32_t lcg(uint32_t turn) { return turn * 1664525u + 1013904223u; }

const std::vector<std::pair<std::string, Pattern>>& patterns() {
    static const std::vector<std::pair<std::string, Pattern>> all = {
        {"bytes",
         [](uint32_t) {
             return Step{Step::Read, 1};
         }},
        {"words",
         [](uint32_t) {
             return Step{Step::Read, 4};
         }},
        {"large reads",
         [](uint32_t) {
             return Step{Step::Read, 700};
         }},
        {"peek then read",
         [](uint32_t turn) {
             static const int64_t sizes[] = {1, 2, 5, 17, 64};
             return Step{turn % 2 == 0 ? Step::Peek : Step::Read, sizes[(turn / 2) % 5]};
         }},
        {"skip forward and back",
         [](uint32_t turn) {
             static const Step steps[] = {{Step::Read, 3}, {Step::Skip, 11}, {Step::Skip, -7},  {Step::Read, 6},
                                          {Step::Peek, 9}, {Step::Skip, 16}, {Step::Skip, -16}, {Step::Skip, 20}};
             return steps[turn % 8];
         }},
        {"mixed",
         [](uint32_t turn) {
             const uint32_t r = lcg(turn) >> 8;
             const int64_t count = r % 41;
             switch (r % 4) {
                 case 0: return Step{Step::Peek, count};
                 case 1: return Step{Step::Skip, count};
                 case 2: return Step{Step::Skip, -(count / 2)};
                 default: return Step{Step::Read, count};
             }
         }},
    };
    return all;
}

class PayloadThroughEveryKind : public ::testing::TestWithParam<PayloadCase> {};

TEST_P(PayloadThroughEveryKind, YieldsExactlyThePayloadBytes) {
    const PayloadCase& c = GetParam();
    const auto payload = test::countingBytes(c.payloadLength);
    TempDir dir;
    const std::string path = test::writeTemp(dir, "payload.rsc", wrap(c, payload));

    for (const auto& [name, pattern] : patterns()) {
        SCOPED_TRACE(name);
        const auto stream = OpenStream(path, "r", 1, true, true);
        uint64_t at = 0;
        for (uint32_t turn = 0; at < payload.size(); ++turn) {
            ASSERT_LT(turn, 100000u) << "pattern makes no progress";
            const uint64_t left = payload.size() - at;
            ASSERT_EQ(stream->PayloadBytesLeft(), left);
            Step step = pattern(turn);
            if (step.count >= 0)
                step.count = std::min<int64_t>(step.count, static_cast<int64_t>(left));
            else
                step.count = std::max<int64_t>(step.count, -static_cast<int64_t>(at));

            if (step.kind == Step::Skip) {
                stream->Skip(step.count);
                at += static_cast<uint64_t>(step.count);
                continue;
            }
            const auto count = static_cast<uint32_t>(step.count);
            std::vector<uint8_t> bytes(count);
            if (step.kind == Step::Peek) {
                const uint64_t raw = stream->Tell();
                stream->Peek(bytes.data(), count);
                ASSERT_EQ(stream->Tell(), raw);
            } else {
                stream->Read(bytes.data(), count);
            }
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), payload.begin() + static_cast<std::ptrdiff_t>(at)))
                << "at payload position " << at << ", " << count << " bytes";
            if (step.kind == Step::Read) at += count;
        }
        // At the end of the payload nothing more can be reached.
        EXPECT_EQ(stream->PayloadBytesLeft(), 0u);
        EXPECT_EQ(thrownText([&] { stream->Skip(1); }), "Seek offset out of range");
        uint8_t byte = 0;
        EXPECT_EQ(thrownText([&] { stream->Read(&byte, 1); }), "Error reading");
    }
}

std::vector<PayloadCase> payloadCases() {
    std::vector<PayloadCase> cases;
    for (size_t length : {size_t{0}, size_t{48}, size_t{1000}}) {
        cases.push_back({ContainerKind::Plain, 0, 0, length});
        cases.push_back({ContainerKind::Work, 0, 0, length});
        for (uint32_t blockSize : {1u, 2u, 3u, 7u, 16u, 4096u}) {
            for (uint32_t signatureSize : {0u, 4u, 256u}) {
                cases.push_back({ContainerKind::Signed, blockSize, signatureSize, length});
            }
        }
    }
    // Payloads of several file-buffer lengths, so that reads are served from
    // the buffer, straddle its refills and end exactly on them.
    for (size_t length : {size_t{40000}, size_t{3 * 8192}}) {
        cases.push_back({ContainerKind::Plain, 0, 0, length});
        cases.push_back({ContainerKind::Work, 0, 0, length});
        cases.push_back({ContainerKind::Signed, 7, 4, length});
        cases.push_back({ContainerKind::Signed, 4096, 256, length});
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<PayloadCase>& info) {
    const PayloadCase& c = info.param;
    std::string name = test::containerKindName(c.kind);
    if (c.kind == ContainerKind::Signed) {
        name += "_block" + std::to_string(c.blockSize) + "_record" + std::to_string(c.signatureSize);
    }
    return name + "_payload" + std::to_string(c.payloadLength);
}

INSTANTIATE_TEST_SUITE_P(Streams, PayloadThroughEveryKind, ::testing::ValuesIn(payloadCases()), caseName);

}  // namespace
}  // namespace lumenpull

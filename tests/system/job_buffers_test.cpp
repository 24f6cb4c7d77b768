// What several jobs cost in memory against one: each worker keeps its large
// buffers from one file to the next, so its pages fault in once, not for
// every file, and the peak stays within the jobs' count times one job's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pixels/texture_flags.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using Bytes = std::vector<uint8_t>;

// One zlib-compressed 32-bit texture (plane-coded with `planes`): its
// inflated bytes take a buffer of 4 MiB for a side of 1024.
Bytes textureFile(int32_t side, bool planes) {
    Bytes stored = test::storeBgra(test::makeGradient(side, side));
    if (planes) stored = test::encodePlanes(stored, 3);
    test::TextureFields fields = test::textureFields(side, side, 3, test::compressZlib(stored));
    if (planes) fields.flags = PlaneCoded;
    test::ResourceBuilder file = test::standardFile();
    file.addTexture(test::TextureClass::Static, fields);
    return file.payload();
}

// Whether the counts of a run say anything about the tool: not under Wine
// or an emulator, nor with a sanitizer's shadow memory.
bool usageIsTheTools() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(LUMENPULL_EXE_EMULATOR)
    return false;
#else
    return !test::runsWindowsBuild();
#endif
}

struct Listing {
    const char* name;
    std::vector<std::string> keys;
};

class JobBuffers : public ::testing::TestWithParam<Listing> {};

// Sixteen files of the same size: two jobs fault in each worker's buffers
// once, so at most a few files' buffers more than one job does (returned to
// the system after every file, they faulted in sixteen times).
TEST_P(JobBuffers, TwoJobsFaultInTheirBuffersOncePerWorker) {
    if (!usageIsTheTools()) GTEST_SKIP() << "the run's counts are not the tool's own";
    test::TempDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 16; ++i) {
        names.push_back(test::numberedFileName(i, ".tex"));
        dir.writeFile(names.back(), textureFile(1024, false));
    }
    constexpr long kPagesPerFile = (4 << 20) / 4096;  // the inflated bytes' pages
    const auto run = [&](const char* jobs) {
        std::vector<std::string> arguments = GetParam().keys;
        arguments.insert(arguments.end(), {"-j", jobs});
        arguments.insert(arguments.end(), names.begin(), names.end());
        const test::ToolRun result = test::runLumenpull(arguments, dir.path().string());
        EXPECT_EQ(result.exitCode, 0);
        return result;
    };
    const test::ToolRun one = run("1");
    const test::ToolRun two = run("2");
    EXPECT_EQ(two.output, one.output);
    EXPECT_LT(two.minorFaults, one.minorFaults + 4 * kPagesPerFile)
        << "one job: " << one.minorFaults << " faults, two jobs: " << two.minorFaults;
}

// Files whose sizes and steps differ in turn (so a worker's buffers must
// grow, and serve other steps), in an order that gives each worker a mix:
// two jobs peak at no more than twice one job's peak and 16 MiB.
TEST_P(JobBuffers, TwoJobsPeakWithinTwiceOneJob) {
    if (!usageIsTheTools()) GTEST_SKIP() << "the run's counts are not the tool's own";
    test::TempDir dir;
    std::vector<std::string> names;
    const int32_t sides[] = {256, 1024, 512, 2048, 1024, 256, 2048, 512};
    for (int i = 0; i < 24; ++i) {
        names.push_back(test::numberedFileName(i, ".tex"));
        dir.writeFile(names.back(), textureFile(sides[i % 8], i % 3 == 1));
    }
    const auto run = [&](const char* jobs) {
        std::vector<std::string> arguments = GetParam().keys;
        arguments.insert(arguments.end(), {"-j", jobs});
        arguments.insert(arguments.end(), names.begin(), names.end());
        const test::ToolRun result = test::runLumenpull(arguments, dir.path().string());
        EXPECT_EQ(result.exitCode, 0);
        return result;
    };
    const test::ToolRun one = run("1");
    const test::ToolRun two = run("2");
    EXPECT_EQ(two.output, one.output);
    EXPECT_LE(two.peakKiB, 2 * one.peakKiB + 16 * 1024)
        << "one job: " << one.peakKiB << " KiB, two jobs: " << two.peakKiB << " KiB";
}

INSTANTIATE_TEST_SUITE_P(Runs, JobBuffers, ::testing::Values(Listing{"Converting", {}}, Listing{"Listing", {"-l"}}),
                         [](const auto& instance) { return std::string(instance.param.name); });

}  // namespace
}  // namespace lumenpull

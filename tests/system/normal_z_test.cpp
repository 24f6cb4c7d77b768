// --normal-z through the real executable: two-channel pictures get the
// reconstructed Z as blue in TGA files and decoded DDS rows; stored BC5
// blocks in DDS files stay as they are, and nothing else changes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::runLumenpull;

uint8_t expectedZ(uint8_t red, uint8_t green) {
    const double x = red / 127.5 - 1;
    const double y = green / 127.5 - 1;
    return static_cast<uint8_t>(std::floor(255 * (std::sqrt(std::max(0.0, 1 - x * x - y * y)) + 1) / 2 + 0.5));
}

void writeTextures(const test::TempDir& dir) {
    const test::RgbaImage gradient = test::makeGradient(16, 16);
    test::ResourceBuilder bc5 = test::standardFile();
    bc5.addStaticTexture(16, 16, 0, 15, test::encodeBc5(gradient));
    dir.writeFile("in/bc5.tex", bc5.payload());
    test::ResourceBuilder flagged = test::standardFile();
    flagged.addStaticTexture(16, 16, 0x80, 2, test::storeBgra(gradient));
    dir.writeFile("in/flagged.tex", flagged.payload());
    test::ResourceBuilder colour = test::standardFile();
    colour.addStaticTexture(16, 16, 0, 3, test::storeBgra(test::makeColourWheel(16, 16)));
    dir.writeFile("in/colour.tex", colour.payload());
}

std::map<std::string, Bytes> convert(const test::TempDir& dir, std::vector<std::string> keys, const std::string& out) {
    keys.insert(keys.end(), {"-r", "-o", out, "in"});
    EXPECT_EQ(runLumenpull(keys, dir.path().string()).exitCode, 0);
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / out)) {
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = test::readFileBytes(entry.path().string());
    }
    return files;
}

// Pixels of blue, green, red from `offset` on: red and green as without the
// key, blue the Z of them.
void expectZ(const Bytes& plain, const Bytes& normal, std::size_t offset, const std::string& what) {
    ASSERT_EQ(plain.size(), normal.size()) << what;
    ASSERT_EQ((plain.size() - offset) % 3, 0u) << what;
    for (std::size_t at = offset; at < plain.size(); at += 3) {
        ASSERT_EQ(plain[at], 255) << what;
        ASSERT_EQ(normal[at + 1], plain[at + 1]) << what;
        ASSERT_EQ(normal[at + 2], plain[at + 2]) << what;
        ASSERT_EQ(normal[at], expectedZ(plain[at + 2], plain[at + 1])) << what << " at " << at;
    }
}

TEST(NormalZ, BlueIsTheReconstructedZOfBothTwoChannelKinds) {
    test::TempDir dir;
    writeTextures(dir);
    const auto plain = convert(dir, {"-u"}, "plain");
    const auto normal = convert(dir, {"-u", "--normal-z"}, "normal");
    expectZ(plain.at("bc5.tga"), normal.at("bc5.tga"), 18, "BC5 TGA");
    expectZ(plain.at("flagged.tga"), normal.at("flagged.tga"), 18, "two-channel TGA");
    EXPECT_EQ(plain.at("colour.tga"), normal.at("colour.tga"));

    const auto plainDds = convert(dir, {"-t", "dds"}, "plain-dds");
    const auto normalDds = convert(dir, {"-t", "dds", "--normal-z"}, "normal-dds");
    EXPECT_EQ(plainDds.at("bc5.dds"), normalDds.at("bc5.dds"));  // the blocks as stored
    expectZ(plainDds.at("flagged.dds"), normalDds.at("flagged.dds"), 128, "two-channel DDS");
    EXPECT_EQ(plainDds.at("colour.dds"), normalDds.at("colour.dds"));
}

}  // namespace
}  // namespace lumenpull

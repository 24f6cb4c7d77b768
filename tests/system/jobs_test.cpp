// Several files at once (-j): the run must look exactly like one file after
// the other — the same lines in the same order, the same images with the
// same bytes, the later file winning a shared image name — however the
// conversions overlap.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::ContainerKind;
using test::ResourceBuilder;
using test::standardFile;
using test::TextureClass;
using test::TextureFields;
using test::textureFields;

// One 32-bit texture of `picture`, zlib-compressed: a large one takes long
// enough that the files after it are done first.
Bytes pictureFile(const test::RgbaImage& picture) {
    ResourceBuilder file = standardFile();
    file.addTexture(TextureClass::Static,
                    textureFields(picture.width, picture.height, 3, test::compressZlib(test::storeBgra(picture))));
    return file.payload();
}

// Two good textures around one whose stored format is rejected: the first
// image is written, then the file fails.
Bytes failingFile() {
    ResourceBuilder file = standardFile();
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    file.addStaticTexture(4, 4, 0, 13, Bytes(64, 1));
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    return file.payload();
}

// Every file below `folder`, by relative path, with its bytes.
std::map<std::string, Bytes> filesBelow(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] = test::readFileBytes(entry.path().string());
        }
    }
    return files;
}

void removeAllBut(const fs::path& folder, const std::map<std::string, Bytes>& keep) {
    for (const auto& [name, bytes] : filesBelow(folder)) {
        if (keep.count(name) == 0) fs::remove(folder / name);
    }
}

// A tree with every kind of outcome: containers, several textures with
// faces and frames, HDR, trailing pixel blocks, files that fail at each
// stage, a large file early on, "--Big" twins, many small files.
void writeMixedTree(const test::TempDir& dir) {
    dir.writeFile("tree/0-large.tex", pictureFile(test::makeGradient(1024, 1024)));
    const auto picture = test::makeColourWheel(8, 4);
    const Bytes stored = test::storeBgra(picture);
    for (const ContainerKind kind : {ContainerKind::Plain, ContainerKind::Work, ContainerKind::Signed}) {
        ResourceBuilder file = standardFile();
        file.addStaticTexture(8, 4, 0, 3, stored);
        Bytes faces;
        for (int i = 0; i < 6; ++i) faces.insert(faces.end(), stored.begin(), stored.end());
        TextureFields cube = textureFields(8, 4, 2, faces);
        cube.flags = 0x2;
        file.addTexture(TextureClass::DynamicLightStatic, cube);
        TextureFields trailing = textureFields(2, 1, 12, {});
        trailing.trailing = test::TrailingPixels{0x0100, Bytes(8, 0x81), std::nullopt};
        file.addTexture(TextureClass::Static, trailing);
        const std::string name = "tree/kinds/" + test::containerKindName(kind) + ".rsc";
        dir.writeFile(name, test::wrapPayload(kind, file.payload()));
    }
    dir.writeFile("tree/fail/rejected.tex", failingFile());
    dir.writeFile("tree/fail/empty.tex", Bytes{});
    const Bytes whole = pictureFile(picture);
    dir.writeFile("tree/fail/cut.tex", Bytes(whole.begin(), whole.begin() + 40));
    dir.writeFile("tree/fail/pack.tex/inner.tex", pictureFile(picture));  // a folder named like an input
    dir.writeFile("tree/big/w.tex", pictureFile(picture));
    dir.writeFile("tree/big/w--Big.tex", pictureFile(test::makeGradient(16, 16)));
    for (int i = 0; i < 40; ++i) {
        dir.writeFile("tree/small/" + std::to_string(i) + ".tex", pictureFile(test::makeGradient(8 + i, 8)));
    }
}

struct ArgumentSet {
    std::vector<std::string> keys;
    int exitCode = 0;
    bool writes = true;  // false: a listing, which writes nothing
};

class SameRunForEveryJobCount : public ::testing::TestWithParam<ArgumentSet> {};

// Run with one job, then (the images removed again) with four: every line
// and every byte on disk is the same, and no temporary file is left.
TEST_P(SameRunForEveryJobCount, ReportAndImages) {
    test::TempDir dir;
    writeMixedTree(dir);
    const auto inputs = filesBelow(dir.path());
    std::vector<std::string> arguments = GetParam().keys;
    for (const char* input : {"tree", "missing.tex", "tree/0-large.tex", "tree/kinds/Plain.rsc"}) {
        arguments.push_back(input);
    }

    std::vector<std::string> oneJob = arguments;
    oneJob.insert(oneJob.begin(), {"-j", "1"});
    const auto first = test::runLumenpull(oneJob, dir.path().string());
    const auto imagesOfOneJob = filesBelow(dir.path());
    removeAllBut(dir.path(), inputs);

    std::vector<std::string> fourJobs = arguments;
    fourJobs.insert(fourJobs.begin(), {"-j", "4"});
    const auto second = test::runLumenpull(fourJobs, dir.path().string());

    EXPECT_EQ(first.exitCode, GetParam().exitCode);
    EXPECT_EQ(second.exitCode, GetParam().exitCode);
    EXPECT_EQ(second.errors, "");
    EXPECT_EQ(second.output, first.output);
    const auto imagesOfFourJobs = filesBelow(dir.path());
    if (GetParam().writes) {
        EXPECT_GT(imagesOfOneJob.size(), inputs.size() + 40);
    } else {
        EXPECT_EQ(imagesOfOneJob.size(), inputs.size());
    }
    EXPECT_EQ(imagesOfFourJobs.size(), imagesOfOneJob.size());
    for (const auto& [name, bytes] : imagesOfOneJob) {
        const auto found = imagesOfFourJobs.find(name);
        ASSERT_NE(found, imagesOfFourJobs.end()) << name << " is missing with four jobs";
        EXPECT_TRUE(found->second == bytes) << name << " differs with four jobs";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SameRunForEveryJobCount,
    ::testing::Values(ArgumentSet{{"-r"}}, ArgumentSet{{"-r", "-u", "--nobig"}}, ArgumentSet{{"-f", ".tex", "-r"}},
                      ArgumentSet{{"-r", "-o", "out", "-t", "png"}},
                      // The reports for scripts: failed files among the others
                      // make --strict end with 2.
                      ArgumentSet{{"-r", "--json", "-t", "dds"}}, ArgumentSet{{"-r", "--strict"}, 2},
                      ArgumentSet{{"-r", "--json", "--strict"}, 2}, ArgumentSet{{"-r", "-l"}, 0, false},
                      ArgumentSet{{"-r", "-l", "--json", "--strict", "-t", "dds"}, 2, false}),
    [](const auto& instance) { return std::to_string(instance.index); });

// Two inputs that write the same image: the later one in command-line order
// wins, also when it is done long before the earlier one.
TEST(Jobs, TheLaterFileWinsASharedImageName) {
    test::TempDir dir;
    const auto large = test::makeGradient(1024, 1024);
    const auto small = test::makeCheckerboard(4, 4, 1);
    dir.writeFile("a.tex", pictureFile(large));
    dir.writeFile("a.rsc", pictureFile(small));
    const std::string lines = "a.tex: 1 texture(s) converted into 1 image(s)\n";
    const std::string linesOfRsc = "a.rsc: 1 texture(s) converted into 1 image(s)\n";

    auto run = test::runLumenpull({"-j", "4", "a.tex", "a.rsc"}, dir.path().string());
    EXPECT_EQ(run.output, lines + linesOfRsc);
    EXPECT_EQ(run.errors, "");
    const Bytes smallImage = test::readFileBytes(dir / "a.tga");
    run = test::runLumenpull({"-j", "1", "a.rsc", "a.tex"}, dir.path().string());
    const Bytes largeImage = test::readFileBytes(dir / "a.tga");
    ASSERT_NE(smallImage, largeImage);

    run = test::runLumenpull({"-j", "4", "a.rsc", "a.tex"}, dir.path().string());
    EXPECT_EQ(run.output, linesOfRsc + lines);
    EXPECT_TRUE(test::readFileBytes(dir / "a.tga") == largeImage);
    run = test::runLumenpull({"-j", "4", "a.tex", "a.rsc", "a.tex", "a.rsc"}, dir.path().string());
    EXPECT_EQ(run.output, lines + linesOfRsc + lines + linesOfRsc);
    EXPECT_TRUE(test::readFileBytes(dir / "a.tga") == smallImage);
}

// A file that fails between others: its own line, the lines around it in
// order, the image it wrote before failing kept, nothing else of it.
TEST(Jobs, AFileFailingInTheMiddleKeepsItsLineAndImages) {
    test::TempDir dir;
    std::vector<std::string> arguments{"-j", "4"};
    std::string expected;
    for (int i = 0; i < 9; ++i) {
        const std::string name = test::numberedFileName(i, ".tex");
        if (i == 4) {
            dir.writeFile(name, failingFile());
            expected += name + ": Invalid texture format 13\n";
        } else {
            dir.writeFile(name, pictureFile(test::makeGradient(i == 0 ? 512 : 16, 16)));
            expected += name + ": 1 texture(s) converted into 1 image(s)\n";
        }
        arguments.push_back(name);
    }
    const auto run = test::runLumenpull(arguments, dir.path().string());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.errors, "");
    EXPECT_TRUE(fs::exists(dir.path() / "f4_0.tga"));
    EXPECT_FALSE(fs::exists(dir.path() / "f4_1.tga"));
    EXPECT_FALSE(fs::exists(dir.path() / "f4_2.tga"));
    for (const int i : {0, 3, 5, 8}) EXPECT_TRUE(fs::exists(dir.path() / test::numberedFileName(i, ".tga"))) << i;
}

// Nothing found stays "No input files found", whatever the job count.
TEST(Jobs, NothingFoundIsReportedOnce) {
    test::TempDir dir;
    dir.writeFile("notes.txt");
    const auto run = test::runLumenpull({"-j", "0", dir.path().string(), "x.TEX"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "No input files found\n");
}

}  // namespace
}  // namespace lumenpull

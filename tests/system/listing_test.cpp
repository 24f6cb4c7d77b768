// -l and --json through the real executable: a listing must name exactly the
// files a conversion with the same keys writes, report exactly its errors,
// and write nothing itself; and it must read the same with any job count.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <tuple>

#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using test::ContainerKind;
using test::ResourceBuilder;
using test::TextureClass;
using test::TextureFields;
using Json = nlohmann::json;

constexpr uint32_t kSixFaces = 0x2;
constexpr uint32_t kPlanes = 0x200;

TextureFields fields(int32_t width, int32_t height, int32_t format, std::vector<uint8_t> pixels = {}) {
    TextureFields desc;
    desc.width = width;
    desc.height = height;
    desc.format = format;
    desc.pixels = std::move(pixels);
    return desc;
}

std::vector<uint8_t> repeated(const std::vector<uint8_t>& image, int times) {
    std::vector<uint8_t> all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), image.begin(), image.end());
    return all;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(at, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

// A container kind and a job count (-j).
class Listing : public ::testing::TestWithParam<std::tuple<ContainerKind, std::string>> {
protected:
    void save(const std::string& name, const ResourceBuilder& file) const {
        dir_.writeFile(name, test::wrapPayload(std::get<0>(GetParam()), file.payload()));
    }

    // Every kind of texture the converter meets, in a tree of its own.
    void writeTree() const {
        const auto picture = test::makeGradient(8, 4);
        const auto bgra = test::storeBgra(picture);
        const size_t smaller = test::smallerMipLevelsSize(8, 4, 32);

        ResourceBuilder cube(11);
        cube.addStandardTypes();
        TextureFields faces = fields(8, 4, 3);
        faces.flags = kSixFaces;
        faces.trailing = test::TrailingPixels{
            0x0100, test::compressZlib(test::buildMipChain(repeated(bgra, 6), 6, smaller, 0x0100)), std::nullopt};
        cube.addTexture(TextureClass::Static, faces);
        save("tree/cube.tex", cube);

        // Frames, a texture without pixel data, HDR and a plane-coded BC3
        // texture with its mip levels first: numbered names, one skipped.
        ResourceBuilder set(11);
        set.addStandardTypes();
        TextureFields frames = fields(8, 4, 5, repeated(bgra, 3));
        frames.frameCount = 3;
        set.addTexture(TextureClass::Anim, frames);
        set.addTexture(TextureClass::Color, fields(8, 4, 9));
        set.addStaticTexture(2, 1, 0, 12, {0, 0, 255, 128, 255, 0, 0, 128});
        const auto blocks = test::encodeBc3(test::makeColourWheel(8, 8));
        std::vector<uint8_t> chain = blocks;
        chain.resize(blocks.size() + test::smallerMipLevelsSize(8, 8, 8), 0);
        set.addTexture(TextureClass::DynamicLightStatic, [&] {
            TextureFields planes = fields(8, 8, 10, test::encodePlanes(chain, 10));
            planes.flags = kPlanes;
            return planes;
        }());
        save("tree/sub/set.rsc", set);

        // Data for two and a half of six faces: three files.
        ResourceBuilder cut(11);
        cut.addStandardTypes();
        TextureFields shortFaces = fields(8, 4, 3, repeated(bgra, 2));
        shortFaces.pixels.resize(shortFaces.pixels.size() + bgra.size() / 2, 7);
        shortFaces.flags = kSixFaces;
        cut.addTexture(TextureClass::Static, shortFaces);
        save("tree/short.tex", cut);

        // The second texture's code is rejected: the first one's image stays.
        ResourceBuilder rejected(11);
        rejected.addStandardTypes();
        rejected.addStaticTexture(8, 4, 0, 3, bgra);
        rejected.addStaticTexture(8, 4, 0, 13, bgra);
        rejected.addStaticTexture(8, 4, 0, 3, bgra);
        save("tree/rejected.tex", rejected);

        // A legacy code, and a --Big twin that --nobig names after wall.
        ResourceBuilder legacy(9);
        legacy.addStandardTypes();
        legacy.addStaticTexture(8, 4, 0, 0, test::storeBgr(picture));
        save("tree/wall--Big.tex", legacy);
        save("tree/wall.tex", legacy);

        ResourceBuilder noFrames(11);
        noFrames.addStandardTypes();
        TextureFields none = fields(8, 4, 3, bgra);
        none.frameCount = 0;
        noFrames.addTexture(TextureClass::Anim, none);
        save("tree/no_frames.tex", noFrames);

        // A billion frames claimed, one frame of data: one file, one name.
        ResourceBuilder manyFrames(11);
        manyFrames.addStandardTypes();
        TextureFields claimed = fields(8, 4, 3, bgra);
        claimed.frameCount = 1000000000;
        manyFrames.addTexture(TextureClass::Anim, claimed);
        save("tree/many_frames.tex", manyFrames);

        // Pictures of no columns: TGA and Radiance write header-only files,
        // PNG, DDS and EXR end the file with an error.
        ResourceBuilder noColumns(11);
        noColumns.addStandardTypes();
        noColumns.addStaticTexture(0, 4, 0, 12, std::vector<uint8_t>(8, 0x80));
        noColumns.addStaticTexture(0, 4, 0, 3, std::vector<uint8_t>(16, 0x40));
        save("tree/no_columns.tex", noColumns);

        dir_.writeFile("tree/broken.tex", std::string("not a resource file"));
    }

    // A run with the parameter's job count.
    test::ToolRun run(std::vector<std::string> arguments, const std::vector<std::string>& keys,
                      const std::string& jobs = {}) const {
        arguments.insert(arguments.begin(), keys.begin(), keys.end());
        arguments.insert(arguments.begin(), {"-j", jobs.empty() ? std::get<1>(GetParam()) : jobs});
        arguments.push_back("tree");
        return test::runLumenpull(arguments, dir_.path().string());
    }

    // Several jobs print exactly what one job prints.
    void expectAsWithOneJob(const test::ToolRun& result, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& keys) const {
        if (std::get<1>(GetParam()) == "1") return;
        EXPECT_EQ(result.output, run(arguments, keys, "1").output);
    }

    std::set<std::string> filesOnDisk() const {
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
            if (entry.is_regular_file()) files.insert(std::filesystem::relative(entry.path(), dir_.path()).string());
        }
        return files;
    }

    // The tool's separator made "/", to compare with paths found on disk.
    static std::string onDisk(std::string name) {
        std::replace(name.begin(), name.end(), test::pathSeparator(), '/');
        return name;
    }

    test::TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(ContainersAndJobs, Listing,
                         ::testing::Combine(::testing::Values(ContainerKind::Plain, ContainerKind::Work,
                                                              ContainerKind::Signed),
                                            ::testing::Values(std::string("1"), std::string("4"))),
                         [](const auto& instance) {
                             return test::containerKindName(std::get<0>(instance.param)) + "_j" +
                                    std::get<1>(instance.param);
                         });

TEST_P(Listing, NamesExactlyTheFilesAConversionWritesAndWritesNothing) {
    writeTree();
    const std::vector<std::vector<std::string>> keySets = {{"-r"},
                                                           {"-r", "--nobig"},
                                                           {"-r", "-o", "out", "-t", "png"},
                                                           {"-r", "-t", "dds"},
                                                           {"-r", "-o", "out", "-t", "exr"}};
    for (const std::vector<std::string>& keys : keySets) {
        SCOPED_TRACE(keys.back());
        const std::set<std::string> before = filesOnDisk();

        const auto listedJson = run({"-l", "--json"}, keys);
        const auto listedPlain = run({"-l"}, keys);
        EXPECT_EQ(filesOnDisk(), before) << "a listing wrote files";
        expectAsWithOneJob(listedJson, {"-l", "--json"}, keys);
        expectAsWithOneJob(listedPlain, {"-l"}, keys);
        const auto converted = run({"--json"}, keys);
        const auto convertedPlain = lines(run({}, keys).output);  // the same files again, overwritten

        const auto listed = lines(listedJson.output);
        const auto conversions = lines(converted.output);
        ASSERT_EQ(listed.size(), conversions.size());
        std::set<std::string> written;
        size_t plainLine = 0;
        const auto plain = lines(listedPlain.output);
        for (size_t i = 0; i < listed.size(); ++i) {
            const Json list = Json::parse(listed[i]);
            const Json conversion = Json::parse(conversions[i]);
            const std::string file = list["file"];
            SCOPED_TRACE(file);
            ASSERT_EQ(conversion["file"], file);

            // The conversion's report line, up to its counts, heads the listing.
            ASSERT_LT(plainLine, plain.size());
            const std::string& head = plain[plainLine++];
            ASSERT_LT(i, convertedPlain.size());
            if (conversion.contains("error")) {
                EXPECT_EQ(list["error"], conversion["error"]);
                EXPECT_EQ(head, convertedPlain[i]);
            } else {
                EXPECT_EQ(list["textures"], conversion["textures"]);
                EXPECT_EQ(list["images"], conversion["images"]);
                const int textures = conversion["textures"];
                EXPECT_EQ(head, file + ": " +
                                    (textures == 0 ? std::string("no textures found")
                                                   : std::to_string(textures) + " texture(s)"));
            }

            std::vector<std::string> names;
            for (const Json& texture : list["list"]) {
                std::vector<std::string> own = texture["names"];
                names.insert(names.end(), own.begin(), own.end());
                // Its plain line shows the same names: all of one or two,
                // else the first and the last.
                ASSERT_LT(plainLine, plain.size());
                const auto columns = split(plain[plainLine++], '\t');
                ASSERT_EQ(columns.size(), 8u) << plain[plainLine - 1];
                EXPECT_EQ(columns[0], "");
                EXPECT_EQ(columns[2], texture["type"]);
                std::string shown = "-";
                if (own.size() == 1) shown = own[0];
                if (own.size() == 2) shown = own[0] + " " + own[1];
                if (own.size() > 2) shown = own.front() + " \xE2\x80\xA6 " + own.back();
                EXPECT_EQ(columns[7], shown);
            }
            EXPECT_EQ(std::vector<std::string>(conversion["written"]), names);
            for (const auto& name : names) written.insert(onDisk(name));
        }
        EXPECT_EQ(plainLine, plain.size());

        // Exactly the listed names are new on disk.
        std::set<std::string> made;
        for (const auto& file : filesOnDisk()) {
            if (before.count(file) == 0) made.insert(file);
        }
        EXPECT_EQ(made, written);
        for (const auto& file : made) std::filesystem::remove(dir_.path() / file);
    }
}

TEST_P(Listing, ColumnsOfEveryKindOfTexture) {
    writeTree();
    const auto result = run({"-l", "-r"}, {});
    const char sep = test::pathSeparator();
    const std::string tree = std::string("tree") + sep;
    const auto expectFile = [&](const std::string& file, const std::vector<std::string>& expected) {
        const auto all = lines(result.output);
        const auto head = std::find(all.begin(), all.end(), expected.front());
        ASSERT_NE(head, all.end()) << file << " in\n" << result.output;
        for (size_t i = 1; i < expected.size(); ++i) {
            ASSERT_LT(static_cast<size_t>(head - all.begin()) + i, all.size());
            EXPECT_EQ(head[static_cast<std::ptrdiff_t>(i)], expected[i]) << file;
        }
    };
    const std::string set = tree + "sub" + sep + "set";
    expectFile("cube",
               {tree + "cube.tex: 1 texture(s)",
                "\t-\tCStaticTexture\t8x4\tBGRA8 (3)\tcube\t" +
                    std::to_string(
                        test::compressZlib(test::buildMipChain(repeated(test::storeBgra(test::makeGradient(8, 4)), 6),
                                                               6, test::smallerMipLevelsSize(8, 4, 32), 0x0100))
                            .size()) +
                    " bytes zlib mips-last\t" + tree + "cube_00.tga \xE2\x80\xA6 " + tree + "cube_05.tga"});
    expectFile("set", {set + ".rsc: 4 texture(s)",
                       "\t0\tCAnimTexture\t8x4\tBGRA8-B (5)\t3 frames\t384 bytes\t" + set + "_0_00.tga \xE2\x80\xA6 " +
                           set + "_0_02.tga",
                       "\tskip\tCColorTexture\t8x4\tBC1 (9)\t1\tno pixel data\t-",
                       "\t1\tCStaticTexture\t2x1\tHDR (12)\t1\t8 bytes\t" + set + "_1.hdr",
                       "\t2\tCDynamicLightStaticTexture\t8x8\tBC3 (10)\t1\t" +
                           std::to_string(64 + test::smallerMipLevelsSize(8, 8, 8)) + " bytes planes mips-first\t" +
                           set + "_2.tga"});
    expectFile("short",
               {tree + "short.tex: 1 texture(s)", "\t-\tCStaticTexture\t8x4\tBGRA8 (3)\tcube\t320 bytes short\t" +
                                                      tree + "short_00.tga \xE2\x80\xA6 " + tree + "short_02.tga"});
    expectFile("rejected", {tree + "rejected.tex: Invalid texture format 13",
                            "\t0\tCStaticTexture\t8x4\tBGRA8 (3)\t1\t128 bytes\t" + tree + "rejected_0.tga",
                            "\t-\tCStaticTexture\t8x4\trejected (13)\t1\t128 bytes\t-"});
    expectFile("legacy", {tree + "wall.tex: 1 texture(s)",
                          "\t-\tCStaticTexture\t8x4\tBGR8 (0)\t1\t96 bytes\t" + tree + "wall.tga"});
    expectFile("many frames", {tree + "many_frames.tex: 1 texture(s)",
                               "\t-\tCAnimTexture\t8x4\tBGRA8 (3)\t1000000000 frames\t128 bytes short\t" + tree +
                                   "many_frames_00.tga"});
    expectFile("no frames",
               {tree + "no_frames.tex: 1 texture(s)", "\t-\tCAnimTexture\t8x4\tBGRA8 (3)\t0 frames\t128 bytes\t-"});
}

TEST_P(Listing, DdsCubeIsOneFile) {
    writeTree();
    const auto result = test::runLumenpull(
        {"-j", std::get<1>(GetParam()), "-l", "-t", "dds", "tree/cube.tex", "tree/short.tex"}, dir_.path().string());
    const std::string cubeData =
        std::to_string(test::compressZlib(test::buildMipChain(repeated(test::storeBgra(test::makeGradient(8, 4)), 6), 6,
                                                              test::smallerMipLevelsSize(8, 4, 32), 0x0100))
                           .size());
    // A whole cube is one cube-map file; faces the data cuts short are one
    // file each, as many as the data reaches.
    EXPECT_EQ(result.output,
              "tree/cube.tex: 1 texture(s)\n"
              "\t-\tCStaticTexture\t8x4\tBGRA8 (3)\tcube\t" +
                  cubeData +
                  " bytes zlib mips-last\ttree/cube.dds\n"
                  "tree/short.tex: 1 texture(s)\n"
                  "\t-\tCStaticTexture\t8x4\tBGRA8 (3)\tcube\t320 bytes short\t" +
                  "tree/short_00.dds \xE2\x80\xA6 tree/short_02.dds\n");
}

}  // namespace
}  // namespace lumenpull

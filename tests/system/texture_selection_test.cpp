// --name, --only and --min-size through the real executable: a texture not
// chosen keeps its number and writes nothing, a chosen one gets the name
// and the bytes it has without a selection.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;
using test::runLumenpull;

// game/walls/brick.tex: BGRA8 16 x 8, BC5 8 x 8, a BGRA8 cube of 4 x 4;
// game/walls/sub/rock.tex: BC1 32 x 32; game/flat.tex: two-channel BGR8 4 x 4.
void writeGame(const test::TempDir& dir) {
    test::ResourceBuilder brick = test::standardFile();
    brick.addStaticTexture(16, 8, 0, 3, test::storeBgra(test::makeGradient(16, 8)));
    brick.addStaticTexture(8, 8, 0, 15, test::encodeBc5(test::makeGradient(8, 8)));
    Bytes faces;
    for (int i = 0; i < 6; ++i) {
        const Bytes face = test::storeBgra(test::makeCheckerboard(4, 4, i + 1));
        faces.insert(faces.end(), face.begin(), face.end());
    }
    brick.addStaticTexture(4, 4, 0x2, 3, faces);
    dir.writeFile("game/walls/brick.tex", brick.payload());
    test::ResourceBuilder rock = test::standardFile();
    rock.addStaticTexture(32, 32, 0, 9, test::encodeBc1(test::makeColourWheel(32, 32)));
    dir.writeFile("game/walls/sub/rock.tex", rock.payload());
    test::ResourceBuilder flat = test::standardFile();
    flat.addStaticTexture(4, 4, 0x80, 2, test::storeBgra(test::makeGradient(4, 4)));
    dir.writeFile("game/flat.tex", flat.payload());
}

std::vector<Json> jsonLines(const std::string& text) {
    std::vector<Json> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) objects.push_back(Json::parse(line));
    return objects;
}

std::map<std::string, Bytes> filesBelow(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] = test::readFileBytes(entry.path().string());
        }
    }
    return files;
}

struct SelectionCase {
    std::vector<std::string> keys;
    std::set<std::string> chosen;  // "file stem #number" of the chosen textures ("#-" when not numbered)
};

// A texture's tag in the table: the file's name without folder and extension, and its number.
std::string tagOf(const Json& file, const Json& texture) {
    std::string path = file["file"];
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::string stem = fs::path(path).stem().string();
    return stem + " #" + (texture["number"].is_null() ? std::string("-") : std::to_string(int{texture["number"]}));
}

TEST(TextureSelection, ChosenTexturesKeepTheirNamesNumbersAndBytes) {
    test::TempDir dir;
    writeGame(dir);
    const auto all = runLumenpull({"-r", "-l", "--json", "game"}, dir.path().string());
    ASSERT_EQ(all.exitCode, 0);
    const std::vector<Json> unselected = jsonLines(all.output);
    ASSERT_EQ(unselected.size(), 3u);
    ASSERT_EQ(runLumenpull({"-r", "-o", "all", "game"}, dir.path().string()).exitCode, 0);
    const auto allImages = filesBelow(dir.path() / "all");

    const SelectionCase cases[] = {
        {{"--name", "brick_1"}, {"brick #1"}},
        {{"--name", "*_0", "--name", "rock"}, {"brick #0", "rock #-"}},
        {{"--name", "*/sub/*"}, {"rock #-"}},  // with a separator: the whole path below the output folder
        {{"--name", "game/walls/*"}, {"brick #0", "brick #1", "brick #2", "rock #-"}},
        {{"--name", "walls/*"}, {}},  // anchored at the input's own folder name
        {{"--name", "brick_[02]"}, {"brick #0", "brick #2"}},
        {{"--only", "BC5"}, {"brick #1"}},
        {{"--only", "cube"}, {"brick #2"}},
        {{"--only", "bgra8 single"}, {"brick #0"}},
        {{"--only", "BGR8-two-channel,BC1"}, {"flat #-", "rock #-"}},
        {{"--only", "BGR8"}, {}},  // the listing's two-channel name is another name
        {{"--min-size", "16"}, {"brick #0", "rock #-"}},
        {{"--only", "BC1", "--min-size", "64"}, {}},
        {{"--name", "brick*", "--only", "bgra8"}, {"brick #0", "brick #2"}},
    };
    for (const SelectionCase& c : cases) {
        std::string what;
        for (const std::string& key : c.keys) what += key + " ";
        std::vector<std::string> listArguments = {"-r", "-l", "--json"};
        listArguments.insert(listArguments.end(), c.keys.begin(), c.keys.end());
        listArguments.push_back("game");
        const auto listed = runLumenpull(listArguments, dir.path().string());
        ASSERT_EQ(listed.exitCode, 0) << what << listed.output;
        const std::vector<Json> selected = jsonLines(listed.output);
        ASSERT_EQ(selected.size(), unselected.size()) << what;

        std::set<std::string> chosen;
        std::set<std::string> expectedImages;
        for (std::size_t f = 0; f < selected.size(); ++f) {
            const Json& file = selected[f];
            const Json& plain = unselected[f];
            ASSERT_EQ(file["file"], plain["file"]) << what;
            EXPECT_EQ(file["textures"], plain["textures"]) << what;
            uint64_t notChosen = 0;
            int64_t images = 0;
            for (std::size_t t = 0; t < file["list"].size(); ++t) {
                const Json& texture = file["list"][t];
                const Json& was = plain["list"][t];
                EXPECT_EQ(texture["number"], was["number"]) << what;
                if (texture["chosen"]) {
                    chosen.insert(tagOf(file, texture));
                    EXPECT_EQ(texture["names"], was["names"]) << what;
                    images += int64_t{texture["images"]};
                    for (std::string name : was["names"]) {
                        // The Windows build joins walked names with "\".
                        std::replace(name.begin(), name.end(), '\\', '/');
                        expectedImages.insert(fs::path(name).lexically_relative("game").generic_string());
                    }
                } else {
                    ++notChosen;
                    EXPECT_TRUE(texture["names"].empty()) << what;
                }
            }
            EXPECT_EQ(file["not_chosen"], notChosen) << what;
            EXPECT_EQ(file["images"], images) << what;
        }
        EXPECT_EQ(chosen, c.chosen) << what;

        // A conversion writes the chosen images alone, byte for byte as without a selection.
        fs::remove_all(dir.path() / "out");
        std::vector<std::string> convertArguments = {"-r", "-o", "out"};
        convertArguments.insert(convertArguments.end(), c.keys.begin(), c.keys.end());
        convertArguments.push_back("game");
        ASSERT_EQ(runLumenpull(convertArguments, dir.path().string()).exitCode, 0) << what;
        const auto written = filesBelow(dir.path() / "out");
        std::set<std::string> writtenNames;
        for (const auto& [name, bytes] : written) {
            writtenNames.insert(name);
            EXPECT_EQ(bytes, allImages.at(name)) << what << name;
        }
        std::set<std::string> expectedBelowOut;
        for (const std::string& name : expectedImages) expectedBelowOut.insert("game/" + name);
        EXPECT_EQ(writtenNames, expectedBelowOut) << what;
    }
}

// The report line tells what was passed over, and only when anything was;
// the summary counts it too.
TEST(TextureSelection, ReportLinesCountWhatWasNotChosen) {
    test::TempDir dir;
    writeGame(dir);
    const auto run =
        runLumenpull({"--only", "BC5,BC1", "--strict", "-o", "out", "game/walls/brick.tex", "game/walls/sub/rock.tex"},
                     dir.path().string());
    EXPECT_EQ(run.exitCode, 0);
    const std::string expected =
        "game/walls/brick.tex: 3 texture(s) converted into 1 image(s), 2 not chosen\n"
        "game/walls/sub/rock.tex: 1 texture(s) converted into 1 image(s)\n"
        "2 file(s), 4 texture(s), 2 image(s), 2 not chosen, 0 failed\n";
    EXPECT_EQ(run.output, expected);
    const auto listing = runLumenpull({"-l", "--only", "cube", "game/walls/brick.tex"}, dir.path().string());
    EXPECT_NE(listing.output.find("3 texture(s), 2 not chosen\n"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("\t0\tCStaticTexture\t16x8\tBGRA8 (3)\t1\t512 bytes\tnot chosen\n"),
              std::string::npos)
        << listing.output;
}

}  // namespace
}  // namespace lumenpull

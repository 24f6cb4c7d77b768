// --dedup through the real executable: an image equal to one written before
// in the run becomes a hard link to the first of them, the same one for any
// job count, and a copy where the file system cannot link.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
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

Bytes gradient() { return test::storeBgra(test::makeGradient(8, 8)); }

// Duplicates inside one file (two equal textures, a cube of equal faces)
// and across files and folders; one picture that has no twin.
void writeDuplicates(const test::TempDir& dir, const std::string& folder) {
    test::ResourceBuilder pair = test::standardFile();
    pair.addStaticTexture(8, 8, 0, 3, gradient());
    pair.addStaticTexture(8, 8, 0, 3, test::storeBgra(test::makeColourWheel(8, 8)));
    pair.addStaticTexture(8, 8, 0, 3, gradient());
    dir.writeFile(folder + "/a/pair.tex", pair.payload());
    test::ResourceBuilder single = test::standardFile();
    single.addStaticTexture(8, 8, 0, 3, gradient());
    dir.writeFile(folder + "/b/single.tex", single.payload());
    dir.writeFile(folder + "/b/again.tex", single.payload());
    Bytes faces;
    for (int i = 0; i < 6; ++i) {
        const Bytes face = test::storeBgra(test::makeCheckerboard(8, 8, 2));
        faces.insert(faces.end(), face.begin(), face.end());
    }
    test::ResourceBuilder cube = test::standardFile();
    cube.addStaticTexture(8, 8, 0x2, 3, faces);
    dir.writeFile(folder + "/cube.tex", cube.payload());
}

std::vector<Json> jsonLines(const std::string& text) {
    std::vector<Json> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) objects.push_back(Json::parse(line));
    return objects;
}

// The Windows build joins names with "\\"; this side reads them with "/".
std::string generic(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

struct Written {
    std::string name;
    Json sameAs;
};

std::vector<Written> writtenInOrder(const std::vector<Json>& report) {
    std::vector<Written> all;
    for (const Json& file : report) {
        EXPECT_EQ(file["written"].size(), file["same_as"].size()) << file.dump();
        for (std::size_t i = 0; i < file["written"].size(); ++i) {
            all.push_back({generic(file["written"][i]), file["same_as"][i]});
            if (all.back().sameAs.is_string()) all.back().sameAs = generic(all.back().sameAs);
        }
    }
    return all;
}

struct stat statOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

// Every image names as "same_as" the first earlier image of its type with
// its bytes, and none when there is none; `linked` says whether it is then
// that image's file.
void expectFirstEqualImages(const std::vector<Written>& written, const fs::path& base, bool linked) {
    for (std::size_t i = 0; i < written.size(); ++i) {
        const Bytes bytes = test::readFileBytes((base / written[i].name).string());
        const std::string type = fs::path(written[i].name).extension().string();
        std::optional<std::string> first;
        for (std::size_t j = 0; j < i && !first; ++j) {
            if (fs::path(written[j].name).extension().string() == type &&
                test::readFileBytes((base / written[j].name).string()) == bytes) {
                first = written[j].name;
            }
        }
        if (!first) {
            EXPECT_TRUE(written[i].sameAs.is_null()) << written[i].name;
            continue;
        }
        EXPECT_EQ(written[i].sameAs, *first) << written[i].name;
        const struct stat image = statOf((base / written[i].name).string());
        const struct stat earlier = statOf((base / *first).string());
        EXPECT_EQ(image.st_ino == earlier.st_ino && image.st_dev == earlier.st_dev, linked) << written[i].name;
    }
}

TEST(DuplicateImages, LinkedToTheFirstForEveryJobCount) {
    test::TempDir dir;
    writeDuplicates(dir, "game");
    std::string firstReport;
    for (const char* jobs : {"1", "4"}) {
        fs::remove_all(dir.path() / "out");
        const auto run =
            runLumenpull({"-r", "-j", jobs, "--dedup", "--json", "-o", "out", "game"}, dir.path().string());
        ASSERT_EQ(run.exitCode, 0) << run.output;
        if (firstReport.empty()) firstReport = run.output;
        // The same report, so the same first images, whatever the job count.
        EXPECT_EQ(run.output, firstReport) << "-j " << jobs;
        const std::vector<Written> written = writtenInOrder(jsonLines(run.output));
        expectFirstEqualImages(written, dir.path(), true);

        // Four names for the gradient, six for the cube's face: one file each.
        std::map<ino_t, nlink_t> links;
        for (const Written& image : written) {
            const struct stat info = statOf((dir.path() / image.name).string());
            links[info.st_ino] = info.st_nlink;
        }
        std::multiset<nlink_t> counts;
        for (const auto& [inode, count] : links) counts.insert(count);
        EXPECT_EQ(counts, (std::multiset<nlink_t>{1, 4, 6})) << run.output;  // wheel; gradients; cube faces
    }
    // Without the key nothing is linked and the report has no "same_as".
    fs::remove_all(dir.path() / "out");
    const auto plain = runLumenpull({"-r", "--json", "-o", "out", "game"}, dir.path().string());
    EXPECT_EQ(plain.output.find("same_as"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "out")) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(fs::hard_link_count(entry.path()), 1u) << entry.path();
        }
    }
}

// Somewhere the images of one run cannot be hard links of each other: a
// vfat image mounted for the test where that can be done, else an output
// folder whose halves lie on two file systems (a link into the system's
// shared-memory folder). Empty when neither is there.
class UnlinkablePlace {
public:
    explicit UnlinkablePlace(const test::TempDir& dir) : dir_(dir) {
        if (mountVfat()) return;
        const fs::path shared = "/dev/shm";
        std::error_code error;
        if (!fs::is_directory(shared, error) || fs::status(shared).permissions() == fs::perms::none) return;
        struct stat here {
        }, there{};
        if (::stat(dir.path().c_str(), &here) != 0 || ::stat(shared.c_str(), &there) != 0) return;
        if (here.st_dev == there.st_dev) return;
        elsewhere_ = shared / ("lumenpull-dedup-" + std::to_string(::getpid()));
        fs::create_directories(elsewhere_, error);
        if (error) return;
        fs::create_directories(dir.path() / "out" / "game", error);
        fs::create_directory_symlink(elsewhere_, dir.path() / "out" / "game" / "b", error);
        if (!error) kind_ = "two file systems";
    }
    ~UnlinkablePlace() {
        std::error_code error;
        if (mounted_) {
            fs::remove_all(dir_.path() / "mnt" / "out", error);
            [[maybe_unused]] const int unmounted = std::system(("umount '" + (dir_ / "mnt") + "'").c_str());
        }
        if (!elsewhere_.empty()) fs::remove_all(elsewhere_, error);
    }

    std::string kind() const { return kind_; }
    std::string outputFolder() const { return mounted_ ? "mnt/out" : "out"; }

private:
    bool mountVfat() {
        if (::geteuid() != 0) return false;
        const std::string image = dir_ / "fat.img";
        const std::string mount = dir_ / "mnt";
        dir_.makeDir("mnt");
        const std::string commands = "(command -v mkfs.vfat && truncate -s 8M '" + image + "' && mkfs.vfat '" + image +
                                     "' && mount -o loop '" + image + "' '" + mount + "') >/dev/null 2>&1";
        if (std::system(commands.c_str()) != 0) return false;
        mounted_ = true;
        kind_ = "vfat";
        return true;
    }

    const test::TempDir& dir_;
    bool mounted_ = false;
    fs::path elsewhere_;
    std::string kind_;
};

TEST(DuplicateImages, CopiedWhereNoLinkCanBeMade) {
    test::TempDir dir;
    writeDuplicates(dir, "game");
    const UnlinkablePlace place(dir);
    if (place.kind().empty()) GTEST_SKIP() << "no vfat mount and no second file system here";
    const auto run = runLumenpull({"-r", "--dedup", "--json", "-o", place.outputFolder(), "game"}, dir.path().string());
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<Written> written = writtenInOrder(jsonLines(run.output));
    // Images in game/b whose first lies elsewhere are copies; the report
    // names the first all the same.
    std::vector<Written> crossing;
    std::vector<Written> rest;
    for (const Written& image : written) {
        const bool inB = image.name.find("/game/b/") != std::string::npos;
        const bool firstInB =
            image.sameAs.is_string() && std::string(image.sameAs).find("/game/b/") != std::string::npos;
        (place.kind() == "vfat" || inB != firstInB ? crossing : rest).push_back(image);
    }
    ASSERT_FALSE(crossing.empty());
    for (const Written& image : crossing) {
        if (image.sameAs.is_null()) continue;
        EXPECT_EQ(test::readFileBytes((dir.path() / image.name).string()),
                  test::readFileBytes((dir.path() / std::string(image.sameAs)).string()))
            << place.kind() << " " << image.name;
        EXPECT_EQ(fs::hard_link_count(dir.path() / image.name), 1u) << place.kind() << " " << image.name;
    }
    // No temporary file stays behind.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / place.outputFolder(),
                                                              fs::directory_options::follow_directory_symlink)) {
        EXPECT_EQ(entry.path().string().find("lumenpull-tmp"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace lumenpull

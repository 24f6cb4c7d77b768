// The real executable against hostile file systems and interruptions: full
// disks, read-only folders and images, links and folders where an image
// should go, FIFOs named like inputs, signals in the middle of a large image,
// and a report read by a pipe that closes early. Whatever happens, no image name shows a partial image, an
// older image is either whole or wholly replaced, and no temporary file stays.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::ResourceBuilder;
using test::TempDir;

// A file with one 32-bit texture of `picture`, its pixels zlib-compressed
// (so that even a large image makes a small input), with `frames` frames.
Bytes textureFile(const test::RgbaImage& picture, int32_t frames = 1) {
    Bytes pixels;
    const Bytes one = test::storeBgra(picture);
    for (int32_t i = 0; i < frames; ++i) pixels.insert(pixels.end(), one.begin(), one.end());
    ResourceBuilder file;
    file.addStandardTypes();
    test::TextureFields t;
    t.width = picture.width;
    t.height = picture.height;
    t.format = 3;
    t.frameCount = frames;
    t.pixels = test::compressZlib(pixels);
    file.addTexture(frames > 1 ? test::TextureClass::Anim : test::TextureClass::Static, t);
    return file.payload();
}

std::vector<std::string> temporaryFiles(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".lumenpull-tmp") != std::string::npos) found.push_back(name);
    }
    return found;
}

// The size an uncompressed 32-bit TGA of this picture has.
uintmax_t plainTgaSize(const test::RgbaImage& picture) {
    return 18 + uintmax_t{4} * static_cast<uintmax_t>(picture.width) * static_cast<uintmax_t>(picture.height);
}

// The tool started in the background with the signals that end it at their
// defaults (a shell may hand ignored ones down), its output in a file.
class BackgroundRun {
public:
    BackgroundRun(const std::vector<std::string>& arguments, const fs::path& folder, const fs::path& output) {
        pid_ = ::fork();
        if (pid_ != 0) return;
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(signalNumber, SIG_DFL);
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
#ifdef LUMENPULL_EXE_EMULATOR
        // A cross-built executable runs under its emulator, which passes the
        // signals on to it.
        argv.push_back(const_cast<char*>(LUMENPULL_EXE_EMULATOR));
#endif
        argv.push_back(const_cast<char*>(LUMENPULL_EXE));
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execv(argv.front(), argv.data());
        ::_exit(127);
    }

    void signal(int signalNumber) const { ::kill(pid_, signalNumber); }

    // The exit code (128 + signal for a process ended by one), or -1 when it
    // was still running after `limit` and had to be killed.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

// A small tmpfs mounted over a folder, unmounted when the object goes; only
// root can make one, so tests that need one are skipped for other users.
class SmallDisk {
public:
    SmallDisk(const fs::path& folder, const char* options) : folder_(folder) {
        fs::create_directories(folder);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    bool makeReadOnly() const {
        return ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path folder_;
    bool mounted_ = false;
};

// --- Cases for every build, the Windows one under Wine included ---

TEST(EndToEndOutput, AnExistingImageIsReplacedWhole) {
    TempDir dir;
    const auto picture = test::makeGradient(16, 16);
    dir.writeFile("a.tex", textureFile(picture));
    dir.writeFile("a.tga", std::string(5000, 'x'));  // longer than the new image
    EXPECT_EQ(test::runLumenpull({"-u", "a.tex"}, dir.path().string()).output,
              "a.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_EQ(fs::file_size(dir.path() / "a.tga"), plainTgaSize(picture));
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(EndToEndOutput, AReadOnlyImageIsLeftAlone) {
    TempDir dir;
    dir.writeFile("a.tex", textureFile(test::makeGradient(4, 4)));
    dir.writeFile("a.tga", "protected");
    fs::permissions(dir.path() / "a.tga", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string output = test::runLumenpull({"a.tex"}, dir.path().string()).output;
    EXPECT_EQ(output.rfind("a.tex: Error creating output file: a.tga: ", 0), 0u) << output;
    EXPECT_EQ(test::readFileBytes(dir / "a.tga"), Bytes({'p', 'r', 'o', 't', 'e', 'c', 't', 'e', 'd'}));
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(EndToEndOutput, AnImageIsNeverWrittenOverItsInput) {
    TempDir dir;
    const Bytes input = textureFile(test::makeGradient(8, 8));
    dir.writeFile("x.tga", input);
    EXPECT_EQ(test::runLumenpull({"-f", ".tga", "x.tga"}, dir.path().string()).output,
              "x.tga: Output file would overwrite its input\n");
    EXPECT_EQ(test::readFileBytes(dir / "x.tga"), input);
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(EndToEndOutput, BigInAFolderNameIsAnOrdinaryFolder) {
    TempDir dir;
    const Bytes input = textureFile(test::makeGradient(4, 4));
    dir.writeFile("nb2/pack--Big/sub/wall.tex", input);
    dir.writeFile("nb2/pack--Big/sub/door.tex", input);
    const std::string output = test::runLumenpull({"--nobig", "-r", "nb2"}, dir.path().string()).output;
    EXPECT_NE(output.find("wall.tex: 1 texture(s) converted into 1 image(s)\n"), std::string::npos) << output;
    EXPECT_NE(output.find("door.tex: 1 texture(s) converted into 1 image(s)\n"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(dir.path() / "nb2/pack--Big/sub/wall.tga"));
    EXPECT_TRUE(fs::exists(dir.path() / "nb2/pack--Big/sub/door.tga"));
    EXPECT_FALSE(fs::exists(dir.path() / "nb2/pack.tga"));
}

// PNG images and images below an output folder go the same way as TGA
// images beside their input.
TEST(EndToEndOutput, PngAndOutputFolderImagesAreProtectedAlike) {
    struct Case {
        std::vector<std::string> arguments;
        std::string input;      // written into the run's folder
        std::string readOnly;   // an existing read-only image there, or ""
        std::string lineStart;  // how the file's line begins
    };
    const std::vector<Case> cases{
        {{"-t", "png", "a.tex"}, "a.tex", "a.png", "a.tex: Error creating output file: a.png: "},
        {{"-o", "out", "a.tex"},
         "a.tex",
         "out/a.tga",
         std::string("a.tex: Error creating output file: out") + (test::runsWindowsBuild() ? "\\" : "/") + "a.tga: "},
        {{"-t", "png", "-f", ".png", "x.png"}, "x.png", "", "x.png: Output file would overwrite its input\n"},
        // "./x.tga" is another name of the input.
        {{"-o", ".", "-f", ".tga", "x.tga"}, "x.tga", "", "x.tga: Output file would overwrite its input\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const Bytes input = textureFile(test::makeGradient(8, 8));
        dir.writeFile(c.input, input);
        if (!c.readOnly.empty()) {
            dir.writeFile(c.readOnly, "protected");
            fs::permissions(dir.path() / c.readOnly,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        const std::string output = test::runLumenpull(c.arguments, dir.path().string()).output;
        EXPECT_EQ(output.rfind(c.lineStart, 0), 0u) << output;
        EXPECT_EQ(test::readFileBytes(dir / c.input), input) << c.lineStart;
        if (!c.readOnly.empty()) {
            EXPECT_EQ(test::readFileBytes(dir / c.readOnly), Bytes({'p', 'r', 'o', 't', 'e', 'c', 't', 'e', 'd'}));
        }
        EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{}) << c.lineStart;
    }
}

// --- Linux file systems and signals ---

TEST(OutputFaults, ALinkWhereTheImageGoesIsReplacedNotWrittenThrough) {
    TempDir dir;
    dir.writeFile("outside/target.txt", "keep");
    dir.writeFile("tree/a.tex", textureFile(test::makeGradient(4, 4)));
    fs::create_symlink(dir.path() / "outside/target.txt", dir.path() / "tree/a.tga");
    EXPECT_EQ(test::runLumenpull({"a.tex"}, dir / "tree").output, "a.tex: 1 texture(s) converted into 1 image(s)\n");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.path() / "tree/a.tga")));
    EXPECT_EQ(test::readFileBytes(dir / "outside/target.txt"), Bytes({'k', 'e', 'e', 'p'}));
}

TEST(OutputFaults, ALinkWhereAPngOrAnOutputFolderImageGoesIsReplacedToo) {
    for (const auto& [arguments, image] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-t", "png", "a.tex"}, "tree/a.png"}, {{"-o", "out", "a.tex"}, "tree/out/a.tga"}}) {
        TempDir dir;
        dir.writeFile("outside/target.txt", "keep");
        dir.writeFile("tree/a.tex", textureFile(test::makeGradient(4, 4)));
        fs::create_directories((dir.path() / image).parent_path());
        fs::create_symlink(dir.path() / "outside/target.txt", dir.path() / image);
        EXPECT_EQ(test::runLumenpull(arguments, dir / "tree").output,
                  "a.tex: 1 texture(s) converted into 1 image(s)\n");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.path() / image))) << image;
        EXPECT_EQ(test::readFileBytes(dir / "outside/target.txt"), Bytes({'k', 'e', 'e', 'p'})) << image;
    }
}

TEST(OutputFaults, ASecondNameOfTheInputIsNotOverwritten) {
    TempDir dir;
    const Bytes input = textureFile(test::makeGradient(8, 8));
    dir.writeFile("b.tex", input);
    fs::create_hard_link(dir.path() / "b.tex", dir.path() / "b.tga");
    EXPECT_EQ(test::runLumenpull({"b.tex"}, dir.path().string()).output,
              "b.tex: Output file would overwrite its input\n");
    EXPECT_EQ(test::readFileBytes(dir / "b.tex"), input);
}

TEST(OutputFaults, AReadOnlyFolderReportsTheReason) {
    TempDir dir;
    // Permissions do not stop root: a read-only file system does.
    SmallDisk disk(dir.path() / "ro", "size=1m");
    dir.writeFile("ro/a.tex", textureFile(test::makeGradient(4, 4)));
    std::string reason = std::strerror(EACCES);
    if (disk.mounted()) {
        ASSERT_TRUE(disk.makeReadOnly());
        reason = std::strerror(EROFS);
    } else {
        fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_EQ(test::runLumenpull({"a.tex"}, dir / "ro").output,
              "a.tex: Error creating output file: a.tga: " + reason + "\n");
    EXPECT_FALSE(fs::exists(dir.path() / "ro/a.tga"));
}

TEST(OutputFaults, AFifoNamedLikeAnInputEndsItsLineAtOnce) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "x.tex").c_str(), 0600), 0);
    dir.writeFile("y.tex", textureFile(test::makeGradient(4, 4)));
    // Named, and met in a walk; nobody ever writes to the FIFO.
    const BackgroundRun run({"x.tex", "."}, dir.path(), dir.path() / "out.txt");
    ASSERT_EQ(run.wait(std::chrono::seconds(10)), 0) << "the run did not finish";
    const std::string output = [&] {
        const Bytes bytes = test::readFileBytes(dir / "out.txt");
        return std::string(bytes.begin(), bytes.end());
    }();
    const std::string refused = "x.tex: error opening reading stream: Error opening file ";
    EXPECT_NE(output.find(refused + "x.tex: Not a regular file\n"), std::string::npos) << output;
    EXPECT_NE(output.find(refused + "./x.tex: Not a regular file\n"), std::string::npos) << output;
    EXPECT_NE(output.find("./y.tex: 1 texture(s) converted into 1 image(s)\n"), std::string::npos) << output;
}

TEST(OutputFaults, AFullDiskIsReportedAndKeepsEveryImageWhole) {
    TempDir dir;
    SmallDisk disk(dir.path() / "disk", "size=200k");
    if (!disk.mounted()) GTEST_SKIP() << "a small tmpfs needs root";
    // Four frames of 64 KiB each do not fit beside each other in 200 KiB.
    const auto first = test::makeGradient(128, 128);
    dir.writeFile("disk/anim.tex", textureFile(first, 4));
    const std::string output = test::runLumenpull({"-u", "anim.tex"}, dir / "disk").output;
    const std::string failed = "anim.tex: Error writing output file: anim_0";
    ASSERT_EQ(output.rfind(failed, 0), 0u) << output;
    EXPECT_EQ(output.substr(failed.size() + 1), ".tga: " + std::string(std::strerror(ENOSPC)) + "\n");
    const int failedFrame = output[failed.size()] - '0';
    EXPECT_GE(failedFrame, 1);
    for (int frame = 0; frame < 4; ++frame) {
        const fs::path image = dir.path() / ("disk/anim_0" + std::to_string(frame) + ".tga");
        if (frame < failedFrame)
            EXPECT_EQ(fs::file_size(image), plainTgaSize(first)) << frame;
        else
            EXPECT_FALSE(fs::exists(image)) << frame;
    }
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});

    // Once more with other pixels on the full disk: every image there is
    // afterwards the one from before or the new one, whole.
    std::vector<Bytes> before, after;
    const Bytes second = textureFile(test::makeCheckerboard(128, 128, 8), 4);
    dir.writeFile("roomy/anim.tex", second);
    ASSERT_EQ(test::runLumenpull({"-u", "anim.tex"}, dir / "roomy").exitCode, 0);
    for (int frame = 0; frame < failedFrame; ++frame) {
        const std::string name = "anim_0" + std::to_string(frame) + ".tga";
        before.push_back(test::readFileBytes(dir / ("disk/" + name)));
        after.push_back(test::readFileBytes(dir / ("roomy/" + name)));
    }
    dir.writeFile("disk/anim.tex", second);
    const std::string again = test::runLumenpull({"-u", "anim.tex"}, dir / "disk").output;
    EXPECT_EQ(again.rfind("anim.tex: Error writing output file: anim_0", 0), 0u) << again;
    for (int frame = 0; frame < failedFrame; ++frame) {
        const Bytes image = test::readFileBytes(dir / ("disk/anim_0" + std::to_string(frame) + ".tga"));
        const auto index = static_cast<size_t>(frame);
        EXPECT_TRUE(image == before[index] || image == after[index]) << frame << ": " << image.size() << " bytes";
    }
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

// A PNG of noise does not compress: 256 KiB of it do not fit in 200 KiB.
TEST(OutputFaults, APngThatDoesNotFitIsReportedAndTheOldOneStays) {
    TempDir dir;
    SmallDisk disk(dir.path() / "disk", "size=200k");
    if (!disk.mounted()) GTEST_SKIP() << "a small tmpfs needs root";
    test::RgbaImage noise(256, 256);
    uint32_t state = 12345;
    for (uint8_t& byte : noise.rgba) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    dir.writeFile("noise.tex", textureFile(noise));
    dir.writeFile("disk/noise.png", "old");
    EXPECT_EQ(test::runLumenpull({"-t", "png", "-o", "disk", "noise.tex"}, dir.path().string()).output,
              "noise.tex: Error writing output file: disk/noise.png: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_EQ(test::readFileBytes(dir / "disk/noise.png"), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

TEST(OutputFaults, AnInterruptLeavesTheOldImageOrTheNewOneAndNoTemporaryFile) {
    TempDir dir;
    // 16 MiB of image from a small input; the old image has other pixels.
    const auto picture = test::makeGradient(2048, 2048);
    dir.writeFile("old/big.tex", textureFile(test::makeCheckerboard(2048, 2048, 64)));
    ASSERT_EQ(test::runLumenpull({"-u", "big.tex"}, dir / "old").exitCode, 0);
    const Bytes oldImage = test::readFileBytes(dir / "old/big.tga");
    dir.writeFile("new/big.tex", textureFile(picture));
    ASSERT_EQ(test::runLumenpull({"-u", "big.tex"}, dir / "new").exitCode, 0);
    const Bytes newImage = test::readFileBytes(dir / "new/big.tga");
    ASSERT_EQ(newImage.size(), plainTgaSize(picture));
    ASSERT_NE(oldImage, newImage);

    dir.writeFile("run/big.tex", textureFile(picture));
    int interrupted = 0;
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        for (const int delay : {0, 5, 10, 20, 30, 45, 60, 90}) {
            dir.writeFile("run/big.tga", oldImage);
            const BackgroundRun run({"-u", "big.tex"}, dir.path() / "run", dir.path() / "out.txt");
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            run.signal(signalNumber);
            const int exitCode = run.wait();
            const std::string what = ::strsignal(signalNumber) + std::string(" after ") + std::to_string(delay) + " ms";
            EXPECT_TRUE(exitCode == 0 || exitCode == 128 + signalNumber) << what << ": exit code " << exitCode;
            if (exitCode != 0) ++interrupted;
            const Bytes image = test::readFileBytes(dir / "run/big.tga");
            EXPECT_TRUE(image == oldImage || image == newImage) << what << ": " << image.size() << " bytes";
            EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{}) << what;
        }
    }
    EXPECT_GT(interrupted, 0) << "no run was interrupted: the test proves nothing";
}

// A line the tool begun before it was interrupted still ends, with
// "interrupted", so the next output starts on a line of its own. The signal
// goes as soon as the line is begun (however long the start takes, under
// an emulator too), while the large image is on its way.
TEST(OutputFaults, AnInterruptEndsTheLineItCutShort) {
    TempDir dir;
    dir.writeFile("run/big.tex", textureFile(test::makeGradient(2048, 2048)));
    const fs::path outFile = dir.path() / "out.txt";
    int cutShort = 0;
    for (int attempt = 0; attempt < 5 && cutShort == 0; ++attempt) {
        fs::remove(outFile);
        const BackgroundRun run({"-u", "big.tex"}, dir.path() / "run", outFile);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const auto lineBegun = [&] {
            std::error_code missing;  // the child has not made the file yet
            const auto size = fs::file_size(outFile, missing);
            return !missing && size > 0;
        };
        while (!lineBegun() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        run.signal(SIGINT);
        const int exitCode = run.wait();
        const Bytes bytes = test::readFileBytes(outFile.string());
        const std::string output(bytes.begin(), bytes.end());
        if (exitCode == 0) {
            EXPECT_EQ(output, "big.tex: 1 texture(s) converted into 1 image(s)\n");  // done before the signal
            continue;
        }
        EXPECT_EQ(exitCode, 128 + SIGINT);
        EXPECT_EQ(output, "big.tex: interrupted\n");
        ++cutShort;
    }
    EXPECT_GT(cutShort, 0) << "no run was interrupted with its line open: the test proves nothing";
}

// Several files at once, each keeping many finished images back until its
// turn (more than any fixed table of temporary files would hold): an
// interrupt at any moment still leaves no temporary file.
TEST(OutputFaults, AnInterruptDuringSeveralJobsLeavesNoTemporaryFile) {
    TempDir dir;
    const Bytes manyFrames = textureFile(test::makeGradient(64, 64), 90);
    std::vector<std::string> arguments{"-j", "4", "-u"};
    for (int i = 0; i < 8; ++i) {
        const std::string name = test::numberedFileName(i, ".tex");
        dir.writeFile("run/" + name, i == 0 ? textureFile(test::makeGradient(2048, 1024)) : manyFrames);
        arguments.push_back(name);
    }
    int interrupted = 0;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {
        for (const int delay : {0, 5, 15, 30, 60}) {
            const BackgroundRun run(arguments, dir.path() / "run", dir.path() / "out.txt");
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            run.signal(signalNumber);
            const int exitCode = run.wait();
            const std::string what = ::strsignal(signalNumber) + std::string(" after ") + std::to_string(delay) + " ms";
            EXPECT_TRUE(exitCode == 0 || exitCode == 128 + signalNumber) << what << ": exit code " << exitCode;
            if (exitCode != 0) ++interrupted;
            EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{}) << what;
        }
    }
    EXPECT_GT(interrupted, 0) << "no run was interrupted: the test proves nothing";
}

// The report read through a pipe whose reader stops early (`... | head -1`):
// the write that meets the closed pipe ends the tool while other jobs have
// images under way, and those go too.
TEST(OutputFaults, AReportPipeClosedEarlyLeavesNoTemporaryFile) {
    TempDir dir;
    const Bytes manyFrames = textureFile(test::makeGradient(64, 64), 90);
    std::vector<std::string> arguments{"-j", "4", "-u"};
    for (int i = 0; i < 40; ++i) {
        const std::string name = test::numberedFileName(i, ".tex");
        dir.writeFile("run/" + name, manyFrames);
        arguments.push_back(name);
    }
    const fs::path pipe = dir.path() / "report";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    int cut = 0;
    for (const std::size_t bytesRead : {1, 200, 2000}) {
        const BackgroundRun run(arguments, dir.path() / "run", pipe);
        const int reader = ::open(pipe.c_str(), O_RDONLY);
        ASSERT_GE(reader, 0);
        std::vector<char> buffer(bytesRead);
        std::size_t got = 0;
        while (got < bytesRead) {
            const ssize_t n = ::read(reader, buffer.data() + got, bytesRead - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(reader);
        const int exitCode = run.wait();
        const std::string what = "after " + std::to_string(bytesRead) + " bytes";
        EXPECT_TRUE(exitCode == 0 || exitCode == 128 + SIGPIPE) << what << ": exit code " << exitCode;
        if (exitCode != 0) ++cut;
        EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{}) << what;
    }
    EXPECT_GT(cut, 0) << "no run met the closed pipe: the test proves nothing";
}

}  // namespace
}  // namespace lumenpull

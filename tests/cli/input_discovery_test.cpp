#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/input_discovery.h"
#include "cli/tool_main.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

struct Discovery {
    std::vector<std::string> converted;
    bool any = false;
};

Discovery discover(const std::vector<std::string>& inputs, ToolOptions options = {}) {
    Discovery result;
    for (const auto& input : inputs) {
        std::ostringstream out;
        const auto convert = [&](const std::string& path, const std::string& from, const ToolOptions& passed,
                                 std::ostream& report) {
            EXPECT_EQ(from, input);
            EXPECT_EQ(&passed, &options);
            EXPECT_EQ(&report, &out);  // the report line goes where discovery writes
            result.converted.push_back(path);
        };
        const bool any = processInput(input, options, convert, out);
        EXPECT_EQ(out.str(), "");  // nothing of its own for entries it can name
        result.any = result.any || any;
    }
    return result;
}

ToolOptions recursive() {
    ToolOptions options;
    options.recursive = true;
    return options;
}

ToolOptions noBig() {
    ToolOptions options;
    options.noBig = true;
    return options;
}

TEST(InputDiscovery, FileRuleUsesTheLastDotOfTheWholeInput) {
    test::TempDir dir;
    // No existence check: a missing file with a matching extension is handed on.
    EXPECT_THAT(discover({"missing.tex"}).converted, ElementsAre("missing.tex"));
    EXPECT_THAT(discover({"pack.rsc"}).converted, ElementsAre("pack.rsc"));
    const auto dropped = discover({"name.TEX", "dir.old/readme", "noextension", "a.tex.bak"});
    EXPECT_TRUE(dropped.converted.empty());
    EXPECT_FALSE(dropped.any);
    // The same file twice is converted twice.
    EXPECT_THAT(discover({"a.tex", "a.tex"}).converted, ElementsAre("a.tex", "a.tex"));
    // Paths with spaces and non-ASCII bytes pass through unchanged.
    EXPECT_THAT(discover({"my textures/w\xC3\xA4ll.tex"}).converted, ElementsAre("my textures/w\xC3\xA4ll.tex"));
}

TEST(InputDiscovery, WalkWithoutRecursionVisitsOnlyTheTopLevel) {
    test::TempDir dir;
    dir.writeFile("a.tex");
    dir.writeFile("b.rsc");
    dir.writeFile("c.txt");
    dir.writeFile(".tex");  // the whole name is the extension
    dir.writeFile("sub/deep.tex");
    const std::string root = dir.path().string();
    const auto found = discover({root});
    EXPECT_TRUE(found.any);
    EXPECT_THAT(found.converted, UnorderedElementsAre(root + "/a.tex", root + "/b.rsc", root + "/.tex"));
}

TEST(InputDiscovery, RecursiveWalkIsDepthFirst) {
    test::TempDir dir;
    dir.writeFile("t/x/one.tex");
    dir.writeFile("t/x/y/two.tex");
    dir.writeFile("t/z/three.rsc");
    dir.writeFile("t/top.tex");
    const std::string root = dir / "t";
    const auto found = discover({root}, recursive());
    ASSERT_EQ(found.converted.size(), 4u);
    // Whatever order the platform lists siblings in, a directory's contents
    // come right after it, before the next sibling: two.tex directly
    // follows or precedes one.tex inside x's block.
    auto position = [&](const std::string& path) {
        return std::find(found.converted.begin(), found.converted.end(), path) - found.converted.begin();
    };
    const auto one = position(root + "/x/one.tex");
    const auto two = position(root + "/x/y/two.tex");
    EXPECT_EQ(std::abs(one - two), 1);
    EXPECT_LT(position(root + "/z/three.rsc"), 4);
    EXPECT_LT(position(root + "/top.tex"), 4);
}

TEST(InputDiscovery, DirectoryNamedLikeAFileIsHandedOnAndEntered) {
    test::TempDir dir;
    dir.writeFile("root/pack.tex/inner.tex");
    const std::string root = dir / "root";
    EXPECT_THAT(discover({root}).converted, ElementsAre(root + "/pack.tex"));
    EXPECT_THAT(discover({root}, recursive()).converted, ElementsAre(root + "/pack.tex", root + "/pack.tex/inner.tex"));
}

TEST(InputDiscovery, SymbolicLinkToADirectoryIsListedButNotEntered) {
    test::TempDir dir;
    dir.writeFile("target/inside.tex");
    dir.makeDir("root");
    std::filesystem::create_directory_symlink(dir.path() / "target", dir.path() / "root" / "link.tex");
    const std::string root = dir / "root";
    EXPECT_THAT(discover({root}, recursive()).converted, ElementsAre(root + "/link.tex"));
}

TEST(InputDiscovery, TrailingSlashIsNotDoubled) {
    test::TempDir dir;
    dir.writeFile("textures/wall.tex");
    const std::string root = dir / "textures";
    EXPECT_THAT(discover({root + "/"}).converted, ElementsAre(root + "/wall.tex"));
    EXPECT_THAT(discover({root}).converted, ElementsAre(root + "/wall.tex"));
}

TEST(InputDiscovery, MissingDirectoryContributesNothing) {
    test::TempDir dir;
    dir.writeFile("ok/a.tex");
    const auto found = discover({dir / "ok", dir / "gone/"}, recursive());
    EXPECT_THAT(found.converted, ElementsAre(dir / "ok/a.tex"));
}

// `check` as an unprivileged user, in a child process: root reads every
// directory whatever its mode, so a test run as root becomes nobody first.
// Exit codes: 0 `check` held, 1 it did not (it lists why on standard
// error), 2 the user could not be changed.
int asNobody(const std::function<bool()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t nogroup = 65534;
        const uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nogroup) != 0 || ::setuid(nobody) != 0) std::_Exit(2);
        std::_Exit(check() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

// 0 the walk found exactly `expected`, 1 it found something else.
int walkAsNobody(const std::string& root, const std::vector<std::string>& expected) {
    return asNobody([&] {
        const auto found = discover({root}, recursive()).converted;
        if (found == expected) return true;
        for (const auto& path : found) std::fprintf(stderr, "found %s\n", path.c_str());
        return false;
    });
}

TEST(InputDiscovery, UnreadableDirectoryContributesNothing) {
    test::TempDir dir;
    dir.writeFile("root/locked/hidden.tex");
    dir.writeFile("root/open.tex");
    ::chmod((dir / "root/locked").c_str(), 0);
    const std::string root = dir / "root";
    if (::geteuid() != 0) {
        EXPECT_THAT(discover({root}, recursive()).converted, ElementsAre(root + "/open.tex"));
        return;
    }
    ::chmod(dir.path().c_str(), 0755);  // nobody must reach root/ itself
    const int result = walkAsNobody(root, {root + "/open.tex"});
    if (result == 2) GTEST_SKIP() << "running as root and cannot become nobody: no unreadable directory to test";
    EXPECT_EQ(result, 0) << "the walk as nobody entered the unreadable directory or missed the open file";
}

// With a failure handler (--strict, --json) discovery names what it cannot
// look at, in walk order, with the system's reason; the whole run then
// counts it as a failed file.
TEST(InputDiscovery, UnreadableDirectoryAndMissingInputAreReportedWhenAsked) {
    test::TempDir dir;
    dir.writeFile("root/locked/hidden.tex");
    dir.writeFile("root/open.tex");
    ::chmod((dir / "root/locked").c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);  // nobody must reach root/ itself
    const std::string root = dir / "root";
    const auto check = [&] {
        std::vector<std::string> reported;
        const PathFailureFn failure = [&](const std::string& path, const std::string& reason) {
            reported.push_back(path + ": " + reason);
        };
        std::ostringstream out;
        for (const std::string& input : {root, dir / "nosuchdir"}) {
            processInput(
                input, recursive(), [](auto&&...) {}, out, failure);
        }
        const std::vector<std::string> expected{root + "/locked: " + std::strerror(EACCES),
                                                dir / "nosuchdir: " + std::strerror(ENOENT)};
        bool held = reported == expected;
        // The whole run: a failure line, counted, exit code 2.
        std::ostringstream run;
        const std::vector<const char*> arguments{"--strict", "-r", "-f", ".none", root.c_str()};
        held = runTool(arguments, run) == 2 && held;
        const std::string lines = root + "/locked: " + std::strerror(EACCES) +
                                  "\nNo input files found\n1 file(s), 0 texture(s), 0 image(s), 1 failed\n";
        held = run.str() == lines && held;
        for (const auto& line : reported) std::fprintf(stderr, "reported %s\n", line.c_str());
        std::fprintf(stderr, "run printed:\n%s", run.str().c_str());
        return held;
    };
    const int result = ::geteuid() != 0 ? (check() ? 0 : 1) : asNobody(check);
    if (result == 2) GTEST_SKIP() << "running as root and cannot become nobody: no unreadable directory to test";
    EXPECT_EQ(result, 0) << "the unreadable directory or the missing input went unreported";
}

TEST(InputDiscovery, NoBigSkipsEntriesWithABigTwin) {
    test::TempDir dir;
    dir.writeFile("pair/a.tex");
    dir.writeFile("pair/a--Big.tex");
    dir.writeFile("single/b.tex");
    dir.writeFile("dirtwin/c.tex");
    dir.makeDir("dirtwin/c--Big.tex");  // a directory counts as a twin too
    EXPECT_THAT(discover({dir / "pair"}, noBig()).converted, ElementsAre(dir / "pair/a--Big.tex"));
    EXPECT_THAT(discover({dir / "single"}, noBig()).converted, ElementsAre(dir / "single/b.tex"));
    EXPECT_THAT(discover({dir / "dirtwin"}, noBig()).converted, ElementsAre(dir / "dirtwin/c--Big.tex"));
    // Without --nobig both are converted.
    EXPECT_THAT(discover({dir / "pair"}).converted, UnorderedElementsAre(dir / "pair/a.tex", dir / "pair/a--Big.tex"));
    // An explicitly named input gets no twin test.
    EXPECT_THAT(discover({dir / "pair/a.tex"}, noBig()).converted, ElementsAre(dir / "pair/a.tex"));
}

TEST(InputDiscovery, BigTwinTest) {
    test::TempDir dir;
    dir.writeFile("a--Big.tex");
    dir.writeFile("x--Big/b.tex");
    dir.writeFile("x--Big/b--Big.tex");
    EXPECT_TRUE(bigTwinExists(dir / "a.tex", ".tex"));
    EXPECT_FALSE(bigTwinExists(dir / "a.rsc", ".rsc"));
    // A file name that already holds "--Big" never has a twin; a folder name
    // holding it is an ordinary folder.
    EXPECT_FALSE(bigTwinExists(dir / "a--Big.tex", ".tex"));
    EXPECT_FALSE(bigTwinExists(dir / "x--Big/b--Big.tex", ".tex"));
    EXPECT_TRUE(bigTwinExists(dir / "x--Big/b.tex", ".tex"));
    EXPECT_FALSE(bigTwinExists(dir / "x--Big/c.tex", ".tex"));
    // Twins are the large files: one beyond 4 GiB is found just the same.
    dir.writeSparseFile("huge--Big.tex", uint64_t{5} << 30);
    EXPECT_TRUE(bigTwinExists(dir / "huge.tex", ".tex"));
}

TEST(InputDiscovery, CustomFormatSet) {
    test::TempDir dir;
    dir.writeFile("d/a.tex");
    dir.writeFile("d/b.pak");
    ToolOptions options;
    options.formats = {".pak"};
    options.uncompressed = true;
    EXPECT_THAT(discover({dir / "d"}, options).converted, ElementsAre(dir / "d/b.pak"));
}

}  // namespace
}  // namespace lumenpull

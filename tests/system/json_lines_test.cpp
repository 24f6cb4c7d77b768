// --json and --strict through the real executable: every line must parse as
// JSON in an independent reader whatever bytes the file names hold, and the
// exit code must tell a script whether the run failed; with any job count.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <streambuf>
#include <tuple>

#include "cli/tool_main.h"
#include "support/container_writer.h"
#include "support/pixel_data_writer.h"
#include "support/resource_writer.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

std::vector<uint8_t> goodFile() {
    test::ResourceBuilder file(11);
    file.addStandardTypes();
    file.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    return file.payload();
}

// Parses every line with Python's json module (raw control characters in
// strings are refused there) and prints, per object with a "file", the
// name's bytes in hex: from "file_hex" when given, else "file" as UTF-8.
// Objects without a file print their keys. Throws on anything invalid.
std::string parsedByPython(const std::string& jsonLines, const test::TempDir& dir) {
    dir.writeFile("lines.json", jsonLines);
    const std::string command =
        "/usr/bin/python3 -c '"
        "import json, sys\n"
        "for raw in open(sys.argv[1], \"rb\").read().split(b\"\\n\")[:-1]:\n"
        "    o = json.loads(raw.decode(\"utf-8\"))\n"
        "    if \"file\" in o:\n"
        "        if \"file_hex\" in o: assert \"\\ufffd\" in o[\"file\"]\n"
        "        print(o.get(\"file_hex\") or o[\"file\"].encode(\"utf-8\").hex())\n"
        "    else: print(\" \".join(o))\n"
        "' '" +
        dir / "lines.json" + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot start python3");
    std::string output;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    if (::pclose(pipe) != 0) throw std::runtime_error("python3 refused the JSON lines:\n" + jsonLines);
    return output;
}

std::string hexOf(const std::string& bytes) {
    std::string hex;
    char digits[3];
    for (const unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

std::multiset<std::string> linesOf(const std::string& text) {
    std::multiset<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.insert(line);
    return out;
}

// Runs with the job count (-j) first.
test::ToolRun runWithJobs(const std::string& jobs, std::vector<std::string> arguments, const test::TempDir& dir) {
    arguments.insert(arguments.begin(), {"-j", jobs});
    return test::runLumenpull(arguments, dir.path().string());
}

// Several jobs print exactly what one job prints.
void expectAsWithOneJob(const std::string& jobs, const test::ToolRun& result, const std::vector<std::string>& arguments,
                        const test::TempDir& dir) {
    if (jobs == "1") return;
    const auto oneJob = runWithJobs("1", arguments, dir);
    EXPECT_EQ(result.output, oneJob.output);
    EXPECT_EQ(result.exitCode, oneJob.exitCode);
}

// The job count (-j) of every run.
class JsonLines : public ::testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Jobs, JsonLines, ::testing::Values(std::string("1"), std::string("4")),
                         [](const auto& instance) { return "j" + instance.param; });

TEST_P(JsonLines, EveryLineParsesAndKeepsEveryByteOfTheName) {
    if (test::runsWindowsBuild()) GTEST_SKIP() << "control characters and stray bytes are no Windows file names";
    test::TempDir dir;
    const std::vector<std::string> names = {"tree/new\nline.tex",   "tree/esc\x1b[31m.tex", "tree/stray\xff\xfe.tex",
                                            "tree/cut\xe2\x82.tex", "tree/caf\xc3\xa9.tex", "tree/quote\"\\.tex"};
    for (const auto& name : names) dir.writeFile(name, goodFile());
    dir.writeFile("tree/broken\x01.tex", std::string("not a resource file"));

    std::multiset<std::string> expected;
    for (const auto& name : names) expected.insert(hexOf(name));
    expected.insert(hexOf("tree/broken\x01.tex"));
    for (const std::vector<std::string>& keys : {std::vector<std::string>{"--json"}, {"-l", "--json"}}) {
        std::vector<std::string> arguments = keys;
        arguments.insert(arguments.end(), {"--strict", "tree"});
        const auto result = runWithJobs(GetParam(), arguments, dir);
        EXPECT_EQ(result.exitCode, 2);  // the broken file
        expectAsWithOneJob(GetParam(), result, arguments, dir);
        std::multiset<std::string> found = linesOf(parsedByPython(result.output, dir));
        EXPECT_EQ(found.count("summary"), 1u) << result.output;
        found.erase("summary");
        EXPECT_EQ(found, expected) << result.output;
    }
}

TEST_P(JsonLines, PlainReportLinesStayOneLineEach) {
    if (test::runsWindowsBuild()) GTEST_SKIP() << "control characters are no Windows file names";
    test::TempDir dir;
    dir.writeFile("tree/new\nline.tex", goodFile());
    dir.writeFile("tree/esc\x1b[31m\r.tex", goodFile());
    dir.writeFile("tree/caf\xc3\xa9\x7f.tex", goodFile());
    const auto result = runWithJobs(GetParam(), {"tree"}, dir);
    expectAsWithOneJob(GetParam(), result, {"tree"}, dir);
    EXPECT_EQ(linesOf(result.output),
              (std::multiset<std::string>{"tree/new\\nline.tex: 1 texture(s) converted into 1 image(s)",
                                          "tree/esc\\x1b[31m\\r.tex: 1 texture(s) converted into 1 image(s)",
                                          "tree/caf\xc3\xa9\\x7f.tex: 1 texture(s) converted into 1 image(s)"}));
    // A listing escapes its names column too.
    const auto listed = runWithJobs(GetParam(), {"-l", "tree/new\nline.tex"}, dir);
    EXPECT_EQ(listed.output,
              "tree/new\\nline.tex: 1 texture(s)\n"
              "\t-\tCStaticTexture\t4x4\tBGRA8 (3)\t1\t64 bytes\ttree/new\\nline.tga\n");
}

struct StrictCase {
    std::string name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;
};

void PrintTo(const StrictCase& strictCase, std::ostream* out) { *out << strictCase.name; }

// A case and the job count (-j) it runs with.
class Strict : public ::testing::TestWithParam<std::tuple<StrictCase, std::string>> {};

TEST_P(Strict, SummaryAndExitCode) {
    const StrictCase& strictCase = std::get<0>(GetParam());
    const std::string& jobs = std::get<1>(GetParam());
    test::TempDir dir;
    dir.writeFile("good.tex", goodFile());
    dir.writeFile("bad.tex", std::string("not a resource file"));
    dir.writeFile("none.tex", [] {
        test::ResourceBuilder file(11);
        file.addStandardTypes();
        return file.payload();
    }());
    const auto result = runWithJobs(jobs, strictCase.arguments, dir);
    EXPECT_EQ(result.exitCode, strictCase.exitCode);
    const std::string& output = result.output;
    const size_t last = output.rfind('\n', output.size() > 1 ? output.size() - 2 : 0);
    EXPECT_EQ(output.substr(last == std::string::npos ? 0 : last + 1), strictCase.output) << output;
    expectAsWithOneJob(jobs, result, strictCase.arguments, dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Strict,
    ::testing::Combine(
        ::testing::Values(
            StrictCase{
                "AllGood", {"--strict", "good.tex", "none.tex"}, 0, "2 file(s), 1 texture(s), 1 image(s), 0 failed\n"},
            StrictCase{"SomeFailed",
                       {"good.tex", "bad.tex", "--strict"},
                       2,
                       "2 file(s), 1 texture(s), 1 image(s), 1 failed\n"},
            StrictCase{"FailedInTheMiddle",
                       {"--strict", "good.tex", "bad.tex", "none.tex", "good.tex"},
                       2,
                       "4 file(s), 2 texture(s), 2 image(s), 1 failed\n"},
            StrictCase{"ListingFailedInTheMiddle",
                       {"-l", "--json", "--strict", "good.tex", "bad.tex", "good.tex"},
                       2,
                       R"({"summary":{"files":3,"textures":2,"images":2,"failed":1}})"
                       "\n"},
            StrictCase{"NothingFound",
                       {"--strict", "-f", ".none", "good.tex"},
                       2,
                       "0 file(s), 0 texture(s), 0 image(s), 0 failed\n"},
            StrictCase{"ListingCountsWhatWouldBeWritten",
                       {"-l", "--strict", "good.tex"},
                       0,
                       "1 file(s), 1 texture(s), 1 image(s), 0 failed\n"},
            StrictCase{"JsonAllGood",
                       {"--json", "--strict", "good.tex"},
                       0,
                       R"({"summary":{"files":1,"textures":1,"images":1,"failed":0}})"
                       "\n"},
            StrictCase{"JsonSomeFailed",
                       {"--json", "--strict", "bad.tex", "good.tex"},
                       2,
                       R"({"summary":{"files":2,"textures":1,"images":1,"failed":1}})"
                       "\n"},
            StrictCase{"JsonNothingFound",
                       {"--json", "--strict", "-f", ".none", "good.tex"},
                       2,
                       R"({"summary":{"files":0,"textures":0,"images":0,"failed":0}})"
                       "\n"},
            // Without --strict a failed file or an empty run still ends with 0.
            StrictCase{"NotStrict",
                       {"bad.tex"},
                       0,
                       "bad.tex: error reading meta data: Expected '1482052177' but found '544501614'\n"},
            StrictCase{"JsonNotStrictNothingFound",
                       {"--json", "-f", ".none", "good.tex"},
                       0,
                       R"({"error":"No input files found"})"
                       "\n"}),
        ::testing::Values(std::string("1"), std::string("4"))),
    [](const auto& instance) { return std::get<0>(instance.param).name + "_j" + std::get<1>(instance.param); });

// Every failed file's object names the kind of its fault beside the
// unchanged error text.
TEST_P(JsonLines, ErrorsCarryTheirKind) {
    test::TempDir dir;
    const std::vector<uint8_t> good = goodFile();
    dir.writeFile("tree/text.tex", std::string("not a resource file"));
    dir.writeFile("tree/cut.tex", std::span(good).first(40));
    std::vector<uint8_t> cookie = good;
    cookie[8] ^= 0xFF;  // the endianness cookie after the two leading tags
    dir.writeFile("tree/cookie.tex", cookie);
    test::ResourceBuilder rejected(11);
    rejected.addStandardTypes();
    rejected.addStaticTexture(4, 4, 0, 13, test::storeBgra(test::makeGradient(4, 4)));
    dir.writeFile("tree/format.tex", rejected.payload());
    dir.makeDir("tree/folder.tex");
    dir.writeFile("tree/good.tex", good);
    const auto result = runWithJobs(GetParam(), {"--json", "tree"}, dir);
    expectAsWithOneJob(GetParam(), result, {"--json", "tree"}, dir);
    std::map<std::string, std::string> kinds;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);) {
        const auto object = nlohmann::json::parse(line);
        const std::string file = object.at("file").get<std::string>();
        const std::string name = file.substr(file.find_last_of("/\\") + 1);
        kinds[name] = object.contains("error") ? object.at("kind").get<std::string>() : "none";
    }
    EXPECT_EQ(kinds, (std::map<std::string, std::string>{{"text.tex", "not-a-resource-file"},
                                                         {"cut.tex", "truncated"},
                                                         {"cookie.tex", "damaged"},
                                                         {"format.tex", "unsupported"},
                                                         {"folder.tex", "io"},
                                                         {"good.tex", "none"}}))
        << result.output;
}

TEST_P(JsonLines, WrittenNamesThatAreNotUtf8ComeInHexToo) {
    if (test::runsWindowsBuild()) GTEST_SKIP() << "stray bytes are no Windows file names";
    test::TempDir dir;
    test::ResourceBuilder two(11);
    two.addStandardTypes();
    two.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    two.addStaticTexture(4, 4, 0, 3, test::storeBgra(test::makeGradient(4, 4)));
    dir.writeFile("stray\xff.tex", two.payload());
    dir.writeFile("plain.tex", goodFile());
    const auto result = runWithJobs(GetParam(), {"--json", "stray\xff.tex", "plain.tex"}, dir);
    expectAsWithOneJob(GetParam(), result, {"--json", "stray\xff.tex", "plain.tex"}, dir);
    std::istringstream in(result.output);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const auto stray = nlohmann::json::parse(line);
    EXPECT_EQ(stray.at("written"), nlohmann::json::array({"stray\uFFFD_0.tga", "stray\uFFFD_1.tga"}));
    EXPECT_EQ(stray.at("written_hex"), nlohmann::json::array({hexOf("stray\xff_0.tga"), hexOf("stray\xff_1.tga")}));
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_FALSE(nlohmann::json::parse(line).contains("written_hex")) << line;
}

struct MissingInputCase {
    std::string name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;
};

void PrintTo(const MissingInputCase& missingCase, std::ostream* out) { *out << missingCase.name; }

class MissingInputs : public ::testing::TestWithParam<std::tuple<MissingInputCase, std::string>> {};

// A misspelled input is a failure in the modes made for scripts, reported
// in its place; the plain report passes over it as before.
TEST_P(MissingInputs, AreReportedAndCountedOnlyInTheModesForScripts) {
    const MissingInputCase& missingCase = std::get<0>(GetParam());
    const std::string& jobs = std::get<1>(GetParam());
    test::TempDir dir;
    dir.writeFile("good.tex", goodFile());
    const auto result = runWithJobs(jobs, missingCase.arguments, dir);
    EXPECT_EQ(result.exitCode, missingCase.exitCode);
    EXPECT_EQ(result.output, missingCase.output);
    expectAsWithOneJob(jobs, result, missingCase.arguments, dir);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MissingInputs,
    ::testing::Combine(
        ::testing::Values(
            MissingInputCase{"Strict",
                             {"--strict", "nosuchdir", "good.tex", "no.txt"},
                             2,
                             "nosuchdir: No such file or directory\n"
                             "good.tex: 1 texture(s) converted into 1 image(s)\n"
                             "no.txt: No such file or directory\n"
                             "3 file(s), 1 texture(s), 1 image(s), 2 failed\n"},
            MissingInputCase{"StrictNothingElse",
                             {"--strict", "nosuchdir"},
                             2,
                             "nosuchdir: No such file or directory\n"
                             "No input files found\n"
                             "1 file(s), 0 texture(s), 0 image(s), 1 failed\n"},
            MissingInputCase{"Json",
                             {"--json", "nosuchdir", "good.tex"},
                             0,
                             R"({"file":"nosuchdir","error":"No such file or directory","kind":"io","written":[]})"
                             "\n"
                             R"({"file":"good.tex","textures":1,"images":1,"written":["good.tga"]})"
                             "\n"},
            // An existing input the file rule drops is no failure.
            MissingInputCase{"ExistingFileOfAnotherKind",
                             {"--strict", "-f", ".x", "good.tex"},
                             2,
                             "No input files found\n0 file(s), 0 texture(s), 0 image(s), 0 failed\n"},
            MissingInputCase{
                "Plain", {"nosuchdir", "good.tex"}, 0, "good.tex: 1 texture(s) converted into 1 image(s)\n"}),
        ::testing::Values(std::string("1"), std::string("4"))),
    [](const auto& instance) { return std::get<0>(instance.param).name + "_j" + std::get<1>(instance.param); });

// A stream whose reader is gone: every write fails, as on a full disk.
class RefusingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// --strict must not vouch for a run whose report was lost; without it the
// exit code stays 0 as before.
TEST(StrictReport, ThatCannotBeWrittenFailsTheRun) {
    test::TempDir dir;
    dir.writeFile("good.tex", goodFile());
    const std::string good = dir / "good.tex";
    for (const bool strict : {true, false}) {
        RefusingBuffer refused;
        std::ostream out(&refused);
        std::vector<const char*> arguments{"-l", good.c_str()};
        if (strict) arguments.push_back("--strict");
        EXPECT_EQ(runTool(arguments, out), strict ? 2 : 0) << (strict ? "--strict" : "plain");
    }
}

}  // namespace
}  // namespace lumenpull

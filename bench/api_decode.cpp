// The library's whole-image decode against the tool's conversion of the
// same files, group by group over the benchmark corpus (make_bench_corpus).
// For every group, interleaved, `runs` times:
//   - tool: the tool's per-file conversion (default types, TGA and
//     Radiance), images written into a scratch folder and removed after;
//   - api: Resource::open and images() of every texture (every image, from
//     one unpacking), into buffers the library returns;
//   - api-into: decode(i) of every image into one buffer reused for them
//     all (which unpacks once per image: the same for single images).
// Prints a Markdown table of medians (seconds, and api / tool). The process
// keeps freed memory for reuse, as the tool's does.
//
//     api_decode <corpus folder> <scratch folder> [runs] [group,group,...]

#include <lumenpull/lumenpull.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "convert/convert_file.h"
#include "cli/platform_memory.h"
#include "convert/tool_options.h"
#include "output/output_file.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The tool's converter on one file, its images below `scratch`.
void convertWithTool(const std::string& path, const lumenpull::ToolOptions& options) {
    lumenpull::ImageOutput output(path);
    lumenpull::BufferPool buffers;  // one job's pool: the tool keeps its heap between files
    lumenpull::FileReport report = lumenpull::convertedReport(path, path, options, output, buffers);
    lumenpull::addPlacedImages(report, output);
    if (report.failed) throw std::runtime_error(path + ": " + report.outcome);
}

// Every image of every texture, returned by the library; a checksum keeps
// the work from being dropped.
uint64_t decodeWithLibrary(const std::string& path) {
    uint64_t sum = 0;
    const lumenpull::Resource resource = lumenpull::Resource::open(path);
    for (const lumenpull::Texture& texture : resource.textures()) {
        if (texture.info().rejected || texture.info().withoutPixels) continue;
        for (const lumenpull::Image& image : texture.images()) sum += image.bytes.size() + image.floats.size();
    }
    return sum;
}

// The same into one buffer of the caller's, reused for every image.
uint64_t decodeIntoBuffer(const std::string& path, std::vector<uint8_t>& bytes, std::vector<float>& floats) {
    uint64_t sum = 0;
    const lumenpull::Resource resource = lumenpull::Resource::open(path);
    for (const lumenpull::Texture& texture : resource.textures()) {
        if (texture.info().rejected || texture.info().withoutPixels) continue;
        const lumenpull::ImageShape full = texture.fullShape();
        // The corpus's textures hold all their images: no availableImages()
        // (one more unpacking) needed.
        for (int32_t i = 0; i < texture.info().imageCount; ++i) {
            if (full.layout == lumenpull::PixelLayout::RgbFloat) {
                if (floats.size() < full.values()) floats.resize(static_cast<std::size_t>(full.values()));
                sum += texture.decode(i, floats).values();
            } else {
                if (bytes.size() < full.values()) bytes.resize(static_cast<std::size_t>(full.values()));
                sum += texture.decode(i, bytes).values();
            }
        }
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> <scratch folder> [runs] [groups]\n", argv[0]);
        return 2;
    }
    // The memory setting the tool's process starts with, for both sides: a
    // program using the library chooses its own (see docs/api.md).
    lumenpull::keepFreedMemoryForReuse();
    const fs::path corpus = argv[1];
    const fs::path scratch = argv[2];
    const int runs = argc > 3 ? std::stoi(argv[3]) : 5;
    std::vector<std::string> chosen;
    if (argc > 4) {
        std::istringstream list(argv[4]);
        for (std::string group; std::getline(list, group, ',');) chosen.push_back(group);
    }

    // manifest.tsv: file, group, container, ... per line.
    std::vector<std::string> groups;
    std::map<std::string, std::vector<std::string>> files;
    std::ifstream manifest(corpus / "manifest.tsv");
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        std::string name;
        std::string group;
        std::getline(fields, name, '\t');
        std::getline(fields, group, '\t');
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), group) == chosen.end()) continue;
        if (files.find(group) == files.end()) groups.push_back(group);
        files[group].push_back((corpus / name).string());
    }
    if (groups.empty()) {
        std::fprintf(stderr, "no files in %s\n", (corpus / "manifest.tsv").string().c_str());
        return 1;
    }

    lumenpull::ToolOptions options;
    options.outputFolder = scratch.string();
    std::map<std::string, std::vector<double>> tool;
    std::map<std::string, std::vector<double>> api;
    std::map<std::string, std::vector<double>> into;
    uint64_t checksum = 0;
    std::vector<uint8_t> bytes;
    std::vector<float> floats;
    for (int run = 0; run < runs; ++run) {
        for (const std::string& group : groups) {
            auto start = Clock::now();
            for (const std::string& path : files[group]) convertWithTool(path, options);
            tool[group].push_back(seconds(start));
            fs::remove_all(scratch);

            start = Clock::now();
            for (const std::string& path : files[group]) checksum += decodeWithLibrary(path);
            api[group].push_back(seconds(start));

            start = Clock::now();
            for (const std::string& path : files[group]) checksum += decodeIntoBuffer(path, bytes, floats);
            into[group].push_back(seconds(start));
        }
    }

    std::printf("%d interleaved runs, medians (checksum %llu)\n\n", runs, static_cast<unsigned long long>(checksum));
    std::printf("| group | files | tool s | api s | api-into s | api / tool | api-into / tool |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const std::string& group : groups) {
        const double t = median(tool[group]);
        const double a = median(api[group]);
        const double b = median(into[group]);
        std::printf("| %s | %zu | %.3f | %.3f | %.3f | %.2f | %.2f |\n", group.c_str(), files[group].size(), t, a, b,
                    a / t, b / t);
    }
    return 0;
}

#include "lumenpull/convert.h"

#include <memory>

#include "cli/job_runner.h"
#include "convert/convert_file.h"
#include "convert/failure_kind.h"
#include "convert/output_types.h"
#include "convert/tool_options.h"
#include "output/output_file.h"
#include "pixels/pixel_format_name.h"
#include "lumenpull/error.h"

namespace lumenpull {
namespace {

// Files added to the runner and not yet finished, per job: as the tool.
constexpr std::size_t kWindowPerJob = 16;

ImageType imageType(FileType type) {
    switch (type) {
        case FileType::Tga: return ImageType::Tga;
        case FileType::Png: return ImageType::Png;
        case FileType::Hdr: return ImageType::Hdr;
        case FileType::Dds: return ImageType::Dds;
        case FileType::Exr: return ImageType::Exr;
    }
    return ImageType::Tga;
}

ToolOptions toolOptions(const ConvertOptions& options) {
    const bool eightBit =
        options.eightBit == FileType::Tga || options.eightBit == FileType::Png || options.eightBit == FileType::Dds;
    const bool highDynamicRange = options.highDynamicRange == FileType::Hdr ||
                                  options.highDynamicRange == FileType::Exr ||
                                  options.highDynamicRange == FileType::Dds;
    if (!eightBit || !highDynamicRange) throw Error("Output type does not serve that kind of picture");
    ToolOptions tool;
    tool.outputFolder = options.outputFolder;
    tool.types.eightBit = imageType(options.eightBit);
    tool.types.highDynamicRange = imageType(options.highDynamicRange);
    tool.uncompressed = options.uncompressed;
    tool.noBig = options.noBig;
    tool.listOnly = options.listOnly;
    tool.jobs = std::max(options.jobs, 1u);
    return tool;
}

ListedTexture listedTexture(const TextureRow& row) {
    ListedTexture listed;
    TextureInfo& info = listed.info;
    info.number = row.number;
    info.typeName = row.typeName;
    info.width = row.width;
    info.height = row.height;
    info.storedCode = row.storedCode;
    info.twoChannel = row.twoChannel;
    info.arrangement = row.images == TextureRow::Images::Cube     ? ImageArrangement::Cube
                       : row.images == TextureRow::Images::Frames ? ImageArrangement::Frames
                                                                  : ImageArrangement::Single;
    info.imageCount = row.imageCount;
    info.storedBytes = row.storedBytes;
    info.rejected = row.rejected();
    info.withoutPixels = row.skipped;
    info.formatName = row.canonicalFormat ? pixelFormatName(*row.canonicalFormat, row.twoChannel)
                                          : (row.skipped ? "unknown" : "rejected");
    info.highDynamicRange = row.canonicalFormat == PixelFormat::Hdr32;
    listed.packing.zlib = row.findings.inflated;
    listed.packing.planes = row.findings.planes;
    listed.packing.shortData = row.findings.shortData;
    if (row.findings.mips == UnpackFindings::Mips::LargestFirst) listed.packing.mips = Packing::Mips::LargestFirst;
    if (row.findings.mips == UnpackFindings::Mips::LargestLast) listed.packing.mips = Packing::Mips::LargestLast;
    listed.files = row.output.names;
    return listed;
}

FileResult fileResult(FileReport report) {
    FileResult result;
    result.path = std::move(report.path);
    result.outcome = std::move(report.outcome);
    result.failed = report.failed;
    if (report.failed) result.failureKind = failureKindName(report.failureKind);
    result.textures = report.textures;
    result.images = report.images;
    result.written = std::move(report.written);
    for (const TextureRow& row : report.rows) result.listed.push_back(listedTexture(row));
    return result;
}

FileType fileType(ImageType type) {
    switch (type) {
        case ImageType::Tga: return FileType::Tga;
        case ImageType::Png: return FileType::Png;
        case ImageType::Hdr: return FileType::Hdr;
        case ImageType::Dds: return FileType::Dds;
        case ImageType::Exr: return FileType::Exr;
    }
    return FileType::Tga;
}

}  // namespace

void setOutputTypes(ConvertOptions& options, const std::string& list) {
    ImageTypes types;
    if (const std::optional<std::string> error = parseImageTypes(list, types)) throw Error(*error);
    options.eightBit = fileType(types.eightBit);
    options.highDynamicRange = fileType(types.highDynamicRange);
}

std::vector<FileResult> convert(const std::vector<std::string>& paths, const ConvertOptions& options) {
    const ToolOptions tool = toolOptions(options);
    std::vector<FileResult> results(paths.size());
    // As the tool's jobs: each file converted on a worker with its images
    // kept back, then put in place in the order of the paths.
    JobRunner runner(tool.jobs, kWindowPerJob * tool.jobs);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        runner.add([&, i](BufferPool& buffers) -> JobRunner::Finish {
            const std::string& path = paths[i];
            auto output = std::make_shared<ImageOutput>(path, ImageOutput::Placing::Deferred);
            auto report = std::make_shared<FileReport>(convertedReport(path, path, tool, *output, buffers));
            return [&, i, output, report] {
                addPlacedImages(*report, *output);
                results[i] = fileResult(std::move(*report));
            };
        });
    }
    runner.finishAll();
    return results;
}

}  // namespace lumenpull

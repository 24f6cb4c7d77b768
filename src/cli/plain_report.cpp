#include "cli/plain_report.h"

#include "cli/printable_text.h"
#include "convert/convert_file.h"
#include "output/output_file.h"
#include "pixels/pixel_format_name.h"

namespace lumenpull {
namespace {

std::string numberColumn(const TextureRow& row) {
    if (row.skipped) return "skip";
    return row.number ? std::to_string(*row.number) : "-";
}

std::string formatColumn(const TextureRow& row) {
    std::string name;
    if (row.canonicalFormat) {
        name = pixelFormatName(*row.canonicalFormat, row.twoChannel);
    } else {
        name = row.skipped ? "unknown" : "rejected";
    }
    return name + " (" + std::to_string(row.storedCode) + ")";
}

std::string imagesColumn(const TextureRow& row) {
    switch (row.images) {
        case TextureRow::Images::Cube: return "cube";
        case TextureRow::Images::Frames:
            return std::to_string(row.imageCount) + (row.imageCount == 1 ? " frame" : " frames");
        case TextureRow::Images::Single: break;
    }
    return "1";
}

std::string dataColumn(const TextureRow& row) {
    if (row.skipped) return "no pixel data";
    std::string text = std::to_string(row.storedBytes) + " bytes";
    if (row.rejected()) return text;
    const UnpackFindings& found = row.findings;
    if (found.inflated) text += " zlib";
    if (found.planes) text += " planes";
    if (found.mips == UnpackFindings::Mips::LargestFirst) text += " mips-first";
    if (found.mips == UnpackFindings::Mips::LargestLast) text += " mips-last";
    if (found.shortData) text += " short";
    return text;
}

// All names when there are one or two, else the first and the last.
std::string namesColumn(const TextureRow& row) {
    if (row.notChosen) return "not chosen";
    const auto& names = row.output.names;
    if (names.empty()) return "-";
    if (names.size() == 1) return printable(names.front());
    const char* between = names.size() == 2 ? " " : " \xE2\x80\xA6 ";
    return printable(names.front()) + between + printable(names.back());
}

}  // namespace

std::string plainReportStart(const std::string& path) { return printable(path) + ": "; }

std::string plainReportEnd(const FileReport& report) {
    std::string text = printable(report.outcome) + "\n";
    for (const TextureRow& row : report.rows) {
        text += plainTextureRow(row);
        // An import's listing ends each texture's line with what happens to it.
        if (report.imported) {
            text += '\t';
            text += printable(row.importState);
        }
        text += '\n';
    }
    return text;
}

std::string plainReport(const FileReport& report) { return plainReportStart(report.path) + plainReportEnd(report); }

std::string plainTextureRow(const TextureRow& row) {
    // Appended column by column: a "\t" + std::string chain trips a false
    // -Wrestrict warning of GCC 12 in the MinGW build.
    std::string line;
    for (const std::string& column :
         {numberColumn(row), printable(row.typeName), std::to_string(row.width) + "x" + std::to_string(row.height),
          formatColumn(row), imagesColumn(row), dataColumn(row), namesColumn(row)}) {
        line += '\t';
        line += column;
    }
    return line;
}

void convertFile(const std::string& path, const std::string& input, const ToolOptions& options, std::ostream& out) {
    // The line is begun before the file is opened and ended by one outcome.
    out << plainReportStart(path) << std::flush;
    ImageOutput output(path);
    BufferPool buffers;
    FileReport report = convertedReport(path, input, options, output, buffers);
    addPlacedImages(report, output);
    out << plainReportEnd(report) << std::flush;
}

}  // namespace lumenpull

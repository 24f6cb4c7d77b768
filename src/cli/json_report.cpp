#include "cli/json_report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli/utf8_text.h"
#include "pixels/pixel_format_name.h"

namespace lumenpull {
namespace {

using Json = nlohmann::ordered_json;

Json names(const std::vector<std::string>& files) {
    Json list = Json::array();
    for (const std::string& file : files) list.push_back(replacingInvalidUtf8(file));
    return list;
}

Json textureObject(const TextureRow& row, bool selection) {
    Json texture;
    texture["number"] = row.number ? Json(*row.number) : Json(nullptr);
    texture["skipped"] = row.skipped;
    // A texture without pixel data, or rejected, has nothing to choose.
    if (selection) texture["chosen"] = !row.notChosen && !row.skipped && !row.rejected();
    texture["type"] = replacingInvalidUtf8(row.typeName);
    texture["width"] = row.width;
    texture["height"] = row.height;
    if (row.canonicalFormat) {
        texture["format"] = pixelFormatName(*row.canonicalFormat, row.twoChannel);
    } else {
        texture["format"] = row.skipped ? Json(nullptr) : Json("rejected");
    }
    texture["code"] = row.storedCode;
    switch (row.images) {
        case TextureRow::Images::Single: texture["layout"] = "single"; break;
        case TextureRow::Images::Cube: texture["layout"] = "cube"; break;
        case TextureRow::Images::Frames: texture["layout"] = "frames"; break;
    }
    texture["images"] = row.imageCount;
    texture["bytes"] = row.storedBytes;
    texture["zlib"] = row.findings.inflated;
    texture["planes"] = row.findings.planes;
    switch (row.findings.mips) {
        case UnpackFindings::Mips::None: texture["mips"] = nullptr; break;
        case UnpackFindings::Mips::LargestFirst: texture["mips"] = "first"; break;
        case UnpackFindings::Mips::LargestLast: texture["mips"] = "last"; break;
    }
    texture["short"] = row.findings.shortData;
    texture["names"] = names(row.output.names);
    if (!row.importState.empty()) texture["import"] = replacingInvalidUtf8(row.importState);
    return texture;
}

std::string line(const Json& object) { return object.dump() + "\n"; }

}  // namespace

std::string jsonReport(const FileReport& report, const JsonFields& fields) {
    Json object;
    object["file"] = replacingInvalidUtf8(report.path);
    if (!isValidUtf8(report.path)) object["file_hex"] = hexBytes(report.path);
    if (report.failed) {
        object["error"] = replacingInvalidUtf8(report.outcome);
        object["kind"] = failureKindName(report.failureKind);
    } else if (report.imported) {
        object["textures"] = report.textures;
        object["replaced"] = report.replaced;
    } else {
        object["textures"] = report.textures;
        object["images"] = report.images;
    }
    if (fields.selection) object["not_chosen"] = report.notChosen;
    // An import writes at most the one patched file.
    if (report.imported) {
        object["written"] = report.written.empty() ? Json(nullptr) : Json(replacingInvalidUtf8(report.written.front()));
    } else {
        object["written"] = names(report.written);
    }
    // As for the path: names that are not valid UTF-8 are also given byte
    // for byte, all of them, so that the two arrays pair up by position.
    const auto valid = [](const std::string& name) { return isValidUtf8(name); };
    if (!std::all_of(report.written.begin(), report.written.end(), valid)) {
        Json hex = Json::array();
        for (const std::string& name : report.written) hex.push_back(hexBytes(name));
        object["written_hex"] = std::move(hex);
    }
    if (fields.sameAs) {
        // Paired with "written" by position: null for a file written as itself.
        Json same = Json::array();
        for (std::size_t i = 0; i < report.written.size(); ++i) {
            const bool linked = i < report.sameAs.size() && !report.sameAs[i].empty();
            same.push_back(linked ? Json(replacingInvalidUtf8(report.sameAs[i])) : Json(nullptr));
        }
        object["same_as"] = std::move(same);
    }
    if (fields.listing) {
        Json list = Json::array();
        for (const TextureRow& row : report.rows) list.push_back(textureObject(row, fields.selection));
        object["list"] = std::move(list);
    }
    return line(object);
}

std::string jsonSummary(const RunTotals& totals, bool selection) {
    Json summary;
    summary["files"] = totals.files;
    summary["textures"] = totals.textures;
    summary["images"] = totals.images;
    if (selection) summary["not_chosen"] = totals.notChosen;
    summary["failed"] = totals.failed;
    Json object;
    object["summary"] = std::move(summary);
    return line(object);
}

std::string jsonError(const std::string& text) {
    Json object;
    object["error"] = replacingInvalidUtf8(text);
    return line(object);
}

std::string jsonNotice(const std::string& text) {
    Json object;
    object["notice"] = replacingInvalidUtf8(text);
    return line(object);
}

}  // namespace lumenpull

#include "python/convert_function.h"

#include <thread>
#include <vector>

#include "lumenpull/convert.h"
#include "lumenpull/error.h"
#include "python/path_argument.h"

namespace lumenpull::python {
namespace {

// The tool's -j range: 0 is one job per core.
constexpr int64_t kMostJobs = 1024;

std::vector<std::string> pathList(py::handle paths) {
    // A lone path is one file, not a sequence of its characters.
    if (isPath(paths)) return {pathArgument(paths)};
    std::vector<std::string> list;
    for (py::handle path : py::iter(paths)) list.push_back(pathArgument(path));
    return list;
}

std::string typeList(py::handle types) {
    if (py::isinstance<py::str>(types)) return py::cast<std::string>(types);
    std::string list;
    for (py::handle type : py::iter(types)) {
        if (!py::isinstance<py::str>(type)) throw py::type_error("types holds a name that is not a str");
        list += py::cast<std::string>(type) + " ";
    }
    return list;
}

py::list names(const std::vector<std::string>& files) {
    py::list list;
    for (const std::string& file : files) list.append(pathText(file));
    return list;
}

// One texture of a listing, with the JSON report's fields.
py::dict listedTexture(const ListedTexture& listed) {
    const TextureInfo& info = listed.info;
    py::dict texture;
    texture["number"] = info.number ? py::object(py::int_(*info.number)) : py::object(py::none());
    texture["skipped"] = info.withoutPixels;
    texture["type"] = displayText(info.typeName);
    texture["width"] = info.width;
    texture["height"] = info.height;
    texture["format"] = info.withoutPixels && info.formatName == "unknown" ? py::object(py::none())
                                                                           : py::object(py::str(info.formatName));
    texture["code"] = info.storedCode;
    texture["layout"] = info.arrangement == ImageArrangement::Cube     ? "cube"
                        : info.arrangement == ImageArrangement::Frames ? "frames"
                                                                       : "single";
    texture["images"] = info.imageCount;
    texture["bytes"] = info.storedBytes;
    texture["zlib"] = listed.packing.zlib;
    texture["planes"] = listed.packing.planes;
    texture["mips"] = listed.packing.mips == Packing::Mips::LargestFirst  ? py::object(py::str("first"))
                      : listed.packing.mips == Packing::Mips::LargestLast ? py::object(py::str("last"))
                                                                          : py::object(py::none());
    texture["short"] = listed.packing.shortData;
    texture["names"] = names(listed.files);
    return texture;
}

// A file's report with the JSON report's fields. Paths are str as
// os.fsdecode makes them, so a name that is not valid UTF-8 needs no hex
// twin: os.fsencode gives its bytes back.
py::dict fileReport(const FileResult& result, bool listing) {
    py::dict report;
    report["file"] = pathText(result.path);
    if (result.failed) {
        report["error"] = pathText(result.outcome);
        report["kind"] = result.failureKind;
    } else {
        report["textures"] = result.textures;
        report["images"] = result.images;
    }
    report["written"] = names(result.written);
    if (listing) {
        py::list list;
        for (const ListedTexture& texture : result.listed) list.append(listedTexture(texture));
        report["list"] = list;
    }
    return report;
}

}  // namespace

void addConvertFunction(py::module_& module) {
    module.def(
        "convert",
        [](py::handle paths, py::handle outputFolder, py::handle types, int64_t jobs, bool uncompressed, bool noBig,
           bool listOnly) {
            ConvertOptions options;
            const std::vector<std::string> files = pathList(paths);
            if (!outputFolder.is_none()) options.outputFolder = pathArgument(outputFolder);
            if (!types.is_none()) {
                try {
                    setOutputTypes(options, typeList(types));
                } catch (const Error& error) {
                    throw py::value_error(error.what());
                }
            }
            if (jobs < 0 || jobs > kMostJobs) throw py::value_error("jobs must be from 0 (one per core) to 1024");
            options.jobs = jobs == 0 ? std::max(std::thread::hardware_concurrency(), 1u) : static_cast<unsigned>(jobs);
            options.uncompressed = uncompressed;
            options.noBig = noBig;
            options.listOnly = listOnly;
            std::vector<FileResult> results;
            {
                const py::gil_scoped_release unlocked;
                results = convert(files, options);
            }
            py::list reports;
            for (const FileResult& result : results) reports.append(fileReport(result, listOnly));
            return reports;
        },
        py::arg("paths"), py::arg("output_folder") = py::none(), py::arg("types") = py::none(), py::arg("jobs") = 1,
        py::kw_only(), py::arg("uncompressed") = false, py::arg("nobig") = false, py::arg("list_only") = false,
        R"(convert(paths, output_folder=None, types=None, jobs=1, *, uncompressed=False, nobig=False, list_only=False) -> list[dict]

Converts resource files exactly as the tool does, and returns one report per file.

paths is a path or an iterable of paths (files only: folders are not
walked). output_folder is the tool's -o (images beside each input without
it), types its -t ("png exr", or a list of names), jobs its -j (0: one per
core), uncompressed its -u, nobig its --nobig; list_only (-l) writes nothing
and adds each file's textures as "list".

Each report is a dict with the fields of the tool's JSON report: "file",
then "textures" and "images", or "error" and "kind" for a file that failed
(which never raises), and "written", the files written in order. Paths are
str as os.fsdecode makes them. Types the tool would refuse raise ValueError.)");
}

}  // namespace lumenpull::python

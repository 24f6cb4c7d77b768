#include "python/texture_object.h"

#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lumenpull/error.h"
#include "python/image_array.h"
#include "python/path_argument.h"

namespace lumenpull::python {
namespace {

struct TypeName {
    const char* name;
    FileType type;
    bool eightBit;
    bool highDynamicRange;
};

constexpr TypeName kTypes[] = {
    {"tga", FileType::Tga, true, false}, {"png", FileType::Png, true, false}, {"dds", FileType::Dds, true, true},
    {"hdr", FileType::Hdr, false, true}, {"exr", FileType::Exr, false, true},
};

const TypeName* typeNamed(const std::string& name) {
    for (const TypeName& entry : kTypes) {
        if (name == entry.name) return &entry;
    }
    return nullptr;
}

const char* kindName(ImageArrangement arrangement) {
    switch (arrangement) {
        case ImageArrangement::Single: return "single";
        case ImageArrangement::Cube: return "cube";
        case ImageArrangement::Frames: return "frames";
    }
    return "single";
}

py::object mipsName(Packing::Mips mips) {
    switch (mips) {
        case Packing::Mips::None: return py::none();
        case Packing::Mips::LargestFirst: return py::str("first");
        case Packing::Mips::LargestLast: return py::str("last");
    }
    return py::none();
}

// The index of a face or frame. Past the texture's images it is an
// IndexError; an image the texture has but its data does not reach is the
// library's error, as in the tool.
int32_t imageIndex(const TextureInfo& info, int64_t index) {
    const bool hasImages = !info.rejected && !info.withoutPixels;
    if (index < 0 || (hasImages && index >= info.imageCount) || index > INT32_MAX) {
        throw py::index_error("image index " + std::to_string(index) + " out of range for " +
                              std::to_string(info.imageCount) + " image(s)");
    }
    return static_cast<int32_t>(index);
}

// save(path, type): the type named, or the one the path's extension names,
// or the tool's default for the texture's kind; the path without that
// extension is the image name the tool's writers extend.
std::pair<std::string, FileType> savedAs(const TextureInfo& info, std::string path,
                                         const std::optional<std::string>& type) {
    const TypeName* chosen = nullptr;
    if (type) {
        chosen = typeNamed(*type);
        if (chosen == nullptr) throw py::value_error("unknown image type '" + *type + "' (tga, png, dds, hdr, exr)");
    }
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        const TypeName* named = typeNamed(path.substr(dot + 1));
        if (named != nullptr && (chosen == nullptr || chosen == named)) {
            chosen = named;
            path.resize(dot);
        }
    }
    if (chosen == nullptr) chosen = typeNamed(info.highDynamicRange ? "hdr" : "tga");
    const bool serves = info.highDynamicRange ? chosen->highDynamicRange : chosen->eightBit;
    if (!serves && !info.rejected && !info.withoutPixels) {
        throw py::value_error(std::string("a ") + (info.highDynamicRange ? "high-dynamic-range" : "8-bit") +
                              " texture cannot be saved as " + chosen->name);
    }
    return {path, chosen->type};
}

std::string repr(const TextureObject& self) {
    const TextureInfo& info = self.texture().info();
    std::string text = "<lumenpull.Texture " + std::to_string(self.index()) + " " +
                       std::string(py::str(displayText(info.typeName))) + " " + std::to_string(info.width) + "x" +
                       std::to_string(info.height) + " " + info.formatName + " " + kindName(info.arrangement);
    if (info.arrangement != ImageArrangement::Single) text += " " + std::to_string(info.imageCount);
    if (info.withoutPixels) text += " without pixels";
    return text + ">";
}

}  // namespace

void addTextureClass(py::module_& module) {
    py::class_<Packing>(module, "Packing", "How a texture's pixel data was stored, found by unpacking it.")
        .def_readonly("zlib", &Packing::zlib, "zlib-compressed")
        .def_readonly("planes", &Packing::planes, "delta-coded planes")
        .def_property_readonly(
            "mips", [](const Packing& self) { return mipsName(self.mips); },
            "\"first\" or \"last\" when smaller mip levels are stored beside each largest image (which "
            "comes first or last), else None")
        .def_readonly("short", &Packing::shortData, "fewer bytes than the images need")
        .def("__repr__", [](const Packing& self) {
            return "<lumenpull.Packing zlib=" + std::string(self.zlib ? "True" : "False") +
                   " planes=" + (self.planes ? "True" : "False") +
                   " mips=" + std::string(py::repr(mipsName(self.mips))) +
                   " short=" + (self.shortData ? "True" : "False") + ">";
        });

    py::class_<TextureObject>(module, "Texture", R"(One texture of a resource file, as a listing shows it.

Its attributes are the listing's fields; image() and images() decode its
pixels into NumPy arrays and save() writes the files the tool writes. A
texture keeps what it needs of its resource: it works after the resource
is closed.)")
        .def_property_readonly("index", &TextureObject::index, "position in Resource.textures")
        .def_property_readonly(
            "number", [](const TextureObject& self) { return self.texture().info().number; },
            "the number in the names of its images when the file holds several textures, else None")
        .def_property_readonly(
            "type", [](const TextureObject& self) { return displayText(self.texture().info().typeName); },
            "the stored type's name, e.g. \"CStaticTexture\"")
        .def_property_readonly(
            "width", [](const TextureObject& self) { return self.texture().info().width; }, "width in pixels")
        .def_property_readonly(
            "height", [](const TextureObject& self) { return self.texture().info().height; }, "height in pixels")
        .def_property_readonly(
            "format",
            [](const TextureObject& self) -> py::object {
                const TextureInfo& info = self.texture().info();
                if (info.withoutPixels && info.formatName == "unknown") return py::none();
                return py::str(info.formatName);
            },
            "the pixel format's name (\"BGRA8\", \"BC1\", \"grey8\", \"HDR\", ...), \"rejected\" for a code "
            "the reader does not know, None for an unknown code of a texture without pixels")
        .def_property_readonly(
            "code", [](const TextureObject& self) { return self.texture().info().storedCode; },
            "the pixel format code as stored")
        .def_property_readonly(
            "kind", [](const TextureObject& self) { return kindName(self.texture().info().arrangement); },
            "\"single\", \"cube\" (six faces) or \"frames\" (an animation)")
        .def_property_readonly(
            "image_count", [](const TextureObject& self) { return self.texture().info().imageCount; },
            "faces or frames")
        .def_property_readonly(
            "stored_bytes", [](const TextureObject& self) { return self.texture().info().storedBytes; },
            "the pixel data as stored (packed)")
        .def_property_readonly(
            "two_channel", [](const TextureObject& self) { return self.texture().info().twoChannel; },
            "only red and green carry data (blue is full in the images)")
        .def_property_readonly(
            "high_dynamic_range", [](const TextureObject& self) { return self.texture().info().highDynamicRange; },
            "decodes to float32 RGB")
        .def_property_readonly(
            "rejected", [](const TextureObject& self) { return self.texture().info().rejected; },
            "an unknown pixel format code: no images, and the last texture of its file")
        .def_property_readonly(
            "without_pixels", [](const TextureObject& self) { return self.texture().info().withoutPixels; },
            "no pixel data: no images")
        .def_property_readonly(
            "packing",
            [](const TextureObject& self) {
                const py::gil_scoped_release unlocked;
                return self.texture().packing();
            },
            "how the pixel data was stored (unpacks it)")
        .def_property_readonly(
            "available_images",
            [](const TextureObject& self) {
                const py::gil_scoped_release unlocked;
                return self.texture().availableImages();
            },
            "the images the pixel data holds, up to image_count (unpacks it)")
        .def(
            "image",
            [](const TextureObject& self, int64_t index) {
                const int32_t chosen = imageIndex(self.texture().info(), index);
                Image image;
                {
                    const py::gil_scoped_release unlocked;
                    image = self.texture().image(chosen);
                }
                return imageArray(std::move(image));
            },
            py::arg("i") = 0, R"(image(i: int = 0) -> numpy.ndarray

Decodes face or frame i into a new NumPy array.

Shape (height, width) for grey, (height, width, 3) or (height, width, 4)
uint8 for colour, (height, width, 3) float32 for high dynamic range; top row
first, channels RGB(A): exactly the pixels of the file the tool writes. An
image whose data ends early has fewer rows. Raises IndexError past
image_count and lumenpull.Error for a texture without images.)")
        .def(
            "images",
            [](const TextureObject& self) {
                std::vector<Image> images;
                {
                    const py::gil_scoped_release unlocked;
                    images = self.texture().images();
                }
                py::list arrays;
                for (Image& image : images) arrays.append(imageArray(std::move(image)));
                return arrays;
            },
            "images() -> list[numpy.ndarray]\n\nEvery face or frame the data holds, in order, as image() gives "
            "them (unpacking once).")
        .def(
            "replace",
            [](const TextureObject& self, py::handle array, int64_t index) {
                OpenedFile& file = self.file();
                if (file.closed) throw py::value_error("replace() on a texture of a closed resource");
                const int32_t chosen = imageIndex(self.texture().info(), index);
                auto image = std::make_shared<const Image>(arrayImage(array, self.texture().fullShape()));
                file.replacements[self.index()][chosen] = std::move(image);
            },
            py::arg("array"), py::arg("i") = 0, R"(replace(array: numpy.ndarray, i: int = 0) -> None

Records array as the new face or frame i, for Resource.save() and
Resource.patched() to encode in the texture's stored form.

array is shaped and typed as image(i) gives it, at the texture's full
width and height; it is copied, so changing it afterwards changes nothing.
Replacing an image again replaces the recording. The texture itself does
not change: image() and images() go on decoding the pixels the resource
was opened with (open the saved file to see what the stored form made of
the new ones). Raises TypeError or ValueError for an array of another
dtype or shape, lumenpull.Error for another size ("Image size 512x512 does
not match the texture's 1024x1024") or a texture without images,
IndexError past image_count, ValueError once the resource is closed.)")
        .def(
            "save",
            [](const TextureObject& self, py::handle path, std::optional<std::string> type, bool uncompressed) {
                const bool bytesPath = py::isinstance<py::bytes>(path);
                const auto [imageName, fileType] = savedAs(self.texture().info(), pathArgument(path), type);
                std::vector<std::string> written;
                {
                    const py::gil_scoped_release unlocked;
                    written = self.texture().save(imageName, fileType, WriteOptions{.uncompressed = uncompressed});
                }
                py::list names;
                for (const std::string& name : written) {
                    if (bytesPath) {
                        names.append(py::bytes(name));
                    } else {
                        names.append(pathText(name));
                    }
                }
                return names;
            },
            py::arg("path"), py::arg("type") = py::none(), py::kw_only(), py::arg("uncompressed") = false,
            R"(save(path, type: str | None = None, *, uncompressed: bool = False) -> list

Writes every image as the tool writes it, and returns the names written
(bytes for a bytes path, else str).

type is "tga", "png" or "dds" for 8-bit textures, "hdr", "exr" or "dds" for
high-dynamic-range ones; without it the path's extension chooses, else the
tool's default (tga, hdr). The path without that extension is the image
name: "wall.png" gives wall.png, or wall_00.png ... wall_05.png for a cube
(a cube as DDS is one cube-map file). Each file is complete under a
temporary name before it is renamed into place. uncompressed is the tool's
-u (TGA and Radiance files without run-length packing).)")
        .def("__repr__", &repr);
}

}  // namespace lumenpull::python

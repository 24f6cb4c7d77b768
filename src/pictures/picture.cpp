#include "pictures/picture.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "lumenpull/error.h"
#include "pictures/picture_readers.h"

namespace lumenpull {

namespace {

std::string lowerExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension;
}

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void checkDecodedSize(uint64_t width, uint64_t height, uint64_t bytesPerPixel, uint64_t fileBytes, uint64_t ratio,
                      const char* type) {
    if (width == 0 || height == 0) throw Error(std::string(type) + " picture without pixels");
    // Sizes up to 65535 square (the largest texture) never overflow here.
    if (width > 65535 || height > 65535) throw Error(std::string(type) + " picture larger than any texture");
    if (width * height * bytesPerPixel > fileBytes * ratio + 4096)
        throw Error(std::string("Truncated ") + type + " file");
}

Picture readPicture(std::span<const uint8_t> file, std::string_view name) {
    const std::string extension = lowerExtension(name);
    if (extension == "tga") return readTga(file);
    if (extension == "png") return readPng(file);
    if (extension == "dds") return readDds(file);
    if (extension == "hdr") return readRadiance(file);
    if (extension == "exr") return readExr(file);
    throw Error("Not a picture type that can be read: ." + extension);
}

Picture readPictureFile(const std::string& path) {
    // The plain C library: its narrow paths are the ones every other file
    // of the tool is named with, on Windows in the system code page.
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw Error(std::string("Cannot read ") + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    for (;;) {
        const std::size_t got = std::fread(piece, 1, sizeof piece, file.get());
        bytes.insert(bytes.end(), piece, piece + got);
        if (got < sizeof piece) break;
    }
    if (std::ferror(file.get())) throw Error("Cannot read the picture");
    return readPicture(bytes, path);
}

}  // namespace lumenpull

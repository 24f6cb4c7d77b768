#include "support/image_reader.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace lumenpull::test {
namespace {

// Runs a Python snippet with the path as its argument; the snippet prints one
// line "mode width height" and then the raw pixel bytes.
ReadImage runReader(const char* script, const std::string& path) {
    std::string command = "/usr/bin/python3 -c '";
    command += script;
    command += "' '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot start the image reader");
    std::string output;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    if (::pclose(pipe) != 0) throw std::runtime_error("the image reader refused " + path);
    const size_t newline = output.find('\n');
    if (newline == std::string::npos) throw std::runtime_error("no output from the image reader");
    ReadImage image;
    std::istringstream header(output.substr(0, newline));
    header >> image.mode >> image.width >> image.height;
    const std::string pixels = output.substr(newline + 1);
    if (image.mode == "float") {
        image.rgb.resize(pixels.size() / sizeof(float));
        std::memcpy(image.rgb.data(), pixels.data(), image.rgb.size() * sizeof(float));
    } else {
        image.rgba.assign(pixels.begin(), pixels.end());
    }
    return image;
}

}  // namespace

ReadImage readWithPillow(const std::string& path) {
    return runReader(
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "im.load()\n"
        "sys.stdout.write(f\"{im.mode} {im.width} {im.height}\\n\")\n"
        "sys.stdout.flush()\n"
        "sys.stdout.buffer.write(im.convert(\"RGBA\").tobytes())\n",
        path);
}

ReadImage readHdrWithOpenCv(const std::string& path) {
    return runReader(
        "import sys, cv2, numpy\n"
        "im = cv2.imread(sys.argv[1], cv2.IMREAD_UNCHANGED)\n"
        "assert im is not None\n"
        "sys.stdout.write(f\"float {im.shape[1]} {im.shape[0]}\\n\")\n"
        "sys.stdout.flush()\n"
        "sys.stdout.buffer.write(numpy.ascontiguousarray(im[:, :, ::-1], dtype=numpy.float32).tobytes())\n",
        path);
}

ReadImage readExrWithOpenCv(const std::string& path) {
    return runReader(
        "import os, sys\n"
        "os.environ[\"OPENCV_IO_ENABLE_OPENEXR\"] = \"1\"\n"
        "import cv2, numpy\n"
        "im = cv2.imread(sys.argv[1], cv2.IMREAD_UNCHANGED)\n"
        "assert im is not None and im.dtype == numpy.float32\n"
        "sys.stdout.write(f\"float {im.shape[1]} {im.shape[0]}\\n\")\n"
        "sys.stdout.flush()\n"
        "sys.stdout.buffer.write(numpy.ascontiguousarray(im[:, :, ::-1], dtype=numpy.float32).tobytes())\n",
        path);
}

}  // namespace lumenpull::test

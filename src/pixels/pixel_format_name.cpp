#include "pixels/pixel_format_name.h"

#include "pixels/pixel_format.h"

namespace lumenpull {

std::string pixelFormatName(PixelFormat format, bool twoChannel) {
    const std::string variant = twoChannel ? "-two-channel" : "";
    switch (format) {
        case PixelFormat::Rgb8: return "BGR8" + variant;
        case PixelFormat::Rgba8: return "BGRA8";
        case PixelFormat::Rgb8B: return "BGR8-B" + variant;
        case PixelFormat::Rgba8B: return "BGRA8-B";
        case PixelFormat::Rgba8C: return "BGRA8-C";
        case PixelFormat::Grey8: return "grey8";
        case PixelFormat::Rgba8D: return "BGRA8-D";
        case PixelFormat::Bc1: return "BC1";
        case PixelFormat::Bc3: return "BC3" + variant;
        case PixelFormat::Block8: return "block8";
        case PixelFormat::Hdr32: return "HDR";
        case PixelFormat::Bc5: return "BC5";
    }
    return "format-" + std::to_string(static_cast<int32_t>(format));
}

}  // namespace lumenpull

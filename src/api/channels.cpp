#include "lumenpull/image.h"

namespace lumenpull {

uint32_t channelsOf(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Grey8: return 1;
        case PixelLayout::Rgb8: return 3;
        case PixelLayout::Rgba8: return 4;
        case PixelLayout::RgbFloat: return 3;
    }
    return 0;
}

}  // namespace lumenpull

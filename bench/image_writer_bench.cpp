// Whole images through the writers into files (page cache): decoding, packing
// and file output of one 1024 x 1024 texture per format, for a picture that
// packs well (colour wheel: flat areas) and a noisy one that does not (its
// packed rows come out larger, so every image is written twice). Bytes are
// output pixel bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "writers/radiance_writer.h"
#include "writers/tga_writer.h"
#include "support/pixel_data_writer.h"
#include "support/temp_dir.h"

namespace lumenpull {
namespace {

constexpr int32_t kSide = 1024;

test::RgbaImage picture(bool noisy) {
    test::RgbaImage image = test::makeColourWheel(kSide, kSide);
    if (noisy) {
        std::mt19937 random(11);
        for (auto& b : image.rgba)
            b = static_cast<uint8_t>(std::clamp<int>(b + static_cast<int>(random() % 17) - 8, 0, 255));
    }
    return image;
}

struct Stored {
    std::vector<uint8_t> bytes;
    int32_t format;
    uint8_t bits;
    uint32_t outputBytesPerPixel;
};

Stored stored(const std::string& kind, bool noisy) {
    const test::RgbaImage image = picture(noisy);
    if (kind == "bc1") return {test::encodeBc1(image), 9, 4, 3};
    if (kind == "bc3") return {test::encodeBc3(image), 10, 8, 4};
    if (kind == "bc5") return {test::encodeBc5(image), 15, 8, 3};
    if (kind == "rgba") return {test::storeBgra(image), 3, 32, 4};
    if (kind == "rgb") return {test::storeBgra(image), 2, 32, 3};
    if (kind == "grey") return {test::storeGrey(image, 4), 7, 32, 1};
    return {test::storeBgra(image), 12, 32, 4};  // hdr: the colour bytes as exponent-byte pixels
}

void writeImage(benchmark::State& state, const std::string& kind) {
    const bool noisy = state.range(0) != 0;
    const Stored s = stored(kind, noisy);
    test::TempDir dir;
    TextureImage texture;
    texture.width = kSide;
    texture.height = kSide;
    texture.pixelFormat = static_cast<PixelFormat>(s.format);
    texture.imageCount = 1;
    texture.pixelData = s.bytes;
    const std::string name = dir / "image";
    for (auto _ : state) {
        if (s.format == 12) {
            writeRadiance(name, texture, false, false);
        } else {
            writeTga(name, texture, s.bits, false);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * s.outputBytesPerPixel);
}

#define WRITER_BENCH(kind)                                                   \
    void Write_##kind(benchmark::State& state) { writeImage(state, #kind); } \
    BENCHMARK(Write_##kind)->ArgName("noisy")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)

WRITER_BENCH(bc1);
WRITER_BENCH(bc3);
WRITER_BENCH(bc5);
WRITER_BENCH(rgba);
WRITER_BENCH(rgb);
WRITER_BENCH(grey);
WRITER_BENCH(hdr);

}  // namespace
}  // namespace lumenpull

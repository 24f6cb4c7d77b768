// TGA run-length encoding of rows of 1024 pixels: bytes per second of input
// pixels, for noise (raw packets only) and for rows of short and long runs;
// and of the bands of a BC1 picture, whose many short runs and raw stretches
// are the encoder's hardest common case.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "decode/bc_bands.h"
#include "writers/tga_rle.h"
#include "support/pixel_data_writer.h"

namespace {

constexpr std::size_t Pixels = 1024;
constexpr std::size_t Rows = 64;

std::vector<uint8_t> rows(std::size_t bytesPerPixel, bool runs) {
    std::mt19937 random(2);
    std::vector<uint8_t> data;
    while (data.size() < Pixels * Rows * bytesPerPixel) {
        const std::size_t run = runs ? (random() % 4 == 0 ? random() % 200 + 1 : random() % 3 + 1) : 1;
        std::vector<uint8_t> pixel(bytesPerPixel);
        for (auto& b : pixel) b = static_cast<uint8_t>(random());
        for (std::size_t r = 0; r < run; ++r) data.insert(data.end(), pixel.begin(), pixel.end());
    }
    data.resize(Pixels * Rows * bytesPerPixel);
    return data;
}

void TgaRle(benchmark::State& state) {
    const auto bytesPerPixel = static_cast<uint32_t>(state.range(0));
    const std::vector<uint8_t> data = rows(bytesPerPixel, state.range(1) != 0);
    const std::size_t rowBytes = Pixels * bytesPerPixel;
    // Packets go into room made once, as the writer packs into its file's buffer.
    std::vector<uint8_t> out(lumenpull::tgaRleBound(Pixels, bytesPerPixel));
    for (auto _ : state) {
        for (std::size_t r = 0; r < Rows; ++r) {
            lumenpull::encodeTgaRleInto(std::span<const uint8_t>(data).subspan(r * rowBytes, rowBytes), bytesPerPixel,
                                        Pixels, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

BENCHMARK(TgaRle)->ArgNames({"bpp", "runs"})->ArgsProduct({{1, 3, 4}, {0, 1}});

// A colour wheel with a little noise, 1024 square and, where the work per
// call counts most, 64 and 16 square; BC1-coded, decoded band by band as
// the writer does, then packed band by band (each band's four pixel rows on
// their own, as the writer packs them).
void TgaRleBc1Bands(benchmark::State& state) {
    const auto side = static_cast<int32_t>(state.range(0));
    const auto width = static_cast<std::size_t>(side);
    lumenpull::test::RgbaImage image = lumenpull::test::makeColourWheel(side, side);
    std::mt19937 random(11);
    for (auto& b : image.rgba)
        b = static_cast<uint8_t>(std::clamp<int>(b + static_cast<int>(random() % 17) - 8, 0, 255));
    const std::vector<uint8_t> blocks = lumenpull::test::encodeBc1(image);
    const std::size_t bandBytes = width * 4 * 3;
    std::vector<uint8_t> bands(bandBytes * (width / 4));
    for (std::size_t b = 0; b < width / 4; ++b) {
        lumenpull::decodeBc1Band(std::span<const uint8_t>(blocks).subspan(b * width * 2, width * 2),
                                 std::span<uint8_t>(bands).subspan(b * bandBytes, bandBytes),
                                 static_cast<uint32_t>(side));
    }
    std::vector<uint8_t> out(lumenpull::tgaRleBound(width * 4, 3));
    for (auto _ : state) {
        for (std::size_t b = 0; b < width / 4; ++b) {
            benchmark::DoNotOptimize(lumenpull::encodeTgaRleInto(
                std::span<const uint8_t>(bands).subspan(b * bandBytes, bandBytes), 3, width, out));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bands.size()));
}

BENCHMARK(TgaRleBc1Bands)->ArgName("side")->Arg(1024)->Arg(64)->Arg(16);

}  // namespace

// TGA run-length encoding of rows of 1024 pixels: bytes per second of input
// pixels, for noise (raw packets only) and for rows of short and long runs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/tga_rle.h"

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
    std::vector<uint8_t> out;
    out.reserve(rowBytes * 2);
    for (auto _ : state) {
        for (std::size_t r = 0; r < Rows; ++r) {
            out.clear();
            lumenpull::encodeTgaRle(std::span<const uint8_t>(data).subspan(r * rowBytes, rowBytes), bytesPerPixel, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

BENCHMARK(TgaRle)->ArgNames({"bpp", "runs"})->ArgsProduct({{1, 3, 4}, {0, 1}});

}  // namespace

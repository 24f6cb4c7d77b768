// Radiance output: RGBE scanline encoding of 1024-pixel scanlines (bytes per
// second of RGBE input), and the per-pixel decode and RGBE encode of a
// stored row, in two steps and straight (bytes per second of stored input).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "writers/hdr_rgbe_row.h"
#include "decode/hdr_row.h"
#include "writers/rgbe.h"

namespace {

constexpr std::size_t Pixels = 1024;
constexpr std::size_t Rows = 64;

// Noise, or a smooth gradient whose exponent and high mantissas form runs.
std::vector<uint8_t> scanlines(bool smooth) {
    std::mt19937 random(3);
    std::vector<uint8_t> data;
    for (std::size_t r = 0; r < Rows; ++r) {
        for (std::size_t x = 0; x < Pixels; ++x) {
            if (smooth) {
                const double v = 0.5 + 0.4 * std::sin(static_cast<double>(x + r) / 300.0);
                const auto rgbe = lumenpull::encodeRgbe(v, v * 0.5, 0.25);
                data.insert(data.end(), rgbe.begin(), rgbe.end());
            } else {
                for (int b = 0; b < 4; ++b) data.push_back(static_cast<uint8_t>(random()));
            }
        }
    }
    return data;
}

void RgbeScanline(benchmark::State& state) {
    const std::vector<uint8_t> data = scanlines(state.range(0) != 0);
    const std::size_t rowBytes = Pixels * 4;
    // Scanlines go into room made once, as the writer packs into its file's buffer.
    std::vector<uint8_t> out(lumenpull::rgbeScanlineBound(Pixels));
    for (auto _ : state) {
        for (std::size_t r = 0; r < Rows; ++r) {
            lumenpull::encodeRgbeScanlineInto(std::span<const uint8_t>(data).subspan(r * rowBytes, rowBytes), out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

// Decoding a row to linear values and encoding every pixel, as the writers
// that need the linear values do.
void HdrDecodeAndRgbe(benchmark::State& state) {
    const bool sharedExponent = state.range(0) != 0;
    const std::vector<uint8_t> stored = scanlines(false);
    const lumenpull::HdrRowDecoder decoder(sharedExponent);
    std::vector<lumenpull::LinearRgb> linear(Pixels);
    std::vector<uint8_t> scanline(Pixels * 4);
    for (auto _ : state) {
        for (std::size_t r = 0; r < Rows; ++r) {
            decoder.decodeRow(std::span<const uint8_t>(stored).subspan(r * Pixels * 4, Pixels * 4), linear, Pixels);
            lumenpull::encodeRgbeRow(linear, scanline);
            benchmark::DoNotOptimize(scanline.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stored.size()));
}

// What the Radiance writer does per row: stored pixels straight to RGBE.
void HdrStoredToRgbe(benchmark::State& state) {
    const bool sharedExponent = state.range(0) != 0;
    const std::vector<uint8_t> stored = scanlines(false);
    const lumenpull::HdrRgbeRowEncoder encoder(sharedExponent);
    std::vector<uint8_t> scanline(Pixels * 4);
    for (auto _ : state) {
        for (std::size_t r = 0; r < Rows; ++r) {
            encoder.encodeRow(std::span<const uint8_t>(stored).subspan(r * Pixels * 4, Pixels * 4), scanline, Pixels);
            benchmark::DoNotOptimize(scanline.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stored.size()));
}

BENCHMARK(RgbeScanline)->ArgName("smooth")->Arg(0)->Arg(1);
BENCHMARK(HdrDecodeAndRgbe)->ArgName("shared")->Arg(0)->Arg(1);
BENCHMARK(HdrStoredToRgbe)->ArgName("shared")->Arg(0)->Arg(1);

}  // namespace

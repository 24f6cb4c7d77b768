// Band decoding of the block formats: bytes per second of decoded output
// (24- or 32-bit pixels), over a 1024 x 256 image of random blocks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decode/bc_bands.h"

namespace {

constexpr uint32_t Width = 1024;
constexpr uint32_t Bands = 64;

std::vector<uint8_t> randomBytes(std::size_t count) {
    std::mt19937 random(1);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

template <void (*Decode)(std::span<const uint8_t>, std::span<uint8_t>, uint32_t)>
void decodeBands(benchmark::State& state, std::size_t blockBytes, std::size_t outputBytes) {
    const std::size_t bandSource = Width / 4 * blockBytes;
    const std::vector<uint8_t> source = randomBytes(bandSource * Bands);
    std::vector<uint8_t> band(Width * 4 * outputBytes);
    for (auto _ : state) {
        for (uint32_t b = 0; b < Bands; ++b) {
            Decode(std::span<const uint8_t>(source).subspan(b * bandSource, bandSource), band, Width);
            benchmark::DoNotOptimize(band.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * band.size() * Bands));
}

void Bc1Band(benchmark::State& state) { decodeBands<lumenpull::decodeBc1Band>(state, 8, 3); }
void Bc3Band(benchmark::State& state) { decodeBands<lumenpull::decodeBc3Band>(state, 16, 4); }
void Bc3TwoChannelBand(benchmark::State& state) { decodeBands<lumenpull::decodeBc3TwoChannelBand>(state, 16, 3); }
void Bc5Band(benchmark::State& state) { decodeBands<lumenpull::decodeBc5Band>(state, 16, 3); }

BENCHMARK(Bc1Band);
BENCHMARK(Bc3Band);
BENCHMARK(Bc3TwoChannelBand);
BENCHMARK(Bc5Band);

}  // namespace

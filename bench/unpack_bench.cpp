// Throughput of the pixel-data unpacking steps on a 1024 × 1024 texture with
// its mip levels. Bytes processed are bytes produced.
#include <benchmark/benchmark.h>

#include <utility>

#include "pixels/texture_flags.h"
#include "support/pixel_data_writer.h"
#include "unpack/inflation.h"
#include "unpack/pixel_unpacking.h"
#include "unpack/planes.h"

namespace lumenpull {
namespace {

constexpr int32_t kSide = 1024;

UnpackParameters parameters(int32_t format, uint8_t bits, uint32_t flags = 0) {
    UnpackParameters p;
    p.width = kSide;
    p.height = kSide;
    p.pixelFormat = static_cast<PixelFormat>(format);
    p.bitsPerPixel = bits;
    p.textureFlags = flags;
    return p;
}

std::vector<uint8_t> rgbaWithMips() {
    const auto image = test::storeBgra(test::makeColourWheel(kSide, kSide));
    return test::buildMipChain(image, 1, test::smallerMipLevelsSize(kSide, kSide, 32), 0);
}

std::vector<uint8_t> bc3WithMips() {
    const auto image = test::encodeBc3(test::makeColourWheel(kSide, kSide));
    return test::buildMipChain(image, 1, test::smallerMipLevelsSize(kSide, kSide, 8), 0);
}

void inflate(benchmark::State& state, const std::vector<uint8_t>& raw, const UnpackParameters& p) {
    const auto stored = test::compressZlib(raw, true);
    // Each round's block goes back to the pool, as a worker's do.
    BufferPool buffers;
    for (auto _ : state) {
        auto inflated = inflatedPixelData(stored, p, buffers);
        benchmark::DoNotOptimize(inflated->bytes.data());
        buffers.keep(std::move(inflated->block));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * raw.size()));
}

void BM_InflateRgbaWithMips(benchmark::State& state) { inflate(state, rgbaWithMips(), parameters(3, 32)); }
BENCHMARK(BM_InflateRgbaWithMips)->Unit(benchmark::kMillisecond);

void BM_InflateBc3WithMips(benchmark::State& state) { inflate(state, bc3WithMips(), parameters(10, 8)); }
BENCHMARK(BM_InflateBc3WithMips)->Unit(benchmark::kMillisecond);

// The decoding alone, into a buffer made once.
void decodePlanesOnly(benchmark::State& state, const std::vector<uint8_t>& raw, int32_t format) {
    const auto planes = test::encodePlanes(raw, format);
    const PlaneLayout layout = planeLayoutFor(static_cast<PixelFormat>(format), planes.size());
    std::vector<uint8_t> decoded(layout.decodedSize);
    for (auto _ : state) {
        decodePlaneElements(planes, layout, decoded);
        benchmark::DoNotOptimize(decoded.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * decoded.size()));
}

void BM_DecodePlanesRgbaWithMips(benchmark::State& state) { decodePlanesOnly(state, rgbaWithMips(), 3); }
BENCHMARK(BM_DecodePlanesRgbaWithMips)->Unit(benchmark::kMillisecond);

void BM_DecodePlanesBc3WithMips(benchmark::State& state) { decodePlanesOnly(state, bc3WithMips(), 10); }
BENCHMARK(BM_DecodePlanesBc3WithMips)->Unit(benchmark::kMillisecond);

// All three steps as the driver runs them: compressed, plane-coded RGBA with mips.
void BM_UnpackRgbaWithMips(benchmark::State& state) {
    const auto raw = rgbaWithMips();
    const auto stored = test::compressZlib(test::encodePlanes(raw, 3), true);
    const auto p = parameters(3, 32, PlaneCoded);
    BufferPool buffers;
    for (auto _ : state) {
        UnpackedPixels unpacked = unpackedPixels(stored, p, buffers);
        benchmark::DoNotOptimize(unpacked.images().data());
        unpacked.returnBuffers(buffers);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(BM_UnpackRgbaWithMips)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumenpull

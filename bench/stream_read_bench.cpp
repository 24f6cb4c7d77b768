// 4-byte reads through each kind of stream, the way the resource readers
// read: whole passes over a 4 MiB payload, reported as bytes per second.

#include <benchmark/benchmark.h>

#include <memory>

#include "stream/open_stream.h"
#include "support/container_writer.h"
#include "support/temp_dir.h"

namespace {

using lumenpull::test::ContainerKind;

constexpr size_t kPayloadSize = 4u << 20;

void readWords(benchmark::State& state, ContainerKind kind) {
    std::vector<uint8_t> payload(kPayloadSize);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
    const lumenpull::test::TempDir dir;
    dir.writeFile("payload.rsc", lumenpull::test::wrapPayload(kind, payload));
    const auto stream = lumenpull::OpenStream(dir / "payload.rsc", "r", 1, true, true);

    uint32_t sum = 0;
    for (auto _ : state) {
        stream->Seek(0, lumenpull::SeekOrigin::Begin);
        for (size_t at = 0; at < kPayloadSize; at += 4) {
            uint32_t word;
            stream->Read(&word, 4);
            sum += word;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kPayloadSize));
}

BENCHMARK_CAPTURE(readWords, plain, ContainerKind::Plain)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readWords, work, ContainerKind::Work)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readWords, signed_default_blocks, ContainerKind::Signed)->Unit(benchmark::kMillisecond);

}  // namespace

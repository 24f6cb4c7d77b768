// Reading a resource file's meta data and both object passes, the way the
// converter walks a file: objects made by kind, texture bodies read, other
// bodies measured and kept raw.

#include <benchmark/benchmark.h>

#include "resource/object_walk.h"
#include "resource/resource_file.h"
#include "resource/texture_kind.h"
#include "stream/stream.h"
#include "support/resource_writer.h"
#include "support/temp_dir.h"

namespace {

using namespace lumenpull;
using namespace lumenpull::test;

// `count` static textures of 1 KiB inline pixels, each behind an unknown
// object of a structure with a dynamic array of strings.
std::vector<uint8_t> manyObjects(int count) {
    ResourceBuilder builder;
    builder.addStandardTypes();
    const int32_t text = builder.addType(simpleType("CString", 0));
    const int32_t list = builder.addType(linkType("Names", type_class::DynamicArray6, text));
    const int32_t record = builder.addType(structureType("CRecord", 1, -1, {{builder.types().ident}, {list}}));
    ByteWriter body;
    body.i32(1).words({0, 3}).str("alpha").str("bravo").str("gamma");
    for (int i = 0; i < count; ++i) {
        builder.addObject(record, body.data());
        builder.addStaticTexture(16, 16, 0, 5, std::vector<uint8_t>(1024, static_cast<uint8_t>(i)));
    }
    return builder.payload();
}

void BM_ReadWholeFile(benchmark::State& state) {
    TempDir dir;
    const std::vector<uint8_t> payload = manyObjects(static_cast<int>(state.range(0)));
    dir.writeFile("many.rsc", payload);
    for (auto _ : state) {
        Stream stream;
        stream.Open(dir / "many.rsc", "r");
        ResourceFile file;
        file.ReadMetaData(stream, ReadDepth::Full);
        ObjectWalk walk(file, stream);
        walk.MakeObjects();
        while (walk.NextBody()) {
        }
        benchmark::DoNotOptimize(file.ObjectCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_ReadWholeFile)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

// A meta-data block of many types in a long base chain, as deep hierarchies
// stress the kind tests.
void BM_ReadManyTypes(benchmark::State& state) {
    TempDir dir;
    ResourceBuilder builder;
    builder.addStandardTypes();
    int32_t type = builder.types().staticTexture;
    for (int64_t i = 0; i < state.range(0); ++i) {
        std::string name("T");
        name += std::to_string(i);
        type = builder.addType(structureType(std::move(name), 1, type));
    }
    dir.writeFile("types.rsc", builder.payload());
    for (auto _ : state) {
        Stream stream;
        stream.Open(dir / "types.rsc", "r");
        ResourceFile file;
        file.ReadMetaData(stream, ReadDepth::Full);
        benchmark::DoNotOptimize(textureKindOf(file.DataTypeAt(type)));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadManyTypes)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
